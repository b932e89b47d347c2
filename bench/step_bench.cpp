// Cost of one car-step in the five traffic shapes that matter for speed:
// (a) dense traffic in every lane, (b) one lane only, (c) the default groups,
// (d) three full lanes beside a nearly empty one, and (e) a busy dense road
// whose eight groups change lanes on both sides under every policy, read from
// bench/busy-dense-road.csv as ombrane-batch reads it. Each iteration steps
// every car once; the figure to read is ns_per_car_step.
#include "core/search.h"
#include "core/sim.h"
#include "dense_road.h"
#include "files/groups.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using bench::fiveGroups;
using bench::place;
using bench::spread;
void freshWorld() { bench::emptyRoad(); }

void runScenario(benchmark::State& state, void (*setUp)()) {
    freshWorld();
    setUp();
    place();
    for (int s = 0; s < 2000; s++)  // let the traffic settle
        stepWorld();
    for (auto _ : state)
        stepWorld();
    double carSteps = double(state.iterations()) * world.carTotal;
    state.SetItemsProcessed(int64_t(carSteps));
    state.counters["cars"] = world.carTotal;
    state.counters["ns_per_car_step"] =
        benchmark::Counter(carSteps * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void denseFourLanes() {
    fiveGroups();
    for (int lane = 0; lane < LaneTotal; lane++)
        spread(lane, 586);
}

void oneLaneOnly() {
    fiveGroups();
    for (int k = 0; k < 5; k++)
        world.groups[k].rightPolicy = world.groups[k].leftPolicy = Never;
    spread(0, 586);
}

void defaultGroups() { loadDefaultGroups(); }

void busyDenseRoad() {
    if (readGroupsFile(OMBRANE_SOURCE_DIR "/bench/busy-dense-road.csv") == 0 || carsToPlace() != 2344)
        std::abort();  // a figure for some other road would mislead
}

void nearlyEmptyLane() {
    fiveGroups();
    for (int k = 0; k < 5; k++)  // keep the lone car alone in lane 3
        world.groups[k].preferredLane = 1;
    for (int lane = 0; lane < 3; lane++)
        spread(lane, 586);
    world.groups[0].laneCount[3] = 1;
}

// The neighbour search alone, ring walk against lane index, for every car of
// a scenario: what the index saves when lanes are empty.
void runSearch(benchmark::State& state, void (*setUp)(), Neighbours& (*search)(int)) {
    freshWorld();
    setUp();
    place();
    for (int s = 0; s < 2000; s++)
        stepWorld();
    for (auto _ : state)
        for (int i = 0; i < world.carTotal; i++)
            benchmark::DoNotOptimize(search(i).aheadCount);
    double searches = double(state.iterations()) * world.carTotal;
    state.counters["ns_per_search"] =
        benchmark::Counter(searches * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DenseFourLanes(benchmark::State& s) { runScenario(s, denseFourLanes); }
void BM_OneLaneOnly(benchmark::State& s) { runScenario(s, oneLaneOnly); }
void BM_DefaultGroups(benchmark::State& s) { runScenario(s, defaultGroups); }
void BM_NearlyEmptyLane(benchmark::State& s) { runScenario(s, nearlyEmptyLane); }
void BM_BusyDenseRoad(benchmark::State& s) { runScenario(s, busyDenseRoad); }
void BM_SearchWalkOneLane(benchmark::State& s) { runSearch(s, oneLaneOnly, findNeighbours); }
void BM_SearchIndexOneLane(benchmark::State& s) { runSearch(s, oneLaneOnly, findNeighboursIndexed); }
void BM_SearchWalkDense(benchmark::State& s) { runSearch(s, denseFourLanes, findNeighbours); }
void BM_SearchIndexDense(benchmark::State& s) { runSearch(s, denseFourLanes, findNeighboursIndexed); }

}  // namespace

// On a shared machine other work only ever adds time: beside the median of
// repeated runs, the fastest is the closer figure for the code itself.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_DenseFourLanes)->ComputeStatistics("fastest", fastest);
BENCHMARK(BM_OneLaneOnly)->ComputeStatistics("fastest", fastest);
BENCHMARK(BM_DefaultGroups)->ComputeStatistics("fastest", fastest);
BENCHMARK(BM_NearlyEmptyLane)->ComputeStatistics("fastest", fastest);
BENCHMARK(BM_BusyDenseRoad)->ComputeStatistics("fastest", fastest);
BENCHMARK(BM_SearchWalkOneLane);
BENCHMARK(BM_SearchIndexOneLane);
BENCHMARK(BM_SearchWalkDense);
BENCHMARK(BM_SearchIndexDense);
