// Run plans: which values each run takes, what it is known by, and the
// texts written for it (the folder's description, the run's groups file).
#include "experiment.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

constexpr int GroupCount = 50;
// The groups-file reader stops at a line longer than this.
constexpr std::size_t ReaderLineLimit = 1022;

}  // namespace

long runCount(const Experiment& e) {
    long total = e.repeat;
    for (const Vary& v : e.varies) {
        if (v.together)
            continue;
        total *= long(v.values.size());
        if (total > 2000000000L)
            return 2000000000L;  // far past any limit; keeps the product in range
    }
    return total;
}

RunPlan planOf(const Experiment& e, long number) {
    RunPlan plan;
    plan.choice.assign(e.varies.size(), 0);
    // number - 1 in mixed radix: the repeat is the fastest digit, then the last vary.
    long rest = number - 1;
    plan.repeat = int(rest % e.repeat) + 1;
    rest /= e.repeat;
    for (std::size_t k = e.varies.size(); k-- > 0;) {
        if (e.varies[k].together)
            continue;
        long size = long(e.varies[k].values.size());
        plan.choice[k] = int(rest % size);
        rest /= size;
    }
    for (std::size_t k = 1; k < e.varies.size(); k++)
        if (e.varies[k].together)
            plan.choice[k] = plan.choice[k - 1];
    plan.number = int(number);
    return plan;
}

std::vector<RunPlan> planRuns(const Experiment& e) {
    std::vector<RunPlan> runs;
    long total = runCount(e);
    runs.reserve(std::size_t(total));
    for (long n = 1; n <= total; n++)
        runs.push_back(planOf(e, n));
    return runs;
}

std::string canonicalText(const Experiment& e, const std::string& baseName) {
    std::ostringstream out;
    out << "# The experiment run into this folder, every value listed. A rerun into\n"
           "# the folder must describe the same runs, with a base equal to base.csv.\n";
    out << "base = " << baseName << "\n";
    out << "steps = " << e.steps << "\n";
    out << "warmup = " << e.warmup << "\n";
    out << "period = " << e.period << "\n";
    if (!e.detectors.empty()) {
        out << "detector = ";
        for (std::size_t k = 0; k < e.detectors.size(); k++)
            out << (k ? ", " : "") << e.detectors[k];
        out << "\n";
    }
    if (!e.sections.empty()) {
        out << "section = ";
        for (std::size_t k = 0; k < e.sections.size(); k++)
            out << (k ? ", " : "") << e.sections[k];
        out << "\n";
    }
    out << "edition = " << (e.legacy ? "legacy" : "current") << "\n";
    out << "zone = " << (e.zone ? "on" : "off") << "\n";
    out << "repeat = " << e.repeat << "\n";
    // Only when set, so that the folders of earlier experiments still match.
    if (e.builtInDefaults)
        out << "defaults = built-in\n";
    for (const Vary& v : e.varies) {
        out << "vary " << varyTarget(v) << " = ";
        for (std::size_t k = 0; k < v.values.size(); k++)
            out << (k ? ", " : "") << v.values[k];
        out << (v.together ? " together\n" : "\n");
    }
    return out.str();
}

std::string checksumOf(const std::string& text) {
    // 64-bit FNV-1a.
    unsigned long long hash = 1469598103934665603ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char checksum[24];
    std::snprintf(checksum, sizeof checksum, "%016llx", hash);
    return checksum;
}

std::string runKey(const Experiment& e, const RunPlan& run) {
    std::ostringstream out;
    out << "# What this run is; its results count only for a run with these inputs.\n";
    out << "base checksum = " << e.baseChecksum << "\n";
    out << "steps = " << e.steps << "\nwarmup = " << e.warmup << "\nperiod = " << e.period << "\n";
    out << "detector =";
    for (const std::string& d : e.detectors)
        out << ' ' << d;
    out << "\nedition = " << (e.legacy ? "legacy" : "current") << "\n";
    out << "zone = " << (e.zone ? "on" : "off") << "\n";
    for (std::size_t k = 0; k < e.varies.size(); k++)
        out << varyName(e.varies[k]) << " = " << e.varies[k].values[std::size_t(run.choice[k])] << "\n";
    out << "repeat = " << run.repeat << "\n";
    // Only with randomness, so that the runs of earlier experiments still match.
    if (e.randomness && seedVary(e) < 0)
        out << "seed = " << run.repeat << "\n";
    return out.str();
}

