// Clicks and drags in the main window.
#include "win32.h"

#include "core/world.h"
#include "frontend/inspect.h"

static unsigned packPoint(int x, int y) { return unsigned(x & 0xFFFF) | unsigned(y & 0xFFFF) << 16; }

void ClickCar(HWND window, int x, int y, UINT keyFlags) {
    storeClickPoint(packPoint(x, y));
    int car = hitTestCar(world.clickX, world.clickY);
    if (isShiftClick(keyFlags))
        reportGroup(car);
    else
        reportCar(car);
    SetFocus(window);
    BringWindowToTop(consoleWindow);
}

void DragDot(HWND window, int x, int y, UINT keyFlags) {
    if (!isLeftButtonHeld(keyFlags))
        return;
    storeClickPoint(packPoint(x, y));
    HDC dc = GetDC(window);
    SetPixel(dc, world.clickX, world.clickY, RGB(0, 0, 0));
    ReleaseDC(window, dc);
}
