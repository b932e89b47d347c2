// What going back costs on the densest road (2344 cars changing lanes): a
// keyframe (one copy of the model, taken every 80 steps) against the 80 steps
// it covers, and going back to a step 79 steps past a keyframe.
#include "core/history.h"
#include "core/sim.h"

#include <benchmark/benchmark.h>

namespace {

void denseRoad() {
    resetWorld(CurrentEdition);
    clearHistory();
    for (int k = 0; k < 5; k++) {
        Group& g = world.groups[k];
        g.desiredSpeed = float(20 + 10 * k);
        g.acceleration = 8;
        g.followDistance = 2 * world.carLength;
        g.startDelay = world.stepsPerSecond / 2;
        g.preferredLane = 2;
        g.hasPreferredLane = 1;
        g.leftPolicy = Always;
        g.rightPolicy = FDist;
        g.leftAhead = g.leftBehind = g.rightAhead = g.rightBehind = world.carLength;
        g.aheadZone = 5 * world.carLength;
        g.behindZone = world.carLength;
        g.laneChangeTime = 3;
        for (int lane = 0; lane < LaneTotal; lane++)
            g.laneCount[lane] = 586 / 5 + (k < 586 % 5);
    }
    world.carTotal = placeAllCars(nullptr);
    for (int s = 0; s < 2000; s++)
        stepWorld();
}

// One keyframe period: 80 steps, with or without the keyframe at its start.
void runPeriods(benchmark::State& state, bool keyframes) {
    denseRoad();
    for (auto _ : state) {
        if (keyframes) {
            noteModelChange();
            recordKeyframe();
        }
        for (int s = 0; s < KeyframeSteps; s++)
            stepWorld();
    }
    state.counters["ms_per_period"] = benchmark::Counter(
        double(state.iterations()) * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PeriodWithoutKeyframe(benchmark::State& s) { runPeriods(s, false); }
void BM_PeriodWithKeyframe(benchmark::State& s) { runPeriods(s, true); }

void BM_GoBack79Steps(benchmark::State& state) {
    denseRoad();
    recordKeyframe();
    const int keyframe = world.run.stepCount;
    for (int s = 0; s < KeyframeSteps; s++)
        stepWorld();
    for (auto _ : state) {
        goBackTo(keyframe + KeyframeSteps - 1);
        state.PauseTiming();
        world.run.stepCount = keyframe + KeyframeSteps - 1;  // as if the run were still ahead
        state.ResumeTiming();
    }
    state.counters["ms_per_go_back"] = benchmark::Counter(
        double(state.iterations()) * 1e-3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_PeriodWithoutKeyframe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeriodWithKeyframe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoBack79Steps)->Unit(benchmark::kMillisecond);
