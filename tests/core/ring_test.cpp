// The car order ring, the neighbour walks and the gap view.
#include "core/group_rules.h"
#include "world_fixture.h"

using namespace coretest;

namespace {

// ---------------------------------------------------------------- CarOrder

TEST(CarOrder, EqualPositionsKeepInsertionOrder) {
    freshWorld();
    putCars({{0}, {36}, {36}});
    EXPECT_EQ(world.order.slots[0], 0);
    EXPECT_EQ(world.order.slots[1], 1);
    EXPECT_EQ(world.order.slots[2], 2);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, InsertionShiftsLaterEntriesAndTheirSlots) {
    freshWorld();
    world.cars[0].position = 300;
    world.cars[1].position = 100;
    world.cars[2].position = 200;
    world.cars[3].position = 100;
    for (int c = 0; c < 4; c++)
        world.cars[c].slot = insertCar(c);
    world.carTotal = 4;
    EXPECT_EQ(world.order.slots[0], 1);
    EXPECT_EQ(world.order.slots[1], 3);
    EXPECT_EQ(world.order.slots[2], 2);
    EXPECT_EQ(world.order.slots[3], 0);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, FullRingRefusesAnotherCar) {
    freshWorld();
    for (int c = 0; c < MaxCars; c++) {
        world.cars[c].position = float(c);
        world.order.slots[c] = c;
        world.cars[c].slot = c;
    }
    world.order.count = MaxCars;
    world.carTotal = MaxCars;
    std::vector<int> slotsBefore(world.order.slots, world.order.slots + MaxCars);

    EXPECT_EQ(insertCar(5), MaxCars);
    EXPECT_EQ(world.order.count, MaxCars);
    EXPECT_TRUE(std::equal(slotsBefore.begin(), slotsBefore.end(), world.order.slots));
    for (int c = 0; c < MaxCars; c++)
        ASSERT_EQ(world.cars[c].slot, c);
}

TEST(CarOrder, WrapBelowEveryCarBecomesTheSeamWithoutExchange) {
    freshWorld();
    putCars({{100}, {200}, {300}});
    int swaps = world.reorderSwaps;
    world.cars[2].position = 50;
    EXPECT_EQ(reorderCar(2), 2);
    EXPECT_EQ(world.reorderSwaps, swaps);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, PassingTwoCarsMakesTwoExchanges) {
    freshWorld();
    putCars({{100}, {200}, {300}, {400}});
    int swaps = world.reorderSwaps;
    world.cars[0].position = 350;
    EXPECT_EQ(reorderCar(0), 2);
    EXPECT_EQ(world.reorderSwaps, swaps + 2);
    EXPECT_EQ(world.order.slots[0], 1);
    EXPECT_EQ(world.order.slots[1], 2);
    EXPECT_EQ(world.order.slots[2], 0);
    EXPECT_EQ(world.order.slots[3], 3);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, WrappingCarStopsJustAfterTheSeam) {
    freshWorld();
    putCars({{21000}, {21100}, {50}, {100}});
    setRing({0, 1, 2, 3});
    int swaps = world.reorderSwaps;
    // Passed the car at 21100 and the end of the road, not the car at 50.
    world.cars[0].position = 20;
    EXPECT_EQ(reorderCar(0), 1);
    EXPECT_EQ(world.reorderSwaps, swaps + 1);
    EXPECT_EQ(world.order.slots[0], 1);
    EXPECT_EQ(world.order.slots[1], 0);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, MoveFromLastEntryWrapsToEntryZero) {
    freshWorld();
    putCars({{21000}, {21100}, {50}, {100}});
    setRing({2, 3, 0, 1});  // sorted from entry 0: 50, 100, 21000, 21100
    world.cars[1].position = 75;  // wrapped past the car at 50 only
    EXPECT_EQ(reorderCar(1), 0);
    EXPECT_EQ(world.order.slots[0], 1);
    EXPECT_EQ(world.order.slots[3], 2);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, TwoCarsAreAlwaysInOrder) {
    freshWorld();
    putCars({{10}, {20}});
    int swaps = world.reorderSwaps;
    world.cars[0].position = 30;
    EXPECT_EQ(reorderCar(0), 0);
    EXPECT_EQ(world.reorderSwaps, swaps);
}

// Regression: every other car at one position left no seam, and the walk
// exchanged forever (one car in each of three lanes, all at 0).
TEST(CarOrder, WalkEndsWhenAllOtherCarsShareOnePosition) {
    freshWorld();
    putCars({{0, 0}, {0, 1}, {0, 2}});
    int swaps = world.reorderSwaps;
    world.cars[0].position = 5;
    EXPECT_EQ(reorderCar(0), 2);
    EXPECT_LE(world.reorderSwaps - swaps, 2);
    EXPECT_TRUE(ringConsistent());
}

TEST(CarOrder, FirstStepOfThreeCarsAtOnePositionEnds) {
    freshWorld();
    calmGroup(0);
    putCars({{0, 0}, {0, 1}, {0, 2}});
    for (int step = 0; step < 20; step++)
        stepAll();
    EXPECT_TRUE(ringConsistent());
    EXPECT_TRUE(carsSane());
}

// The step guesses, before it works out the new speed, whether the car
// passes the next one, and the guess picks which copy of the exchanges runs.
// A wrong guess must leave the ring, the slots and the count of exchanges
// exactly as a right one: no pass, one, two, across the road's end, and
// every other car at one position.
TEST(CarOrder, EitherGuessGivesTheSameRingAsReorderCar) {
    struct Case {
        const char* what;
        void (*setUp)();
        int car;
        float to;
    };
    const Case cases[] = {
        {"stays", [] { putCars({{100}, {200}, {300}}); }, 0, 150},
        {"passes one", [] { putCars({{100}, {200}, {300}, {400}}); }, 0, 250},
        {"passes two", [] { putCars({{100}, {200}, {300}, {400}}); }, 0, 350},
        {"wraps past the end",
         [] {
             putCars({{21000}, {21100}, {50}, {100}});
             setRing({0, 1, 2, 3});
         },
         0, 20},
        {"from the last entry",
         [] {
             putCars({{21000}, {21100}, {50}, {100}});
             setRing({2, 3, 0, 1});
         },
         1, 75},
        {"others at one position", [] { putCars({{0, 0}, {0, 1}, {0, 2}}); }, 0, 5},
    };
    static SimWorld before, reordered;  // static: the record is large
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshWorld();
        c.setUp();
        world.cars[c.car].position = c.to;
        before = world;
        const int expected = reorderCar(c.car);
        reordered = world;
        for (bool guess : {false, true}) {
            world = before;
            EXPECT_EQ(reorderCarGuessing(c.car, guess), expected) << "guess " << guess;
            EXPECT_EQ(std::memcmp(&world.order, &reordered.order, sizeof world.order), 0);
            EXPECT_EQ(std::memcmp(world.cars, reordered.cars, sizeof world.cars), 0);
            EXPECT_EQ(world.reorderSwaps, reordered.reorderSwaps);
        }
    }
}

