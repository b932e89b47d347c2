// The pictures of --plot. The run fills the data files; afterwards a gnuplot
// script is written beside each picture and gnuplot renders them, so that a
// user can restyle a picture by editing its script and running `gnuplot
// NAME.gp` in the folder.
//
// The space-time picture must stay quick to draw however long and dense the
// run: a lane whose cars can be told apart is drawn as their trajectories,
// from the thinned dots; a crowded lane as an image of the mean speed in
// cells of time and road, binned during the run into a grid reserved before
// it (so an hour of the busy road is a few hundred thousand cells, not
// millions of dots).
#include "plots.h"

#include "core/measures.h"
#include "core/sim.h"
#include "files/groups.h"

#include "system.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr long DotBudget = 1500000;     // space-time dots in the data file, at most
constexpr int PlotPathSize = 1024;
constexpr int TimeCells = 600;          // columns of a lane's speed image, at most
constexpr int RoadCells = 352;          // rows: 60 ft each on the four-mile ring
constexpr int LineCars = 40;            // a lane with more cars at once is drawn as an image
constexpr int MaxZoneSpans = 64;        // the zone's times on and off, shaded

struct Cell {
    float speedSum;
    int   count;
};

struct Plots {
    char dir[PlotPathSize];
    std::FILE* spaceTime;               // time_s lane car position_mi speed_mph
    std::FILE* speeds;                  // time_s overall, then each reported group
    std::FILE* lanes;                   // time_s, flow_vph of lanes 1..4, density_vpmpl of lanes 1..4
    long dotEvery;                      // steps between space-time dots
    long cellEvery;                     // steps between samples of the speed image
    long cellSteps;                     // steps per column of the speed image
    int  timeCells;                     // columns in use
    int  speedRows, laneRows;
    float fastest;                      // mph, of every car seen
    int  lastDotStep;                   // step of the last dots, -1 none
    int  lastCellStep;                  // step of the last cell sample, -1 none
    int  mostCars[LaneTotal];           // most cars in the lane at one sample
    int  laneHeldCars[LaneTotal];       // flag: a measuring period saw cars in it
    int  zoneSpans;                     // zone on from zoneFrom[k] to zoneTo[k] (s)
    double zoneFrom[MaxZoneSpans], zoneTo[MaxZoneSpans];
    int  zoneOn;                        // flag, at the last step seen
    std::vector<Cell> cells;            // lane, then column, then row; reserved before the run
} plots;

bool pathIn(char* out, const char* name) {
    int n = std::snprintf(out, PlotPathSize, "%s/%s", plots.dir, name);
    return n > 0 && n < PlotPathSize;
}

std::FILE* openIn(const char* name, const char* mode = "wb") {
    char path[PlotPathSize];
    if (!pathIn(path, name)) {
        std::fprintf(stderr, "ombrane-batch: the --plot folder name is too long\n");
        return nullptr;
    }
    std::FILE* f = std::fopen(path, mode);
    if (!f)
        std::fprintf(stderr, "ombrane-batch: cannot %s %s: %s\n", mode[0] == 'r' ? "read" : "write",
                     path, std::strerror(errno));
    return f;
}

bool closeData(std::FILE*& f, const char* name) {
    bool ok = f && !std::ferror(f);
    if (f && std::fclose(f) != 0)
        ok = false;
    f = nullptr;
    if (!ok)
        std::fprintf(stderr, "ombrane-batch: writing %s/%s failed\n", plots.dir, name);
    return ok;
}

