// The experiment's pictures. As with ombrane-batch --plot, the data and the
// gnuplot script of each picture are left beside it, so that a user can
// restyle a picture and run `gnuplot NAME.gp` in the folder.
#include "plot.h"

#include "runs.h"
#include "summary.h"
#include "system.h"
#include "words.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

namespace {

constexpr int Lanes = 4;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

bool numeric(const std::string& s) {
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return !s.empty() && !*end;
}

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

std::string figure(double value, bool known) {
    if (!known)
        return "NaN";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}

// One run's figures, in the picture's terms.
struct Point {
    std::string first;   // the first varied value (the run number without varies)
    std::string density, flow, speed;
    std::vector<std::string> groupSpeeds;
    std::string intervals;  // over seeds: the half-widths of density, flow and speed
};

std::string halfWidth(double half, bool known) { return figure(half < 0 ? 0 : half, known); }

// Each series' points of one first value (its seeds) as one: the means, and
// for the fundamental diagram the 95 % half-widths of density, flow and speed.
void meanOverSeeds(const std::vector<std::string>& names, std::map<std::string, std::vector<Point>>& series,
                   bool intervals) {
    for (const std::string& name : names) {
        std::vector<Point> merged;
        std::map<std::string, std::vector<const Point*>> byFirst;
        std::vector<std::string> order;
        for (const Point& p : series[name]) {
            if (!byFirst.count(p.first))
                order.push_back(p.first);
            byFirst[p.first].push_back(&p);
        }
        for (const std::string& first : order) {
            const std::vector<const Point*>& points = byFirst[first];
            Point m;
            m.first = first;
            auto over = [&](auto field, std::string* half) {
                std::vector<double> values;
                for (const Point* p : points) {
                    const std::string& v = field(*p);
                    if (v != "NaN" && !v.empty())
                        values.push_back(number(v));
                }
                double mean = 0, width = 0;
                bool known = meanAndInterval(values, &mean, &width);
                if (half)
                    *half += (half->empty() ? "" : " ") + halfWidth(width, known);
                return figure(mean, known);
            };
            if (intervals) {
                m.density = over([](const Point& p) -> const std::string& { return p.density; }, &m.intervals);
                m.flow = over([](const Point& p) -> const std::string& { return p.flow; }, &m.intervals);
                m.speed = over([](const Point& p) -> const std::string& { return p.speed; }, &m.intervals);
            }
            for (std::size_t g = 0; g < points[0]->groupSpeeds.size(); g++)
                m.groupSpeeds.push_back(over(
                    [g](const Point& p) -> const std::string& { return p.groupSpeeds[g]; }, nullptr));
            merged.push_back(m);
        }
        series[name] = merged;
    }
}

// The lanes of one run (index 0..3) and its all row, as read.
struct RunRows {
    std::string key;                      // run and repeat, as written
    std::vector<std::string> values;      // the varied values
    std::vector<std::string> lane[Lanes + 1];
};

const char Terminal[] = "reset\nset terminal pngcairo noenhanced size %d,%d font 'sans,10'\n";

// The checks that keep every field read inside its row: the header names the
// run, the experiment's varied columns in order and the lane columns, and
// every row is as wide as the header.
bool readTable(const std::string& dir, const Experiment& e, std::vector<std::string>& head,
               std::vector<std::vector<std::string>>& rows, std::string& problem) {
    std::string text;
    const std::string path = dir + "/results.csv";
    if (!readWholeFile(path, text)) {
        problem = "cannot read " + path + "; run collect first";
        return false;
    }
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line)) {
        problem = path + " is empty; run collect again";
        return false;
    }
    head = fields(line);
    std::vector<std::string> expected = {"run"};
    for (const std::string& name : leadColumns(e))
        expected.push_back(name);
    for (const std::string& c : fields(LaneResultColumns))
        expected.push_back(c);
    for (std::size_t k = 0; k < expected.size(); k++)
        if (k >= head.size() || head[k] != expected[k]) {
            problem = path + ":1: column " + std::to_string(k + 1) + " is '" +
                      (k < head.size() ? head[k] : std::string()) + "' where the experiment needs '" +
                      expected[k] + "'; run collect again";
            return false;
        }
    for (std::size_t k = expected.size(); k < head.size(); k++)
        if (head[k].size() < 12 || head[k][0] != 'g' ||
            head[k].compare(head[k].size() - 10, 10, "_speed_mph") != 0) {
            problem = path + ":1: unknown column '" + head[k] + "'";
            return false;
        }
    int number = 1;
    while (std::getline(in, line)) {
        number++;
        std::vector<std::string> f = fields(line);
        if (f.size() != head.size()) {
            problem = path + ":" + std::to_string(number) + ": " + std::to_string(f.size()) +
                      " fields where the header has " + std::to_string(head.size());
            return false;
        }
        rows.push_back(f);
    }
    return true;
}

}  // namespace

