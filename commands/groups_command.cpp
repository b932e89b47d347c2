// Open of a groups file, and the memory of the scenario the run came from.
#include "commands/groups_command.h"

#include "core/history.h"
#include "core/platform.h"
#include "core/scenario.h"
#include "core/sim.h"
#include "files/groups.h"
#include "files/paths.h"

#include <cstdio>
#include <cstring>

namespace {

std::string lastScenario;
Scenario lastOpened;

}  // namespace

const std::string& openedScenarioPath() { return lastScenario; }
const Scenario& openedScenario() { return lastOpened; }

void rememberScenario(const std::string& path, const Scenario& scenario) {
    lastScenario = path;
    lastOpened = scenario;
}

void forgetScenario() {
    lastScenario.clear();
    clearScenarioPlan();
}

int openGroupsCsv(const char* path, const char* name) {
    const char* extension = pathExtension(path);
    std::size_t before = std::size_t(extension - path);
    std::size_t length = std::strlen(path);
    if (before >= 7 && length >= 11 && std::strcmp(path + length - 11, ".report.csv") == 0) {
        ShowFileMessage("%s looks like a report-file\r\n", name);
        return 0;
    }
    if (std::strcmp(extension, ".csv") != 0) {
        ShowFileMessage("%s is not a csv file", name);
        return 0;
    }
    // The report-file name must fit beside it: refuse rather than read a file
    // whose report would go elsewhere.
    const int reportLength = int(length + std::strlen(".report"));
    if (reportLength >= PathSize || std::strlen(name) >= std::size_t(PathSize)) {
        std::snprintf(world.errorText, sizeof world.errorText,
                      "Path too long: its report-file name needs %d characters, at most %d fit",
                      reportLength, PathSize - 1);
        ConsoleLog("Could not read file %s\r\n", path);
        ConsoleLog("The error was %s\r\n", world.errorText);
        return 0;
    }

    // The file writes into the groups as it is read: no earlier state of
    // this run may come back after it.
    clearHistory();
    forgetScenario();
    world.carCountsRead = readGroupsFile(path);
    if (world.groupRowsRead == 0) {
        ConsoleLog("Could not read file %s\r\n", path);
        ConsoleLog("The error was %s\r\n", world.errorText);
        world.newGroupsPending = 0;
        return 0;
    }
    copyText(world.groupsPath, PathSize, path);
    copyText(world.groupsName, PathSize, name);
    warnOfPlacement(path);
    ConsoleLog("Read %d groups from %s\r\n", world.groupRowsRead, world.groupsPath);
    // The rows before a bad line are kept, but the rest of the file was not read.
    if (world.errorText[0])
        ConsoleLog("The error was %s\r\n", world.errorText);
    const char* groupsExtension = pathExtension(world.groupsPath);
    joinText(world.reportPath, PathSize, world.groupsPath, int(groupsExtension - world.groupsPath),
             ".report", groupsExtension);
    return 1;
}

