// What the live views cost on the densest road (2344 cars changing lanes):
// one sample of every car, taken every 16 steps, and one drawing of the
// space-time diagram's dots with ten minutes on screen.
#include "core/sim.h"
#include "frontend/plots.h"
#include "frontend/views.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void denseRoadWithTenMinutes() {
    resetWorld(CurrentEdition);
    for (int k = 0; k < 5; k++) {
        Group& g = world.groups[k];
        g.desiredSpeed = float(20 + 10 * k);
        g.acceleration = 8;
        g.followDistance = 2 * world.carLength;
        g.startDelay = world.stepsPerSecond / 2;
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
