// What the front end knows of the main window: its size, the last click and
// where the last paint put the lane lines. The hit test and the earlier
// edition's divider repair compute with these; the window fills them in.
#pragma once

struct LinePoint { int x, y; };

struct RoadCanvas {
    int clientWidth;            // px
    int clientHeight;           // px
    int clickX, clickY;         // px, last click or drag point
    LinePoint laneLines[17][4]; // right end of each drawn lane line, last paint
};
extern RoadCanvas roadCanvas;