// A wrong guess costs only time, so nothing else would show a guess that
// is always wrong: the car 1 ft behind the next one at 60 mph (5.5 ft a
// step) passes it, at 0.5 mph (0.05 ft) it does not; two cars never
// exchange; and a slot outside the ring is not read.
TEST(CarOrder, PassGuessFollowsThePresentSpeed) {
    freshWorld();
    const float perMph = mphToFeetPerStep(1);  // at the fresh world's step rate
    putCars({{100}, {101}, {300}});
    world.cars[0].speed = 60;
    EXPECT_TRUE(likelyToPassNext(0, perMph));
    world.cars[0].speed = 0.5f;
    EXPECT_FALSE(likelyToPassNext(0, perMph));
    world.cars[0].slot = MaxCars;
    world.cars[0].speed = 60;
    EXPECT_FALSE(likelyToPassNext(0, perMph));

    freshWorld();
    putCars({{100}, {101}});
    world.cars[0].speed = 60;
    EXPECT_FALSE(likelyToPassNext(0, perMph));
}

// -------------------------------------------------------------- Neighbours

TEST(Neighbours, LoneCarHasNone) {
    freshWorld();
    putCars({{500, 2}});
    const Neighbours& n = findNeighbours(0);
    EXPECT_EQ(n.carIndex, 0);
    EXPECT_EQ(n.aheadCount, 0);
    EXPECT_EQ(n.behindCount, 0);
    EXPECT_EQ(n.euBehindCount, 0);
    for (int lane = 0; lane < 4; lane++) {
        EXPECT_EQ(n.aheadByLane[lane], -1);
        EXPECT_EQ(n.behindByLane[lane], -1);
        EXPECT_EQ(n.euBehindByLane[lane], -1);
    }
}

