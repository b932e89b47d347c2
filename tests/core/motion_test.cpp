// One car's longitudinal step: following, start delay, acceleration, the
// construction zone, the move and the wrap; and groups with unusable values.
#include "world_fixture.h"

#include <limits>

using namespace coretest;

namespace {

// Speeds and positions as the step stores them: evaluated in double, rounded
// once to float.
float plus(float a, float b) { return float(double(a) + double(b)); }
// What 10 ft/s^2 adds per step at 16 steps per second.
const float Gain10 = float(10.0 / 5280.0 * 3600.0 / 16.0);

TEST(MotionStep, LoneCarAcceleratesFromRest) {
    freshWorld();
    calmGroup(0);
    putCars({{1000, 1}});
    GapView v = gapsOf(0);
    EXPECT_EQ(freeGap(v), 21102.0f);
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, Gain10);
    EXPECT_EQ(world.cars[0].position, plus(1000, mphToFeetPerStep(Gain10)));
}

TEST(MotionStep, DesiredSpeedCapsAcceleration) {
    freshWorld();
    calmGroup(0, 60, 10);
    putCars({{1000, 0, 0, 59.9f}});
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, 60.0f);
    EXPECT_EQ(world.cars[0].position, 1005.5f);
}

TEST(MotionStep, DesiredGapScalesWithSpeed) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{0, 0, 0, 60}, {100, 0, 0, 30}});
    EXPECT_EQ(desiredGap(0), 54.0f);
    EXPECT_EQ(desiredGap(1), 27.0f);
}

TEST(MotionStep, EqualGapsTakeTheAcceleratingBranch) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 30}, {1045, 0, 0, 30}});  // free gap 27 = desired gap 27
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, plus(30, Gain10));
}

TEST(MotionStep, FollowingSetsTheSpeedThatKeepsTheDesiredGap) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 30, 0, 0, 5}, {1038, 0, 0, 30}});  // free gap 20
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, float(20.0 * 60.0 / 54.0));
    // Above 10 mph the delay is neither re-armed nor counted down.
    EXPECT_EQ(world.cars[0].delay, 5);
}

TEST(MotionStep, ExactlyTenMphDoesNotRearmTheDelay) {
    freshWorld();
    calmGroup(0, 60, 10, 60);
    putCars({{1000, 0, 0, 30}, {1028, 0, 0, 30}});  // free gap 10
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, 10.0f);
    EXPECT_EQ(world.cars[0].delay, 0);
}

TEST(MotionStep, BelowTenMphRearmsTheDelay) {
    freshWorld();
    calmGroup(0, 60, 10, 60);
    putCars({{1000, 0, 0, 30}, {1027.99f, 0, 0, 30}});
    stepCar(0);
    EXPECT_LT(world.cars[0].speed, 10.0f);
    EXPECT_GT(world.cars[0].speed, 9.98f);
    EXPECT_EQ(world.cars[0].delay, 16);
}

TEST(MotionStep, DelayHoldsTheSpeedThenCountsDown) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 25, 0, 0, 3}});
    for (int left = 2; left >= 0; left--) {
        stepCar(0);
        EXPECT_EQ(world.cars[0].speed, 25.0f);
        EXPECT_EQ(world.cars[0].delay, left);
    }
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, plus(25, Gain10));
}

// Regression: the delay of a car held up was worked out as delay - 1 for
// every car, which overflowed for a snapshot's delay of INT_MIN (the fuzzer
// found it under UBSan). Only a waiting car, from 1 up, counts down.
TEST(MotionStep, ExtremeDelaysCountDownOnlyWhileWaiting) {
    for (int delay : {std::numeric_limits<int>::min(), -1, std::numeric_limits<int>::max()}) {
        freshWorld();
        calmGroup(0, 60, 10, 54);
        putCars({{1000, 0, 0, 25, 0, 0, delay}});
        stepCar(0);
        EXPECT_EQ(world.cars[0].delay, delay >= 1 ? delay - 1 : delay) << delay;
        EXPECT_EQ(world.cars[0].speed, delay >= 1 ? 25.0f : plus(25, Gain10)) << delay;
    }
}

TEST(MotionStep, StoppedCarAtBumperContactStartsWithoutMoving) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 0}, {1018, 0, 0, 0}});
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, Gain10);
    EXPECT_EQ(world.cars[0].position, 1000.0f);
}

