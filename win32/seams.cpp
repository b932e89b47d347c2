// What the simulation asks of the platform, answered with the main window.
#include "win32.h"

#include "core/platform.h"
#include "frontend/text.h"
#include "frontend/title.h"

#include <mmsystem.h>

void* AcquireDrawContext() { return mainWindow ? GetDC(mainWindow) : nullptr; }

void ReleaseDrawContext(void* dc) {
    if (dc)
        ReleaseDC(mainWindow, HDC(dc));
}

void RequestRepaint() { InvalidateRect(mainWindow, nullptr, TRUE); }
void UpdateTitle() { ShowTitle(mainWindow); }
void FocusMainWindow() { SetFocus(mainWindow); }
unsigned MilliClock() { return timeGetTime(); }

void ShowFileMessage(const char* format, const char* name) {
    char text[MessageSize];
    formatFileMessage(text, sizeof text, format, name);
    MessageBoxA(mainWindow, text, "Ombrane", MB_OK | MB_ICONWARNING);
}

void ShowTitle(HWND window) {
    char title[TitleSize];
    formatTitle(title, sizeof title);
    SetWindowTextA(window, title);
}
