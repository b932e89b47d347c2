// The keyframe ring and going back through it.
#include "history.h"

#include "input_log.h"

#include "scenario.h"
#include "sim.h"

#include <cstdint>

HistoryState history;

namespace {

// A whole world a keyframe: 400 of them are some 53 MB, reserved once with
// the program and touched only as the run fills them.
SimWorld keyframes[KeyframeCapacity];

// Report points between one keyframe and the next, as bits by the step's
// distance from the keyframe: a report point resets the statistics, so a
// replay must make it at the same step. It happens only where a tick starts,
// and a keyframe falls due within KeyframeSteps, so the distance stays below.
enum { ReportWords = 2 };
static_assert(ReportWords * 64 >= KeyframeSteps, "every distance has its bit");
uint64_t reportPoints[KeyframeCapacity][ReportWords];
// The inputs made up to each keyframe: going back forgets the later ones.
int inputsAt[KeyframeCapacity];
int reportPointsAt[KeyframeCapacity];

int entry(int age) { return (history.first + history.count - 1 - age) % KeyframeCapacity; }

const SimWorld& newest() { return keyframes[entry(0)]; }

bool due() {
    if (history.count == 0 || history.changed)
        return true;
    return world.run.stepCount - newest().run.stepCount >= KeyframeSteps;
}

}  // namespace

void clearHistory() {
    history.first = 0;
    history.count = 0;
    history.changed = 0;
    history.reportPoints = 0;
    beginInputs();
}

void noteModelChange() { history.changed = 1; }

void recordKeyframe() {
    if (!world.edition->keepsHistory || !due())
        return;
    // A second copy at the same step (a change while paused) replaces the first.
    if (history.count == 0 || newest().run.stepCount != world.run.stepCount) {
        if (history.count < KeyframeCapacity)
            history.count++;
        else
            history.first = (history.first + 1) % KeyframeCapacity;
        reportPoints[entry(0)][0] = reportPoints[entry(0)][1] = 0;
    }
    keyframes[entry(0)] = world;
    inputsAt[entry(0)] = history.inputs;
    reportPointsAt[entry(0)] = history.reportPoints;
    history.changed = 0;
}

void recordReportPoint() {
    if (history.count == 0)
        return;
    history.reportPoints++;
    int distance = world.run.stepCount - newest().run.stepCount;
    if (distance >= 0 && distance < ReportWords * 64)
        reportPoints[entry(0)][distance / 64] |= uint64_t(1) << (distance % 64);
}

int keyframeStep(int age) {
    if (age < 0 || age >= history.count)
        return -1;
    return keyframes[entry(age)].run.stepCount;
}

int oldestKeyframeStep() { return keyframeStep(history.count - 1); }

BackResult restoreModelAt(int step) {
    if (!world.edition->keepsHistory || history.count == 0)
        return BackNoHistory;
    if (step > world.run.stepCount)
        return BackAhead;
    if (step < oldestKeyframeStep())
        return BackTooOld;
    int age = 0;
    while (keyframeStep(age) > step)
        age++;

    const int from = entry(age);
    world = keyframes[from];
    history.count -= age;
    history.changed = 0;
    history.inputs = inputsAt[from];
    history.reportPoints = reportPointsAt[from];
    // The events replayed were told when they first fired.
    scenarioEventsLogged = 0;
    for (int distance = 0; world.run.stepCount < step; distance++) {
        if (distance < ReportWords * 64 && (reportPoints[from][distance / 64] >> (distance % 64) & 1)) {
            buildReportLines(world.run.stepCount / world.stepsPerSecond);
            history.reportPoints++;
        }
        stepWorld();
    }
    scenarioEventsLogged = 1;
    // The report points from here on belong to the future the run now takes.
    for (int distance = step - keyframes[from].run.stepCount; distance < ReportWords * 64; distance++)
        reportPoints[from][distance / 64] &= ~(uint64_t(1) << (distance % 64));
    return BackDone;
}
