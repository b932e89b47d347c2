// The groups-file reader: lines, fields, column conversions, and what it
// makes of files that are not what they should be.
#include "files/groups.h"

#include "files_fixture.h"

#include <cfloat>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr int RedValue = 0x0000FF;

class GroupsLineReader : public FilesTest {
protected:
    // Every line the reader returns until the end of the file.
    std::vector<std::string> lines(const std::string& bytes, int limit = ReaderLineSize) {
        std::string path = write("lines.txt", bytes);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::vector<std::string> result;
        std::vector<char> buffer(size_t(limit) + 8, '@');
        for (int guard = 0; guard < 100; guard++) {
            int full = 0;
            int count = readLine(buffer.data(), limit, file, &full);
            EXPECT_EQ(count, int(std::strlen(buffer.data())) + 1);
            EXPECT_EQ(buffer[size_t(limit)], '@') << "wrote past the limit";
            if (std::feof(file))
                break;
            result.push_back(std::string(buffer.data()) + (full ? "<full>" : ""));
            if (full)
                break;
        }
        std::fclose(file);
        return result;
    }
};

TEST_F(GroupsLineReader, KeepsLineFeedsAndDropsCarriageReturns) {
    EXPECT_EQ(lines("a,b\r\n\r\nc\r\r,d\n"), (std::vector<std::string>{"a,b\n", "\n", "c,d\n"}));
}

TEST_F(GroupsLineReader, EarlierEditionDropsLineFeedsToo) {
    chooseEdition(LegacyEdition);
    EXPECT_EQ(lines("a,b\r\n\nc\n"), (std::vector<std::string>{"a,b", "", "c"}));
}

TEST_F(GroupsLineReader, LastLineWithoutLineFeedEndsAtEndOfFile) {
    EXPECT_EQ(lines("a\nb"), (std::vector<std::string>{"a\n"}));
    EXPECT_EQ(lines(""), (std::vector<std::string>{}));
}

TEST_F(GroupsLineReader, AtMost1023CharactersWithTheLineFeedFit) {
    std::string fits(1022, 'x');
    EXPECT_EQ(lines(fits + "\n" + "y\n"), (std::vector<std::string>{fits + "\n", "y\n"}));
    std::string tooLong(1023, 'x');
    EXPECT_EQ(lines(tooLong + "\n"), (std::vector<std::string>{tooLong + "<full>"}));
    // Carriage returns are dropped before they take any room.
    std::string crs;
    for (int i = 0; i < 1022; i++)
        crs += "x\r";
    EXPECT_EQ(lines(crs + "\n"), (std::vector<std::string>{fits + "\n"}));
    chooseEdition(LegacyEdition);
    EXPECT_EQ(lines(fits + "\n"), (std::vector<std::string>{fits}));
    EXPECT_EQ(lines(tooLong + "\n"), (std::vector<std::string>{tooLong + "<full>"}));
}

TEST(GroupsFields, SplitsOnCommasOnlyAndKeepsBlanksAndLineFeed) {
    char line[] = " 1, Red,,x y\n";
    char* cursor = line;
    std::vector<std::string> fields;
    while (char* field = nextField(&cursor))
        fields.push_back(field);
    EXPECT_EQ(fields, (std::vector<std::string>{" 1", " Red", "", "x y\n"}));
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(nextField(&cursor), nullptr);
    EXPECT_EQ(nextField(nullptr), nullptr);

    char empty[] = "";
    cursor = empty;
    ASSERT_NE(nextField(&cursor), nullptr);
    EXPECT_EQ(nextField(&cursor), nullptr);

    char trailing[] = "a,";
    cursor = trailing;
    EXPECT_STREQ(nextField(&cursor), "a");
    EXPECT_STREQ(nextField(&cursor), "");
    EXPECT_EQ(nextField(&cursor), nullptr);
}

TEST(GroupsFields, HeaderRowTakesFirstCharacterOfEachField) {
    char letters[ReaderLineSize];
    char line[] = "#group,A speed,,Zcolour,  N\n";
    EXPECT_EQ(readHeaderRow(letters, line), 5);
    EXPECT_STREQ(letters, "#A Z ");
}

