// Lane-change decisions under every policy, and the sideways motion.
#include "world_fixture.h"

#include <limits>

using namespace coretest;

namespace {

// A lone car of group 0 in a lane, at a speed; the group's policies are set
// by each test.
Group& carInLane(int lane, float speed = 30) {
    freshWorld();
    Group& g = calmGroup(0);
    world.cars[0] = Car{};
    world.cars[0].lane = lane;
    world.cars[0].speed = speed;
    world.carTotal = 1;
    return g;
}

int decide(const GapView& view, float wantedGap = 27) {
    decideLaneChange(0, view, wantedGap);
    return world.cars[0].change;
}

int decideEmpty() { return decide(emptyView(0)); }

// ---------------------------------------------------------------- decisions

TEST(LaneChange, LeftOnlyTowardsThePreferredLane) {
    for (int lane = 0; lane < 4; lane++) {
        Group& g = carInLane(lane);
        g.leftPolicy = Always;
        preferLane(g, 2);
        EXPECT_EQ(decideEmpty(), lane < 2 ? 2 : 0) << "lane " << lane;
        EXPECT_EQ(world.cars[0].lastChange, lane < 2 ? 2 : 0);
    }
}

TEST(LaneChange, NoLeftChangeWithoutAPreferredLaneAboveZero) {
    for (int policy = Always; policy <= Crazily; policy++) {
        for (int preferred : {-1, 0, 4, 7}) {
            Group& g = carInLane(0);
            g.leftPolicy = policy;
            preferLane(g, preferred);
            EXPECT_EQ(decideEmpty(), 0) << "policy " << policy << " preferred " << preferred;
        }
    }
}

TEST(LaneChange, RightInEveryLaneButZeroWhateverThePreference) {
    for (int lane = 0; lane < 4; lane++) {
        Group& g = carInLane(lane);
        g.rightPolicy = Always;
        preferLane(g, lane);
        EXPECT_EQ(decideEmpty(), lane > 0 ? 1 : 0) << "lane " << lane;
        EXPECT_EQ(world.cars[0].lastChange, lane > 0 ? 1 : 0);
    }
}

TEST(LaneChange, NoDecisionWhileAChangeIsUnderWay) {
    Group& g = carInLane(1);
    g.rightPolicy = Always;
    world.cars[0].change = 2;
    EXPECT_EQ(decideEmpty(), 2);
    EXPECT_EQ(world.cars[0].lastChange, 0);
}

TEST(LaneChange, UnknownPoliciesNeverChange) {
    for (int policy : {0, 9, 16, -3}) {
        Group& g = carInLane(1);
        g.leftPolicy = policy;
        g.rightPolicy = policy;
        preferLane(g, 3);
        EXPECT_EQ(decideEmpty(), 0) << "policy " << policy;
    }
}

TEST(LaneChange, CrazilyLeavesLaneZeroLeftWithoutTests) {
    Group& g = carInLane(0);
    g.leftPolicy = Crazily;
    preferLane(g, 2);
    world.cars[0].lastChange = 1;
    GapView v = emptyView(0);
    v.leftAheadDistance = 20;  // would fail any gap test
    v.leftBehindDistance = 5;
    EXPECT_EQ(decide(v), 2);
    EXPECT_EQ(world.cars[0].lastChange, 1);
}

// A car under Crazily to the left, with the right policy saying never.
void crazyCarIn(int lane) {
    Group& g = carInLane(lane);
    g.leftPolicy = Crazily;
    g.rightPolicy = Never;  // the right change is made whatever it says
    preferLane(g, 3);
}

TEST(LaneChange, CrazilyPicksTheRoomierSideTiesGoRight) {
    crazyCarIn(1);
    EXPECT_EQ(decideEmpty(), 1);
    EXPECT_EQ(world.cars[0].lastChange, 0);

    GapView v = emptyView(0);
    v.rightAheadDistance = 100;
    v.rightBehindDistance = 50;
    v.leftAheadDistance = 300;
    v.leftBehindDistance = 300;
    crazyCarIn(2);
    EXPECT_EQ(decide(v), 2);

    v.leftAheadDistance = 100;
    v.leftBehindDistance = 49;
    crazyCarIn(2);
    EXPECT_EQ(decide(v), 1);

    v.leftBehindDistance = 50;
    crazyCarIn(2);
    EXPECT_EQ(decide(v), 1);
}

TEST(LaneChange, CrazilyToTheRightAndEuToTheLeftNeverChangeThatWay) {
    Group& g = carInLane(2);
    g.rightPolicy = Crazily;
    EXPECT_EQ(decideEmpty(), 0);

    Group& h = carInLane(1);
    h.leftPolicy = EuCarBehind;
    preferLane(h, 3);
    GapView v = emptyView(0);
    v.euBehindDistance = 20;
    EXPECT_EQ(decide(v), 0);

    // ...but the right policy still gets its turn.
    h.rightPolicy = Always;
    EXPECT_EQ(decide(v), 1);
}

TEST(LaneChange, FollowTestNeedsAHoldUpAhead) {
    Group& g = carInLane(1);
    g.leftPolicy = FDist;
    preferLane(g, 3);
    EXPECT_EQ(decideEmpty(), 0);

    GapView v = emptyView(0);
    v.aheadDistance = 45.01f;  // gap 27.01 > desired gap 27
    EXPECT_EQ(decide(v, 27), 0);
    v.aheadDistance = 45;
    EXPECT_EQ(decide(v, 27), 2);
    EXPECT_EQ(world.cars[0].lastChange, 2);
}

TEST(LaneChange, TwoHundredFeetAheadInTheTargetLane) {
    for (int right = 0; right < 2; right++) {
        for (float distance : {200.0f, 199.9f, 1000.0f}) {
            Group& g = carInLane(right ? 2 : 1);
            if (right)
                g.rightPolicy = FDist200;
            else
                g.leftPolicy = FDist200;
            preferLane(g, 3);
            GapView v = emptyView(0);
            v.aheadDistance = 30;  // held up
            (right ? v.rightAheadDistance : v.leftAheadDistance) = distance;
            (right ? v.rightAheadSpeed : v.leftAheadSpeed) = 40;
            int expected = distance >= 200 ? (right ? 1 : 2) : 0;
            EXPECT_EQ(decide(v), expected) << (right ? "right " : "left ") << distance;
        }
    }
}

TEST(LaneChange, TwoHundredFeetStillNeedsTheHoldUp) {
    Group& g = carInLane(2);
    g.rightPolicy = FDist200;
    EXPECT_EQ(decideEmpty(), 0);
}

TEST(LaneChange, TailgaterPushesRight) {
    Group& g = carInLane(1);
    g.rightPolicy = EuCarBehind;
    EXPECT_EQ(decideEmpty(), 0);

    GapView v = emptyView(0);
    v.euBehindDistance = 45.5f;
    EXPECT_EQ(decide(v, 27), 0);
    v.euBehindDistance = 45;
    EXPECT_EQ(decide(v, 27), 1);
    EXPECT_EQ(world.cars[0].lastChange, 1);
}

TEST(LaneChange, TailgaterStillNeedsTheGap) {
    Group& g = carInLane(1);
    g.rightPolicy = EuCarBehind;
    GapView v = emptyView(0);
    v.euBehindDistance = 30;
    v.rightBehindDistance = 40;  // gap 22 below the limit of 36
    EXPECT_EQ(decide(v), 0);
}

// Gap-test outcome for a car at 30 mph in lane 1 moving left, with limits 36
// ahead and behind, zones 270 ahead and 18 behind.
int leftGapTest(float aheadDistance, float aheadSpeed, float behindDistance, float behindSpeed) {
    Group& g = carInLane(1, 30);
    g.leftPolicy = Always;
    preferLane(g, 3);
    GapView v = emptyView(0);
    v.leftAheadDistance = aheadDistance;
    v.leftAheadSpeed = aheadSpeed;
    v.leftBehindDistance = behindDistance;
    v.leftBehindSpeed = behindSpeed;
    return decide(v);
}

TEST(LaneChange, GapTestBehindLimitAndZone) {
    const float none = NoCarDistance;
    EXPECT_EQ(leftGapTest(none, 9999, 54, 0), 2);       // gap equal to the limit
    EXPECT_EQ(leftGapTest(none, 9999, 53.9f, 0), 0);
    EXPECT_EQ(leftGapTest(none, 9999, 50, 0), 0);       // gap 32 always blocks
    EXPECT_EQ(leftGapTest(none, 9999, 65, 40), 0);      // faster, inside the zone
    EXPECT_EQ(leftGapTest(none, 9999, 65, 30), 2);      // equal speed
    EXPECT_EQ(leftGapTest(none, 9999, 65, 20), 2);      // slower
    EXPECT_EQ(leftGapTest(none, 9999, 72, 40), 2);      // gap equal to limit + zone
    EXPECT_EQ(leftGapTest(none, 9999, 80, 99), 2);      // gap 62 never blocks
}

TEST(LaneChange, GapTestAheadLimitAndZone) {
    const float none = NoCarDistance;
    EXPECT_EQ(leftGapTest(54, 9999, none, 0), 2);       // gap equal to the limit
    EXPECT_EQ(leftGapTest(53.9f, 9999, none, 0), 0);
    EXPECT_EQ(leftGapTest(50, 9999, none, 0), 0);       // gap 32 always blocks
    EXPECT_EQ(leftGapTest(100, 20, none, 0), 0);        // slower, inside the zone
    EXPECT_EQ(leftGapTest(100, 30, none, 0), 2);        // equal speed
    EXPECT_EQ(leftGapTest(100, 40, none, 0), 2);        // faster
    EXPECT_EQ(leftGapTest(324, 20, none, 0), 2);        // gap equal to limit + zone
    EXPECT_EQ(leftGapTest(323, 20, none, 0), 0);
    EXPECT_EQ(leftGapTest(330, 1, none, 0), 2);
}

TEST(LaneChange, RightGapTestUsesTheRightLimits) {
    auto rightGapTest = [](float aheadDistance, float behindDistance) {
        Group& g = carInLane(2, 30);
        g.rightPolicy = Always;
        g.rightAhead = 54;
        g.rightBehind = 72;
        g.leftAhead = g.leftBehind = 1000;
        GapView v = emptyView(0);
        v.rightAheadDistance = aheadDistance;
        v.rightBehindDistance = behindDistance;
        return decide(v);
    };
    const float none = NoCarDistance;
    EXPECT_EQ(rightGapTest(72, none), 1);
    EXPECT_EQ(rightGapTest(71.9f, none), 0);
    EXPECT_EQ(rightGapTest(none, 90), 1);
    EXPECT_EQ(rightGapTest(none, 89.9f), 0);
    // Cars in the left lane play no part in a right change.
    Group& g = carInLane(2, 30);
    g.rightPolicy = Always;
    GapView v = emptyView(0);
    v.leftAheadDistance = 19;
    v.leftBehindDistance = 1;
    EXPECT_EQ(decide(v), 1);
}

// The decision step and the sideways motion, through whole steps of a lone car.
TEST(LaneChange, PreferredLaneCarGoesRightThenComesBack) {
    Group& g = carInLane(2, 0);
    g.rightPolicy = Always;
    g.leftPolicy = Always;
    preferLane(g, 2);
    world.cars[0].position = 1000;
    world.order.count = 0;
    world.cars[0].slot = insertCar(0);
    invalidateLaneIndex();

    stepCar(0);
    EXPECT_EQ(world.cars[0].change, 1);
    EXPECT_EQ(world.cars[0].lateral, 0.25f);
    float speed = world.cars[0].speed;
    EXPECT_EQ(speed, float(10.0 / 5280.0 * 3600.0 / 16.0));
    for (int step = 2; step <= 48; step++)
        stepCar(0);
    EXPECT_EQ(world.cars[0].lane, 2);
    EXPECT_EQ(world.cars[0].lateral, 12.0f);
    stepCar(0);  // the 49th step
    EXPECT_EQ(world.cars[0].lane, 1);
    EXPECT_EQ(world.cars[0].change, 0);
    EXPECT_EQ(world.cars[0].lateral, 0.0f);
    EXPECT_EQ(world.cars[0].lastChange, 1);

    stepCar(0);
    EXPECT_EQ(world.cars[0].change, 2);
    EXPECT_EQ(world.cars[0].lateral, -0.25f);
    for (int step = 2; step <= 49; step++)
        stepCar(0);
    EXPECT_EQ(world.cars[0].lane, 2);
    EXPECT_EQ(world.cars[0].lastChange, 2);
}

// Inside a step the decision sees the gaps and the desired gap from before the
// move, but the speed stored by the move.
TEST(LaneChange, StepDecidesOnTheGapsFromBeforeTheMove) {
    freshWorld();
    Group& g = calmGroup(0, 60, 0);
    g.leftPolicy = Always;
    preferLane(g, 3);
    putCars({{1000, 1, 0, 30}, {1054, 2, 0, 9999}});  // left gap exactly the limit
    stepCar(0);
    EXPECT_GT(world.cars[0].position, 1000.0f);
    EXPECT_EQ(world.cars[0].change, 2);
}

TEST(LaneChange, StepDecidesOnTheDesiredGapFromBeforeTheStep) {
    freshWorld();
    Group& g = calmGroup(0, 60, 10, 54);
    g.leftPolicy = FDist;
    preferLane(g, 3);
    // Stopped with 0.2 ft to the car ahead: held up only by a desired gap
    // taken at the new speed.
    putCars({{1000, 1, 0, 0}, {1018.2f, 1, 0, 0}});
    stepCar(0);
    EXPECT_GT(world.cars[0].speed, 0.0f);
    EXPECT_EQ(world.cars[0].change, 0);
}

TEST(LaneChange, StepTestsTheGapWithTheSpeedJustStored) {
    for (float leftSpeed : {30.2f, 30.5f}) {
        freshWorld();
        Group& g = calmGroup(0, 60, 10, 54);
        g.leftPolicy = Always;
        preferLane(g, 3);
        putCars({{1000, 1, 0, 30}, {1100, 2, 0, leftSpeed}});  // gap 82, inside the zone
        stepCar(0);
        // The car now drives at 30.43 mph: slower than 30.5, faster than 30.2.
        EXPECT_EQ(world.cars[0].change, leftSpeed > 30.43f ? 2 : 0) << leftSpeed;
    }
}

// The step searches the tailgater only when its test is reached, and must
// find it where it stood before the car moved: 2.75 ft further on, a gap of
// exactly the desired 27 ft would have grown past it. Only a car already in
// the lane tailgates: one moving into it from the left, however close, does
// not push the car right.
TEST(LaneChange, StepFindsTheTailgaterInTheLaneBeforeTheMove) {
    const struct {
        CarAt behind;
        int change;
    } cases[] = {{{955, 1, 0, 30}, 1}, {{960, 2, 0, 30, 1}, 0}};
    for (const auto& k : cases) {
        freshWorld();
        calmGroup(0, 60, 0).rightPolicy = EuCarBehind;
        putCars({{1000, 1, 0, 30}, k.behind});
        stepCar(0);
        EXPECT_GT(world.cars[0].position, 1000.0f);
        EXPECT_EQ(world.cars[0].change, k.change) << "car behind in lane " << k.behind.lane;
    }
}

// --------------------------------------------------------- sideways motion

TEST(SidewaysMotion, NoChangeCentresTheCar) {
    carInLane(1);
    world.cars[0].lateral = 5;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lateral, 0.0f);
    EXPECT_EQ(world.cars[0].lane, 1);
}

