// The window skeleton both programs run on: one class, one main window, the
// step timer and the message loop.
#include "win32.h"

#include "core/sim.h"
#include "files/report.h"

HWND      mainWindow;
HINSTANCE instanceHandle;

static ATOM RegisterMainClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background) {
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

static int RunMessageLoop(HWND window, HACCEL accelerators) {
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0) > 0) {
        if (TranslateAccelerator(window, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    return int(message.wParam);
}

extern const ProgramWindow* runningProgram;  // messages.cpp

int RunProgram(HINSTANCE instance, int showCommand, const ProgramWindow& chosen) {
    runningProgram = &chosen;
    connectReportFile();
    if (!RegisterMainClass(instance, MainWindowProc, chosen.background)) {
        MessageBoxA(nullptr, "Program requires Windows NT!", "Ombrane", MB_ICONERROR);
        return 0;
    }
    chosen.openConsole();
    HWND window = CreateWindowA("Ombrane", "Traffic Simulation", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    if (chosen.consoleOnTop)
        BringWindowToTop(consoleWindow);
    HACCEL accelerators = LoadAcceleratorsA(instance, "Ombrane");
    SetTimer(window, 1, 1000 / world.stepsPerSecond, nullptr);
    return RunMessageLoop(window, accelerators);
}
