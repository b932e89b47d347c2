// Clicks and drags in the main window, as both programs take them.
#include "win32.h"

#include "frontend/inspect.h"
#include "frontend/road_canvas.h"

// The front end reads the point as the message's packed position word.
void StoreClick(int x, int y) { storeClickPoint(unsigned(x & 0xFFFF) | unsigned(y & 0xFFFF) << 16); }

int TakeDragPoint(int x, int y, UINT keyFlags) {
    if (!isLeftButtonHeld(keyFlags))
        return 0;
    StoreClick(x, y);
    return 1;
}

void DrawDragDot(HWND window) {
    HDC dc = GetDC(window);
    SetPixel(dc, roadCanvas.clickX, roadCanvas.clickY, RGB(0, 0, 0));
    ReleaseDC(window, dc);
}