TEST(Neighbours, SingleLaneFindsRingNeighboursAfterFullCircle) {
    freshWorld();
    putCars({{0}, {36}, {72}, {108}});
    const Neighbours& n = findNeighbours(1);
    EXPECT_EQ(n.aheadByLane[0], 2);
    EXPECT_EQ(n.behindByLane[0], 0);
    EXPECT_EQ(n.euBehindByLane[0], 0);
    for (int lane = 1; lane < 4; lane++) {
        EXPECT_EQ(n.aheadByLane[lane], -1);
        EXPECT_EQ(n.behindByLane[lane], -1);
    }
    EXPECT_EQ(n.aheadCount, 1);
    EXPECT_EQ(n.behindCount, 1);
    // Round the end of the road: the last car's ahead is the first.
    EXPECT_EQ(findNeighbours(3).aheadByLane[0], 0);
    EXPECT_EQ(findNeighbours(0).behindByLane[0], 3);
}

TEST(Neighbours, NearestPerLaneInBothDirections) {
    freshWorld();
    putCars({{1000, 1}, {1200, 2}, {1100, 2}, {900, 3}, {800, 3}, {1500, 0}, {500, 0}});
    const Neighbours& n = findNeighbours(0);
    EXPECT_EQ(n.aheadByLane[0], 5);
    EXPECT_EQ(n.aheadByLane[1], -1);  // car 0 is alone in lane 1
    EXPECT_EQ(n.aheadByLane[2], 2);
    EXPECT_EQ(n.aheadByLane[3], 4);  // lane 3 is found ahead only round the road
    EXPECT_EQ(n.behindByLane[0], 6);
    EXPECT_EQ(n.behindByLane[2], 1);
    EXPECT_EQ(n.behindByLane[3], 3);
    EXPECT_EQ(n.aheadCount, 3);
    EXPECT_EQ(n.behindCount, 3);
}

TEST(Neighbours, ChangingCarCountsInBothLanesButNotInTheEuList) {
    freshWorld();
    putCars({{100, 1},
             {50, 0, 0, 0, 2},    // behind, entering lane 1 from lane 0
             {20, 1},             // behind, in lane 1
             {150, 2, 0, 0, 1}}); // ahead, entering lane 1 from lane 2
    const Neighbours& n = findNeighbours(0);
    EXPECT_EQ(n.behindByLane[1], 1);
    EXPECT_EQ(n.behindByLane[0], 1);
    EXPECT_EQ(n.euBehindByLane[1], 2);
    EXPECT_EQ(n.euBehindByLane[0], 1);
    EXPECT_EQ(n.aheadByLane[1], 3);
    EXPECT_EQ(n.aheadByLane[2], 3);
    EXPECT_EQ(n.aheadByLane[0], 1);  // round the road
    EXPECT_EQ(n.behindByLane[2], 3);
    EXPECT_EQ(n.euBehindByLane[2], 3);
    EXPECT_EQ(n.aheadCount, 3);
    EXPECT_EQ(n.behindCount, 3);
    EXPECT_EQ(n.euBehindCount, 3);
}

