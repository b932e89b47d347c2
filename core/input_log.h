// What the user changed between steps while the run went on: the
// construction zone switched, a group's column edited. Each input is kept
// with the step it took effect at, as long as it is part of the run's
// present history: going back to a step before it forgets it, as the model
// forgets its effect. This is what a session can be saved from.
#pragma once

enum {
    MaxInputs      = 4096,
    InputValueSize = 100,       // a value's text and its terminator
};

enum InputKind { InputZone, InputGroup };

struct Input {
    int  step;                  // takes effect on the step from `step` to step+1
    int  kind;                  // InputKind
    int  on;                    // InputZone
    int  group;                 // InputGroup
    char column;                // InputGroup: the groups file's column letter
    char value[InputValueSize]; // InputGroup: the text as the reader stores it
};

// Notes the input at the present step and marks the model changed, so the
// next keyframe holds it. Past MaxInputs the input is counted as not kept.
void noteZoneInput(int on);
void noteGroupInput(int group, char column, const char* value);

// The inputs of the present history, oldest first.
int inputCount();
const Input& inputAt(int k);
// Inputs made but not kept, since MaxInputs were held.
int inputsNotKept();

// What the run started with at its last placement that no input says:
// the construction zone, and, when an edit of a car count placed the cars
// afresh, the groups' changes that held then beyond the files (the inputs
// and the scenario's group events before it, oldest first, those of earlier
// such placements before them) and every group's counts as placed.
struct RunStart {
    int zone;
    int placedByEdit;           // flag
    int editStep;               // the step of the run the edit was made at
    int editPending;            // the edit's step plus one, until the placement
    int changeCount;            // entries of startChange() in use
    int changesLost;            // changes not kept: past MaxInputs, or cut short
    int counts[50][5];          // per group: N, then lanes 1 to 4
};
extern RunStart runStart;
const Input& startChange(int k);

// An edit of a car count asks for a placement at the next tick, with the
// groups' counts as they are now.
void notePlacementByEdit();

// A new start (clearHistory calls it): no input is kept; the zone as it is
// now is the run's start.
void beginInputs();
