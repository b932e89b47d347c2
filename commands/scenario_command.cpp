// File > Open of a scenario; ombrane-batch opens one the same way.
#include "commands/scenario_command.h"

#include "commands/groups_command.h"
#include "core/platform.h"
#include "core/scenario.h"
#include "files/key_lines.h"
#include "files/paths.h"

#include <cstring>

namespace {

// The window logs the reason; ombrane-batch, which asks for it, says it itself.
int refuse(const std::string& reason, int code, std::string* problem, int* exitCode) {
    if (problem)
        *problem = reason;
    else
        ConsoleLog("%s\r\n", reason.c_str());
    if (exitCode)
        *exitCode = code;
    return 0;
}

}  // namespace

int openScenarioFile(const char* path, Scenario& scenario, std::string* problem, int* exitCode) {
    if (!world.edition->opensScenarios)
        return refuse(std::string(path) + ": the " + world.edition->version +
                          " edition does not open scenarios",
                      2, problem, exitCode);
    std::string reason;
    int code = 1;
    if (!loadScenario(path, scenario, reason, &code))
        return refuse(reason, code, problem, exitCode);
    // The report is the scenario's: several scenarios may share a groups file.
    const char* extension = pathExtension(path);
    char reportPath[PathSize];
    if (!joinText(reportPath, PathSize, path, int(extension - path), ".report.csv", ""))
        return refuse(std::string(path) + ": path too long for its report file's name", 1, problem,
                      exitCode);

    const std::string groups = scenarioGroupsPath(scenario);
    if (openGroupsCsv(groups.c_str(), fileNameOf(groups.c_str())) != 1)
        return refuse(lineProblem(path, scenario.groupsLine, "the groups file " + groups + " was not read"),
                      1, problem, exitCode);
    std::strcpy(world.reportPath, reportPath);
    applyGroupOverrides(scenario);
    installScenario(scenario);
    rememberScenario(path, scenario);
    armScenario();
    return 1;
}
