// How the live views look: scales, the speed colours, ticks and labels, the
// layout at any window size, and the space-time diagram's pixels.
#include "frontend/plots.h"

#include "core/scenario.h"

#include "core/world_fixture.h"

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace coretest;

namespace {

// ------------------------------------------------------------ scales, colours

TEST(PlotScale, MapsTheEndsAndHoldsWhatLiesOutside) {
    Scale s{0, 21120, 24, 423};
    EXPECT_EQ(scalePixel(s, 0), 24);
    EXPECT_EQ(scalePixel(s, 21120), 423);
    EXPECT_EQ(scalePixel(s, 10560), 224);       // 223.5 rounds away from zero
    EXPECT_EQ(scalePixel(s, -100), 24);
    EXPECT_EQ(scalePixel(s, 1e30), 423);
    Scale upward{0, 60, 300, 20};               // mph up the screen
    EXPECT_EQ(scalePixel(upward, 60), 20);
    EXPECT_EQ(scalePixel(upward, 30), 160);
}

TEST(PlotScale, EmptyOrBrokenSpansGiveTheLowEnd) {
    EXPECT_EQ(scalePixel(Scale{5, 5, 10, 90}, 7), 10);
    EXPECT_EQ(scalePixel(Scale{0, NAN, 10, 90}, 7), 10);
    EXPECT_EQ(scalePixel(Scale{0, 10, 10, 90}, NAN), 10);
    EXPECT_EQ(scalePixel(Scale{0, INFINITY, 10, 90}, 7), 10);
}

TEST(SpeedColour, RedThroughYellowToGreen) {
    EXPECT_EQ(colourRef(speedColour(0, 60)), 0x0000FFu);
    EXPECT_EQ(colourRef(speedColour(30, 60)), 0x00FFFFu);
    EXPECT_EQ(colourRef(speedColour(60, 60)), 0x00FF00u);
    EXPECT_EQ(pixelWord(speedColour(0, 60)), 0xFF0000u);
    EXPECT_EQ(pixelWord(speedColour(60, 60)), 0x00FF00u);
    EXPECT_EQ(colourRef(speedColour(90, 60)), 0x00FF00u);   // faster than the top: green
}

// The Wine tests tell the dots from everything else by this property.
TEST(SpeedColour, EveryColourHasNoBlueAndAFullRedOrGreen) {
    for (float mph = -5; mph <= 70; mph += 0.25f) {
        Rgb c = speedColour(mph, 60);
        EXPECT_EQ(c.b, 0) << mph;
        EXPECT_TRUE(c.r == 255 || c.g == 255) << mph;
    }
}

TEST(SpeedColour, OddInputIsRed) {
    EXPECT_EQ(colourRef(speedColour(NAN, 60)), 0x0000FFu);
    EXPECT_EQ(colourRef(speedColour(10, 0)), 0x0000FFu);
    EXPECT_EQ(colourRef(speedColour(10, NAN)), 0x0000FFu);
    EXPECT_EQ(colourRef(speedColour(INFINITY, 60)), 0x00FF00u);
}

// ------------------------------------------------------------ ticks and labels

TEST(TimeLabels, MinutesAndSeconds) {
    char text[LabelSize];
    const std::pair<int, const char*> cases[] = {
        {0, "0:00"}, {5, "0:05"}, {75, "1:15"}, {600, "10:00"}, {3599, "59:59"},
        {3725, "1:02:05"}, {-5, "-0:05"}, {INT_MIN, "-596523:14:08"},
    };
    for (auto [seconds, expected] : cases) {
        formatMinutesSeconds(seconds, text, sizeof text);
        EXPECT_STREQ(text, expected) << seconds;
    }
    char tiny[4];
    formatMinutesSeconds(3725, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "1:0");
}

TEST(TimeTicks, RoundSpacingsWideEnoughApartAndNeverNegative) {
    Tick ticks[TickCapacity];
    // 600 columns, one a second, newest at 900 s.
    int n = timeTicks(Scale{301, 900, 56, 655}, 70, ticks, TickCapacity);
    ASSERT_EQ(n, 5);
    EXPECT_STREQ(ticks[0].label, "6:00");
    EXPECT_EQ(ticks[0].pixel, 56 + 59);
    EXPECT_STREQ(ticks[4].label, "14:00");     // every two minutes
    EXPECT_EQ(ticks[4].pixel, 56 + 539);
    for (int k = 1; k < n; k++)
        EXPECT_GE(ticks[k].pixel - ticks[k - 1].pixel, 70);

    n = timeTicks(Scale{-500, 99, 0, 599}, 70, ticks, TickCapacity);
    ASSERT_EQ(n, 1);                        // nothing before the run
    EXPECT_STREQ(ticks[0].label, "0:00");
    EXPECT_EQ(ticks[0].pixel, 500);
}

TEST(TimeTicks, NothingForAnEmptyScaleAndNoMoreThanAsked) {
    Tick ticks[TickCapacity];
    EXPECT_EQ(timeTicks(Scale{10, 10, 0, 0}, 70, ticks, TickCapacity), 0);
    EXPECT_EQ(timeTicks(Scale{0, 100, 5, 5}, 70, ticks, TickCapacity), 0);
    EXPECT_EQ(timeTicks(Scale{0, 1000, 0, 999}, 1, ticks, 3), 3);
    // Years of simulated time on a few pixels: no spacing wide enough, no ticks.
    EXPECT_EQ(timeTicks(Scale{0, 1e9, 0, 100}, 70, ticks, TickCapacity), 0);
}

TEST(ValueTicks, MilesDownTheRing) {
    Tick ticks[TickCapacity];
    int n = valueTicks(Scale{0, 4, 24, 423}, 40, "%.1f mi", ticks, TickCapacity);
    ASSERT_EQ(n, 9);
    EXPECT_STREQ(ticks[0].label, "0.0 mi");
    EXPECT_EQ(ticks[0].pixel, 24);
    EXPECT_STREQ(ticks[8].label, "4.0 mi");
    EXPECT_EQ(ticks[8].pixel, 423);
    // A short window: fewer, wider.
    n = valueTicks(Scale{0, 4, 0, 100}, 40, "%.1f mi", ticks, TickCapacity);
    ASSERT_EQ(n, 3);
    EXPECT_STREQ(ticks[1].label, "2.0 mi");
    EXPECT_EQ(valueTicks(Scale{0, 4, 7, 7}, 40, "%.1f", ticks, TickCapacity), 0);
}

// ------------------------------------------------------------ the diagram

class SpaceTimePicture : public ::testing::Test {
protected:
    static constexpr uint32_t Guard = 0x123456;
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;

