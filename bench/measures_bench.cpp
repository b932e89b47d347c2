// What measuring adds to a step: the dense benchmark world (586 cars in each
// lane, five groups changing lanes) stepped with and without the measures
// taken around every step. Compare ns_per_car_step of the three; on a loaded
// machine read extra_percent of BM_DenseMeasuringShare instead.
#include "core/measures.h"
#include "core/sim.h"
#include "dense_road.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>

namespace {

void denseWorld() { bench::denseRoad(); }

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

double threadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Steps with and without measuring, alternating, each timed on its own in
// this thread's processor time: on a shared machine whose load changes from
// second to second, both halves see the same load and neither counts the
// time others took the processor, so their ratio holds where separate
// benchmarks do not. Half the pairs run the measured step first, so that
// what one step leaves in the caches for the next weighs on both alike.
void BM_DenseMeasuringShare(benchmark::State& state) {
    denseWorld();
    const int detectors = int(state.range(0));
    float positions[MaxDetectors];
    for (int d = 0; d < detectors; d++)
        positions[d] = float(d) * world.roadLength / float(detectors);
    configureMeasures(80, positions, detectors);
    for (int s = 0; s < 2000; s++)
        stepWorld(true);
    double plain = 0, measured = 0;
    bool measuredFirst = false;
    for (auto _ : state) {
        for (int k = 0; k < 2; k++) {
            bool measuring = measuredFirst == (k == 0);
            double t0 = threadSeconds();
            stepWorld(measuring);
            double t1 = threadSeconds();
            (measuring ? measured : plain) += t1 - t0;
        }
        measuredFirst = !measuredFirst;
    }
    double carSteps = double(state.iterations()) * world.carTotal;
    state.counters["ns_plain"] = plain * 1e9 / carSteps;
    state.counters["ns_measured"] = measured * 1e9 / carSteps;
    state.counters["extra_percent"] = 100 * (measured - plain) / plain;
}

void BM_DenseUnmeasured(benchmark::State& s) { run(s, false, 1); }
void BM_DenseMeasured(benchmark::State& s) { run(s, true, 1); }
void BM_DenseMeasured16Detectors(benchmark::State& s) { run(s, true, 16); }

}  // namespace

BENCHMARK(BM_DenseUnmeasured);
BENCHMARK(BM_DenseMeasured);
BENCHMARK(BM_DenseMeasured16Detectors);
BENCHMARK(BM_DenseMeasuringAlone);
BENCHMARK(BM_DenseMeasuringShare)->Arg(1)->Arg(16)->ArgName("detectors");
