// ombrane-legacy.exe: the earlier edition's entry point and the handlers of
// the messages it treats its own way. It shares the simulation, the files,
// the commands and the window skeleton with ombrane.exe; it chooses its
// edition before anything else reads the world.
#include "legacy_win32.h"

#include <windowsx.h>

#include "commands/commands.h"
#include "core/platform.h"
#include "core/sim.h"
#include "frontend/inspect.h"
#include "frontend/legacy/front.h"
#include "resources/resource.h"

static BOOL OnCreate(HWND, LPCREATESTRUCT) {
    ConsoleLog("\r\n");
    ShowBanner();
    return TRUE;
}

static void OnPaint(HWND window) { PaintAll(window); }

static void OnCommand(HWND window, int id, HWND control, UINT code) {
    switch (id) {
    case IDM_NEW:     newCommand(); break;
    case IDM_OPEN:    CommandOpen(window); break;
    case IDM_SAVE:    saveSnapshotCommand(); break;
    case IDM_EXIT:    CommandExit(window); break;
    case IDM_HELP:    ShowFileMessage(LegacyHelpText, ""); break;
    case IDM_ABOUT:   CommandAbout(window); break;
    case IDM_RESTART: restartCommand(); break;
    default:          FORWARD_WM_COMMAND(window, id, control, code, DefWindowProcA); break;
    }
}

// Always the car report, whatever keys are held; focus and console stay.
static void OnLButtonDown(HWND, BOOL, int x, int y, UINT) {
    StoreClick(x, y);
    reportLegacyCar(hitTestCar(roadCanvas.clickX, roadCanvas.clickY));
}

// Dots stop once the table of drag points is full.
static void OnMouseMove(HWND window, int x, int y, UINT keyFlags) {
    if (TakeDragPoint(x, y, keyFlags) && recordDragPoint(roadCanvas.clickX, roadCanvas.clickY))
        DrawDragDot(window);
}

// The system erases the client area in white before each paint; the console
// keeps the system's colours, size and title.
static const ProgramWindow LegacyProgram = {
    OnCreate, OnPaint, OnCommand, OnLButtonDown, OnMouseMove,
    HBRUSH(GetStockObject(WHITE_BRUSH)), OpenConsoleOutput, 0,
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    chooseEdition(LegacyEdition);
    return RunProgram(instance, showCommand, LegacyProgram);
}