// A colour of the window (COLORREF: red in the low byte) as gnuplot writes it.
void rgbOf(int colour, char* out, int size) {
    if (colour < 0)
        colour = 0x808080;
    std::snprintf(out, size_t(size), "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
}

// Text for a gnuplot title, with nothing it would read as a quote.
const char* safe(const char* source, char* out, int size) {
    int n = 0;
    for (; source[n] && n < size - 1; n++) {
        char c = source[n];
        out[n] = (c < ' ' || c == '\'' || c == '"' || c == '\\' || c > '~') ? '_' : c;
    }
    out[n] = 0;
    return out;
}

// The run's name for titles.
const char* runName() {
    static char name[96];
    return safe(world.groupsName[0] ? world.groupsName : "built-in groups", name, sizeof name);
}

// "Trucks (group 1)" when the groups file names the group in column W.
const char* groupTitle(int g) {
    static char title[96];
    char name[GroupNameSize];
    if (groupNames[g][0])
        std::snprintf(title, sizeof title, "%s (group %d)", safe(groupNames[g], name, sizeof name), g);
    else
        std::snprintf(title, sizeof title, "group %d", g);
    return title;
}

const char* laneTitle(int lane) {
    static char title[32];
    std::snprintf(title, sizeof title, "lane %d%s", lane + 1,
                  lane == 0 ? " (right)" : lane == LaneTotal - 1 ? " (left)" : "");
    return title;
}

// Each script starts from gnuplot's defaults: one gnuplot runs all three.
const char Terminal[] = "reset\nset terminal pngcairo noenhanced size %d,%d font 'sans,10'\n";
// Simulated time as minutes and seconds.
const char TimeAxis[] = "set xlabel 'time (min:s)'\nset xtics time format '%tM:%02.0tS'\n";

double secondsOf(long step) { return double(step) / world.stepsPerSecond; }

// The times the zone was on, behind what a panel draws: over its stretch of
// road where the panel's height is the road, over the whole height elsewhere.
void writeZone(std::FILE* f, bool stretch) {
    const double from = 7.25 * world.rowLength / 5280, to = 7.75 * world.rowLength / 5280;
    for (int k = 0; k < plots.zoneSpans; k++) {
        if (stretch)
            std::fprintf(f, "set object %d rect from %g,%g to %g,%g", k + 1, plots.zoneFrom[k], from,
                         plots.zoneTo[k], to);
        else
            std::fprintf(f, "set object %d rect from %g,graph 0 to %g,graph 1", k + 1,
                         plots.zoneFrom[k], plots.zoneTo[k]);
        // The stretch is drawn over the speeds: behind them it was hidden
        // wherever cars drove through the zone.
        std::fprintf(f, " %s fc rgb '#808080' fs transparent solid %s noborder\n",
                     stretch ? "front" : "behind", stretch ? "0.35" : "0.15");
    }
    if (plots.zoneSpans)
        std::fprintf(f, "set label 1 'construction zone on (grey)' at graph 0.01, graph 0.95 front\n");
}

// The trajectories of the lanes drawn as lines, from the dots: each car's dots
// in time order, broken where it leaves the lane or passes the road's end.
// One data block per lane (gnuplot's index), in lane order.
bool writeLines(const bool lined[LaneTotal]) {
    struct Dot {
        double time;
        int lane, car;
        float position, speed;
    };
    std::vector<Dot> dots;
    std::FILE* in = openIn("space-time.dat", "rb");
    if (!in)
        return false;
    char line[128];
    while (std::fgets(line, sizeof line, in)) {
        Dot d;
        if (line[0] != '#' &&
            std::sscanf(line, "%lf %d %d %f %f", &d.time, &d.lane, &d.car, &d.position, &d.speed) == 5 &&
            d.lane >= 1 && d.lane <= LaneTotal && lined[d.lane - 1])
            dots.push_back(d);
    }
    std::fclose(in);
    std::stable_sort(dots.begin(), dots.end(), [](const Dot& a, const Dot& b) {
        return a.lane != b.lane ? a.lane < b.lane : a.car < b.car;
    });
    std::FILE* f = openIn("space-time-lines.dat");
    if (!f)
        return false;
    std::fputs("# time_s position_mi speed_mph: each car's trajectory in the lanes drawn as lines,\n"
               "# one block per lane\n", f);
    std::size_t at = 0;
    for (int lane = 1; lane <= LaneTotal; lane++) {
        if (!lined[lane - 1])
            continue;
        const Dot* last = nullptr;
        for (; at < dots.size() && dots[at].lane == lane; at++) {
            const Dot& d = dots[at];
            bool joined = last && last->car == d.car && d.position >= last->position &&
                          d.time - last->time <= 1.5 * secondsOf(plots.dotEvery);
            if (last && !joined)
                std::fputc('\n', f);
            std::fprintf(f, "%.10g %.5f %.2f\n", d.time, double(d.position), double(d.speed));
            last = &d;
        }
        std::fputs("\n\n", f);
    }
    return closeData(f, "space-time-lines.dat");
}

// A lane's mean speed per cell, as gnuplot's nonuniform matrix: the first row
// the column count and each column's middle (s), then a row per cell of road,
// its middle (mi) and the speeds; NaN where no car was. gnuplot draws it as
// one image, which stays quick however many cars made it.
bool writeCells(int lane) {
    char name[64];
    std::snprintf(name, sizeof name, "space-time-lane%d.dat", lane + 1);
    std::FILE* f = openIn(name);
    if (!f)
        return false;
    std::fprintf(f, "%d", plots.timeCells);
    for (int column = 0; column < plots.timeCells; column++)
        std::fprintf(f, " %.10g", (column + 0.5) * secondsOf(plots.cellSteps));
    std::fputc('\n', f);
    const Cell* c = &plots.cells[std::size_t(lane) * TimeCells * RoadCells];
    for (int row = 0; row < RoadCells; row++) {
        std::fprintf(f, "%.6f", (row + 0.5) * 60 / 5280);
        for (int column = 0; column < plots.timeCells; column++) {
            const Cell& cell = c[column * RoadCells + row];
            if (cell.count)
                std::fprintf(f, " %.1f", double(cell.speedSum / float(cell.count)));
            else
                std::fputs(" NaN", f);
        }
        std::fputc('\n', f);
    }
    return closeData(f, name);
}

bool writeSpaceTimeScript() {
    int used[LaneTotal], count = 0;
    bool lined[LaneTotal] = {};
    for (int lane = LaneTotal - 1; lane >= 0; lane--)
        if (plots.mostCars[lane] > 0) {
            used[count++] = lane;
            lined[lane] = plots.mostCars[lane] <= LineCars;
        }
    if (!writeLines(lined))
        return false;
    for (int k = 0; k < count; k++)
        if (!lined[used[k]] && !writeCells(used[k]))
            return false;
    std::FILE* f = openIn("space-time.gp");
    if (!f)
        return false;
    const double miles = double(world.roadLength) / 5280;
    const double seconds = secondsOf(world.run.stepCount);
    std::fprintf(f, "# Space-time diagram: one panel per lane that held cars, the left lane on\n"
                    "# top, coloured by speed. A lane of at most %d cars at once shows each car's\n"
                    "# trajectory (space-time-lines.dat, from the dots of space-time.dat); a\n"
                    "# fuller lane the mean speed in cells of %g s and 60 ft\n"
                    "# (space-time-laneN.dat: a gnuplot nonuniform matrix, rows of road, columns of time).\n",
                 LineCars, secondsOf(plots.cellSteps));
    std::fprintf(f, Terminal, 1200, 120 + 320 * (count ? count : 1));
    std::fprintf(f, "set output 'space-time.png'\n"
                    "set palette defined (0 '#d7191c', 0.5 '#fdd835', 1 '#1a9641')\n"
                    "set cbrange [0:%g]\nset cblabel 'speed (mph)'\n"
                    "set xrange [0:%g]\nset yrange [0:%g]\n"
                    "set ylabel 'position round the ring (mi)'\n%s",
                 double(plots.fastest > 1 ? plots.fastest : 1), seconds > 0 ? seconds : 1, miles,
                 TimeAxis);
    writeZone(f, true);
    std::fprintf(f, "set multiplot layout %d,1 title 'Space-time diagram of %s'\n", count ? count : 1,
                 runName());
    if (count == 0)
        std::fprintf(f, "set label 2 'no car on the road' at graph 0.5, 0.5 center\nplot NaN notitle\n");
    int block = 0;
    for (int k = 0; k < count; k++) {
        int lane = used[k];
        if (lined[lane]) {
            std::fprintf(f, "set title '%s: each car a line'\n"
                            "plot 'space-time-lines.dat' index %d using 1:2:3 with lines lw 1.2 "
                            "palette notitle\n",
                         laneTitle(lane), block++);
        } else {
            std::fprintf(f, "set title '%s: mean speed'\n"
                            "plot 'space-time-lane%d.dat' nonuniform matrix using 1:2:3 with image "
                            "notitle\n",
                         laneTitle(lane), lane + 1);
        }
    }
    std::fprintf(f, "unset multiplot\n");
    return closeData(f, "space-time.gp");
}

bool writeSpeedsScript() {
    std::FILE* f = openIn("speeds.gp");
    if (!f)
        return false;
    std::fprintf(f, "# Average speed of each reported group and of all cars over time, the\n"
                    "# figures of the report file; group colours as in the window.\n"
                    "# Data: speeds.dat (time_s, overall, then one column per reported group).\n");
    std::fprintf(f, Terminal, 1200, 700);
    std::fprintf(f, "set output 'speeds.png'\n"
                    "set title 'Average speeds of %s'\n%s"
                    "set ylabel 'average speed (mph)'\n"
                    "set key outside right top\nset grid\nset yrange [0:*]\n",
                 runName(), TimeAxis);
    writeZone(f, false);
    if (plots.speedRows == 0) {
        std::fprintf(f, "set label 2 'no report line in this run' at graph 0.5, 0.5 center\n"
                        "set xrange [0:1]\nset yrange [0:1]\nplot NaN notitle\n");
        return closeData(f, "speeds.gp");
    }
    std::fprintf(f, "plot 'speeds.dat' using 1:2 with lines lw 3 lc rgb '#000000' title 'all cars'");
    int column = 3;
    for (int g = 0; g < MaxGroups; g++) {
        if (!world.groups[g].reportFlag)
            continue;
        char rgb[16];
        rgbOf(world.groups[g].colour, rgb, sizeof rgb);
        std::fprintf(f, ", \\\n     '' using 1:%d with lines lw 1.5 lc rgb '%s' title '%s'",
                     column++, rgb, groupTitle(g));
    }
    std::fprintf(f, "\n");
    return closeData(f, "speeds.gp");
}

bool writeLanesScript() {
    std::FILE* f = openIn("lanes.gp");
    if (!f)
        return false;
    std::fprintf(f, "# Flow and density of each lane that held cars, one point per measuring\n"
                    "# period. Data: lanes.dat (time_s, flow_vph of lanes 1 to 4, density_vpmpl\n"
                    "# of lanes 1 to 4).\n");
    std::fprintf(f, Terminal, 1200, 900);
    std::fprintf(f, "set output 'lanes.png'\n"
                    "set multiplot layout 2,1 title 'Lanes of %s'\n%s"
                    "set key outside right top\nset grid\nset yrange [0:*]\n",
                 runName(), TimeAxis);
    writeZone(f, false);
    bool any = false;
    for (int lane = 0; lane < LaneTotal; lane++)
        any = any || plots.laneHeldCars[lane];
    if (!any)
        std::fprintf(f, "set label 2 '%s' at graph 0.5, 0.5 center\nset xrange [0:1]\nset yrange [0:1]\n",
                     plots.laneRows ? "no lane held cars" : "no complete measuring period in this run");
    const char* colours[LaneTotal] = {"#1b9e77", "#d95f02", "#7570b3", "#e7298a"};
    const char* panels[2][2] = {{"Flow at the detectors", "flow (vehicles per hour)"},
                                {"Density", "density (vehicles per mile)"}};
    int firstColumn = 2;
    for (const auto& panel : panels) {
        std::fprintf(f, "set title '%s'\nset ylabel '%s'\n", panel[0], panel[1]);
        if (!any) {
            std::fprintf(f, "plot NaN notitle\n");
            continue;
        }
        std::fprintf(f, "plot ");
        const char* between = "";
        for (int lane = 0; lane < LaneTotal; lane++) {
            if (!plots.laneHeldCars[lane])
                continue;
            std::fprintf(f, "%s'lanes.dat' using 1:%d with linespoints pt 7 ps 0.4 lc rgb '%s' "
                            "title '%s'",
                         between, firstColumn + lane, colours[lane], laneTitle(lane));
            between = ", \\\n     ";
        }
        std::fprintf(f, "\n");
        firstColumn += LaneTotal;
    }
    std::fprintf(f, "unset multiplot\n");
    return closeData(f, "lanes.gp");
}

}  // namespace

