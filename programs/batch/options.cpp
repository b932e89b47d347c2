// Reading ombrane-batch's command line: every value is checked here, before
// anything runs, so that a typing slip never costs a long run.
#include "options.h"

#include "ombrane_version.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char Usage[] =
    "usage: ombrane-batch [--legacy] [--steps N] [--multiplier M] [--zone]\n"
    "                     [--dump FILE] [--save FILE] [--restore FILE]\n"
    "                     [--measures FILE] [--group-measures FILE] [--detector FT]...\n"
    "                     [--section-measures FILE] [--section FROM..TO]...\n"
    "                     [--period STEPS] [--trajectories FILE] [--every STEPS]\n"
    "                     [--force] [--plot DIR] [--rewind-check S]\n"
    "                     [--report FILE] [--strict] [--quiet]\n"
    "                     [GROUPS.csv | SCENARIO.scenario]\n"
    "       ombrane-batch --help | --version [--legacy]\n"
    "  --legacy        run the earlier edition (" OMBRANE_LEGACY_VERSION ")\n"
    "  --steps N       steps to simulate (default 4800, five simulated minutes);\n"
    "                  0 runs the ticks without starting: placement and title only\n"
    "  --multiplier M  steps per tick, M >= 1 (current edition only)\n"
    "  --zone          switch the construction zone on (current edition only)\n"
    "  --dump FILE     write every car's state as CSV after the run\n"
    "  --save FILE     write a snapshot after the run (earlier edition only)\n"
    "  --restore FILE  restore a snapshot before the run (earlier edition only)\n"
    "  --measures FILE        flow, density, speeds, jams per lane and period (CSV)\n"
    "  --group-measures FILE  cars, speed, distance per group and period (CSV)\n"
    "  --detector FT   where flow is counted, 0 to the road length (default 0;\n"
    "                  up to 16, flow is their mean)\n"
    "  --section-measures FILE  flow, density, space-mean speed per lane, period and\n"
    "                  stretch of road, from the distance driven and time spent in it\n"
    "  --section FROM..TO  such a stretch in feet (FROM > TO runs past the road's\n"
    "                  end; up to 16; default the whole road)\n"
    "  --period STEPS  measuring period (default: the report period, 80)\n"
    "  --trajectories FILE    every car's position and speed (CSV)\n"
    "  --every STEPS   steps between trajectory rows and space-time dots\n"
    "                  (default 16, one simulated second)\n"
    "  --force         write trajectories even when they pass 1 GB\n"
    "  --plot DIR      space-time, speed and lane pictures (PNG, needs gnuplot)\n"
    "                  with their data and gnuplot scripts\n"
    "  --rewind-check S  after the run, go back to step S (at most N, a multiple of M)\n"
    "                  and run on to step N again; the two ends must agree\n"
    "                  (current edition only)\n"
    "  --report FILE   write the report file there, not beside the groups file\n"
    "  --strict        refuse a groups file the reader warns about (exit 1)\n"
    "  --quiet         leave the window's hints out of the console output\n"
    "  --help          print this and exit; --version: the edition's version\n"
    "  GROUPS.csv      groups file, read as the Open command reads it;\n"
    "                  its report file is written beside it\n"
    "  SCENARIO.scenario  a scenario (current edition only): its groups file,\n"
    "                  start, events and randomness; its steps and detectors\n"
    "                  unless --steps or --detector is given; its report file\n"
    "                  is written beside it (docs/scenarios.md)\n"
    "exit status:\n"
    "  0  the run is done\n"
    "  1  a groups file or scenario unreadable, a groups file refused, read\n"
    "     only in part or (--strict) warned about, or a snapshot refused, or an\n"
    "     output that cannot be opened (nothing is run); the dump, the save or a\n"
    "     measures, trajectories or plot output not written; a --rewind-check\n"
    "     that found the two ends different or could not go back\n"
    "  2  a bad option or scenario contents refused, or a --steps that would\n"
    "     pass step 2147483647, the last that can be counted, from the restored\n"
    "     snapshot's step (nothing is run)\n"
    "  3  the run is done, but report lines could not be written\n";

const char UsageHint[] = "Try 'ombrane-batch --help' for more information.\n";

namespace {

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

bool parseFeet(const char* text, float roadLength, float* out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text, &end);
    if (errno || *end || !std::isfinite(value) || value < 0 || value > roadLength)
        return false;
    *out = float(value);
    return true;
}

// "FROM..TO", two positions on the road; equal ones are the whole road.
bool parseSection(const char* text, float roadLength, float* from, float* to) {
    const char* dots = text ? std::strstr(text, "..") : nullptr;
    if (!dots || dots == text)
        return false;
    char first[64];
    int n = std::snprintf(first, sizeof first, "%.*s", int(dots - text), text);
    return n > 0 && n < int(sizeof first) && parseFeet(first, roadLength, from) &&
           parseFeet(dots + 2, roadLength, to);
}

