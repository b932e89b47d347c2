// The live views' rings as the tick fills them: one sample a simulated
// second at any multiplier, the report points' own numbers, fresh starts,
// going back, and rings that wrap without growing.
#include "frontend/live_views.h"

#include "commands/commands.h"
#include "core/world_fixture.h"

#include <cmath>
#include <cstdio>
#include <vector>

using namespace coretest;

namespace {

class LiveViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        runObserver = observeRun;
        loadDefaultGroups();
        quietly([] { runTick(); });     // places the 50 built-in cars
    }
    void TearDown() override { runObserver = nullptr; }

    template <class F> static void quietly(F f) {
        LogCapture log;
        f();
    }
    static void runTo(int step) {
        world.run.running = 1;
        quietly([&] {
            while (world.run.stepCount < step)
                runTick();
        });
    }
    static std::vector<int> sampleSteps() {
        std::vector<int> steps;
        int count, step, zone;
        for (int age = liveViews.spaceTime.count - 1; age >= 0; age--)
            if (sampleCars(age, &count, &step, &zone))
                steps.push_back(step);
        return steps;
    }
};

TEST_F(LiveViewsTest, OneSampleASimulatedSecondWhateverTheMultiplier) {
    for (int multiplier : {1, 7, 16, 100}) {
        SCOPED_TRACE(multiplier);
        SetUp();
        world.run.speedMultiplier = multiplier;
        runTo(800);
        std::vector<int> steps = sampleSteps();
        ASSERT_EQ(int(steps.size()), world.run.stepCount / SampleSteps + 1);
        for (size_t k = 0; k < steps.size(); k++)
            EXPECT_EQ(steps[k], int(k) * SampleSteps);
    }
}

TEST_F(LiveViewsTest, ASampleHoldsEveryCarAsItStood) {
    runTo(160);
    int count, step, zone;
    const CarSample* cars = sampleCars(0, &count, &step, &zone);
    ASSERT_NE(cars, nullptr);
    EXPECT_EQ(step, 160);
    ASSERT_EQ(count, 50);
    // The run went on after the sample only if the tick passed it.
    for (int c = 0; c < count; c++) {
        EXPECT_EQ(cars[c].lane, world.cars[c].lane);
        EXPECT_NEAR(cars[c].position, world.cars[c].position, 0.5f);
        EXPECT_NEAR(cars[c].speed, world.cars[c].speed, 0.5f);
    }
    EXPECT_EQ(zone, 0);
    EXPECT_EQ(liveViews.spaceTime.topSpeed, 60.0f);   // the fastest built-in group
}

TEST_F(LiveViewsTest, ReportPointsHoldTheNumbersOfTheReportLine) {
    runTo(800);
    ASSERT_EQ(liveViews.chart.count, 10);   // steps 0, 80, ... 720
    const ChartPoint* newest = chartPoint(0);
    EXPECT_EQ(newest->step, 720);
    EXPECT_EQ(newest->seconds, 45);
    // The point is made when the line is: the line of step 720 is the latest.
    char line[LineSize];
    int length = std::snprintf(line, sizeof line, ", %d, %2.0f", newest->seconds, double(newest->overall));
    for (int g = 0; g < MaxGroups; g++)
        if (newest->group[g] >= 0)
            length += std::snprintf(line + length, sizeof line - size_t(length), ", %2.0f",
                                    double(newest->group[g]));
    EXPECT_EQ(std::string(line) + "\n", world.reportLine);
    EXPECT_EQ(chartPoint(9)->overall, -1.0f);   // step 0: nothing sampled yet
    EXPECT_EQ(chartPoint(10), nullptr);
}

TEST_F(LiveViewsTest, GroupsNotReportedAreLeftOff) {
    for (int g = 1; g < MaxGroups; g++)
        world.groups[g].reportFlag = 0;
    world.groups[0].reportFlag = 1;
    runTo(240);
    const ChartPoint* newest = chartPoint(0);
    EXPECT_GE(newest->group[0], 0.0f);
    for (int g = 1; g < MaxGroups; g++)
        EXPECT_EQ(newest->group[g], -1.0f) << g;
}

TEST_F(LiveViewsTest, RestartAndPlacementStartBothViewsAfresh) {
    runTo(400);
    quietly([] {
        restartCommand();
        runTick();
    });
    EXPECT_EQ(liveViews.chart.count, 0);
    EXPECT_EQ(sampleSteps(), std::vector<int>{0});

    // A groups file read with its cars while running: the same, and the run
    // goes on with its first report point.
    runTo(400);
    quietly([] {
        world.groups[3].carCount = 10;
        world.newGroupsPending = 1;
        runTick();
    });
    ASSERT_EQ(liveViews.chart.count, 1);
    EXPECT_EQ(chartPoint(0)->step, 0);
    EXPECT_EQ(sampleSteps(), std::vector<int>{0});
    EXPECT_EQ(liveViews.spaceTime.carCount[liveViews.spaceTime.first], 10);
}

