// What the simulation asks of the platform, answered with the main window.
#include "win32.h"

#include "core/platform.h"
#include "frontend/text.h"
#include "frontend/title.h"

#include <mmsystem.h>

HWND      mainWindow;
HINSTANCE instanceHandle;

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

ATOM RegisterMainClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = "Ombrane";
    windowClass.lpszClassName = "Ombrane";
    return RegisterClassA(&windowClass);
}

int RunMessageLoop(HWND window, HACCEL accelerators) {
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0) > 0) {
        if (TranslateAccelerator(window, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    return int(message.wParam);
}
