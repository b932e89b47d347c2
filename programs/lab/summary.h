// From a run's measures files to its few result rows, and from every run's
// rows to the experiment's tables.
#pragma once

#include "experiment.h"

#include <string>
#include <vector>

// Header of a run's result.csv (and the measures' part of results.csv).
extern const char LaneResultColumns[];
// Header of a run's result-groups.csv.
extern const char GroupResultColumns[];

// Averages the periods of measures.csv and group-measures.csv (ombrane-batch's
// --measures and --group-measures) that start at or after the warm-up into
// laneRows (lanes 1 to 4, then all) and groupRows (each group that had cars),
// without their headers. Speeds are weighted by the cars (space-mean) or the
// passings (time-mean) behind them, so that they are the means over the whole
// measured time; lane changes are per hour. False, with a reason, when a file
// cannot be read or holds no measured period.
bool summarizeRun(const std::string& measuresText, const std::string& groupMeasuresText,
                  const Experiment& e, std::string& laneRows, std::string& groupRows,
                  std::string& problem);

// Whether a run's result.csv and result-groups.csv are whole, as
// summarizeRun and finishing a run write them: their headers, the five lane
// rows, every row's width, numbers where numbers belong. False with the
// file, line and reason.
bool checkRunResult(const std::string& laneText, const std::string& groupText, std::string& problem);

// For an experiment with sections: replaces density, flow and space-mean speed
// of laneRows (as summarizeRun wrote them) by Edie's over all the sections and
// the measured time, from sections.csv (ombrane-batch's --section-measures):
// the distance driven and the time spent in them, so flow = density x speed.
// False, with a reason, when the file does not hold what the rows need.
bool useSections(const std::string& sectionsText, const Experiment& e, std::string& laneRows,
                 std::string& problem);

// The tables of the finished runs, in run order: results.csv (one row per run
// and lane, each group's mean speed on the `all` row) and results-groups.csv
// (one row per run and group). laneRows and groupRows hold each run's files
// as summarizeRun wrote them, empty for a run that has not finished.
void buildResults(const Experiment& e, const std::vector<std::string>& laneRows,
                  const std::vector<std::string>& groupRows, std::string& results,
                  std::string& resultsGroups);

// Student's t for a two-sided 95 % interval with the given degrees of
// freedom (1 up), from a table of our own.
double studentT975(int degrees);

// The mean of values and the half-width of its 95 % confidence interval,
// t(n-1) s / sqrt(n) with s the sample standard deviation; half is -1 for
// one value. False for none.
bool meanAndInterval(const std::vector<double>& values, double* mean, double* half);

// summary.csv from results.csv's text: per combination of the varied values
// other than the seed, and lane, the runs behind it and each measure's mean
// and 95 % half-width (blank for one run, or for a measure no run has).
std::string buildSummary(const Experiment& e, const std::string& results);
