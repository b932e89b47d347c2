// The base and the varied values, judged by the groups-file reader itself
// before anything runs: what a run would read otherwise than written is
// refused, not labelled with what was asked.
#pragma once

#include "experiment.h"

#include <string>

// Reads baseText (the base file's bytes) with the reader of the experiment's
// edition, then each run's car counts. Returns 0 when the runs will read what
// the experiment says; else 2 with problem holding one "FILE:LINE: reason" a
// line (the base's or the experiment's file and line).
// baseName names the groups file in messages (default: the base's path).
int checkWithReader(const Experiment& e, const std::string& baseText, std::string& problem,
                    const std::string& baseName = std::string());
