// The pictures of --plot. The run fills three data files; afterwards a gnuplot
// script is written beside each and gnuplot renders them, so that a user can
// restyle a picture by editing its script and running `gnuplot NAME.gp` in
// the folder.
#include "plots.h"

#include "core/measures.h"
#include "core/sim.h"

#include "system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long DotBudget = 1500000;     // space-time dots in one picture, at most
constexpr int PlotPathSize = 1024;

struct Plots {
    char dir[PlotPathSize];
    std::FILE* spaceTime;               // time_s lane position_mi speed_mph
    std::FILE* speeds;                  // time_s overall, then each reported group
    std::FILE* lanes;                   // time_s, flow_vph of lanes 0..3, density_vpmpl of lanes 0..3
    long dotEvery;                      // steps between space-time dots
    int  speedRows, laneRows;
    float fastest;                      // mph, of every dot drawn
    int  lastDotStep;                   // step of the last dots, -1 none
} plots = {};

bool pathIn(char* out, const char* name) {
    int n = std::snprintf(out, PlotPathSize, "%s/%s", plots.dir, name);
    return n > 0 && n < PlotPathSize;
}

std::FILE* openIn(const char* name) {
    char path[PlotPathSize];
    if (!pathIn(path, name)) {
        std::fprintf(stderr, "ombrane-batch: the --plot folder name is too long\n");
        return nullptr;
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        std::fprintf(stderr, "ombrane-batch: cannot write %s: %s\n", path, std::strerror(errno));
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

// The run's name for titles, with nothing gnuplot would read as a quote.
const char* runName() {
    static char name[96];
    const char* source = world.groupsName[0] ? world.groupsName : "built-in groups";
    int n = 0;
    for (; source[n] && n < int(sizeof name) - 1; n++) {
        char c = source[n];
        name[n] = (c < ' ' || c == '\'' || c == '"' || c == '\\' || c > '~') ? '_' : c;
    }
    name[n] = 0;
    return name;
}

// Each script starts from gnuplot's defaults: one gnuplot runs all three.
const char Terminal[] = "reset\nset terminal pngcairo noenhanced size %d,%d font 'sans,10'\n";

bool writeSpaceTimeScript() {
    std::FILE* f = openIn("space-time.gp");
    if (!f)
        return false;
    const double miles = double(world.roadLength) / 5280;
    const double seconds = double(world.run.stepCount) / world.stepsPerSecond;
    std::fprintf(f, "# Space-time diagram: every car a dot at its place round the ring and its\n"
                    "# time, coloured by its speed; one panel per lane, the left lane on top.\n"
                    "# Data: space-time.dat (time_s lane position_mi speed_mph).\n");
    std::fprintf(f, Terminal, 1200, 1400);
    std::fprintf(f, "set output 'space-time.png'\n"
                    "set palette defined (0 '#d7191c', 0.5 '#fdd835', 1 '#1a9641')\n"
                    "set cbrange [0:%g]\nset cblabel 'speed (mph)'\n"
                    "set xrange [0:%g]\nset yrange [0:%g]\n"
                    "set ylabel 'position round the ring (mi)'\n"
                    "set xlabel 'time (s)'\n"
                    "set multiplot layout 4,1 title 'Space-time diagram of %s (every %g s)'\n",
                 double(plots.fastest > 1 ? plots.fastest : 1), seconds > 0 ? seconds : 1, miles,
                 runName(), double(plots.dotEvery) / world.stepsPerSecond);
    for (int lane = LaneTotal - 1; lane >= 0; lane--)
        std::fprintf(f, "set title 'lane %d%s'\n"
                        "plot 'space-time.dat' using 1:($2 == %d ? $3 : NaN):4 with dots palette notitle\n",
                     lane, lane == 0 ? " (rightmost)" : lane == LaneTotal - 1 ? " (leftmost)" : "",
                     lane);
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
                    "set title 'Average speeds of %s'\n"
                    "set xlabel 'time (s)'\nset ylabel 'average speed (mph)'\n"
                    "set key outside right top\nset grid\nset yrange [0:*]\n",
                 runName());
    if (plots.speedRows == 0) {
        std::fprintf(f, "set label 'no report line in this run' at graph 0.5, 0.5 center\n"
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
        std::fprintf(f, ", \\\n     '' using 1:%d with lines lw 1.5 lc rgb '%s' title 'group %d'",
                     column++, rgb, g);
    }
    std::fprintf(f, "\n");
    return closeData(f, "speeds.gp");
}

bool writeLanesScript() {
    std::FILE* f = openIn("lanes.gp");
    if (!f)
        return false;
    std::fprintf(f, "# Flow and density of each lane, one point per measuring period.\n"
                    "# Data: lanes.dat (time_s, flow_vph of lanes 0 to 3, density_vpmpl of lanes 0 to 3).\n");
    std::fprintf(f, Terminal, 1200, 900);
    std::fprintf(f, "set output 'lanes.png'\n"
                    "set multiplot layout 2,1 title 'Lanes of %s'\n"
                    "set xlabel 'time (s)'\nset key outside right top\nset grid\n"
                    "set yrange [0:*]\n",
                 runName());
    if (plots.laneRows == 0)
        std::fprintf(f, "set label 'no complete measuring period in this run' at graph 0.5, 0.5 "
                        "center\nset xrange [0:1]\nset yrange [0:1]\n");
    const char* colours[LaneTotal] = {"#1b9e77", "#d95f02", "#7570b3", "#e7298a"};
    const char* panels[2][2] = {{"Flow at the detectors", "flow (vehicles per hour)"},
                                {"Density", "density (vehicles per mile)"}};
    int firstColumn = 2;
    for (const auto& panel : panels) {
        std::fprintf(f, "set title '%s'\nset ylabel '%s'\n", panel[0], panel[1]);
        if (plots.laneRows == 0) {
            std::fprintf(f, "plot NaN notitle\n");
            continue;
        }
        std::fprintf(f, "plot ");
        for (int lane = 0; lane < LaneTotal; lane++)
            std::fprintf(f, "%s'lanes.dat' using 1:%d with linespoints pt 7 ps 0.4 lc rgb '%s' "
                            "title 'lane %d'",
                         lane ? ", \\\n     " : "", firstColumn + lane, colours[lane], lane);
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
    std::fputs("# time_s lane position_mi speed_mph\n", plots.spaceTime);
    std::fputs("# time_s overall_mph, then each reported group's average speed (mph)\n",
               plots.speeds);
    std::fputs("# time_s flow_vph of lanes 0 1 2 3, density_vpmpl of lanes 0 1 2 3\n", plots.lanes);
    plots.lastDotStep = -1;
    return true;
}

void choosePlotSampling(long every, long steps, int cars) {
    long needed = cars > 0 ? long((double(steps) * cars + DotBudget - 1) / DotBudget) : 1;
    plots.dotEvery = every > needed ? every : needed;
}

void plotCars() {
    const int step = world.run.stepCount;
    if (step % plots.dotEvery != 0 || step == plots.lastDotStep)
        return;
    plots.lastDotStep = step;
    const double seconds = double(step) / world.stepsPerSecond;
    for (int i = 0; i < world.carTotal && i < MaxCars; i++) {
        const Car& c = world.cars[i];
        if (c.speed > plots.fastest)
            plots.fastest = c.speed;
        std::fprintf(plots.spaceTime, "%.10g %d %.5f %.2f\n", seconds, c.lane,
                     double(c.position) / 5280, double(c.speed));
    }
}

void plotReportPoint() {
    std::fprintf(plots.speeds, "%.10g %.3f", double(world.run.stepCount) / world.stepsPerSecond,
                 double(world.overallAverage));
    for (const Group& g : world.groups)
        if (g.reportFlag)
            std::fprintf(plots.speeds, " %.3f", double(g.averageSpeed));
    std::fputc('\n', plots.speeds);
    plots.speedRows++;
}

void plotPeriod() {
    std::fprintf(plots.lanes, "%.10g", double(measures.periodEndStep) / world.stepsPerSecond);
    for (int lane = 0; lane < LaneTotal; lane++)
        std::fprintf(plots.lanes, " %.1f", measures.lane[lane].flow);
    for (int lane = 0; lane < LaneTotal; lane++)
        std::fprintf(plots.lanes, " %.3f", measures.lane[lane].density);
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
    static const char* const scripts[] = {"space-time.gp", "speeds.gp", "lanes.gp"};
    if (!runGnuplotIn(plots.dir, scripts, 3)) {
        std::fprintf(stderr, "ombrane-batch: gnuplot could not draw the pictures in %s (see %s/gnuplot.log)\n",
                     plots.dir, plots.dir);
        return false;
    }
    return true;
}