bool laneChoice(const std::string& text) {
    return text == "used" || text == "all" || text == "each" ||
           (text.size() == 1 && text[0] >= '1' && text[0] <= '4');
}

int plotResults(const std::string& dir, const Experiment& e, const std::string& lanes) {
    if (!laneChoice(lanes)) {
        std::fprintf(stderr, "ombrane-lab: --lane %s: not 1 to 4, all, used or each\n", lanes.c_str());
        return 2;
    }
    std::vector<std::string> head;
    std::vector<std::vector<std::string>> table;
    std::string problem;
    if (!readTable(dir, e, head, table, problem)) {
        std::fprintf(stderr, "ombrane-lab: %s\n", problem.c_str());
        return 1;
    }
    const std::size_t varies = e.varies.size();
    const std::size_t lead = 1 + leadColumns(e).size();   // run, values, seed or repeat
    const std::size_t lane = lead, cars = lead + 1, density = lead + 2, flow = lead + 3,
                      speed = lead + 4;
    const std::size_t groupFirst = lead + fields(LaneResultColumns).size();
    GroupNames names = readGroupNames(dir + "/base.csv");

    // The rows of each run, in file order.
    std::vector<RunRows> runs;
    bool held[Lanes] = {};
    for (std::size_t r = 0; r < table.size(); r++) {
        const std::vector<std::string>& f = table[r];
        int k = f[lane] == "all" ? Lanes : f[lane].size() == 1 ? f[lane][0] - '1' : -1;
        if (k < 0 || k > Lanes) {
            std::fprintf(stderr, "ombrane-lab: %s/results.csv:%zu: unknown lane '%s'\n", dir.c_str(),
                         r + 2, f[lane].c_str());
            return 1;
        }
        std::string key = f[0];
        if (runs.empty() || runs.back().key != key) {
            runs.push_back(RunRows{key, std::vector<std::string>(f.begin() + 1, f.begin() + 1 + long(varies)), {}});
        }
        runs.back().lane[k] = f;
        if (k < Lanes && number(f[cars]) > 0)
            held[k] = true;
    }
    // The lanes drawn: a lane, all (the whole road's rows), or the lanes that
    // held cars in any run, averaged per lane (used) or each its own (each).
    std::vector<int> drawn;
    if (lanes == "all")
        drawn.push_back(Lanes);
    else if (lanes == "used" || lanes == "each") {
        for (int k = 0; k < Lanes; k++)
            if (held[k])
                drawn.push_back(k);
    } else
        drawn.push_back(lanes[0] - '1');
    std::string laneWords;
    if (lanes == "all")
        laneWords = "all four lanes, per lane";
    else {
        for (std::size_t k = 0; k < drawn.size(); k++)
            laneWords += (k ? k + 1 == drawn.size() ? " and " : ", " : "") + std::to_string(drawn[k] + 1);
        laneWords = drawn.empty() ? "no lane held cars"
                  : (drawn.size() == 1 ? "lane " : "lanes ") + laneWords +
                        (lanes == "each" || drawn.size() == 1 ? "" : ", per lane");
    }

    std::vector<std::string> seriesNames;
    std::map<std::string, std::vector<Point>> series;
    std::vector<std::string> groupSeriesNames;
    std::map<std::string, std::vector<Point>> groupSeries;
    bool firstNumeric = true;
    auto add = [](std::vector<std::string>& order, std::map<std::string, std::vector<Point>>& to,
                  const std::string& name, const Point& p) {
        if (!to.count(name))
            order.push_back(name);
        to[name].push_back(p);
    };
    // The seed is no value of the curve: its runs are drawn as one point, the
    // mean, with the 95 % interval of the seeds as error bars.
    std::vector<std::size_t> shown;
    for (std::size_t k = 0; k < varies; k++)
        if (e.varies[k].kind != VarySeed)
            shown.push_back(k);
    const bool seeds = e.randomness && (e.repeat > 1 || shown.size() < varies);
    for (const RunRows& run : runs) {
        std::string others;
        for (std::size_t n = 1; n < shown.size(); n++) {
            std::size_t k = shown[n];
            if (!others.empty())
                others += "; ";
            others += varyWords(e.varies[k], names);
            others += " = ";
            others += valueWords(e.varies[k], run.values[k]);
        }
        Point p;
        p.first = !shown.empty() ? run.values[shown[0]] : seeds ? "1" : run.key;
        firstNumeric = firstNumeric && numeric(p.first);
        const std::vector<std::string>& all = run.lane[Lanes];
        for (std::size_t c = groupFirst; c < head.size(); c++)
            p.groupSpeeds.push_back(all.empty() || all[c].empty() ? "NaN" : all[c]);
        if (!all.empty())
            add(groupSeriesNames, groupSeries, others.empty() ? "all runs" : others, p);
        // Per lane over the lanes drawn: the means of density and flow, and
        // the speed weighted by density, which is what the lanes' cars drove.
        auto one = [&](const std::vector<int>& which, const std::string& name) {
            double k = 0, q = 0, kv = 0, kSpeed = 0;
            int count = 0;
            for (int l : which) {
                const std::vector<std::string>& f = run.lane[l];
                if (f.empty())
                    return;
                k += number(f[density]);
                q += number(f[flow]);
                if (!f[speed].empty()) {
                    kv += number(f[density]) * number(f[speed]);
                    kSpeed += number(f[density]);
                }
                count++;
            }
            Point point = p;
            point.density = figure(k / count, count > 0);
            point.flow = figure(q / count, count > 0);
            point.speed = figure(kv / kSpeed, kSpeed > 0);
            add(seriesNames, series, name, point);
        };
        std::string base = others.empty() ? "" : others;
        if (lanes == "each")
            for (int l : drawn)
                one({l}, (base.empty() ? "" : base + ", ") + "lane " + std::to_string(l + 1));
        else if (!drawn.empty())
            one(drawn, base.empty() ? (varies ? "all runs" : "runs") : base);
    }

    if (seeds) {
        meanOverSeeds(seriesNames, series, true);
        meanOverSeeds(groupSeriesNames, groupSeries, false);
    }
    // One data block per series, two blank lines apart, for gnuplot's `index`.
    std::ostringstream data, groups;
    data << "# density_vpmpl flow_vph space_mean_speed_mph of " << laneWords
         << ", one block per series\n";
    groups << "# first varied value (or index when it is not a number), then the mean speed of groups";
    for (std::size_t c = groupFirst; c < head.size(); c++)
        groups << ' ' << head[c].substr(1, head[c].size() - 11);
    groups << ", one block per series\n";
    std::map<std::string, int> positions;  // a non-numeric first value's place on the axis
    for (const std::string& name : seriesNames) {
        for (const Point& p : series[name])
            data << p.density << ' ' << p.flow << ' ' << p.speed
                 << (seeds ? ' ' + p.intervals : std::string()) << '\n';
        data << "\n\n";
    }
    for (const std::string& name : groupSeriesNames) {
        for (const Point& p : groupSeries[name]) {
            std::string x = p.first;
            if (!firstNumeric) {
                if (!positions.count(x))
                    positions.emplace(x, int(positions.size()));
                x = std::to_string(positions[x]) + " " + gnuplotSafe(p.first);
            }
            groups << x;
            for (const std::string& v : p.groupSpeeds)
                groups << ' ' << v;
            groups << '\n';
        }
        groups << "\n\n";
    }
    std::string varied = !shown.empty() ? varyWords(e.varies[shown[0]], names) : "run";
    std::string title = !shown.empty() ? "varying " + varied : "runs";
    if (seeds)
        title += ", means over the seeds with their 95 % intervals";
    // The folder's own name: the experiment file is the one kept inside it.
    std::string name = dir;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    name = gnuplotSafe(name.substr(name.rfind('/') + 1));
    std::ostringstream gp;
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, Terminal, 1400, 650);
    gp << "# The fundamental diagram (flow against density) and the speed-density\n"
          "# diagram from results.csv, of "
       << laneWords
       << ". One series per combination of the varied values but the first.\n"
          "# Data: fundamental.dat. Redraw other lanes with ombrane-lab plot DIR --lane.\n"
       << buffer << "set output 'fundamental.png'\n"
       << "set multiplot layout 1,2 title \"Experiment " << name << ": " << gnuplotSafe(title)
       << "\\n" << gnuplotSafe(laneWords) << "\"\n"
       << "set grid\nset xrange [0:*]\nset yrange [0:*]\n"
       << "set xlabel 'density (vehicles per mile per lane)'\n";
    auto plotAll = [&](const char* using_) {
        gp << "plot ";
        for (std::size_t s = 0; s < seriesNames.size(); s++) {
            gp << (s ? ", \\\n     " : "") << "'fundamental.dat' index " << s << " using " << using_
               << " with linespoints pt 7 ps 0.8 lw 2"
               << (seeds ? " lc " + std::to_string(s + 1) : std::string()) << " title '"
               << gnuplotSafe(seriesNames[s]) << "'";
            // x: density, then flow or speed, each with its interval.
            if (seeds)
                gp << ", \\\n     'fundamental.dat' index " << s << " using "
                   << (std::string(using_) == "1:2" ? "1:2:4:5" : "1:3:4:6")
                   << " with xyerrorbars pt 7 ps 0.8 lc " << s + 1 << " notitle";
        }
        if (seriesNames.empty())
            gp << "[0:1][0:1] -1 notitle";
        gp << "\n";
    };
    if (seriesNames.empty())
        gp << "set label 1 '" << (drawn.empty() ? "no lane held cars" : "no finished run")
           << "' at graph 0.5, 0.5 center\n";
    // Where the curves are not: flow is low at low density, speed high.
    gp << "set title 'Fundamental diagram'\nset ylabel 'flow (vehicles per hour per lane)'\n"
          "set key top left\n";
    plotAll("1:2");
    gp << "set title 'Speed against density'\nset ylabel 'space-mean speed (mph)'\n"
          "set key bottom left\n";
    plotAll("1:3");
    gp << "unset multiplot\n";

    std::ostringstream gg;
    std::snprintf(buffer, sizeof buffer, Terminal, 1200, 750);
    gg << "# Mean speed of each group against the first varied value, one line per\n"
          "# group and combination of the other varied values. Data: groups.dat.\n"
       << buffer << "set output 'groups.png'\n"
       << "set title 'Mean speed of each group, experiment " << name << "'\n"
       << "set grid\nset key below left Left reverse\nset yrange [0:*]\n"
       << "set xlabel '" << gnuplotSafe(varies ? varyAxisWords(e.varies[0], names) : varied)
       << "'\nset ylabel 'space-mean speed (mph)'\n";
    std::size_t firstColumn = firstNumeric ? 2 : 3;
    gg << "plot ";
    bool any = false;
    for (std::size_t s = 0; s < groupSeriesNames.size(); s++)
        for (std::size_t c = groupFirst; c < head.size(); c++) {
            std::size_t g = c - groupFirst;
            int group = std::atoi(head[c].c_str() + 1);
            gg << (any ? ", \\\n     " : "") << "'groups.dat' index " << s << " using "
               << "1:" << firstColumn + g << (firstNumeric ? "" : ":xticlabels(2)")
               << " with linespoints lw 2 lc " << g + 1 << " dt " << s + 1 << " title '"
               << gnuplotSafe(groupWords(group, names))
               << (groupSeriesNames.size() > 1 ? ", " + gnuplotSafe(groupSeriesNames[s]) : std::string())
               << "'";
            any = true;
        }
    if (!any)
        gg << "[0:1][0:1] -1 notitle";
    gg << "\n";

    if (!writeFileAtomic(dir + "/fundamental.dat", data.str()) ||
        !writeFileAtomic(dir + "/fundamental.gp", gp.str()) ||
        !writeFileAtomic(dir + "/groups.dat", groups.str()) ||
        !writeFileAtomic(dir + "/groups.gp", gg.str())) {
        std::fprintf(stderr, "ombrane-lab: cannot write into %s: %s\n", dir.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "ombrane-lab: drawing the pictures of %s with gnuplot\n", dir.c_str());
    static const char* const scripts[] = {"fundamental.gp", "groups.gp"};
    if (!runGnuplotIn(dir.c_str(), scripts, 2)) {
        std::fprintf(stderr,
                     "ombrane-lab: gnuplot could not draw the pictures in %s (see %s/gnuplot.log;"
                     " Debian's gnuplot-nox provides it)\n",
                     dir.c_str(), dir.c_str());
        return 1;
    }
    std::printf("%s/fundamental.png, %s/groups.png\n", dir.c_str(), dir.c_str());
    return 0;
}
