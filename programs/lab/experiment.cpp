// Reading experiment files. Every value is checked here, with the line it
// came from, so that a slip is found before hours of runs, not after.
#include "experiment.h"

#include "files/key_lines.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The ring road is four miles long; detectors lie on it.
constexpr double RoadLengthFeet = 21120;
constexpr int MaxDetectors = 16;
constexpr int MaxSections = 16;
constexpr int GroupCount = 50;
// The groups-file reader stops at a line longer than this.
constexpr std::size_t ReaderLineLimit = 1022;
// A row of the run's groups file holds at most one value per column letter
// (21 of them); this keeps it far inside the reader's line.
constexpr std::size_t MaxValueLength = 64;
// Even with --force: the plan of every run is held in memory.
constexpr long MostRuns = 1000000;
// A scenario holds at most this many events.
constexpr long MaxScenarioEvents = 4096;

bool integral(const std::string& text) {
    return text.find_first_of(".eExXpP") == std::string::npos;
}

struct Reader {
    const std::string& path;
    std::string& problem;
    int line = 0;

    bool fail(const std::string& reason) {
        problem = path + ":" + std::to_string(line) + ": " + reason;
        return false;
    }
};

}  // namespace

bool seedValue(const std::string& text, unsigned long long* out) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    unsigned long long n = std::strtoull(text.c_str(), nullptr, 10);
    if (errno)
        return false;
    if (out)
        *out = n;
    return true;
}

