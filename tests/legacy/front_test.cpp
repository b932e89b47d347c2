// The earlier edition's front end without a window: car report, divider
// repair, drag points, Save.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/world_fixture.h"
#include "frontend/geometry.h"
#include "frontend/legacy/front.h"
#include "files/snapshot.h"
#include "commands/commands.h"
#include "frontend/road_canvas.h"

using coretest::CarAt;
using coretest::freshWorld;
using coretest::LogCapture;

namespace {

std::string reportOf(int car) {
    LogCapture log;
    reportLegacyCar(car);
    return log.take();
}

long fileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

// The lane lines of a 1320 x 768 client area, as the last paint records
// them: one pixel per foot, row r's line k at y = 48 r + 12 k.
void paintedLaneLines() {
    roadCanvas.clientWidth = 1320;
    roadCanvas.clientHeight = 768;
    LaneLine lines[LaneLineCapacity];
    layoutLaneLines(lines, LaneLineCapacity);
}

}  // namespace

// Every test of the earlier edition hands the current edition back when it ends.
class LegacyCarReport : public ::testing::Test {
    coretest::EarlierEdition edition_;
};
class LegacyDividerRepair : public ::testing::Test {
    coretest::EarlierEdition edition_;
};
class LegacyDragTable : public ::testing::Test {
    coretest::EarlierEdition edition_;
};
class LegacySaveCommand : public ::testing::Test {
    coretest::EarlierEdition edition_;
};

TEST_F(LegacyCarReport, CarWithNeighboursInEveryDirection) {
    freshWorld(LegacyEdition);
    coretest::calmGroup(0);
    coretest::putCars({
        CarAt{100, 1, 0, 50},
        CarAt{200, 1, 0, 40},
        CarAt{160, 2, 0, 30},
        CarAt{90, 0, 0, 20},
    });
    // Ring: car 3, car 0, car 2, car 1. Neighbours round the closed road:
    // the car behind in lane 2 is 60 ft ahead, the one ahead in lane 0 10 ft
    // behind.
    EXPECT_EQ(reportOf(0),
              ">>car 0: speed=50.000 position_y= 0.0 position=  100.0 lane=1 change=0 group=0 index=1\r\n"
              "aheads=[ -1,   2,   1,   3] behinds=[ -1,   2,   1,   3] behinds_nocl=[ -1,   2,   1,   3]\r\n"
              "LA=42.0 LAs=30.0 LB=21042.0 LBs=30.0 A=82.0 As=40.0 EU=21002.0, "
              "RA=21092.0 RAs=20.0 RB=-8.0 RBs=20.0 \r\n"
              "---------------------------------------------------------------\r\n");
}

TEST_F(LegacyCarReport, LoneCarChangingLanes) {
    freshWorld(LegacyEdition);
    coretest::calmGroup(3);
    coretest::putCars({CarAt{21000.25f, 0, 3, 12.5f, 2, -4.75f}});
    EXPECT_EQ(reportOf(0),
              ">>car 0: speed=12.500 position_y=-4.8 position=21000.2 lane=0 change=2 group=3 index=0\r\n"
              "aheads=[ -1,  -1,  -1,  -1] behinds=[ -1,  -1,  -1,  -1] behinds_nocl=[ -1,  -1,  -1,  -1]\r\n"
              "LA=-1.0 LAs=9999.0 LB=-1.0 LBs= 0.0 A=-1.0 As=9999.0 EU=-1.0, "
              "RA=-1.0 RAs=9999.0 RB=-1.0 RBs= 0.0 \r\n"
              "---------------------------------------------------------------\r\n");
}

TEST_F(LegacyCarReport, NoCar) {
    freshWorld(LegacyEdition);
    coretest::calmGroup(0);
    coretest::putCars({CarAt{100}});
    const std::string notFound = ">>car NOT_FOUND\r\n-----------------\r\n";
    EXPECT_EQ(reportOf(-1), notFound);
    EXPECT_EQ(reportOf(1), notFound) << "a slot not in use is no car";
}

TEST_F(LegacyDividerRepair, CarPastTheDividerRepairsItOnce) {
    freshWorld(LegacyEdition);
    paintedLaneLines();
    coretest::calmGroup(0);
    // Moving right out of lane 2 in row 1: the divider below lane 2, line 2.
    coretest::putCars({CarAt{1400, 2, 0, 50, 1, 11.5f}});
    world.cars[0].lastChange = 1;
    LinePoint line{};
    ASSERT_EQ(dividerToRepair(0, &line), 1);
    EXPECT_EQ(line.x, 1320);
    EXPECT_EQ(line.y, 48 + 24);
    EXPECT_EQ(world.cars[0].lastChange, 0);
    EXPECT_EQ(dividerToRepair(0, &line), 0) << "repaired once per change";

    // Moving left out of lane 1 in row 0: the divider above it, line 2.
    world.cars[0] = Car{100, -11.5f, 50, 0, 1, 2, 2, 0, 0};
    ASSERT_EQ(dividerToRepair(0, &line), 1);
    EXPECT_EQ(line.y, 24);
}

