// ombrane-lab plot: pictures from a results folder, drawn by gnuplot.
#pragma once

#include "experiment.h"

#include <string>

// Writes DIR/fundamental.dat, .gp, .png and DIR/groups.dat, .gp, .png from
// DIR/results.csv. Returns the exit code: 0, or 1 when results.csv cannot be
// read, a file cannot be written, or gnuplot is missing or fails (its own
// messages are in DIR/gnuplot.log).
int plotResults(const std::string& dir, const Experiment& e);
