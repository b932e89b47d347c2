// Scenarios in the model: the timed events of a run, fired by the step, and
// the start the placement makes. The plan is the fixed part, read from the
// scenario file and kept beside the world; world.scenario is what changes
// as the run goes (scenario_state.h).
#pragma once

#include "world.h"

#include <cstdint>

enum {
    MaxEvents     = 4096,
    EventTextSize = 96,
    MaxEventWords = 4,          // words of a group one column sets
};

enum EventKind {
    EventZone,                  // on: the construction zone on or off
    EventGroup,                 // words of group `group` take new values
    EventNoise,                 // group `group` takes noise threshold `threshold`
    EventSlow,                  // the car nearest `position` in `lane` slows
};

struct ScenarioEvent {
    int      step;              // fires just before the step from `step` to step+1
    int      kind;              // EventKind
    int      on;                // EventZone
    int      group;             // EventGroup, EventNoise
    int      wordCount;         // EventGroup: words set, at wordIndex within Group
    int      wordIndex[MaxEventWords];
    uint32_t wordBits[MaxEventWords];
    uint64_t threshold;         // EventNoise
    int      lane;              // EventSlow: 0..3
    float    position;          // EventSlow: ft
    float    speed;             // EventSlow: mph
    int      steps;             // EventSlow: steps the cap holds, 1 up
    char     text[EventTextSize];  // what the console says when it fires
};

struct ScenarioPlan {
    int      active;            // flag: the run is a scenario's
    int      evenStart;         // flag: each lane's cars spread evenly
    int      hasStartSpeed;     // flag: startSpeed given; else each group's desired speed
    float    startSpeed;        // mph
    uint64_t seed;
    uint64_t noiseThreshold[MaxGroups];  // at the start
    float    noiseKeep;         // 1 - the noise slowdown
    int      eventCount;
    ScenarioEvent events[MaxEvents];  // by step, equal steps in file order
};
extern ScenarioPlan scenarioPlan;

// No scenario: a plain groups file's run.
void clearScenarioPlan();

// After the placement: spreads the cars for an even start, sets their
// speeds, seeds the draws and arms the first event. `asked` is what the
// groups asked to place (carsToPlace before placing); fewer placed is
// logged. Without a scenario only world.scenario is cleared.
void startScenarioRun(int asked);

// Seeds the draws, sets the noise and arms the first event not before the
// present step: a scenario opened over cars already on the road.
void armScenario();

// What the step calls first: fires the events due at this step and ends the
// disturbances that are over; one comparison when nothing is due.
void fireDueEvents();
inline void fireDueEventsIfAny() {
    if (unsigned(world.scenario.nextChange) - 1u <= unsigned(world.run.stepCount))
        fireDueEvents();
}

// Whether events log what they fire (not while going back replays steps).
extern int scenarioEventsLogged;

// The noise and disturbances in force, as the step's loop holds them: the
// draws' state a local copy for the loop, put back into the world after it.
struct Perturbation {
    RandomState        random;
    const uint64_t*    threshold;       // per group
    float              keep;
    int                disturbanceCount;
    const Disturbance* disturbances;

    // The speed a car chooses, under the noise and disturbances in force.
    // Each car of a noisy group draws once per step, in car order.
    float speedOf(int car, int group, float speed) {
        const uint64_t t = threshold[group];
        if (t != 0 && drawBelow(random, t))
            speed = speed * keep;
        for (int k = 0; k < disturbanceCount; k++)
            if (disturbances[k].car == car && speed > disturbances[k].speed)
                speed = disturbances[k].speed;
        return speed;
    }
};

inline Perturbation beginPerturbation() {
    const ScenarioState& s = world.scenario;
    return {s.random, s.noiseThreshold, s.noiseKeep, s.disturbanceCount, s.disturbances};
}

inline void endPerturbation(const Perturbation& p) { world.scenario.random = p.random; }
