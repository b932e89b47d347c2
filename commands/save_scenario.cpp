// A session written as a scenario: the text, checked line by line with the
// scenario reader, and its writing.
#include "commands/save_scenario.h"

#include "commands/scenario_command.h"
#include "core/history.h"
#include "core/input_log.h"
#include "core/platform.h"
#include "core/scenario.h"
#include "core/world.h"
#include "files/groups.h"
#include "files/key_lines.h"
#include "files/scenario.h"

#include <cstdio>
#include <cstring>

namespace {

bool separator(char c) { return c == '/' || c == '\\'; }

// A path's root ("" relative, "/" or a drive "C:") and its parts.
std::string rootOf(const std::string& path, std::size_t* rest) {
    if (path.size() > 1 && path[1] == ':') {
        *rest = 2;
        return path.substr(0, 2);
    }
    *rest = 0;
    return !path.empty() && separator(path[0]) ? "/" : "";
}

std::vector<std::string> partsOf(const std::string& path, std::size_t from) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t k = from; k <= path.size(); k++) {
        if (k == path.size() || separator(path[k])) {
            if (!part.empty() && part != ".")
                parts.push_back(part);
            part.clear();
        } else {
            part += path[k];
        }
    }
    return parts;
}

bool driveRooted(const std::string& root) { return root.size() == 2; }

std::string joinedParts(const std::vector<std::string>& parts, std::size_t from) {
    std::string out;
    for (std::size_t k = from; k < parts.size(); k++)
        out += (k > from ? "/" : "") + parts[k];
    return out;
}

// Characters that would end the value or the line a scenario reads.
const char* breaksLine(const std::string& text) {
    if (text.find('#') != std::string::npos)
        return "'#', which starts a comment";
    for (char c : text)
        if (c == '\n' || c == '\r' || c == 0)
            return "a line end";
    return nullptr;
}

std::string inputAction(const Input& in) {
    char text[InputValueSize + 64];
    if (in.kind == InputZone)
        std::snprintf(text, sizeof text, "zone %s", in.on ? "on" : "off");
    else
        std::snprintf(text, sizeof text, "group %d %c = %s", in.group, in.column, in.value);
    return text;
}

// Whether the scenario reader takes the line as the window made it.
bool readerTakes(const std::string& line, std::string& problem) {
    Scenario probe;
    std::string why;
    if (parseScenario("groups = probe.csv\n" + line + "\n", "the line", probe, why))
        return true;
    const std::string prefix = "the line:2: ";
    problem = why.compare(0, prefix.size(), prefix) == 0 ? why.substr(prefix.size()) : why;
    return false;
}

bool setsCount(char column) { return column == 'N' || (column >= '1' && column <= '4'); }

std::string keyOf(int group, char column) { return "group " + std::to_string(group) + " " + column; }

// The key of a scenario's line ("group 3 A" of "group 3  A = 40").
std::string keyOfLine(const std::string& line) {
    std::string key, value, word, joined;
    if (!splitKeyValue(line, key, value))
        return "";
    for (char c : key + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                joined += (joined.empty() ? "" : " ") + word;
            word.clear();
        } else {
            word += c;
        }
    }
    return joined;
}

