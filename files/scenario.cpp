// Reading scenario files. Every value is checked here with the line it came
// from, so that a slip is found before a run, not after.
#include "files/scenario.h"

#include "core/world.h"
#include "files/groups.h"
#include "files/key_lines.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr double RoadLengthFeet = 21120;
constexpr double FeetPerMile = 5280;
constexpr int StepsPerSecond = 16;
constexpr int MostDetectors = 16;

struct Reader {
    const std::string& path;
    std::string& problem;
    int line = 0;

    bool fail(const std::string& reason) {
        problem = lineProblem(path, line, reason);
        return false;
    }
};

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string joined(const std::vector<std::string>& parts, std::size_t from) {
    std::string out;
    for (std::size_t k = from; k < parts.size(); k++)
        out += (k > from ? " " : "") + parts[k];
    return out;
}

// Columns the reader stores as whole numbers.
bool wholeColumn(char c) { return std::strchr("EFIN1234", c) != nullptr; }

bool knownColumnLetter(char c) { return c && std::strchr("ZABCDEFGHIKLMNPQR1234", c) != nullptr; }

// What one column's value sets in a group, by the groups reader's own rule:
// the value is stored over two different fillings of the group, and the
// words that come out equal are those the rule set. The group is put back.
struct ColumnWords {
    int count = 0;
    int index[MaxEventWords];
    uint32_t bits[MaxEventWords];
};

bool wordsOfColumn(int group, char column, const std::string& value, ColumnWords& out) {
    constexpr int Words = int(sizeof(Group) / 4);
    const Group saved = world.groups[group];
    uint32_t filled[2][Words];
    for (int k = 0; k < 2; k++) {
        std::memset(&world.groups[group], k ? 0xFF : 0x00, sizeof(Group));
        applyGroupColumn(group, column, value.c_str());
        std::memcpy(filled[k], &world.groups[group], sizeof(Group));
    }
    world.groups[group] = saved;
    out.count = 0;
    for (int w = 0; w < Words; w++) {
        if (filled[0][w] != filled[1][w])
            continue;
        if (out.count == MaxEventWords)
            return false;
        out.index[out.count] = w;
        out.bits[out.count] = filled[0][w];
        out.count++;
    }
    return out.count > 0;
}

// A value for column C as the scenario accepts it: a whole number or a
// number alone, a known colour name, any report text; and one the groups
// reader's rule can store.
bool checkColumnValue(Reader& r, int group, char column, const std::string& value) {
    if (value.empty())
        return r.fail(std::string("column ") + column + " needs a value");
    if (column == 'R')
        return true;
    char why[200];
    if (column == 'Z') {
        if (colourByName(value.c_str()) < 0)
            return r.fail("unknown colour name '" + value + "'");
    } else if (wholeColumn(column)) {
        long n;
        if (!wholeNumber(value, -1000000, 1000000, &n))
            return r.fail(std::string("column ") + column + " needs a whole number, not '" + value + "'");
    } else {
        double x;
        if (!realNumber(value, &x))
            return r.fail(std::string("column ") + column + " needs a number, not '" + value + "'");
    }
    // What the groups file itself would be warned of.
    if (!readsAsWritten(column, value.c_str(), why, sizeof why))
        return r.fail(std::string("column ") + column + ": " + why);
    if (column == 'Z' || wholeColumn(column))
        return true;
    ColumnWords cw;
    if (!wordsOfColumn(group, column, value, cw))
        return r.fail(std::string("column ") + column + " cannot hold " + value);
    return true;
}

bool readGroupNumber(Reader& r, const std::string& text, int* group) {
    long g;
    if (!wholeNumber(text, -1000000000, 1000000000, &g))
        return r.fail("a group is a number from 0 to 49, not '" + text + "'");
    if (g < 0 || g >= MaxGroups)
        return r.fail("group " + std::to_string(g) + " is outside 0 to 49");
    *group = int(g);
    return true;
}

bool readProbability(Reader& r, const std::string& text, double* p) {
    if (!realNumber(text, p))
        return r.fail("a noise probability is a number from 0 to 1, not '" + text + "'");
    if (*p < 0 || *p > 1)
        return r.fail("a noise probability is from 0 to 1, not " + text);
    return true;
}