TEST(MotionStep, OverlappingCarStopsAndNeverBacksUp) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 30}, {1010, 0, 0, 0}});
    EXPECT_EQ(freeGap(gapsOf(0)), 0.0f);
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, 0.0f);
    EXPECT_EQ(world.cars[0].delay, 16);
    EXPECT_EQ(world.cars[0].position, 1000.0f);
}

TEST(MotionStep, ZeroFollowDistanceOnlyCutsTheAdvance) {
    freshWorld();
    calmGroup(0, 60, 10, 0);
    calmGroup(1);
    putCars({{1000, 0, 0, 60}, {1021, 0, 1, 0}});  // 3 feet behind a stopped car
    stepCar(0);
    EXPECT_EQ(world.cars[0].position, 1003.0f);
    EXPECT_EQ(world.cars[0].speed, 60.0f);
    stepCar(0);
    EXPECT_EQ(world.cars[0].position, 1003.0f);
    EXPECT_EQ(world.cars[0].speed, 60.0f);
    // Once the car ahead has moved on, the full advance comes back.
    world.cars[1].position = 1100;
    invalidateLaneIndex();
    stepCar(0);
    EXPECT_EQ(world.cars[0].position, 1008.5f);
}

TEST(MotionStep, MoveEndingAtTheRoadEndIsNotWrapped) {
    freshWorld();
    calmGroup(0, 60, 0);
    putCars({{50, 1}, {100, 2}, {21114.5f, 0, 0, 60}});
    stepCar(2);
    EXPECT_EQ(world.cars[2].position, 21120.0f);
    EXPECT_TRUE(ringConsistent());
}

TEST(MotionStep, MovePastTheRoadEndWrapsOnce) {
    freshWorld();
    calmGroup(0, 60, 0);
    putCars({{50, 1}, {100, 2}, {21115, 0, 0, 60}});
    int swaps = world.reorderSwaps;
    stepCar(2);
    EXPECT_EQ(world.cars[2].position, 0.5f);
    EXPECT_EQ(world.cars[2].slot, 2);
    EXPECT_EQ(world.reorderSwaps, swaps);
    EXPECT_TRUE(ringConsistent());
}

TEST(MotionStep, ConstructionZoneBoundsAreExclusive) {
    freshWorld();
    calmGroup(0, 60, 10);
    world.run.constructionZone = 1;
    for (float at : {9570.0f, 10230.0f, 9569.5f}) {
        putCars({{at, 0, 0, 30}});
        stepCar(0);
        EXPECT_EQ(world.cars[0].speed, plus(30, Gain10)) << "at " << at;
    }
    for (float at : {9570.5f, 10229.5f}) {
        putCars({{at, 0, 0, 30}});
        stepCar(0);
        EXPECT_EQ(world.cars[0].speed, 5.0f) << "at " << at;
        EXPECT_EQ(world.cars[0].position, plus(at, mphToFeetPerStep(5)));
    }
}

TEST(MotionStep, ZoneOverridesSlowGroupsAndTheDelay) {
    freshWorld();
    calmGroup(0, 3, 10);
    world.run.constructionZone = 1;
    putCars({{9600, 0, 0, 0, 0, 0, 10}, {9700, 1, 0, 3}});
    stepCar(0);
    stepCar(1);
    EXPECT_EQ(world.cars[0].speed, 5.0f);
    EXPECT_EQ(world.cars[1].speed, 5.0f);
}

// The whole step reads the zone switch once, before its first car: a
// switch made between steps must hold from the next one on, for every car.
TEST(MotionStep, ZoneSwitchedBetweenWorldStepsHoldsFromTheNext) {
    freshWorld();
    calmGroup(0, 60, 10);
    putCars({{9600, 0, 0, 30}, {9650, 1, 0, 30}, {2000, 2, 0, 30}});
    world.run.constructionZone = 1;
    stepWorld();
    EXPECT_EQ(world.cars[0].speed, 5.0f);
    EXPECT_EQ(world.cars[1].speed, 5.0f);
    EXPECT_EQ(world.cars[2].speed, plus(30, Gain10));
    world.run.constructionZone = 0;
    stepWorld();
    EXPECT_EQ(world.cars[0].speed, plus(5, Gain10));
    EXPECT_EQ(world.cars[1].speed, plus(5, Gain10));
    world.run.constructionZone = 1;
    stepWorld();
    EXPECT_EQ(world.cars[0].speed, 5.0f);
    EXPECT_EQ(world.cars[1].speed, 5.0f);
}

