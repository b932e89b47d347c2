// The main-window messages that both programs handle alike; each program's
// window procedure dispatches to these beside its own handlers.
#include "win32.h"

#include "core/sim.h"

void OnSize(HWND, UINT, int width, int height) {
    world.clientWidth = width & 0xFFFF;
    world.clientHeight = height & 0xFFFF;
}

void OnTimer(HWND, UINT) { runTick(); }
void OnChar(HWND, TCHAR character, int) { handleRunKey((unsigned char)character); }
// The next paint removes the drag dots.
void OnLButtonUp(HWND window, int, int, UINT) { InvalidateRect(window, nullptr, FALSE); }
void OnClose(HWND window) { DestroyWindow(window); }
void OnDestroy(HWND) { PostQuitMessage(0); }
// The simulation does not agree to end the Windows session.
BOOL OnQueryEndSession(HWND) { return FALSE; }
