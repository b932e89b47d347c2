// File > Save Scenario As without its dialog: the text written for a session
// of zone switches and group edits, what going back leaves out, an opened
// scenario's own lines, values that would break the format, and the saved
// file run as ombrane-batch runs it giving the window's report byte for byte.
#include "files/files_fixture.h"

#include "commands/save_scenario.h"
#include "commands/scenario_command.h"
#include "core/history.h"
#include "core/input_log.h"
#include "core/platform.h"
#include "core/sim.h"
#include "frontend/groups_grid.h"

#include <cstring>

namespace {

const char* const TwoGroups =
    "#,Z,A,B,C,D,E,F,G,H,I,K,L,M,N,1,2,3,4,P,Q,R\r\n"
    "0,Red,60,10,2,1,1,0,2,2,1,2,2,3,0,30,0,0,0,15,1,x\r\n"
    "1,Blue,50,8,2,1,2,1,2,2,2,2,2,3,25,0,25,0,0,10,1,x\r\n";

int column(char letter) {
    for (int c = 0; c < GridColumns; c++)
        if (GridColumnTable[c].letter == letter)
            return c;
    return -1;
}

class SaveScenario : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        clearHistory();
        forgetScenario();
    }
    void TearDown() override {
        forgetScenario();
        FilesTest::TearDown();
    }

    // As the window starts: the built-in groups placed at the first tick.
    static void startLikeTheWindow(int multiplier) {
        resetDefaults();
        loadDefaultGroups();
        logOf([] { runTick(); });
        world.run.speedMultiplier = multiplier;
    }
    // Opens the file (none for ""), then the tick that places the cars.
    static void open(const std::string& path) {
        const char* name = std::strrchr(path.c_str(), '/');
        logOf([&] {
            if (!path.empty())
                openGroupsFile(path.c_str(), name ? name + 1 : path.c_str());
            world.run.running = 0;
            runTick();
        });
    }
    static void runTo(int step) {
        world.run.running = 1;
        logOf([&] {
            for (int ticks = 0; world.run.stepCount < step && ticks < 100000; ticks++)
                runTick();
        });
        ASSERT_EQ(world.run.stepCount, step);
        world.run.running = 0;
    }
    static void edit(int g, char letter, const char* text) {
        char message[EditMessageSize];
        EditResult result = EditRefused;
        logOf([&] { result = editGroupCell(g, column(letter), text, message, sizeof message); });
        EXPECT_EQ(result, EditApplied) << message;
    }
    static void zoneKey() { logOf([] { handleRunKey('C'); }); }
    static std::string save(const std::string& path) {
        return logOf([&] { saveScenarioCommand(path.c_str()); });
    }

    // As ombrane-batch runs a scenario: the same start, the file opened,
    // Enter, and ticks to its steps.
    std::string runAsBatch(const std::string& scenario, int multiplier) {
        resetWorld(CurrentEdition);
        resetReader();
        connectReportFile();
        startLikeTheWindow(multiplier);
        Scenario s;
        std::string problem;
        int code = 0;
        int opened = 0;
        const std::string openLog = logOf([&] { opened = openScenarioFile(scenario.c_str(), s, &problem, &code); });
        EXPECT_EQ(opened, 1) << problem << openLog;
        if (opened != 1)
            return world.reportPath;
        world.run.stepTo = int(s.steps);
        logOf([] {
            handleRunKey(ResumeKey);
            for (int ticks = 0; world.run.running && ticks < 100000; ticks++)
                runTick();
        });
        return world.reportPath;
    }
};

