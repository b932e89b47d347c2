// A results folder and the ombrane-batch processes that fill it.
//
// DIR/experiment.txt  the experiment with every value listed (canonicalText)
// DIR/base.csv        a copy of the base groups file
// DIR/runs/NNNN/      one folder per run: groups.csv, console.log, the report,
//                     measures.csv, group-measures.csv, and, once the run has
//                     finished and been averaged, result-groups.csv and then
//                     result.csv, each written beside and renamed into place
// DIR/results.csv, DIR/results-groups.csv   from collect
#pragma once

#include "experiment.h"

#include <string>

// Writes text to path.tmp, flushes it to the disk and renames it to path, so
// that path is either absent, as it was, or whole. False when any step fails.
bool writeFileAtomic(const std::string& path, const std::string& text);

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& text);

// Makes DIR ready for the experiment: the folders, experiment.txt, base.csv
// and every run's groups.csv. A folder that holds another experiment (other
// settings or values, or another base) is refused with a message unless
// restart is set, which forgets every finished run. Returns 0, or the exit
// code: 1 when something cannot be read or written, 2 when refused.
int prepareFolder(const Experiment& e, const std::string& baseText, const std::string& dir,
                  bool restart, std::string& problem);

// Reads DIR/experiment.txt back (for collect, plot and the jobs' commands).
int loadFolder(const std::string& dir, Experiment& e, std::string& problem);

// ombrane-batch's arguments for every run of the experiment, run inside the
// run's folder.
std::vector<std::string> batchArguments(const Experiment& e);

// Whether run n has finished: its result.csv is there.
bool runFinished(const std::string& dir, const Experiment& e, int number);

// Runs every unfinished run, at most jobs at a time, as ombrane-batch
// processes; a failed run is reported with its log's last lines and does not
// stop the others. Progress goes to standard error when it is a terminal.
// Returns the number of runs that failed.
int runAll(const std::string& dir, const Experiment& e, const std::string& batch, int jobs);

// Runs run number n alone (the jobs' command). True when it finished.
bool runOne(const std::string& dir, const Experiment& e, const std::string& batch, int number);

// Writes DIR/results.csv and DIR/results-groups.csv from the finished runs.
// Returns the number of runs not finished, or -1 when a file cannot be written.
int collectResults(const std::string& dir, const Experiment& e, std::string& problem);