TEST(SidewaysMotion, ChangesOffTheRoadAreDropped) {
    carInLane(3);
    world.cars[0].change = 2;
    world.cars[0].lateral = -4;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].change, 0);
    EXPECT_EQ(world.cars[0].lateral, 0.0f);
    EXPECT_EQ(world.cars[0].lane, 3);

    carInLane(0);
    world.cars[0].change = 1;
    world.cars[0].lateral = 4;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].change, 0);
    EXPECT_EQ(world.cars[0].lane, 0);
}

TEST(SidewaysMotion, IncrementFollowsTheChangeTime) {
    Group& g = carInLane(1);
    g.laneChangeTime = 2;
    world.cars[0].change = 1;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lateral, 0.375f);
    world.cars[0].change = 2;
    world.cars[0].lateral = 0;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lateral, -0.375f);
}

TEST(SidewaysMotion, LaneSwitchesOneStepAfterReachingTheWidth) {
    carInLane(2);
    world.cars[0].change = 1;
    world.cars[0].lateral = 11.75f;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lateral, 12.0f);
    EXPECT_EQ(world.cars[0].lane, 2);
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lane, 1);
    EXPECT_EQ(world.cars[0].change, 0);
    EXPECT_EQ(world.cars[0].lateral, 0.0f);

    carInLane(1);
    world.cars[0].change = 2;
    world.cars[0].lateral = -12;
    moveSideways(0);
    EXPECT_EQ(world.cars[0].lane, 2);
    EXPECT_EQ(world.cars[0].change, 0);
}

