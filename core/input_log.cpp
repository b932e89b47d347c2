// The inputs of a session: a fixed table, whose length in use is the
// history's (history.inputs), so that going back shortens it.
#include "input_log.h"

#include "history.h"
#include "scenario.h"
#include "world.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(sizeof RunStart::counts / sizeof RunStart::counts[0] == MaxGroups, "a row for every group");

RunStart runStart;

namespace {

Input inputs[MaxInputs];
int notKept;
Input startChanges[MaxInputs];

void keepStartChange(const Input& in) {
    if (runStart.changeCount < MaxInputs)
        startChanges[runStart.changeCount++] = in;
    else
        runStart.changesLost++;
}

// "group G C = V" as a scenario's event says it (its words joined by one
// blank, so "C=V" may stay together); false when it is not one, or was cut.
bool groupChangeOf(const ScenarioEvent& e, Input& in) {
    if (e.kind != EventGroup)
        return false;
    if (std::strlen(e.text) >= sizeof e.text - 1) {
        runStart.changesLost++;
        return false;
    }
    const char* p = e.text;
    if (std::strncmp(p, "group ", 6) != 0)
        return false;
    char* end;
    in = Input();
    in.kind = InputGroup;
    in.step = e.step;
    in.group = int(std::strtol(p + 6, &end, 10));
    p = end;
    while (*p == ' ')
        p++;
    in.column = *p ? *p++ : 0;
    while (*p == ' ')
        p++;
    if (*p++ != '=')
        return false;
    while (*p == ' ')
        p++;
    std::snprintf(in.value, sizeof in.value, "%s", p);
    return true;
}

Input* nextInput() {
    noteModelChange();
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

void notePlacementByEdit() {
    if (!runStart.placedByEdit)
        runStart.changeCount = runStart.changesLost = 0;
    // As they were applied: the inputs of a step before the events it fired.
    const int fired = scenarioPlan.active ? world.scenario.nextEvent : 0;
    int i = 0, e = 0;
    while (i < inputCount() || e < fired) {
        if (i < inputCount() && (e >= fired || inputs[i].step <= scenarioPlan.events[e].step)) {
            if (inputs[i].kind == InputGroup)
                keepStartChange(inputs[i]);
            i++;
        } else {
            Input in;
            if (groupChangeOf(scenarioPlan.events[e++], in))
                keepStartChange(in);
        }
    }
    for (int g = 0; g < MaxGroups; g++) {
        runStart.counts[g][0] = world.groups[g].carCount;
        for (int k = 0; k < LaneTotal; k++)
            runStart.counts[g][k + 1] = world.groups[g].laneCount[k];
    }
    runStart.editPending = world.run.stepCount + 1;
}

const Input& startChange(int k) { return startChanges[k]; }

void beginInputs() {
    history.inputs = 0;
    notKept = 0;
    runStart.zone = world.run.constructionZone;
    runStart.placedByEdit = runStart.editPending != 0;
    runStart.editStep = runStart.editPending - 1;
    runStart.editPending = 0;
    if (!runStart.placedByEdit)
        runStart.changeCount = runStart.changesLost = 0;
}
