// What a scenario keeps in the world record: the random draws, the noise
// in force, the cars slowed by a disturbance and the next event to fire. It
// belongs to the model, so a keyframe holds it and going back replays it.
#pragma once

#include "random.h"

#include <cstdint>

enum {
    MaxGroupsOfNoise = 50,      // one per group; equals MaxGroups
    MaxDisturbances  = 16,      // cars slowed at once
};

struct Disturbance {
    int   car;
    float speed;                // mph the car's chosen speed is capped at
    int   untilStep;            // the cap holds while the step count is below
};

struct ScenarioState {
    RandomState random;
    uint64_t    noiseThreshold[MaxGroupsOfNoise];  // chanceThreshold per step and car; 0 none
    float       noiseKeep;          // a noisy car's speed is multiplied by this
    int         perturbed;          // flag: some noise or disturbance is in force
    int         nextEvent;          // entry of scenarioPlan.events not yet fired
    // The first step at which an event or a disturbance's end is due, plus
    // one; 0 when nothing is: a world without a scenario, all zero, never
    // looks further.
    int         nextChange;
    int         disturbanceCount;
    Disturbance disturbances[MaxDisturbances];
};
