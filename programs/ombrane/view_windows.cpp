// The two view windows: their class and procedure, the off-screen DIB
// sections they are drawn into, and the GDI text and lines over the dots.
#include "view_windows.h"

#include <windowsx.h>

#include <cstdio>

#include "commands/commands.h"
#include "core/sim.h"
#include "frontend/plots.h"
#include "frontend/live_views.h"
#include "resources/resource.h"

namespace {

const char* const ViewClass = "OmbraneView";
const COLORREF Black = RGB(0, 0, 0);
const COLORREF Grid = RGB(220, 220, 220);
const COLORREF EventRed = RGB(220, 0, 0);
enum { MaxEventMarks = 64 };    // events marked in one view

enum ViewKind { SpaceTimeView, SpeedChartView, ViewKinds };

// One view window and the bitmap it is drawn into. The bitmap is made again
// only when the window's size changes, never per drawing.
struct ViewWindow {
    HWND     window;
    HDC      memory;
    HBITMAP  bitmap;
    HGDIOBJ  previous;
    uint32_t* pixels;           // the DIB section's, rows top down
    int      width, height;     // px of the bitmap (the client area)
    unsigned drawnRevision;     // liveViews.revision at the last drawing
    int      drawnLane;
    int      drawnZone;
    int      stale;             // flag: draw at the next timer whatever the revision
};

ViewWindow viewWindows[ViewKinds];
int chosenLane;                 // 0..3, or AllLanes; lane 1 (the rightmost) first

const char* const Titles[ViewKinds] = {"Space-Time Diagram", "Speed Chart"};

void dropBitmap(ViewWindow& v) {
    if (!v.memory)
        return;
    SelectObject(v.memory, v.previous);
    DeleteObject(v.bitmap);
    DeleteDC(v.memory);
    v.memory = nullptr;
    v.bitmap = nullptr;
    v.pixels = nullptr;
    v.width = v.height = 0;
}

// A window made tiny keeps no bitmap at all: its paint fills nothing.
void makeBitmap(ViewWindow& v, int width, int height) {
    dropBitmap(v);
    if (width <= 0 || height <= 0)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;      // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(v.window);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    v.memory = bitmap ? CreateCompatibleDC(screen) : nullptr;
    ReleaseDC(v.window, screen);
    if (!bitmap || !v.memory) {
        if (bitmap)
            DeleteObject(bitmap);
        v.memory = nullptr;
        return;
    }
    v.bitmap = bitmap;
    v.previous = SelectObject(v.memory, bitmap);
    v.pixels = static_cast<uint32_t*>(bits);
    v.width = width;
    v.height = height;
}

int zoneNow() { return world.run.constructionZone && world.edition->hasConstructionZone; }

void draw(ViewWindow& v, ViewKind kind) {
    if (!v.memory)
        return;
    if (kind == SpaceTimeView)
        ComposeSpaceTimeView(v.memory, v.pixels, v.width, v.height, chosenLane);
    else
        ComposeSpeedChartView(v.memory, v.width, v.height);
    GdiFlush();
    v.drawnRevision = liveViews.revision;
    v.drawnLane = chosenLane;
    v.drawnZone = zoneNow();
    v.stale = 0;
    InvalidateRect(v.window, nullptr, FALSE);
}

bool due(const ViewWindow& v) {
    return v.stale || v.drawnRevision != liveViews.revision || v.drawnLane != chosenLane ||
           v.drawnZone != zoneNow();
}

ViewKind creating;              // the view whose window CreateWindow is making

// A window's first messages come before CreateWindow returns its handle:
// the handle is claimed for the view being made at WM_NCCREATE.
ViewKind kindOf(HWND window) {
    for (int k = 0; k < ViewKinds; k++)
        if (viewWindows[k].window == window)
            return ViewKind(k);
    return creating;
}

void text(HDC dc, int x, int y, UINT align, const char* s) {
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, s, int(lstrlenA(s)));
}

void line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void chooseLane(int lane) {
    chosenLane = lane;
    HMENU menu = GetMenu(viewWindows[SpaceTimeView].window);
    if (menu)
        CheckMenuRadioItem(menu, IDM_LANE_1, IDM_LANE_ALL,
                           lane == AllLanes ? IDM_LANE_ALL : IDM_LANE_1 + lane, MF_BYCOMMAND);
}

