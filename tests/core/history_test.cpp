// Going back: the keyframe ring and the replay from it. A run that goes back
// to a step and runs on must be the uninterrupted run, byte for byte.
#include "world_fixture.h"

#include "core/history.h"

using namespace coretest;

namespace {

// Busy traffic with lane changes: the built-in groups, eight of them with
// 60 cars each, placed by the first tick and running.
void startBusyRun(int multiplier = 1) {
    freshWorld();
    clearHistory();
    loadDefaultGroups();
    for (int g = 0; g < 8; g++)
        world.groups[g].carCount = 60;
    world.run.speedMultiplier = multiplier;
    world.run.running = 1;
    runTick();
}

// Runs until the step is reached, one tick at a time.
void runTo(int step) {
    world.run.running = 1;
    while (world.run.stepCount < step)
        runTick();
}

void toggleZone() {
    LogCapture log;
    handleRunKey('C');
}

// The model of a world: everything a run computes, not the run's settings.
::testing::AssertionResult sameModel(const SimWorld& a, const SimWorld& b) {
    if (a.run.stepCount != b.run.stepCount)
        return ::testing::AssertionFailure() << "steps " << a.run.stepCount << " and " << b.run.stepCount;
    if (a.carTotal != b.carTotal || std::memcmp(a.cars, b.cars, sizeof a.cars) != 0)
        return ::testing::AssertionFailure() << "cars differ at step " << a.run.stepCount;
    if (std::memcmp(a.groups, b.groups, sizeof a.groups) != 0)
        return ::testing::AssertionFailure() << "groups (statistics) differ";
    if (std::memcmp(&a.order, &b.order, sizeof a.order) != 0 || a.reorderSwaps != b.reorderSwaps)
        return ::testing::AssertionFailure() << "order ring differs";
    if (std::strcmp(a.reportLine, b.reportLine) != 0 || std::strcmp(a.titleLine, b.titleLine) != 0)
        return ::testing::AssertionFailure() << "report lines differ: " << a.reportLine << " / " << b.reportLine;
    if (a.run.constructionZone != b.run.constructionZone)
        return ::testing::AssertionFailure() << "construction zone differs";
    return ::testing::AssertionSuccess();
}

SimWorld uninterrupted;   // static: the record is large
SimWorld before;

TEST(GoBack, RunningOnFromAnEarlierStepGivesTheSameRun) {
    startBusyRun();
    runTo(1000);
    uninterrupted = world;

    startBusyRun();
    runTo(1000);
    ASSERT_EQ(goBackTo(437), BackDone);
    EXPECT_EQ(world.run.stepCount, 437);
    EXPECT_EQ(world.run.running, 0);
    runTo(1000);
    EXPECT_TRUE(sameModel(world, uninterrupted));
}

// A report point resets the statistics; with a multiplier it falls only where
// a tick starts, so the replay must make it at the step the run made it.
TEST(GoBack, ReportPointsOfAMultipliedRunAreReplayed) {
    startBusyRun(5);  // ticks start at multiples of 5, so at every report point
    runTo(1115);
    before = world;
    runTo(1200);
    uninterrupted = world;

    startBusyRun(5);
    runTo(1200);
    // From the keyframe at 1040, whose tick made a report point.
    ASSERT_EQ(goBackTo(1115), BackDone);
    EXPECT_EQ(world.run.speedMultiplier, 5);
    EXPECT_TRUE(sameModel(world, before));
    // A report point itself: it is made again on the way on.
    ASSERT_EQ(goBackTo(1040), BackDone);
    runTo(1200);
    EXPECT_TRUE(sameModel(world, uninterrupted));
}

TEST(GoBack, AZoneSwitchedBeforeTheStepIsKeptAndOneAfterIsUndone) {
    startBusyRun();
    runTo(300);
    toggleZone();
    runTo(700);
    toggleZone();
    runTo(900);
    uninterrupted = world;

    startBusyRun();
    runTo(300);
    toggleZone();
    runTo(700);
    toggleZone();
    runTo(900);
    ASSERT_EQ(goBackTo(650), BackDone);
    EXPECT_EQ(world.run.constructionZone, 1);  // switched on at 300, off only at 700
    runTo(700);
    toggleZone();
    runTo(900);
    EXPECT_TRUE(sameModel(world, uninterrupted));
}

TEST(GoBack, TwiceInARowThenOnGivesTheSameRun) {
    startBusyRun();
    runTo(1500);
    uninterrupted = world;

    startBusyRun();
    runTo(1500);
    ASSERT_EQ(goBackTo(1201), BackDone);
    runTo(1300);
    ASSERT_EQ(goBackTo(333), BackDone);
    ASSERT_EQ(goBackTo(160), BackDone);
    EXPECT_EQ(world.run.stepCount, 160);
    runTo(1500);
    EXPECT_TRUE(sameModel(world, uninterrupted));
}

TEST(GoBack, StepsNotHeldChangeNothing) {
    startBusyRun();
    runTo(500);
    before = world;
    EXPECT_EQ(goBackTo(501), BackAhead);
    EXPECT_EQ(goBackTo(-1), BackTooOld);
    EXPECT_EQ(std::memcmp(static_cast<void*>(&before), &world, sizeof world), 0);

    // Going back to where the run stands brings the same state back.
    ASSERT_EQ(goBackTo(500), BackDone);
    EXPECT_TRUE(sameModel(world, before));
}

TEST(GoBack, PlacementAndTheEarlierEditionKeepNoHistory) {
    startBusyRun();
    runTo(200);
    world.groups[0].carCount = 1;  // as a newly read file would leave it
    runTick();                      // places: a new run begins
    EXPECT_EQ(goBackTo(100), BackAhead);
    EXPECT_EQ(oldestKeyframeStep(), 0);

    EarlierEdition earlier;
    clearHistory();
    loadDefaultGroups();
    runTo(300);
    EXPECT_EQ(history.count, 0);
    EXPECT_EQ(goBackTo(100), BackNoHistory);
}

// The ring holds the last 400 keyframes; older steps are gone, newer ones are
// still exact.
TEST(GoBack, TheRingForgetsTheOldestAndKeepsTheLastHalfHour) {
    freshWorld();
    clearHistory();
    loadDefaultGroups();
    const int end = KeyframeCapacity * KeyframeSteps + 3 * KeyframeSteps + 17;
    runTo(end);
    EXPECT_EQ(history.count, KeyframeCapacity);
    EXPECT_EQ(oldestKeyframeStep(), end - 17 - (KeyframeCapacity - 1) * KeyframeSteps);
    EXPECT_GE(end - oldestKeyframeStep(), 30 * 60 * 16);  // half an hour of steps
    uninterrupted = world;
    EXPECT_EQ(goBackTo(oldestKeyframeStep() - 1), BackTooOld);
    ASSERT_EQ(goBackTo(oldestKeyframeStep() + 5), BackDone);
    runTo(end);
    EXPECT_TRUE(sameModel(world, uninterrupted));
}

}  // namespace