// The whole point: the window's report file comes back byte for byte.
TEST_F(SaveScenario, ASessionOfEditsAndZoneSwitchesRunInBatchGivesTheSameReport) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(8);
    open(groups);
    runTo(400);
    edit(1, 'A', "20");
    runTo(1040);
    zoneKey();
    edit(0, 'I', "3");
    runTo(1600);
    zoneKey();
    edit(1, 'A', "35.5");
    edit(0, 'C', "4");
    runTo(2456);
    const std::string windowReport = slurp(world.reportPath);
    const float windowSpeed = world.cars[3].speed;

    const std::string saved = (folder / "session.scenario").string();
    const std::string log = save(saved);
    EXPECT_NE(log.find("Saved scenario " + saved + " at step 2456"), std::string::npos) << log;
    EXPECT_EQ(log.find("Not in the scenario"), std::string::npos) << log;

    const std::string batchReport = runAsBatch(saved, 8);
    EXPECT_EQ(batchReport, (folder / "session.report.csv").string());
    EXPECT_EQ(world.run.stepCount, 2456);
    EXPECT_GT(windowReport.size(), 500u);
    EXPECT_EQ(slurp(batchReport), windowReport);
    EXPECT_EQ(world.cars[3].speed, windowSpeed);

    // The edits are what makes it so: without them the report differs.
    const std::string plain = write("plain.scenario", "groups = road.csv\nsteps = 2456\n");
    EXPECT_NE(slurp(runAsBatch(plain, 8)), windowReport);
}

TEST_F(SaveScenario, EditsAndSwitchesAreWrittenAtTheStepsTheyTookEffect) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(1);
    open(groups);
    runTo(33);
    zoneKey();
    edit(1, 'A', " 20 ");
    edit(1, 'A', "25");                  // two at one step: both, in order
    runTo(90);
    edit(0, 'Z', "Aqua");
    zoneKey();
    runTo(100);
    EXPECT_EQ(sessionScenario((folder / "s.scenario").string()).text,
              "# What was done in the window, as a scenario: ombrane-batch runs it again\n"
              "groups = road.csv\n"
              "steps = 100\n"
              "at step 33 zone on\n"
              "at step 33 group 1 A = 20\n"
              "at step 33 group 1 A = 25\n"
              "at step 90 group 0 Z = Aqua\n"
              "at step 90 zone off\n");
}

