#include "geometry.h"

#include "core/world.h"
#include "frontend/road_canvas.h"

#include <cmath>

RoadCanvas roadCanvas;

int toPixel(double value) {
    if (!world.edition->roundsPixels)
        return int(value);
    return int(value + 0.5);
}

static double pixelsAcross(double feet) {
    return double(roadCanvas.clientWidth) * feet / world.viewWidth;
}

static double pixelsDown(double feet) {
    return double(roadCanvas.clientHeight) * feet / world.viewHeight;
}

CarShape carShape(int car) {
    const Car& c = world.cars[car];
    CarShape shape = {};
    int row = int(c.position / world.rowLength);
    double x = std::fmod(double(c.position), double(world.rowLength));
    // The single-precision 0.3 is part of the result: 0.3f * 12 is what puts
    // the default car exactly 3.6 ft below its band's top.
    float yf = float(double(row) * 4 * world.laneWidth + double(0.3f) * world.laneWidth
                     + double(LeftmostLane - c.lane) * world.laneWidth + c.lateral);

    PixelBox& b = shape.body;
    b.top = toPixel(pixelsDown(yf));
    b.left = toPixel(pixelsAcross(x));
    b.right = toPixel(pixelsAcross(x + world.carLength));
    if (!world.edition->carsWithMarkers) {
        b.bottom = toPixel(pixelsDown(double(yf) + world.carWidth));
        return shape;
    }
    b.bottom = b.top + toPixel(pixelsDown(world.carWidth)) + 1;

    double margin = (double(world.laneWidth) - world.carWidth) * 0.5;
    int middle = toPixel(pixelsAcross(x + 0.5 * world.carLength));
    if (c.change == MovingLeft) {
        shape.marker = {1, middle, b.top + 1, toPixel(pixelsDown(yf - margin)) + 3};
    } else if (c.change == MovingRight) {
        shape.marker = {1, middle, b.bottom - 2,
                        toPixel(pixelsDown(double(yf) + world.carWidth + margin)) - 4};
    }
    return shape;
}

PixelBox constructionZoneBox() {
    double rowFeet = 4.0 * world.laneWidth;
    return PixelBox{
        toPixel(pixelsAcross(0.25 * world.rowLength)),
        toPixel(pixelsDown(7 * rowFeet)),
        toPixel(pixelsAcross(0.75 * world.rowLength)),
        toPixel(pixelsDown(8 * rowFeet)),
    };
}

int layoutLaneLines(LaneLine* lines, int capacity) {
    int rows = world.rowCount;
    if (rows < 0)
        rows = 0;
    // Three lines past the last row's top edge: its dividers and bottom edge.
    int total = 4 * rows + 3;
    if (total > capacity)
        total = capacity;
    if (total > LaneLineCapacity)
        total = LaneLineCapacity;
    int xEnd = toPixel(pixelsAcross(world.rowLength));
    float y = 0;
    for (int k = 0; k < total; k++) {
        LaneLine& line = lines[k];
        line.xEnd = xEnd;
        line.y = toPixel(pixelsDown(y));
        line.solid = k % 4 == 0 || k >= 4 * rows;
        roadCanvas.laneLines[k / 4][k % 4] = LinePoint{line.xEnd, line.y};
        y += world.laneWidth;
    }
    return total;
}