TEST(GroupsFields, HeaderRowOfCommasStaysInsideTheLetters) {
    struct {
        char letters[ReaderLineSize];
        char canary[16];
    } guarded;
    std::memset(guarded.canary, '@', sizeof guarded.canary);
    std::string commas = "#" + std::string(3000, ',');
    std::vector<char> line(commas.begin(), commas.end());
    line.push_back(0);
    EXPECT_EQ(readHeaderRow(guarded.letters, line.data()), ReaderLineSize - 1);
    EXPECT_EQ(std::strlen(guarded.letters), size_t(ReaderLineSize - 1));
    EXPECT_EQ(guarded.canary[0], '@');
}

class GroupsFileReader : public FilesTest {
protected:
    std::string read(const std::string& bytes) {
        std::string path = write("groups.csv", bytes);
        return logOf([&] { readGroupsFile(path.c_str()); });
    }
};

TEST_F(GroupsFileReader, ConvertsEveryColumn) {
    std::string log = read(
        "#,Z,A,B,C,D,E,F,G,H,I,K,L,M,N,P,Q,R,1,2,3,4\n"
        "3,Red,65.5,8,1.1,1.3,2,0,3,1.5,1,4,2,2.5,10,3.3,0.7,x,1,2,3,4\n");
    EXPECT_EQ(log, "");
    const Group& g = world.groups[3];
    EXPECT_EQ(g.colour, RedValue);
    EXPECT_EQ(g.desiredSpeed, 65.5f);
    EXPECT_EQ(g.acceleration, 8.0f);
    // Car lengths in double, then stored: not the same float as in single.
    EXPECT_EQ(g.followDistance, float((1.1 - 1.0) * 18.0));
    EXPECT_EQ(g.startDelay, 20);
    EXPECT_EQ(g.preferredLane, 1);
    EXPECT_EQ(g.hasPreferredLane, 1);
    EXPECT_EQ(g.leftPolicy, Always);
    EXPECT_EQ(g.leftAhead, 36.0f);
    EXPECT_EQ(g.leftBehind, 9.0f);
    EXPECT_EQ(g.rightPolicy, Always);
    EXPECT_EQ(g.rightAhead, 54.0f);
    EXPECT_EQ(g.rightBehind, 18.0f);
    EXPECT_EQ(g.laneChangeTime, 2.5f);
    EXPECT_EQ(g.carCount, 10);
    // Zones are rounded to float before they are scaled.
    EXPECT_EQ(g.aheadZone, float(double(3.3f) * 18.0));
    EXPECT_EQ(g.behindZone, float(double(0.7f) * 18.0));
    EXPECT_EQ(g.reportFlag, 1);
    EXPECT_EQ(g.laneCount[0], 1);
    EXPECT_EQ(g.laneCount[3], 4);
    EXPECT_EQ(world.groupRowsRead, 1);
    EXPECT_EQ(world.carCountsRead, 1);
    EXPECT_EQ(world.newGroupsPending, 1);
    EXPECT_STREQ(world.errorText, "");
    for (int other : {0, 2, 4, 49})
        EXPECT_EQ(world.groups[other].desiredSpeed, 0.0f);
}

TEST_F(GroupsFileReader, NumbersTakeTheirLeadingPartAfterBlanks) {
    read("#,A,D,N,1\n"
         " 2,  70mph,-1.3,  7 cars,abc\n");
    EXPECT_EQ(world.groups[2].desiredSpeed, 70.0f);
    EXPECT_EQ(world.groups[2].startDelay, -20);  // toward zero
    EXPECT_EQ(world.groups[2].carCount, 7);
    EXPECT_EQ(world.groups[2].laneCount[0], 0);
    EXPECT_EQ(world.carCountsRead, 1);
}

TEST_F(GroupsFileReader, PreferredLaneRules) {
    read("#,E\n0,0\n1,1\n2,4\n3,5\n4,-2\n");
    int lanes[][2] = {{0, 1}, {0, 1}, {3, 1}, {4, 0}, {-2, 0}};
    for (int g = 0; g < 5; g++) {
        EXPECT_EQ(world.groups[g].preferredLane, lanes[g][0]) << g;
        EXPECT_EQ(world.groups[g].hasPreferredLane, lanes[g][1]) << g;
    }
}

TEST_F(GroupsFileReader, PolicyCodes) {
    read("#,F,I\n0,0,1\n1,1,2\n2,13,3\n3,15,4\n4,7,15\n5,10,0\n");
    int left[] = {Always, FDist, FDist200, Crazily, 7, Never};
    int right[] = {Always, FDist, Never, EuCarBehind, Crazily, 0};
    for (int g = 0; g < 6; g++) {
        EXPECT_EQ(world.groups[g].leftPolicy, left[g]) << g;
        EXPECT_EQ(world.groups[g].rightPolicy, right[g]) << g;
    }
}

