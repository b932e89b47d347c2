// Clicking on cars: the hit test, the car and group reports, the mouse words.
#include "frontend/inspect.h"

#include "frontend/geometry.h"
#include "files/groups.h"

#include "core/world_fixture.h"
#include "frontend/road_canvas.h"

#include <cfloat>
#include <cstring>

namespace {

using coretest::CarAt;
using coretest::freshWorld;
using coretest::LogCapture;
using coretest::putCars;

// A painted 1320 x 768 window: one foot is one pixel, lane 0 of row 0 lies
// between y 36 and 48.
class Inspect : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        for (int g = 0; g < 4; g++)
            coretest::calmGroup(g);
        roadCanvas.clientWidth = 1320;
        roadCanvas.clientHeight = 768;
        LaneLine lines[LaneLineCapacity];
        layoutLaneLines(lines, LaneLineCapacity);
    }
    std::string carReport(int car) {
        char text[ReportSize];
        formatCarReport(text, sizeof text, car);
        return text;
    }
    std::string groupReport(int car) {
        char text[ReportSize];
        formatGroupReport(text, sizeof text, car);
        return text;
    }
};

TEST_F(Inspect, HitTestFindsTheRowAndLaneUnderTheClick) {
    putCars({{100, 0}, {100, 1}, {100, 2}, {100, 3}, {1420, 0}});
    EXPECT_EQ(hitTestCar(105, 43), 0);
    EXPECT_EQ(hitTestCar(105, 30), 1);
    EXPECT_EQ(hitTestCar(105, 20), 2);
    EXPECT_EQ(hitTestCar(105, 5), 3);
    EXPECT_EQ(hitTestCar(105, 48), 0);      // a row's bottom line belongs to lane 0
    EXPECT_EQ(hitTestCar(105, 91), 4);      // row 1
    EXPECT_EQ(hitTestCar(105, 0), 0);       // the road's top edge: taken as lane 0 of row 0
}

TEST_F(Inspect, HitTestEdgesOfACar) {
    putCars({{100, 0}});
    EXPECT_EQ(hitTestCar(100, 43), 0);      // exactly at its position
    EXPECT_EQ(hitTestCar(118, 43), 0);      // exactly one car length ahead
    EXPECT_EQ(hitTestCar(99, 43), -1);      // one foot behind it
    EXPECT_EQ(hitTestCar(119, 43), -1);
}

TEST_F(Inspect, HitTestOutsideTheRoadOrWindow) {
    putCars({{100, 0}});
    EXPECT_EQ(hitTestCar(105, 900), -1);    // below every line
    EXPECT_EQ(hitTestCar(105, 785), -1);    // below the last row: no car there
    roadCanvas.laneLines[0][0].y = 10;
    EXPECT_EQ(hitTestCar(105, 9), -1);      // above the first line
    roadCanvas.laneLines[0][0].y = 0;
    roadCanvas.clientWidth = 0;
    EXPECT_EQ(hitTestCar(105, 43), -1);
    roadCanvas.clientWidth = 1320;
    world.order.count = -4;
    EXPECT_EQ(hitTestCar(105, 43), -1);
    world.order.count = 1;
    world.order.slots[0] = 99999;
    EXPECT_EQ(hitTestCar(105, 43), -1);
}

TEST_F(Inspect, HitTestFindsCarsChangingIntoTheLane) {
    putCars({{100, 1, 0, 0, 2}, {500, 2, 0, 0, 1}, {900, 1, 0, 0, 1}});
    EXPECT_EQ(hitTestCar(105, 30), 0);      // its own lane 1
    EXPECT_EQ(hitTestCar(105, 20), 0);      // lane 2, which it is moving into
    EXPECT_EQ(hitTestCar(105, 43), -1);     // not lane 0
    EXPECT_EQ(hitTestCar(505, 30), 1);      // moving right from lane 2 into lane 1
    EXPECT_EQ(hitTestCar(905, 43), 2);
    EXPECT_EQ(hitTestCar(905, 20), -1);
}

TEST_F(Inspect, HitTestOverlapGivesTheLowerRingEntry) {
    putCars({{110, 0}, {100, 0}});
    ASSERT_EQ(world.cars[1].slot, 0);
    EXPECT_EQ(hitTestCar(112, 43), 1);
}

