// The log console: allocated and shaped at start-up; every log line of the
// program is written to it as it is formatted.
#include "win32.h"

#include "core/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

HANDLE consoleOutput = INVALID_HANDLE_VALUE;
HWND   consoleWindow;

// The program's texts (file names from the dialogs, groups-file and help
// contents) are in the ANSI code page; the console shows its own code page.
// Going through UTF-16 turns every character the console cannot show into
// "?" instead of into some other glyph.
static char text[8192];
static wchar_t wide[8192];
static char shown[4 * 8192];

int ConsoleLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0)
        return length;
    if (length >= int(sizeof text))
        length = int(sizeof text) - 1;
    DWORD written = 0;
    DWORD mode = 0;
    if (!GetConsoleMode(consoleOutput, &mode)) {
        WriteFile(consoleOutput, text, DWORD(length), &written, nullptr);
        return length;
    }
    UINT page = GetConsoleOutputCP();
    int characters = MultiByteToWideChar(CP_ACP, 0, text, length, wide, int(sizeof wide / sizeof wide[0]));
    // UTF-8 can show everything and takes no replacement character.
    int bytes = WideCharToMultiByte(page, 0, wide, characters, shown, int(sizeof shown),
                                    page == CP_UTF8 ? nullptr : "?", nullptr);
    if (bytes > 0 || length == 0)
        WriteConsoleA(consoleOutput, shown, DWORD(bytes), &written, nullptr);
    else
        WriteConsoleA(consoleOutput, text, DWORD(length), &written, nullptr);
    return length;
}

void OpenConsoleOutput() {
    AllocConsole();
    // The console's own output device, so that redirected standard output
    // cannot take the log away from it.
    consoleOutput = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (consoleOutput == INVALID_HANDLE_VALUE)
        consoleOutput = GetStdHandle(STD_OUTPUT_HANDLE);
}

void SetUpConsole() {
    OpenConsoleOutput();
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
    // The console host resizes its window to the new shape in its own time.
    // A size read here may still be the old 80 by 25 one, and moving the
    // window with it would make the host widen the buffer back to 80
    // columns; so the window is moved without touching its size.
    SetWindowPos(consoleWindow, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(consoleWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    BringWindowToTop(consoleWindow);
}
