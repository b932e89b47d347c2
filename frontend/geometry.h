// Where things are drawn: the pixel geometry of the road, the cars and the
// construction zone for the current client size. The Windows glue only draws
// what these return; the hit test reads the lane lines recorded here.
#pragma once

struct PixelBox {
    int left, top, right, bottom;   // right and bottom exclusive
};

// Vertical lane-change marker: a short stroke drawn across the car's edge on
// the side it is moving to. Absent while the car keeps its lane.
struct MarkerStroke {
    int present;
    int x, y1, y2;                  // from (x, y1) to (x, y2), end excluded
};

struct CarShape {
    PixelBox body;
    MarkerStroke marker;
};

struct LaneLine {
    int xEnd, y;                    // from (0, y) to (xEnd, y)
    int solid;                      // row edge (solid) or lane divider (dotted)
};

enum { LaneLineCapacity = 17 * 4 };

// Conversion of a non-negative pixel value: halves round up, or truncate,
// as the edition says.
int toPixel(double value);

CarShape carShape(int car);

// The shaded stretch of the construction zone (drawn only while it is on).
PixelBox constructionZoneBox();

// Fills `lines` (up to `capacity`) in drawing order and records their end
// points in roadCanvas.laneLines for the hit test; returns the number of lines.
int layoutLaneLines(LaneLine* lines, int capacity);