TEST(MotionStep, EarlierEditionHasNoConstructionZone) {
    EarlierEdition earlier;
    calmGroup(0, 60, 10);
    world.run.constructionZone = 1;
    putCars({{9600, 0, 0, 30}});
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, plus(30, Gain10));
}

TEST(MotionStep, StatisticsTakeTheSpeedBeforeTheStep) {
    freshWorld();
    calmGroup(0);
    putCars({{1000}});
    stepCar(0);
    EXPECT_EQ(world.groups[0].speedSum, 0.0f);
    EXPECT_EQ(world.groups[0].speedSamples, 1);
    stepCar(0);
    EXPECT_EQ(world.groups[0].speedSum, Gain10);
    EXPECT_EQ(world.groups[0].speedSamples, 2);
}

TEST(MotionStep, StatisticsCountWaitingAndZoneCarsToo) {
    freshWorld();
    calmGroup(0);
    world.run.constructionZone = 1;
    putCars({{9600, 0, 0, 40}, {2000, 1, 0, 12, 0, 0, 50}});
    stepCar(0);
    stepCar(1);
    EXPECT_EQ(world.groups[0].speedSum, 52.0f);
    EXPECT_EQ(world.groups[0].speedSamples, 2);
}

TEST(MotionStep, RearCarWithLowerIndexSeesTheFrontCarUnmoved) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{0, 0, 0, 60}, {48, 0, 0, 60}});  // free gap 30
    stepAll();
    EXPECT_EQ(world.cars[0].speed, float(30.0 * 60.0 / 54.0));
}

TEST(MotionStep, RearCarWithHigherIndexSeesTheFrontCarMoved) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{48, 0, 0, 60}, {0, 0, 0, 60}});
    stepAll();
    EXPECT_EQ(world.cars[0].position, 53.5f);
    EXPECT_EQ(world.cars[1].speed, float(35.5 * 60.0 / 54.0));
}

TEST(MotionStep, ChangingCarFollowsTheNearerCarOfBothLanes) {
    freshWorld();
    calmGroup(0, 60, 10, 54);
    putCars({{1000, 0, 0, 60, 2, -3}, {1500, 0, 0, 60}, {1038, 1, 0, 60}});
    stepCar(0);
    EXPECT_EQ(world.cars[0].speed, float(20.0 * 60.0 / 54.0));
    EXPECT_EQ(world.cars[0].change, 2);
}

// Groups a groups file can hold but the rule does not expect: the step must
// keep every car usable and the walks finite.
struct BadGroup {
    const char* name;
    float desiredSpeed, acceleration, followDistance, laneChangeTime;
};

const float Nan = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();

const BadGroup BadGroups[] = {
    {"negative acceleration", 60, -50, 54, 3},
    {"zero desired speed", 0, 10, 54, 3},
    {"negative desired speed", -30, 10, 54, 3},
    {"NaN desired speed", Nan, 10, 54, 3},
    {"NaN acceleration", 60, Nan, 54, 3},
    {"infinite acceleration", 60, Inf, 54, 3},
    {"minus infinite acceleration", 60, -Inf, 54, 3},
    {"infinite desired speed", Inf, 10, 54, 3},
    {"NaN follow distance", 60, 10, Nan, 3},
    {"negative follow distance", 60, 10, -100, 3},
    {"infinite follow distance", 60, 10, Inf, 3},
    {"huge speed", 1e30f, 1e30f, 54, 3},
};

TEST(MotionStep, UnusableGroupValuesKeepCarsOnTheRoad) {
    for (const BadGroup& bad : BadGroups) {
        SCOPED_TRACE(bad.name);
        freshWorld();
        calmGroup(0, 40, 10, 36);
        Group& g = calmGroup(1, bad.desiredSpeed, bad.acceleration, bad.followDistance);
        g.rightPolicy = Always;
        g.leftPolicy = Always;
        preferLane(g, 3);
        putCars({{0, 0, 1, 20}, {40, 0, 0, 30}, {80, 1, 1, 5}, {21100, 2, 1, 50}, {500, 3, 0}});
        for (int step = 0; step < 300; step++) {
            stepAll();
            ASSERT_TRUE(carsSane()) << "step " << step;
            ASSERT_TRUE(ringConsistent()) << "step " << step;
        }
    }
    freshWorld();
}

}  // namespace
