// Averaging a run's measures over its measured time, and joining the runs.
// Everything is formatted with fixed decimals from the runs' own files, so
// two folders of the same experiment give the same bytes.
#include "summary.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

const char LaneResultColumns[] =
    "lane,cars,density_vpmpl,flow_vph,space_mean_speed_mph,time_mean_speed_mph,stopped_cars,"
    "jams,lane_changes_ph";
const char GroupResultColumns[] =
    "group,cars,space_mean_speed_mph,stopped_cars,lane_changes_ph,distance_mi";

namespace {

constexpr int StepsPerSecond = 16;
constexpr int LaneRows = 5;  // lanes 1 to 4, then all

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ','))
        out.push_back(f);
    if (!line.empty() && line.back() == ',')
        out.push_back("");
    return out;
}

double number(const std::string& s) {
    return s.empty() ? 0.0 : std::strtod(s.c_str(), nullptr);
}

// A period counts when it starts at or after the warm-up: its end step, read
// back from the seconds written with ten significant digits, less one period.
bool measured(const std::string& time, const Experiment& e) {
    long long end = std::llround(number(time) * StepsPerSecond);
    return end - e.period >= e.warmup;
}

struct Sums {
    double cars = 0, density = 0, flow = 0, stopped = 0, jams = 0, changes = 0, distance = 0;
    double speedWeighted = 0, speedWeight = 0;  // space-mean: weighted by cars
    double passWeighted = 0, passWeight = 0;    // time-mean: weighted by flow
};

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    // "-0.000" and "0.000" are the same figure; write it one way.
    if (std::string(buffer).find_first_not_of("-0.") == std::string::npos && buffer[0] == '-')
        return buffer + 1;
    return buffer;
}

std::string mean(double weighted, double weight) {
    return weight > 0 ? fixed(weighted / weight, 3) : "";
}

bool numberOrEmpty(const std::string& s) {
    if (s.empty())
        return true;
    char* end = nullptr;
    double value = std::strtod(s.c_str(), &end);
    return *end == 0 && std::isfinite(value) && s.find_first_of(" \t") == std::string::npos;
}

// One result file: the header, then rows of the header's width. rows: how
// many there must be, or -1 for any number.
bool checkTable(const std::string& text, const char* name, const char* header, int rows,
                bool groupColumn, std::string& problem) {
    std::string expected = std::string(header) + "\n";
    if (text.compare(0, expected.size(), expected) != 0) {
        problem = std::string(name) + (text.empty() ? " is empty" : ": its header is not " + std::string(header));
        return false;
    }
    if (text.back() != '\n') {
        problem = std::string(name) + ": its last line is cut short";
        return false;
    }
    std::size_t width = fields(header).size();
    std::istringstream in(text.substr(expected.size()));
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        count++;
        std::string where = std::string(name) + ": line " + std::to_string(count + 1);
        std::vector<std::string> f = fields(line);
        if (f.size() != width) {
            problem = where + " has " + std::to_string(f.size()) + " fields, not " + std::to_string(width);
            return false;
        }
        char* end = nullptr;
        long group = std::strtol(f[0].c_str(), &end, 10);
        if (f[0].empty() || (groupColumn && (*end || group < 0 || group > 49))) {
            problem = where + ": '" + f[0] + "' is not a " + (groupColumn ? "group" : "lane");
            return false;
        }
        for (std::size_t k = 1; k < f.size(); k++)
            if (!numberOrEmpty(f[k])) {
                problem = where + ": '" + f[k] + "' is not a number";
                return false;
            }
    }
    if (rows >= 0 && count != rows) {
        problem = std::string(name) + ": " + std::to_string(count) + " rows, not " + std::to_string(rows);
        return false;
    }
    return true;
}

}  // namespace

bool checkRunResult(const std::string& laneText, const std::string& groupText, std::string& problem) {
    return checkTable(laneText, "result.csv", LaneResultColumns, LaneRows, false, problem) &&
           checkTable(groupText, "result-groups.csv", GroupResultColumns, -1, true, problem);
}

