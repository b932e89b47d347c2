// Placement of the groups' cars, the default groups on the road, and restart.
#include "world_fixture.h"

using namespace coretest;

namespace {

// Places with the log captured; returns the log.
std::string place() {
    LogCapture log;
    world.carTotal = placeAllCars(nullptr);
    return log.take();
}

void emptyGroups() {
    for (int g = 0; g < MaxGroups; g++)
        calmGroup(g);
}

TEST(Placement, DefaultGroupsStandInLaneZero) {
    freshWorld();
    loadDefaultGroups();
    EXPECT_EQ(place(), "Placed 50 cars in 50 groups on roadway\r\n");
    ASSERT_EQ(world.carTotal, 50);
    EXPECT_EQ(world.groupsWithCars, 50);
    for (int i = 0; i < 50; i++) {
        SCOPED_TRACE(i);
        const Car& car = world.cars[i];
        EXPECT_EQ(car.group, i);
        EXPECT_EQ(car.lane, 0);
        EXPECT_EQ(car.position, float(36 * i));
        EXPECT_EQ(car.speed, 0.0f);
        EXPECT_EQ(car.change, 0);
        EXPECT_EQ(car.delay, 0);
        EXPECT_EQ(world.order.slots[i], i);
    }
    EXPECT_TRUE(ringConsistent());
}

TEST(Placement, LaneCarsFirstThenAnyLaneCarsRoundRobin) {
    freshWorld();
    emptyGroups();
    world.groups[0].laneCount[0] = 3;
    world.groups[0].carCount = 2;
    world.groups[1].carCount = 2;
    EXPECT_EQ(place(), "Placed 7 cars in 2 groups on roadway\r\n");
    ASSERT_EQ(world.carTotal, 7);
    const int groups[7] = {0, 0, 0, 1, 0, 1, 0};
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(world.cars[i].group, groups[i]) << "car " << i;
        EXPECT_EQ(world.cars[i].position, float(36 * i));
        EXPECT_EQ(world.cars[i].lane, 0);
    }
}

TEST(Placement, AnyLaneCarsSpillIntoTheNextLane) {
    freshWorld();
    emptyGroups();
    world.groups[0].carCount = 600;
    place();
    ASSERT_EQ(world.carTotal, 600);
    EXPECT_EQ(world.cars[585].lane, 0);
    EXPECT_EQ(world.cars[585].position, 21060.0f);
    EXPECT_EQ(world.cars[586].lane, 1);
    EXPECT_EQ(world.cars[586].position, 0.0f);
    EXPECT_EQ(world.cars[599].lane, 1);
    EXPECT_EQ(world.cars[599].position, 468.0f);
    EXPECT_TRUE(ringConsistent());
}

TEST(Placement, LaneBoundCarsBeyondTheLaneAreDropped) {
    freshWorld();
    emptyGroups();
    world.groups[4].laneCount[2] = 600;
    EXPECT_EQ(place(), "Placed 586 cars in 1 groups on roadway\r\n");
    EXPECT_EQ(world.carTotal, 586);
    EXPECT_EQ(world.cars[0].lane, 2);
    EXPECT_EQ(world.cars[585].position, 21060.0f);
    EXPECT_EQ(world.groups[4].laneCount[2], 0);
    EXPECT_EQ(carsToPlace(), 0);
}

TEST(Placement, GroupCursorCarriesAcrossLanes) {
    freshWorld();
    emptyGroups();
    for (int g = 0; g < 3; g++)
        world.groups[g].carCount = 300;
    place();
    ASSERT_EQ(world.carTotal, 900);
    // 586 = 3 * 195 + 1: lane 0 fills up just after group 0 of a pass.
    EXPECT_EQ(world.cars[585].group, 0);
    EXPECT_EQ(world.cars[585].lane, 0);
    EXPECT_EQ(world.cars[586].group, 1);
    EXPECT_EQ(world.cars[586].lane, 1);
    EXPECT_EQ(world.cars[586].position, 0.0f);
    EXPECT_EQ(world.cars[587].group, 2);
    EXPECT_EQ(world.cars[588].group, 0);
}