// Regression: a change time of 0 or less moved the offset by an infinite or
// reversed amount, and the lane could leave 0..3.
TEST(SidewaysMotion, NonPositiveChangeTimeCompletesAtOnce) {
    const float times[] = {0.0f, -0.0f, -1.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()};
    for (float time : times) {
        for (int change = 1; change <= 2; change++) {
            SCOPED_TRACE(testing::Message() << "time " << time << " change " << change);
            Group& g = carInLane(change == 1 ? 1 : 2);
            g.laneChangeTime = time;
            world.cars[0].change = change;
            for (int call = 0; call < 2 && world.cars[0].change != 0; call++) {
                moveSideways(0);
                EXPECT_TRUE(std::isfinite(world.cars[0].lateral));
            }
            EXPECT_EQ(world.cars[0].change, 0);
            EXPECT_EQ(world.cars[0].lane, change == 1 ? 0 : 3);
            EXPECT_EQ(world.cars[0].lateral, 0.0f);
        }
    }
}

TEST(SidewaysMotion, NonPositiveChangeTimeKeepsLanesInRangeWhileDriving) {
    const float times[] = {0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()};
    for (float time : times) {
        SCOPED_TRACE(time);
        freshWorld();
        for (int g = 0; g < 3; g++) {
            Group& group = calmGroup(g, float(30 + 10 * g));
            group.laneChangeTime = time;
            group.leftPolicy = g == 0 ? Crazily : Always;
            group.rightPolicy = Always;
            preferLane(group, 3);
        }
        putCars({{0, 0, 0}, {100, 1, 1}, {200, 2, 2}, {300, 3, 0}, {400, 0, 1}, {500, 1, 2}});
        for (int step = 0; step < 400; step++) {
            stepAll();
            ASSERT_TRUE(carsSane()) << "step " << step;
        }
        EXPECT_TRUE(ringConsistent());
    }
}

}  // namespace
