// ombrane-batch: the simulation without a window, for batch runs and tests.
// It sets the world up as the main window's creation does, reads a groups
// file as the Open command would, presses Enter and calls the tick as the
// window timer would, only without waiting between ticks.
#include "core/platform.h"
#include "core/sim.h"
#include "files/groups.h"
#include "files/report.h"
#include "legacy/snapshot.h"
#include "options.h"
#include "progress.h"
#include "watch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* fileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

// As the main window's creation does it, followed by the timer's first tick,
// which places the built-in groups' cars before anyone can open a file.
void startUp(const Options& o) {
    chooseEdition(o.legacy ? LegacyEdition : CurrentEdition);
    resetDefaults();
    loadDefaultGroups();
    if (o.legacy)
        ConsoleLog("\r\n");
    ShowBanner();
    runTick();
}

void run(const Options& o) {
    if (o.steps == 0) {
        if (o.groupsPath || o.restorePath)
            runTick();
        return;
    }
    handleRunKey(13);
    if (o.legacy) {
        for (long k = 0; k < o.steps; k++) {
            runTick();
            showProgress(k + 1, o.steps);
        }
        endProgress();
        return;
    }
    world.run.speedMultiplier = int(o.multiplier);
    world.run.stepTo = int(o.steps);
    while (world.run.running) {
        runTick();
        showProgress(world.run.stepCount, o.steps);
    }
    endProgress();
}

bool dumpCars(const char* path) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "car,group,lane,change,lastChange,position,lateral,speed,delay,slot\n");
    for (int i = 0; i < world.carTotal; i++) {
        const Car& c = world.cars[i];
        std::fprintf(f, "%d,%d,%d,%d,%d,%.9g,%.9g,%.9g,%d,%d\n", i, c.group, c.lane, c.change,
                     c.lastChange, double(c.position), double(c.lateral), double(c.speed), c.delay,
                     c.slot);
    }
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    char problem[160];
    resetDefaults();  // the road length, for checking detector positions
    if (!parseOptions(argc, argv, o, world.roadLength, problem, sizeof problem)) {
        if (problem[0])
            std::fprintf(stderr, "ombrane-batch: %s\n", problem);
        std::fputs(Usage, stderr);
        return 2;
    }
    if (!openOutputs(o))
        return 1;
    startUp(o);
    if (o.zone)
        handleRunKey('C');
    if (o.groupsPath && openGroupsFile(o.groupsPath, fileNameOf(o.groupsPath)) == 0)
        return 1;
    if (o.restorePath && !restoreSnapshot(o.restorePath)) {
        ConsoleLog("Can't restore: The error was %s\r\n", world.errorText);
        return 1;
    }
    if (!checkTrajectorySize(o))
        return 1;

    startWatching(o);
    run(o);

    if (o.dumpPath && !dumpCars(o.dumpPath)) {
        std::fprintf(stderr, "ombrane-batch: cannot write %s: %s\n", o.dumpPath, std::strerror(errno));
        return 1;
    }
    if (o.savePath && !saveSnapshot(o.savePath)) {
        ConsoleLog("The error was %s\r\n", world.errorText);
        return 1;
    }
    if (!finishOutputs())
        return 1;
    std::printf("Ran to step %d with %d cars: %s\n", world.run.stepCount, world.carTotal,
                world.hasTitleLine ? world.titleLine : "");
    return 0;
}
