// A scenario as an experiment's base. Each run gets its own scenario file
// rather than options, so that its folder alone repeats it by hand.
#include "scenario_base.h"

#include "files/key_lines.h"
#include "files/scenario.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string joined(const std::vector<std::string>& parts, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t k = from; k < to && k < parts.size(); k++)
        out += (k > from ? " " : "") + parts[k];
    return out;
}

bool isEventLine(const std::string& line) {
    return line.compare(0, 3, "at ") == 0 || line.compare(0, 3, "at\t") == 0;
}

// The words of an event line that hold its time: "3:30", or "step 3360".
std::size_t timeWords(const std::vector<std::string>& w) { return w.size() > 1 && w[1] == "step" ? 2 : 1; }

// Where an event's value is: after its '=' (group, noise), or the speed of
// a disturbance (the word after "slows to"); npos for none (zone).
std::size_t valueWord(const std::vector<std::string>& action) {
    if (action.size() == 14 && action[0] == "car")
        return 9;
    return std::string::npos;
}

bool hasValue(const std::string& action) {
    return action.find('=') != std::string::npos || valueWord(words(action)) != std::string::npos;
}

// An event line with its time or value replaced.
std::string changedEvent(const std::string& line, const std::string* time, const std::string* value) {
    std::vector<std::string> w = words(line);
    std::size_t at = 1 + timeWords(w);
    std::string when = time ? *time : joined(w, 1, at);
    std::string action = joined(w, at, w.size());
    if (value) {
        std::size_t eq = action.find('=');
        if (eq != std::string::npos) {
            action = trim(action.substr(0, eq)) + " = " + *value;
        } else {
            std::vector<std::string> a(w.begin() + long(std::min(at, w.size())), w.end());
            std::size_t k = valueWord(a);
            if (k != std::string::npos) {
                a[k] = *value;
                action = joined(a, 0, a.size());
            }
        }
    }
    return "at " + when + " " + action;
}

// A run's scenario where the given values stand for the run's: value[k] for
// vary k, seed for the seed line when not empty.
std::string scenarioWith(const Experiment& e, const std::vector<std::string>& value,
                         std::string seed) {
    if (int k = seedVary(e); k >= 0)
        seed = value[std::size_t(k)];
    std::string out;
    std::vector<bool> written(e.varies.size(), false);
    bool seedWritten = false;
    int event = 0;
    for (const TextLine& line : meaningfulLines(e.scenarioText)) {
        std::string text = line.text;
        if (isEventLine(text)) {
            event++;
            const std::string *time = nullptr, *changed = nullptr;
            for (std::size_t k = 0; k < e.varies.size(); k++) {
                if (e.varies[k].event != event)
                    continue;
                if (e.varies[k].kind == VaryEventTime)
                    time = &value[k];
                if (e.varies[k].kind == VaryEventValue)
                    changed = &value[k];
            }
            if (time || changed)
                text = changedEvent(text, time, changed);
            out += text + "\n";
            continue;
        }
        std::string key, v;
        if (splitKeyValue(text, key, v)) {
            std::vector<std::string> k = words(key);
            std::string name = joined(k, 0, k.size());
            if (name == "groups")
                text = "groups = groups.csv";
            if (name == "seed" && !seed.empty()) {
                text = "seed = " + seed;
                seedWritten = true;
            }
            for (std::size_t n = 0; n < e.varies.size(); n++) {
                const Vary& vary = e.varies[n];
                long group;
                bool match = (vary.kind == VaryStartSpeed && name == "start speed") ||
                             (vary.kind == VaryColumn && k.size() == 3 && k[0] == "group" &&
                              wholeNumber(k[1], 0, 49, &group) && group == vary.group &&
                              k[2].size() == 1 && k[2][0] == vary.column);
                if (!match)
                    continue;
                text = name + " = " + value[n];
                written[n] = true;
            }
        }
        out += text + "\n";
    }
    for (std::size_t n = 0; n < e.varies.size(); n++) {
        const Vary& vary = e.varies[n];
        if (written[n])
            continue;
        if (vary.kind == VaryStartSpeed)
            out += "start speed = " + value[n] + "\n";
        if (vary.kind == VaryColumn)
            out += "group " + std::to_string(vary.group) + " " + vary.column + " = " + value[n] + "\n";
    }
    if (!seed.empty() && !seedWritten)
        out += "seed = " + seed + "\n";
    return out;
}

// "PATH:LINE: reason" less its place.
std::string reasonOf(const std::string& problem) {
    std::size_t first = problem.find(": ");
    return first == std::string::npos ? problem : problem.substr(first + 2);
}

}  // namespace

int readScenarioBase(Experiment& e, const std::string& path, const std::string& text,
                     std::string& groupsName, std::string& problem) {
    Scenario s;
    if (!parseScenario(text, path, s, problem))
        return 2;
    groupsName = s.groupsName;
    e.scenarioText = text;
    if (!e.stepsGiven) {
        if (s.steps > 0)
            e.steps = s.steps;
        if (!checkMeasuredPeriods(e, problem))
            return 2;
    }
    e.randomness = usesRandomness(s);
    std::vector<std::string> actions;  // the events' actions, in file order
    for (const TextLine& line : meaningfulLines(text))
        if (isEventLine(line.text)) {
            std::vector<std::string> w = words(line.text);
            actions.push_back(joined(w, 1 + timeWords(w), w.size()));
        }
    std::vector<std::string> found;
    for (const Vary& v : e.varies) {
        std::string where = e.path + ":" + std::to_string(v.line) + ": vary " + varyTarget(v) + ": ";
        if ((v.kind == VaryEventTime || v.kind == VaryEventValue) && v.event > int(actions.size()))
            found.push_back(where + "the scenario " + path + " has " +
                            (actions.empty() ? std::string("no event")
                                             : std::to_string(actions.size()) +
                                                   (actions.size() == 1 ? " event" : " events")));
        else if (v.kind == VaryEventValue && !hasValue(actions[std::size_t(v.event - 1)]))
            found.push_back(where + "event " + std::to_string(v.event) + " (" +
                            actions[std::size_t(v.event - 1)] + ") has no value to vary; vary its time");
        else if (v.kind == VarySeed && !e.randomness)
            found.push_back(where + "the scenario " + path +
                            " draws no random numbers (no noise), so every seed would give the same run");
    }
    // Each value as the run's scenario reads it, the others at their first.
    if (found.empty()) {
        std::vector<std::string> first;
        for (const Vary& v : e.varies)
            first.push_back(v.values[0]);
        for (std::size_t k = 0; k < e.varies.size() && found.size() < 20; k++)
            for (const std::string& value : e.varies[k].values) {
                std::vector<std::string> values = first;
                values[k] = value;
                Scenario run;
                std::string why;
                if (!parseScenario(scenarioWith(e, values, e.randomness ? "1" : ""), "", run, why)) {
                    found.push_back(e.path + ":" + std::to_string(e.varies[k].line) + ": vary " +
                                    varyTarget(e.varies[k]) + " = " + value + ": " + reasonOf(why));
                    break;
                }
            }
    }
    if (found.empty())
        return 0;
    problem.clear();
    for (std::size_t k = 0; k < found.size(); k++)
        problem += (k ? "\n" : "") + found[k];
    return 2;
}

std::string runScenarioText(const Experiment& e, const RunPlan& run) {
    std::vector<std::string> values;
    for (std::size_t k = 0; k < e.varies.size(); k++)
        values.push_back(e.varies[k].values[std::size_t(run.choice[k])]);
    return scenarioWith(e, values, runSeed(e, run));
}
