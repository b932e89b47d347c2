// What the live views draw from: the cars sampled once a simulated second
// for the space-time diagram, and the average speeds of every report point
// for the speed chart. Both are rings allocated once with the program; the
// tick fills them through runObserver (core/sim.h), whatever the speed
// multiplier, and nothing grows however long the run.
#pragma once

#include "core/sim.h"
#include "core/world.h"

#include <cstdint>

enum {
    SampleSteps    = 16,        // steps between samples: one simulated second
    SampleCapacity = 1200,      // samples held: 20 simulated minutes
    ChartCapacity  = 1440,      // report points held: two hours at 5 s
};

// One car as sampled. Whole feet and whole mph are finer than any pixel.
struct CarSample {
    uint16_t position;          // ft   0..65535, clamped
    uint8_t  speed;             // mph  0..255, clamped
    uint8_t  lane;              //      0..3
};
static_assert(sizeof(CarSample) == 4, "a sample is one word per car");

struct SpaceTimeSamples {
    CarSample cars[SampleCapacity][MaxCars];
    int     carCount[SampleCapacity];   // cars in that sample
    int     step[SampleCapacity];       // step count when taken
    uint8_t zoneOn[SampleCapacity];     // flag: the construction zone was on
    int     first;                      // ring entry of the oldest sample
    int     count;                      // samples held, 0..SampleCapacity
    float   topSpeed;                   // mph, highest desired speed of the groups on the road, >= 1
    float   roadLength;                 // ft, the road's at the fresh start, >= 1
};

// One report point: what its report line holds.
struct ChartPoint {
    int   step;                         // step count of the report point
    int   seconds;                      // simulated seconds, as in the report line
    float overall;                      // mph, -1 when the period had no sample
    float group[MaxGroups];             // mph; -1 for a group not reported
};

struct SpeedChartPoints {
    ChartPoint points[ChartCapacity];
    int first;                          // ring entry of the oldest point
    int count;                          // 0..ChartCapacity
};

struct LiveViews {
    SpaceTimeSamples spaceTime;
    SpeedChartPoints chart;
    unsigned revision;                  // counts every change, so a view knows to redraw
};
extern LiveViews liveViews;

// The observer the window program plugs into runObserver.
void observeRun(RunEvent event);

// A new start: both views empty, the colour scale and road length from the
// world, and a sample of the cars as they stand now.
void startViewsAfresh();

// Samples the cars now (the step is the world's).
void takeSample();

// Keeps what the run had up to `step`: samples taken at or before it, report
// points made before it (the one due at the step itself comes again).
void cutViewsTo(int step);

// age 0 is the newest; null past the oldest.
const CarSample* sampleCars(int age, int* carCount, int* step, int* zoneOn);
const ChartPoint* chartPoint(int age);
