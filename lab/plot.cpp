// The experiment's pictures. As with ombrane-batch --plot, the data and the
// gnuplot script of each picture are left beside it, so that a user can
// restyle a picture and run `gnuplot NAME.gp` in the folder.
#include "plot.h"

#include "runs.h"
#include "system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

namespace {

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

// Text for a gnuplot title: nothing it would read as a quote or escape.
std::string safe(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c < ' ' || c == '\'' || c == '"' || c == '\\' || c > '~')
            c = '_';
    return out;
}

std::string orNaN(const std::string& s) {
    return s.empty() ? "NaN" : s;
}

bool numeric(const std::string& s) {
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return !s.empty() && !*end;
}

// One `all` row of results.csv, as the pictures need it.
struct Point {
    std::string series;  // the other varied values, "0.F=10 1.A=60"
    std::string first;   // the first varied value (the run number without varies)
    std::string density, flow, speed;
    std::vector<std::string> groupSpeeds;
};

const char Terminal[] = "reset\nset terminal pngcairo noenhanced size %d,%d font 'sans,10'\n";

}  // namespace

int plotResults(const std::string& dir, const Experiment& e) {
    std::string text;
    if (!readWholeFile(dir + "/results.csv", text)) {
        std::fprintf(stderr, "ombrane-lab: cannot read %s/results.csv; run collect first\n",
                     dir.c_str());
        return 1;
    }
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> head = fields(line);
    std::size_t varies = e.varies.size();
    auto column = [&](const std::string& name) {
        for (std::size_t k = 0; k < head.size(); k++)
            if (head[k] == name)
                return k;
        return head.size();
    };
    std::size_t lane = column("lane"), density = column("density_vpmpl"), flow = column("flow_vph"),
                speed = column("space_mean_speed_mph");
    std::vector<std::size_t> groupColumns;
    std::vector<std::string> groupNames;
    for (std::size_t k = 0; k < head.size(); k++)
        if (head[k].size() >= 12 && head[k][0] == 'g' &&
            head[k].compare(head[k].size() - 10, 10, "_speed_mph") == 0) {
            groupColumns.push_back(k);
            groupNames.push_back(head[k].substr(1, head[k].size() - 11));
        }
    if (lane == head.size() || speed == head.size()) {
        std::fprintf(stderr, "ombrane-lab: %s/results.csv is not ombrane-lab's\n", dir.c_str());
        return 1;
    }

    std::vector<std::string> seriesNames;
    std::map<std::string, std::vector<Point>> series;
    bool firstNumeric = true;
    while (std::getline(in, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() != head.size() || f[lane] != "all")
            continue;
        Point p;
        p.first = varies ? f[1] : f[0];
        firstNumeric = firstNumeric && numeric(p.first);
        for (std::size_t k = 1; k < varies; k++)
            p.series += (p.series.empty() ? "" : " ") + head[k + 1] + "=" + f[k + 1];
        if (p.series.empty())
            p.series = varies ? "all runs" : "runs";
        p.density = orNaN(f[density]);
        p.flow = orNaN(f[flow]);
        p.speed = orNaN(f[speed]);
        for (std::size_t c : groupColumns)
            p.groupSpeeds.push_back(orNaN(f[c]));
        if (!series.count(p.series))
            seriesNames.push_back(p.series);
        series[p.series].push_back(p);
    }

    // One data block per series, two blank lines apart, for gnuplot's `index`.
    std::ostringstream data, groups;
    data << "# density_vpmpl flow_vph space_mean_speed_mph, one block per series\n";
    groups << "# first varied value (or index when it is not a number), then the mean speed of groups";
    for (const std::string& g : groupNames)
        groups << ' ' << g;
    groups << ", one block per series\n";
    std::map<std::string, int> positions;  // a non-numeric first value's place on the axis
    for (std::size_t s = 0; s < seriesNames.size(); s++) {
        for (const Point& p : series[seriesNames[s]]) {
            data << p.density << ' ' << p.flow << ' ' << p.speed << '\n';
            std::string x = p.first;
            if (!firstNumeric) {
                if (!positions.count(x))
                    positions.emplace(x, int(positions.size()));
                x = std::to_string(positions[x]) + " " + safe(p.first);
            }
            groups << x;
            for (const std::string& v : p.groupSpeeds)
                groups << ' ' << v;
            groups << '\n';
        }
        data << "\n\n";
        groups << "\n\n";
    }
    std::string title = varies ? "varying " + varyName(e.varies[0]) : "runs";
    // The folder's own name: the experiment file is the one kept inside it.
    std::string name = dir;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    name = safe(name.substr(name.rfind('/') + 1));
    std::ostringstream gp;
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, Terminal, 1400, 600);
    gp << "# The fundamental diagram (flow against density) and the speed-density\n"
          "# diagram, from the `all` rows of results.csv: per lane, averaged over the\n"
          "# four lanes. One series per combination of the varied values but the first.\n"
          "# Data: fundamental.dat.\n"
       << buffer << "set output 'fundamental.png'\n"
       << "set multiplot layout 1,2 title 'Experiment " << name << ": " << title << "'\n"
       << "set grid\nset key top right\nset xrange [0:*]\nset yrange [0:*]\n"
       << "set xlabel 'density (vehicles per mile per lane)'\n";
    auto plotAll = [&](const char* using_) {
        gp << "plot ";
        for (std::size_t s = 0; s < seriesNames.size(); s++)
            gp << (s ? ", \\\n     " : "") << "'fundamental.dat' index " << s << " using " << using_
               << " with linespoints pt 7 ps 0.8 lw 2 title '" << safe(seriesNames[s]) << "'";
        if (seriesNames.empty())
            gp << "[0:1][0:1] -1 notitle";
        gp << "\n";
    };
    gp << "set title 'Fundamental diagram'\nset ylabel 'flow (vehicles per hour per lane)'\n";
    plotAll("1:2");
    gp << "set title 'Speed against density'\nset ylabel 'space-mean speed (mph)'\n";
    plotAll("1:3");
    gp << "unset multiplot\n";

    std::ostringstream gg;
    std::snprintf(buffer, sizeof buffer, Terminal, 1100, 650);
    gg << "# Mean speed of each group against the first varied value, one line per\n"
          "# group and combination of the other varied values. Data: groups.dat.\n"
       << buffer << "set output 'groups.png'\n"
       << "set title 'Mean speed per group, experiment " << name << "'\n"
       << "set grid\nset key outside right top\nset yrange [0:*]\n"
       << "set xlabel '" << (varies ? varyName(e.varies[0]) : std::string("run")) << "'\n"
       << "set ylabel 'space-mean speed (mph)'\n";
    std::size_t firstColumn = firstNumeric ? 2 : 3;
    gg << "plot ";
    bool any = false;
    for (std::size_t s = 0; s < seriesNames.size(); s++)
        for (std::size_t g = 0; g < groupNames.size(); g++) {
            gg << (any ? ", \\\n     " : "") << "'groups.dat' index " << s << " using "
               << "1:" << firstColumn + g
               << (firstNumeric ? "" : ":xticlabels(2)") << " with linespoints lw 2 lc " << g + 1
               << " dt " << s + 1 << " title 'group " << groupNames[g]
               << (seriesNames.size() > 1 ? ", " + safe(seriesNames[s]) : std::string()) << "'";
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
