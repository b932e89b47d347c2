// The world: the model and its run state live in the one SimWorld record
// below, `world`, which exists for the whole life of the process. It is plain
// data without pointers into itself, so one assignment copies the whole model
// and another brings it back. The files, the commands and the view keep their
// own state in records of their own. Nothing in the simulation is allocated
// per step or per car.
//
// Units: feet, miles per hour, steps of 1/stepsPerSecond second, feet per
// second per second. Lanes run 0 (rightmost) to 3 (leftmost); -1 means "no
// car" in every list and result.
#pragma once

#include "scenario_state.h"

#include <cstdint>

enum {
    MaxCars    = 2500,  // car slots, and capacity of the order ring
    MaxGroups  = 50,    // groups 0..49
    LaneTotal  = 4,     // lanes 0..3
    LeftmostLane = LaneTotal - 1,
    AllLanes   = LaneTotal, // every lane together, where a lane is chosen or a row per lane kept
    ColourTotal = 140,  // entries of ColourTable
    PathSize   = 260,   // every file-name buffer
    LineSize   = 600,   // report and title lines
    ErrorSize  = 208,   // errorText
};

enum LanePolicy {
    Never       = 10,
    Always      = 11,
    FDist       = 12,
    FDist200    = 13,
    EuCarBehind = 14,
    Crazily     = 15,
};

// Car::change and Car::lastChange.
enum LaneChange {
    NoChange    = 0,
    MovingRight = 1,    // towards lane 0
    MovingLeft  = 2,    // towards LeftmostLane
};

// Cars and groups are also what the snapshot file holds. It is written word
// by word in this field order, so a new field goes at the end of its record,
// with the snapshot writer and reader taught about it.
struct Car {
    float position;     // ft    0..roadLength; rear end along the road
    float lateral;      // ft    -laneWidth..+laneWidth; + while moving right
    float speed;        // mph   >= 0
    int   delay;        // steps start delay still to wait
    int   lane;         //       0..3
    int   change;       //       LaneChange
    int   lastChange;   //       LaneChange of the last gap-tested change
    int   group;        //       0..49
    int   slot;         //       entry of this car in world.order
};
static_assert(sizeof(Car) == 36, "Car is a 9-word file record");

struct Group {
    int   colour;           // COLORREF, red in the low byte      (Z)
    float desiredSpeed;     // mph                                (A)
    float acceleration;     // ft/s^2                             (B)
    float followDistance;   // ft at desiredSpeed                 (C)
    int   startDelay;       // steps                              (D)
    int   preferredLane;    // 0..3, anything else: none          (E)
    int   hasPreferredLane; // flag                               (E)
    int   leftPolicy;       // LanePolicy                         (F)
    float leftAhead;        // ft gap limit                       (G)
    float leftBehind;       // ft                                 (H)
    int   rightPolicy;      // LanePolicy                         (I)
    float rightAhead;       // ft                                 (K)
    float rightBehind;      // ft                                 (L)
    float aheadZone;        // ft                                 (P)
    float behindZone;       // ft                                 (Q)
    float laneChangeTime;   // s                                  (M)
    int   carCount;         // cars still to place, any lane      (N)
    int   laneCount[LaneTotal]; // cars still to place per lane   (1..4)
    int   reportFlag;       // flag: appears in report lines      (R)
    int   speedSamples;     // car speeds added since last report
    float speedSum;         // mph, sum of those speeds
    float averageSpeed;     // mph, last completed period
};
static_assert(sizeof(Group) == 100, "Group is a 25-word file record");

// Ring of car indices sorted by position along the closed road.
struct CarOrder {
    int slots[MaxCars];     // car indices; 0..count-1 in use
    int count;
};

// Nearest cars of one car, ahead and behind, in every lane.
struct Neighbours {
    int carIndex;
    int aheadByLane[LaneTotal];     // in that lane or changing into it
    int aheadCount;
    int behindByLane[LaneTotal];    // in that lane or changing into it
    int behindCount;
    int euBehindByLane[LaneTotal];  // current lane only
    int euBehindCount;
};
static_assert(sizeof(Neighbours) == 64, "Neighbours is 16 words");

// Distances (ft, not yet less carLength) and speeds (mph) to those cars.
struct GapView {
    int   carIndex;
    float aheadDistance;        // NoCarDistance when none
    float aheadSpeed;           // 9999 when none
    float behindDistance;
    float behindSpeed;          // 0 when none
    float euBehindDistance;
    float euBehindSpeed;
    float leftAheadDistance;
    float leftAheadSpeed;
    float leftBehindDistance;
    float leftBehindSpeed;
    float rightAheadDistance;
    float rightAheadSpeed;
    float rightBehindDistance;
    float rightBehindSpeed;
};
static_assert(sizeof(GapView) == 60, "GapView is 15 words");

constexpr float NoCarDistance = 1e12f;      // 999999995904 exactly
constexpr float NoCarAheadSpeed = 9999.0f;
constexpr float NoCarBehindSpeed = 0.0f;

struct RunControl {
    int stepCount;          // steps since the cars were last placed
    int running;            // flag: every tick advances
    int singleStep;         // flag: the next tick advances once
    int speedMultiplier;    // steps per advancing tick, >= 1 (initially 1)
    int stepTo;             // step at which running stops, 0 none
    int tickMillis;         // ms the last tick took
    int restartRequested;   // flag: the next tick restarts the world
    int constructionZone;   // flag: the zone holds cars at 5 mph
};