TEST_F(GroupsFileReader, GroupNumbersOutsideTheRangeFillGroupZero) {
    read("#,A\n50,51\n-1,52\n49,53\n");
    EXPECT_EQ(world.groups[0].desiredSpeed, 52.0f);
    EXPECT_EQ(world.groups[49].desiredSpeed, 53.0f);
    EXPECT_EQ(world.groupRowsRead, 3);

    char letters[] = "#A#";
    char line[] = "7,60,99\n";
    EXPECT_EQ(readGroupRow(line, letters), 0);  // the last # was out of range
    EXPECT_EQ(world.groups[7].desiredSpeed, 60.0f);
    char again[] = "7,61\n";
    EXPECT_EQ(readGroupRow(again, letters), 7);
}

TEST_F(GroupsFileReader, EmptyFieldsAndExtraFieldsChangeNothing) {
    world.groups[4].desiredSpeed = 42;
    world.groups[4].carCount = 9;
    read("#,A,N\n4,,,77,88\n4\n");
    EXPECT_EQ(world.groups[4].desiredSpeed, 42.0f);
    EXPECT_EQ(world.groups[4].carCount, 9);
    EXPECT_EQ(world.carCountsRead, 0);
    EXPECT_EQ(world.groupRowsRead, 2);
}

TEST_F(GroupsFileReader, RowsWithoutANumberFirstOrBeforeAHeaderAreIgnored) {
    read("1,11\n"
         "#,A\n"
         "Group,Speed\n"
         "+,12\n"
         "2,13\n");
    EXPECT_EQ(world.groups[1].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groups[0].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groups[2].desiredSpeed, 13.0f);
    EXPECT_EQ(world.groupRowsRead, 1);

    char letters[] = "";
    char line[] = "3,14\n";
    EXPECT_EQ(readGroupRow(line, letters), 0);
    EXPECT_EQ(world.groups[3].desiredSpeed, 0.0f);
}

TEST_F(GroupsFileReader, BlankLineAfterHeaderClearsReportFlagsOnce) {
    for (Group& group : world.groups)
        group.reportFlag = 1;
    read("#,A\n\n");
    EXPECT_EQ(world.newGroupsPending, 1);
    for (const Group& group : world.groups)
        EXPECT_EQ(group.reportFlag, 0);
    EXPECT_EQ(world.groupRowsRead, 0);
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file");

    // While the tick has not taken the groups yet, a second read adds flags.
    read("#,R\n5,x\n");
    read("#,A\n6,60\n");
    EXPECT_EQ(world.groups[5].reportFlag, 1);
    world.newGroupsPending = 0;
    read("#,A\n6,60\n");
    EXPECT_EQ(world.groups[5].reportFlag, 0);
}

TEST_F(GroupsFileReader, LastLineWithoutLineFeedIsNotRead) {
    read("#,A\r\n1,55\r\n2,56");
    EXPECT_EQ(world.groups[1].desiredSpeed, 55.0f);
    EXPECT_EQ(world.groups[2].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groupRowsRead, 1);
    EXPECT_STREQ(world.errorText, "");
}

TEST_F(GroupsFileReader, ColumnLettersOutliveTheFile) {
    read("#,A,B\n1,50,5\n");
    read("2,60,6\n");
    EXPECT_EQ(world.groups[2].desiredSpeed, 60.0f);
    EXPECT_EQ(world.groups[2].acceleration, 6.0f);
    EXPECT_STREQ(reader.columnLetters, "#AB");
}

TEST_F(GroupsFileReader, ColourNames) {
    std::string log = read("#,Z,A\n1,Red,1\n2, Red,1\n3,red,1\n4,,1\n");
    EXPECT_EQ(world.groups[1].colour, RedValue);
    EXPECT_EQ(world.groups[2].colour, 0);
    EXPECT_EQ(world.groups[3].colour, 0);
    EXPECT_EQ(log, ">> Color Name  Red is unknown.  Using Black\r\n"
                   ">> Color Name red is unknown.  Using Black\r\n");

    // The last column keeps its line feed, so no name matches there.
    log = read("#,A,Z\n5,1,Red\r\n");
    EXPECT_EQ(world.groups[5].colour, 0);
    EXPECT_EQ(log, ">> Color Name Red\n is unknown.  Using Black\r\n");
}

