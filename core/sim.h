// The simulation's operations over the one world (world.h), as the programs,
// the files, the commands and the front end call them. How the step finds a
// car's neighbours, and the lane index it keeps for that, are core's own
// (search.h); what the tick tells the rest of the system is in hooks.h.
#pragma once

#include "history.h"
#include "hooks.h"
#include "world.h"

// Groups, placement and restart
int  loadDefaultGroups();               // returns 50
int  carsToPlace();
int  placeAllCars(void* dc);            // returns the cars placed
// The cars placement would leave off the road (the road is full), per group
// for each lane (0 to 3) and for any lane (4); returns their total.
int  unplacedCars(int unplaced[MaxGroups][LaneTotal + 1]);
void restartWorld();
void ShowBanner();
void ShowHints();
// Whether the banner tells how to use the window; ombrane-batch --quiet clears it.
extern bool consoleHints;

// The step: every car, or one car and its parts
void  stepWorld();                      // every car one step, then the step count
void  stepCar(int car);
float desiredGap(int car);
float freeGap(const GapView& view);
void  decideLaneChange(int car, const GapView& view, float wantedGap);
void  moveSideways(int car);

// One car's neighbours and gaps, found by walking the ring
Neighbours& findNeighbours(int car);    // fills world.neighbours
void computeGaps(const Neighbours& n, GapView& out);
void invalidateLaneIndex();             // after editing cars or the ring by hand

// Tick and run control
void runTick();
// The keys the run answers besides 'C' (the construction zone), as the
// window's WM_CHAR gives them.
enum RunKey { ResumeKey = 13 /* Enter */, PauseKey = 32 /* Space */ };
void handleRunKey(int character);
// Brings the model back to `step` (history.h). What the user has set since
// (speed multiplier, step-to target) and the report file's state (on or off,
// failing, lines lost) stay as they are now; the run is paused and the
// observer told.
BackResult goBackTo(int step);

// Statistics and the report texts
void computeAverages();
void buildReportLines(int seconds);
// The report file's first line: the file name and a column per reported group.
const char* buildReportHeader();
