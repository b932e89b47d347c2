// ombrane-lab plot: pictures from a results folder, drawn by gnuplot.
#pragma once

#include "experiment.h"

#include <string>

// Whether text names the lanes of the fundamental diagram: 1 to 4, all (the
// whole road's rows), used (the lanes that held cars, per lane) or each (the
// lanes that held cars, a curve each).
bool laneChoice(const std::string& text);

// Writes DIR/fundamental.dat, .gp, .png and DIR/groups.dat, .gp, .png from
// DIR/results.csv. Returns the exit code: 0, or 1 when results.csv cannot be
// read or is not the experiment's table (its header, or a row of another
// width; the reason on standard error), a file cannot be written, or gnuplot
// is missing or fails (its own messages are in DIR/gnuplot.log).
int plotResults(const std::string& dir, const Experiment& e, const std::string& lanes = "used");
