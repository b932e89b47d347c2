// ombrane-batch: the simulation without a window, for batch runs and tests.
// It sets the world up as the main window's creation does, reads a groups
// file as the Open command would, presses Enter and calls the tick as the
// window timer would, only without waiting between ticks.
#include "commands/commands.h"
#include "commands/scenario_command.h"
#include "core/platform.h"
#include "core/sim.h"
#include "files/groups.h"
#include "files/paths.h"
#include "files/report.h"
#include "files/snapshot.h"
#include "options.h"
#include "progress.h"
#include "rewind_check.h"
#include "system.h"
#include "watch.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// The console is the window's; a warning about the groups file goes where a
// script looks for trouble.
void warnOnStderr(const char* path, int line, const char* text) {
    if (line > 0)
        std::fprintf(stderr, "ombrane-batch: %s:%d: %s\n", path, line, text);
    else
        std::fprintf(stderr, "ombrane-batch: %s: %s\n", path, text);
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
    handleRunKey(ResumeKey);
    if (o.legacy) {
        for (long k = 0; k < o.steps && world.run.running; k++) {
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

// A scenario's own measuring set-up, where the command line left it open.
void takeScenarioSettings(const Scenario& s, Options& o) {
    if (!o.stepsGiven && s.steps > 0)
        o.steps = s.steps;
    if (o.detectorCount == 0 && measuring(o))
        for (const std::string& d : s.detectors)
            if (o.detectorCount < MaxDetectors)
                o.detectors[o.detectorCount++] = float(std::strtod(d.c_str(), nullptr));
    const long long last = (long long)world.run.stepCount + o.steps;
    for (std::size_t k = 0; k < s.events.size(); k++)
        if (s.events[k].step >= last)
            std::fprintf(stderr, "ombrane-batch: %s:%d: the event at step %d comes after the run's last step, %lld\n",
                         s.path.c_str(), s.eventLines[k], s.events[k].step, last);
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

// The report file the groups file's run writes: NAME.report.csv beside it.
std::string reportPathOf(const char* groupsPath) {
    std::string path = groupsPath;
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    return path.substr(0, dot) + ".report" + path.substr(dot);
}

// No two outputs, and no output and input, may name one file: an output is
// truncated when it is opened, before the groups file is read, and two
// outputs would write over each other.
bool outputsApart(const Options& o) {
    struct Named {
        const char* what;
        std::string path;
        bool output;
    };
    std::vector<Named> files;
    auto add = [&](const char* what, const char* path, bool output) {
        if (path)
            files.push_back({what, path, output});
    };
    add("--measures", o.measuresPath, true);
    add("--group-measures", o.groupMeasuresPath, true);
    add("--section-measures", o.sectionMeasuresPath, true);
    add("--trajectories", o.trajectoriesPath, true);
    add("--dump", o.dumpPath, true);
    add("--save", o.savePath, true);
    add("--plot", o.plotDir, true);
    add("the groups file", o.groupsPath, false);
    add("--restore", o.restorePath, false);
    std::string report;
    if (o.reportPath)
        add("--report", o.reportPath, true);
    else if (o.groupsPath) {
        report = reportPathOf(o.groupsPath);
        files.push_back({"the report file", report, true});
    }
    for (const Named& f : files)
        if (f.path.empty()) {
            std::fprintf(stderr, "ombrane-batch: %s needs a file name, not an empty one\n", f.what);
            return false;
        }
    for (std::size_t a = 0; a < files.size(); a++)
        for (std::size_t b = a + 1; b < files.size(); b++) {
            if (!files[a].output && !files[b].output)
                continue;
            if (fileIdentity(files[a].path) != fileIdentity(files[b].path))
                continue;
            std::fprintf(stderr, "ombrane-batch: %s (%s) and %s (%s) are the same file\n",
                         files[a].what, files[a].path.c_str(), files[b].what, files[b].path.c_str());
            return false;
        }
    return true;
}

// The line of the groups file's first NUL byte, or 0. The reader ends a row
// at a NUL and reads on, so the row was read only in part.
long lineOfNulByte(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    long line = 1, found = 0;
    for (int c; (c = std::getc(file)) != EOF;) {
        if (c == 0) {
            found = line;
            break;
        }
        line += c == '\n';
    }
    std::fclose(file);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    char problem[160];
    resetDefaults();  // the road length, for checking detector positions
    bool usable = parseOptions(argc, argv, o, world.roadLength, problem, sizeof problem);
    if (usable && o.legacy && o.groupsPath && isScenarioPath(o.groupsPath)) {
        std::snprintf(problem, sizeof problem, "the earlier edition does not open scenarios");
        usable = false;
    }
    if (!usable) {
        std::fprintf(stderr, "ombrane-batch: %s\n%s", problem, UsageHint);
        return 2;
    }
    if (o.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (o.version) {
        std::printf("ombrane-batch %s\n", (o.legacy ? LegacyEdition : CurrentEdition).version);
        return 0;
    }
    if (o.reportPath && std::strlen(o.reportPath) >= std::size_t(PathSize)) {
        std::fprintf(stderr, "ombrane-batch: --report: a name of at most %d characters\n%s",
                     PathSize - 1, UsageHint);
        return 2;
    }
    if (!outputsApart(o))
        return 2;
    setGroupsWarningSink(warnOnStderr);
    consoleHints = !o.quiet;
    if (!openOutputs(o))
        return 1;
    startUp(o);
    if (o.zone)
        handleRunKey('C');
    const bool scenario = o.groupsPath && isScenarioPath(o.groupsPath);
    if (scenario) {
        Scenario s;
        std::string problem;
        int code = 1;
        if (!openScenarioFile(o.groupsPath, s, &problem, &code)) {
            std::fprintf(stderr, "ombrane-batch: %s\n", problem.c_str());
            return code;
        }
        if (world.errorText[0]) {
            std::fprintf(stderr, "ombrane-batch: %s was read only in part; nothing was run\n",
                         scenarioGroupsPath(s).c_str());
            return 1;
        }
        takeScenarioSettings(s, o);
        if (o.rewindStep > o.steps) {
            std::fprintf(stderr, "ombrane-batch: --rewind-check %ld is past the scenario's %ld steps\n",
                         o.rewindStep, o.steps);
            return 2;
        }
    } else if (o.groupsPath) {
        if (openGroupsFile(o.groupsPath, fileNameOf(o.groupsPath)) == 0)
            return 1;
        // The window keeps the rows read before a bad line; a batch run would
        // quietly be a different experiment from the one in the file.
        if (world.errorText[0]) {
            std::fprintf(stderr, "ombrane-batch: %s was read only in part; nothing was run\n", o.groupsPath);
            return 1;
        }
        if (long line = lineOfNulByte(o.groupsPath)) {
            std::fprintf(stderr,
                         "ombrane-batch: %s was read only in part: a NUL byte ended line %ld; "
                         "nothing was run\n", o.groupsPath, line);
            return 1;
        }
        if (o.strict && reader.warnings) {
            std::fprintf(stderr, "ombrane-batch: --strict: %s was read with %d warning%s; nothing was run\n",
                         o.groupsPath, reader.warnings, reader.warnings == 1 ? "" : "s");
            return 1;
        }
        if (o.reportPath)
            copyText(world.reportPath, PathSize, o.reportPath);
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
    if (!checkTrajectorySize(o))
        return 1;

    if (!startWatching(o))
        return 1;
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
    if (!finishOutputs())
        return 1;
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
