// Words for the pictures' titles and legends.
#include "words.h"

#include "runs.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

struct Column {
    char letter;
    const char* words;
    const char* unit;
};

const Column Columns[] = {
    {'Z', "colour", ""},
    {'A', "desired speed", "mph"},
    {'B', "acceleration", "ft/s/s"},
    {'C', "following distance", "car lengths at the desired speed"},
    {'D', "start delay", "s"},
    {'E', "preferred lane", ""},
    {'F', "left-change policy", ""},
    {'G', "gap ahead to change left", "car lengths"},
    {'H', "gap behind to change left", "car lengths"},
    {'I', "right-change policy", ""},
    {'K', "gap ahead to change right", "car lengths"},
    {'L', "gap behind to change right", "car lengths"},
    {'M', "lane-change time", "s"},
    {'N', "cars", ""},
    {'P', "zone ahead", "car lengths"},
    {'Q', "zone behind", "car lengths"},
    {'R', "report", ""},
    {'1', "cars in lane 1", ""},
    {'2', "cars in lane 2", ""},
    {'3', "cars in lane 3", ""},
    {'4', "cars in lane 4", ""},
};

const Column& columnOf(char letter) {
    for (const Column& c : Columns)
        if (c.letter == letter)
            return c;
    static const Column unknown = {'?', "column", ""};
    return unknown;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ','))
        out.push_back(f);
    return out;
}

std::string trimmed(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return "";
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// What a policy code, as the reader stores it, does in that direction.
const char* policyWords(char column, long code) {
    if (column == 'F')
        code = code == 0 ? 11 : code == 1 ? 12 : code;
    else
        code = code == 1 ? 11 : code == 2 ? 12 : code == 3 ? 10 : code == 4 ? 14 : code;
    bool left = column == 'F';
    switch (code) {
    case 11: return left ? "left whenever the gaps allow" : "keep right";
    case 12: return left ? "left when held up" : "right when held up";
    case 13: return left ? "left when held up, 200 ft clear" : "right when held up, 200 ft clear";
    case 14: return left ? "never left" : "right for a car behind";
    case 15: return left ? "left at once, untested" : "never right";
    default: return left ? "never left" : "never right";
    }
}

}  // namespace

GroupNames readGroupNames(const std::string& path) {
    GroupNames names;
    std::string text;
    if (!readWholeFile(path, text))
        return names;
    std::istringstream in(text);
    std::string line;
    std::size_t nameColumn = std::string::npos;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> f = split(line);
        if (!line.empty() && line[0] == '#') {
            nameColumn = std::string::npos;
            for (std::size_t k = 0; k < f.size(); k++)
                if (!f[k].empty() && f[k][0] == 'W')
                    nameColumn = k;
            continue;
        }
        if (nameColumn >= f.size() || f.empty())
            continue;
        char* end = nullptr;
        long group = std::strtol(f[0].c_str(), &end, 10);
        std::string name = trimmed(f[nameColumn]);
        if (end != f[0].c_str() && group >= 0 && group < 50 && !name.empty())
            names[int(group)] = name.substr(0, 40);
    }
    return names;
}

std::string groupWords(int group, const GroupNames& names) {
    auto found = names.find(group);
    std::string number = "group " + std::to_string(group);
    return found == names.end() ? number : found->second + " (" + number + ")";
}

std::string varyWords(const Vary& v, const GroupNames& names) {
    switch (v.kind) {
    case VarySeed:
        return "seed";
    case VaryStartSpeed:
        return "start speed";
    case VaryEventTime:
        return "time of event " + std::to_string(v.event);
    case VaryEventValue:
        return "value of event " + std::to_string(v.event);
    default:
        break;
    }
    auto found = names.find(v.group);
    std::string what = columnOf(v.column).words;
    std::string column = (v.column >= '1' && v.column <= '4' ? "column " : "") + std::string(1, v.column);
    if (found == names.end())
        return what + " of group " + std::to_string(v.group) + " (" + column + ")";
    return what + " of " + found->second + " (group " + std::to_string(v.group) + ", " + column + ")";
}

std::string varyAxisWords(const Vary& v, const GroupNames& names) {
    if (v.kind != VaryColumn)
        return varyWords(v, names) + (v.kind == VaryStartSpeed ? ", mph" : "");
    std::string unit = columnOf(v.column).unit;
    return varyWords(v, names) + (unit.empty() ? "" : ", " + unit);
}

std::string valueWords(const Vary& v, const std::string& value) {
    if (v.kind != VaryColumn || (v.column != 'F' && v.column != 'I'))
        return value;
    return value + ": " + policyWords(v.column, std::strtol(value.c_str(), nullptr, 10));
}

std::string gnuplotSafe(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c < ' ' || c == '\'' || c == '"' || c == '\\' || c > '~')
            c = '_';
    return out;
}
