// The Back command: going back, the report file cut to match, and the
// messages for steps that cannot be reached.
#include "files/files_fixture.h"

#include "core/history.h"
#include "core/platform.h"
#include "core/sim.h"

#include <filesystem>

namespace {

class BackCommand : public FilesTest {
protected:
    // The built-in groups placed, a report file beside a groups file, running
    // to the step.
    std::string startReporting(int step) {
        std::string groups = write("city.csv", "#,N,A,1,2\r\n0,0,60,40,40\r\n1,0,30,0,30\r\n");
        logOf([&] { openGroupsFile(groups.c_str(), "city.csv"); });
        world.run.running = 1;
        logOf([&] {
            while (world.run.stepCount < step)
                runTick();
        });
        return world.reportPath;
    }
};

TEST_F(BackCommand, CutsTheReportFileSoRunningOnWritesNoTimeTwice) {
    std::string report = startReporting(480);
    std::string uninterrupted = slurp(report);

    std::string log = logOf([] { backCommand(300); });
    EXPECT_NE(log.find("Back to step 300\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("report file cut after 15 s\r\n"), std::string::npos) << log;
    EXPECT_EQ(world.run.running, 0);
    EXPECT_EQ(world.run.stepCount, 300);

    logOf([] {
        handleRunKey(ResumeKey);
        while (world.run.stepCount < 480)
            runTick();
    });
    EXPECT_EQ(slurp(report), uninterrupted);
}

// The line of a report point is written when the run goes on from it, so
// going back to that very step takes its line out too.
TEST_F(BackCommand, ToAReportPointTakesItsLineOut) {
    std::string report = startReporting(400);
    std::string log = logOf([] { backCommand(160); });
    EXPECT_NE(log.find("report file cut after 5 s\r\n"), std::string::npos) << log;
    EXPECT_EQ(slurp(report).find(", 10,"), std::string::npos);
    log = logOf([] { backCommand(40); });
    EXPECT_NE(log.find("report file cut after 0 s\r\n"), std::string::npos) << log;
    log = logOf([] { backCommand(0); });
    EXPECT_NE(log.find("report file cut after its header\r\n"), std::string::npos) << log;
}

TEST_F(BackCommand, BackspaceGoesBackOneReportPeriod) {
    startReporting(250);
    std::string log = logOf([] { backOnePeriodCommand(); });
    EXPECT_NE(log.find("Back to step 170\r\n"), std::string::npos) << log;
}

TEST_F(BackCommand, StepsNotHeldAreRefusedWithAMessage) {
    startReporting(200);
    std::string before = slurp(world.reportPath);
    std::string log = logOf([] { backCommand(201); });
    EXPECT_EQ(log, "Cannot go back to step 201: the run is at step 200\r\n");
    log = logOf([] { backCommand(-5); });
    EXPECT_EQ(log, "Cannot go back to step -5: the oldest step kept is 0\r\n");
    EXPECT_EQ(world.run.stepCount, 200);
    EXPECT_EQ(world.run.running, 1);
    EXPECT_EQ(slurp(world.reportPath), before);
}

// Rather than append to a file that no longer matches the run, report
// output stops for it.
TEST_F(BackCommand, AReportFileThatCannotBeCutTurnsReportsOff) {
    std::string report = startReporting(200);
    std::filesystem::remove(report);
    std::filesystem::create_directory(report);
    std::string log = logOf([] { backCommand(100); });
    EXPECT_NE(log.find("Back to step 100\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Cannot cut the report file"), std::string::npos) << log;
    EXPECT_EQ(world.reportToFile, 0);
    EXPECT_EQ(world.run.stepCount, 100);
}

TEST_F(BackCommand, EarlierEditionIgnoresIt) {
    chooseEdition(LegacyEdition);
    loadDefaultGroups();
    world.run.running = 1;
    logOf([] {
        for (int i = 0; i < 200; i++)
            runTick();
    });
    int step = world.run.stepCount;
    EXPECT_EQ(logOf([] { backOnePeriodCommand(); }), "");
    EXPECT_EQ(world.run.stepCount, step);
}

using ReportCut = FilesTest;

TEST_F(ReportCut, KeepsTheHeaderAndTheLinesBeforeTheStep) {
    std::string path = write("r.report.csv", "city.csv, Time, AVG ALL\r\n, 0, -1\r\n, 5, 40\r\n, 10, 41\r\n");
    int last = -7;
    ASSERT_EQ(cutReportFile(path.c_str(), 161, 16, &last), 1);
    EXPECT_EQ(last, 10);
    EXPECT_EQ(slurp(path), "city.csv, Time, AVG ALL\r\n, 0, -1\r\n, 5, 40\r\n, 10, 41\r\n");
    ASSERT_EQ(cutReportFile(path.c_str(), 160, 16, &last), 1);
    EXPECT_EQ(last, 5);
    EXPECT_EQ(slurp(path), "city.csv, Time, AVG ALL\r\n, 0, -1\r\n, 5, 40\r\n");
}

// A file someone edited: what is not a report line ends what is kept.
TEST_F(ReportCut, StopsAtWhatIsNotAReportLine) {
    std::string path = write("r.report.csv", "h\r\n, 0, 1\r\nnotes\r\n, 5, 2\r\n, 9");
    int last = 0;
    ASSERT_EQ(cutReportFile(path.c_str(), 1000, 16, &last), 1);
    EXPECT_EQ(slurp(path), "h\r\n, 0, 1\r\n");
    EXPECT_EQ(last, 0);
    std::string unfinished = write("u.report.csv", "h\r\n, 0, 1\r\n, 5, 2");
    ASSERT_EQ(cutReportFile(unfinished.c_str(), 1000, 16, &last), 1);
    EXPECT_EQ(slurp(unfinished), "h\r\n, 0, 1\r\n");
}

TEST_F(ReportCut, MissingFileIsAFailureAndCreatesNothing) {
    std::string path = (folder / "none.report.csv").string();
    int last = 0;
    EXPECT_EQ(cutReportFile(path.c_str(), 100, 16, &last), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
