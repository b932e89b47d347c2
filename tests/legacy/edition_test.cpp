// The shared front end as the earlier edition uses it: its title, its
// truncating geometry and its hit test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/world_fixture.h"
#include "frontend/geometry.h"
#include "frontend/inspect.h"
#include "frontend/title.h"
#include "frontend/road_canvas.h"

using coretest::CarAt;
using coretest::freshWorld;

namespace {

std::string titleNow() {
    char text[TitleSize];
    formatTitle(text, sizeof text);
    return text;
}

void clientArea(int width, int height) {
    roadCanvas.clientWidth = width;
    roadCanvas.clientHeight = height;
    LaneLine lines[LaneLineCapacity];
    layoutLaneLines(lines, LaneLineCapacity);
}

}  // namespace

// Every test of the earlier edition hands the current edition back when it ends.
class LegacyTitle : public ::testing::Test {
    coretest::EarlierEdition edition_;
};
class LegacyGeometry : public ::testing::Test {
    coretest::EarlierEdition edition_;
};
class LegacyHitTest : public ::testing::Test {
    coretest::EarlierEdition edition_;
};

TEST_F(LegacyTitle, ShowsTheTickTimePerSimulatedSecond) {
    freshWorld(LegacyEdition);
    world.run.stepCount = 1234;
    world.carTotal = 350;
    world.run.tickMillis = 2;
    EXPECT_EQ(titleNow(), "Ombrane 0.7 - Default       #(        1234)       350 cars = [  32ms]/sec     ");

    std::strcpy(world.groupsName, "city.csv");
    std::strcpy(world.titleLine, "55.0 [0]=60.1");
    world.hasTitleLine = 1;
    world.run.tickMillis = 0;
    world.run.speedMultiplier = 7;  // not shown in this edition
    world.run.stepTo = 99;
    EXPECT_EQ(titleNow(), "Ombrane 0.7 - city.csv       #(        1234)       350 cars = [   0ms]/sec     55.0 [0]=60.1");
}

TEST_F(LegacyGeometry, PixelConversionsTruncate) {
    freshWorld(LegacyEdition);
    coretest::calmGroup(0);
    coretest::putCars({CarAt{0, 0}, CarAt{1320, 0}, CarAt{100, 3, 0, 50, 2, 0}});
    clientArea(1320, 768);
    // yf = 0.3 x 12 + 3 x 12 = 39.6 ft: rows 39 to 45, no extra pixel.
    CarShape first = carShape(0);
    EXPECT_EQ(first.body.left, 0);
    EXPECT_EQ(first.body.right, 18);
    EXPECT_EQ(first.body.top, 39);
    EXPECT_EQ(first.body.bottom, 45);
    EXPECT_EQ(carShape(1).body.top, 48 + 39);
    EXPECT_EQ(carShape(1).body.left, 0);

    clientArea(1000, 500);
    // x 100 ft = 75.76 px, 118 ft = 89.39 px; yf 3.6 ft = 2.34 px, 9.6 ft = 6.25 px.
    CarShape third = carShape(2);
    EXPECT_EQ(third.body.left, 75);
    EXPECT_EQ(third.body.right, 89);
    EXPECT_EQ(third.body.top, 2);
    EXPECT_EQ(third.body.bottom, 6);
    EXPECT_EQ(third.marker.present, 0) << "no lane-change marker in this edition";
}

TEST_F(LegacyGeometry, LinesTruncate) {
    freshWorld(LegacyEdition);
    roadCanvas.clientWidth = 1000;
    roadCanvas.clientHeight = 500;
    LaneLine lines[LaneLineCapacity];
    int count = layoutLaneLines(lines, LaneLineCapacity);
    ASSERT_EQ(count, 67);
    for (int k = 0; k < count; k++) {
        EXPECT_EQ(lines[k].xEnd, 1000);
        EXPECT_EQ(lines[k].solid, k % 4 == 0 || k >= 64) << "line " << k;
    }
    EXPECT_EQ(lines[1].y, 7);     // 7.81
    EXPECT_EQ(lines[3].y, 23);    // 23.44
    EXPECT_EQ(lines[5].y, 39);    // 39.06
    EXPECT_EQ(roadCanvas.laneLines[1][1].y, 39);
}

TEST_F(LegacyHitTest, CarsChangingIntoTheLaneAreNotHitThere) {
    freshWorld(LegacyEdition);
    coretest::calmGroup(0);
    // Lane 1 moving left into lane 2, at 100 ft in row 0.
    coretest::putCars({CarAt{100, 1, 0, 50, 2, -6}});
    clientArea(1320, 768);
    const int lane2Y = 20, lane1Y = 30;
    EXPECT_EQ(hitTestCar(105, lane1Y), 0);
    EXPECT_EQ(hitTestCar(105, lane2Y), -1);
    EXPECT_EQ(hitTestCar(99, lane1Y), -1);

    // The current edition finds it in both lanes.
    world.edition = &CurrentEdition;
    EXPECT_EQ(hitTestCar(105, lane2Y), 0);
}
