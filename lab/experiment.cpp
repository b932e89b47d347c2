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
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// The ring road is four miles long; detectors lie on it.
constexpr double RoadLengthFeet = 21120;
constexpr int MaxDetectors = 16;
constexpr int GroupCount = 50;
// The groups-file reader stops at a line longer than this.
constexpr std::size_t ReaderLineLimit = 1022;
// A row of the run's groups file holds at most one value per column letter
// (21 of them); this keeps it far inside the reader's line.
constexpr std::size_t MaxValueLength = 64;
// Even with --force: the plan of every run is held in memory.
constexpr long MostRuns = 1000000;

bool integral(const std::string& text) {
    return text.find_first_of(".eExXpP") == std::string::npos;
}

struct Reader {
    const std::string& path;
    std::string& problem;
    int line = 0;

    bool fail(const std::string& reason) {
        problem = lineProblem(path, line, reason);
        return false;
    }
};

// "a..b by s" or "a..b" (step 1), or a list "x, y, z".
bool readValues(Reader& r, const std::string& text, char column, std::vector<std::string>& values) {
    std::size_t dots = text.find("..");
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
        return true;
    }
    for (const std::string& v : splitList(text)) {
        if (v.empty())
            return r.fail("empty value in the list");
        // Every value of a run must fit one row of the reader's 1022 characters.
        if (v.size() > MaxValueLength)
            return r.fail("a value may hold at most 64 characters");
        if (v.find_first_of(" \t") != std::string::npos)
            return r.fail("a value may not hold blanks: '" + v + "'");
        double number;
        // The colour is a name and the report field text; every other column is a number.
        if (column != 'Z' && column != 'R' && !realNumber(v, &number))
            return r.fail(std::string("column ") + column + " needs numbers, not '" + v + "'");
        values.push_back(v);
    }
    return true;
}

bool readVary(Reader& r, const std::string& target, const std::string& text, Experiment& e) {
    std::size_t dot = target.find('.');
    Vary v;
    long group;
    if (dot == std::string::npos || !wholeNumber(target.substr(0, dot), -1000000, 1000000, &group))
        return r.fail("vary needs GROUP.COLUMN, such as vary 0.N");
    if (group < 0 || group >= GroupCount)
        return r.fail("group " + std::to_string(group) + " is outside 0 to 49");
    std::string letter = target.substr(dot + 1);
    if (letter.size() != 1 || !knownColumn(letter[0]))
        return r.fail("unknown column letter '" + letter +
                      "' (known: A to I, K to N, P to R, Z, 1 to 4)");
    v.group = int(group);
    v.column = letter[0];
    v.line = r.line;
    for (const Vary& other : e.varies)
        if (other.group == v.group && other.column == v.column)
            return r.fail("column " + target + " is already varied on line " +
                          std::to_string(other.line));
    if (!readValues(r, text, v.column, v.values))
        return false;
    e.varies.push_back(v);
    return true;
}

