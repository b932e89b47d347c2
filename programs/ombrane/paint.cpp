// Drawing the road and the cars with GDI, from the geometry that the
// platform-free front end computes.
#include "paint.h"

#include "core/platform.h"
#include "core/world.h"
#include "frontend/geometry.h"
#include "frontend/road_canvas.h"

static const COLORREF Black = RGB(0, 0, 0);
static const COLORREF ZoneColour = 0x00D0D0;
static const COLORREF MarkerColour = 0x00FFFF;

void FillBox(HDC dc, COLORREF colour, int left, int top, int right, int bottom) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT box = {left, top, right, bottom};
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

void DrawStroke(HDC dc, int x1, int y1, int x2, int y2, int width, int style, COLORREF colour) {
    HPEN pen = CreatePen(style, width, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void DrawRoad(HDC dc) {
    LaneLine lines[LaneLineCapacity];
    int count = layoutLaneLines(lines, LaneLineCapacity);

    HPEN divider = CreatePen(PS_DOT, 1, Black);
    HPEN edge = CreatePen(PS_SOLID, 2, Black);
    HGDIOBJ previous = SelectObject(dc, divider);
    if (world.run.constructionZone && world.edition->hasConstructionZone) {
        PixelBox zone = constructionZoneBox();
        FillBox(dc, ZoneColour, zone.left, zone.top, zone.right, zone.bottom);
    }
    // The lines go over the zone.
    for (int k = 0; k < count; k++) {
        SelectObject(dc, lines[k].solid ? edge : divider);
        MoveToEx(dc, 0, lines[k].y, nullptr);
        LineTo(dc, lines[k].xEnd, lines[k].y);
    }
    SelectObject(dc, previous);
    DeleteObject(divider);
    DeleteObject(edge);
}

void DrawCar(void* context, int car, int colour) {
    if (!context || car < 0 || car >= MaxCars)
        return;
    HDC dc = HDC(context);
    CarShape shape = carShape(car);
    const PixelBox& b = shape.body;
    FillBox(dc, COLORREF(colour), b.left, b.top, b.right, b.bottom);
    if (shape.marker.present) {
        const MarkerStroke& m = shape.marker;
        DrawStroke(dc, m.x, m.y1, m.x, m.y2, 5, PS_SOLID, Black);
        DrawStroke(dc, m.x, m.y1, m.x, m.y2, 3, PS_SOLID, MarkerColour);
    }
}

void ComposeFrame(HDC target, int width, int height) {
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
    DrawRoad(memory);
    int total = world.carTotal < MaxCars ? world.carTotal : MaxCars;
    for (int c = 0; c < total; c++) {
        int group = world.cars[c].group;
        if (group < 0 || group >= MaxGroups)
            continue;
        DrawCar(memory, c, world.groups[group].colour);
    }
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void PaintMainWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ComposeFrame(dc, roadCanvas.clientWidth, roadCanvas.clientHeight);
    EndPaint(window, &paint);
}
