// The one main-window procedure. What both programs treat alike is handled
// here; the rest goes to the program's own handlers.
#include "win32.h"

#include <windowsx.h>

#include "commands/commands.h"
#include "core/sim.h"
#include "frontend/road_canvas.h"

const ProgramWindow* runningProgram;  // set by RunProgram before the window exists

// The window handles, the Open dialog, the roadway defaults and the built-in
// groups, then whatever the program adds.
static BOOL OnCreate(HWND window, LPCREATESTRUCT create) {
    instanceHandle = create->hInstance;
    mainWindow = window;
    PrepareOpenDialog(window);
    resetDefaults();
    loadDefaultGroups();
    return runningProgram->onCreate(window, create);
}

static void OnSize(HWND, UINT, int width, int height) {
    roadCanvas.clientWidth = width & 0xFFFF;
    roadCanvas.clientHeight = height & 0xFFFF;
}

static void OnTimer(HWND, UINT) { runTick(); }
static void OnChar(HWND, TCHAR character, int) {
    if (character == '\b')
        backOnePeriodCommand();
    else
        handleRunKey((unsigned char)character);
}
// The next paint removes the drag dots.
static void OnLButtonUp(HWND window, int, int, UINT) { InvalidateRect(window, nullptr, FALSE); }
static void OnClose(HWND window) { DestroyWindow(window); }
static void OnDestroy(HWND) { PostQuitMessage(0); }
// The simulation does not agree to end the Windows session.
static BOOL OnQueryEndSession(HWND) { return FALSE; }

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(hwnd, WM_CREATE, OnCreate);
        HANDLE_MSG(hwnd, WM_PAINT, runningProgram->onPaint);
        HANDLE_MSG(hwnd, WM_COMMAND, runningProgram->onCommand);
        HANDLE_MSG(hwnd, WM_LBUTTONDOWN, runningProgram->onLButtonDown);
        HANDLE_MSG(hwnd, WM_MOUSEMOVE, runningProgram->onMouseMove);
        HANDLE_MSG(hwnd, WM_SIZE, OnSize);
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
        HANDLE_MSG(hwnd, WM_CHAR, OnChar);
        HANDLE_MSG(hwnd, WM_LBUTTONUP, OnLButtonUp);
        HANDLE_MSG(hwnd, WM_CLOSE, OnClose);
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
        HANDLE_MSG(hwnd, WM_QUERYENDSESSION, OnQueryEndSession);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
