// The tick: the window timer's one call into the simulation. It does the
// pending housekeeping, shows the title, and while running advances the world.
#include "platform.h"
#include "sim.h"

#include "history.h"
#include "input_log.h"
#include "scenario.h"

#include <climits>

namespace {

void writeReport(const char* text, const char* mode) {
    if (reportWriter)
        reportWriter(text, world.reportPath, mode);
}

int secondsSimulated() { return world.run.stepCount / world.stepsPerSecond; }

// A groups file was just read: its report file starts afresh with a header,
// unless the file itself turned report output off.
void startReportFile() {
    world.reportToFile = world.fileOutput && world.reportPath[0];
    if (world.reportToFile)
        writeReport(buildReportHeader(), "w");
}

bool atReportPoint() {
    return world.reportPeriod != 0 && world.run.stepCount % world.reportPeriod == 0;
}

void writeReportPoint() {
    buildReportLines(secondsSimulated());
    if (world.reportToFile)
        writeReport(world.reportLine, "a");
}

// The step count is an int: at its largest value the run stops instead of
// counting on into negative steps.
bool atLastCountableStep() {
    if (world.run.stepCount < INT_MAX)
        return false;
    world.run.running = 0;
    ConsoleLog("Stopped at step %d, the last step that can be counted\r\n", world.run.stepCount);
    return true;
}

// A step as the tick makes it, told to the observer; the replay of a rewind
// steps without it.
void observedStep() {
    tellObserver(RunAboutToStep);
    stepWorld();
    tellObserver(RunStepped);
}

void advance() {
    RunControl& run = world.run;
    recordKeyframe();
    if (atReportPoint()) {
        recordReportPoint();
        writeReportPoint();
        tellObserver(RunReported);
    }
    if (!world.edition->hasMultiplier) {
        if (!atLastCountableStep())
            observedStep();
    } else {
        for (int k = 0; k < run.speedMultiplier; k++) {
            if (atLastCountableStep())
                break;
            observedStep();
            if (run.stepCount == run.stepTo) {
                run.running = 0;
                break;
            }
            if (run.stepCount > run.stepTo)
                run.stepTo = 0;
        }
    }
    if (!world.edition->drawsCarsAsTheyMove)
        RequestRepaint();
    run.singleStep = 0;
}

}  // namespace

void runTick() {
    RunControl& run = world.run;
    unsigned t0 = MilliClock();
    world.drawContext = AcquireDrawContext();

    if (run.restartRequested) {
        restartWorld();
        world.hasTitleLine = 0;
        run.running = 0;
    }
    if (carsToPlace() > 0) {
        clearHistory();
        run.stepCount = 0;
        const int asked = carsToPlace();
        world.carTotal = placeAllCars(world.drawContext);
        startScenarioRun(asked);
        tellObserver(RunStartedAfresh);
        if (!world.edition->drawsCarsAsTheyMove)
            RequestRepaint();
    }
    if (world.newGroupsPending) {
        world.newGroupsPending = 0;
        startReportFile();
        buildReportLines(secondsSimulated());
        tellObserver(RunStartedAfresh);
    }
    if (!world.hasTitleLine)
        buildReportLines(secondsSimulated());
    UpdateTitle();

    if (run.running || run.singleStep)
        advance();

    ReleaseDrawContext(world.drawContext);
    world.drawContext = nullptr;
    unsigned elapsed = MilliClock() - t0;
    if (elapsed == 0 && world.edition->tickMillisAtLeastOne)
        elapsed = 1;
    run.tickMillis = int(elapsed);
}

BackResult goBackTo(int step) {
    // The present keeps what the user set, the window it is drawn in and what
    // became of the report file.
    const RunControl now = world.run;
    void* const drawContext = world.drawContext;
    const int reportToFile = world.reportToFile;
    const int reportFailing = world.reportFailing;
    const int reportLinesLost = world.reportLinesLost;

    const BackResult result = restoreModelAt(step);
    if (result != BackDone)
        return result;

    world.drawContext = drawContext;
    world.reportToFile = reportToFile;
    world.reportFailing = reportFailing;
    world.reportLinesLost = reportLinesLost;
    world.run.speedMultiplier = now.speedMultiplier;
    world.run.stepTo = now.stepTo;
    world.run.tickMillis = now.tickMillis;
    world.run.running = 0;
    world.run.singleStep = 0;
    tellObserver(RunWentBack);
    return BackDone;
}

void handleRunKey(int character) {
    RunControl& run = world.run;
    const Edition& edition = *world.edition;
    switch (character) {
    case ResumeKey:
        if (!run.running) {
            ConsoleLog("Resuming\r\n");
            if (edition.focusesOnRunKeys)
                FocusMainWindow();
        }
        run.running = 1;
        return;
    case PauseKey:
        if (run.running) {
            ConsoleLog("%s", edition.pauseText);
            if (edition.focusesOnRunKeys)
                FocusMainWindow();
        }
        run.singleStep = 1;
        run.running = 0;
        return;
    case 'C':
    case 'c':
        if (!world.edition->hasConstructionZone)
            return;
        run.constructionZone = !run.constructionZone;
        noteZoneInput(run.constructionZone);
        ConsoleLog(run.constructionZone ? "Construction Zone--Fines doubled\r\n"
                                        : "Roadwork Complete--Drive Safely\r\n");
        RequestRepaint();
        return;
    default:
        return;
    }
}