TEST_F(LegacyDividerRepair, CarNotYetOverTheDivider) {
    freshWorld(LegacyEdition);
    paintedLaneLines();
    coretest::calmGroup(0);
    // 11 ft is (12 - 6) / 2 + 6 + 2: the edge of the car just reaches it.
    coretest::putCars({CarAt{1400, 2, 0, 50, 1, 11.0f}});
    world.cars[0].lastChange = 1;
    LinePoint line{-7, -7};
    EXPECT_EQ(dividerToRepair(0, &line), 0);
    EXPECT_EQ(world.cars[0].lastChange, 1);
    EXPECT_EQ(line.y, -7);

    // A change that was not gap-tested leaves nothing to repair.
    world.cars[0].lateral = 11.5f;
    world.cars[0].lastChange = 0;
    EXPECT_EQ(dividerToRepair(0, &line), 0);
}

TEST_F(LegacyDividerRepair, LinesAtTheEdgesOfTheTable) {
    freshWorld(LegacyEdition);
    paintedLaneLines();
    coretest::calmGroup(0);
    coretest::putCars({CarAt{21119, 0, 0, 50, 0, 11.5f}});
    LinePoint line{};
    // Lane 0 moving right names line 4 of its row: the next row's top edge.
    world.cars[0].lastChange = 1;
    ASSERT_EQ(dividerToRepair(0, &line), 1);
    EXPECT_EQ(line.y, 768);

    // Past the end of the road there is no next row: nothing is drawn.
    world.cars[0].position = 21120;
    world.cars[0].lastChange = 1;
    EXPECT_EQ(dividerToRepair(0, &line), 0);
    EXPECT_EQ(world.cars[0].lastChange, 0);

    // A stale left change in lane 3 names the row's top edge.
    world.cars[0] = Car{0, 11.5f, 50, 0, 3, 1, 2, 0, 0};
    ASSERT_EQ(dividerToRepair(0, &line), 1);
    EXPECT_EQ(line.y, 0);
}

TEST_F(LegacyDragTable, KeepsTheFirstThousandPointsThenRefuses) {
    int before = dragPointCount();
    ASSERT_LE(before, DragPointCapacity);
    int recorded = 0;
    for (int i = before; i < DragPointCapacity; i++)
        recorded += recordDragPoint(i, 2 * i);
    EXPECT_EQ(recorded, DragPointCapacity - before);
    EXPECT_EQ(dragPointCount(), DragPointCapacity);
    EXPECT_EQ(dragPoint(DragPointCapacity - 1).x, DragPointCapacity - 1);
    EXPECT_EQ(dragPoint(DragPointCapacity - 1).y, 2 * (DragPointCapacity - 1));

    EXPECT_EQ(recordDragPoint(5, 5), 0);
    EXPECT_EQ(recordDragPoint(6, 6), 0);
    EXPECT_EQ(dragPointCount(), DragPointCapacity);
    EXPECT_EQ(dragPoint(DragPointCapacity).x, -1);
}

TEST_F(LegacySaveCommand, WithoutGroupsFileDoesNothing) {
    freshWorld(LegacyEdition);
    world.reportToFile = 1;
    world.run.stepCount = 77;
    std::string expected = std::string("Default.77(0.7).omb");
    std::remove(expected.c_str());
    LogCapture log;
    saveSnapshotCommand();
    EXPECT_EQ(log.take(), "");
    EXPECT_EQ(world.reportToFile, 1);
    EXPECT_STREQ(world.groupsPath, "");
    EXPECT_EQ(fileSize(expected), -1);
}

TEST_F(LegacySaveCommand, WritesTheSnapshotNamedAfterGroupsFileStepAndVersion) {
    freshWorld(LegacyEdition);
    std::string folder = ::testing::TempDir();
    std::string groups = folder + "city.csv";
    std::snprintf(world.groupsPath, sizeof world.groupsPath, "%s", groups.c_str());
    std::snprintf(world.groupsName, sizeof world.groupsName, "city.csv");
    world.run.stepCount = 1234;
    world.reportToFile = 1;
    std::string saved = folder + "city.1234(0.7).omb";
    std::remove(saved.c_str());
    LogCapture log;
    saveSnapshotCommand();
    EXPECT_EQ(log.take(), "Created filename " + saved + " at step 1234 of city.csv\r\n");
    EXPECT_EQ(fileSize(saved), long(SnapshotSize));
    EXPECT_EQ(world.reportToFile, 0);
}

TEST_F(LegacySaveCommand, FailureIsLogged) {
    freshWorld(LegacyEdition);
    std::string groups = ::testing::TempDir() + "gone/city.csv";
    std::snprintf(world.groupsPath, sizeof world.groupsPath, "%s", groups.c_str());
    world.run.stepCount = 5;
    LogCapture log;
    saveSnapshotCommand();
    EXPECT_EQ(log.take(), "Can't save: The error was Cannot create save-file " + ::testing::TempDir() +
                              "gone/city.5(0.7).omb\r\n");
}
