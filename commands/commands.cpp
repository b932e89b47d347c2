// Open, Save, New and Restart, without their windows.
#include "commands/commands.h"

#include "commands/groups_command.h"
#include "commands/scenario_command.h"

#include "core/history.h"
#include "core/platform.h"
#include "core/sim.h"
#include "files/paths.h"
#include "files/report.h"
#include "files/snapshot.h"

#include <cstdio>
#include <cstring>

CommandText commandText;

namespace {

// Saving ends the report of the groups file it was taken from, as it always
// has: the lines after a save would describe a run the file no longer names.
void endReportFile() { world.reportToFile = 0; }

}  // namespace

int openGroupsFile(const char* path, const char* name) {
    const char* extension = pathExtension(path);
    if (world.edition->opensSnapshots && std::strcmp(extension, ".omxxb") == 0) {
        if (!restoreSnapshot(path)) {
            ConsoleLog("Can't restore: The error was %s\r\n", world.errorText);
            return 0;
        }
        clearHistory();
        world.reportToFile = 0;
        return 2;
    }
    if (world.edition->opensScenarios && isScenarioPath(path)) {
        Scenario scenario;
        return openScenarioFile(path, scenario, nullptr, nullptr);
    }
    return openGroupsCsv(path, name);
}

const char* saveFileName() {
    if (!world.groupsPath[0])
        copyText(world.groupsPath, PathSize, "Default.csv");
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d(%s).omb", world.run.stepCount, world.edition->version);
    const char* extension = pathExtension(world.groupsPath);
    int keep = int(extension - world.groupsPath);
    if (!joinText(commandText.chosenPath, PathSize, world.groupsPath, keep, suffix, "")) {
        std::snprintf(world.errorText, sizeof world.errorText,
                      "Save-file name would need %d characters, at most %d fit",
                      keep + int(std::strlen(suffix)), PathSize - 1);
        ConsoleLog("Can't save: The error was %s\r\n", world.errorText);
        return nullptr;
    }
    return commandText.chosenPath;
}

void saveCommand() {
    // A name that does not fit has already been reported.
    const char* name = saveFileName();
    if (!name)
        return;
    endReportFile();
    ShowFileMessage("SAVE to %s coming soon", name);
}

void saveSnapshotCommand() {
    // Without a groups file there is nothing worth naming a snapshot after.
    if (!world.groupsPath[0])
        return;
    const char* name = saveFileName();
    if (!name)
        return;  // already logged
    endReportFile();
    if (!saveSnapshot(name))
        ConsoleLog("Can't save: The error was %s\r\n", world.errorText);
}

void newCommand() {
    world.groupsName[0] = 0;
    world.reportPath[0] = 0;
}

void restartCommand() {
    clearHistory();
    // A scenario starts again from its files, as first opened.
    if (!openedScenarioPath().empty()) {
        const std::string path = openedScenarioPath();
        world.run.constructionZone = 0;
        world.run.running = 0;
        world.hasTitleLine = 0;
        Scenario scenario;
        if (openScenarioFile(path.c_str(), scenario, nullptr, nullptr) == 1)
            return;
    }
    world.groupsName[0] = 0;
    world.groupsPath[0] = 0;
    world.run.constructionZone = 0;
    world.run.restartRequested = 1;
}

int backCommand(int step) {
    switch (goBackTo(step)) {
    case BackNoHistory:
        if (world.edition->keepsHistory)
            ConsoleLog("Cannot go back: nothing kept yet\r\n");
        return 0;
    case BackTooOld:
        ConsoleLog("Cannot go back to step %d: the oldest step kept is %d\r\n", step,
                   oldestKeyframeStep());
        return 0;
    case BackAhead:
        ConsoleLog("Cannot go back to step %d: the run is at step %d\r\n", step,
                   world.run.stepCount);
        return 0;
    case BackDone:
        break;
    }
    ConsoleLog("Back to step %d\r\n", step);
    if (world.reportToFile) {
        // The line due at this very step has not been written yet in the
        // state brought back; it comes again when the run goes on.
        int lastSecond = -1;
        if (!cutReportFile(world.reportPath, step, world.stepsPerSecond, &lastSecond)) {
            ConsoleLog("Cannot cut the report file %s, so report output is off for it\r\n",
                       world.reportPath);
            world.reportToFile = 0;
        } else if (lastSecond < 0) {
            ConsoleLog("report file cut after its header\r\n");
        } else {
            ConsoleLog("report file cut after %d s\r\n", lastSecond);
        }
    }
    UpdateTitle();
    RequestRepaint();
    return 1;
}

int backOnePeriodCommand() {
    int period = world.reportPeriod > 0 ? world.reportPeriod : KeyframeSteps;
    return backCommand(world.run.stepCount - period);
}
