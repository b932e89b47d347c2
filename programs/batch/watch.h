// What ombrane-batch writes besides the simulator's own files: measures,
// trajectories and plots, gathered by a step observer (core/sim.h).
#pragma once

#include "options.h"

// Opens every output the options ask for, and checks that the plots can be
// drawn, before anything runs; a file that was there keeps its bytes until
// startWatching. False, with a message on standard error, when one cannot be
// written.
bool openOutputs(const Options& o);

// After the groups file is read: refuses (false, with a message) trajectories
// of more than 1 GB unless --force was given; says how large they will be. A
// refused file that was there is left as it was.
bool checkTrajectorySize(const Options& o);

// Empties the output files and writes their headers, sets the measuring
// period and detectors and installs the step observer. False, with a
// message, when a file cannot be emptied.
bool startWatching(const Options& o);

// After the run: closes the files, writes and renders the plots. False, with
// a message on standard error, when any output failed.
bool finishOutputs();
