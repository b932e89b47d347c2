// ombrane-batch's command line.
#pragma once

#include "core/measures.h"

struct Options {
    int legacy = 0;
    long steps = 4800;
    int stepsGiven = 0;
    long multiplier = 1;
    int zone = 0;
    int multiplierGiven = 0;
    const char* dumpPath = nullptr;
    const char* savePath = nullptr;
    const char* restorePath = nullptr;
    const char* groupsPath = nullptr;
    long rewindStep = -1;               // --rewind-check; -1 none
    const char* reportPath = nullptr;   // --report; null: beside the groups file
    int strict = 0;                     // flag: a groups file with warnings is refused
    int quiet = 0;                      // flag: no window hints on the console
    int help = 0;                       // flag: print the usage and stop
    int version = 0;                    // flag: print the version and stop

    // Measuring; none of it changes the run
    const char* measuresPath = nullptr;
    const char* groupMeasuresPath = nullptr;
    const char* sectionMeasuresPath = nullptr;
    const char* trajectoriesPath = nullptr;
    const char* plotDir = nullptr;
    long period = 0;                    // steps; 0: the report period
    long every = 16;                    // steps between trajectory rows
    int everyGiven = 0;
    int force = 0;                      // flag: write trajectories of any size
    float detectors[MaxDetectors] = {}; // ft
    int detectorCount = 0;
    float sectionFrom[MaxSections] = {};   // ft; FROM > TO runs past the road's end
    float sectionTo[MaxSections] = {};
    int sectionCount = 0;
};

extern const char Usage[];

// Below a bad option's one-line reason.
extern const char UsageHint[];

// Fills o from the arguments. False when they are not usable; then problem
// holds a one-line reason that names the option or value.
// Detector positions are checked against roadLength (ft).
bool parseOptions(int argc, char** argv, Options& o, float roadLength, char* problem,
                  int problemSize);

// Whether the run gathers traffic measures at all.
inline bool measuring(const Options& o) {
    return o.measuresPath || o.groupMeasuresPath || o.sectionMeasuresPath || o.plotDir;
}
