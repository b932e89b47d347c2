// The earlier edition's drawing: straight onto the window, no off-screen
// picture. Between paints the motion step animates each car in place through
// DrawCar: white where it was, its colour where it is now.
//
// This file answers the DrawCar seam for ombrane-legacy.exe; it uses none of
// the current edition's painting, which answers the same seam.
#include "legacy_win32.h"

#include "core/platform.h"
#include "core/world.h"
#include "frontend/geometry.h"
#include "frontend/legacy/front.h"

static const COLORREF Black = RGB(0, 0, 0);
static const COLORREF White = RGB(255, 255, 255);

static void FillLegacyBox(HDC dc, COLORREF colour, const PixelBox& box) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT rect = {box.left, box.top, box.right, box.bottom};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

static void DrawLine(HDC dc, int style, int xEnd, int y) {
    HPEN pen = CreatePen(style, 1, Black);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, xEnd, y);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

// A car drawn in white erases the divider under it; once the car has
// crossed, the divider is drawn again.
static void LaneDividerRepair(HDC dc, int car) {
    LinePoint line;
    if (dividerToRepair(car, &line))
        DrawLine(dc, PS_DOT, line.x, line.y);
}

void DrawCar(void* context, int car, int colour) {
    if (!context || car < 0 || car >= MaxCars)
        return;
    HDC dc = HDC(context);
    FillLegacyBox(dc, COLORREF(colour), carShape(car).body);
    if (COLORREF(colour) != White)
        LaneDividerRepair(dc, car);
}

static void DrawLegacyRoad(HDC dc) {
    LaneLine lines[LaneLineCapacity];
    int count = layoutLaneLines(lines, LaneLineCapacity);
    for (int k = 0; k < count; k++)
        DrawLine(dc, lines[k].solid ? PS_SOLID : PS_DOT, lines[k].xEnd, lines[k].y);
}

void PaintAll(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    DrawLegacyRoad(dc);
    int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int c = 0; c < total; c++) {
        int group = world.cars[c].group;
        if (group >= 0 && group < MaxGroups)
            DrawCar(dc, c, world.groups[group].colour);
    }
    EndPaint(window, &paint);
}