namespace {

// What the kind of a vary takes; the scenario reader judges times and event
// values once the base is read.
bool checkValues(Reader& r, const Vary& vary, const std::vector<std::string>& values) {
    const char column = vary.column;
    for (const std::string& v : values) {
        double number;
        if (vary.kind == VarySeed && !seedValue(v, nullptr))
            return r.fail("a seed is a whole number from 0 to 18446744073709551615, not '" + v + "'");
        if (vary.kind == VaryStartSpeed && (!realNumber(v, &number) || number < 0 || number > 1000))
            return r.fail("start speed is mph from 0 to 1000, not '" + v + "'");
        if (vary.kind != VaryColumn)
            continue;
        // The colour is a name and the report field text; every other column is a number.
        if (column != 'Z' && column != 'R' && !realNumber(v, &number))
            return r.fail(std::string("column ") + column + " needs numbers, not '" + v + "'");
    }
    return true;
}

// "a..b by s" or "a..b" (step 1), or a list "x, y, z". A range of more than
// most values is refused with tooMany before it is written out.
bool readValues(Reader& r, const std::string& text, const Vary& vary, std::vector<std::string>& values,
                long most, const std::string& tooMany) {
    std::size_t dots = text.find("..");
    if (dots != std::string::npos && vary.kind == VaryEventTime)
        return r.fail("times are listed, such as 3:00, 3:30, 4:00; they cannot be a range");
    if (dots != std::string::npos) {
        std::string from = trim(text.substr(0, dots));
        std::string rest = text.substr(dots + 2);
        std::string to = rest, by = "1";
        std::size_t byAt = rest.find(" by ");
        if (byAt != std::string::npos) {
            to = rest.substr(0, byAt);
            by = rest.substr(byAt + 4);
        }
        to = trim(to);
        by = trim(by);
        double a, b, s;
        if (!realNumber(from, &a) || !realNumber(to, &b) || !realNumber(by, &s))
            return r.fail("a range is written FIRST..LAST by STEP, with numbers");
        if (s <= 0)
            return r.fail("the step of a range must be more than 0");
        if (b < a)
            return r.fail("empty range: " + from + ".." + to + " holds no value");
        double span = (b - a) / s;
        if (span >= 1e6)
            return r.fail("the range holds more than a million values");
        long count = long(std::floor(span + 1e-9)) + 1;
        if (count > most)
            return r.fail(tooMany);
        // Whole numbers stay whole while a long holds them exactly.
        bool whole = integral(from) && integral(to) && integral(by) && std::fabs(a) < 1e15 &&
                     std::fabs(b) < 1e15 && s < 1e15;
        for (long k = 0; k < count; k++) {
            char buffer[40];
            if (whole)
                std::snprintf(buffer, sizeof buffer, "%ld", std::lround(a) + k * std::lround(s));
            else
                std::snprintf(buffer, sizeof buffer, "%.10g", a + double(k) * s);
            values.push_back(buffer);
        }
        return checkValues(r, vary, values);
    }
    for (const std::string& v : splitList(text)) {
        if (v.empty())
            return r.fail("empty value in the list");
        if (v == "together")
            return r.fail("together ends a vary line; it cannot be a value");
        // Every value of a run must fit one row of the reader's 1022 characters.
        if (v.size() > MaxValueLength)
            return r.fail("a value may hold at most 64 characters");
        // "step N" is a time.
        bool stepTime = vary.kind == VaryEventTime && v.compare(0, 5, "step ") == 0 &&
                        v.find_first_of(" \t", 5) == std::string::npos;
        if (v.find_first_of(" \t") != std::string::npos && !stepTime)
            return r.fail("a value may not hold blanks: '" + v + "'");
        if (!checkValues(r, vary, {v}))
            return false;
        values.push_back(v);
    }
    return true;
}

// "... together" at the end of a vary's values.
bool endsWithTogether(std::string& text) {
    static const std::string Word = "together";
    if (text.size() < Word.size() ||
        text.compare(text.size() - Word.size(), Word.size(), Word) != 0)
        return false;
    std::size_t before = text.size() - Word.size();
    if (before > 0 && text[before - 1] != ' ' && text[before - 1] != '\t')
        return false;
    text = trim(text.substr(0, before));
    return true;
}

// "seed", "start speed", "event N time", "event N value" or "G.C".
bool readVaryTarget(Reader& r, const std::string& target, Vary& v) {
    std::vector<std::string> w;
    for (std::size_t at = 0; at < target.size();) {
        std::size_t start = target.find_first_not_of(" \t", at);
        if (start == std::string::npos)
            break;
        std::size_t end = target.find_first_of(" \t", start);
        w.push_back(target.substr(start, end == std::string::npos ? std::string::npos : end - start));
        at = end == std::string::npos ? target.size() : end;
    }
    if (w.size() == 1 && w[0] == "seed") {
        v.kind = VarySeed;
        return true;
    }
    if (w.size() == 2 && w[0] == "start" && w[1] == "speed") {
        v.kind = VaryStartSpeed;
        return true;
    }
    if (!w.empty() && w[0] == "event") {
        long n;
        if (w.size() != 3 || (w[2] != "time" && w[2] != "value"))
            return r.fail("an event is varied as vary event N time = ... or vary event N value = ...");
        if (!wholeNumber(w[1], 1, MaxScenarioEvents, &n))
            return r.fail("event " + w[1] + ": events are numbered from 1 in the order of the scenario file");
        v.kind = w[2] == "time" ? VaryEventTime : VaryEventValue;
        v.event = int(n);
        return true;
    }
    std::size_t dot = target.find('.');
    long group;
    if (dot == std::string::npos || !wholeNumber(target.substr(0, dot), -1000000, 1000000, &group))
        return r.fail("vary needs GROUP.COLUMN, such as vary 0.N (or, with a scenario base, seed, "
                      "start speed, event N time or event N value)");
    if (group < 0 || group >= GroupCount)
        return r.fail("group " + std::to_string(group) + " is outside 0 to 49");
    std::string letter = target.substr(dot + 1);
    if (letter.size() != 1 || !knownColumn(letter[0]))
        return r.fail("unknown column letter '" + letter +
                      "' (known: A to I, K to N, P to R, Z, 1 to 4)");
    v.group = int(group);
    v.column = letter[0];
    return true;
}

bool readVary(Reader& r, const std::string& target, std::string text, Experiment& e, bool force,
              long maxRuns) {
    Vary v;
    if (!readVaryTarget(r, target, v))
        return false;
    v.line = r.line;
    for (const Vary& other : e.varies) {
        if (other.kind != v.kind || other.group != v.group || other.column != v.column ||
            other.event != v.event)
            continue;
        if (v.kind == VaryColumn)
            return r.fail("column " + target + " is already varied on line " +
                          std::to_string(other.line));
        return r.fail("vary " + varyTarget(v) + " is already on line " + std::to_string(other.line));
    }
    v.together = endsWithTogether(text);
    if (v.together && e.varies.empty())
        return r.fail("together changes a vary in step with the vary line before it, and there is none");
    long most;
    std::string tooMany;
    if (v.together) {
        const Vary& leader = e.varies.back();
        most = long(leader.values.size());
        tooMany = "vary " + target + " has more values than the " + std::to_string(most) + " of vary " +
                  varyTarget(leader) + " (line " + std::to_string(leader.line) +
                  "), with which it changes together";
    } else {
        most = (force ? MostRuns : maxRuns) / runCount(e);
        tooMany = force ? "more than a million runs"
                        : "more than " + std::to_string(maxRuns) + " runs; give --force to run them all";
    }
    if (!readValues(r, text, v, v.values, most, tooMany))
        return false;
    if (v.together && v.values.size() != e.varies.back().values.size())
        return r.fail("vary " + target + " has " + std::to_string(v.values.size()) +
                      " values but changes together with vary " + varyTarget(e.varies.back()) +
                      " (line " + std::to_string(e.varies.back().line) + "), which has " +
                      std::to_string(e.varies.back().values.size()));
    e.varies.push_back(v);
    return true;
}

// The longest row a run's groups file gives each varied group must fit the
// reader's line, or the run would quietly use the base's values.
bool checkRowLengths(Reader& r, const Experiment& e) {
    std::string columns;
    for (const Vary& v : e.varies)
        if (v.kind == VaryColumn && columns.find(v.column) == std::string::npos)
            columns += v.column;
    std::size_t note = std::string(",ombrane-lab run ").size() + std::to_string(runCount(e)).size();
    for (int g = 0; g < GroupCount; g++) {
        std::size_t length = std::to_string(g).size() + note;
        int lastLine = 0;
        for (char c : columns) {
            std::size_t widest = 0;
            for (const Vary& v : e.varies) {
                if (v.group != g || v.column != c)
                    continue;
                for (const std::string& value : v.values)
                    widest = std::max(widest, value.size());
                lastLine = std::max(lastLine, v.line);
            }
            length += 1 + widest;
        }
        if (lastLine && length > ReaderLineLimit) {
            r.line = lastLine;
            return r.fail("the values varied for group " + std::to_string(g) + " make a row of " +
                          std::to_string(length) + " characters, more than the " +
                          std::to_string(ReaderLineLimit) + " a groups file's line may hold");
        }
    }
    return true;
}

// Splits text into lines ended by a line feed, a carriage return and line
// feed, or a carriage return alone (a file saved by an old Mac editor).
bool readSetting(Reader& r, const std::string& key, const std::string& value, Experiment& e) {
    const long Most = 2000000000;
    if (key == "base") {
        if (value.empty())
            return r.fail("base needs a groups file");
        e.basePath = value;
        e.baseLine = r.line;
        e.scenarioBase = value.size() > 9 && value.compare(value.size() - 9, 9, ".scenario") == 0;
    } else if (key == "steps") {
        if (!wholeNumber(value, 1, Most, &e.steps))
            return r.fail("steps needs a whole number of steps, 1 or more");
    } else if (key == "warmup") {
        if (!wholeNumber(value, 0, Most, &e.warmup))
            return r.fail("warmup needs a whole number of steps, 0 or more");
    } else if (key == "period") {
        if (!wholeNumber(value, 1, Most, &e.period))
            return r.fail("period needs a whole number of steps, 1 or more");
    } else if (key == "repeat") {
        if (!wholeNumber(value, 1, 1000, &e.repeat))
            return r.fail("repeat needs a whole number from 1 to 1000");
    } else if (key == "detector") {
        for (const std::string& d : splitList(value)) {
            double feet;
            if (!realNumber(d, &feet) || feet < 0 || feet > RoadLengthFeet)
                return r.fail("a detector is a position in feet from 0 to 21120, not '" + d + "'");
            e.detectors.push_back(d);
        }
        if (e.detectors.size() > std::size_t(MaxDetectors))
            return r.fail("at most 16 detectors");
    } else if (key == "section") {
        for (const std::string& d : splitList(value)) {
            if (sectionLength(d) <= 0)
                return r.fail("a section is FROM..TO, positions in feet from 0 to 21120, not '" +
                              d + "'");
            e.sections.push_back(d);
        }
        if (e.sections.size() > std::size_t(MaxSections))
            return r.fail("at most 16 sections");
    } else if (key == "edition") {
        if (value != "legacy" && value != "current")
            return r.fail("edition is current or legacy");
        e.legacy = value == "legacy";
    } else if (key == "defaults") {
        if (value != "base" && value != "built-in")
            return r.fail("defaults is base or built-in");
        e.builtInDefaults = value == "built-in";
        e.defaultsLine = r.line;
    } else if (key == "zone") {
        if (value != "on" && value != "off")
            return r.fail("zone is on or off");
        e.zone = value == "on";
    } else {
        return r.fail("unknown key '" + key + "'");
    }
    return true;
}

}  // namespace