TEST_F(Inspect, EarlierEditionHitsOnlyTheCarsOwnLane) {
    freshWorld(LegacyEdition);
    roadCanvas.clientWidth = 1320;
    roadCanvas.clientHeight = 768;
    LaneLine lines[LaneLineCapacity];
    layoutLaneLines(lines, LaneLineCapacity);
    putCars({{100, 1, 0, 0, 2}});
    EXPECT_EQ(hitTestCar(105, 30), 0);
    EXPECT_EQ(hitTestCar(105, 20), -1);
}

TEST_F(Inspect, CarReportOfALoneCar) {
    putCars({{396, 0, 3, 37.25f, 0, 0}});
    world.cars[0].slot = 0;
    EXPECT_EQ(carReport(0),
              "\r\nCAR NUMBER 0 Group 3\r\nspeed=37.2mph distance=396ft\r\n"
              "lane(0..3)=0 CL=N Ypos=0 index=0\r\n"
              "Aheads=[ -1,  -1,  -1,  -1]\r\nBehinds=[ -1,  -1,  -1,  -1]\r\n"
              "BehindEU=[ -1,  -1,  -1,  -1]\r\n"
              "Ahead   dst=-1ft spd=9999.0mph\r\nEU-Behind dst=-1ft\r\n"
              "LAhead  dst=-1ft spd=9999.0mph\r\nLBehind dst=-1ft spd=0.0mph\r\n"
              "RAhead  dst=-1ft spd=9999.0mph\r\nRBehind dst=-1ft spd=0.0mph\r\n");
}

