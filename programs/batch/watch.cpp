// The step observer of ombrane-batch and the files it fills. It only reads the
// world, so a run with measures is the same run as one without.
#include "watch.h"

#include "core/sim.h"
#include "files/measure_files.h"
#include "plots.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The MinGW build has neither: no exec to keep the file from, and files are
// opened untranslated by asking for binary mode, so both builds write the
// same bytes.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

constexpr int DefaultPeriod = 80;           // steps, when report lines are off
constexpr double TrajectoryLimit = 1e9;     // bytes: above it, only with --force

struct Output {
    std::FILE* file;
    const char* path;
    int created;  // flag: no file was there before
};

struct Watch {
    Output measures, groupMeasures, sectionMeasures, trajectories;
    long   every;                           // steps between trajectory rows
    int    plotting;                        // flag
    int    started;                         // flag: the first step was seen
} watch;

// Opened, but emptied only once the run is sure to start (startWatching): a
// run refused before that leaves a file that was there as it was.
bool open(Output& out, const char* path) {
    out.path = path;
    out.file = nullptr;
    if (!path)
        return true;
    out.created = ::access(path, F_OK) != 0;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_BINARY, 0666);
    out.file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!out.file) {
        std::fprintf(stderr, "ombrane-batch: cannot write %s: %s\n", path, std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    return true;
}

bool empty(Output& out) {
    // A device or a pipe (/dev/null, /dev/full) has nothing to empty.
    struct stat about;
    if (!out.file || ::fstat(::fileno(out.file), &about) != 0 || !S_ISREG(about.st_mode) ||
        ::ftruncate(::fileno(out.file), 0) == 0)
        return true;
    std::fprintf(stderr, "ombrane-batch: cannot write %s: %s\n", out.path, std::strerror(errno));
    return false;
}

// The report line of this step's tick was built just before it: every sample
// was taken out of the groups. Between report points, or at a report step that
// a multiplier carried the tick past, some are still in.
bool reportJustBuilt() {
    const int period = world.reportPeriod;
    if (period <= 0 || world.run.stepCount % period != 0 || world.overallAverage < 0)
        return false;
    for (const Group& g : world.groups)
        if (g.speedSamples != 0)
            return false;
    return true;
}

void writeTrajectories() {
    if (watch.trajectories.file && world.run.stepCount % watch.every == 0)
        writeTrajectoryRows(watch.trajectories.file);
}

bool measuring() {
    return watch.measures.file || watch.groupMeasures.file || watch.sectionMeasures.file ||
           watch.plotting;
}

void observeStep(RunEvent event) {
    if (event != RunAboutToStep && event != RunStepped)
        return;
    if (event == RunAboutToStep) {
        if (!watch.started) {
            watch.started = 1;
            writeTrajectories();
            if (watch.plotting)
                plotCars();
        }
        if (watch.plotting && reportJustBuilt())
            plotReportPoint();
        if (measuring())
            measureBeforeStep();
        return;
    }
    if (measuring()) {
        measureAfterStep();
        if (measures.periodDone) {
            measures.periodDone = 0;
            if (watch.measures.file)
                writeMeasuresRows(watch.measures.file);
            if (watch.groupMeasures.file)
                writeGroupMeasuresRows(watch.groupMeasures.file);
            if (watch.sectionMeasures.file)
                writeSectionMeasuresRows(watch.sectionMeasures.file);
            if (watch.plotting)
                plotPeriod();
        }
    }
    writeTrajectories();
    if (watch.plotting)
        plotCars();
}

bool close(Output& out) {
    if (!out.file)
        return true;
    bool failed = std::ferror(out.file) != 0;
    int error = errno;
    if (std::fclose(out.file) != 0) {
        failed = true;
        error = errno;
    }
    out.file = nullptr;
    if (failed)
        std::fprintf(stderr, "ombrane-batch: writing %s failed: %s\n", out.path,
                     std::strerror(error ? error : EIO));
    return !failed;
}

// Cars the next placement will put on the road: what the groups still hold,
// as far as the lanes have room, or the cars already there.
long long carsExpected() {
    long long total = 0;
    for (const Group& g : world.groups) {
        total += g.carCount > 0 ? g.carCount : 0;
        for (int count : g.laneCount)
            total += count > 0 ? count : 0;
    }
    if (total == 0)
        return world.carTotal;
    long long room = (long long)(world.roadLength / world.placementSpacing) * int(LaneTotal);
    if (total > room)
        total = room;
    return total < MaxCars ? total : (long long)MaxCars;
}

}  // namespace

bool openOutputs(const Options& o) {
    watch.every = o.every;
    if (!open(watch.measures, o.measuresPath) || !open(watch.groupMeasures, o.groupMeasuresPath) ||
        !open(watch.sectionMeasures, o.sectionMeasuresPath) || !open(watch.trajectories, o.trajectoriesPath))
        return false;
    if (o.plotDir) {
        if (!gnuplotFound()) {
            std::fprintf(stderr,
                         "ombrane-batch: --plot needs gnuplot (Debian: apt-get install gnuplot-nox)\n");
            return false;
        }
        if (!openPlots(o.plotDir))
            return false;
        watch.plotting = 1;
    }
    return true;
}

bool checkTrajectorySize(const Options& o) {
    if (!watch.trajectories.file)
        return true;
    const long long rows = (o.steps / o.every + 1) * carsExpected();
    const double bytes = double(rows) * TrajectoryRowBytes;
    if (bytes <= TrajectoryLimit)
        return true;
    std::fprintf(stderr, "ombrane-batch: %s will take about %.1f GB (%lld rows)%s\n", o.trajectoriesPath,
                 bytes / 1e9, rows, o.force ? "" : "; --force writes it anyway, --every thins it out");
    if (o.force)
        return true;
    std::fclose(watch.trajectories.file);
    watch.trajectories.file = nullptr;
    if (watch.trajectories.created)
        ::unlink(o.trajectoriesPath);
    return false;
}

bool startWatching(const Options& o) {
    if (!empty(watch.measures) || !empty(watch.groupMeasures) || !empty(watch.sectionMeasures) ||
        !empty(watch.trajectories))
        return false;
    if (watch.measures.file)
        writeMeasuresHeader(watch.measures.file);
    if (watch.groupMeasures.file)
        writeGroupMeasuresHeader(watch.groupMeasures.file);
    if (watch.sectionMeasures.file)
        writeSectionMeasuresHeader(watch.sectionMeasures.file);
    if (watch.trajectories.file)
        writeTrajectoriesHeader(watch.trajectories.file);
    if (!measuring() && !watch.trajectories.file)
        return true;
    long period = o.period ? o.period : world.reportPeriod > 0 ? world.reportPeriod : DefaultPeriod;
    configureMeasures(int(period), o.detectors, o.detectorCount);
    if (watch.sectionMeasures.file) {
        const float whole = 0;  // FROM == TO: the whole road
        if (o.sectionCount)
            configureSections(o.sectionFrom, o.sectionTo, o.sectionCount);
        else
            configureSections(&whole, &whole, 1);
    }
    if (watch.plotting)
        choosePlotSampling(o.every, o.steps, int(carsExpected()));
    runObserver = observeStep;
    return true;
}

bool finishOutputs() {
    runObserver = nullptr;
    bool ok = close(watch.measures);
    ok = close(watch.groupMeasures) && ok;
    ok = close(watch.sectionMeasures) && ok;
    ok = close(watch.trajectories) && ok;
    if (watch.plotting)
        ok = finishPlots() && ok;
    return ok;
}