// "m:ss", "h:mm:ss" or "step N"; `rest` gets the words after the time.
bool readTime(Reader& r, const std::vector<std::string>& w, long long* step, std::size_t* next) {
    if (w.size() < 2)
        return r.fail("an event is: at TIME ACTION");
    if (w[1] == "step") {
        long n;
        if (w.size() < 3 || !wholeNumber(w[2], 0, INT_MAX, &n))
            return r.fail("step needs a whole number from 0 to 2147483647");
        *step = n;
        *next = 3;
        return true;
    }
    const std::string& t = w[1];
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t colon = t.find(':', start);
        parts.push_back(t.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    const char* form = "a time is m:ss, h:mm:ss or step N, not '";
    if (parts.size() < 2 || parts.size() > 3)
        return r.fail(form + t + "'");
    long long seconds = 0;
    for (std::size_t k = 0; k < parts.size(); k++) {
        long n;
        bool digits = !parts[k].empty() && parts[k].find_first_not_of("0123456789") == std::string::npos;
        if (!digits || !wholeNumber(parts[k], 0, 100000000, &n))
            return r.fail(form + t + "'");
        if (k > 0 && (parts[k].size() != 2 || n > 59))
            return r.fail(form + t + "'");
        seconds = seconds * 60 + n;
    }
    *step = seconds * StepsPerSecond;
    if (*step > INT_MAX)
        return r.fail("the time " + t + " is past the last step that can be counted");
    *next = 2;
    return true;
}

bool readNumberWord(Reader& r, const std::string& text, const char* what, double low, double high,
                    double* out) {
    if (!realNumber(text, out) || *out < low || *out > high)
        return r.fail(std::string(what) + ", not '" + text + "'");
    return true;
}

// car nearest X mi in lane L slows to V mph for S s
bool readSlowAction(Reader& r, const std::vector<std::string>& a, ScenarioEvent& e) {
    const char* form = "a disturbance is: car nearest X mi in lane L slows to V mph for S s";
    if (a.size() != 14 || a[1] != "nearest" || a[3] != "mi" || a[4] != "in" || a[5] != "lane" ||
        a[7] != "slows" || a[8] != "to" || a[10] != "mph" || a[11] != "for" || a[13] != "s")
        return r.fail(form);
    double miles, speed, seconds;
    long lane;
    if (!realNumber(a[2], &miles) || miles < 0)
        return r.fail("a position is miles from 0 along the road, not '" + a[2] + "'");
    if (miles * FeetPerMile >= RoadLengthFeet)
        return r.fail("position " + a[2] + " mi is past the road, which is 4 miles round");
    if (!wholeNumber(a[6], LONG_MIN, LONG_MAX, &lane) || lane < 1 || lane > LaneTotal)
        return r.fail("lane " + a[6] + " does not exist: lanes are 1 (right) to 4");
    if (!readNumberWord(r, a[9], "a speed is mph from 0 to 1000", 0, 1000, &speed))
        return false;
    if (!readNumberWord(r, a[12], "a duration is seconds from 1/16 to 100000", 0, 100000, &seconds))
        return false;
    long steps = std::lround(seconds * StepsPerSecond);
    if (steps < 1)
        return r.fail("a duration is at least 1/16 s, one step");
    e.kind = EventSlow;
    e.lane = int(lane) - 1;
    e.position = float(miles * FeetPerMile);
    e.speed = float(speed);
    e.steps = int(steps);
    return true;
}

// group G C = V, at a time
bool readGroupAction(Reader& r, const std::string& action, ScenarioEvent& e) {
    std::string key, value;
    const char* form = "a group change is: group G C = VALUE";
    if (!splitKeyValue(action, key, value))
        return r.fail(form);
    std::vector<std::string> k = words(key);
    if (k.size() != 3)
        return r.fail(form);
    int group;
    if (!readGroupNumber(r, k[1], &group))
        return false;
    if (k[2].size() != 1 || !knownColumnLetter(k[2][0]))
        return r.fail("unknown column letter '" + k[2] + "' (known: A to I, K to N, P to R, Z, 1 to 4)");
    char column = k[2][0];
    if (column == 'N' || column == 'R' || (column >= '1' && column <= '4'))
        return r.fail(std::string("column ") + column +
                      " cannot change during a run: car counts and the report are set at the start");
    if (!checkColumnValue(r, group, column, value))
        return false;
    ColumnWords cw;
    if (!wordsOfColumn(group, column, value, cw))
        return r.fail(std::string("column ") + column + " cannot hold " + value);
    e.kind = EventGroup;
    e.group = group;
    e.wordCount = cw.count;
    for (int n = 0; n < cw.count; n++) {
        e.wordIndex[n] = cw.index[n];
        e.wordBits[n] = cw.bits[n];
    }
    return true;
}

bool readEvent(Reader& r, const std::string& line, Scenario& s) {
    if (s.events.size() >= std::size_t(MaxEvents))
        return r.fail("at most " + std::to_string(int(MaxEvents)) + " events");
    std::vector<std::string> w = words(line);
    long long step;
    std::size_t at;
    if (!readTime(r, w, &step, &at))
        return false;
    std::vector<std::string> a(w.begin() + long(at), w.end());
    ScenarioEvent e;
    std::memset(&e, 0, sizeof e);
    e.step = int(step);
    if (a.empty())
        return r.fail("the event at " + w[1] + " says nothing to do");
    std::string action = joined(w, at);
    if (a[0] == "zone") {
        if (a.size() != 2 || (a[1] != "on" && a[1] != "off"))
            return r.fail("a zone event is: zone on, or zone off");
        e.kind = EventZone;
        e.on = a[1] == "on";
    } else if (a[0] == "group") {
        if (!readGroupAction(r, action, e))
            return false;
    } else if (a[0] == "noise") {
        std::string key, value;
        std::vector<std::string> k;
        if (splitKeyValue(action, key, value))
            k = words(key);
        if (k.size() != 3 || k[1] != "group")
            return r.fail("a noise event is: noise group G = P");
        double p;
        if (!readGroupNumber(r, k[2], &e.group) || !readProbability(r, value, &p))
            return false;
        e.kind = EventNoise;
        e.threshold = chanceThreshold(p);
    } else if (a[0] == "car") {
        if (!readSlowAction(r, a, e))
            return false;
    } else {
        return r.fail("unknown event '" + action + "' (known: zone, group, noise group, car nearest)");
    }
    std::snprintf(e.text, sizeof e.text, "%s", action.c_str());
    s.events.push_back(e);
    s.eventLines.push_back(r.line);
    return true;
}

bool readSetting(Reader& r, const std::string& key, const std::string& value, Scenario& s) {
    std::vector<std::string> k = words(key);
    if (key == "groups") {
        if (value.size() < 5 || value.compare(value.size() - 4, 4, ".csv") != 0)
            return r.fail("groups names a groups file ending in .csv, not '" + value + "'");
        s.groupsName = value;
        s.groupsLine = r.line;
    } else if (key == "start") {
        if (value != "block" && value != "even")
            return r.fail("start is block or even");
        s.evenStart = value == "even";
    } else if (key == "start speed") {
        std::string number = value;
        if (number.size() > 3 && number.compare(number.size() - 3, 3, "mph") == 0)
            number = trim(number.substr(0, number.size() - 3));
        if (!realNumber(number, &s.startSpeed) || s.startSpeed < 0 || s.startSpeed > 1000)
            return r.fail("start speed is mph from 0 to 1000, such as 50 mph");
        s.hasStartSpeed = 1;
    } else if (key == "seed") {
        // 0 to 2^64-1, written alone.
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
            value.size() > 20)
            return r.fail("seed is a whole number from 0 to 18446744073709551615");
        errno = 0;
        unsigned long long n = std::strtoull(value.c_str(), nullptr, 10);
        if (errno)
            return r.fail("seed is a whole number from 0 to 18446744073709551615");
        s.seed = n;
        s.hasSeed = 1;
    } else if (key == "steps") {
        if (!wholeNumber(value, 1, INT_MAX, &s.steps))
            return r.fail("steps needs a whole number of steps, 1 or more");
    } else if (key == "detector") {
        for (const std::string& d : splitList(value)) {
            double feet;
            if (!realNumber(d, &feet) || feet < 0 || feet > RoadLengthFeet)
                return r.fail("a detector is a position in feet from 0 to 21120, not '" + d + "'");
            s.detectors.push_back(d);
        }
        if (s.detectors.size() > std::size_t(MostDetectors))
            return r.fail("at most 16 detectors");
    } else if (key == "noise slowdown") {
        std::string number = value;
        double scale = 1;
        if (!number.empty() && number.back() == '%') {
            number = trim(number.substr(0, number.size() - 1));
            scale = 0.01;
        }
        double f;
        if (!realNumber(number, &f) || f * scale <= 0 || f * scale > 1)
            return r.fail("noise slowdown is a fraction above 0 and at most 1, such as 0.1 or 10 %");
        s.noiseSlowdown = f * scale;
    } else if (k.size() == 3 && k[0] == "noise" && k[1] == "group") {
        int group;
        if (!readGroupNumber(r, k[2], &group) || !readProbability(r, value, &s.noise[group]))
            return false;
    } else if (k.size() == 3 && k[0] == "group") {
        GroupOverride o;
        if (!readGroupNumber(r, k[1], &o.group))
            return false;
        if (k[2].size() != 1 || !knownColumnLetter(k[2][0]))
            return r.fail("unknown column letter '" + k[2] + "' (known: A to I, K to N, P to R, Z, 1 to 4)");
        o.column = k[2][0];
        if (!checkColumnValue(r, o.group, o.column, value))
            return false;
        o.value = value;
        o.line = r.line;
        s.overrides.push_back(o);
    } else {
        return r.fail("unknown key '" + key + "'");
    }
    return true;
}

}  // namespace

