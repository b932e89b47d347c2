// The tick with its run control, and the keys that drive it, in both editions.
#include "world_fixture.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "files/report.h"

using namespace coretest;

namespace {

std::string tick() {
    LogCapture log;
    runTick();
    return log.take();
}

std::string key(int character) {
    LogCapture log;
    handleRunKey(character);
    return log.take();
}

// The default groups on the road after the first tick, paused at step 0.
// As a program starts: the report file connected, the built-in groups placed.
void startWithDefaults(const Edition& edition = CurrentEdition) {
    freshWorld(edition);
    connectReportFile();
    loadDefaultGroups();
    tick();
}

void markReportLine() { std::strcpy(world.reportLine, "X"); }
bool reportLineBuilt() { return std::strcmp(world.reportLine, "X") != 0; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string tempPath(const char* name) { return coretest::scratchPath(std::string(name) + ".report.csv"); }

// ----------------------------------------------------------------- RunTick

TEST(RunTick, FirstTickPlacesAndBuildsTheTitleWithoutMoving) {
    freshWorld();
    loadDefaultGroups();
    world.run.stepCount = 77;
    EXPECT_EQ(tick(), "Placed 50 cars in 50 groups on roadway\r\n");
    EXPECT_EQ(world.carTotal, 50);
    EXPECT_EQ(world.run.stepCount, 0);
    EXPECT_EQ(world.hasTitleLine, 1);
    EXPECT_STREQ(world.titleLine, "-1(A)");
    EXPECT_EQ(world.cars[49].position, 1764.0f);
    EXPECT_GE(world.run.tickMillis, 1);
}

TEST(RunTick, FirstAdvanceReportsBeforeAnyCarMoves) {
    startWithDefaults();
    EXPECT_EQ(key(13), "Resuming\r\n");
    markReportLine();
    tick();
    EXPECT_STREQ(world.reportLine, ", 0, -1\n");
    EXPECT_EQ(world.run.stepCount, 1);
    int samples = 0;
    for (int g = 0; g < MaxGroups; g++)
        samples += world.groups[g].speedSamples;
    EXPECT_EQ(samples, 50);
}

TEST(RunTick, StepToStopsInsideAMultipliedTick) {
    startWithDefaults();
    world.run.stepCount = 96;
    world.run.stepTo = 100;
    world.run.speedMultiplier = 8;
    world.run.running = 1;
    tick();
    EXPECT_EQ(world.run.stepCount, 100);
    EXPECT_EQ(world.run.running, 0);
    EXPECT_EQ(world.run.stepTo, 100);
    tick();
    EXPECT_EQ(world.run.stepCount, 100);

    // Enter resumes; the first step passes the target and discards it.
    key(13);
    tick();
    EXPECT_EQ(world.run.stepCount, 108);
    EXPECT_EQ(world.run.stepTo, 0);
    EXPECT_EQ(world.run.running, 1);
}

TEST(RunTick, TargetAlreadyPassedIsDiscarded) {
    for (int target : {50, -5}) {
        startWithDefaults();
        world.run.stepCount = 80;
        world.run.stepTo = target;
        world.run.running = 1;
        tick();
        EXPECT_EQ(world.run.stepCount, 81);
        EXPECT_EQ(world.run.stepTo, 0);
        EXPECT_EQ(world.run.running, 1);
    }
}

TEST(RunTick, NoTargetNeverStops) {
    startWithDefaults();
    world.run.running = 1;
    world.run.speedMultiplier = 2;
    for (int i = 0; i < 300; i++)
        tick();
    EXPECT_EQ(world.run.running, 1);
    EXPECT_EQ(world.run.stepCount, 600);
}

TEST(RunTick, SpaceWhilePausedAdvancesOneMultipliedTick) {
    startWithDefaults();
    world.run.speedMultiplier = 4;
    EXPECT_EQ(key(32), "");
    EXPECT_EQ(world.run.singleStep, 1);
    tick();
    EXPECT_EQ(world.run.stepCount, 4);
    EXPECT_EQ(world.run.singleStep, 0);
    EXPECT_EQ(world.run.running, 0);
    tick();
    EXPECT_EQ(world.run.stepCount, 4);
}

std::vector<int> reportSteps(int multiplier, int until) {
    std::vector<int> steps;
    world.run.speedMultiplier = multiplier;
    world.run.running = 1;
    while (world.run.stepCount < until) {
        int at = world.run.stepCount;
        markReportLine();
        tick();
        if (reportLineBuilt())
            steps.push_back(at);
    }
    return steps;
}

TEST(RunTick, ReportPointsFollowTheMultiplier) {
    startWithDefaults();
    EXPECT_EQ(reportSteps(1, 300), (std::vector<int>{0, 80, 160, 240}));
    startWithDefaults();
    EXPECT_EQ(reportSteps(3, 600), (std::vector<int>{0, 240, 480}));
}

TEST(RunTick, NegativeReportPeriodCountsLikeItsSize) {
    startWithDefaults();
    world.reportPeriod = -80;
    EXPECT_EQ(reportSteps(1, 200), (std::vector<int>{0, 80, 160}));
}

TEST(RunTick, ReportPeriodZeroBuildsNoReportLines) {
    startWithDefaults();
    world.reportPeriod = 0;
    EXPECT_EQ(reportSteps(1, 200), std::vector<int>{});
}

TEST(RunTick, ReportSecondsAreTruncatedToWholeSeconds) {
    startWithDefaults();
    world.reportPeriod = 24;
    EXPECT_EQ(reportSteps(1, 25), (std::vector<int>{0, 24}));
    EXPECT_EQ(std::strncmp(world.reportLine, ", 1, ", 5), 0) << world.reportLine;
}

TEST(RunTick, NewGroupsRebuildTheLinesAndCloseThePeriod) {
    startWithDefaults();
    world.run.running = 1;
    for (int i = 0; i < 10; i++)
        tick();
    key(32);
    world.newGroupsPending = 1;
    markReportLine();
    tick();  // paused after this one step
    EXPECT_EQ(world.newGroupsPending, 0);
    EXPECT_TRUE(reportLineBuilt());
    EXPECT_STRNE(world.titleLine, "-1(A)");
    int samples = 0;
    for (int g = 0; g < MaxGroups; g++)
        samples += world.groups[g].speedSamples;
    EXPECT_EQ(samples, 50);  // the step after the rebuild only
}

TEST(RunTick, PlacementRestartsTheCountButNotTheRun) {
    startWithDefaults();
    world.run.running = 1;
    world.run.stepCount = 500;
    calmGroup(0).carCount = 2;
    EXPECT_EQ(tick(), "Placed 2 cars in 1 groups on roadway\r\n");
    EXPECT_EQ(world.carTotal, 2);
    EXPECT_EQ(world.run.stepCount, 1);
    EXPECT_EQ(world.run.running, 1);
}

TEST(RunTick, RestartWhileRunningPausesAndRebuildsTheTitle) {
    startWithDefaults();
    world.run.running = 1;
    world.run.speedMultiplier = 5;
    world.run.constructionZone = 1;
    for (int i = 0; i < 10; i++)
        tick();
    world.run.restartRequested = 1;
    std::strcpy(world.titleLine, "X");
    std::string log = tick();
    EXPECT_EQ(world.run.running, 0);
    EXPECT_EQ(world.run.restartRequested, 0);
    EXPECT_EQ(world.run.stepCount, 0);
    EXPECT_EQ(world.carTotal, 50);
    EXPECT_STREQ(world.titleLine, "-1(A)");
    EXPECT_EQ(world.run.speedMultiplier, 5);
    EXPECT_EQ(world.run.constructionZone, 1);
    EXPECT_NE(log.find("Select the Main Window then hit <Enter>\r\n"), std::string::npos);
    EXPECT_NE(log.find("Placed 50 cars in 50 groups on roadway\r\n"), std::string::npos);
    EXPECT_EQ(world.cars[1].position, 36.0f);
}

TEST(RunTick, ReportLinesGoToTheFileWhenAsked) {
    startWithDefaults();
    std::string path = tempPath("tick");
    std::remove(path.c_str());
    std::snprintf(world.reportPath, sizeof world.reportPath, "%s", path.c_str());
    world.reportToFile = 1;
    world.run.running = 1;
    for (int i = 0; i < 81; i++)
        tick();
    EXPECT_EQ(readFile(path).substr(0, 9), ", 0, -1\r\n");
    EXPECT_NE(readFile(path).find("\r\n, 5, "), std::string::npos);
    std::remove(path.c_str());
}

TEST(RunTick, EarlierEditionStepsOncePerTick) {
    EarlierEdition earlier;
    startWithDefaults(LegacyEdition);
    world.run.speedMultiplier = 8;
    world.run.stepTo = 3;
    world.run.running = 1;
    for (int i = 0; i < 5; i++)
        tick();
    EXPECT_EQ(world.run.stepCount, 5);
    EXPECT_EQ(world.run.running, 1);

    key(32);
    tick();
    EXPECT_EQ(world.run.stepCount, 6);
    EXPECT_EQ(world.run.singleStep, 0);
}

TEST(RunTick, EarlierEditionWritesTheReportHeaderForNewGroups) {
    EarlierEdition earlier;
    startWithDefaults(LegacyEdition);
    std::string path = tempPath("legacy");
    std::snprintf(world.reportPath, sizeof world.reportPath, "%s", path.c_str());
    {
        std::FILE* old = std::fopen(path.c_str(), "w");
        ASSERT_NE(old, nullptr);
        std::fputs("stale contents\n", old);
        std::fclose(old);
    }
    world.newGroupsPending = 1;
    tick();
    EXPECT_EQ(world.reportToFile, 1);
    EXPECT_EQ(world.newGroupsPending, 0);
    std::string expected;
    for (const char* p = buildReportHeader(); *p; p++)
        expected += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    EXPECT_EQ(readFile(path), expected);
    std::remove(path.c_str());
}

// ----------------------------------------------------------------- RunKeys

TEST(RunKeys, EnterResumesAndLeavesAPendingStep) {
    freshWorld();
    world.run.singleStep = 1;
    EXPECT_EQ(key(13), "Resuming\r\n");
    EXPECT_EQ(world.run.running, 1);
    EXPECT_EQ(world.run.singleStep, 1);
    EXPECT_EQ(key(13), "");
    EXPECT_EQ(world.run.running, 1);
}

TEST(RunKeys, SpacePausesOnceThenSteps) {
    freshWorld();
    world.run.running = 1;
    EXPECT_EQ(key(32), "Pausing... Use <Spacebar> or <Enter>\r\n");
    EXPECT_EQ(world.run.running, 0);
    EXPECT_EQ(world.run.singleStep, 1);
    EXPECT_EQ(key(32), "");
    EXPECT_EQ(world.run.singleStep, 1);
}

TEST(RunKeys, StepThenEnterRuns) {
    startWithDefaults();
    key(32);
    key(13);
    tick();
    EXPECT_EQ(world.run.running, 1);
    EXPECT_EQ(world.run.singleStep, 0);
    EXPECT_EQ(world.run.stepCount, 1);
}

TEST(RunKeys, CTogglesTheZoneWithAlternatingMessages) {
    freshWorld();
    EXPECT_EQ(key('C'), "Construction Zone--Fines doubled\r\n");
    EXPECT_EQ(world.run.constructionZone, 1);
    EXPECT_EQ(key('c'), "Roadwork Complete--Drive Safely\r\n");
    EXPECT_EQ(world.run.constructionZone, 0);
    EXPECT_EQ(key('c'), "Construction Zone--Fines doubled\r\n");
    EXPECT_EQ(key('C'), "Roadwork Complete--Drive Safely\r\n");
    EXPECT_EQ(world.run.constructionZone, 0);
}

TEST(RunKeys, OtherCharactersDoNothing) {
    freshWorld();
    world.run.running = 1;
    RunControl before = world.run;
    for (int character : {0, 10, 27, int('x'), int('E'), int('d'), 200, 256 + 'C', -1})
        EXPECT_EQ(key(character), "") << character;
    EXPECT_EQ(std::memcmp(&before, &world.run, sizeof before), 0);
}

TEST(RunKeys, EarlierEditionKnowsOnlyEnterAndSpace) {
    EarlierEdition earlier;
    EXPECT_EQ(key(13), "Resuming\r\n");
    EXPECT_EQ(key(32), "Pausing... <Space> to single step, <Enter> to resume\r\n");
    EXPECT_EQ(world.run.running, 0);
    EXPECT_EQ(world.run.singleStep, 1);
    EXPECT_EQ(key('C'), "");
    EXPECT_EQ(key('c'), "");
    EXPECT_EQ(world.run.constructionZone, 0);
}

}  // namespace
