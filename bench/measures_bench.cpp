// What measuring adds to a step: the dense benchmark world (586 cars in each
// lane, five groups changing lanes) stepped with and without the measures
// taken around every step. Compare ns_per_car_step of the three.
#include "core/measures.h"
#include "core/sim.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

void denseWorld() {
    std::memset(&world, 0, sizeof world);
    world.edition = &CurrentEdition;
    world.run.speedMultiplier = 1;
    world.fileOutput = 1;
    chooseEdition(CurrentEdition);
    resetDefaults();
    loadDefaultGroups();
    for (Group& g : world.groups)
        g.carCount = 0;
    for (int k = 0; k < 5; k++) {  // as the dense world of step_bench.cpp
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
}

void stepWorld(bool measuring) {
    if (measuring)
        measureBeforeStep();
    for (int i = 0; i < world.carTotal; i++)
        stepCar(i);
    world.run.stepCount++;
    if (measuring) {
        measureAfterStep();
        measures.periodDone = 0;
    }
}

void run(benchmark::State& state, bool measuring, int detectors) {
    denseWorld();
    float positions[MaxDetectors];
    for (int d = 0; d < detectors; d++)
        positions[d] = float(d) * world.roadLength / float(detectors);
    configureMeasures(80, positions, detectors);
    for (int s = 0; s < 2000; s++)  // let the traffic settle
        stepWorld(false);
    for (auto _ : state)
        stepWorld(measuring);
    double carSteps = double(state.iterations()) * world.carTotal;
    state.SetItemsProcessed(int64_t(carSteps));
    state.counters["ns_per_car_step"] =
        benchmark::Counter(carSteps * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The measuring of one step alone, over a real step of the settled world:
// the figure that does not drown in a loaded machine's noise.
void BM_DenseMeasuringAlone(benchmark::State& state) {
    denseWorld();
    configureMeasures(80, nullptr, 0);
    for (int s = 0; s < 2000; s++)
        stepWorld(false);
    stepWorld(true);
    for (auto _ : state) {
        measureAfterStep();
        measures.periodDone = 0;
    }
    double cars = double(state.iterations()) * world.carTotal;
    state.counters["ns_per_car"] =
        benchmark::Counter(cars * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DenseUnmeasured(benchmark::State& s) { run(s, false, 1); }
void BM_DenseMeasured(benchmark::State& s) { run(s, true, 1); }
void BM_DenseMeasured16Detectors(benchmark::State& s) { run(s, true, 16); }

}  // namespace

BENCHMARK(BM_DenseUnmeasured);
BENCHMARK(BM_DenseMeasured);
BENCHMARK(BM_DenseMeasured16Detectors);
BENCHMARK(BM_DenseMeasuringAlone);
