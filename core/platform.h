// What the simulation asks of the platform. Each build links exactly one file
// that defines these: the Windows front end its window and console, the native
// build (tests, ombrane-batch) a headless stand-in. Nothing here includes a
// platform header.
#pragma once

// Formats with printf conversions and writes the characters to the log
// console at once, without line-end translation. Callers ignore the result.
int ConsoleLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A drawing context of the main window for the length of one tick; null where
// nothing is drawn.
void* AcquireDrawContext();
void  ReleaseDrawContext(void* dc);

// Draws one car in a colour (COLORREF); placement and the earlier edition's
// step call it. Does nothing on a null context.
void DrawCar(void* dc, int car, int colour);

void RequestRepaint();      // whole client area, background erased
void UpdateTitle();         // title bar from the world's run figures
void FocusMainWindow();
unsigned MilliClock();      // monotonic milliseconds, wraps at 2^32

// A warning about a file: "Ombrane" message box with the warning icon; the
// name replaces the one %s of the format ("(untitled)" when empty).
void ShowFileMessage(const char* format, const char* name);
