// Judging a base and its varied values with the groups-file reader that the
// runs use (files/groups.cpp), in this process and on the same bytes.
#include "base_check.h"

#include "core/sim.h"
#include "core/world.h"
#include "files/groups.h"

#include <cstdio>
#include <set>
#include <vector>

namespace {

std::vector<std::string>* heard = nullptr;
bool textOnly = false;  // the caller names the place itself

void hear(const char* path, int line, const char* text) {
    if (!heard)
        return;
    if (textOnly)
        heard->push_back(text);
    else
        heard->push_back(std::string(path) + (line > 0 ? ":" + std::to_string(line) : "") + ": " + text);
}

// The world as ombrane-batch has it when it opens the groups file: the
// built-in groups, whose cars the first tick has placed.
void startAsBatch(const Experiment& e) {
    resetWorld(e.legacy ? LegacyEdition : CurrentEdition);
    resetReader();
    loadDefaultGroups();
    for (Group& g : world.groups) {
        g.carCount = 0;
        for (int& count : g.laneCount)
            count = 0;
    }
}

// Reads text as the run's ombrane-batch reads its groups file; false when
// the reader stops before the end or finds no group.
bool readText(const std::string& text, const std::string& name, std::vector<std::string>& out) {
    // fmemopen refuses a buffer of size 0; an empty base reads as an empty file.
    std::string bytes = text.empty() ? std::string(1, '\0') : text;
    std::FILE* file = ::fmemopen(bytes.data(), text.empty() ? 0 : bytes.size(), "rb");
    if (!file)
        file = std::tmpfile();
    if (!file) {
        out.push_back(name + ": cannot be read");
        return false;
    }
    readGroupsStream(file, name.c_str());
    std::fclose(file);
    if (world.groupRowsRead > 0 && !world.errorText[0])
        return true;
    std::string where = reader.errorLine > 0 ? ":" + std::to_string(reader.errorLine) : "";
    out.push_back(name + where + ": " + world.errorText +
                  (world.groupRowsRead > 0 ? " (the runs would read only the rows before it)" : ""));
    return false;
}

bool countColumn(char c) { return c == 'N' || (c >= '1' && c <= '4'); }

std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t k = 0; k < lines.size(); k++)
        out += (k ? "\n" : "") + lines[k];
    return out;
}

}  // namespace

int checkWithReader(const Experiment& e, const std::string& baseText, std::string& problem,
                    const std::string& givenName) {
    std::vector<std::string> found;
    heard = &found;
    setGroupsWarningSink(hear);
    const std::string baseName = givenName.empty() ? basePathOf(e) : givenName;
    startAsBatch(e);
    bool read = readText(baseText, baseName, found);

    std::vector<int> setBy(reader.groupLine, reader.groupLine + MaxGroups);
    for (const Vary& v : e.varies) {
        if (v.kind != VaryColumn)
            continue;
        std::string where = e.path + ":" + std::to_string(v.line) + ": vary " + varyName(v) + ": ";
        for (const std::string& value : v.values) {
            char why[200];
            if (!readsAsWritten(v.column, value.c_str(), why, sizeof why))
                found.push_back(where + "the runs would not read it as written: " + why);
        }
        if (read && !e.builtInDefaults && setBy[std::size_t(v.group)] == 0)
            found.push_back(where + "the base " + baseName + " does not set group " +
                            std::to_string(v.group) +
                            ", so its other columns would be the built-in group's; set it in the "
                            "base, or write defaults = built-in");
    }

    // Whether the cars fit the road depends on the counts only: each
    // combination of varied counts is read once, base and all.
    if (read && found.empty()) {
        std::set<std::vector<int>> seen;
        for (const RunPlan& run : planRuns(e)) {
            std::vector<int> counts;
            std::string values;
            int line = 0;
            for (std::size_t k = 0; k < e.varies.size(); k++)
                if (e.varies[k].kind == VaryColumn && countColumn(e.varies[k].column)) {
                    counts.push_back(run.choice[k]);
                    values += (values.empty() ? "" : ", ") + varyName(e.varies[k]) + " = " +
                              e.varies[k].values[std::size_t(run.choice[k])];
                    line = line ? line : e.varies[k].line;
                }
            if (!seen.insert(counts).second)
                continue;
            std::vector<std::string> placement;
            heard = &placement;
            textOnly = !values.empty();
            startAsBatch(e);
            std::string runName = values.empty() ? baseName : "run " + std::to_string(run.number);
            if (readText(runGroupsText(baseText, e, run), runName, placement))
                warnOfPlacement(runName.c_str());
            for (const std::string& text : placement)
                found.push_back(values.empty() ? text
                                               : e.path + ":" + std::to_string(line) + ": with " + values +
                                                     ": " + text);
            heard = &found;
            textOnly = false;
            if (found.size() >= 20)
                break;
        }
    }
    setGroupsWarningSink(nullptr);
    heard = nullptr;
    if (found.empty())
        return 0;
    problem = join(found);
    return 2;
}
