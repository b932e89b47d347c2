// ombrane-lab submit and status: an experiment's runs as Slurm job arrays,
// through the sbatch, scontrol and squeue programs.
//
// DIR/slurm/submit-S.sh     the sbatch lines of submission S (1 up), runnable by hand
// DIR/slurm/array-S-K.sh    its K-th array: task I runs the I-th run listed inside
// DIR/slurm/collect-S.sh    collect and plot, after every array of submission S
// DIR/slurm/jobs.txt        one line per job submitted: "array ID runs R..." or "collect ID"
// DIR/slurm/out/ID_I.out    the output of array job ID's task I; collect-ID.out
#pragma once

#include "experiment.h"

#include <string>

struct SubmitOptions {
    std::string partition, time;  // passed to sbatch when given
    long maxArray = 0;            // tasks per array; 0: the cluster's MaxArraySize
    bool dryRun = false;
};

// What submit needs before DIR is touched: sbatch on PATH (unless a dry run)
// and the tasks per array (--max-array, else scontrol's MaxArraySize). Prints
// the reason and returns 1 when something is missing; 0 otherwise.
int checkSlurm(SubmitOptions& o);

// Submits the runs of the prepared DIR that have not finished and are not
// queued already, then the collect job. self and batch are the programs the
// tasks run. Returns the exit code: 0, or 1 when sbatch refuses or a file
// cannot be written.
int submitRuns(const std::string& dir, const Experiment& e, const SubmitOptions& o,
               const std::string& self, const std::string& batch);

// Prints the runs finished, running, pending, failed (with their reasons) and
// left. Returns 0 when every run has finished, 3 otherwise.
int showStatus(const std::string& dir, const Experiment& e);

// "1-3,5,8-9": run numbers (ascending) as ranges.
std::string runRanges(const std::vector<int>& runs);