// The start an edit of a car count made: the groups' changes that held
// then, and every group's counts as placed, as group lines applied after
// the groups file. A column is set once in a scenario, so each is written
// with its last value, and `keys` gets the columns written, for the
// scenario's own lines of them to be left out.
std::string placedAfresh(const Scenario* opened, std::vector<std::string>& keys,
                         std::vector<std::string>& notes) {
    std::vector<std::string> lines;
    for (int k = 0; k < runStart.changeCount; k++) {
        const Input& in = startChange(k);
        const std::string line = inputAction(in);
        std::string problem;
        if (const char* what = breaksLine(line)) {
            notes.push_back("the start's " + line + " not written: it holds " + what);
            continue;
        }
        if (!readerTakes(line, problem)) {
            notes.push_back("the start's " + line + " not written: " + problem);
            continue;
        }
        const std::string key = keyOf(in.group, in.column);
        for (std::size_t j = 0; j < keys.size(); j++)
            if (keys[j] == key) {
                keys.erase(keys.begin() + long(j));
                lines.erase(lines.begin() + long(j));
                break;
            }
        keys.push_back(key);
        lines.push_back(line);
    }
    if (runStart.changesLost > 0)
        notes.push_back(std::to_string(runStart.changesLost) +
                        " changes of the groups before the cars were placed afresh were not kept");
    for (int g = 0; g < MaxGroups; g++) {
        bool named = reader.groupLine[g] > 0;
        for (int k = 0; k < 5; k++)
            named = named || runStart.counts[g][k] != 0;
        if (opened)
            for (const GroupOverride& o : opened->overrides)
                named = named || (o.group == g && setsCount(o.column));
        if (!named)
            continue;
        for (int k = 0; k < 5; k++) {
            const char column = k == 0 ? 'N' : char('0' + k);
            keys.push_back(keyOf(g, column));
            lines.push_back(keyOf(g, column) + " = " + std::to_string(runStart.counts[g][k]));
        }
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

}  // namespace

std::string relativeGroupsPath(const std::string& scenarioPath, const std::string& groupsPath) {
    std::size_t fromScenario, fromGroups;
    const std::string scenarioRoot = rootOf(scenarioPath, &fromScenario);
    const std::string groupsRoot = rootOf(groupsPath, &fromGroups);
    std::vector<std::string> scenarioParts = partsOf(scenarioPath, fromScenario);
    std::vector<std::string> groupsParts = partsOf(groupsPath, fromGroups);
    if (scenarioParts.empty() || groupsParts.empty())
        return "";
    if (scenarioRoot.empty() != groupsRoot.empty())
        return "";
    // Another drive: only the whole path names it.
    if (scenarioRoot != groupsRoot) {
        if (!driveRooted(groupsRoot))
            return "";
        return groupsRoot + "/" + joinedParts(groupsParts, 0);
    }
    scenarioParts.pop_back();           // the folders the scenario is in
    std::size_t common = 0;
    while (common < scenarioParts.size() && common + 1 < groupsParts.size() &&
           scenarioParts[common] == groupsParts[common])
        common++;
    std::string up;
    for (std::size_t k = common; k < scenarioParts.size(); k++) {
        if (scenarioParts[k] == "..")
            return "";                  // no name goes back down through it
        up += "../";
    }
    return up + joinedParts(groupsParts, common);
}

SessionScenario sessionScenario(const std::string& path) {
    SessionScenario out;
    if (!world.groupsPath[0]) {
        out.refusal = "the built-in groups have no groups file for a scenario to name; open one first";
        return out;
    }
    const std::string groups = relativeGroupsPath(path, world.groupsPath);
    if (groups.empty()) {
        out.refusal = std::string("the groups file ") + world.groupsPath +
                      " cannot be named from the scenario's folder";
        return out;
    }
    if (const char* what = breaksLine(groups)) {
        out.refusal = "the groups file's name " + groups + " holds " + what;
        return out;
    }
    const bool fromScenario = !openedScenarioPath().empty();
    const Scenario* opened = fromScenario ? &openedScenario() : nullptr;
    const int step = world.run.stepCount;

    std::string& t = out.text;
    t += "# What was done in the window, as a scenario: ombrane-batch runs it again\n";
    t += "groups = " + groups + "\n";
    std::vector<std::string> replaced;
    const std::string start = runStart.placedByEdit ? placedAfresh(opened, replaced, out.notes) : "";
    if (opened)
        for (const std::string& line : opened->settingTexts) {
            bool kept = true;
            for (const std::string& key : replaced)
                kept = kept && keyOfLine(line) != key;
            if (kept)
                t += line + "\n";
        }
    t += start;
    if (step > 0)
        t += "steps = " + std::to_string(step) + "\n";
    else
        out.notes.push_back("the run is at step 0, so no steps line: ombrane-batch runs its own number");

    // The events the scenario already has come after the inputs: at one
    // step, the window's inputs were made before the step fired its events.
    int room = MaxEvents - (opened ? int(opened->eventTexts.size()) : 0);
    std::vector<std::string> events;
    if (runStart.zone)
        events.push_back("at step 0 zone on");
    for (int k = 0; k < inputCount(); k++) {
        const Input& in = inputAt(k);
        const std::string line = "at step " + std::to_string(in.step) + " " + inputAction(in);
        std::string problem;
        if (const char* what = breaksLine(inputAction(in)))
            out.notes.push_back("step " + std::to_string(in.step) + ": " + inputAction(in) +
                                " not written: it holds " + what);
        else if (!readerTakes(line, problem))
            out.notes.push_back("step " + std::to_string(in.step) + ": " + inputAction(in) +
                                " not written: " + problem);
        else
            events.push_back(line);
    }
    if (int(events.size()) > room) {
        out.notes.push_back(std::to_string(events.size() - std::size_t(room < 0 ? 0 : room)) +
                            " inputs past the " + std::to_string(int(MaxEvents)) +
                            " events a scenario holds not written");
        events.resize(std::size_t(room < 0 ? 0 : room));
    }
    if (inputsNotKept() > 0)
        out.notes.push_back(std::to_string(inputsNotKept()) + " inputs past the first " +
                            std::to_string(int(MaxInputs)) + " were not kept");
    // ombrane-batch makes a report point wherever a tick starts at one; the
    // window may have passed some inside a tick or stopped between them.
    if (world.reportPeriod > 0 && step > 0) {
        const int due = (step - 1) / world.reportPeriod + 1;
        if (history.reportPoints != due)
            out.notes.push_back("the window made " + std::to_string(history.reportPoints) + " of the " +
                                std::to_string(due) +
                                " report points before this step (ticks did not start at the others); "
                                "ombrane-batch at multiplier 1 makes them all, so its report file differs");
    }
    for (const std::string& line : events)
        t += line + "\n";
    if (opened)
        for (const std::string& line : opened->eventTexts)
            t += line + "\n";
    return out;
}

int saveScenarioCommand(const char* path) {
    if (!isScenarioPath(path)) {
        ConsoleLog("Cannot save the scenario %s: its name must end in .scenario\r\n", path);
        return 0;
    }
    const SessionScenario s = sessionScenario(path);
    if (!s.refusal.empty()) {
        ConsoleLog("Cannot save the scenario %s: %s\r\n", path, s.refusal.c_str());
        return 0;
    }
    // Binary, so that every build writes the same bytes.
    std::FILE* file = std::fopen(path, "wb");
    bool written = file && std::fwrite(s.text.data(), 1, s.text.size(), file) == s.text.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written) {
        ConsoleLog("Cannot save the scenario %s: it cannot be written\r\n", path);
        return 0;
    }
    ConsoleLog("Saved scenario %s at step %d\r\n", path, world.run.stepCount);
    for (const std::string& note : s.notes)
        ConsoleLog("Not in the scenario: %s\r\n", note.c_str());
    return 1;
}