const char** pathOption(const char* a, Options& o) {
    struct Entry {
        const char* name;
        const char** target;
    };
    const Entry entries[] = {
        {"--dump", &o.dumpPath},
        {"--save", &o.savePath},
        {"--restore", &o.restorePath},
        {"--measures", &o.measuresPath},
        {"--group-measures", &o.groupMeasuresPath},
        {"--section-measures", &o.sectionMeasuresPath},
        {"--trajectories", &o.trajectoriesPath},
        {"--plot", &o.plotDir},
        {"--report", &o.reportPath},
    };
    for (const Entry& e : entries)
        if (!std::strcmp(a, e.name))
            return e.target;
    return nullptr;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& o, float roadLength, char* problem,
                  int problemSize) {
    problem[0] = 0;
    auto fail = [&](const char* format, const char* option, const char* value = "") {
        std::snprintf(problem, size_t(problemSize), format, option, value);
        return false;
    };
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const char* shown = value ? value : "";
        if (!std::strcmp(a, "--legacy")) {
            o.legacy = 1;
        } else if (!std::strcmp(a, "--zone")) {
            o.zone = 1;
        } else if (!std::strcmp(a, "--force")) {
            o.force = 1;
        } else if (!std::strcmp(a, "--strict")) {
            o.strict = 1;
        } else if (!std::strcmp(a, "--quiet")) {
            o.quiet = 1;
        } else if (!std::strcmp(a, "--help")) {
            o.help = 1;
        } else if (!std::strcmp(a, "--version")) {
            o.version = 1;
        } else if (!std::strcmp(a, "--steps") || !std::strcmp(a, "--rewind-check")) {
            long* target = a[2] == 's' ? &o.steps : &o.rewindStep;
            if (!parseCount(value, 0, target))
                return value ? fail("%s: '%s' is not a whole number of steps from 0 to 2147483647", a, shown)
                             : fail("%s needs a number of steps", a);
            o.stepsGiven |= a[2] == 's';
            i++;
        } else if (!std::strcmp(a, "--multiplier")) {
            if (!parseCount(value, 1, &o.multiplier))
                return value ? fail("%s: '%s' is not a whole number from 1 to 2147483647", a, shown)
                             : fail("%s needs a number of steps per tick", a);
            o.multiplierGiven = 1;
            i++;
        } else if (!std::strcmp(a, "--period") || !std::strcmp(a, "--every")) {
            long* target = a[2] == 'p' ? &o.period : &o.every;
            if (!parseCount(value, 1, target))
                return fail("%s needs a whole number of steps, 1 or more", a);
            o.everyGiven |= a[2] == 'e';
            i++;
        } else if (!std::strcmp(a, "--detector")) {
            if (o.detectorCount == MaxDetectors) {
                std::snprintf(problem, size_t(problemSize), "--detector: at most %d detectors", MaxDetectors);
                return false;
            }
            if (!parseFeet(value, roadLength, &o.detectors[o.detectorCount])) {
                std::snprintf(problem, size_t(problemSize),
                              "--detector needs a position in feet from 0 to %.0f, the road length",
                              double(roadLength));
                return false;
            }
            o.detectorCount++;
            i++;
        } else if (!std::strcmp(a, "--section")) {
            if (o.sectionCount == MaxSections) {
                std::snprintf(problem, size_t(problemSize), "at most %d sections", MaxSections);
                return false;
            }
            if (!parseSection(value, roadLength, &o.sectionFrom[o.sectionCount],
                              &o.sectionTo[o.sectionCount])) {
                std::snprintf(problem, size_t(problemSize),
                              "--section needs FROM..TO, positions in feet from 0 to %.0f",
                              double(roadLength));
                return false;
            }
            o.sectionCount++;
            i++;
        } else if (const char** target = pathOption(a, o)) {
            if (!value)
                return fail("%s needs a file name", a);
            *target = value;
            i++;
        } else if (a[0] == '-') {
            return fail("%s: unknown option", a);
        } else if (o.groupsPath) {
            return fail("%s: one groups file only (%s came first)", a, o.groupsPath);
        } else {
            o.groupsPath = a;
        }
    }
    if (o.help || o.version)
        return true;
    // The earlier edition has neither zone nor multiplier; only it has snapshots.
    if (o.legacy && o.zone)
        return fail("%s: the earlier edition (--legacy) has no construction zone", "--zone");
    if (o.legacy && o.multiplierGiven)
        return fail("%s: the earlier edition (--legacy) has no speed multiplier", "--multiplier");
    if (!o.legacy && (o.savePath || o.restorePath))
        return fail("%s: snapshots are the earlier edition's: give --legacy too",
                    o.savePath ? "--save" : "--restore");
    // Going back keeps the ticks' rhythm only from a step a tick starts at.
    if (o.rewindStep >= 0 && o.legacy)
        return fail("%s: the earlier edition cannot go back", "--rewind-check");
    if (o.rewindStep >= 0 && (o.rewindStep > o.steps || o.rewindStep % o.multiplier != 0))
        return fail("%s: S must be at most --steps and a multiple of --multiplier", "--rewind-check");
    if (o.reportPath && !o.groupsPath)
        return fail("%s needs a groups file, whose report it writes", "--report");
    // Settings of outputs that were not asked for are most likely a slip.
    if (!measuring(o) && (o.period || o.detectorCount)) {
        std::snprintf(problem, size_t(problemSize),
                      "--period and --detector need --measures, --group-measures, --section-measures or --plot");
        return false;
    }
    if (!o.sectionMeasuresPath && o.sectionCount) {
        std::snprintf(problem, size_t(problemSize), "--section needs --section-measures");
        return false;
    }
    if (!o.trajectoriesPath && !o.plotDir && o.everyGiven) {
        std::snprintf(problem, size_t(problemSize), "--every needs --trajectories or --plot");
        return false;
    }
    if (!o.trajectoriesPath && o.force) {
        std::snprintf(problem, size_t(problemSize), "--force needs --trajectories");
        return false;
    }
    return true;
}