double sectionLength(const std::string& section) {
    std::size_t dots = section.find("..");
    double from, to;
    if (dots == std::string::npos || !realNumber(trim(section.substr(0, dots)), &from) ||
        !realNumber(trim(section.substr(dots + 2)), &to) || from < 0 || to < 0 ||
        from > RoadLengthFeet || to > RoadLengthFeet)
        return 0;
    return to > from ? to - from : to - from + RoadLengthFeet;
}

bool knownColumn(char c) {
    return c && std::strchr("ZABCDEFGHIKLMNPQR1234", c) != nullptr;
}

bool checkMeasuredPeriods(const Experiment& e, std::string& problem) {
    Reader r{e.path, problem};
    r.line = e.measureLine;
    if (e.warmup >= e.steps || e.steps - e.warmup < e.period)
        return r.fail("warmup leaves less than one measuring period (" + std::to_string(e.period) +
                      " steps) of the " + std::to_string(e.steps) + " steps to measure");
    // Periods end at multiples of the period, and one counts when it starts
    // at or after the warm-up.
    long firstStart = (e.warmup + e.period - 1) / e.period * e.period;
    if (firstStart + e.period > e.steps)
        return r.fail("no whole measuring period after the warm-up: periods start at multiples of " +
                      std::to_string(e.period) + " steps, so the first one measured would run from step " +
                      std::to_string(firstStart) + " to " + std::to_string(firstStart + e.period) +
                      ", past the " + std::to_string(e.steps) + " steps");
    return true;
}