TEST_F(GroupsFileReader, EarlierEditionColourNames) {
    chooseEdition(LegacyEdition);
    std::string log = read("#,A,Z\n5,1,Red\r\n6,1,Scarlet\n");
    EXPECT_EQ(world.groups[5].colour, RedValue);
    EXPECT_EQ(world.groups[6].colour, -1);
    EXPECT_EQ(log, "");
}

TEST_F(GroupsFileReader, ReportColumn) {
    world.reportPeriod = 80;
    std::string log = read("#,R,A\n1,#10,1\n2, ,1\n3,  x#3,1\n");
    EXPECT_EQ(world.reportPeriod, 48);
    EXPECT_EQ(log, "cvs_report_period=10 secs\r\ncvs_report_period=3 secs\r\n");
    EXPECT_EQ(world.groups[1].reportFlag, 1);
    EXPECT_EQ(world.groups[2].reportFlag, 0);
    EXPECT_EQ(world.groups[3].reportFlag, 1);

    log = read("#,R,A\n4,#0,1\n5,#,1\n");
    EXPECT_EQ(world.reportPeriod, 0);
    EXPECT_EQ(log, "cvs_report_period=0 secs\r\ncvs_report_period=0 secs\r\n");

    log = read("#,R\n6, -#5\n");
    EXPECT_EQ(world.fileOutput, 0);
    EXPECT_EQ(world.reportPeriod, 0);  // the scan ended at "-"
    EXPECT_EQ(world.groups[6].reportFlag, 1);
    EXPECT_EQ(log, "File Output Turned Off\r\n");
}

TEST_F(GroupsFileReader, ReportColumnLast) {
    // The line feed is not a blank: an otherwise empty last R field reports.
    read("#,A,R\n1,1,\n2,1, \n");
    EXPECT_EQ(world.groups[1].reportFlag, 1);
    EXPECT_EQ(world.groups[2].reportFlag, 1);
    world.newGroupsPending = 0;
    chooseEdition(LegacyEdition);
    read("#,A,R\n1,1,\n2,1, \n");
    EXPECT_EQ(world.groups[1].reportFlag, 0);
    EXPECT_EQ(world.groups[2].reportFlag, 0);
}

TEST_F(GroupsFileReader, FileOutputSwitchBelongsToItsFile) {
    read("#,R\n1,-\n");
    EXPECT_EQ(world.fileOutput, 0);
    read("#,R\n1,x\n");
    EXPECT_EQ(world.fileOutput, 1);
    world.fileOutput = 0;
    read("no such header\n");
    EXPECT_EQ(world.fileOutput, 1);
}

TEST_F(GroupsFileReader, UnusableNumbersLeaveFieldsUnchanged) {
    Group& g = world.groups[1];
    g.desiredSpeed = 1;
    g.acceleration = 2;
    g.followDistance = 3;
    g.aheadZone = 4;
    g.behindZone = 5;
    g.startDelay = 6;
    g.laneChangeTime = 7;
    std::string log = read("#,A,B,C,P,Q,D,M\n1,nan,inf,1e300,1e39,1e38,-infinity,1e40\n");
    EXPECT_EQ(g.desiredSpeed, 1.0f);
    EXPECT_EQ(g.acceleration, 2.0f);
    EXPECT_EQ(g.followDistance, 3.0f);
    EXPECT_EQ(g.aheadZone, 4.0f);
    EXPECT_EQ(g.behindZone, 5.0f);  // finite as float, but not once scaled
    EXPECT_EQ(g.startDelay, 6);
    EXPECT_EQ(g.laneChangeTime, 7.0f);
    EXPECT_EQ(log,
              ">> Column A value nan is not a usable number\r\n"
              ">> Column B value inf is not a usable number\r\n"
              ">> Column C value 1e300 is not a usable number\r\n"
              ">> Column P value 1e39 is not a usable number\r\n"
              ">> Column Q value 1e38 is not a usable number\r\n"
              ">> Column D value -infinity is not a usable number\r\n"
              ">> Column M value 1e40 is not a usable number\r\n");
    EXPECT_EQ(world.groupRowsRead, 1);
}