TEST_F(LiveViewsTest, GoingBackKeepsTheHistoryUpToTheStepAndRunsOnTheSame) {
    runTo(960);
    const std::vector<int> before = sampleSteps();
    const int points = liveViews.chart.count;
    int count, step, zone;
    std::vector<CarSample> at800(sampleCars(10, &count, &step, &zone), sampleCars(10, &count, &step, &zone) + count);
    ASSERT_EQ(step, 800);

    quietly([] { backCommand(700); });
    std::vector<int> cut = sampleSteps();
    EXPECT_EQ(cut.back(), 688);             // samples at or before the step
    EXPECT_EQ(chartPoint(0)->step, 640);    // points before it: 700's own comes again

    runTo(960);
    EXPECT_EQ(sampleSteps(), before);       // no sample twice, none missing
    EXPECT_EQ(liveViews.chart.count, points);
    const CarSample* again = sampleCars(10, &count, &step, &zone);
    ASSERT_EQ(step, 800);
    for (int c = 0; c < count; c++) {
        EXPECT_EQ(again[c].position, at800[size_t(c)].position) << c;
        EXPECT_EQ(again[c].speed, at800[size_t(c)].speed) << c;
    }
}

TEST_F(LiveViewsTest, TheZoneIsSampledWhileOn) {
    quietly([] { handleRunKey('C'); });
    runTo(32);
    int count, step, zone;
    ASSERT_NE(sampleCars(0, &count, &step, &zone), nullptr);
    EXPECT_EQ(zone, 1);
}

// A run of many hours: the rings hold their capacity, the newest at the end,
// in order without a seam.
TEST_F(LiveViewsTest, LongRunsWrapTheRingsWithoutGrowing) {
    for (int k = 1; k <= 3 * SampleCapacity + 17; k++) {
        world.run.stepCount = k * SampleSteps;
        observeRun(RunStepped);
    }
    std::vector<int> steps = sampleSteps();
    ASSERT_EQ(int(steps.size()), int(SampleCapacity));
    EXPECT_EQ(steps.back(), (3 * SampleCapacity + 17) * SampleSteps);
    for (size_t k = 1; k < steps.size(); k++)
        ASSERT_EQ(steps[k] - steps[k - 1], int(SampleSteps)) << k;

    for (int k = 1; k <= ChartCapacity + 5; k++) {
        world.run.stepCount = k * 80;
        observeRun(RunReported);
    }
    EXPECT_EQ(liveViews.chart.count, int(ChartCapacity));
    EXPECT_EQ(chartPoint(0)->step, (ChartCapacity + 5) * 80);
    EXPECT_EQ(chartPoint(ChartCapacity - 1)->step, 6 * 80);
    EXPECT_EQ(chartPoint(ChartCapacity), nullptr);
}

// Whatever a groups file made of a car, its sample stays within its fields.
TEST_F(LiveViewsTest, OddCarsAreHeldToTheSampleFields) {
    putCars({{-5, 0, 0, NAN}, {70000, 3, 0, 1e9f}, {100, 1, 0, -3}, {200, 2, 0, 254.6f}});
    world.cars[2].lane = 9;
    takeSample();
    int count, step, zone;
    const CarSample* cars = sampleCars(0, &count, &step, &zone);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(cars[0].position, 0);
    EXPECT_EQ(cars[0].speed, 0);
    EXPECT_EQ(cars[1].position, 65535);
    EXPECT_EQ(cars[1].speed, 255);
    EXPECT_EQ(cars[2].speed, 0);
    EXPECT_EQ(cars[2].lane, 0);
    EXPECT_EQ(cars[3].speed, 255);
}

TEST_F(LiveViewsTest, NoCarsOneCarAndAFullRoad) {
    world.carTotal = 0;
    startViewsAfresh();
    int count, step, zone;
    ASSERT_NE(sampleCars(0, &count, &step, &zone), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(liveViews.spaceTime.topSpeed, 1.0f);  // never 0: the colour scale divides by it

    putCars({{500, 2, 4, 33}});
    startViewsAfresh();
    ASSERT_NE(sampleCars(0, &count, &step, &zone), nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(liveViews.spaceTime.topSpeed, world.groups[4].desiredSpeed);

    for (int c = 0; c < MaxCars; c++)
        world.cars[c] = Car{float(c * 8), 0, 50, 0, c % 4, 0, 0, 0, c};
    world.carTotal = MaxCars;
    takeSample();
    const CarSample* cars = sampleCars(0, &count, &step, &zone);
    ASSERT_EQ(count, int(MaxCars));
    EXPECT_EQ(cars[MaxCars - 1].position, (MaxCars - 1) * 8);
}

}  // namespace
