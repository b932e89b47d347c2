// The platform for the groups-file reader inside ombrane-lab: nothing is
// drawn and the console is dropped, since the lab hears the reader's
// warnings through their sink and speaks on its own standard error.
#include "core/platform.h"

#include <chrono>

int ConsoleLog(const char*, ...) { return 0; }
void* AcquireDrawContext() { return nullptr; }
void ReleaseDrawContext(void*) {}
void DrawCar(void*, int, int) {}
void RequestRepaint() {}
void UpdateTitle() {}
void FocusMainWindow() {}
void ShowFileMessage(const char*, const char*) {}

unsigned MilliClock() {
    using namespace std::chrono;
    return unsigned(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