TEST_F(GroupsFileReader, HugeIntegersSaturate) {
    std::string log = read(
        "#,E,F,I,N,1,2,D,R\n"
        "1,99999999999999999999,-99999999999999999999,99999999999,99999999999,-99999999999,"
        "2000000,1e12,#99999999999\n"
        "99999999999999999999,70\n");
    const Group& g = world.groups[1];
    EXPECT_EQ(g.preferredLane, INT_MAX - 1);
    EXPECT_EQ(g.hasPreferredLane, 0);
    EXPECT_EQ(g.leftPolicy, INT_MIN);
    EXPECT_EQ(g.rightPolicy, INT_MAX);
    EXPECT_EQ(g.carCount, 1000000);
    EXPECT_EQ(g.laneCount[0], -1000000);
    EXPECT_EQ(g.laneCount[1], 1000000);
    EXPECT_EQ(g.startDelay, INT_MAX);
    EXPECT_EQ(world.reportPeriod, INT_MAX);
    EXPECT_NE(log.find("\ncvs_report_period=" + std::to_string(INT_MAX / 16) + " secs\r\n"),
              std::string::npos) << log;
    // Every value held to a bound is named with its line.
    for (const char* warning : {":2: column E: '99999999999999999999' is read as 2147483647\r\n",
                                ":2: column F: '-99999999999999999999' is read as -2147483648\r\n",
                                ":2: column N: 99999999999 cars were held to 1000000\r\n",
                                ":2: column 1: a count of -99999999999 cars places none\r\n",
                                ":3: column #: '99999999999999999999' is read as 2147483647\r\n"})
        EXPECT_NE(log.find(warning), std::string::npos) << warning;
    EXPECT_EQ(world.groups[0].preferredLane, 69);  // the huge group number went to 0
}

TEST_F(GroupsFileReader, TooLongLineStopsTheReadButKeepsEarlierRows) {
    std::string fits = "2,66," + std::string(1022 - 5, ' ') + "\n";
    read("#,A,B\n1,55\n" + fits + "3,77," + std::string(1020, ' ') + "\n4,88\n");
    EXPECT_EQ(world.groups[1].desiredSpeed, 55.0f);
    EXPECT_EQ(world.groups[2].desiredSpeed, 66.0f);
    EXPECT_EQ(world.groups[3].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groups[4].desiredSpeed, 0.0f);
    EXPECT_EQ(world.groupRowsRead, 2);
    EXPECT_STREQ(world.errorText, "Line 4 too long");
}

TEST_F(GroupsFileReader, TooLongFirstLineIsNoGroupsFile) {
    read(std::string(5000, '#'));
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file (Line 1 too long)");
}

// Used to end in "No Groups" alone, whatever had stopped the read.
TEST_F(GroupsFileReader, NothingReadKeepsTheReadersOwnError) {
    read("#,A\n" + std::string(2000, '9') + "\n1,55\n");
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file (Line 2 too long)");
    std::filesystem::create_directories(folder / "x.csv");
    logOf([&] { readGroupsFile((folder / "x.csv").string().c_str()); });
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file (Line 1 read error: Is a directory)");
    logOf([&] { readGroupsFile("/dev/zero"); });
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file (Line 1 too long)");
}

TEST_F(GroupsFileReader, CarriageReturnLineEndsAreNamedAsTheCause) {
    const char* cause = "; its lines end in a carriage return alone: save it with CR LF or LF line ends";
    read("#,A\r1,55\r2,60\r");
    EXPECT_EQ(std::string(world.errorText), std::string("No Groups -- this may not be a groups-file") + cause);
    std::string rows = "#,A\r";
    for (int g = 0; g < 300; g++)
        rows += "1,55\r";
    read(rows);
    EXPECT_EQ(std::string(world.errorText),
              std::string("No Groups -- this may not be a groups-file (Line 1 too long)") + cause);
    // A last line without any line end is not that.
    read("#,A");
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file");
}

// A spreadsheet's "CSV UTF-8" used to read as no groups-file at all.
TEST_F(GroupsFileReader, ByteOrderMarkAtTheStartIsSkipped) {
    EXPECT_EQ(read("\xEF\xBB\xBF#,A,N\r\n1,55,3\r\n"), "");
    EXPECT_EQ(world.groupRowsRead, 1);
    EXPECT_EQ(world.groups[1].desiredSpeed, 55.0f);
    EXPECT_EQ(world.groups[1].carCount, 3);
    // Only at the very start of the file: elsewhere it is part of the row.
    reader.columnLetters[0] = 0;
    read("#,A\n\xEF\xBB\xBF" "2,66\n");
    EXPECT_EQ(world.groupRowsRead, 0);
}

