#include "rewind_check.h"

#include "commands/commands.h"
#include "core/platform.h"
#include "core/sim.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

SimWorld firstEnd;  // static: the record is large

std::string fileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the model is at the end of a run; the run settings and the window's
// handles are the present's, not the model's.
bool sameModel(const SimWorld& a, const SimWorld& b) {
    return a.run.stepCount == b.run.stepCount && a.run.constructionZone == b.run.constructionZone
        && a.carTotal == b.carTotal && a.reorderSwaps == b.reorderSwaps
        && a.groupsWithCars == b.groupsWithCars
        && std::memcmp(a.cars, b.cars, sizeof a.cars) == 0
        && std::memcmp(a.groups, b.groups, sizeof a.groups) == 0
        && std::memcmp(&a.order, &b.order, sizeof a.order) == 0
        && std::memcmp(a.laneIndex.bits, b.laneIndex.bits, sizeof a.laneIndex.bits) == 0
        && std::memcmp(a.laneIndex.mask, b.laneIndex.mask, sizeof a.laneIndex.mask) == 0
        && std::memcmp(&a.overallAverage, &b.overallAverage, sizeof a.overallAverage) == 0
        && std::strcmp(a.reportLine, b.reportLine) == 0
        && std::strcmp(a.titleLine, b.titleLine) == 0;
}

}  // namespace

int checkRewind(int step) {
    firstEnd = world;
    const bool reporting = world.reportToFile;
    const std::string firstReport = reporting ? fileBytes(world.reportPath) : std::string();
    const int end = world.run.stepCount;

    if (!backCommand(step))
        return 0;
    // The replay is a check, not more of the run: the measures, trajectories
    // and plots have seen these steps once and must not write them again.
    RunObserver observer = runObserver;
    runObserver = nullptr;
    // Back to the end itself leaves nothing to run (the step-to target would
    // be behind the run and stop nothing).
    if (world.run.stepCount < end) {
        handleRunKey(ResumeKey);
        world.run.stepTo = end;
        while (world.run.running)
            runTick();
    }
    runObserver = observer;

    if (!sameModel(world, firstEnd)) {
        std::fprintf(stderr, "ombrane-batch: back to step %d and on to step %d: the model differs\n",
                     step, end);
        return 0;
    }
    if (reporting && (!world.reportToFile || fileBytes(world.reportPath) != firstReport)) {
        std::fprintf(stderr, "ombrane-batch: back to step %d and on to step %d: the report file differs\n",
                     step, end);
        return 0;
    }
    std::printf("Rewind check: back to step %d and on to step %d gave the same run\n", step, end);
    return 1;
}
