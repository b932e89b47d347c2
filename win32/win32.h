// The Win32 glue both programs share: the window skeleton (class, window,
// timer, message loop and the messages they treat alike), the console, the
// commands and dialogs, and the platform calls other than DrawCar, which
// each program answers with its own painting. Only this folder and
// programs/ include <windows.h>; everything drawn or printed is computed by
// the platform-free front end.
#pragma once

#include <windows.h>

extern HWND      mainWindow;
extern HINSTANCE instanceHandle;
extern HANDLE    consoleOutput;
extern HWND      consoleWindow;

// What a program tells the skeleton: the handlers of the messages it treats
// its own way (with <windowsx.h>'s signatures) and how its windows look.
struct ProgramWindow {
    BOOL (*onCreate)(HWND window, LPCREATESTRUCT create);   // after StartMainWindow's part
    void (*onPaint)(HWND window);
    void (*onCommand)(HWND window, int id, HWND control, UINT code);
    void (*onLButtonDown)(HWND window, BOOL doubleClick, int x, int y, UINT keyFlags);
    void (*onMouseMove)(HWND window, int x, int y, UINT keyFlags);
    HBRUSH background;          // class brush; null when the paint covers everything
    void (*openConsole)();      // OpenConsoleOutput or SetUpConsole
    int    consoleOnTop;        // flag: console raised over the new main window
};

// Registers the class, opens the console, creates and shows the main window,
// starts the step timer and runs the message loop until the window closes.
// The entry point has chosen the edition before.
int RunProgram(HINSTANCE instance, int showCommand, const ProgramWindow& program);

// The one main-window procedure: the program's handlers for what it treats
// its own way, the shared ones for timer, keys, size, mouse up, close,
// destroy and end of session, DefWindowProc for the rest.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Console
void OpenConsoleOutput();       // allocate; the log goes to its output device
void SetUpConsole();            // allocate, colour, clear, size, title, place

// Title bar from the world's run figures
void ShowTitle(HWND window);

// Commands and dialogs
void PrepareOpenDialog(HWND owner);
BOOL ChooseFile(HWND owner, char* path, char* title);
int  AskNumber(HINSTANCE instance, HWND owner, const char* templateName, DLGPROC procedure, int* target);
INT_PTR CALLBACK NumberDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int  PathBesideProgram(const char* fileName, char* destination);

void CommandOpen(HWND window);
void CommandExit(HWND window);
void CommandHelp();
void CommandAbout(HWND window);
void CommandStepTo(HWND window);
void CommandSpeed(HWND window);
void CommandBackTo(HWND window);
void CommandSaveScenario(HWND window);

// Mouse: the click point as the front end stores it; a drag stores its point
// while the left button is held (1) and a dot is drawn at the stored point.
void StoreClick(int x, int y);
int  TakeDragPoint(int x, int y, UINT keyFlags);
void DrawDragDot(HWND window);
