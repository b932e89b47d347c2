// ombrane.exe: the entry point and the main window procedure. The procedure
// only translates messages; the simulation, the geometry and the texts live
// in the platform-free code.
#include "win32.h"

#include <windowsx.h>

#include "core/platform.h"
#include "core/sim.h"
#include "resources/resource.h"

static BOOL OnCreate(HWND window, LPCREATESTRUCT create) {
    instanceHandle = create->hInstance;
    mainWindow = window;
    PrepareOpenDialog(window);
    resetDefaults();
    loadDefaultGroups();
    ShowBanner();
    if (SetFocus(window) == nullptr)
        ConsoleLog("hwnd_prev==NULL\r\n");
    return TRUE;
}

static void OnPaint(HWND window) { PaintMainWindow(window); }

static void OnCommand(HWND window, int id, HWND control, UINT code) {
    switch (id) {
    case IDM_NEW:     CommandNew(); break;
    case IDM_OPEN:    CommandOpen(window); break;
    case IDM_SAVE:    CommandSave(window); break;
    case IDM_EXIT:    CommandExit(window); break;
    case IDM_HELP:    CommandHelp(); break;
    case IDM_ABOUT:   CommandAbout(window); break;
    case IDM_RESTART: CommandRestart(); break;
    case IDM_STEPTO:  CommandStepTo(window); break;
    case IDM_SPEED:   CommandSpeed(window); break;
    default:          FORWARD_WM_COMMAND(window, id, control, code, DefWindowProcA); break;
    }
}

static void OnLButtonDown(HWND window, BOOL, int x, int y, UINT keyFlags) { ClickCar(window, x, y, keyFlags); }
static void OnMouseMove(HWND window, int x, int y, UINT keyFlags) { DragDot(window, x, y, keyFlags); }

static LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(hwnd, WM_CREATE, OnCreate);
        HANDLE_MSG(hwnd, WM_SIZE, OnSize);
        HANDLE_MSG(hwnd, WM_PAINT, OnPaint);
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
        HANDLE_MSG(hwnd, WM_CHAR, OnChar);
        HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
        HANDLE_MSG(hwnd, WM_LBUTTONDOWN, OnLButtonDown);
        HANDLE_MSG(hwnd, WM_MOUSEMOVE, OnMouseMove);
        HANDLE_MSG(hwnd, WM_LBUTTONUP, OnLButtonUp);
        HANDLE_MSG(hwnd, WM_CLOSE, OnClose);
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
        HANDLE_MSG(hwnd, WM_QUERYENDSESSION, OnQueryEndSession);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    chooseEdition(CurrentEdition);
    // No background brush: the paint covers the whole client area itself.
    if (!RegisterMainClass(instance, MainWindowProc, nullptr)) {
        MessageBoxA(nullptr, "Program requires Windows NT!", "Ombrane", MB_ICONERROR);
        return 0;
    }
    SetUpConsole();
    HWND window = CreateWindowA("Ombrane", "Traffic Simulation", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    BringWindowToTop(consoleWindow);
    HACCEL accelerators = LoadAcceleratorsA(instance, "Ombrane");
    SetTimer(window, 1, 1000 / world.stepsPerSecond, nullptr);
    return RunMessageLoop(window, accelerators);
}
