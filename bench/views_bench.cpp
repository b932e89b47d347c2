// What the live views cost on the densest road (2344 cars changing lanes):
// one sample of every car, taken every 16 steps, and one drawing of the
// space-time diagram's dots with ten minutes on screen.
#include "core/sim.h"
#include "dense_road.h"
#include "frontend/plots.h"
#include "frontend/live_views.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void denseRoadWithTenMinutes() {
    bench::denseRoad();
    startViewsAfresh();
    for (int s = 0; s < 600 * SampleSteps; s++) {
        stepWorld();
        observeRun(RunStepped);
    }
}

void BM_TakeSample(benchmark::State& state) {
    denseRoadWithTenMinutes();
    for (auto _ : state)
        takeSample();
}

void composeAt(benchmark::State& state, int lane) {
    denseRoadWithTenMinutes();
    const int width = 760, height = 520;
    std::vector<uint32_t> pixels(size_t(width) * height);
    SpaceTimeLayout layout = layoutSpaceTime(width, height, world.roadLength);
    for (auto _ : state) {
        composeSpaceTime(pixels.data(), width, height, layout, lane, 0);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_ComposeSpaceTimeOneLane(benchmark::State& s) { composeAt(s, 0); }
void BM_ComposeSpaceTimeAllLanes(benchmark::State& s) { composeAt(s, AllLanes); }

}  // namespace

BENCHMARK(BM_TakeSample);
BENCHMARK(BM_ComposeSpaceTimeOneLane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeSpaceTimeAllLanes)->Unit(benchmark::kMillisecond);
