// The simulation's operations over the one world (world.h).
#pragma once

#include "world.h"

// Order ring and neighbour search
int  insertCar(int car);                // entry of the car; MaxCars on a full ring
int  reorderCar(int car);               // moves the car forward until the ring is in order
// Whether the car, at its present speed, would pass the next car in the ring
// this step: a guess, read before the step works out the new speed.
bool likelyToPassNext(int car, float feetPerStepPerMph);
// reorderCar, given that guess: a wrong guess is found as soon as the guess
// is made, not after the new position; the result is reorderCar's.
int  reorderCarGuessing(int car, bool passes);
Neighbours& findNeighbours(int car);    // walks the ring; fills world.neighbours
void computeGaps(const Neighbours& n, GapView& out);

// Same result as findNeighbours, from world.laneIndex (rebuilt when invalid).
Neighbours& findNeighboursIndexed(int car);
// Same as computeGaps(findNeighboursIndexed(car), out), searching only the
// lanes the gaps use; world.neighbours is left as it was.
void computeGapsIndexed(int car, GapView& out);
// The view as the step reads it: the own lane's cars behind are left out,
// their four fields meaningless, since no part of a step reads the behind
// ones and only the few cars whose lane change reaches the tailgater test the
// euBehind distance, which tailgaterDistance gives them. Of the sides, only
// those in `sides` are searched (bit 0 the left, bit 1 the right; each must
// exist for the car's lane), the others filled as if no car were there. On a
// road of thin lanes each search left out would have gone round the ring.
void computeStepGapsIndexed(int car, GapView& out, unsigned sides);
// The same for a ring of 64 entries or fewer (world.order.count), whose
// sets are each one word: searched round the ring without going word by word.
void computeStepGapsSmallRing(int car, GapView& out, unsigned sides);
// The view's euBehindDistance, searched on its own; the car must not have
// moved since the lane index last saw it.
float tailgaterDistance(int car);
void rebuildLaneIndex();
void invalidateLaneIndex();             // after editing cars or the ring by hand
void refreshLaneIndex(int car);         // after the car's lane or change moved on
void swapLaneIndexEntries(int a, int b);  // after two ring entries exchanged cars

// Motion and lane changes
float desiredGap(int car);
float freeGap(const GapView& view);
void  stepCar(int car);
void  decideLaneChange(int car, const GapView& view, float wantedGap);
void  moveSideways(int car);

// Default groups, placement and restart
int  loadDefaultGroups();               // returns 50
int  carsToPlace();
void restartWorld();
void placeCar(void* dc, int car, int lane, float position, int group);
int  placeAllCars(void* dc);            // returns the cars placed
// The cars placement would leave off the road (the road is full), per group
// for each lane (0 to 3) and for any lane (4); returns their total.
int  unplacedCars(int unplaced[MaxGroups][LaneTotal + 1]);
const char* authorBanner();            // the 29-character banner line
void ShowBanner();
void ShowHints();
// Whether the banner tells how to use the window; ombrane-batch --quiet clears it.
extern bool consoleHints;

// Tick and run control
void stepWorld();                       // every car one step, then the step count
void runTick();
void handleRunKey(int character);

// Statistics and the report texts
void computeAverages();
void buildReportLines(int seconds);
// The report file's first line: the file name and a column per reported group.
const char* buildReportHeader();

// Writes report text (header or line) to the report file at `path`, opened
// with fopen's `mode`. Whoever owns the report file sets it once at start-up;
// while it is null, report lines are still formed for the title but written
// nowhere.
using ReportWriter = int (*)(const char* text, const char* path, const char* mode);
extern ReportWriter reportWriter;

// What the tick tells whoever watches the run as it goes (the live views of
// the window program, the measures of ombrane-batch): before and after every
// step an advancing tick makes, whatever the speed multiplier, every report
// point just made, a fresh start (cars placed, a groups file read), and a
// return to an earlier step (whose replay is not told step by step). The
// step, the averages and the cars are read from the world when told. Null by
// default: nobody is told, at no cost.
enum RunEvent { RunAboutToStep, RunStepped, RunReported, RunStartedAfresh, RunWentBack };
using RunObserver = void (*)(RunEvent event);
extern RunObserver runObserver;
