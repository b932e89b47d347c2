// What the earlier edition's drawing decides without a window: the divider
// a changing car has painted over, and the drag points.
#include "front.h"

#include <cmath>

namespace {

LinePoint dragPoints[DragPointCapacity];
int dragPointsUsed;

}  // namespace

int dividerToRepair(int car, LinePoint* line) {
    Car& c = world.cars[car];
    if (c.lastChange == NoChange)
        return 0;
    // Past this offset the car's rectangle covers the divider between its
    // lane and the one it is heading for.
    double reach = (double(world.laneWidth) - world.carWidth) * 0.5 + world.carWidth + 2;
    if (!(std::fabs(double(c.lateral)) > reach))
        return 0;

    // Line k of a row is the divider below lane 4 - k. The recorded lines are
    // one table, row after row: a car in lane 0 moving right names line 4,
    // which is the next row's top edge.
    int row = int(c.position / world.rowLength);
    int k = c.lastChange == MovingRight ? LaneTotal - c.lane : LeftmostLane - c.lane;
    int flat = row * 4 + k;
    c.lastChange = NoChange;
    const int lineTotal = int(sizeof roadCanvas.laneLines / sizeof roadCanvas.laneLines[0][0]);
    if (row < 0 || flat < 0 || flat >= lineTotal)
        return 0;
    *line = roadCanvas.laneLines[flat / 4][flat % 4];
    return 1;
}

int recordDragPoint(int x, int y) {
    if (dragPointsUsed >= DragPointCapacity)
        return 0;
    dragPoints[dragPointsUsed++] = LinePoint{x, y};
    return 1;
}

int dragPointCount() { return dragPointsUsed; }

LinePoint dragPoint(int index) {
    if (index < 0 || index >= dragPointsUsed)
        return LinePoint{-1, -1};
    return dragPoints[index];
}
