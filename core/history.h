// Rewind: copies of the model (keyframes) taken as a run goes, in a ring
// allocated once, so that any step of the last half hour can be brought back
// exactly: the newest keyframe at or before it, then the steps from there.
#pragma once

#include "world.h"

enum {
    KeyframeSteps    = 80,      // steps between keyframes while running
    KeyframeCapacity = 400,     // keyframes held: 32,000 steps, 33 simulated minutes
};

// Where the history stands; the keyframes themselves live in a ring beside it.
struct HistoryState {
    int first;                  // ring entry of the oldest keyframe
    int count;                  // keyframes held, 0..KeyframeCapacity
    int changed;                // flag: an input changed the model since the newest
    int inputs;                 // inputs of the present history (input_log.h)
    int reportPoints;           // report points the present history made
};
extern HistoryState history;

// A new groups file, a restart or a restore: nothing before it can come back.
void clearHistory();

// An input changed the model between two steps (the construction zone): the
// next advancing tick takes a keyframe whatever its step, so a replay never
// crosses the change.
void noteModelChange();

// Called by the tick before it advances the world: takes a keyframe when
// the edition keeps a history and one is due.
void recordKeyframe();

// Called by the tick at a report point, which resets the statistics: the
// replay makes the same report points at the same steps.
void recordReportPoint();

int oldestKeyframeStep();       // -1 when the history is empty
int keyframeStep(int age);      // 0 the newest; -1 past the oldest

enum BackResult {
    BackDone,                   // the model is as it was at the step, paused
    BackNoHistory,              // the edition keeps none, or nothing is held yet
    BackTooOld,                 // the step is older than the oldest keyframe
    BackAhead,                  // the step has not been reached
};

// Brings the whole world back to `step`: the newest keyframe at or before it,
// then the steps up to it, so every byte is what the run had at that step.
// Keyframes of the abandoned future are dropped. What the present keeps is
// the tick's to put back (goBackTo, sim.h).
BackResult restoreModelAt(int step);
