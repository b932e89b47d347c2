// Reading a groups file (.csv) into the run, and which scenario, if any, the
// run was opened from: the part of Open that the scenario command builds on.
#pragma once

#include "files/scenario.h"

#include <string>

// Open of a ".csv" groups file, as openGroupsFile (commands.h) does it once
// it has ruled out snapshots and scenarios: refuses report files, other
// extensions and paths whose report-file name would not fit; otherwise
// forgets any opened scenario, reads the file, logs the outcome and forms
// the report-file name. 1 when groups were read, 0 otherwise.
int openGroupsCsv(const char* path, const char* name);

// The path of the scenario last opened, or empty when the run is a plain
// groups file's: what a restart opens again.
const std::string& openedScenarioPath();
// The scenario last opened as read, meaningful while openedScenarioPath()
// is not empty.
const Scenario& openedScenario();
void rememberScenario(const std::string& path, const Scenario& scenario);
void forgetScenario();