bool gnuplotFound() { return programOnPath("gnuplot"); }

bool openPlots(const char* dir) {
    int n = std::snprintf(plots.dir, sizeof plots.dir, "%s", dir);
    if (n <= 0 || n >= int(sizeof plots.dir) - 32) {
        std::fprintf(stderr, "ombrane-batch: the --plot folder name is too long\n");
        return false;
    }
    if (!makeFolder(dir)) {
        std::fprintf(stderr, "ombrane-batch: cannot make folder %s: %s\n", dir, std::strerror(errno));
        return false;
    }
    plots.spaceTime = openIn("space-time.dat");
    plots.speeds = plots.spaceTime ? openIn("speeds.dat") : nullptr;
    plots.lanes = plots.speeds ? openIn("lanes.dat") : nullptr;
    if (!plots.lanes)
        return false;
    std::fputs("# time_s lane car position_mi speed_mph (lanes 1, the right lane, to 4)\n",
               plots.spaceTime);
    std::fputs("# time_s overall_mph, then each reported group's average speed (mph)\n",
               plots.speeds);
    std::fputs("# time_s flow_vph of lanes 1 2 3 4, density_vpmpl of lanes 1 2 3 4\n", plots.lanes);
    plots.lastDotStep = -1;
    plots.lastCellStep = -1;
    return true;
}

