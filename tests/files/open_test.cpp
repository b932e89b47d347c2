// The Open command after the file dialog: which names it takes, what it
// logs, and the file names it keeps.
#include "files/groups.h"
#include "files/paths.h"
#include "files/snapshot.h"

#include "files_fixture.h"
#include "commands/commands.h"

#include <cstring>

namespace {

const std::string NoCarWarning =
    "no row places a car (no count above 0 in columns N and 1 to 4): the road keeps the cars it has";

class GroupsFileOpen : public FilesTest {
protected:
    int result = -1;
    std::string open(const std::string& path, const std::string& name) {
        return logOf([&] { result = openGroupsFile(path.c_str(), name.c_str()); });
    }
    void keepNames() {
        std::strcpy(world.groupsPath, "old.csv");
        std::strcpy(world.groupsName, "old.csv");
        std::strcpy(world.reportPath, "old.report.csv");
    }
    void expectNamesKept() {
        EXPECT_STREQ(world.groupsPath, "old.csv");
        EXPECT_STREQ(world.groupsName, "old.csv");
        EXPECT_STREQ(world.reportPath, "old.report.csv");
    }
};

TEST_F(GroupsFileOpen, ReadsAndNamesTheReportFile) {
    std::string path = write("a.b.csv", "#,A,N\n1,50,3\n2,60,4\n");
    EXPECT_EQ(open(path, "a.b.csv"), "Read 2 groups from " + path + "\r\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(world.groupsPath, path);
    EXPECT_STREQ(world.groupsName, "a.b.csv");
    EXPECT_EQ(world.reportPath, (folder / "a.b.report.csv").string());
    EXPECT_EQ(world.carCountsRead, 2);
    EXPECT_EQ(world.newGroupsPending, 1);
}

TEST_F(GroupsFileOpen, ExtensionIsTakenFromTheFileNameOnly) {
    std::filesystem::create_directories(folder / "v1.2");
    std::string path = write("v1.2/city.csv", "#,A\n1,50\n");
    open(path, "city.csv");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(world.reportPath, (folder / "v1.2" / "city.report.csv").string());
    // Both separators end a folder, whichever system runs.
    EXPECT_EQ(open("C:\\sim.d\\notes", "notes"), "notes is not a csv file\r\n");
    EXPECT_EQ(open("/sim.d/notes", "notes"), "notes is not a csv file\r\n");
}

TEST_F(GroupsFileOpen, RefusesReportFiles) {
    keepNames();
    std::string path = write("city.report.csv", "#,A\n1,50\n");
    EXPECT_EQ(open(path, "city.report.csv"), "city.report.csv looks like a report-file\r\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(world.groups[1].desiredSpeed, 0.0f);
    expectNamesKept();
    EXPECT_EQ(open(".report.csv", ".report.csv"), ".report.csv looks like a report-file\r\n");
    // Not a report-file: only the last ".report" before ".csv" counts.
    path = write("report.csv", "#,A\n1,51\n");
    open(path, "report.csv");
    EXPECT_EQ(result, 1);
}

TEST_F(GroupsFileOpen, RefusesOtherExtensions) {
    keepNames();
    for (const char* name : {"city.CSV", "city.txt", "city", "city.csv.bak", "city.csvx", "city.omxxb"}) {
        std::string path = write(name, "#,A\n1,50\n");
        EXPECT_EQ(open(path, name), std::string(name) + " is not a csv file\r\n");
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(open("", ""), "(untitled) is not a csv file\r\n");
    EXPECT_EQ(world.groups[1].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groupRowsRead, 0);
    expectNamesKept();
}

TEST_F(GroupsFileOpen, FailedReadsAreLoggedAndForgotten) {
    keepNames();
    std::string path = write("empty.csv", "#,A\n\n");
    EXPECT_EQ(open(path, "empty.csv"), "Could not read file " + path +
                                           "\r\nThe error was No Groups -- this may not be a groups-file\r\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(world.newGroupsPending, 0);
    expectNamesKept();

    std::string absent = (folder / "absent.csv").string();
    EXPECT_EQ(open(absent, "absent.csv"), "Could not read file " + absent +
                                              "\r\nThe error was Can't open " + absent + "\r\n");
    expectNamesKept();
}

TEST_F(GroupsFileOpen, PartialReadTellsWhereItStopped) {
    std::string path = write("part.csv", "#,A\n1,50\n" + std::string(2000, '9') + "\n2,60\n");
    // The file sets no car count, which the warning above the verdict says.
    EXPECT_EQ(open(path, "part.csv"), ">> " + path + ": " + NoCarWarning + "\r\nRead 1 groups from " + path +
                                          "\r\nThe error was Line 3 too long\r\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(world.groups[2].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groupsPath, path);
}

TEST_F(GroupsFileOpen, PathsWhoseReportNameWouldNotFitAreRefused) {
    keepNames();
    // The report name adds 7 characters; it and its terminator must fit 260 bytes.
    std::string base = folder.string() + "/";
    std::string longest = base + std::string(size_t(PathSize - 1 - 7 - 4) - base.size(), 'n') + ".csv";
    ASSERT_EQ(longest.size(), size_t(252));
    std::string name = longest.substr(base.size());
    write(name, "#,A\n1,50\n");
    open(longest, name);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::strlen(world.reportPath), size_t(PathSize - 1));

    keepNames();
    world.groups[1].desiredSpeed = 0;
    std::string tooLong = base + "m" + name;
    write("m" + name, "#,A\n1,50\n");
    std::string log = open(tooLong, "m" + name);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(log, "Could not read file " + tooLong +
                       "\r\nThe error was Path too long: its report-file name needs 260 characters, at most 259 fit\r\n");
    EXPECT_EQ(world.groups[1].desiredSpeed, 0.0f);
    expectNamesKept();

    std::string huge = "/" + std::string(5000, 'x') + ".csv";
    open(huge, huge);
    EXPECT_EQ(result, 0);
    expectNamesKept();
}

TEST_F(GroupsFileOpen, EarlierEditionRestoresSnapshots) {
    chooseEdition(LegacyEdition);
    std::string absent = (folder / "run.omxxb").string();
    std::string log = open(absent, "run.omxxb");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(log.rfind("Can't restore: The error was ", 0), 0u) << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");

    std::string saved = (folder / "run.omxxb").string();
    std::string csv = write("run.csv", "#,A\n1,50\n");
    // A file that places no car is named in the earlier edition too.
    ASSERT_EQ(open(csv, "run.csv"), ">> " + csv + ": " + NoCarWarning + "\r\nRead 1 groups from " + csv + "\r\n");
    logOf([&] { ASSERT_EQ(saveSnapshot(saved.c_str()), 1); });
    world.reportToFile = 1;
    log = open(saved, "run.omxxb");
    EXPECT_EQ(result, 2) << log;
    EXPECT_EQ(world.reportToFile, 0);

    // The report-file check comes first, and a csv is still read.
    EXPECT_EQ(open("x.report.csv", "x.report.csv"), "x.report.csv looks like a report-file\r\n");
    EXPECT_EQ(open("x.omb", "x.omb"), "x.omb is not a csv file\r\n");
}

}  // namespace

// Both builds name the file after either separator, so a scenario written on
// Windows names the same groups file on Linux.
TEST(FileNameOf, TakesWhatFollowsTheLastSeparatorOfEitherKind) {
    EXPECT_STREQ(fileNameOf("road.csv"), "road.csv");
    EXPECT_STREQ(fileNameOf("data/road.csv"), "road.csv");
    EXPECT_STREQ(fileNameOf("C:\\data\\sub/road.csv"), "road.csv");
    EXPECT_STREQ(fileNameOf("data/"), "");
}