void onChar(HWND window, TCHAR character) {
    if (kindOf(window) == SpaceTimeView) {
        if (character >= '1' && character <= '4') {
            chooseLane(character - '1');
            return;
        }
        if (character == 'a' || character == 'A') {
            chooseLane(AllLanes);
            return;
        }
    }
    // The run keys work from a view as they do in the main window.
    if (character == '\b')
        backOnePeriodCommand();
    else
        handleRunKey((unsigned char)character);
}

// A click in the diagram goes back to the time drawn there.
void onClick(HWND window, int x, int y) {
    if (kindOf(window) != SpaceTimeView)
        return;
    const ViewWindow& v = viewWindows[SpaceTimeView];
    SpaceTimeLayout layout = layoutSpaceTime(v.width, v.height, liveViews.spaceTime.roadLength);
    int step = spaceTimeStepAt(layout, x, y);
    if (step >= 0 && step != world.run.stepCount)
        backCommand(step);
}

LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        viewWindows[creating].window = window;
    ViewWindow& v = viewWindows[kindOf(window)];
    switch (message) {
    case WM_SIZE:
        makeBitmap(v, LOWORD(lParam), HIWORD(lParam));
        v.stale = 1;
        if (IsWindowVisible(window))
            draw(v, kindOf(window));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (v.memory)
            BitBlt(dc, 0, 0, v.width, v.height, v.memory, 0, 0, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (IsWindowVisible(window) && due(v))
            draw(v, kindOf(window));
        return 0;
    case WM_CHAR:
        onChar(window, TCHAR(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        onClick(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_LANE_1: case IDM_LANE_2: case IDM_LANE_3: case IDM_LANE_4:
            chooseLane(LOWORD(wParam) - IDM_LANE_1);
            return 0;
        case IDM_LANE_ALL:
            chooseLane(AllLanes);
            return 0;
        }
        break;
    case WM_SHOWWINDOW:
        // Drawn only while shown: the timer runs only then.
        if (wParam) {
            v.stale = 1;
            SetTimer(window, 1, 1000 / (world.stepsPerSecond > 0 ? world.stepsPerSecond : 16), nullptr);
        } else {
            KillTimer(window, 1);
        }
        break;
    case WM_CLOSE:
        ShowWindow(window, SW_HIDE);
        return 0;
    case WM_DESTROY:
        KillTimer(window, 1);
        dropBitmap(v);
        v.window = nullptr;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void show(HWND owner, ViewKind kind) {
    ViewWindow& v = viewWindows[kind];
    if (!v.window) {
        static bool registered = false;
        HINSTANCE instance = GetModuleHandleA(nullptr);
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.style = CS_HREDRAW | CS_VREDRAW;
            windowClass.lpfnWndProc = ViewWindowProc;
            windowClass.hInstance = instance;
            windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
            windowClass.lpszClassName = ViewClass;
            registered = RegisterClassA(&windowClass) != 0;
        }
        HMENU menu = kind == SpaceTimeView ? LoadMenuA(instance, "SpaceTimeMenu") : nullptr;
        // Over the owner's road, the chart a little lower than the diagram,
        // both clear of the owner's caption and menu.
        RECT ownerBox = {};
        GetWindowRect(owner, &ownerBox);
        creating = kind;
        v.window = CreateWindowA(ViewClass, Titles[kind], WS_OVERLAPPEDWINDOW,
                                 ownerBox.left + 60 + 80 * kind, ownerBox.top + 120 + 60 * kind,
                                 kind == SpaceTimeView ? 760 : 640,
                                 kind == SpaceTimeView ? 520 : 400, owner, menu, instance, nullptr);
        if (!v.window)
            return;
        if (kind == SpaceTimeView)
            chooseLane(chosenLane);
        RECT client;
        GetClientRect(v.window, &client);
        makeBitmap(v, client.right, client.bottom);
    }
    ShowWindow(v.window, SW_SHOWNORMAL);
    draw(v, kind);
    SetForegroundWindow(v.window);
    BringWindowToTop(v.window);
}

const char* laneName(int lane) {
    static const char* const Names[] = {"Lane 1 (right)", "Lane 2", "Lane 3", "Lane 4 (left)"};
    return lane >= 0 && lane < LaneTotal ? Names[lane] : "All lanes";
}

// One series of the chart as lines through its reported points, broken where
// it has no value; a point alone is drawn as a pixel of `lone` when one is given.
void drawSeries(HDC memory, const ChartLayout& layout, const ChartPoint* (*pointAt)(int), int total,
                int g, POINT* points, const COLORREF* lone) {
    const bool overall = g < 0;
    int run = 0;
    for (int age = total - 1; age >= -1; age--) {
        const ChartPoint* point = age >= 0 ? pointAt(age) : nullptr;
        float v = point ? (overall ? point->overall : point->group[g]) : -1.0f;
        if (v >= 0 && run < ChartCapacity) {
            points[run].x = scalePixel(layout.seconds, point->seconds);
            points[run].y = scalePixel(layout.speed, v);
            run++;
            continue;
        }
        if (run == 1 && lone)
            SetPixel(memory, points[0].x, points[0].y, *lone);
        else if (run > 1)
            Polyline(memory, points, run);
        run = 0;
    }
}

// The run as it went before going back: every series thin and dashed, under
// the new lines.
void drawKeptBranch(HDC memory, const ChartLayout& layout, const int* groups, int reported, POINT* points) {
    const int total = liveViews.kept.count;
    for (int entry = 0; entry <= reported; entry++) {
        const bool overall = entry == reported;
        const int g = overall ? -1 : groups[entry];
        HPEN pen = CreatePen(PS_DASH, 1, overall ? Black : COLORREF(world.groups[g].colour) & 0xFFFFFF);
        HGDIOBJ before = SelectObject(memory, pen);
        drawSeries(memory, layout, keptPoint, total, g, points, nullptr);
        SelectObject(memory, before);
        DeleteObject(pen);
    }
}

// Which line is which, in the plot's top left corner.
void drawTwoFuturesKey(HDC memory, const PlotBox& p) {
    if (p.right - p.left < 150 || p.bottom - p.top < 40)
        return;
    const int x = p.left + 8, y = p.top + 8;
    HPEN dashed = CreatePen(PS_DASH, 1, Black);
    HGDIOBJ before = SelectObject(memory, dashed);
    line(memory, x, y, x + 24, y);
    SelectObject(memory, GetStockObject(BLACK_PEN));
    line(memory, x, y + 16, x + 24, y + 16);
    SelectObject(memory, before);
    DeleteObject(dashed);
    text(memory, x + 30, y - 7, TA_LEFT | TA_TOP, "before the edit");
    text(memory, x + 30, y + 9, TA_LEFT | TA_TOP, "after the edit");
}

}  // namespace

void ShowSpaceTime(HWND owner) { show(owner, SpaceTimeView); }
void ShowSpeedChart(HWND owner) { show(owner, SpeedChartView); }

// The scenario's events: a thin red line at each one's time, from y1 to y2.
static void drawEventMarks(HDC dc, const Scale& time, double stepsPerUnit, int y1, int y2) {
    int at[MaxEventMarks];
    int n = eventPixels(time, stepsPerUnit, at, MaxEventMarks);
    if (n == 0)
        return;
    HPEN red = CreatePen(PS_SOLID, 1, EventRed);
    HGDIOBJ before = SelectObject(dc, red);
    for (int k = 0; k < n; k++)
        line(dc, at[k], y1, at[k], y2);
    SelectObject(dc, before);
    DeleteObject(red);
}

void ComposeSpaceTimeView(HDC memory, uint32_t* pixels, int width, int height, int lane) {
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
    GdiFlush();
    SpaceTimeLayout layout = layoutSpaceTime(width, height, liveViews.spaceTime.roadLength);
    composeSpaceTime(pixels, width, height, layout, lane, zoneNow());
    const PlotBox& p = layout.plot;
    if (p.right <= p.left)
        return;

    HGDIOBJ font = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, Black);
    HGDIOBJ pen = SelectObject(memory, GetStockObject(BLACK_PEN));
    text(memory, layout.laneTextX, layout.laneTextY, TA_LEFT | TA_TOP, laneName(lane));

    Tick ticks[TickCapacity];
    int n = valueTicks(layout.miles, 40, "%.1f mi", ticks, TickCapacity);
    for (int k = 0; k < n; k++) {
        line(memory, layout.zoneStrip.left - 4, ticks[k].pixel, layout.zoneStrip.left, ticks[k].pixel);
        text(memory, layout.zoneStrip.left - 6, ticks[k].pixel - 6, TA_RIGHT | TA_TOP, ticks[k].label);
    }
    int count = 0, newestStep = 0, zone = 0;
    if (sampleCars(0, &count, &newestStep, &zone)) {
        Scale seconds = spaceTimeSeconds(p, newestStep);
        n = timeTicks(seconds, 70, ticks, TickCapacity);
        for (int k = 0; k < n; k++) {
            line(memory, ticks[k].pixel, p.bottom, ticks[k].pixel, p.bottom + 4);
            text(memory, ticks[k].pixel, p.bottom + 5, TA_CENTER | TA_TOP, ticks[k].label);
        }
        drawEventMarks(memory, seconds, SampleSteps, p.bottom + 1, p.bottom + 9);
    }
    // The plot's frame, outside the dots.
    line(memory, p.left - 1, p.top - 1, p.left - 1, p.bottom);
    line(memory, p.left - 1, p.bottom, p.right, p.bottom);

    n = valueTicks(layout.keySpeed, 40, "%.0f mph", ticks, TickCapacity);
    for (int k = 0; k < n; k++) {
        line(memory, layout.key.right, ticks[k].pixel, layout.key.right + 3, ticks[k].pixel);
        text(memory, layout.key.right + 5, ticks[k].pixel - 6, TA_LEFT | TA_TOP, ticks[k].label);
    }
    SelectObject(memory, pen);
    SelectObject(memory, font);
}

void ComposeSpeedChartView(HDC memory, int width, int height) {
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
    int groups[MaxGroups];
    int reported = reportedGroups(groups, MaxGroups);
    ChartLayout layout = layoutSpeedChart(width, height, reported + 1);
    const bool twoFutures = keptPoint(0) != nullptr;
    const PlotBox& p = layout.plot;
    if (p.right <= p.left)
        return;

    HGDIOBJ font = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, Black);
    HPEN grid = CreatePen(PS_SOLID, 1, Grid);
    HGDIOBJ previousPen = SelectObject(memory, grid);
    Tick ticks[TickCapacity];
    int n = valueTicks(layout.speed, 24, "%.0f", ticks, TickCapacity);
    for (int k = 0; k < n; k++) {
        SelectObject(memory, grid);
        line(memory, p.left, ticks[k].pixel, p.right, ticks[k].pixel);
        SelectObject(memory, GetStockObject(BLACK_PEN));
        line(memory, p.left - 4, ticks[k].pixel, p.left, ticks[k].pixel);
        text(memory, p.left - 6, ticks[k].pixel - 6, TA_RIGHT | TA_TOP, ticks[k].label);
    }
    text(memory, 4, 2, TA_LEFT | TA_TOP, "mph");
    n = timeTicks(layout.seconds, 70, ticks, TickCapacity);
    SelectObject(memory, GetStockObject(BLACK_PEN));
    for (int k = 0; k < n; k++) {
        line(memory, ticks[k].pixel, p.bottom, ticks[k].pixel, p.bottom + 4);
        text(memory, ticks[k].pixel, p.bottom + 5, TA_CENTER | TA_TOP, ticks[k].label);
    }
    line(memory, p.left - 1, p.top, p.left - 1, p.bottom);
    line(memory, p.left - 1, p.bottom, p.right, p.bottom);
    drawEventMarks(memory, layout.seconds, world.stepsPerSecond, p.top, p.bottom);

    // One polyline per series, broken where a period had no sample; the
    // overall average last and thick, over the groups.
    static POINT points[ChartCapacity];
    if (twoFutures)
        drawKeptBranch(memory, layout, groups, reported, points);
    const int total = liveViews.chart.count;
    for (int entry = 0; entry <= reported; entry++) {
        const bool overall = entry == reported;
        const int g = overall ? -1 : groups[entry];
        COLORREF colour = overall ? Black : COLORREF(world.groups[g].colour) & 0xFFFFFF;
        HPEN pen = CreatePen(PS_SOLID, overall ? 3 : 1, colour);
        SelectObject(memory, pen);
        drawSeries(memory, layout, chartPoint, total, g, points, &colour);
        // The key: a stroke of the series' colour and its name.
        int column = entry / layout.keyRows, row = entry % layout.keyRows;
        int x = layout.key.left + column * 60, y = layout.key.top + row * 16 + 8;
        if (x + 60 <= layout.key.right + 1) {
            line(memory, x, y, x + 20, y);
            char name[8];
            std::snprintf(name, sizeof name, overall ? "A" : "%d", g);
            text(memory, x + 24, y - 7, TA_LEFT | TA_TOP, name);
        }
        SelectObject(memory, grid);
        DeleteObject(pen);
    }
    if (twoFutures)
        drawTwoFuturesKey(memory, p);
    SelectObject(memory, previousPen);
    DeleteObject(grid);
    SelectObject(memory, font);
}