bool parseExperiment(const std::string& text, const std::string& path, Experiment& e,
                     std::string& problem, bool force, long maxRuns) {
    e = Experiment();
    e.path = path;
    Reader r{path, problem};
    std::vector<std::string> seen;
    int warmupLine = 0, zoneLine = 0, stepsLine = 0, periodLine = 0;
    for (const TextLine& numbered : meaningfulLines(text)) {
        r.line = numbered.number;
        const std::string& line = numbered.text;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return r.fail("expected KEY = VALUE");
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (key.compare(0, 5, "vary ") == 0 || key.compare(0, 5, "vary\t") == 0) {
            if (!readVary(r, trim(key.substr(5)), value, e, force, maxRuns))
                return false;
            if (!force && runCount(e) > maxRuns)
                return r.fail("more than " + std::to_string(maxRuns) +
                              " runs; give --force to run them all");
            if (runCount(e) > MostRuns)
                return r.fail("more than a million runs");
            continue;
        }
        for (const std::string& k : seen)
            if (k == key && key != "detector" && key != "section")
                return r.fail(key + " is set twice");
        if (!readSetting(r, key, value, e))
            return false;
        seen.push_back(key);
        if (key == "warmup")
            warmupLine = r.line;
        if (key == "zone")
            zoneLine = r.line;
        if (key == "steps")
            stepsLine = r.line;
        if (key == "period")
            periodLine = r.line;
        if (key == "repeat" && !force && runCount(e) > maxRuns)
            return r.fail("more than " + std::to_string(maxRuns) + " runs; give --force to run them all");
        if (key == "repeat" && runCount(e) > MostRuns)
            return r.fail("more than a million runs");
    }
    if (e.basePath.empty()) {
        problem = path + ": no base = GROUPS.csv line";
        return false;
    }
    e.measureLine = warmupLine ? warmupLine : stepsLine ? stepsLine : periodLine;
    e.stepsGiven = stepsLine > 0;
    // A scenario's own steps count when the experiment gives none: checked
    // once the scenario is read.
    if (!(e.scenarioBase && !e.stepsGiven) && !checkMeasuredPeriods(e, problem))
        return false;
    if (!checkRowLengths(r, e))
        return false;
    for (const Vary& v : e.varies) {
        r.line = v.line;
        if (v.kind != VaryColumn && !e.scenarioBase)
            return r.fail("vary " + varyTarget(v) + " needs a scenario base (base = NAME.scenario); " +
                          e.basePath + " is a groups file");
        if (v.kind == VarySeed && e.repeat > 1)
            return r.fail("vary seed names the seeds itself, and repeat = " + std::to_string(e.repeat) +
                          " would run each seed " + std::to_string(e.repeat) +
                          " times alike: give more seeds instead");
    }
    r.line = e.baseLine;
    if (e.scenarioBase && e.legacy)
        return r.fail("the earlier edition does not open scenarios; a scenario base needs edition = current");
    r.line = zoneLine;
    if (e.legacy && e.zone)
        return r.fail("the earlier edition has no construction zone");
    return true;
}