TEST(Placement, EmptyLanesAreSkipped) {
    freshWorld();
    emptyGroups();
    world.groups[9].laneCount[3] = 1;
    world.groups[2].laneCount[1] = 2;
    EXPECT_EQ(place(), "Placed 3 cars in 2 groups on roadway\r\n");
    EXPECT_EQ(world.cars[0].lane, 1);
    EXPECT_EQ(world.cars[0].group, 2);
    EXPECT_EQ(world.cars[1].position, 36.0f);
    EXPECT_EQ(world.cars[2].lane, 3);
    EXPECT_EQ(world.cars[2].position, 0.0f);
    // Equal positions stand in the order they were placed.
    EXPECT_EQ(world.order.slots[0], 0);
    EXPECT_EQ(world.order.slots[1], 2);
    EXPECT_EQ(world.order.slots[2], 1);
}

TEST(Placement, ConsumesCountsAndStatistics) {
    freshWorld();
    emptyGroups();
    world.groups[0].carCount = 2;
    world.groups[1].laneCount[3] = 1;
    world.groups[1].speedSamples = 7;
    world.groups[1].speedSum = 300;
    world.groups[1].averageSpeed = 42;
    world.groups[2].averageSpeed = 13;
    place();
    for (int g = 0; g < MaxGroups; g++) {
        SCOPED_TRACE(g);
        const Group& group = world.groups[g];
        EXPECT_EQ(group.carCount, 0);
        for (int lane = 0; lane < 4; lane++)
            EXPECT_EQ(group.laneCount[lane], 0);
        EXPECT_EQ(group.speedSamples, 0);
        EXPECT_EQ(group.speedSum, 0.0f);
        EXPECT_EQ(group.averageSpeed, 0.0f);
    }
    EXPECT_EQ(carsToPlace(), 0);
}

TEST(Placement, ClearsSlotsNoLongerInUse) {
    freshWorld();
    emptyGroups();
    for (int c = 0; c < MaxCars; c++) {
        world.cars[c] = Car{5000, 3, 40, 7, 2, 1, 2, 9, 17};
        world.order.slots[c] = 17;
    }
    world.carTotal = 300;
    world.order.count = 300;
    world.groups[0].carCount = 5;
    place();
    ASSERT_EQ(world.carTotal, 5);
    Car zero{};
    for (int c = 5; c < MaxCars; c++)
        ASSERT_EQ(std::memcmp(&world.cars[c], &zero, sizeof zero), 0) << "car " << c;
    for (int e = 5; e < MaxCars; e++)
        ASSERT_EQ(world.order.slots[e], 0) << "entry " << e;
    // Placing a car sets its motion fields but not the last change direction.
    EXPECT_EQ(world.cars[3].lastChange, 2);
    EXPECT_EQ(world.cars[3].lateral, 0.0f);
    EXPECT_EQ(world.cars[3].delay, 0);
    EXPECT_EQ(world.cars[3].slot, 3);
}

// Regression: a negative lane total with cars for any lane left to place kept
// the passes going without end.
TEST(Placement, NegativeCountsPlaceWhatTheyCan) {
    freshWorld();
    emptyGroups();
    world.groups[0].laneCount[0] = -5;
    world.groups[1].carCount = 3;
    world.groups[2].carCount = -10;
    world.groups[3].laneCount[1] = 2;
    EXPECT_EQ(place(), "Placed 5 cars in 2 groups on roadway\r\n");
    EXPECT_EQ(world.cars[0].lane, 0);
    EXPECT_EQ(world.cars[2].group, 1);
    EXPECT_EQ(world.cars[3].lane, 1);
    EXPECT_EQ(world.cars[4].group, 3);
    EXPECT_EQ(world.groups[0].laneCount[0], 0);
    EXPECT_EQ(world.groups[2].carCount, 0);
    EXPECT_TRUE(ringConsistent());
}

TEST(Placement, NothingToPlaceLogsZero) {
    freshWorld();
    emptyGroups();
    EXPECT_EQ(place(), "Placed 0 cars in 0 groups on roadway\r\n");
    EXPECT_EQ(world.carTotal, 0);
    EXPECT_EQ(world.order.count, 0);
}

