// The groups reader's warnings: each trap a study fell into without a word
// (blanks after commas, semicolons, a last line without a line feed, text in
// a number column, more cars than a lane or the road holds, a file that
// places nothing), named with file and line; correct files stay silent; and
// the per-column rule the lab checks varied values with.
#include "files/groups.h"

#include "core/sim.h"
#include "files_fixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct Heard {
    std::string path;
    int line;
    std::string text;
};
std::vector<Heard> heard;

void hear(const char* path, int line, const char* text) { heard.push_back({path, line, text}); }

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

class GroupsWarnings : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        heard.clear();
        setGroupsWarningSink(hear);
    }
    void TearDown() override {
        setGroupsWarningSink(nullptr);
        FilesTest::TearDown();
    }

    // Opens the bytes as the window's Open does, after the first tick has
    // placed the built-in cars (their counts are spent).
    std::vector<Heard> open(const std::string& bytes, const Edition& edition = CurrentEdition) {
        resetWorld(edition);
        resetReader();
        loadDefaultGroups();
        for (Group& g : world.groups) {
            g.carCount = 0;
            for (int& count : g.laneCount)
                count = 0;
        }
        heard.clear();
        std::string path = write("g.csv", bytes);
        logOf([&] { openGroupsFile(path.c_str(), "g.csv"); });
        return heard;
    }

    static std::string all(const std::vector<Heard>& warnings) {
        std::string out;
        for (const Heard& h : warnings)
            out += std::to_string(h.line) + ": " + h.text + "\n";
        return out;
    }

    static std::string motorway() { return fileText(OMBRANE_SOURCE_DIR "/examples/motorway-keep-right.csv"); }

    // Line numbers of the example found in its text, so that its comments
    // may change: the real header row, and the last line.
    static int motorwayHeaderLine() {
        std::string text = motorway();
        size_t at = text.find("\n#Group,");
        return at == std::string::npos ? -1 : 2 + int(std::count(text.begin(), text.begin() + at, '\n'));
    }
    static int motorwayLastLine() {
        std::string text = motorway();
        return int(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(GroupsWarnings, CorrectFilesGiveNoneInEitherEdition) {
    for (const char* name : {"examples/motorway-keep-right.csv", "examples/american-free-for-all.csv",
                             "examples/stop-and-go-wave.csv", "bench/busy-dense-road.csv"})
        for (const Edition* edition : {&CurrentEdition, &LegacyEdition}) {
            std::string bytes = fileText(std::string(OMBRANE_SOURCE_DIR "/") + name);
            ASSERT_FALSE(bytes.empty()) << name;
            EXPECT_EQ(all(open(bytes, *edition)), "") << name << " " << edition->version;
            EXPECT_EQ(reader.warnings, 0);
        }
}

TEST_F(GroupsWarnings, BlanksAfterCommasLeaveTheHeaderKnowingNoColumn) {
    std::vector<Heard> w = open(replaced(motorway(), ",", ", "));
    ASSERT_EQ(w.size(), 2u) << all(w);
    EXPECT_EQ(w[0].line, motorwayHeaderLine());
    EXPECT_NE(w[0].text.find("names no known column"), std::string::npos);
    EXPECT_NE(w[0].text.find("remove the blanks after the commas"), std::string::npos);
    EXPECT_EQ(w[1].line, 0);
    EXPECT_NE(w[1].text.find("no row places a car"), std::string::npos);

    // Some columns known: the blank-led ones are counted.
    w = open("#Group,N, A, B\n0,5,70,8\n");
    ASSERT_EQ(w.size(), 1u) << all(w);
    EXPECT_EQ(w[0].line, 1);
    EXPECT_NE(w[0].text.find("2 fields of the header row begin with a blank"), std::string::npos);
}

TEST_F(GroupsWarnings, SemicolonsAreNamedOnceNotOnEveryRow) {
    std::vector<Heard> w = open(replaced(motorway(), ",", ";"));
    ASSERT_EQ(w.size(), 2u) << all(w);
    EXPECT_EQ(w[0].line, motorwayHeaderLine());
    EXPECT_NE(w[0].text.find("split by semicolons"), std::string::npos);
    EXPECT_NE(w[1].text.find("no row places a car"), std::string::npos);
}

TEST_F(GroupsWarnings, ALastLineWithoutLineFeedIsNamed) {
    std::string bytes = motorway();
    bytes.pop_back();
    std::vector<Heard> w = open(bytes);
    ASSERT_EQ(w.size(), 1u) << all(w);
    EXPECT_EQ(w[0].line, motorwayLastLine());
    EXPECT_NE(w[0].text.find("no line feed"), std::string::npos);
    EXPECT_EQ(world.groupRowsRead, 2);  // still not read: the warning changes nothing
    // A final blank line is no loss.
    EXPECT_EQ(all(open(motorway() + "   ")), "");
}

TEST_F(GroupsWarnings, TextInANumberColumnSaysWhatWasRead) {
    std::vector<Heard> w = open("#,A,N\n0,sixty-five,sixty-five\n1,65,2.9\n");
    EXPECT_EQ(all(w), "2: column A: 'sixty-five' is no number: read as 0\n"
                      "2: column N: 'sixty-five' is no whole number: read as 0\n"
                      "3: column N: '2.9' is read as 2\n");
    EXPECT_EQ(w[0].path.substr(w[0].path.size() - 5), "g.csv");
}

TEST_F(GroupsWarnings, CarsBeyondALaneOrTheRoadAreNamedOnTheirRow) {
    std::vector<Heard> w = open("#,1\n0,600\n");
    EXPECT_EQ(all(w), "2: lane 1 holds 586 cars: 14 of the 600 that group 0 asks for in column 1 were not placed\n");
    w = open("#,N\n\n3,2500\n");
    EXPECT_EQ(all(w), "3: the road holds 2344 cars: 156 of the 2500 that group 3 asks for in column N were not placed\n");
    // Exactly full is no loss.
    EXPECT_EQ(all(open("#,1,2,3,4\n0,586,586,586,586\n")), "");
}

// The prediction is the placement's own walk: what it says stays off the
// road is what placement leaves off.
TEST_F(GroupsWarnings, UnplacedCarsAgreeWithPlacement) {
    resetWorld(CurrentEdition);
    loadDefaultGroups();
    for (Group& g : world.groups)
        g.carCount = 0;
    world.groups[0].laneCount[0] = 600;
    world.groups[1].carCount = 900;
    world.groups[7].laneCount[3] = 700;
    world.groups[9].carCount = -40;
    int unplaced[MaxGroups][LaneTotal + 1];
    int left = unplacedCars(unplaced);
    EXPECT_EQ(unplaced[0][0], 14);
    EXPECT_EQ(unplaced[7][3], 114);
    EXPECT_EQ(unplaced[9][LaneTotal], 0);
    int placed = 0;
    logOf([&] { placed = placeAllCars(nullptr); });
    EXPECT_EQ(placed, 600 + 900 + 700 - left);
}

TEST_F(GroupsWarnings, TheConsoleGetsThemInTheCurrentEditionOnly) {
    setGroupsWarningSink(nullptr);
    resetWorld(CurrentEdition);
    std::string path = write("c.csv", "#,N,A\n0,5,fast\n");
    std::string log = logOf([&] { openGroupsFile(path.c_str(), "c.csv"); });
    EXPECT_EQ(log, ">> " + path + ":2: column A: 'fast' is no number: read as 0\r\nRead 1 groups from " + path +
                       "\r\n");
    // The earlier edition's console stays as it was, but for a file that
    // sets or places nothing.
    resetWorld(LegacyEdition);
    resetReader();
    log = logOf([&] { openGroupsFile(path.c_str(), "c.csv"); });
    EXPECT_EQ(log, "Read 1 groups from " + path + "\r\n");
    EXPECT_EQ(reader.warnings, 1);
    path = write("d.csv", "#Group;N;A\n0;5;70\n");
    log = logOf([&] { openGroupsFile(path.c_str(), "d.csv"); });
    EXPECT_EQ(log.rfind(">> " + path + ":1: the header row names no known column", 0), 0u) << log;
}

TEST_F(GroupsWarnings, ColourInTheLastColumnKeepsItsLineFeed) {
    std::vector<Heard> w = open("#,N,Z\n0,5,Red\n");
    ASSERT_EQ(w.size(), 1u) << all(w);
    EXPECT_NE(w[0].text.find("'Red' in the last column keeps the line feed"), std::string::npos);
    // The earlier edition drops the line feed, so the name is found.
    EXPECT_EQ(all(open("#,N,Z\n0,5,Red\n", LegacyEdition)), "");
}

TEST(GroupsColumnRule, TakesOnlyWhatTheReaderReadsAsWritten) {
    resetWorld(CurrentEdition);
    struct Case {
        char letter;
        const char* field;
        bool asWritten;
    } cases[] = {
        {'N', "12", true},    {'N', " 12", true},   {'N', "12 \n", true}, {'N', "0", true},
        {'N', "0x10", false}, {'N', "1e3", false},  {'N', "2.9", false},  {'N', "-1", false},
        {'N', "2000000", false}, {'N', "", false},  {'1', "586", true},   {'4', "1.5", false},
        {'A', "65.5", true},  {'A', "1e39", false}, {'A', "inf", false},  {'A', "0x10", true},
        {'A', "65mph", false}, {'C', "1e38", false}, {'D', "1.5", true},
        {'E', "0", true},     {'E', "4", true},     {'E', "5", false},    {'E', "-1", false},
        {'F', "1", true},     {'F', "13", true},    {'F', "7", false},
        {'I', "4", true},     {'I', "15", true},    {'I', "0", false},
        {'#', "49", true},    {'#', "50", false},
        {'Z', "Red", true},   {'Z', "red", false},  {'Z', " Red", false},
        {'R', "anything at all", true}, {'W', "notes", true},
    };
    for (const Case& c : cases) {
        char why[200] = "unset";
        EXPECT_EQ(readsAsWritten(c.letter, c.field, why, sizeof why), c.asWritten)
            << c.letter << " '" << c.field << "': " << why;
        if (!c.asWritten) {
            EXPECT_NE(std::string(why), "");
        }
    }
}

}  // namespace