void choosePlotSampling(long every, long steps, int cars) {
    long needed = cars > 0 ? long((double(steps) * cars + DotBudget - 1) / DotBudget) : 1;
    plots.dotEvery = every > needed ? every : needed;
    // Columns of whole sampling intervals, as many as fit the image's width.
    long samples = steps / every + 1;
    long perCell = (samples + TimeCells - 1) / TimeCells;
    plots.cellSteps = every * (perCell > 0 ? perCell : 1);
    plots.timeCells = int(steps / plots.cellSteps + 1);
    if (plots.timeCells > TimeCells)
        plots.timeCells = TimeCells;
    plots.cells.assign(std::size_t(LaneTotal) * TimeCells * RoadCells, Cell{0, 0});
    plots.cellSteps = plots.cellSteps > 0 ? plots.cellSteps : 1;
    plots.dotEvery = plots.dotEvery > 0 ? plots.dotEvery : 1;
    plots.cellEvery = every > 0 ? every : 1;
}

void plotCars() {
    const int step = world.run.stepCount;
    // The zone's times on, kept as spans of the steps seen.
    const int zone = world.edition->hasConstructionZone && world.run.constructionZone;
    if (zone && !plots.zoneOn && plots.zoneSpans < MaxZoneSpans)
        plots.zoneFrom[plots.zoneSpans++] = secondsOf(step);
    if (zone && plots.zoneSpans)
        plots.zoneTo[plots.zoneSpans - 1] = secondsOf(step);
    plots.zoneOn = zone;

    if (step % plots.cellEvery == 0 && step != plots.lastCellStep) {
        plots.lastCellStep = step;
        int column = int(step / plots.cellSteps);
        if (column >= plots.timeCells)
            column = plots.timeCells - 1;
        int inLane[LaneTotal] = {};
        for (int i = 0; i < world.carTotal && i < MaxCars; i++) {
            const Car& c = world.cars[i];
            if (unsigned(c.lane) >= LaneTotal)
                continue;
            int row = int(c.position / 60);
            row = row < 0 ? 0 : row >= RoadCells ? RoadCells - 1 : row;
            Cell& cell = plots.cells[(std::size_t(c.lane) * TimeCells + std::size_t(column)) * RoadCells +
                                     std::size_t(row)];
            cell.speedSum += c.speed;
            cell.count++;
            inLane[c.lane]++;
            if (c.speed > plots.fastest)
                plots.fastest = c.speed;
        }
        for (int lane = 0; lane < LaneTotal; lane++)
            plots.mostCars[lane] = std::max(plots.mostCars[lane], inLane[lane]);
    }
    if (step % plots.dotEvery != 0 || step == plots.lastDotStep)
        return;
    plots.lastDotStep = step;
    const double seconds = secondsOf(step);
    for (int i = 0; i < world.carTotal && i < MaxCars; i++) {
        const Car& c = world.cars[i];
        std::fprintf(plots.spaceTime, "%.10g %d %d %.5f %.2f\n", seconds, c.lane + 1, i,
                     double(c.position) / 5280, double(c.speed));
    }
}