    void SetUp() override { freshWorld(); }

    SpaceTimeLayout compose(int w, int h, int lane, int zone = 0) {
        width = w;
        height = h;
        pixels.assign(size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0), Guard);
        SpaceTimeLayout layout = layoutSpaceTime(w, h, world.roadLength);
        composeSpaceTime(pixels.data(), w, h, layout, lane, zone);
        return layout;
    }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    static bool inside(const PlotBox& b, int x, int y) {
        return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
    }
};

TEST_F(SpaceTimePicture, EachCarADotAtItsPlaceInItsSpeedColour) {
    calmGroup(0, 60);
    putCars({{0, 0, 0, 0}, {10560, 0, 0, 60}, {5280, 1, 0, 30}});
    startViewsAfresh();
    SpaceTimeLayout l = compose(760, 480, 0);
    const int x = l.plot.right - 1;
    EXPECT_EQ(at(x, l.plot.top), 0xFF0000u);            // standing: red
    EXPECT_EQ(at(x, l.plot.top + 1), 0xFF0000u);        // two pixels tall
    int middle = scalePixel(l.position, 10560);
    EXPECT_EQ(at(x, middle), 0x00FF00u);                // at the top speed: green
    int quarter = scalePixel(l.position, 5280);
    EXPECT_EQ(at(x, quarter), 0xFFFFFFu);               // lane 2's car is not drawn
    EXPECT_EQ(at(x - 1, l.plot.top), 0xFFFFFFu);        // one sample, one column

    compose(760, 480, AllLanes);
    EXPECT_EQ(at(x, quarter), 0xFFFF00u);               // half the top: yellow
    compose(760, 480, 1);
    EXPECT_EQ(at(x, l.plot.top), 0xFFFFFFu);
    EXPECT_EQ(at(x, quarter), 0xFFFF00u);
}