bool isScenarioPath(const char* path) {
    std::size_t n = std::strlen(path);
    return n > 9 && std::strcmp(path + n - 9, ".scenario") == 0;
}

bool parseScenario(const std::string& text, const std::string& path, Scenario& s,
                   std::string& problem) {
    s = Scenario();
    s.path = path;
    Reader r{path, problem};
    std::vector<std::string> seen;
    for (const TextLine& line : meaningfulLines(text)) {
        r.line = line.number;
        if (line.text.compare(0, 3, "at ") == 0 || line.text.compare(0, 3, "at\t") == 0) {
            if (!readEvent(r, line.text, s))
                return false;
            s.eventTexts.push_back(line.text);
            continue;
        }
        std::string key, value;
        if (!splitKeyValue(line.text, key, value))
            return r.fail("expected KEY = VALUE, or at TIME ACTION");
        // Spaces inside a key are one space: "start  speed" is "start speed".
        key = joined(words(key), 0);
        for (const std::string& k : seen)
            if (k == key && key != "detector")
                return r.fail(key + " is set twice");
        if (!readSetting(r, key, value, s))
            return false;
        seen.push_back(key);
        if (key != "groups" && key != "steps")
            s.settingTexts.push_back(line.text);
    }
    r.line = 0;
    if (s.groupsName.empty())
        return r.fail("no groups = FILE.csv line");
    if (usesRandomness(s) && !s.hasSeed)
        return r.fail("noise needs a seed = N line, so that the run can be made again");
    // Equal times keep the file's order.
    std::vector<std::size_t> order(s.events.size());
    for (std::size_t k = 0; k < order.size(); k++)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return s.events[a].step < s.events[b].step; });
    std::vector<ScenarioEvent> events;
    std::vector<int> lines;
    for (std::size_t k : order) {
        events.push_back(s.events[k]);
        lines.push_back(s.eventLines[k]);
    }
    s.events = events;
    s.eventLines = lines;
    return true;
}