void plotReportPoint() {
    std::fprintf(plots.speeds, "%.10g %.3f", secondsOf(world.run.stepCount),
                 double(world.overallAverage));
    for (const Group& g : world.groups)
        if (g.reportFlag)
            std::fprintf(plots.speeds, " %.3f", double(g.averageSpeed));
    std::fputc('\n', plots.speeds);
    plots.speedRows++;
}

void plotPeriod() {
    std::fprintf(plots.lanes, "%.10g", secondsOf(measures.periodEndStep));
    for (int lane = 0; lane < LaneTotal; lane++)
        std::fprintf(plots.lanes, " %.1f", measures.lane[lane].flow);
    for (int lane = 0; lane < LaneTotal; lane++) {
        std::fprintf(plots.lanes, " %.3f", measures.lane[lane].density);
        plots.laneHeldCars[lane] |= measures.lane[lane].cars > 0;
    }
    std::fputc('\n', plots.lanes);
    plots.laneRows++;
}

bool finishPlots() {
    bool ok = closeData(plots.spaceTime, "space-time.dat");
    ok = closeData(plots.speeds, "speeds.dat") && ok;
    ok = closeData(plots.lanes, "lanes.dat") && ok;
    ok = ok && writeSpaceTimeScript() && writeSpeedsScript() && writeLanesScript();
    if (!ok)
        return false;
    std::fprintf(stderr, "ombrane-batch: drawing the pictures in %s with gnuplot\n", plots.dir);
    static const char* const scripts[] = {"space-time.gp", "speeds.gp", "lanes.gp"};
    if (!runGnuplotIn(plots.dir, scripts, 3)) {
        std::fprintf(stderr, "ombrane-batch: gnuplot could not draw the pictures in %s (see %s/gnuplot.log)\n",
                     plots.dir, plots.dir);
        return false;
    }
    return true;
}