TEST(Placement, FullRoadInEveryLane) {
    freshWorld();
    emptyGroups();
    world.groups[0].carCount = 2400;
    EXPECT_EQ(place(), "Placed 2344 cars in 1 groups on roadway\r\n");
    EXPECT_EQ(world.cars[2343].lane, 3);
    EXPECT_EQ(world.cars[2343].position, 21060.0f);
    EXPECT_TRUE(ringConsistent());
}

// Smaller spacing than the defaults would place more cars than there are
// slots; no car may end up outside the ring or the car table.
TEST(Placement, StopsAtTheCarLimit) {
    freshWorld();
    emptyGroups();
    world.placementSpacing = 2;
    world.groups[0].carCount = 3000;
    world.groups[1].laneCount[1] = 10;
    place();
    EXPECT_LE(world.carTotal, MaxCars);
    EXPECT_TRUE(ringConsistent());
    for (int c = 0; c < world.carTotal; c++)
        ASSERT_LT(world.cars[c].slot, MaxCars);
    EXPECT_EQ(world.groupsWithCars, 2);
}

TEST(Placement, RestartAfterAFileAddsItsLaneCarsToTheDefaults) {
    freshWorld();
    emptyGroups();
    world.groups[3].laneCount[2] = 2;
    {
        LogCapture quiet;
        restartWorld();
    }
    EXPECT_EQ(place(), "Placed 52 cars in 50 groups on roadway\r\n");
    EXPECT_EQ(world.cars[49].lane, 0);
    EXPECT_EQ(world.cars[50].lane, 2);
    EXPECT_EQ(world.cars[50].group, 3);
    EXPECT_EQ(world.cars[51].position, 36.0f);
}

// ----------------------------------------------------------------- Restart

TEST(Restart, PutsDefaultsBackAndKeepsRunControl) {
    freshWorld();
    world.carTotal = 12;
    world.reportToFile = 1;
    world.run.restartRequested = 1;
    world.run.constructionZone = 1;
    world.run.speedMultiplier = 6;
    world.run.stepTo = 900;
    world.roadLength = 1000;
    world.groups[5].laneCount[0] = 3;
    world.groups[5].desiredSpeed = 99;
    {
        LogCapture quiet;
        restartWorld();
    }
    EXPECT_EQ(world.roadLength, 21120.0f);
    EXPECT_EQ(world.reportToFile, 0);
    EXPECT_EQ(world.run.restartRequested, 0);
    EXPECT_EQ(world.run.constructionZone, 1);
    EXPECT_EQ(world.run.speedMultiplier, 6);
    EXPECT_EQ(world.run.stepTo, 900);
    EXPECT_EQ(world.carTotal, 12);
    EXPECT_EQ(world.groups[5].laneCount[0], 3);
    EXPECT_EQ(world.groups[5].desiredSpeed, 20.0f);
    EXPECT_EQ(world.groups[5].carCount, 1);
}

const char* const Hyphens29 = "-----------------------------\r\n\r\n";

TEST(Restart, PrintsBannerAndHints) {
    freshWorld();
    LogCapture log;
    restartWorld();
    std::string text = log.take();
    size_t end = text.find("\r\n");
    ASSERT_EQ(end, 29u);
    EXPECT_EQ(text.substr(31),
              std::string(Hyphens29) +
                  "Select the Main Window then hit <Enter>\r\n"
                  "Use File menu to open a groups.csv file\r\n"
                  "To Pause/Single Step: Use <spacebar>\r\n"
                  "---------------------------------------\r\n");
}

TEST(Restart, EarlierEditionPrintsItsOwnTwoLines) {
    EarlierEdition earlier;
    LogCapture log;
    restartWorld();
    std::string text = log.take();
    ASSERT_EQ(text.find("\r\n"), 29u);
    EXPECT_EQ(text.substr(31),
              std::string(Hyphens29) +
                  "Use the [File] menu to open a groups.csv file, then hit <Enter>\r\n"
                  "To Pause: Select the Main Window and hit <spacebar>\r\n");
}

TEST(Restart, HintsAlone) {
    LogCapture log;
    ShowHints();
    EXPECT_EQ(log.take(),
              "Select the Main Window then hit <Enter>\r\n"
              "Use File menu to open a groups.csv file\r\n"
              "To Pause/Single Step: Use <spacebar>\r\n"
              "---------------------------------------\r\n");
}

}  // namespace
