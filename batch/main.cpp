// ombrane-batch: the simulation without a window, for batch runs and tests.
// It sets the world up as the main window's creation does, reads a groups
// file as the Open command would, presses Enter and calls the tick as the
// window timer would, only without waiting between ticks.
#include "commands/commands.h"
#include "core/platform.h"
#include "core/sim.h"
#include "files/report.h"
#include "files/snapshot.h"
#include "rewind_check.h"
#include "ombrane_version.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char Usage[] =
    "usage: ombrane-batch [--legacy] [--steps N] [--multiplier M] [--zone]\n"
    "                     [--dump FILE] [--save FILE] [--restore FILE]\n"
    "                     [--rewind-check S] [GROUPS.csv]\n"
    "  --legacy        run the earlier edition (" OMBRANE_LEGACY_VERSION ")\n"
    "  --steps N       steps to simulate (default 4800, five simulated minutes);\n"
    "                  0 runs the ticks without starting: placement and title only\n"
    "  --multiplier M  steps per tick, M >= 1 (current edition only)\n"
    "  --zone          switch the construction zone on (current edition only)\n"
    "  --dump FILE     write every car's state as CSV after the run\n"
    "  --save FILE     write a snapshot after the run (earlier edition only)\n"
    "  --restore FILE  restore a snapshot before the run (earlier edition only)\n"
    "  --rewind-check S  after the run, go back to step S (at most N, a multiple of M)\n"
    "                  and run on to step N again; the two ends must agree\n"
    "                  (current edition only)\n"
    "  GROUPS.csv      groups file, read as the Open command reads it;\n"
    "                  its report file is written beside it\n"
    "exit status:\n"
    "  0  the run is done\n"
    "  1  a groups file refused, unreadable or read only in part, or a snapshot\n"
    "     refused (nothing is run); the dump or the save not written; a\n"
    "     --rewind-check that found the two ends different or could not go back\n"
    "  2  a bad option, or a --steps that would pass step 2147483647, the last\n"
    "     that can be counted, from the restored snapshot's step (nothing is run)\n"
    "  3  the run is done, but report lines could not be written\n";

struct Options {
    int legacy = 0;
    long steps = 4800;
    long multiplier = 1;
    int zone = 0;
    int multiplierGiven = 0;
    const char* dumpPath = nullptr;
    const char* savePath = nullptr;
    const char* restorePath = nullptr;
    const char* groupsPath = nullptr;
    long rewindStep = -1;
};

bool parseCount(const char* text, long low, long* out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno || *end || value < low || value > INT_MAX)
        return false;
    *out = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!std::strcmp(a, "--legacy")) {
            o.legacy = 1;
        } else if (!std::strcmp(a, "--zone")) {
            o.zone = 1;
        } else if (!std::strcmp(a, "--steps")) {
            if (!parseCount(value, 0, &o.steps))
                return false;
            i++;
        } else if (!std::strcmp(a, "--rewind-check")) {
            if (!parseCount(value, 0, &o.rewindStep))
                return false;
            i++;
        } else if (!std::strcmp(a, "--multiplier")) {
            if (!parseCount(value, 1, &o.multiplier))
                return false;
            o.multiplierGiven = 1;
            i++;
        } else if (!std::strcmp(a, "--dump") || !std::strcmp(a, "--save") ||
                   !std::strcmp(a, "--restore")) {
            if (!value)
                return false;
            const char** target = a[2] == 'd' ? &o.dumpPath : a[2] == 's' ? &o.savePath : &o.restorePath;
            *target = value;
            i++;
        } else if (a[0] == '-' || o.groupsPath) {
            return false;
        } else {
            o.groupsPath = a;
        }
    }
    // The earlier edition has neither zone nor multiplier; only it has snapshots.
    if (o.legacy && (o.zone || o.multiplierGiven))
        return false;
    if (!o.legacy && (o.savePath || o.restorePath))
        return false;
    // Going back keeps the ticks' rhythm only from a step a tick starts at.
    if (o.rewindStep >= 0 && (o.legacy || o.rewindStep > o.steps || o.rewindStep % o.multiplier != 0))
        return false;
    return true;
}

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
    connectReportFile();
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
        for (long k = 0; k < o.steps && world.run.running; k++)
            runTick();
        return;
    }
    world.run.speedMultiplier = int(o.multiplier);
    world.run.stepTo = int(o.steps);
    while (world.run.running)
        runTick();
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
    if (!parseOptions(argc, argv, o)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    startUp(o);
    if (o.zone)
        handleRunKey('C');
    if (o.groupsPath) {
        if (openGroupsFile(o.groupsPath, fileNameOf(o.groupsPath)) == 0)
            return 1;
        // The window keeps the rows read before a bad line; a batch run would
        // quietly be a different experiment from the one in the file.
        if (world.errorText[0]) {
            std::fprintf(stderr, "ombrane-batch: %s was read only in part; nothing was run\n", o.groupsPath);
            return 1;
        }
    }
    if (o.restorePath && !restoreSnapshot(o.restorePath)) {
        ConsoleLog("Can't restore: The error was %s\r\n", world.errorText);
        return 1;
    }
    // Steps are counted in an int; a run that could not reach its last step
    // is refused rather than stopped part-way.
    if (o.steps > long(INT_MAX) - world.run.stepCount) {
        std::fprintf(stderr,
                     "ombrane-batch: --steps %ld cannot be run from step %d: steps are counted up to %d, "
                     "so at most %ld more\n",
                     o.steps, world.run.stepCount, INT_MAX, long(INT_MAX) - world.run.stepCount);
        return 2;
    }

    run(o);
    if (o.rewindStep >= 0 && !checkRewind(int(o.rewindStep)))
        return 1;

    if (o.dumpPath && !dumpCars(o.dumpPath)) {
        std::fprintf(stderr, "ombrane-batch: cannot write %s: %s\n", o.dumpPath, std::strerror(errno));
        return 1;
    }
    if (o.savePath && !saveSnapshot(o.savePath)) {
        ConsoleLog("The error was %s\r\n", world.errorText);
        return 1;
    }
    std::printf("Ran to step %d with %d cars: %s\n", world.run.stepCount, world.carTotal,
                world.hasTitleLine ? world.titleLine : "");
    // The console said so once during the run; a script needs to hear it too.
    if (world.reportLinesLost) {
        std::fflush(stdout);
        std::fprintf(stderr, "ombrane-batch: %d report lines could not be written to %s\n",
                     world.reportLinesLost, world.reportPath);
        return 3;
    }
    return 0;
}
