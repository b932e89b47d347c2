// The report file on disk and the Save command's file name.
#include "core/sim.h"
#include "files/report.h"

#include "files_fixture.h"
#include "commands/commands.h"

#include <cstring>
#include <filesystem>

namespace {

using ReportFile = FilesTest;

TEST_F(ReportFile, LinesAreWrittenWithCarriageReturnLineFeed) {
    std::string path = (folder / "city.report.csv").string();
    EXPECT_EQ(appendReportLine("city.csv, Time, AVG ALL\n", path.c_str(), "w"), 0);
    // Writing a line leaves the reader's and the restore's error text alone.
    std::strcpy(world.errorText, "stale");
    EXPECT_EQ(appendReportLine(", 0, -1\n", path.c_str(), "a"), 0);
    EXPECT_STREQ(world.errorText, "stale");
    EXPECT_EQ(appendReportLine(", 5, 61, 55\n", path.c_str(), "a"), 0);
    EXPECT_EQ(slurp(path), "city.csv, Time, AVG ALL\r\n, 0, -1\r\n, 5, 61, 55\r\n");
    // "w" starts the file afresh; a line already ending in CR LF gets no second CR.
    EXPECT_EQ(appendReportLine("a\r\nb\n\n", path.c_str(), "w"), 0);
    EXPECT_EQ(slurp(path), "a\r\nb\r\n\r\n");
}

// Used to log the same line at every report point; now once, with the reason.
TEST_F(ReportFile, UnopenableFileIsLoggedOnceWithTheReason) {
    std::string path = (folder / "no-such-folder" / "r.report.csv").string();
    int result = 0;
    std::string log = logOf([&] { result = appendReportLine(", 0, -1\n", path.c_str(), "a"); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(log, "Cannot open filename " + path +
                       ": No such file or directory; report lines are lost until it can be written\r\n");
    log = logOf([&] { result = appendReportLine(", 5, 60\n", path.c_str(), "a"); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(log, "");
    EXPECT_EQ(world.reportLinesLost, 2);

    // A new report file ("w") is told about afresh: a folder in its place.
    std::filesystem::create_directories(folder / "m.report.csv");
    std::string taken = (folder / "m.report.csv").string();
    log = logOf([&] { result = appendReportLine("m.csv, Time, AVG ALL\n", taken.c_str(), "w"); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(log, "Cannot open filename " + taken +
                       ": Is a directory; report lines are lost until it can be written\r\n");
    EXPECT_EQ(world.reportLinesLost, 3);
}

// A full disk: the open works, the writes are buffered, and the close fails.
TEST_F(ReportFile, FailedWriteIsLoggedOnceUntilWritingWorksAgain) {
    std::string path = (folder / "m.report.csv").string();
    std::filesystem::create_symlink("/dev/full", path);
    int result = 0;
    std::string log = logOf([&] {
        for (int line = 0; line < 3; line++)
            result = appendReportLine(", 0, -1\n", path.c_str(), "a");
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(log, "Cannot write filename " + path +
                       ": No space left on device; report lines are lost until it can be written\r\n");
    EXPECT_EQ(world.reportLinesLost, 3);

    // Room again, then full anew: said again.
    std::filesystem::remove(path);
    log = logOf([&] { result = appendReportLine(", 5, 60\n", path.c_str(), "a"); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(log, "");
    EXPECT_EQ(slurp(path), ", 5, 60\r\n");
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/full", path);
    log = logOf([&] { result = appendReportLine(", 10, 60\n", path.c_str(), "a"); });
    EXPECT_EQ(result, -1);
    EXPECT_NE(log.find("Cannot write filename"), std::string::npos) << log;
    EXPECT_EQ(world.reportLinesLost, 4);
}

TEST_F(ReportFile, HeaderNamesTheReportedGroups) {
    std::strcpy(world.groupsName, "city.csv");
    EXPECT_STREQ(buildReportHeader(), "city.csv, Time, AVG ALL\n");
    world.groups[0].reportFlag = 1;
    world.groups[7].reportFlag = 1;
    world.groups[12].reportFlag = 1;
    EXPECT_STREQ(buildReportHeader(), "city.csv, Time, AVG ALL, AVG  0, AVG  7, AVG 12\n");
    world.groupsName[0] = 0;
    EXPECT_STREQ(buildReportHeader(), ", Time, AVG ALL, AVG  0, AVG  7, AVG 12\n");
}

TEST_F(ReportFile, HeaderOfAllGroupsWithTheLongestNameKeepsItsColumns) {
    std::string name(PathSize - 1, 'n');
    std::strcpy(world.groupsName, name.c_str());
    for (Group& group : world.groups)
        group.reportFlag = 1;
    std::string header;
    std::string log = logOf([&] { header = buildReportHeader(); });
    EXPECT_EQ(header.size(), size_t(LineSize - 1));
    EXPECT_EQ(header.substr(header.size() - 9), ", AVG 49\n");
    EXPECT_EQ(header.find(", Time, AVG ALL, AVG  0,"), header.size() - 416);
    EXPECT_EQ(header.rfind(name.substr(0, 100), 0), 0u);
    EXPECT_NE(log.find("shortened to 183 characters"), std::string::npos) << log;
}

using SaveFileName = FilesTest;

TEST_F(SaveFileName, WithoutAGroupsFileTheNameIsDefault) {
    world.reportToFile = 1;
    EXPECT_STREQ(saveFileName(), "Default.0(0.8).omb");
    EXPECT_STREQ(world.groupsPath, "Default.csv");
    EXPECT_EQ(world.reportToFile, 1);  // forming the name ends nothing; Save does
    world.run.stepCount = 4800;
    EXPECT_STREQ(saveFileName(), "Default.4800(0.8).omb");
}

TEST_F(SaveFileName, SaveCommandEndsTheReportFile) {
    world.reportToFile = 1;
    std::string log = logOf([] { saveCommand(); });
    EXPECT_EQ(world.reportToFile, 0);
    EXPECT_NE(log.find("SAVE to Default.0(0.8).omb coming soon"), std::string::npos) << log;
}

TEST_F(SaveFileName, StepAndVersionReplaceTheExtension) {
    std::strcpy(world.groupsPath, "C:\\sim\\city.csv");
    world.run.stepCount = 1234;
    EXPECT_STREQ(saveFileName(), "C:\\sim\\city.1234(0.8).omb");
    chooseEdition(LegacyEdition);
    EXPECT_STREQ(saveFileName(), "C:\\sim\\city.1234(0.7).omb");
    std::strcpy(world.groupsPath, "/runs/v1.2/a.b.csv");
    world.run.stepCount = -3;
    EXPECT_STREQ(saveFileName(), "/runs/v1.2/a.b.-3(0.7).omb");
    std::strcpy(world.groupsPath, "/runs/v1.2/plain");
    world.run.stepCount = 0;
    EXPECT_STREQ(saveFileName(), "/runs/v1.2/plain.0(0.7).omb");
}

TEST_F(SaveFileName, NameThatWouldNotFitIsRefused) {
    // ".2147483647(0.8).omb" is 20 characters; 241 + 20 do not fit 259.
    std::string path = "/" + std::string(240, 'p') + ".csv";
    std::strcpy(world.groupsPath, path.c_str());
    std::strcpy(commandText.chosenPath, "earlier");
    world.reportToFile = 1;
    world.run.stepCount = 2147483647;
    const char* name = "";
    std::string log = logOf([&] { name = saveFileName(); });
    EXPECT_EQ(name, nullptr);
    EXPECT_STREQ(world.errorText, "Save-file name would need 261 characters, at most 259 fit");
    EXPECT_EQ(log, "Can't save: The error was Save-file name would need 261 characters, at most 259 fit\r\n");
    EXPECT_STREQ(commandText.chosenPath, "earlier");
    EXPECT_EQ(world.reportToFile, 1);

    // The same path fits at a step with fewer digits.
    world.run.stepCount = 7;
    ASSERT_NE(saveFileName(), nullptr);
    EXPECT_EQ(std::strlen(commandText.chosenPath), size_t(241 + 11));
}

}  // namespace