std::string runGroupsText(const std::string& baseText, const Experiment& e, const RunPlan& run,
                          bool withVaries) {
    std::string out;
    // Only what the reader reads: whole lines, up to one it finds too long.
    std::size_t start = 0;
    for (;;) {
        std::size_t feed = baseText.find('\n', start);
        if (feed == std::string::npos)
            break;
        std::string line = baseText.substr(start, feed - start);
        // The reader drops every carriage return, not only the last.
        std::size_t length = line.size() - std::size_t(std::count(line.begin(), line.end(), '\r'));
        if (length > ReaderLineLimit)
            break;
        out += line;
        out += '\n';
        start = feed + 1;
    }
    std::string columns;
    for (const Vary& v : e.varies)
        if (v.kind == VaryColumn && columns.find(v.column) == std::string::npos)
            columns += v.column;
    if (columns.empty() || !withVaries)
        return out;

    // Columns in first-seen order, groups ascending.
    out += "#Group";
    for (char c : columns)
        out += std::string(",") + c;
    // A notes column last, since the last field keeps the line feed; X, as
    // W holds the groups' names, which the run keeps from the base.
    out += ",Xnotes\n";
    for (int g = 0; g < GroupCount; g++) {
        std::string row = std::to_string(g);
        bool any = false;
        for (char c : columns) {
            row += ',';
            for (std::size_t k = 0; k < e.varies.size(); k++)
                if (e.varies[k].kind == VaryColumn && e.varies[k].group == g && e.varies[k].column == c) {
                    row += e.varies[k].values[std::size_t(run.choice[k])];
                    any = true;
                }
        }
        if (any)
            out += row + ",ombrane-lab run " + std::to_string(run.number) + "\n";
    }
    return out;
}

std::string varyName(const Vary& v) {
    switch (v.kind) {
    case VarySeed:
        return "seed";
    case VaryStartSpeed:
        return "start_speed";
    case VaryEventTime:
        return "event" + std::to_string(v.event) + "_time";
    case VaryEventValue:
        return "event" + std::to_string(v.event) + "_value";
    default:
        return std::to_string(v.group) + "." + v.column;
    }
}

std::string varyTarget(const Vary& v) {
    switch (v.kind) {
    case VaryStartSpeed:
        return "start speed";
    case VaryEventTime:
        return "event " + std::to_string(v.event) + " time";
    case VaryEventValue:
        return "event " + std::to_string(v.event) + " value";
    default:
        return varyName(v);
    }
}

int seedVary(const Experiment& e) {
    for (std::size_t k = 0; k < e.varies.size(); k++)
        if (e.varies[k].kind == VarySeed)
            return int(k);
    return -1;
}

std::string runSeed(const Experiment& e, const RunPlan& run) {
    int k = seedVary(e);
    if (k >= 0)
        return e.varies[std::size_t(k)].values[std::size_t(run.choice[std::size_t(k)])];
    return e.randomness ? std::to_string(run.repeat) : std::string();
}

std::vector<std::string> leadColumns(const Experiment& e) {
    std::vector<std::string> names;
    for (const Vary& v : e.varies)
        names.push_back(varyName(v));
    if (e.randomness && seedVary(e) < 0)
        names.push_back("seed");
    else if (!e.randomness && e.repeat > 1)
        names.push_back("repeat");
    return names;
}

std::vector<std::string> leadValues(const Experiment& e, const RunPlan& run) {
    std::vector<std::string> values;
    for (std::size_t k = 0; k < e.varies.size(); k++)
        values.push_back(e.varies[k].values[std::size_t(run.choice[k])]);
    if (e.randomness && seedVary(e) < 0)
        values.push_back(runSeed(e, run));
    else if (!e.randomness && e.repeat > 1)
        values.push_back(std::to_string(run.repeat));
    return values;
}

std::string runFolderName(int number, long total) {
    int width = 4;
    for (long t = total; t >= 10000; t /= 10)
        width++;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, number);
    return buffer;
}
