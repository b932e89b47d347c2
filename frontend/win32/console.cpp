// The log console: allocated and shaped at start-up; every log line of the
// program is written to it as it is formatted.
#include "win32.h"

#include "core/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

HANDLE consoleOutput = INVALID_HANDLE_VALUE;
HWND   consoleWindow;

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
    // The console converts to its own code page and shows "?" for what it
    // cannot; a handle that is not a console gets the bytes unchanged.
    DWORD written = 0;
    if (!WriteConsoleA(consoleOutput, text, DWORD(length), &written, nullptr))
        WriteFile(consoleOutput, text, DWORD(length), &written, nullptr);
    return length;
}

void SetUpConsole() {
    AllocConsole();
    // The console's own output device, so that redirected standard output
    // cannot take the log away from it.
    consoleOutput = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (consoleOutput == INVALID_HANDLE_VALUE)
        consoleOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    consoleWindow = GetConsoleWindow();

    SetConsoleTextAttribute(consoleOutput, 240);
    // Clearing after the attribute is set paints the whole buffer white.
    std::system("cls");

    // The window first: a buffer cannot be narrower than its window.
    SMALL_RECT window = {0, 0, 39, 39};
    if (!SetConsoleWindowInfo(consoleOutput, TRUE, &window))
        ConsoleLog("SetConsoleWindowInfo() failed [code=%d]\r\n", int(GetLastError()));
    COORD size = {40, 1000};
    if (!SetConsoleScreenBufferSize(consoleOutput, size))
        ConsoleLog("SetConsoleScreenBufferSize() failed [code=%d]\r\n", int(GetLastError()));

    SetConsoleTitleA("Ombrane Console");
    RECT place = {};
    GetWindowRect(consoleWindow, &place);
    MoveWindow(consoleWindow, 0, 0, place.right - place.left, place.bottom - place.top, TRUE);
    BringWindowToTop(consoleWindow);
}
