// Core's own: the order ring, the lane index the step searches, and the
// searches and gaps the step reads, beside the plain walk (sim.h) the tests
// hold them to. Only core and its tests and benchmarks include it; the build
// defines OMBRANE_CORE_INTERNAL for them alone.
#pragma once

#ifndef OMBRANE_CORE_INTERNAL
#error "core/search.h is core's own: the rest of the system calls core/sim.h"
#endif

#include "world.h"

// The order ring
int  insertCar(int car);                // entry of the car; MaxCars on a full ring
int  reorderCar(int car);               // moves the car forward until the ring is in order
// Whether the car, at its present speed, would pass the next car in the ring
// this step: a guess, read before the step works out the new speed.
bool likelyToPassNext(int car, float feetPerStepPerMph);
// reorderCar, given that guess: a wrong guess is found as soon as the guess
// is made, not after the new position; the result is reorderCar's. On a
// dense road of many groups (benchmark (e)) it saves 7 to 9 % of the step.
int  reorderCarGuessing(int car, bool passes);

// The lane index: kept by the step, rebuilt by a search that finds it invalid
void rebuildLaneIndex();
void refreshLaneIndex(int car);         // after the car's lane or change moved on
void swapLaneIndexEntries(int a, int b);  // after two ring entries exchanged cars

// Searches of the lane index; each gives what the walk gives, bit for bit.
// findNeighbours' record, world.laneIndex rebuilt when invalid.
Neighbours& findNeighboursIndexed(int car);
// computeGaps(findNeighboursIndexed(car), out), searching only the lanes the
// gaps use; world.neighbours is left as it was.
void computeGapsIndexed(int car, GapView& out);
// The view as the step reads it: the own lane's cars behind are left out,
// their four fields meaningless, since no part of a step reads the behind
// ones and only the few cars whose lane change reaches the tailgater test the
// euBehind distance, which tailgaterDistance gives them. Of the sides, only
// those in `sides` are searched (bit 0 the left, bit 1 the right; each must
// exist for the car's lane), the others filled as if no car were there. On a
// road of thin lanes each search left out would have gone round the ring.
void computeStepGapsIndexed(int car, GapView& out, unsigned sides);
// The view's euBehindDistance, searched on its own; the car must not have
// moved since the lane index last saw it.
float tailgaterDistance(int car);