// Only the run's present history counts: an edit undone by going back is
// not written, one made before the step gone back to is.
TEST_F(SaveScenario, GoingBackLeavesOutTheEditsOfTheAbandonedFuture) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(8);
    open(groups);
    runTo(160);
    edit(1, 'A', "20");
    runTo(480);
    edit(1, 'A', "30");
    zoneKey();
    runTo(640);
    logOf([] { backCommand(320); });
    edit(0, 'A', "40");
    runTo(400);
    std::string text = sessionScenario((folder / "s.scenario").string()).text;
    EXPECT_NE(text.find("at step 160 group 1 A = 20\n"), std::string::npos) << text;
    EXPECT_NE(text.find("at step 320 group 0 A = 40\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("= 30"), std::string::npos) << text;
    EXPECT_EQ(text.find("zone"), std::string::npos) << text;

    // Back to the step of an edit that the run went on from keeps it.
    logOf([] { backCommand(320); });
    text = sessionScenario((folder / "s.scenario").string()).text;
    EXPECT_NE(text.find("at step 320 group 0 A = 40\n"), std::string::npos) << text;
    // Back before it, and nothing is left.
    logOf([] { backCommand(80); });
    text = sessionScenario((folder / "s.scenario").string()).text;
    EXPECT_EQ(text.find("at step"), std::string::npos) << text;
}

// An opened scenario's settings and events are kept as written; the
// window's inputs of a step come before the scenario's events of that step,
// as the window made them before the step fired its events.
TEST_F(SaveScenario, AnOpenedScenarioKeepsItsLinesAndRunsTheSameWithNoise) {
    write("road.csv", TwoGroups);
    const std::string scenario = write("study.scenario",
                                       "groups = road.csv   # the two groups\n"
                                       "seed = 7\n"
                                       "noise group 1 = 0.05\n"
                                       "steps = 99999\n"
                                       "group 0 A = 55\n"
                                       "at 0:30 zone on\n"
                                       "at step 800 group 1 A = 30\n"
                                       "at 1:10 zone off\n");
    startLikeTheWindow(16);
    open(scenario);
    runTo(800);
    edit(1, 'A', "40");                  // overruled by the scenario's event at 800
    runTo(1600);
    edit(0, 'B', "4.5");
    runTo(2000);
    const std::string windowReport = slurp(world.reportPath);

    const std::string saved = (folder / "again.scenario").string();
    save(saved);
    const std::string text = slurp(saved);
    EXPECT_EQ(text,
              "# What was done in the window, as a scenario: ombrane-batch runs it again\n"
              "groups = road.csv\n"
              "seed = 7\n"
              "noise group 1 = 0.05\n"
              "group 0 A = 55\n"
              "steps = 2000\n"
              "at step 800 group 1 A = 40\n"
              "at step 1600 group 0 B = 4.5\n"
              "at 0:30 zone on\n"
              "at step 800 group 1 A = 30\n"
              "at 1:10 zone off\n");
    EXPECT_EQ(slurp(runAsBatch(saved, 16)), windowReport);
    EXPECT_EQ(world.groups[1].desiredSpeed, 30.0f);
}

TEST_F(SaveScenario, WhatAScenarioCannotSayIsToldNotLost) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(1);
    // The built-in groups name no file.
    std::string log = save((folder / "s.scenario").string());
    EXPECT_NE(log.find("Cannot save the scenario"), std::string::npos) << log;
    EXPECT_NE(log.find("built-in groups"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(folder / "s.scenario"));

    open(groups);
    runTo(10);
    log = save((folder / "s.txt").string());
    EXPECT_NE(log.find("its name must end in .scenario"), std::string::npos) << log;

    // Values that would end the line or start a comment, and one the reader
    // refuses, are left out with a note; the rest is written.
    noteGroupInput(0, 'A', "40 # slow");
    noteGroupInput(0, 'A', "40\n");
    noteGroupInput(0, 'N', "3");
    edit(1, 'A', "30");
    runTo(20);
    log = save((folder / "s.scenario").string());
    EXPECT_NE(log.find("'#', which starts a comment"), std::string::npos) << log;
    EXPECT_NE(log.find("a line end"), std::string::npos) << log;
    EXPECT_NE(log.find("column N cannot change during a run"), std::string::npos) << log;
    const std::string text = slurp((folder / "s.scenario").string());
    EXPECT_NE(text.find("at step 10 group 1 A = 30\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("group 0"), std::string::npos) << text;
    Scenario back;
    std::string problem;
    EXPECT_TRUE(parseScenario(text, "s.scenario", back, problem)) << problem;

}

// An edit of N or of a lane count starts the run again from step 0 with
// the groups as edited and the cars each group had lane by lane: the
// scenario says so in group lines, the scenario's group events fired before
// the edit among them, and the run comes back the same.
TEST_F(SaveScenario, CarsPlacedAfreshByAnEditOfACountAreWrittenAsTheStart) {
    write("road.csv", TwoGroups);
    const std::string scenario = write("study.scenario",
                                       "groups = road.csv\n"
                                       "group 0 B = 6\n"
                                       "group 1 N = 25   # replaced by the counts as placed\n"
                                       "at step 160 group 0 A=45\n"
                                       "at step 480 zone on\n");
    startLikeTheWindow(8);
    open(scenario);
    runTo(320);
    edit(1, 'C', "3");
    runTo(560);
    edit(0, 'B', "7");
    edit(0, 'B', "6");
    char message[EditMessageSize];
    logOf([&] { EXPECT_EQ(editGroupCell(1, column('N'), "12", message, sizeof message), EditPlacesAfresh); });
    open("");                            // the tick that places them
    EXPECT_EQ(world.run.stepCount, 0);
    runTo(400);
    logOf([&] { EXPECT_EQ(editGroupCell(0, column('2'), "4", message, sizeof message), EditPlacesAfresh); });
    open("");
    runTo(240);
    edit(1, 'A', "33");
    runTo(800);
    const std::string windowReport = slurp(world.reportPath);

    const std::string saved = (folder / "afresh.scenario").string();
    const std::string log = save(saved);
    EXPECT_EQ(log.find("Not in the scenario"), std::string::npos) << log;
    const std::string text = slurp(saved);
    // Each column once, at its last value; the scenario's own line of one
    // the window changed gives way.
    EXPECT_NE(text.find("groups = road.csv\n"
                        "group 1 C = 3\n"
                        "group 0 B = 6\n"
                        "group 0 A = 45\n"
                        "group 0 N = 0\n"
                        "group 0 1 = "),
              std::string::npos) << text;
    EXPECT_NE(text.find("group 0 2 = 4\n"), std::string::npos) << text;
    EXPECT_NE(text.find("group 1 N = 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("steps = 800\nat step 0 zone on\nat step 240 group 1 A = 33\n"), std::string::npos) << text;
    EXPECT_EQ(slurp(runAsBatch(saved, 8)), windowReport);
}

// The report points are made where ticks start: a window that stepped past
// some says so, one that made every one, going back included, does not.
TEST_F(SaveScenario, ReportPointsTheWindowsTicksPassedAreNamed) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(8);
    open(groups);
    runTo(640);
    logOf([] { backCommand(320); });
    runTo(1000);
    logOf([] { backCommand(480); });
    EXPECT_EQ(save((folder / "s.scenario").string()).find("Not in the scenario"), std::string::npos);
    world.run.speedMultiplier = 7;      // from 480: ticks start at none of 560, 640, 720
    runTo(480 + 7 * 40);
    std::string log = save((folder / "s.scenario").string());
    EXPECT_NE(log.find("Not in the scenario: the window made 7 of the 10 report points"), std::string::npos)
        << log;
    // Going back to a step between report points puts the ticks of 8 off them too.
    world.run.speedMultiplier = 8;
    logOf([] { backCommand(333); });
    runTo(333 + 8 * 20);
    log = save((folder / "s.scenario").string());
    EXPECT_NE(log.find("the window made 5 of the 7 report points"), std::string::npos) << log;
}

TEST_F(SaveScenario, TheZoneOnWhenTheRunStartedIsAnEventAtStepZero) {
    const std::string groups = write("road.csv", TwoGroups);
    startLikeTheWindow(1);
    zoneKey();
    open(groups);
    runTo(50);
    EXPECT_NE(sessionScenario((folder / "s.scenario").string()).text.find("steps = 50\nat step 0 zone on\n"),
              std::string::npos);
}

TEST(RelativeGroupsPath, NamesTheGroupsFileFromTheScenariosFolder) {
    EXPECT_EQ(relativeGroupsPath("/a/b/s.scenario", "/a/b/g.csv"), "g.csv");
    EXPECT_EQ(relativeGroupsPath("/a/b/s.scenario", "/a/b/c/g.csv"), "c/g.csv");
    EXPECT_EQ(relativeGroupsPath("/a/b/s.scenario", "/a/g.csv"), "../g.csv");
    EXPECT_EQ(relativeGroupsPath("/a/b/s.scenario", "/x/y/g.csv"), "../../x/y/g.csv");
    EXPECT_EQ(relativeGroupsPath("Z:\\tmp\\w\\s.scenario", "Z:\\tmp\\w\\data\\g.csv"), "data/g.csv");
    EXPECT_EQ(relativeGroupsPath("Z:\\tmp\\s.scenario", "C:\\data\\g.csv"), "C:/data/g.csv");
    EXPECT_EQ(relativeGroupsPath("s.scenario", "./g.csv"), "g.csv");
    EXPECT_EQ(relativeGroupsPath("out/s.scenario", "g.csv"), "../g.csv");
    // No name leads there.
    EXPECT_EQ(relativeGroupsPath("/a/s.scenario", "g.csv"), "");
    EXPECT_EQ(relativeGroupsPath("../s.scenario", "g.csv"), "");
}

}  // namespace