bool summarizeRun(const std::string& measuresText, const std::string& groupMeasuresText,
                  const Experiment& e, std::string& laneRows, std::string& groupRows,
                  std::string& problem) {
    Sums lanes[LaneRows];
    long periods = 0;
    std::istringstream in(measuresText);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() != 10) {
            problem = "measures.csv: a row without its 10 fields";
            return false;
        }
        if (!measured(f[0], e))
            continue;
        int k = f[1] == "all" ? 4 : std::atoi(f[1].c_str()) - 1;
        if (k < 0 || k >= LaneRows || (k < 4 && f[1] != std::to_string(k + 1))) {
            problem = "measures.csv: unknown lane " + f[1];
            return false;
        }
        Sums& s = lanes[k];
        double cars = number(f[2]), flow = number(f[4]);
        s.cars += cars;
        s.density += number(f[3]);
        s.flow += flow;
        if (!f[5].empty()) {
            s.speedWeighted += cars * number(f[5]);
            s.speedWeight += cars;
        }
        if (!f[6].empty()) {
            s.passWeighted += flow * number(f[6]);
            s.passWeight += flow;
        }
        s.stopped += number(f[7]);
        s.jams += number(f[8]);
        s.changes += number(f[9]);
        periods += k == 4;
    }
    if (periods == 0) {
        problem = "measures.csv holds no period after the warm-up";
        return false;
    }
    double hours = double(periods) * double(e.period) / StepsPerSecond / 3600.0;
    std::ostringstream out;
    for (int k = 0; k < LaneRows; k++) {
        const Sums& s = lanes[k];
        double n = double(periods);
        out << (k < 4 ? std::to_string(k + 1) : "all") << ',' << fixed(s.cars / n, 3) << ','
            << fixed(s.density / n, 3) << ',' << fixed(s.flow / n, 1) << ','
            << mean(s.speedWeighted, s.speedWeight) << ',' << mean(s.passWeighted, s.passWeight)
            << ',' << fixed(s.stopped / n, 3) << ',' << fixed(s.jams / n, 3) << ','
            << fixed(s.changes / hours, 1) << '\n';
    }
    laneRows = out.str();

    std::map<int, Sums> groups;
    std::istringstream gin(groupMeasuresText);
    std::getline(gin, line);
    while (std::getline(gin, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() != 7) {
            problem = "group-measures.csv: a row without its 7 fields";
            return false;
        }
        if (!measured(f[0], e))
            continue;
        Sums& s = groups[std::atoi(f[1].c_str())];
        double cars = number(f[2]);
        s.cars += cars;
        if (!f[3].empty()) {
            s.speedWeighted += cars * number(f[3]);
            s.speedWeight += cars;
        }
        s.stopped += number(f[4]);
        s.changes += number(f[5]);
        s.distance += number(f[6]);
    }
    std::ostringstream gout;
    for (const auto& [group, s] : groups) {
        double n = double(periods);
        gout << group << ',' << fixed(s.cars / n, 3) << ',' << mean(s.speedWeighted, s.speedWeight)
             << ',' << fixed(s.stopped / n, 3) << ',' << fixed(s.changes / hours, 1) << ','
             << fixed(s.distance, 3) << '\n';
    }
    groupRows = gout.str();
    return true;
}

bool useSections(const std::string& sectionsText, const Experiment& e, std::string& laneRows,
                 std::string& problem) {
    double miles[LaneRows] = {}, hours[LaneRows] = {};
    double area = 0;  // lane-miles x hours of one lane: sum of length x period
    std::istringstream in(sectionsText);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() != 8) {
            problem = "sections.csv: a row without its 8 fields";
            return false;
        }
        if (!measured(f[0], e))
            continue;
        int k = f[2] == "all" ? 4 : std::atoi(f[2].c_str()) - 1;
        double length = sectionLength(f[1]);
        if (k < 0 || k >= LaneRows || length <= 0) {
            problem = "sections.csv: unknown lane or section in '" + line + "'";
            return false;
        }
        miles[k] += number(f[6]);
        hours[k] += number(f[7]);
        if (k == 4)
            area += length / 5280.0 * double(e.period) / StepsPerSecond / 3600.0;
    }
    if (area <= 0) {
        problem = "sections.csv holds no period after the warm-up";
        return false;
    }
    std::istringstream rows(laneRows);
    std::ostringstream out;
    for (int k = 0; std::getline(rows, line) && k < LaneRows; k++) {
        std::vector<std::string> f = fields(line);
        if (f.size() != 9) {
            problem = "result: a row without its 9 fields";
            return false;
        }
        // The all row is per lane, as in the measures.
        double lanes = k < 4 ? 1 : 4;
        double perLane = 1 / (lanes * area);
        f[2] = fixed(hours[k] * perLane, 3);
        f[3] = fixed(miles[k] * perLane, 1);
        f[4] = hours[k] > 0 ? fixed(miles[k] / hours[k], 3) : "";
        for (std::size_t c = 0; c < f.size(); c++)
            out << (c ? "," : "") << f[c];
        out << '\n';
    }
    laneRows = out.str();
    return true;
}

