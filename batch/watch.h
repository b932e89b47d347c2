// What ombrane-batch writes besides the simulator's own files: measures,
// trajectories and plots, gathered by a step observer (core/sim.h).
#pragma once

#include "options.h"

// Opens every output the options ask for, and checks that the plots can be
// drawn, before anything runs. False, with a message on standard error, when
// one cannot be written.
bool openOutputs(const Options& o);

// After the groups file is read: refuses (false, with a message) trajectories
// of more than 1 GB unless --force was given; says how large they will be.
bool checkTrajectorySize(const Options& o);

// Sets the measuring period and detectors and installs the step observer.
void startWatching(const Options& o);

// After the run: closes the files, writes and renders the plots. False, with
// a message on standard error, when any output failed.
bool finishOutputs();