TEST_F(Inspect, CarReportNeighboursAndGaps) {
    // Car 0 has car 1 ten feet behind it in its lane, car 2 ahead in lane 1
    // and is itself moving left.
    putCars({{110, 0, 0, 50, 2, -3}, {100, 0, 0, 40}, {200, 1, 0, 30}});
    std::string text = carReport(0);
    EXPECT_NE(text.find("lane(0..3)=0 CL=L Ypos=-3 index=1\r\n"), std::string::npos) << text;
    // On the closed road each of the other two cars is also ahead of it.
    EXPECT_NE(text.find("Aheads=[ -1,  -1,   2,   1]\r\nBehinds=[ -1,  -1,   2,   1]\r\n"
                        "BehindEU=[ -1,  -1,   2,   1]\r\n"), std::string::npos) << text;
    // The ahead distance is folded with the lane it is moving into.
    EXPECT_NE(text.find("Ahead   dst=72ft spd=40.0mph\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("EU-Behind dst=-8ft\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("LAhead  dst=72ft spd=30.0mph\r\n"), std::string::npos) << text;
    putCars({{0, 0, 0, 0, 1}});
    EXPECT_NE(carReport(0).find(" CL=R "), std::string::npos);
}

TEST_F(Inspect, NoCarReportsNotFoundWithTheHyphenLine) {
    EXPECT_EQ(carReport(-1), "Car NOT_FOUND\r\n");
    EXPECT_EQ(groupReport(-1), "Car NOT_FOUND\r\n");
    EXPECT_EQ(carReport(MaxCars), "Car NOT_FOUND\r\n");
    putCars({{0, 0}});
    world.cars[0].group = 77;
    EXPECT_EQ(groupReport(0), "Car NOT_FOUND\r\n");
    LogCapture log;
    reportCar(-1);
    reportGroup(-1);
    EXPECT_EQ(log.take(), "Car NOT_FOUND\r\n-----------------------------------\r\n"
                          "Car NOT_FOUND\r\n-----------------------------------\r\n");
}

TEST_F(Inspect, GroupReportOfTheDefaultGroupZero) {
    loadDefaultGroups();
    putCars({{0, 0, 0}});
    Group& g = world.groups[0];
    char expected[ReportSize];
    std::snprintf(expected, sizeof expected,
                  "\r\nGROUP NUMBER: 0\r\ncolor (Z)=%s\r\nDesired Speed (A)=%.0f mph\r\n"
                  "Acceleration (B)=%.0f fpsps\r\nDistance at Speed (C)=%.0f feet\r\n"
                  "Delay before Accel (D)=%d steps\r\nPreferred Lane (E)=%d\r\n"
                  "When Moves Left (F)=%s\r\n",
                  colourName(g.colour), g.desiredSpeed, g.acceleration, g.followDistance,
                  g.startDelay, g.preferredLane, lanePolicyName(g.leftPolicy));
    std::string text = groupReport(0);
    EXPECT_EQ(text.compare(0, std::strlen(expected), expected), 0) << text;
    EXPECT_NE(text.find("\r\nAhead Zone=15.0 car lengths\r\nBehind Zone=1.0 car lengths\r\n"),
              std::string::npos) << text;
}

TEST_F(Inspect, GroupReportNamesColoursAndPolicies) {
    putCars({{0, 0, 2}});
    Group& g = world.groups[2];
    g.colour = 0xFFFF00;    // cyan: blue and green
    g.leftPolicy = 13;
    g.rightPolicy = 99;
    g.preferredLane = -2;
    g.laneChangeTime = 2.5f;
    g.averageSpeed = 47.25f;
    std::string text = groupReport(0);
    EXPECT_NE(text.find("\r\nGROUP NUMBER: 2\r\ncolor (Z)=Aqua\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("When Moves Left (F)=F-Dist & 200ft\r\n"), std::string::npos);
    EXPECT_NE(text.find("When Moves Right (I)=Dunno\r\n"), std::string::npos);
    EXPECT_NE(text.find("Preferred Lane (E)=-2\r\n"), std::string::npos);
    EXPECT_NE(text.find("Lane Change Time (M)=2 secs\r\nAverage Speed=47.2 mph\r\n"), std::string::npos) << text;
}

TEST_F(Inspect, ReportsStayInsideTheirBuffers) {
    putCars({{0, 0, 1}, {20, 0, 1}});
    world.cars[0].speed = FLT_MAX;
    world.cars[0].lateral = -FLT_MAX;
    world.cars[0].group = 1;
    Group& g = world.groups[1];
    g.desiredSpeed = g.acceleration = g.followDistance = FLT_MAX;
    g.leftAhead = g.leftBehind = g.rightAhead = g.rightBehind = -FLT_MAX;
    g.aheadZone = g.behindZone = g.laneChangeTime = g.averageSpeed = FLT_MAX;
    g.startDelay = g.preferredLane = INT_MIN;
    // The widest values still fit whole.
    std::string full = groupReport(0);
    EXPECT_LT(full.size(), std::size_t(ReportSize));
    EXPECT_EQ(full.substr(full.size() - 5), "mph\r\n");
    std::string car = carReport(0);
    EXPECT_LT(car.size(), std::size_t(ReportSize));
    EXPECT_EQ(car.substr(car.size() - 5), "mph\r\n");
    char cut[120];
    formatGroupReport(cut, 100, 0);
    EXPECT_EQ(std::string(cut), full.substr(0, 99));
    char small[12];
    std::memset(small, '@', sizeof small);
    formatCarReport(small, 10, 0);
    EXPECT_EQ(std::strlen(small), 9u);
    EXPECT_EQ(small[10], '@');
    formatGroupReport(small, 0, 0);
    EXPECT_EQ(small[0], '\r');
}

TEST_F(Inspect, MouseWordsUnpackAsUnsigned) {
    storeClickPoint(0xFFFF0005u);
    EXPECT_EQ(roadCanvas.clickX, 5);
    EXPECT_EQ(roadCanvas.clickY, 65535);
    storeClickPoint((300u << 16) | 1319u);
    EXPECT_EQ(roadCanvas.clickX, 1319);
    EXPECT_EQ(roadCanvas.clickY, 300);
    EXPECT_TRUE(isShiftClick(1 | 4));
    EXPECT_TRUE(isShiftClick(1 | 8));
    EXPECT_FALSE(isShiftClick(1));
    EXPECT_FALSE(isShiftClick(1 | 2 | 16));
    EXPECT_TRUE(isLeftButtonHeld(1));
    EXPECT_TRUE(isLeftButtonHeld(1 | 4));
    EXPECT_FALSE(isLeftButtonHeld(2 | 4 | 8));
}

}  // namespace
