// The earlier edition's front end, as far as it needs no window: its car
// report, the lane divider a changing car has painted over, the table of
// drag points and its Help text. programs/legacy draws and shows what these
// decide.
#pragma once

#include "core/world.h"
#include "frontend/road_canvas.h"

enum { DragPointCapacity = 1000 };

inline constexpr char LegacyHelpText[] = "Help not yet implemented!";  // all Help shows

// Four log lines: the car's state, its neighbour lists, the gaps and speeds
// to those neighbours, and a closing line.
void reportLegacyCar(int car);

// Whether drawing car `car` in its colour must first redraw the dotted
// divider it is crossing; if so, `line` gets the divider's recorded end point
// (the divider runs from x 0 to line.x at line.y) and the car's lastChange
// is cleared, so each crossing repairs its divider once.
int dividerToRepair(int car, LinePoint* line);

// Appends a drag position to the table; 0 once the table is full, when no
// dot is drawn any more.
int  recordDragPoint(int x, int y);
int  dragPointCount();
LinePoint dragPoint(int index);
