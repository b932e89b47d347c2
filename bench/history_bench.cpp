// What going back costs on the densest road (2344 cars changing lanes): a
// keyframe (one copy of the model, taken every 80 steps) against the 80 steps
// it covers, and going back to a step 79 steps past a keyframe.
#include "core/history.h"
#include "core/sim.h"
#include "dense_road.h"

#include <benchmark/benchmark.h>

namespace {

void denseRoad() {
    bench::denseRoad();
    clearHistory();
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
