// Pixel geometry of cars, construction zone and lane lines.
#include "frontend/geometry.h"

#include "core/world_fixture.h"
#include "frontend/road_canvas.h"

namespace {

using coretest::CarAt;
using coretest::freshWorld;
using coretest::putCars;

class Geometry : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        roadCanvas.clientWidth = 1320;
        roadCanvas.clientHeight = 768;
    }
};

TEST_F(Geometry, CarBoxesRoundToTheClientArea) {
    putCars({{0, 0}, {1320, 0}, {21119, 0}, {100, 3}, {0, 2, 0, 0, 0, 5.0f}});
    PixelBox first = carShape(0).body;
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.right, 18);     // fills x 0..17
    EXPECT_EQ(first.top, 40);       // round(39.6)
    EXPECT_EQ(first.bottom, 47);    // 40 + 6 + 1, fills y 40..46

    PixelBox nextRow = carShape(1).body;
    EXPECT_EQ(nextRow.left, 0);
    EXPECT_EQ(nextRow.top, 88);

    PixelBox last = carShape(2).body;
    EXPECT_EQ(last.left, 1319);
    EXPECT_EQ(last.right, 1337);    // past the window's edge: cut by it
    EXPECT_EQ(last.top, 15 * 48 + 40);

    PixelBox leftLane = carShape(3).body;
    EXPECT_EQ(leftLane.left, 100);
    EXPECT_EQ(leftLane.top, 4);     // round(3.6): lane 3 is the top band

    // A positive lateral offset moves the car down, towards lane 0.
    PixelBox sideways = carShape(4).body;
    EXPECT_EQ(sideways.top, 21);    // round(12 + 3.6 + 5)
}

TEST_F(Geometry, CarBoxesFollowTheWindowSize) {
    putCars({{660, 0}});
    roadCanvas.clientWidth = 660;
    roadCanvas.clientHeight = 384;
    PixelBox half = carShape(0).body;
    EXPECT_EQ(half.left, 330);
    EXPECT_EQ(half.right, 339);
    EXPECT_EQ(half.top, 20);        // round(19.8)
    EXPECT_EQ(half.bottom, 24);     // 20 + 3 + 1

    roadCanvas.clientWidth = 0;
    roadCanvas.clientHeight = 0;
    PixelBox none = carShape(0).body;
    EXPECT_EQ(none.left, 0);
    EXPECT_EQ(none.right, 0);
    EXPECT_EQ(none.top, 0);
    EXPECT_EQ(none.bottom, 1);
}

TEST_F(Geometry, LaneChangeMarkersCrossTheEdgeTowardsTheNewLane) {
    putCars({{0, 0, 0, 0, 2}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0}});
    MarkerStroke left = carShape(0).marker;
    ASSERT_TRUE(left.present);
    EXPECT_EQ(left.x, 9);
    EXPECT_EQ(left.y1, 41);
    EXPECT_EQ(left.y2, 40);

    MarkerStroke right = carShape(1).marker;
    ASSERT_TRUE(right.present);
    EXPECT_EQ(right.x, 9);
    EXPECT_EQ(right.y1, 45);
    EXPECT_EQ(right.y2, 45);

    EXPECT_FALSE(carShape(2).marker.present);
}

TEST_F(Geometry, ConstructionZoneIsTheMiddleHalfOfRowSeven) {
    PixelBox zone = constructionZoneBox();
    EXPECT_EQ(zone.left, 330);
    EXPECT_EQ(zone.right, 990);     // fills x 330..989
    EXPECT_EQ(zone.top, 336);
    EXPECT_EQ(zone.bottom, 384);    // fills y 336..383
}

TEST_F(Geometry, LaneLinesEveryLaneWidthWithSolidRowEdges) {
    roadCanvas.laneLines[16][3] = LinePoint{-5, -7};
    LaneLine lines[LaneLineCapacity];
    int count = layoutLaneLines(lines, LaneLineCapacity);
    ASSERT_EQ(count, 67);
    for (int k = 0; k < count; k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(lines[k].y, 12 * k);
        EXPECT_EQ(lines[k].xEnd, 1320);
        bool edge = k % 4 == 0 || k >= 64;
        EXPECT_EQ(lines[k].solid, edge);
        EXPECT_EQ(roadCanvas.laneLines[k / 4][k % 4].y, 12 * k);
        EXPECT_EQ(roadCanvas.laneLines[k / 4][k % 4].x, 1320);
    }
    EXPECT_EQ(lines[64].y, 768);
    // The one entry no line reaches keeps what it held.
    EXPECT_EQ(roadCanvas.laneLines[16][3].x, -5);
    EXPECT_EQ(roadCanvas.laneLines[16][3].y, -7);
}

TEST_F(Geometry, LaneLinesNeverOverrunTheTable) {
    world.rowCount = 1000;
    LaneLine lines[LaneLineCapacity];
    EXPECT_EQ(layoutLaneLines(lines, LaneLineCapacity), LaneLineCapacity);
    LaneLine few[5];
    EXPECT_EQ(layoutLaneLines(few, 5), 5);
    world.rowCount = -3;
    EXPECT_EQ(layoutLaneLines(lines, LaneLineCapacity), 3);
}

TEST_F(Geometry, EarlierEditionTruncatesAndHasNoMarker) {
    freshWorld(LegacyEdition);
    roadCanvas.clientWidth = 1320;
    roadCanvas.clientHeight = 768;
    putCars({{0, 0, 0, 0, 2}, {10.7f, 1}});
    CarShape shape = carShape(0);
    EXPECT_EQ(shape.body.top, 39);      // truncation of 39.6
    EXPECT_EQ(shape.body.bottom, 45);   // truncation of 45.6, no extra pixel
    EXPECT_EQ(shape.body.right, 18);
    EXPECT_FALSE(shape.marker.present);
    EXPECT_EQ(carShape(1).body.left, 10);
    LaneLine lines[LaneLineCapacity];
    layoutLaneLines(lines, LaneLineCapacity);
}

}  // namespace