void buildResults(const Experiment& e, const std::vector<std::string>& laneRows,
                  const std::vector<std::string>& groupRows, std::string& results,
                  std::string& resultsGroups) {
    std::vector<RunPlan> plans = planRuns(e);
    std::string head = "run";
    for (const std::string& name : leadColumns(e))
        head += "," + name;

    // Each finished run's group speeds, and every group seen in any of them.
    std::vector<std::map<int, std::string>> speeds(plans.size());
    std::map<int, bool> seen;
    for (std::size_t r = 0; r < plans.size() && r < groupRows.size(); r++) {
        std::istringstream in(groupRows[r]);
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> f = fields(line);
            if (f.size() < 3)
                continue;
            int g = std::atoi(f[0].c_str());
            speeds[r][g] = f[2];
            seen[g] = true;
        }
    }

    std::ostringstream out, gout;
    out << head << ',' << LaneResultColumns;
    for (const auto& entry : seen)
        out << ",g" << entry.first << "_speed_mph";
    out << '\n';
    gout << head << ',' << GroupResultColumns << '\n';
    for (std::size_t r = 0; r < plans.size() && r < laneRows.size(); r++) {
        if (laneRows[r].empty())
            continue;
        std::string prefix = std::to_string(plans[r].number);
        for (const std::string& value : leadValues(e, plans[r]))
            prefix += "," + value;
        std::istringstream in(laneRows[r]);
        std::string line;
        while (std::getline(in, line)) {
            out << prefix << ',' << line;
            bool all = line.compare(0, 4, "all,") == 0;
            for (const auto& entry : seen) {
                out << ',';
                auto found = speeds[r].find(entry.first);
                if (all && found != speeds[r].end())
                    out << found->second;
            }
            out << '\n';
        }
        std::istringstream gin(r < groupRows.size() ? groupRows[r] : "");
        while (std::getline(gin, line))
            gout << prefix << ',' << line << '\n';
    }
    results = out.str();
    resultsGroups = gout.str();
}

double studentT975(int degrees) {
    // The two-sided 95 % points of Student's t; between the rows, the row of
    // fewer degrees, which gives the wider interval.
    static const double Table[] = {0,      12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365,
                                   2.306,  2.262,  2.228, 2.201, 2.179, 2.160, 2.145, 2.131,
                                   2.120,  2.110,  2.101, 2.093, 2.086, 2.080, 2.074, 2.069,
                                   2.064,  2.060,  2.056, 2.052, 2.048, 2.045, 2.042};
    if (degrees < 1)
        return 0;
    if (degrees <= 30)
        return Table[degrees];
    if (degrees < 40)
        return 2.042;
    if (degrees < 60)
        return 2.021;
    if (degrees < 120)
        return 2.000;
    return degrees < 1000 ? 1.980 : 1.960;
}

bool meanAndInterval(const std::vector<double>& values, double* mean, double* half) {
    if (values.empty())
        return false;
    double sum = 0;
    for (double v : values)
        sum += v;
    *mean = sum / double(values.size());
    if (values.size() < 2) {
        *half = -1;
        return true;
    }
    double squares = 0;
    for (double v : values)
        squares += (v - *mean) * (v - *mean);
    double n = double(values.size());
    *half = studentT975(int(values.size()) - 1) * std::sqrt(squares / (n - 1)) / std::sqrt(n);
    return true;
}

std::string buildSummary(const Experiment& e, const std::string& results) {
    std::istringstream in(results);
    std::string line;
    if (!std::getline(in, line))
        return "";
    std::vector<std::string> head = fields(line);
    const std::vector<std::string> lead = leadColumns(e);
    const int seed = seedVary(e);
    // The columns that make a combination: the varied values but the seed.
    std::vector<std::size_t> keyColumns;
    for (std::size_t k = 0; k < e.varies.size(); k++)
        if (int(k) != seed)
            keyColumns.push_back(1 + k);
    const std::size_t laneColumn = 1 + lead.size();
    const std::size_t firstMeasure = laneColumn + 1;

    struct Cell {
        std::vector<std::string> key;
        std::vector<std::vector<double>> values;  // per measure
        int runs = 0;
    };
    std::vector<Cell> cells;
    std::map<std::vector<std::string>, std::size_t> where;
    while (std::getline(in, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() != head.size())
            continue;
        std::vector<std::string> key;
        for (std::size_t c : keyColumns)
            key.push_back(f[c]);
        key.push_back(f[laneColumn]);
        auto found = where.find(key);
        if (found == where.end()) {
            found = where.emplace(key, cells.size()).first;
            cells.push_back(Cell{key, std::vector<std::vector<double>>(head.size() - firstMeasure), 0});
        }
        Cell& cell = cells[found->second];
        cell.runs++;
        for (std::size_t c = firstMeasure; c < head.size(); c++)
            if (!f[c].empty())
                cell.values[c - firstMeasure].push_back(number(f[c]));
    }
    std::ostringstream out;
    for (std::size_t c : keyColumns)
        out << head[c] << ',';
    out << "lane,runs";
    for (std::size_t c = firstMeasure; c < head.size(); c++)
        out << ',' << head[c] << "_mean," << head[c] << "_ci95";
    out << '\n';
    for (const Cell& cell : cells) {
        for (const std::string& k : cell.key)
            out << k << ',';
        out << cell.runs;
        for (const std::vector<double>& values : cell.values) {
            double mean, half;
            char buffer[64] = "";
            out << ',';
            if (!meanAndInterval(values, &mean, &half)) {
                out << ',';
                continue;
            }
            std::snprintf(buffer, sizeof buffer, "%.4f", mean);
            out << buffer << ',';
            if (half >= 0) {
                std::snprintf(buffer, sizeof buffer, "%.4f", half);
                out << buffer;
            }
        }
        out << '\n';
    }
    return out.str();
}