bool loadScenario(const std::string& path, Scenario& s, std::string& problem, int* exitCode) {
    std::string text;
    if (!readWholeFile(path, text, problem)) {
        *exitCode = 1;
        return false;
    }
    if (!parseScenario(text, path, s, problem)) {
        *exitCode = 2;
        return false;
    }
    std::string groups = scenarioGroupsPath(s), ignored;
    if (!readWholeFile(groups, ignored, problem)) {
        problem = lineProblem(path, s.groupsLine, "cannot read the groups file " + groups);
        *exitCode = 1;
        return false;
    }
    return true;
}

std::string scenarioGroupsPath(const Scenario& s) { return besideFile(s.path, s.groupsName); }

bool usesRandomness(const Scenario& s) {
    for (double p : s.noise)
        if (p > 0)
            return true;
    for (const ScenarioEvent& e : s.events)
        if (e.kind == EventNoise && e.threshold != 0)
            return true;
    return false;
}

void installScenario(const Scenario& s) {
    clearScenarioPlan();
    ScenarioPlan& p = scenarioPlan;
    p.active = 1;
    p.evenStart = s.evenStart;
    p.hasStartSpeed = s.hasStartSpeed;
    p.startSpeed = float(s.startSpeed);
    p.seed = s.seed;
    for (int g = 0; g < MaxGroups; g++)
        p.noiseThreshold[g] = chanceThreshold(s.noise[g]);
    p.noiseKeep = float(1.0 - s.noiseSlowdown);
    p.eventCount = int(std::min(s.events.size(), std::size_t(MaxEvents)));
    for (int k = 0; k < p.eventCount; k++)
        p.events[k] = s.events[std::size_t(k)];
}

void applyGroupOverrides(const Scenario& s) {
    for (const GroupOverride& o : s.overrides)
        applyGroupColumn(o.group, o.column, o.value.c_str());
}
