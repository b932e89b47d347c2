// The inputs of a session: a fixed table, whose length in use is the
// history's (history.inputs), so that going back shortens it.
#include "input_log.h"

#include "history.h"
#include "world.h"

#include <cstdio>

RunStart runStart;

namespace {

Input inputs[MaxInputs];
int notKept;

Input* nextInput() {
    noteModelChange();
    if (history.inputs < 0)
        history.inputs = 0;
    if (history.inputs >= MaxInputs) {
        notKept++;
        return nullptr;
    }
    Input& in = inputs[history.inputs++];
    in = Input();
    in.step = world.run.stepCount;
    return &in;
}

}  // namespace

void noteZoneInput(int on) {
    if (Input* in = nextInput()) {
        in->kind = InputZone;
        in->on = on;
    }
}

void noteGroupInput(int group, char column, const char* value) {
    if (Input* in = nextInput()) {
        in->kind = InputGroup;
        in->group = group;
        in->column = column;
        std::snprintf(in->value, sizeof in->value, "%s", value);
    }
}

int inputCount() { return history.inputs < MaxInputs ? history.inputs : MaxInputs; }

const Input& inputAt(int k) { return inputs[k]; }

int inputsNotKept() { return notKept; }

void notePlacementByEdit() { runStart.editPending = world.run.stepCount + 1; }

void beginInputs() {
    history.inputs = 0;
    notKept = 0;
    runStart.zone = world.run.constructionZone;
    runStart.placedByEdit = runStart.editPending != 0;
    runStart.editStep = runStart.editPending - 1;
    runStart.editPending = 0;
}
