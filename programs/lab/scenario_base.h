// An experiment whose base is a scenario: the scenario read and judged with
// the scenario reader itself, and each run's own scenario, the base's lines
// with the run's values in place.
#pragma once

#include "experiment.h"

#include <string>

// Reads the scenario's text (the file at path, named so in messages), sets
// e.randomness, takes the scenario's steps when the experiment gives none
// (checking the measuring periods then), and judges every vary against it: an event the scenario does
// not have, a value of an event that has none, a seed that nothing draws
// from, and each varied value as the runs' scenarios would read it. Returns
// 0, with groupsName the scenario's groups file as written; else 2 with
// problem holding one "FILE:LINE: reason" a line.
int readScenarioBase(Experiment& e, const std::string& path, const std::string& text,
                     std::string& groupsName, std::string& problem);

// The run's scenario: the base's lines without their comments, its groups
// file named groups.csv (beside it in the run's folder), and the run's seed,
// start speed, group columns and event times and values in place of the
// base's (added when the base has no such line).
std::string runScenarioText(const Experiment& e, const RunPlan& run);