TEST(Neighbours, ChangeOffTheRoadEdgeHasNoTargetLane) {
    freshWorld();
    putCars({{100, 1}, {200, 0, 0, 0, 1}, {300, 3, 0, 0, 2}});
    const Neighbours& n = findNeighbours(0);
    EXPECT_EQ(n.aheadByLane[0], 1);
    EXPECT_EQ(n.aheadByLane[3], 2);
    EXPECT_EQ(n.aheadByLane[1], -1);
    EXPECT_EQ(n.aheadByLane[2], -1);
    EXPECT_EQ(n.aheadCount, 2);
}

// The fast search must give the same record bit for bit, and the step's own
// search the same gaps; compare both with the plain walk before every step of
// long runs that change lanes.
void compareSearchesWhileRunning(int steps) {
    for (int s = 0; s < steps; s++) {
        for (int c = 0; c < world.carTotal; c++) {
            Neighbours plain = findNeighbours(c);
            Neighbours fast = findNeighboursIndexed(c);
            if (std::memcmp(&plain, &fast, sizeof plain) != 0) {
                ADD_FAILURE() << "step " << s << " car " << c << " differs";
                return;
            }
            GapView plainGaps, indexedGaps, stepGaps;
            computeGaps(plain, plainGaps);
            computeGapsIndexed(c, indexedGaps);
            if (std::memcmp(&plainGaps, &indexedGaps, sizeof plainGaps) != 0) {
                ADD_FAILURE() << "step " << s << " car " << c << ": gaps differ";
                return;
            }
            // The step's view leaves out the own lane's cars behind and the
            // sides its rules do not read, as if no car were there; what it
            // keeps is the walk's, the distance ahead of a car changing
            // lanes among it, and its tailgater search finds the walk's.
            const Car& car = world.cars[c];
            const unsigned sides =
                unsigned(car.lane) < LaneTotal
                    ? rulesOf(world.groups[car.group]).sidesRead[car.change & 3][car.lane]
                    : 3;
            computeStepGapsIndexed(c, stepGaps, sides);
            GapView expected = plainGaps;
            expected.behindDistance = stepGaps.behindDistance;
            expected.behindSpeed = stepGaps.behindSpeed;
            expected.euBehindDistance = stepGaps.euBehindDistance;
            expected.euBehindSpeed = stepGaps.euBehindSpeed;
            if (!(sides & 1)) {
                expected.leftAheadDistance = expected.leftBehindDistance = NoCarDistance;
                expected.leftAheadSpeed = NoCarAheadSpeed;
                expected.leftBehindSpeed = NoCarBehindSpeed;
            }
            if (!(sides & 2)) {
                expected.rightAheadDistance = expected.rightBehindDistance = NoCarDistance;
                expected.rightAheadSpeed = NoCarAheadSpeed;
                expected.rightBehindSpeed = NoCarBehindSpeed;
            }
            float tailgater = tailgaterDistance(c);
            if (std::memcmp(&expected, &stepGaps, sizeof expected) != 0 ||
                std::memcmp(&tailgater, &plainGaps.euBehindDistance, sizeof tailgater) != 0) {
                ADD_FAILURE() << "step " << s << " car " << c << ": the step's gaps differ";
                return;
            }
            stepCar(c);
        }
    }
}

TEST(Neighbours, IndexedSearchMatchesWalkWithDefaultGroups) {
    freshWorld();
    loadDefaultGroups();
    {
        LogCapture quiet;
        world.carTotal = placeAllCars(nullptr);
    }
    invalidateLaneIndex();
    compareSearchesWhileRunning(6000);
    EXPECT_TRUE(ringConsistent());
}

void mixedGroups() {
    for (int g = 0; g < 5; g++) {
        Group& group = calmGroup(g, float(20 + 10 * g), 10, float(18 * (g + 1)));
        preferLane(group, 3 - g % 4);
        group.leftPolicy = 11 + g % 5;
        group.rightPolicy = 11 + (g + 2) % 4;
        group.laneChangeTime = float(1 + g % 3);
        group.startDelay = 8 * g;
    }
}

