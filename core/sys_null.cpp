// The headless platform for ombrane-batch and the native tests: the log goes
// to standard output as it is written, and there is no window to draw on.
#include "platform.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>

int ConsoleLog(const char* format, ...) {
    char text[8192];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0)
        return length;
    if (length >= int(sizeof text))
        length = int(sizeof text) - 1;
    // Unbuffered, so the log interleaves correctly with anything else that
    // writes to the same descriptor.
    for (int done = 0; done < length;) {
        ssize_t n = ::write(1, text + done, size_t(length - done));
        if (n <= 0)
            break;
        done += int(n);
    }
    return length;
}

void* AcquireDrawContext() { return nullptr; }
void ReleaseDrawContext(void*) {}
void DrawCar(void*, int, int) {}
void RequestRepaint() {}
void UpdateTitle() {}
void FocusMainWindow() {}

unsigned MilliClock() {
    using namespace std::chrono;
    return unsigned(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Without a message box the warning goes to the log, on a line of its own.
void ShowFileMessage(const char* format, const char* name) {
    char text[324];
    std::snprintf(text, sizeof text, format, name[0] ? name : "(untitled)");
    int length = 0;
    while (text[length])
        length++;
    bool ended = length > 0 && text[length - 1] == '\n';
    ConsoleLog("%s%s", text, ended ? "" : "\r\n");
}