bool readInputFile(const std::string& path, long limit, std::string& text, std::string& problem,
                   bool* refused) {
    if (refused)
        *refused = false;
    // Not blocking: opening a FIFO would wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = path + ": cannot read it: " + std::strerror(errno);
        return false;
    }
    struct stat about;
    if (::fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        ::close(fd);
        problem = path + ": cannot read it: not a regular file";
        if (refused)
            *refused = true;
        return false;
    }
    if (about.st_size > limit) {
        ::close(fd);
        problem = path + ": cannot read it: larger than " + std::to_string(limit >> 20) + " MB";
        if (refused)
            *refused = true;
        return false;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = path + ": cannot read it: " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        // A file growing while it is read is held to the limit too.
        if (long(text.size()) + n > limit) {
            ::close(fd);
            problem = path + ": cannot read it: larger than " + std::to_string(limit >> 20) + " MB";
            return false;
        }
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return true;
}

bool loadExperiment(const std::string& path, Experiment& e, std::string& problem, bool force,
                    int* exitCode) {
    std::string text;
    if (!readInputFile(path, MostExperimentBytes, text, problem)) {
        *exitCode = 1;
        return false;
    }
    if (!parseExperiment(text, path, e, problem, force)) {
        *exitCode = 2;
        return false;
    }
    return true;
}

std::string basePathOf(const Experiment& e) {
    if (!e.basePath.empty() && e.basePath[0] == '/')
        return e.basePath;
    std::size_t slash = e.path.rfind('/');
    if (slash == std::string::npos)
        return e.basePath;
    return e.path.substr(0, slash + 1) + e.basePath;
}