TEST(Neighbours, IndexedSearchMatchesWalkInDenseLanes) {
    freshWorld();
    mixedGroups();
    for (int g = 0; g < 5; g++)
        for (int lane = 0; lane < 4; lane++)
            world.groups[g].laneCount[lane] = 60;
    {
        LogCapture quiet;
        world.carTotal = placeAllCars(nullptr);
    }
    ASSERT_EQ(world.carTotal, 1200);
    invalidateLaneIndex();
    compareSearchesWhileRunning(longRun(2500));
    EXPECT_TRUE(ringConsistent());
}

TEST(Neighbours, IndexedSearchMatchesWalkWithANearlyEmptyLane) {
    freshWorld();
    mixedGroups();
    for (int g = 0; g < 5; g++)
        for (int lane = 0; lane < 3; lane++)
            world.groups[g].laneCount[lane] = 40;
    world.groups[0].laneCount[3] = 1;
    {
        LogCapture quiet;
        world.carTotal = placeAllCars(nullptr);
    }
    ASSERT_EQ(world.carTotal, 601);
    invalidateLaneIndex();
    compareSearchesWhileRunning(600);
    EXPECT_TRUE(ringConsistent());
}

// `cars` cars of the mixed groups, spread over the groups and lanes in turn.
void placeMixedRing(int cars) {
    freshWorld();
    mixedGroups();
    for (int k = 0; k < cars; k++)
        world.groups[k % 5].laneCount[k % 4]++;
    LogCapture quiet;
    world.carTotal = placeAllCars(nullptr);
}

// On a small ring most cars lie near the seam, where the word beside a car
// reaches past either end of the ring and the search goes round it in the
// bitsets: ring sizes round the word's reach of 57 to 64 entries, round twice
// that, and up to a few hundred.
TEST(Neighbours, IndexedSearchMatchesWalkOnRingsOfEverySize) {
    for (int cars : {16, 32, 33, 34, 56, 57, 58, 60, 64, 65, 120, 128, 129, 300}) {
        SCOPED_TRACE(cars);
        placeMixedRing(cars);
        ASSERT_EQ(world.carTotal, cars);
        invalidateLaneIndex();
        compareSearchesWhileRunning(400);
        EXPECT_TRUE(ringConsistent());
    }
}

// A step of every car runs a loop of its own, the rules made once for all of
// them; it must leave the world exactly as stepping each car in turn does,
// on rings from one car to past a word of the lane index.
TEST(Neighbours, StepOfEveryCarMatchesCarByCarSteps) {
    for (int cars : {1, 2, 5, 50, 63, 64, 65}) {
        SCOPED_TRACE(cars);
        placeMixedRing(cars);
        ASSERT_EQ(world.carTotal, cars);
        for (int s = 0; s < 600; s++) {
            SimWorld carByCar = world;
            stepWorld();
            std::swap(world, carByCar);
            for (int c = 0; c < world.carTotal; c++)
                stepCar(c);
            world.run.stepCount++;
            if (std::memcmp(&world, &carByCar, sizeof world) != 0) {
                ADD_FAILURE() << "step " << s << " differs";
                break;
            }
        }
        EXPECT_TRUE(ringConsistent());
    }
}

// -------------------------------------------------------------------- Gaps

TEST(Gaps, LoneCarGetsTheNoneValues) {
    freshWorld();
    putCars({{500, 1, 0, 30}});
    GapView v = gapsOf(0);
    EXPECT_EQ(v.carIndex, 0);
    // Consumers compare with this exact float.
    EXPECT_EQ(double(v.aheadDistance), 999999995904.0);
    for (float d : {v.aheadDistance, v.behindDistance, v.euBehindDistance, v.leftAheadDistance,
                    v.leftBehindDistance, v.rightAheadDistance, v.rightBehindDistance})
        EXPECT_EQ(d, 999999995904.0f);
    for (float s : {v.aheadSpeed, v.leftAheadSpeed, v.rightAheadSpeed})
        EXPECT_EQ(s, 9999.0f);
    for (float s : {v.behindSpeed, v.euBehindSpeed, v.leftBehindSpeed, v.rightBehindSpeed})
        EXPECT_EQ(s, 0.0f);
}

