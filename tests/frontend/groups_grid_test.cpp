// The Groups window's grid and its edits, without a window: the rows and
// cells a run shows, values checked as the groups reader checks its column,
// edits kept in the run's history, N placing afresh, and the Speed Chart's
// other future after going back and editing.
#include "frontend/groups_grid.h"

#include "commands/commands.h"
#include "core/history.h"
#include "core/world_fixture.h"
#include "files/groups.h"
#include "frontend/plots.h"
#include "frontend/live_views.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

using namespace coretest;

namespace {

int column(char letter) {
    for (int c = 0; c < GridColumns; c++)
        if (GridColumnTable[c].letter == letter)
            return c;
    ADD_FAILURE() << "no column " << letter;
    return 0;
}

std::string cell(int g, char letter) {
    char text[CellSize];
    groupCellText(g, column(letter), text, sizeof text);
    return text;
}

class GroupGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWorld();
        resetReader();
        clearHistory();
        runObserver = observeRun;
        loadDefaultGroups();
    }
    void TearDown() override { runObserver = nullptr; }

    // Eight busy groups of 60 cars, placed and running.
    static void startBusyRun(int multiplier = 1) {
        for (int g = 0; g < MaxGroups; g++)
            world.groups[g].carCount = g < 8 ? 60 : 0;
        world.groups[0].reportFlag = world.groups[1].reportFlag = 1;
        world.run.speedMultiplier = multiplier;
        quietly([] { runTick(); });
        world.run.running = 1;
    }
    static void runTo(int step) {
        world.run.running = 1;
        quietly([&] {
            while (world.run.stepCount < step)
                runTick();
        });
    }
    template <class F> static std::string quietly(F f) {
        LogCapture log;
        f();
        return log.take();
    }
    static std::string edit(int g, char letter, const char* text, EditResult expected) {
        char message[EditMessageSize];
        EditResult result = EditRefused;
        std::string log = quietly([&] { result = editGroupCell(g, column(letter), text, message, sizeof message); });
        EXPECT_EQ(result, expected) << g << " " << letter << " '" << text << "': " << log;
        return log;
    }
    std::string writeFile(const std::string& bytes) {
        std::string path = scratchPath("groups.csv");
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(GroupGridTest, TheBuiltInGroupsAreFiftyRowsWrittenAsTheFileWritesThem) {
    quietly([] { runTick(); });
    static GroupGrid grid;
    fillGroupGrid(grid);
    ASSERT_EQ(grid.rowCount, 50);
    for (int row = 0; row < 50; row++)
        EXPECT_EQ(grid.group[row], row);
    // Group 7 of the built-in set: 40 mph, 80 ft/s2, 160 ft follow distance,
    // delay 1 s, lane 5 - 1 = 4 stored as 4 (no preferred lane), left policy 11.
    EXPECT_EQ(cell(7, 'A'), "40");
    EXPECT_EQ(cell(7, 'B'), "80");
    EXPECT_EQ(cell(7, 'C'), "9.88889");
    EXPECT_EQ(cell(7, 'D'), "1");
    EXPECT_EQ(cell(7, 'F'), "0");      // Always is the file's 0
    EXPECT_EQ(cell(7, 'N'), "1");
    EXPECT_EQ(cell(7, 'P'), "15");
    EXPECT_EQ(cell(7, 'Q'), "1");
    EXPECT_EQ(cell(7, 'R'), "");
    EXPECT_EQ(cell(7, 'Z'), ColourTable[17].name);
    EXPECT_STREQ(GridColumnTable[column('A')].header, "A desired mph");
    EXPECT_STREQ(GridColumnTable[column('4')].header, "4 left lane");
}

TEST_F(GroupGridTest, EveryCellReadBackByTheReaderGivesTheValueItShows) {
    quietly([] { runTick(); });
    for (int g = 0; g < MaxGroups; g++)
        for (const char* letters = "ABCDEFGHIKLMPQZ"; *letters; letters++) {
            const char letter = *letters;
            // The built-in groups without a preferred lane hold lane 5, which
            // the reader takes but warns of: the cell shows it as it is.
            if (letter == 'E' && !world.groups[g].hasPreferredLane)
                continue;
            std::string text = cell(g, letter);
            char why[96];
            ASSERT_TRUE(readsAsWritten(letter, text.c_str(), why, sizeof why))
                << "group " << g << " column " << letter << " '" << text << "': " << why;
            const Group before = world.groups[g];
            quietly([&] { applyGroupField(g, letter, text.c_str()); });
            const Group& after = world.groups[g];
            // Six digits of a length in car lengths come back within a float's rounding.
            EXPECT_NEAR(after.followDistance, before.followDistance, 1e-3) << g;
            EXPECT_NEAR(after.leftAhead, before.leftAhead, 1e-3) << g;
            EXPECT_EQ(after.colour, before.colour) << g;
            EXPECT_EQ(after.leftPolicy, before.leftPolicy) << g;
            EXPECT_EQ(after.rightPolicy, before.rightPolicy) << g;
            EXPECT_EQ(after.preferredLane, before.preferredLane) << g;
            EXPECT_EQ(after.hasPreferredLane, before.hasPreferredLane) << g;
            EXPECT_EQ(after.startDelay, before.startDelay) << g;
            EXPECT_EQ(after.desiredSpeed, before.desiredSpeed) << g;
            world.groups[g] = before;
        }
}

TEST_F(GroupGridTest, RowsAreTheGroupsWithCarsAndThoseTheFileSet) {
    quietly([] { runTick(); });     // the built-in cars, as the program starts
    std::string path = writeFile("#,A,N,R\n3,50,0,\n5,60,10,x\n9,70,0,\n");
    quietly([&] { openGroupsFile(path.c_str(), "groups.csv"); });
    quietly([] { runTick(); });
    static GroupGrid grid;
    fillGroupGrid(grid);
    ASSERT_EQ(grid.rowCount, 3);
    EXPECT_EQ(grid.group[0], 3);
    EXPECT_EQ(grid.group[1], 5);
    EXPECT_EQ(grid.group[2], 9);
    EXPECT_STREQ(grid.cell[0][column('N')], "0");       // a group with no cars is still a row
    EXPECT_STREQ(grid.cell[1][column('N')], "10");
    EXPECT_STREQ(grid.cell[1][column('1')], "10");      // N's cars fill lane 1 first
    EXPECT_STREQ(grid.cell[1][column('R')], "#5");
    // A group with no cars takes an edit like any other.
    edit(3, 'A', "35", EditApplied);
    EXPECT_EQ(world.groups[3].desiredSpeed, 35.0f);
    // After a restart the file's groups without cars are rows no more.
    quietly([] { restartCommand(); runTick(); });
    fillGroupGrid(grid);
    EXPECT_EQ(grid.rowCount, 50);
}

TEST_F(GroupGridTest, AnEditLogsOneLineAndTakesEffectAtTheNextStep) {
    startBusyRun();
    runTo(400);
    world.groups[0].rightPolicy = Always;
    EXPECT_EQ(edit(0, 'I', "3", EditApplied), "Step 400: group 0 right policy I 1 -> 3\r\n");
    EXPECT_EQ(world.groups[0].rightPolicy, Never);
    EXPECT_EQ(edit(0, 'A', " 42.5 ", EditApplied), "Step 400: group 0 desired speed A 20 -> 42.5\r\n");
    EXPECT_EQ(world.groups[0].desiredSpeed, 42.5f);
    EXPECT_EQ(edit(0, 'C', "3", EditApplied), "Step 400: group 0 follow distance C 2.11111 -> 3\r\n");
    EXPECT_EQ(world.groups[0].followDistance, 36.0f);
    EXPECT_EQ(edit(1, 'Z', "Red", EditApplied).find("Step 400: group 1 colour Z "), 0u);
    EXPECT_EQ(world.groups[1].colour, colourByName("Red"));
    // The reader keeps negative speeds (the motion keeps cars from reversing).
    edit(2, 'A', "-5", EditApplied);
    EXPECT_EQ(world.groups[2].desiredSpeed, -5.0f);
    EXPECT_EQ(edit(0, 'A', "42.5", EditUnchanged), "");
    edit(0, 'E', "2", EditApplied);
    EXPECT_EQ(world.groups[0].preferredLane, 1);
}

TEST_F(GroupGridTest, ValuesTheReaderWouldNotTakeAsWrittenLeaveTheGroupAsItWas) {
    startBusyRun();
    runTo(160);
    struct Bad { char letter; const char* text; const char* reason; };
    const Bad bad[] = {
        {'A', "30,5", "comma"}, {'A', "fast", "no number"}, {'A', "nan", "not a usable"},
        {'A', "inf", "not a usable"}, {'A', "1e39", "not a usable"}, {'A', "1e400", "not a usable"},
        {'A', "30 mph", "is read as 30"}, {'A', "", "empty"}, {'A', "   ", "empty"},
        {'C', "1e38", "not a usable"},  // (1e38 - 1) * 18 is past a float
        {'D', "3e37", "not a usable"},  // times 16 steps a second
        {'E', "two", "no whole number"}, {'E', "1.5", "is read as 1"},
        {'E', "99999999999", "no lane"}, {'E', "5", "no lane"},
        {'F', "7", "no left-change code"}, {'I', "0", "no right-change code"},
        {'I', "99999999999999999999", "is read as"},
        {'N', "-5", "places none"}, {'N', "1000001", "were held to 1000000"}, {'2', "x", "no whole"},
        {'Z', "Reddish", "no colour"}, {'Z', "Red,Blue", "comma"}, {'R', "#10", "cannot be edited"},
        {'#', "4", "cannot be edited"},
    };
    for (const Bad& b : bad) {
        const SimWorld* saved = &world;
        static Group before[MaxGroups];
        std::memcpy(before, saved->groups, sizeof before);
        const int period = world.reportPeriod;
        std::string log = edit(0, b.letter, b.text, EditRefused);
        EXPECT_NE(log.find("refused"), std::string::npos) << log;
        EXPECT_NE(log.find(b.reason), std::string::npos) << b.text << ": " << log;
        EXPECT_EQ(std::memcmp(before, world.groups, sizeof before), 0) << b.letter << " " << b.text;
        EXPECT_EQ(world.reportPeriod, period);
        EXPECT_EQ(world.run.stepCount, 160);
    }
}

SimWorld edited;   // static: the record is large

TEST_F(GroupGridTest, GoingBackBeforeAnEditBringsTheOldValueAndRunningOnDoesNotReplayIt) {
    startBusyRun();
    runTo(1000);
    edit(3, 'A', "75", EditApplied);
    runTo(1600);
    edited = world;
    ASSERT_EQ(world.groups[3].desiredSpeed, 75.0f);

    quietly([] { backCommand(900); });
    EXPECT_EQ(world.groups[3].desiredSpeed, 50.0f);
    runTo(1600);
    EXPECT_EQ(world.groups[3].desiredSpeed, 50.0f);
    const SimWorld& unedited = world;
    EXPECT_NE(std::memcmp(unedited.cars, edited.cars, sizeof edited.cars), 0);

    // Back to a step after the edit: the edit is there, and the run on from
    // there is the edited run again, byte for byte.
    quietly([] { backCommand(1100); });
    EXPECT_EQ(world.groups[3].desiredSpeed, 50.0f) << "the run on from 900 had no edit";
}

TEST_F(GroupGridTest, AnEditIsKeptInTheHistoryAtTheStepItWasMade) {
    startBusyRun();
    runTo(1000);
    edit(3, 'A', "75", EditApplied);
    runTo(1600);
    edited = world;
    quietly([] { backCommand(1050); });
    EXPECT_EQ(world.groups[3].desiredSpeed, 75.0f);
    runTo(1600);
    EXPECT_EQ(std::memcmp(world.cars, edited.cars, sizeof edited.cars), 0);
    EXPECT_EQ(std::memcmp(world.groups, edited.groups, sizeof edited.groups), 0);
}

TEST_F(GroupGridTest, AnEditAtMultiplier256IsMadeBetweenTicksAndKept) {
    startBusyRun(256);
    runTo(2000);
    const int at = world.run.stepCount;
    EXPECT_EQ(at % 256, 0);
    edit(1, 'B', "2", EditApplied);
    runTo(4000);
    EXPECT_EQ(world.groups[1].acceleration, 2.0f);
    quietly([&] { backCommand(at - 10); });
    EXPECT_EQ(world.groups[1].acceleration, 20.0f);
    EXPECT_TRUE(carsSane());
}

TEST_F(GroupGridTest, AnEditOfNPlacesEveryCarAfreshKeepingTheOthersLaneByLane) {
    startBusyRun();
    runTo(800);
    int lanes[MaxGroups][LaneTotal];
    for (int g = 0; g < MaxGroups; g++)
        for (int k = 0; k < LaneTotal; k++)
            lanes[g][k] = groupCarsOnRoad(g, k);
    std::string log = edit(2, 'N', "25", EditPlacesAfresh);
    EXPECT_EQ(log, "Step 800: group 2 cars N 60 -> 25: every car placed afresh\r\n");
    quietly([] { world.run.running = 0; runTick(); });
    EXPECT_EQ(world.run.stepCount, 0);
    EXPECT_EQ(history.count, 0);
    EXPECT_EQ(groupCarsOnRoad(2, -1), 25);
    for (int g = 0; g < MaxGroups; g++)
        for (int k = 0; k < LaneTotal; k++)
            EXPECT_TRUE(g == 2 || groupCarsOnRoad(g, k) == lanes[g][k]) << g << " lane " << k + 1;
    EXPECT_TRUE(ringConsistent());

    // Lane 4 of group 0 to 0 cars; the group's other lanes keep theirs.
    int lane1 = groupCarsOnRoad(0, 0);
    edit(0, '4', "0", EditPlacesAfresh);
    quietly([] { runTick(); });
    EXPECT_EQ(groupCarsOnRoad(0, 3), 0);
    EXPECT_EQ(groupCarsOnRoad(0, 0), lane1);
}

TEST_F(GroupGridTest, AnEditOfNThatLeavesNoCarIsRefused) {
    quietly([] { runTick(); });
    std::string path = writeFile("#,A,N\n4,50,6\n");
    quietly([&] { openGroupsFile(path.c_str(), "groups.csv"); runTick(); });
    runTo(100);
    std::string log = edit(4, 'N', "0", EditRefused);
    EXPECT_NE(log.find("no group would have a car"), std::string::npos) << log;
    EXPECT_EQ(carsToPlace(), 0);
    runTo(200);
    EXPECT_EQ(groupCarsOnRoad(4, -1), 6);
}

TEST_F(GroupGridTest, ANewFileAfterAnEditBringsTheFilesValues) {
    startBusyRun();
    runTo(200);
    edit(0, 'A', "99", EditApplied);
    std::string path = writeFile("#,A,N\n0,50,6\n");
    quietly([&] { openGroupsFile(path.c_str(), "groups.csv"); runTick(); });
    EXPECT_EQ(world.groups[0].desiredSpeed, 50.0f);
    EXPECT_EQ(cell(0, 'A'), "50");
}

TEST_F(GroupGridTest, TheChartKeepsTheFutureBeforeGoingBackOnceAGroupIsEdited) {
    startBusyRun();
    runTo(1600);
    const int pointsBefore = liveViews.chart.count;
    ASSERT_GT(pointsBefore, 10);
    const ChartPoint newestBefore = *chartPoint(0);

    // Going back alone shows nothing more: running on replays the same run.
    quietly([] { backCommand(800); });
    EXPECT_EQ(keptPoint(0), nullptr);
    const unsigned revision = liveViews.revision;
    edit(0, 'A', "60", EditApplied);
    EXPECT_NE(liveViews.revision, revision);
    ASSERT_NE(keptPoint(0), nullptr);
    EXPECT_EQ(liveViews.kept.count, pointsBefore);
    EXPECT_EQ(keptPoint(0)->step, newestBefore.step);
    EXPECT_EQ(keptPoint(0)->group[0], newestBefore.group[0]);
    // The time axis reaches the other future's newest point.
    ChartLayout layout = layoutSpeedChart(600, 400, 3);
    EXPECT_EQ(layout.seconds.high, newestBefore.seconds);

    // A second going back and edit still compares with the first future.
    runTo(1200);
    quietly([] { backCommand(1000); });
    edit(0, 'A', "70", EditApplied);
    EXPECT_EQ(keptPoint(0)->step, newestBefore.step);

    // A fresh start forgets it.
    edit(0, 'N', "30", EditPlacesAfresh);
    quietly([] { runTick(); });
    EXPECT_EQ(keptPoint(0), nullptr);
}

TEST_F(GroupGridTest, ARunWithoutEditsDrawsTheSameChartAfterGoingBack) {
    startBusyRun();
    runTo(1600);
    quietly([] { backCommand(800); });
    runTo(1600);
    EXPECT_EQ(keptPoint(0), nullptr);
    ChartLayout layout = layoutSpeedChart(600, 400, 3);
    EXPECT_EQ(layout.seconds.high, chartPoint(0)->seconds);
}

}  // namespace