// Per-lane membership bitsets over ring entries; lets the step find the
// nearest car of a sparse lane without walking the whole ring. Beside them,
// each entry's position and speed, so that the gaps to the neighbours are
// read from a few neighbouring entries instead of from cars all over the
// array. Kept by the step itself; anything else that moves cars, changes
// their speeds or edits lanes clears `valid`.
enum { IndexWords = (MaxCars + 63) / 64, IndexSets = 2 * LaneTotal };
static_assert(IndexWords <= 64, "one summary word covers every index word");
struct LaneIndex {
    uint64_t bits[IndexSets][IndexWords];   // sets 0..3: in or entering lane; 4..7: current lane
    uint64_t nonEmptyWords[IndexSets];      // bit w set: bits[set][w] is not 0
    int      members[IndexSets];            // set bits per set
    uint8_t  mask[MaxCars];                 // per entry: bit k is its bit in set k
    int      valid;
    float    position[MaxCars];             // ft, per entry: its car's position
    float    speed[MaxCars];                // mph, per entry: its car's speed
};

struct ColourEntry {
    const char* name;
    int value;          // COLORREF: red low byte, then green, then blue
};
extern const ColourEntry ColourTable[ColourTotal];

// What differs between the two programs; each entry point chooses once.
struct Edition {
    const char* version;        // shown in the title, banner and file names
    const char* pauseText;      // logged when Space pauses a run
    int leftPolicyCycle;        // default groups: leftPolicy = 10 + i % cycle
    int rightPolicyCycle;       //                 rightPolicy = 10 + i % cycle
    int hasConstructionZone;
    int hasMultiplier;          // speed multiplier and step-to target
    int drawsCarsAsTheyMove;    // no repaint from the tick; the step draws
    int tickMillisAtLeastOne;
    int readerKeepsLineFeed;    // groups-file rows keep their line feed
    int logsUnknownColour;      // else stored as -1 silently
    int opensSnapshots;         // Open accepts ".omxxb"
    int hitsChangingCars;       // hit test includes cars entering the lane
    int focusesOnRunKeys;       // Enter and Space give the main window the focus
    int bannerHints;            // banner ends with the four hint lines, else two
    int roundsPixels;           // halves round up; else pixel values truncate
    int carsWithMarkers;        // car bodies a pixel taller, lane-change markers
    int titleShowsTickTime;     // title has the tick's ms per second, not step-to
    int keepsHistory;           // keyframes for going back (rewind)
    int logsFileWarnings;       // every groups-file warning on the console, else
                                // only those of a file that sets or places nothing
    int opensScenarios;         // Open and ombrane-batch accept ".scenario"
};
extern const Edition CurrentEdition;
extern const Edition LegacyEdition;

struct SimWorld {
    const Edition* edition;     // CurrentEdition unless chooseEdition says otherwise

    // Roadway and model constants (set by resetDefaults)
    char  title[64];            // "Ombrane " and the version
    float roadLength;           // ft   21120
    float rowLength;            // ft   1320
    int   rowCount;             // rows 16
    float laneWidth;            // ft   12
    float viewHeight;           // ft   768
    float viewWidth;            // ft   1320
    float carWidth;             // ft   6
    float carLength;            // ft   18
    int   stepsPerSecond;       //      16
    int   reportPeriod;         // steps 80; 0 disables report lines
    float placementSpacing;     // ft   36

    // Cars, groups and ordering
    Car        cars[MaxCars];
    int        carTotal;        // cars in use: slots 0..carTotal-1
    Group      groups[MaxGroups];
    int        groupsWithCars;  // groups with a car to place at the last placement
    CarOrder   order;
    int        reorderSwaps;    // exchanges by reorderCar since process start, modulo 2^32
    Neighbours neighbours;      // result of the last findNeighbours
    LaneIndex  laneIndex;
    void*      drawContext;     // the main window's, while a tick runs; else null

    RunControl run;

    // Groups file, statistics and report
    int   groupRowsRead;
    int   newGroupsPending;     // flag
    char  errorText[ErrorSize];
    float overallAverage;       // mph, -1 when the period had no sample
    int   reportToFile;         // flag
    int   reportFailing;        // flag: the last report write failed, and that was logged
    int   reportLinesLost;      // report writes that failed since process start (saturates)
    int   fileOutput;           // flag, initially 1; "-" in column R clears it
    int   carCountsRead;
    char  groupsPath[PathSize];
    char  groupsName[PathSize];
    char  reportPath[PathSize];
    char  reportLine[LineSize];
    char  titleLine[LineSize];
    int   hasTitleLine;         // 0: titleLine is "none"

    ScenarioState scenario;     // all zero without a scenario
};
static_assert(int(MaxGroupsOfNoise) == int(MaxGroups), "a noise threshold per group");

extern SimWorld world;

// Sets the edition's title and rules; called once by each program's entry.
void chooseEdition(const Edition& edition);

// The world as a process starts with it, in the given edition and with the
// roadway defaults: what a test, a benchmark or a fuzz input begins from.
void resetWorld(const Edition& edition);

// Sets the roadway and model constants and the listed flags; touches nothing else.
void resetDefaults();

float mphToFeetPerStep(float mph);
float accelerationToMphPerStep(float feetPerSecondSquared);
const char* lanePolicyName(int policy);
