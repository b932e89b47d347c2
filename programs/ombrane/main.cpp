// ombrane.exe: the entry point and the handlers of the messages this program
// treats its own way. They only translate; the simulation, the geometry and
// the texts live in the platform-free code, and what both programs do alike
// in the shared window skeleton.
#include "paint.h"
#include "view_windows.h"
#include "win32/win32.h"

#include <windowsx.h>

#include "commands/commands.h"
#include "core/platform.h"
#include "core/sim.h"
#include "frontend/inspect.h"
#include "frontend/road_canvas.h"
#include "frontend/live_views.h"
#include "resources/resource.h"

static BOOL OnCreate(HWND window, LPCREATESTRUCT) {
    ShowBanner();
    if (SetFocus(window) == nullptr)
        ConsoleLog("hwnd_prev==NULL\r\n");
    return TRUE;
}

static void OnPaint(HWND window) { PaintMainWindow(window); }

static void OnCommand(HWND window, int id, HWND control, UINT code) {
    switch (id) {
    case IDM_NEW:     newCommand(); break;
    case IDM_OPEN:    CommandOpen(window); break;
    case IDM_SAVE:    saveCommand(); break;
    case IDM_SAVESCENARIO: CommandSaveScenario(window); break;
    case IDM_EXIT:    CommandExit(window); break;
    case IDM_HELP:    CommandHelp(); break;
    case IDM_ABOUT:   CommandAbout(window); break;
    case IDM_RESTART: restartCommand(); break;
    case IDM_STEPTO:  CommandStepTo(window); break;
    case IDM_SPEED:   CommandSpeed(window); break;
    case IDM_BACKTO:  CommandBackTo(window); break;
    case IDM_SPACETIME:  ShowSpaceTime(window); break;
    case IDM_SPEEDCHART: ShowSpeedChart(window); break;
    case IDM_GROUPS:     ShowGroups(window); break;
    default:          FORWARD_WM_COMMAND(window, id, control, code, DefWindowProcA); break;
    }
}

// The car's state, or with Shift its group's; the console comes up to show it.
static void OnLButtonDown(HWND window, BOOL, int x, int y, UINT keyFlags) {
    StoreClick(x, y);
    int car = hitTestCar(roadCanvas.clickX, roadCanvas.clickY);
    if (isShiftClick(keyFlags))
        reportGroup(car);
    else
        reportCar(car);
    SetFocus(window);
    BringWindowToTop(consoleWindow);
}

static void OnMouseMove(HWND window, int x, int y, UINT keyFlags) {
    if (TakeDragPoint(x, y, keyFlags))
        DrawDragDot(window);
}

// No background brush: the paint covers the whole client area itself.
static const ProgramWindow CurrentProgram = {
    OnCreate, OnPaint, OnCommand, OnLButtonDown, OnMouseMove,
    nullptr, SetUpConsole, 1,
};

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    chooseEdition(CurrentEdition);
    runObserver = observeRun;
    return RunProgram(instance, showCommand, CurrentProgram);
}
