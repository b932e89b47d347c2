// The live views drawn with the real GDI into a DIB section, as their windows
// draw them, on the densest road; prints the tick and paint times for the
// README. Built with MinGW, run under Wine by scripts/wine-tests.sh.
#include "programs/ombrane/view_windows.h"

#include "core/sim.h"
#include "core/world.h"
#include "commands/commands.h"
#include "frontend/groups_grid.h"
#include "frontend/plots.h"
#include "frontend/live_views.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

class ViewsPaint : public ::testing::Test {
protected:
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;

    void SetUp() override { resetWorld(CurrentEdition); }
    void TearDown() override {
        runObserver = nullptr;
        release();
    }

    void canvas(int w, int h) {
        release();
        width = w;
        height = h;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        memory = CreateCompatibleDC(nullptr);
        previous = SelectObject(memory, bitmap);
        pixels = static_cast<uint32_t*>(bits);
    }
    void release() {
        if (!memory)
            return;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        memory = nullptr;
    }
    COLORREF at(int x, int y) {
        GdiFlush();
        return GetPixel(memory, x, y);
    }

    // 2344 cars of the 50 built-in groups, running at multiplier 1 with the
    // views' observer, as ombrane.exe runs them.
    void denseRoad() {
        loadDefaultGroups();
        for (Group& g : world.groups) {
            g.carCount = 50;
            for (int& n : g.laneCount)
                n = 0;
        }
        runObserver = observeRun;
        runTick();
        ASSERT_EQ(world.carTotal, 2344);
        world.run.running = 1;
    }
};

TEST_F(ViewsPaint, DotsInTheScaleColoursAndTheLaneChosen) {
    loadDefaultGroups();
    world.groups[0].carCount = 1;
    for (int g = 1; g < MaxGroups; g++)
        world.groups[g].carCount = 0;
    runObserver = observeRun;
    runTick();
    canvas(760, 480);
    ComposeSpaceTimeView(memory, pixels, width, height, 0);
    SpaceTimeLayout l = layoutSpaceTime(width, height, world.roadLength);
    int lane = world.cars[0].lane;
    int y = scalePixel(l.position, world.cars[0].position);
    ComposeSpaceTimeView(memory, pixels, width, height, lane);
    EXPECT_EQ(at(l.plot.right - 1, y), RGB(255, 0, 0));       // standing at step 0
    ComposeSpaceTimeView(memory, pixels, width, height, (lane + 1) % 4);
    EXPECT_EQ(at(l.plot.right - 1, y), RGB(255, 255, 255));
    // Tiny: nothing drawn, nothing broken.
    canvas(3, 2);
    ComposeSpaceTimeView(memory, pixels, width, height, AllLanes);
    ComposeSpeedChartView(memory, width, height);
}

TEST_F(ViewsPaint, ChartLinesInTheGroupsColours) {
    loadDefaultGroups();
    runObserver = observeRun;
    runTick();
    world.run.running = 1;
    for (int t = 0; t < 400; t++)
        runTick();
    ASSERT_GE(liveViews.chart.count, 5);
    canvas(640, 400);
    ComposeSpeedChartView(memory, width, height);
    ChartLayout l = layoutSpeedChart(width, height, 51);
    int black = 0;
    for (int x = l.plot.left; x < l.plot.right; x++)
        for (int y = l.plot.top; y < l.plot.bottom; y++)
            black += at(x, y) == RGB(0, 0, 0);
    EXPECT_GT(black, 3 * (l.plot.right - l.plot.left) / 4);   // the thick overall line
}

// Going back and editing a group: the run as it went before is drawn thin and
// dashed beyond the new lines' end, with a key; without an edit nothing more.
TEST_F(ViewsPaint, ChartDrawsTheFutureBeforeTheEditDashed) {
    loadDefaultGroups();
    runObserver = observeRun;
    runTick();
    world.run.running = 1;
    for (int t = 0; t < 1600; t++)
        runTick();
    canvas(640, 400);
    ComposeSpeedChartView(memory, width, height);
    static uint32_t unedited[640 * 400];
    GdiFlush();
    std::memcpy(unedited, pixels, sizeof unedited);

    backCommand(800);
    ComposeSpeedChartView(memory, width, height);
    GdiFlush();
    EXPECT_NE(std::memcmp(unedited, pixels, sizeof unedited), 0) << "cut to step 800";
    ASSERT_EQ(keptPoint(0), nullptr) << "no edit, no other future";

    char message[EditMessageSize];
    ASSERT_EQ(editGroupCell(0, 2, "60", message, sizeof message), EditApplied);
    ComposeSpeedChartView(memory, width, height);
    ChartLayout l = layoutSpeedChart(width, height, 2);
    const int newEnd = scalePixel(l.seconds, chartPoint(0)->seconds);
    int columns = 0, dashed = 0;
    for (int x = newEnd + 4; x < l.plot.right - 2; x++) {
        columns++;
        bool black = false;
        for (int y = l.plot.top + 40; y < l.plot.bottom && !black; y++)
            black = at(x, y) == RGB(0, 0, 0);
        dashed += black;
    }
    ASSERT_GT(columns, 100);
    EXPECT_GT(dashed, columns / 3) << "the overall line of the other future";
    EXPECT_LT(dashed, columns - 20) << "with gaps: dashed";
    int key = 0;
    for (int x = l.plot.left + 8; x <= l.plot.left + 32; x++)
        key += at(x, l.plot.top + 8) == RGB(0, 0, 0);
    EXPECT_GT(key, 10);
    EXPECT_LT(key, 25);
}