TEST_F(SpaceTimePicture, NewestAtTheRightOneColumnPerSample) {
    putCars({{0, 0, 0, 10}});
    startViewsAfresh();
    for (int k = 1; k <= 5; k++) {
        world.run.stepCount = k * SampleSteps;
        world.cars[0].position = float(k * 1000);
        takeSample();
    }
    SpaceTimeLayout l = compose(600, 400, 0);
    for (int k = 0; k <= 5; k++) {
        int x = l.plot.right - 1 - (5 - k);
        EXPECT_NE(at(x, scalePixel(l.position, k * 1000)), 0xFFFFFFu) << k;
        EXPECT_EQ(spaceTimeStepAt(l, x, l.plot.top + 10), k * SampleSteps);
    }
    EXPECT_EQ(spaceTimeStepAt(l, l.plot.right - 7, l.plot.top + 10), -1);  // before the run
    EXPECT_EQ(spaceTimeStepAt(l, l.plot.right, l.plot.top + 10), -1);      // the key's side
    EXPECT_EQ(spaceTimeStepAt(l, l.plot.right - 1, l.plot.bottom), -1);

    Scale seconds = spaceTimeSeconds(l.plot, 5 * SampleSteps);
    EXPECT_EQ(scalePixel(seconds, 5), l.plot.right - 1);
    EXPECT_EQ(scalePixel(seconds, 0), l.plot.right - 6);
}

TEST_F(SpaceTimePicture, TheZoneShadesItsStretchAndTheStrip) {
    putCars({});
    startViewsAfresh();
    world.run.constructionZone = 1;
    world.run.stepCount = SampleSteps;
    takeSample();
    SpaceTimeLayout l = compose(760, 480, 0, 1);
    int y = (l.zoneTop + l.zoneBottom) / 2;
    EXPECT_EQ(at(l.plot.right - 1, y), 0xE4E4E4u);      // sampled with the zone on
    EXPECT_EQ(at(l.plot.right - 2, y), 0xFFFFFFu);      // the fresh start's, without
    EXPECT_EQ(at(l.plot.right - 1, l.zoneTop - 1), 0xFFFFFFu);
    EXPECT_EQ(at(l.zoneStrip.left, y), 0xD0D000u);
    EXPECT_EQ(scalePixel(l.position, 7.25 * 1320), l.zoneTop);

    compose(760, 480, 0, 0);
    EXPECT_EQ(at(l.zoneStrip.left, y), 0xFFFFFFu);
}

// Whatever the size, nothing is written outside the plot, the strip and the
// key, and nothing divides by zero.
TEST_F(SpaceTimePicture, TinyAndHugeWindows) {
    calmGroup(0, 60);
    putCars({{0, 0, 0, 0}, {21119, 0, 0, 60}, {21120, 0, 0, 60}});
    startViewsAfresh();
    const int sizes[][2] = {{0, 0}, {1, 1}, {60, 40}, {133, 49}, {132, 60}, {140, 60}, {3000, 2000}};
    for (auto [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        SpaceTimeLayout l = compose(w, h, AllLanes, 1);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (!inside(l.plot, x, y) && !inside(l.zoneStrip, x, y) && !inside(l.key, x, y)) {
                    ASSERT_EQ(at(x, y), Guard) << x << "," << y;
                }
        EXPECT_EQ(spaceTimeStepAt(l, 0, 0), -1);
    }
    composeSpaceTime(nullptr, 100, 100, layoutSpaceTime(100, 100, 0), 0, 0);  // no buffer
}

// ------------------------------------------------------------ the chart

class ChartPicture : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        startViewsAfresh();
    }
    static void point(int seconds, float overall, float group0) {
        world.run.stepCount = seconds * world.stepsPerSecond;
        world.overallAverage = overall;
        world.groups[0].reportFlag = 1;
        world.groups[0].averageSpeed = group0;
        observeRun(RunReported);
    }
};