TEST_F(GroupsFileReader, NulByteCutsTheRowAndSaysSo) {
    const char bytes[] = "#,A,B\n1,5\0,6\n2,7,8\n";
    EXPECT_EQ(read(std::string(bytes, sizeof bytes - 1)),
              ">> Line 2 holds a NUL byte: the rest of the line was ignored\r\n");
    EXPECT_EQ(world.groups[1].desiredSpeed, 5.0f);
    EXPECT_EQ(world.groups[1].acceleration, 0.0f);
    EXPECT_EQ(world.groups[2].acceleration, 8.0f);
}

TEST_F(GroupsFileReader, MissingFile) {
    std::string path = (folder / "absent.csv").string();
    EXPECT_EQ(readGroupsFile(path.c_str()), 0);
    EXPECT_EQ(world.groupRowsRead, 0);
    EXPECT_EQ(std::string(world.errorText), "Can't open " + path);
}

TEST_F(GroupsFileReader, HostileBytesAreReadSafely) {
    std::string header = "#,A,B,C,D,E,F,G,H,I,K,L,M,N,P,Q,R,Z,1,2,3,4\n";
    const char nulBytes[] = "#,A\n1,5\0,6\n2\0\0\n\0\n3,7\n";
    std::string nul(nulBytes, sizeof nulBytes - 1);
    std::string commas = header + std::string(1022, ',') + "\n" + "#" + std::string(1021, ',') + "\n";
    std::string manyColumns = "#";
    for (int i = 0; i < 500; i++)
        manyColumns += ",A";
    manyColumns += "\n1";
    for (int i = 0; i < 500; i++)
        manyColumns += ",9";
    manyColumns += "\n";
    std::string noLineFeed(100000, '7');
    std::string binary;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; i++) {
        seed = seed * 1103515245u + 12345u;
        binary += char(seed >> 23);
        if (i % 97 == 0)
            binary += "\n";
    }
    for (const Edition* edition : {&CurrentEdition, &LegacyEdition}) {
        chooseEdition(*edition);
        for (const std::string& bytes : {nul, commas, manyColumns, noLineFeed, header + binary}) {
            reader.columnLetters[0] = 0;
            read(bytes);
            EXPECT_LT(std::strlen(world.errorText), size_t(ErrorSize));
            EXPECT_LT(std::strlen(reader.columnLetters), size_t(ReaderLineSize));
        }
    }
    chooseEdition(CurrentEdition);
    reader.columnLetters[0] = 0;
    read(nul);
    EXPECT_EQ(world.groups[1].desiredSpeed, 5.0f);
    EXPECT_EQ(world.groups[3].desiredSpeed, 7.0f);
    read(manyColumns);
    EXPECT_EQ(world.groups[1].desiredSpeed, 9.0f);
    read(noLineFeed);
    EXPECT_STREQ(world.errorText, "No Groups -- this may not be a groups-file (Line 1 too long)");
}

}  // namespace

// Column W names a group for the pictures: kept apart from the group's record
// (which snapshots hold), blanks and the line feed dropped, cut at 40
// characters, for a group number out of range given to group 0 like the rest.
TEST_F(GroupsFileReader, ColumnWNamesTheGroupWithoutTouchingIt) {
    std::memset(groupNames, 0, sizeof groupNames);
    Group before = world.groups[2];
    std::string log = read("#,W,A\n2,  Fast cars  ,70\n3," + std::string(60, 'x') + ",50\n77,Lost,40\n5,Last\n");
    // Only the group out of range is warned about: a name is never wrong.
    EXPECT_NE(log.find("group 77 is outside 0 to 49"), std::string::npos) << log;
    EXPECT_EQ(log.find("column W"), std::string::npos) << log;
    EXPECT_STREQ(groupNames[2], "Fast cars");
    EXPECT_EQ(std::string(groupNames[3]), std::string(40, 'x'));
    EXPECT_STREQ(groupNames[0], "Lost");
    EXPECT_STREQ(groupNames[5], "Last");   // the last field keeps the line feed; the name does not
    before.desiredSpeed = 70;
    EXPECT_EQ(std::memcmp(&before, &world.groups[2], sizeof before), 0);
    chooseEdition(LegacyEdition);
    read("#,A,W\n6,30,Tractors\n");
    EXPECT_STREQ(groupNames[6], "Tractors");
}
