// Traffic measures: what a detector loop, an aerial survey and a jam count
// would report, gathered from the world around every step and handed out once
// per measuring period. A car's speed here is what it drove in the step (ft
// per step as mph), which is its own speed unless the car ahead left it less
// room than one step's travel. Everything lives in the one `measures` record
// below, set up before a run; nothing is allocated while it runs. The
// simulation never reads this record, so measuring cannot change a run.
#pragma once

#include "world.h"

enum {
    MaxDetectors = 16,          // --detector positions
    MaxSections  = 16,          // --section stretches
};

constexpr double StoppedBelow = 10;  // mph: slower than this counts as stopped

// Sums over the steps of the running period, per lane.
struct LaneSums {
    long long carSteps;         // car-steps in the lane (lane at the end of the step)
    double    speedSum;         // mph summed over those car-steps
    long long stoppedSteps;     // car-steps below StoppedBelow
    long long jamSteps;         // jam clusters summed over the steps
    long long crossings;        // detector crossings, every detector
    double    crossingSpeedSum; // mph summed over those crossings
    long long laneChanges;      // completed, counted in the lane left
};

// Sums over the steps of the running period, per car; summed per group when
// the period ends (a car keeps its group, and is on the road every step, for
// the whole run). The distance a car drove is where it is less where it
// started, plus a road length for every time it passed the road's end.
struct CarSums {
    float startPosition[MaxCars];   // ft, at the start of the period
    int   laps[MaxCars];            // passes of the road's end
    int   stoppedSteps[MaxCars];
    int   laneChanges[MaxCars];
};

// One finished period in users' units. NaN where nothing was seen (a speed
// with no car or no crossing).
struct LaneMeasure {
    double    cars;             // mean cars in the lane; all: on the road
    double    density;          // vehicles per mile per lane
    double    flow;             // vehicles per hour per lane, mean over detectors
    double    spaceMeanSpeed;   // mph
    double    timeMeanSpeed;    // mph
    double    stopped;          // mean cars below StoppedBelow
    double    jams;             // mean jam clusters
    long long laneChanges;      // all: the total
};

struct GroupMeasure {
    int       present;          // flag: the group had a car in the period
    double    cars;             // mean cars
    double    spaceMeanSpeed;   // mph
    double    stopped;          // mean cars below StoppedBelow
    long long laneChanges;
    double    distance;         // miles driven by all its cars
};

// A stretch of road measured over its whole length and the whole period, by
// Edie's generalised definitions: what the cars drove in it and how long they
// were in it, per lane (the lane a car drove the step in). From these two
// sums flow = density x speed holds by construction, in every period.
struct SectionSums {
    double distance[LaneTotal];         // ft driven inside the stretch
    double time[LaneTotal];             // steps spent inside it
};

struct SectionMeasure {
    double density;                     // vehicles per mile per lane: time / (length x period)
    double flow;                        // vehicles per hour per lane: distance / (length x period)
    double spaceMeanSpeed;              // mph: distance / time; NaN when no car was in it
    double vehicleMiles;                // distance driven in it, all cars
    double vehicleHours;                // time spent in it, all cars
};

struct TrafficMeasures {
    // Settings, from configureMeasures
    int   period;                       // steps per period, >= 1
    int   detectorCount;                // 1..MaxDetectors
    float detectors[MaxDetectors];      // ft, 0..roadLength, ascending

    int   sectionCount;                 // 0..MaxSections
    float sectionFrom[MaxSections];     // ft; a stretch past the road's end
    float sectionLength[MaxSections];   // ft, > 0, at most the road length

    // The cars as they stood before the step being measured: left by the
    // last measured step, or taken afresh when the world moved without one
    int         lastStepSeen;           // world.run.stepCount after it; -1 none
    float         startPosition[MaxCars]; // ft
    signed char   startLane[MaxCars];     // 0..3
    unsigned char nextDetector[MaxCars];  // first detector beyond startPosition
    // Per car, from the step just measured: bit `lane` set, and bit 4 + lane
    // when it was slow; 0 when it had no usable lane
    unsigned char laneMask[MaxCars];

    // The running period
    int      stepsInPeriod;
    LaneSums lanes[LaneTotal];
    CarSums  cars;
    SectionSums sectionSums[MaxSections];

    // The last finished period; periodDone stays set until the reader clears it
    int          periodDone;            // flag
    int          periodEndStep;         // world.run.stepCount at its end
    LaneMeasure  lane[LaneTotal + 1];   // lanes 0..3, then AllLanes
    GroupMeasure group[MaxGroups];
    SectionMeasure section[MaxSections][LaneTotal + 1];  // lanes 0..3, then AllLanes (per lane)
};

extern TrafficMeasures measures;

// Clears every sum and sets the period (steps, >= 1) and the detector
// positions (ft; none given means one detector at 0). Positions are used as
// given: callers check them against the road length.
// Sections are cleared too: configureSections after it adds them.
void configureMeasures(int period, const float* detectors, int detectorCount);

// Stretches measured area-wise (Edie): from[k] to to[k] in ft, running past
// the road's end when to < from; from == to is the whole road.
void configureSections(const float* from, const float* to, int count);

// Around every step of every car. Before: when the cars moved since the last
// measured step (placed, restored), remembers where each car stands, and
// starts the period afresh when they were just placed. After: adds the step
// to the running period and, at its end, fills lane[] and group[] and sets
// periodDone.
void measureBeforeStep();
void measureAfterStep();

// Where the step about to be measured starts for a car (position in ft,
// lane): the observer sets it from the world itself; tests set it by hand.
void setMeasureStart(int car, float position, int lane);