TEST(Gaps, TwoCarsAheadAndBehindAddUpToTheRoad) {
    freshWorld();
    putCars({{1000.25f, 0, 0, 30}, {5000.5f, 0, 0, 45}});
    GapView v = gapsOf(0);
    EXPECT_EQ(v.aheadDistance, 4000.25f);
    EXPECT_EQ(v.behindDistance, 17119.75f);
    EXPECT_EQ(v.aheadDistance + v.behindDistance, world.roadLength);
    EXPECT_EQ(v.aheadSpeed, 45.0f);
    EXPECT_EQ(v.behindSpeed, 45.0f);
    EXPECT_EQ(v.euBehindSpeed, 45.0f);
}

TEST(Gaps, DistanceAcrossTheEndOfTheRoad) {
    freshWorld();
    putCars({{21100, 0}, {10, 0}});
    EXPECT_EQ(gapsOf(0).aheadDistance, 30.0f);
    EXPECT_EQ(gapsOf(1).behindDistance, 30.0f);
}

TEST(Gaps, SideLanesAndEdges) {
    freshWorld();
    putCars({{1000, 0, 0, 30}, {1100, 1, 0, 20}, {900, 1, 0, 40}, {1050, 2}});
    GapView v = gapsOf(0);
    EXPECT_EQ(v.leftAheadDistance, 100.0f);
    EXPECT_EQ(v.leftAheadSpeed, 20.0f);
    EXPECT_EQ(v.leftBehindDistance, 100.0f);
    EXPECT_EQ(v.leftBehindSpeed, 40.0f);
    // Lane 0 has no lane to its right.
    EXPECT_EQ(v.rightAheadDistance, NoCarDistance);
    EXPECT_EQ(v.rightAheadSpeed, 9999.0f);
    // The car in lane 2 is two lanes away.
    EXPECT_EQ(v.aheadDistance, NoCarDistance);

    GapView top = gapsOf(3);
    EXPECT_EQ(top.rightAheadDistance, 50.0f);
    EXPECT_EQ(top.rightBehindDistance, 150.0f);
    EXPECT_EQ(top.leftAheadDistance, NoCarDistance);
}

TEST(Gaps, MovingLeftFoldsTheLeftLaneDistancesOnly) {
    freshWorld();
    putCars({{100, 0, 0, 30, 2},
             {300, 0, 0, 40},    // own lane ahead
             {150, 1, 0, 20},    // left lane ahead, nearer
             {90, 1, 0, 25},     // left lane behind, nearer
             {40, 0, 0, 50}});   // own lane behind
    GapView v = gapsOf(0);
    EXPECT_EQ(v.aheadDistance, 50.0f);
    EXPECT_EQ(v.aheadSpeed, 40.0f);
    EXPECT_EQ(v.behindDistance, 10.0f);
    EXPECT_EQ(v.behindSpeed, 50.0f);
    EXPECT_EQ(v.leftAheadDistance, 50.0f);
    EXPECT_EQ(v.euBehindDistance, 60.0f);
}

TEST(Gaps, MovingRightFoldsTheRightLaneDistances) {
    freshWorld();
    putCars({{100, 2, 0, 30, 1}, {300, 2, 0, 40}, {130, 1, 0, 20}, {400, 3, 0, 10}});
    GapView v = gapsOf(0);
    EXPECT_EQ(v.aheadDistance, 30.0f);
    EXPECT_EQ(v.aheadSpeed, 40.0f);
    // The left lane is not the one being entered.
    EXPECT_EQ(v.leftAheadDistance, 300.0f);
}

TEST(Gaps, NoFoldWhenTheLaneBeingEnteredDoesNotExist) {
    freshWorld();
    putCars({{100, 3, 0, 30, 2}, {300, 3}, {150, 2}});
    GapView v = gapsOf(0);
    EXPECT_EQ(v.aheadDistance, 200.0f);
    EXPECT_EQ(v.leftAheadDistance, NoCarDistance);
}

}  // namespace
