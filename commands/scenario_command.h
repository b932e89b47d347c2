// Opening a scenario, as File > Open and ombrane-batch do it.
#pragma once

#include "commands/groups_command.h"
#include "files/scenario.h"

#include <string>

// Reads and checks the scenario, opens its groups file as Open does, applies
// its group lines and hands the model its plan; the report file is named
// after the scenario, beside it. Returns 1 when it was opened; 0 with the
// reason logged and in *problem, and *exitCode 1 (a file that cannot be
// read) or 2 (contents refused, or an edition without scenarios). After 1,
// errorText is empty unless the groups file was read only in part.
int openScenarioFile(const char* path, Scenario& scenario, std::string* problem, int* exitCode);