// The program's own menu and accelerator resources (linked into this test):
// View between File and Help with both views and their keys; File with
// Save Scenario As beside Save.
TEST(ViewsMenu, ViewStandsBetweenFileAndHelp) {
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), "Ombrane");
    ASSERT_NE(bar, nullptr);
    auto label = [](HMENU menu, int position) {
        char text[128] = "";
        GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
        return std::string(text);
    };
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(label(bar, 0), "&File");
    EXPECT_EQ(label(bar, 1), "&View");
    EXPECT_EQ(label(bar, 2), "&Help");
    HMENU view = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(view), 3);
    EXPECT_EQ(label(view, 0), "&Space-Time Diagram\tCtrl+1");
    EXPECT_EQ(GetMenuItemID(view, 0), UINT(IDM_SPACETIME));
    EXPECT_EQ(label(view, 1), "Speed &Chart\tCtrl+2");
    EXPECT_EQ(GetMenuItemID(view, 1), UINT(IDM_SPEEDCHART));
    EXPECT_EQ(label(view, 2), "&Groups\tCtrl+3");
    EXPECT_EQ(GetMenuItemID(view, 2), UINT(IDM_GROUPS));
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 9);
    EXPECT_EQ(label(file, 2), "Save Scenario &As...\tCtrl+Shift+S");
    EXPECT_EQ(GetMenuItemID(file, 2), UINT(IDM_SAVESCENARIO));
    EXPECT_EQ(label(file, 6), "&Back to Step...\tCtrl+B");
    DestroyMenu(bar);

    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "Ombrane");
    ACCEL keys[32];
    int n = CopyAcceleratorTableA(table, keys, 32);
    int found = 0;
    for (int k = 0; k < n; k++) {
        if ((keys[k].fVirt & (FVIRTKEY | FCONTROL)) == (FVIRTKEY | FCONTROL) && keys[k].key == '1')
            found += keys[k].cmd == IDM_SPACETIME;
        if ((keys[k].fVirt & (FVIRTKEY | FCONTROL)) == (FVIRTKEY | FCONTROL) && keys[k].key == '2')
            found += keys[k].cmd == IDM_SPEEDCHART;
        if ((keys[k].fVirt & (FVIRTKEY | FCONTROL)) == (FVIRTKEY | FCONTROL) && keys[k].key == '3')
            found += keys[k].cmd == IDM_GROUPS;
        if ((keys[k].fVirt & (FVIRTKEY | FCONTROL | FSHIFT)) == (FVIRTKEY | FCONTROL | FSHIFT) &&
            keys[k].key == 'S')
            found += keys[k].cmd == IDM_SAVESCENARIO;
    }
    EXPECT_EQ(found, 4);
    EXPECT_EQ(n, 12);               // the eight there were, the two views, the groups, the scenario
}

// Not an assertion: the cost at the heaviest load, for the README.
TEST_F(ViewsPaint, DenseRoadTickAndPaintTimes) {
    denseRoad();
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    const int ticks = 16 * 600;                 // ten simulated minutes at multiplier 1
    for (int t = 0; t < ticks; t++)
        runTick();
    double tick = millisecondsSince(start) / ticks;
    ASSERT_EQ(liveViews.spaceTime.count, 601);

    canvas(760, 520);
    const int paints = 20;
    double best[3] = {1e9, 1e9, 1e9};
    for (int batch = 0; batch < 3; batch++) {
        for (int kind = 0; kind < 3; kind++) {
            QueryPerformanceCounter(&start);
            for (int i = 0; i < paints; i++) {
                if (kind == 2)
                    ComposeSpeedChartView(memory, width, height);
                else
                    ComposeSpaceTimeView(memory, pixels, width, height, kind == 0 ? 0 : AllLanes);
                GdiFlush();
            }
            double ms = millisecondsSince(start) / paints;
            if (ms < best[kind])
                best[kind] = ms;
        }
    }
    std::printf("views: tick of %d cars with sampling %.3f ms (mean of %d ticks at x1)\n",
                world.carTotal, tick, ticks);
    std::printf("views: space-time paint at 760x520, 600 s shown: %.2f ms one lane, %.2f ms all lanes;"
                " speed chart of %d points, 51 lines at 760x520: %.2f ms (best batch of %d)\n",
                best[0], best[1], liveViews.chart.count, best[2], paints);
}

}  // namespace
