// A results folder and the ombrane-batch processes that fill it.
//
// DIR/experiment.txt  the experiment with every value listed (canonicalText)
// DIR/base.csv        a copy of the base groups file
// DIR/runs/NNNN/      one folder per run: groups.csv, console.log, the report,
//                     measures.csv, group-measures.csv, and, once the run has
//                     finished and been averaged, result-groups.csv and then
//                     result.csv, each written beside and renamed into place
//                     run.txt says which inputs the run is (runKey): a run
//                     counts as finished only while it matches
// DIR/results.csv, DIR/results-groups.csv   from collect
// DIR/lock            held by the ombrane-lab working on DIR, naming it
#pragma once

#include "experiment.h"

#include <string>

// DIR/runs/NNNN, the folder of run number n.
std::string runFolderPath(const std::string& dir, const Experiment& e, int number);

// Writes text to path.tmp, flushes it to the disk and renames it to path, so
// that path is either absent, as it was, or whole. False when any step fails.
bool writeFileAtomic(const std::string& path, const std::string& text);

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& text);

// What the lock file says of this process: "ombrane-lab COMMAND (process
// P on HOST, since ...)".
void setLockOwner(const std::string& command);

// Locks DIR for the life of the process: exclusive for run and jobs, shared
// for one and collect. False, with who holds it, when another has it.
bool lockFolder(const std::string& dir, bool exclusive, std::string& problem);

// Lets go of every lock this process took: submit, before the tasks it
// sends to Slurm start and take their own.
void unlockFolders();

// Locks run n's folder for the life of the process, for one. False, with
// who holds it, when another process runs it.
bool lockRun(const std::string& dir, const Experiment& e, int number, std::string& problem);

// Makes DIR ready for the experiment under DIR's exclusive lock: the
// folders, experiment.txt, base.csv and every run's run.txt and groups.csv.
// A finished run is kept, moved to its new number if need be, when the
// experiment still has a run of the same inputs; a folder holding finished
// runs the experiment does not have, or files but no experiment.txt, is
// refused with a message unless restart is set, which forgets every
// finished run. Returns 0, or the exit code: 1 when something cannot be read,
// written or locked, 2 when refused. e.baseChecksum must be baseText's.
int prepareFolder(const Experiment& e, const std::string& baseText, const std::string& dir,
                  bool restart, std::string& problem);

// Reads DIR/experiment.txt and DIR/base.csv's checksum back (for collect,
// plot and the jobs' commands).
int loadFolder(const std::string& dir, Experiment& e, std::string& problem);

// ombrane-batch's arguments for every run of the experiment, run inside the
// run's folder.
std::vector<std::string> batchArguments(const Experiment& e);

// Whether run n has finished: its result files are there and whole, and its
// run.txt names the run's inputs. When not, and why is given, it says why
// for a run with a result that does not count.
bool runFinished(const std::string& dir, const Experiment& e, int number,
                 std::string* why = nullptr);

// Runs every unfinished run, at most jobs at a time, as ombrane-batch
// processes; a failed run is reported with its log's last lines and does not
// stop the others. Progress goes to standard error when it is a terminal.
// Returns the number of runs that failed. SIGTERM, SIGHUP and SIGINT are
// passed on to the runs; once they have ended the process ends by the signal.
int runAll(const std::string& dir, const Experiment& e, const std::string& batch, int jobs);

// Runs run number n alone (the jobs' command) under the run's own lock, the
// signals handled as runAll does. True when it finished; false with problem
// set when another process is running it.
bool runOne(const std::string& dir, const Experiment& e, const std::string& batch, int number,
            std::string& problem);

// Writes DIR/results.csv and DIR/results-groups.csv from the finished runs;
// a run whose result does not count is named on standard error. Returns the
// number of runs not finished, or -1 when a file cannot be written.
int collectResults(const std::string& dir, const Experiment& e, std::string& problem);
