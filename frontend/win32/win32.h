// The Win32 glue shared by both programs: the console, painting, the
// commands and dialogs, and the platform seams. Only files in this folder
// include <windows.h>; everything they draw or print is computed by the
// platform-free front end (frontend/*.h).
#pragma once

#include <windows.h>

extern HWND      mainWindow;
extern HINSTANCE instanceHandle;
extern HANDLE    consoleOutput;
extern HWND      consoleWindow;

// Start-up
ATOM RegisterMainClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background);
void OpenConsoleOutput();       // allocate; the log goes to its output device
void SetUpConsole();            // allocate, colour, clear, size, title, place
int  RunMessageLoop(HWND window, HACCEL accelerators);

// Main-window messages both programs handle alike (messages.cpp)
void OnSize(HWND window, UINT state, int width, int height);
void OnTimer(HWND window, UINT id);
void OnChar(HWND window, TCHAR character, int repeat);
void OnLButtonUp(HWND window, int x, int y, UINT keyFlags);
void OnClose(HWND window);
void OnDestroy(HWND window);
BOOL OnQueryEndSession(HWND window);

// Painting (paint.cpp). Nothing else in this library refers to it: a
// program that draws in its own way defines DrawCar itself, and then this
// painting is not linked into it.
void FillBox(HDC dc, COLORREF colour, int left, int top, int right, int bottom);
void DrawStroke(HDC dc, int x1, int y1, int x2, int y2, int width, int style, COLORREF colour);
void DrawRoad(HDC dc);
// Composes road and cars off screen and copies them to `target` at (0, 0).
void ComposeFrame(HDC target, int width, int height);
void PaintMainWindow(HWND window);
void ShowTitle(HWND window);

// Commands and dialogs
void PrepareOpenDialog(HWND owner);
BOOL ChooseFile(HWND owner, char* path, char* title);
int  AskNumber(HINSTANCE instance, HWND owner, const char* templateName, DLGPROC procedure, int* target);
INT_PTR CALLBACK NumberDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int  PathBesideProgram(const char* fileName, char* destination);

void CommandNew();
void CommandOpen(HWND window);
void CommandSave(HWND window);
void CommandExit(HWND window);
void CommandHelp();
void CommandAbout(HWND window);
void CommandRestart();
void CommandStepTo(HWND window);
void CommandSpeed(HWND window);

// Mouse: inspection of the clicked car and the drag dots
void ClickCar(HWND window, int x, int y, UINT keyFlags);
void DragDot(HWND window, int x, int y, UINT keyFlags);
