// ombrane-legacy.exe: the earlier edition's entry point and main window
// procedure. It shares the simulation, the files and the Win32 glue with
// ombrane.exe but is a program of its own; it chooses its edition before
// anything else reads the world.
#include "legacy_win32.h"

#include <windowsx.h>

#include "core/platform.h"
#include "core/sim.h"
#include "frontend/inspect.h"
#include "legacy/front.h"
#include "resources/resource.h"

static unsigned packPoint(int x, int y) { return unsigned(x & 0xFFFF) | unsigned(y & 0xFFFF) << 16; }

static BOOL OnCreate(HWND window, LPCREATESTRUCT create) {
    instanceHandle = create->hInstance;
    mainWindow = window;
    PrepareOpenDialog(window);
    resetDefaults();
    loadDefaultGroups();
    ConsoleLog("\r\n");
    ShowBanner();
    return TRUE;
}

static void OnPaint(HWND window) { PaintAll(window); }

static void OnCommand(HWND window, int id, HWND control, UINT code) {
    switch (id) {
    case IDM_NEW:     CommandNew(); break;
    case IDM_OPEN:    CommandOpen(window); break;
    case IDM_SAVE:    legacySaveCommand(); break;
    case IDM_EXIT:    CommandExit(window); break;
    case IDM_HELP:    ShowFileMessage(LegacyHelpText, ""); break;
    case IDM_ABOUT:   CommandAbout(window); break;
    case IDM_RESTART: CommandRestart(); break;
    default:          FORWARD_WM_COMMAND(window, id, control, code, DefWindowProcA); break;
    }
}

// Always the car report, whatever keys are held; focus and console stay.
static void OnLButtonDown(HWND, BOOL, int x, int y, UINT) {
    storeClickPoint(packPoint(x, y));
    reportLegacyCar(hitTestCar(world.clickX, world.clickY));
}

static void OnMouseMove(HWND window, int x, int y, UINT keyFlags) {
    if (!isLeftButtonHeld(keyFlags))
        return;
    storeClickPoint(packPoint(x, y));
    if (!recordDragPoint(world.clickX, world.clickY))
        return;
    HDC dc = GetDC(window);
    SetPixel(dc, world.clickX, world.clickY, RGB(0, 0, 0));
    ReleaseDC(window, dc);
}

static LRESULT CALLBACK LegacyWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
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
    chooseEdition(LegacyEdition);
    // The system erases the client area in white before each paint.
    if (!RegisterMainClass(instance, LegacyWindowProc, HBRUSH(GetStockObject(WHITE_BRUSH)))) {
        MessageBoxA(nullptr, "Program requires Windows NT!", "Ombrane", MB_ICONERROR);
        return 0;
    }
    // The console keeps the system's colours, size and title.
    OpenConsoleOutput();
    HWND window = CreateWindowA("Ombrane", "Traffic Simulation", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    HACCEL accelerators = LoadAcceleratorsA(instance, "Ombrane");
    SetTimer(window, 1, 1000 / world.stepsPerSecond, nullptr);
    return RunMessageLoop(window, accelerators);
}