TEST_F(ChartPicture, ScalesFollowTheReportPoints) {
    EXPECT_EQ(chartTopSpeed(), 10);         // nothing yet
    point(0, -1, 0);
    point(5, 42, 44);
    point(10, 45, 47.5f);
    EXPECT_EQ(chartTopSpeed(), 50);
    ChartLayout l = layoutSpeedChart(640, 400, 2);
    EXPECT_EQ(scalePixel(l.seconds, 0), l.plot.left);
    EXPECT_EQ(scalePixel(l.seconds, 60), l.plot.right - 1);  // a minute at least
    EXPECT_EQ(scalePixel(l.speed, 0), l.plot.bottom - 1);
    EXPECT_EQ(scalePixel(l.speed, 50), l.plot.top);
    int groups[MaxGroups];
    ASSERT_EQ(reportedGroups(groups, MaxGroups), 1);
    EXPECT_EQ(groups[0], 0);

    for (int s = 15; s <= 600; s += 5)
        point(s, 45, 250);
    EXPECT_EQ(chartTopSpeed(), 250);         // a tick of 50 mph
    l = layoutSpeedChart(640, 400, 2);
    EXPECT_EQ(scalePixel(l.seconds, 600), l.plot.right - 1);
    point(605, 1e30f, 1e30f);                // absurd averages stay off the scale
    EXPECT_EQ(chartTopSpeed(), 250);
    point(610, 251, 0);
    EXPECT_EQ(chartTopSpeed(), 300);
}

TEST_F(ChartPicture, TheKeyGivesWayToThePlot) {
    ChartLayout l = layoutSpeedChart(640, 400, 51);
    EXPECT_GE(l.keyRows, 1);
    EXPECT_GE(l.plot.right - l.plot.left, 640 / 2 - 44);
    EXPECT_LE(l.key.right, 640);
    for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {50, 30}, {100, 45}, {-5, -5}}) {
        l = layoutSpeedChart(w, h, 51);
        EXPECT_TRUE(l.plot.right <= l.plot.left || (l.plot.left >= 0 && l.plot.right <= w)) << w;
        EXPECT_GE(l.keyRows, 1);
    }
}

}  // namespace

// The marks of a scenario's events on a view's time scale: only those in
// the scale's range, at the scale's pixel, none without a scenario.
TEST(EventMarks, FallWhereTheScaleShowsTheEventsTime) {
    clearScenarioPlan();
    Scale seconds{0, 600, 100, 700};
    int at[8];
    EXPECT_EQ(eventPixels(seconds, 16, at, 8), 0);
    scenarioPlan.active = 1;
    scenarioPlan.eventCount = 3;
    scenarioPlan.events[0].step = 3360;     // 3:30
    scenarioPlan.events[1].step = 6240;     // 6:30
    scenarioPlan.events[2].step = 16 * 700; // past the right end
    ASSERT_EQ(eventPixels(seconds, 16, at, 8), 2);
    EXPECT_EQ(at[0], 310);
    EXPECT_EQ(at[1], 490);
    EXPECT_EQ(eventPixels(seconds, 16, at, 1), 1);  // capacity kept
    // A scale the other way round holds the same events.
    Scale reversed{600, 0, 700, 100};
    ASSERT_EQ(eventPixels(reversed, 16, at, 8), 2);
    EXPECT_EQ(at[0], 310);
    clearScenarioPlan();
}