bool readSetting(Reader& r, const std::string& key, const std::string& value, Experiment& e) {
    const long Most = 2000000000;
    if (key == "base") {
        if (value.empty())
            return r.fail("base needs a groups file");
        e.basePath = value;
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

bool knownColumn(char c) {
    return c && std::strchr("ZABCDEFGHIKLMNPQR1234", c) != nullptr;
}

bool parseExperiment(const std::string& text, const std::string& path, Experiment& e,
                     std::string& problem, bool force, long maxRuns) {
    e = Experiment();
    e.path = path;
    Reader r{path, problem};
    std::vector<std::string> seen;
    int warmupLine = 0, zoneLine = 0;
    for (const TextLine& line : meaningfulLines(text)) {
        r.line = line.number;
        std::string key, value;
        if (!splitKeyValue(line.text, key, value))
            return r.fail("expected KEY = VALUE");
        if (key.compare(0, 5, "vary ") == 0 || key.compare(0, 5, "vary\t") == 0) {
            if (!readVary(r, trim(key.substr(5)), value, e))
                return false;
            if (!force && runCount(e) > maxRuns)
                return r.fail("more than " + std::to_string(maxRuns) +
                              " runs; give --force to run them all");
            if (runCount(e) > MostRuns)
                return r.fail("more than a million runs");
            continue;
        }
        for (const std::string& k : seen)
            if (k == key && key != "detector")
                return r.fail(key + " is set twice");
        if (!readSetting(r, key, value, e))
            return false;
        seen.push_back(key);
        if (key == "warmup")
            warmupLine = r.line;
        if (key == "zone")
            zoneLine = r.line;
        if (key == "repeat" && !force && runCount(e) > maxRuns)
            return r.fail("more than " + std::to_string(maxRuns) + " runs; give --force to run them all");
        if (key == "repeat" && runCount(e) > MostRuns)
            return r.fail("more than a million runs");
    }
    if (e.basePath.empty()) {
        problem = path + ": no base = GROUPS.csv line";
        return false;
    }
    r.line = warmupLine;
    if (e.warmup >= e.steps || e.steps - e.warmup < e.period)
        return r.fail("warmup leaves less than one measuring period (" + std::to_string(e.period) +
                      " steps) of the " + std::to_string(e.steps) + " steps to measure");
    r.line = zoneLine;
    if (e.legacy && e.zone)
        return r.fail("the earlier edition has no construction zone");
    return true;
}

bool loadExperiment(const std::string& path, Experiment& e, std::string& problem, bool force,
                    int* exitCode) {
    std::ifstream in(path, std::ios::binary);
    struct stat about;
    // A folder opens as a stream, but reads as nothing.
    if (!in || ::stat(path.c_str(), &about) != 0 || !S_ISREG(about.st_mode)) {
        problem = path + ": cannot read it";
        *exitCode = 1;
        return false;
    }
    std::ostringstream text;
    if (in.peek() != std::ifstream::traits_type::eof())
        text << in.rdbuf();
    if (!parseExperiment(text.str(), path, e, problem, force)) {
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

long runCount(const Experiment& e) {
    long total = e.repeat;
    for (const Vary& v : e.varies) {
        total *= long(v.values.size());
        if (total > 2000000000L)
            return 2000000000L;  // far past any limit; keeps the product in range
    }
    return total;
}

std::vector<RunPlan> planRuns(const Experiment& e) {
    std::vector<RunPlan> runs;
    long total = runCount(e);
    RunPlan plan;
    plan.choice.assign(e.varies.size(), 0);
    for (long n = 0; n < total; n++) {
        // n in mixed radix: the repeat is the fastest digit, then the last vary.
        long rest = n;
        plan.repeat = int(rest % e.repeat) + 1;
        rest /= e.repeat;
        for (std::size_t k = e.varies.size(); k-- > 0;) {
            long size = long(e.varies[k].values.size());
            plan.choice[k] = int(rest % size);
            rest /= size;
        }
        plan.number = int(n) + 1;
        runs.push_back(plan);
    }
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
    out << "edition = " << (e.legacy ? "legacy" : "current") << "\n";
    out << "zone = " << (e.zone ? "on" : "off") << "\n";
    out << "repeat = " << e.repeat << "\n";
    // Only when set, so that the folders of earlier experiments still match.
    if (e.builtInDefaults)
        out << "defaults = built-in\n";
    for (const Vary& v : e.varies) {
        out << "vary " << varyName(v) << " = ";
        for (std::size_t k = 0; k < v.values.size(); k++)
            out << (k ? ", " : "") << v.values[k];
        out << "\n";
    }
    return out.str();
}

std::string runGroupsText(const std::string& baseText, const Experiment& e, const RunPlan& run) {
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
    if (e.varies.empty())
        return out;

    // Columns in first-seen order, groups ascending.
    std::string columns;
    for (const Vary& v : e.varies)
        if (columns.find(v.column) == std::string::npos)
            columns += v.column;
    out += "#Group";
    for (char c : columns)
        out += std::string(",") + c;
    // A notes column last, since the last field keeps the line feed.
    out += ",Wnotes\n";
    for (int g = 0; g < GroupCount; g++) {
        std::string row = std::to_string(g);
        bool any = false;
        for (char c : columns) {
            row += ',';
            for (std::size_t k = 0; k < e.varies.size(); k++)
                if (e.varies[k].group == g && e.varies[k].column == c) {
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
    return std::to_string(v.group) + "." + v.column;
}

std::string runFolderName(int number, long total) {
    int width = 4;
    for (long t = total; t >= 10000; t /= 10)
        width++;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, number);
    return buffer;
}
