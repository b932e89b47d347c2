// The scenario reader: what it accepts, in what order events come out, and
// every refusal with its line.
#include "files_fixture.h"

#include "commands/scenario_command.h"
#include "core/sim.h"
#include "files/key_lines.h"
#include "files/scenario.h"

#include <climits>

namespace {

bool parse(const std::string& text, Scenario& s, std::string& problem) {
    return parseScenario(text, "s.scenario", s, problem);
}

std::string refusal(const std::string& text) {
    Scenario s;
    std::string problem;
    EXPECT_FALSE(parse(text, s, problem)) << text;
    return problem;
}

}  // namespace

TEST(ScenarioReader, ReadsEveryKey) {
    Scenario s;
    std::string problem;
    ASSERT_TRUE(parse("# a study\n"
                      "groups = road.csv   # the cars\n"
                      "start = even\n"
                      "start speed = 45 mph\n"
                      "seed = 0\n"
                      "noise group 3 = 0.25\n"
                      "noise slowdown = 20 %\n"
                      "steps = 9600\n"
                      "detector = 0, 10560\n"
                      "group 1 A = 55\n"
                      "group 1 Z = Red\n",
                      s, problem))
        << problem;
    EXPECT_EQ(s.groupsName, "road.csv");
    EXPECT_EQ(s.evenStart, 1);
    EXPECT_DOUBLE_EQ(s.startSpeed, 45);
    EXPECT_EQ(s.hasSeed, 1);
    EXPECT_DOUBLE_EQ(s.noise[3], 0.25);
    EXPECT_DOUBLE_EQ(s.noiseSlowdown, 0.2);
    EXPECT_EQ(s.steps, 9600);
    EXPECT_EQ(s.detectors.size(), 2u);
    ASSERT_EQ(s.overrides.size(), 2u);
    EXPECT_EQ(s.overrides[0].column, 'A');
    EXPECT_TRUE(usesRandomness(s));
}

TEST(ScenarioReader, SeedsFromZeroTo2To64Less1) {
    Scenario s;
    std::string problem;
    ASSERT_TRUE(parse("groups = a.csv\nseed = 18446744073709551615\n", s, problem)) << problem;
    EXPECT_EQ(s.seed, UINT64_MAX);
    EXPECT_NE(refusal("groups = a.csv\nseed = 18446744073709551616\n").find("s.scenario:2: seed is"),
              std::string::npos);
    EXPECT_NE(refusal("groups = a.csv\nseed = -1\n").find(":2: seed"), std::string::npos);
}

TEST(ScenarioReader, EventsComeOutByTimeWithEqualTimesInFileOrder) {
    Scenario s;
    std::string problem;
    ASSERT_TRUE(parse("groups = a.csv\n"
                      "at 6:30 zone off\n"
                      "at 3:30 zone on\n"
                      "at 1:00:00 group 2 A = 40\n"
                      "at step 3360 group 2 A = 41\n"
                      "at 0:00 noise group 1 = 0\n",
                      s, problem))
        << problem;
    ASSERT_EQ(s.events.size(), 5u);
    const int steps[] = {0, 3360, 3360, 6240, 57600};
    const int lines[] = {6, 3, 5, 2, 4};
    for (int k = 0; k < 5; k++) {
        EXPECT_EQ(s.events[std::size_t(k)].step, steps[k]);
        EXPECT_EQ(s.eventLines[std::size_t(k)], lines[k]);
    }
    EXPECT_STREQ(s.events[1].text, "zone on");
    EXPECT_STREQ(s.events[2].text, "group 2 A = 41");
}

// A column's value is stored as the groups reader stores it: a follow
// distance in car lengths less one car, a preferred lane as two words.
TEST(ScenarioReader, GroupEventsUseTheGroupsReadersRule) {
    resetWorld(CurrentEdition);
    Scenario s;
    std::string problem;
    ASSERT_TRUE(parse("groups = a.csv\nat 1:00 group 4 C = 3\nat 1:00 group 4 E = 2\n", s, problem));
    const ScenarioEvent& c = s.events[0];
    ASSERT_EQ(c.wordCount, 1);
    EXPECT_EQ(c.wordIndex[0], int(offsetof(Group, followDistance) / 4));
    float feet;
    std::memcpy(&feet, &c.wordBits[0], 4);
    EXPECT_FLOAT_EQ(feet, 36.0f);
    EXPECT_EQ(s.events[1].wordCount, 2);
    // The scratch use of the group leaves it as it was.
    Group untouched = world.groups[4];
    ASSERT_TRUE(parse("groups = a.csv\nat 1:00 group 4 B = 7\n", s, problem));
    EXPECT_EQ(std::memcmp(&untouched, &world.groups[4], sizeof untouched), 0);
}

TEST(ScenarioReader, RefusesWithFileAndLine) {
    resetWorld(CurrentEdition);  // the reader's rules read the car length
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"start = even\n", "s.scenario: no groups = FILE.csv line"},
        {"groups = s.scenario\n", "s.scenario:1: groups names a groups file ending in .csv"},
        {"groups = a.csv\nnoise group 1 = 1.5\n", "s.scenario:2: a noise probability is from 0 to 1"},
        {"groups = a.csv\nnoise group 1 = -0.1\n", "s.scenario:2: a noise probability is from 0 to 1"},
        {"groups = a.csv\nnoise group 1 = 0.1\n", "s.scenario: noise needs a seed = N line"},
        {"groups = a.csv\nat 1:00 noise group 1 = 0.1\n", "noise needs a seed"},
        {"groups = a.csv\nat 1:00 car nearest 2 mi in lane 5 slows to 10 mph for 3 s\n",
         "s.scenario:2: lane 5 does not exist"},
        {"groups = a.csv\nat 1:00 car nearest 4.5 mi in lane 1 slows to 10 mph for 3 s\n",
         "s.scenario:2: position 4.5 mi is past the road"},
        {"groups = a.csv\nat 1:00 car nearest 2 mi in lane 1 slows to 10 mph for 0 s\n",
         "at least 1/16 s"},
        {"groups = a.csv\nat 1:00 car nearest 2 mi lane 1 slows to 10 mph\n", "a disturbance is:"},
        {"groups = a.csv\nat 1:00 group 50 A = 10\n", "s.scenario:2: group 50 is outside 0 to 49"},
        {"groups = a.csv\nat 1:00 group 1 N = 10\n", "column N cannot change during a run"},
        {"groups = a.csv\nat 1:00 group 1 J = 10\n", "unknown column letter 'J'"},
        {"groups = a.csv\nat 1:00 group 1 A = fast\n", "column A needs a number, not 'fast'"},
        {"groups = a.csv\nat 1:00 group 1 C = 1e39\n", "s.scenario:2: column C: '1e39' is not a usable number"},
        // The groups reader's own judgement of a field, reused.
        {"groups = a.csv\ngroup 1 E = 7\n", "s.scenario:2: column E: "},
        {"groups = a.csv\ngroup 1 Z = Mauve-ish\n", "unknown colour name 'Mauve-ish'"},
        {"groups = a.csv\ngroup 1 N = 2.5\n", "column N needs a whole number"},
        {"groups = a.csv\nat 3:75 zone on\n", "s.scenario:2: a time is m:ss, h:mm:ss or step N"},
        {"groups = a.csv\nat 3 zone on\n", "a time is m:ss"},
        {"groups = a.csv\nat -1:00 zone on\n", "a time is m:ss"},
        {"groups = a.csv\nat 1000000:00:00 zone on\n", "past the last step that can be counted"},
        {"groups = a.csv\nat step 2147483648 zone on\n", "step needs a whole number"},
        {"groups = a.csv\nat 1:00 zone maybe\n", "zone on, or zone off"},
        {"groups = a.csv\nat 1:00\n", "says nothing to do"},
        {"groups = a.csv\nat 1:00 rain\n", "unknown event 'rain'"},
        {"groups = a.csv\nstart = scattered\n", "start is block or even"},
        {"groups = a.csv\nstart speed = fast\n", "start speed is mph"},
        {"groups = a.csv\nsteps = 0\n", "steps needs a whole number"},
        {"groups = a.csv\ndetector = 30000\n", "a detector is a position in feet"},
        {"groups = a.csv\nnoise slowdown = 0\n", "noise slowdown is a fraction"},
        {"groups = a.csv\ngroups = b.csv\n", "s.scenario:2: groups is set twice"},
        {"groups = a.csv\ncolour = red\n", "s.scenario:2: unknown key 'colour'"},
        {"groups = a.csv\njust words\n", "s.scenario:2: expected KEY = VALUE, or at TIME ACTION"},
    };
    for (const Case& c : cases) {
        std::string problem = refusal(c.text);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << " gave: " << problem;
    }
}

TEST(ScenarioReader, AVeryLongFileIsReadAndTooManyEventsRefused) {
    std::string text = "groups = a.csv\n";
    for (int k = 0; k < 200000; k++)
        text += "# a comment line to make the file long\n";
    text += "at 0:01 zone on\n";
    Scenario s;
    std::string problem;
    ASSERT_TRUE(parse(text, s, problem)) << problem;
    EXPECT_EQ(s.eventLines[0], 200002);

    std::string many = "groups = a.csv\n";
    for (int k = 0; k <= MaxEvents; k++)
        many += "at step " + std::to_string(k) + " zone on\n";
    EXPECT_NE(refusal(many).find(":4098: at most 4096 events"), std::string::npos);
}

class ScenarioFiles : public FilesTest {};

TEST_F(ScenarioFiles, MissingFolderAndUnreadableGroupsAreExit1) {
    Scenario s;
    std::string problem;
    int code = 0;
    EXPECT_FALSE(loadScenario((folder / "none.scenario").string(), s, problem, &code));
    EXPECT_EQ(code, 1);
    EXPECT_NE(problem.find("cannot read it"), std::string::npos);
    std::filesystem::create_directories(folder / "dir.scenario");
    EXPECT_FALSE(loadScenario((folder / "dir.scenario").string(), s, problem, &code));
    EXPECT_EQ(code, 1);
    std::string path = write("a.scenario", "# x\ngroups = missing.csv\n");
    EXPECT_FALSE(loadScenario(path, s, problem, &code));
    EXPECT_EQ(code, 1);
    EXPECT_NE(problem.find("a.scenario:2: cannot read the groups file"), std::string::npos) << problem;
    path = write("b.scenario", "groups = a.csv\nat 1:00 zone sideways\n");
    EXPECT_FALSE(loadScenario(path, s, problem, &code));
    EXPECT_EQ(code, 2);
}

TEST_F(ScenarioFiles, OpenAppliesOverridesAfterTheGroupsFileAndNamesTheReport) {
    write("road.csv", "#Group,A,N\n0,60,5\n1,50,5\n");
    std::string path = write("study.scenario", "groups = road.csv\ngroup 1 A = 35\ngroup 0 N = 7\n");
    Scenario s;
    std::string problem;
    int code = 0;
    testing::internal::CaptureStdout();
    int opened = openScenarioFile(path.c_str(), s, &problem, &code);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(opened, 1) << problem;
    EXPECT_EQ(world.groups[1].desiredSpeed, 35.0f);
    EXPECT_EQ(world.groups[0].carCount, 7);
    EXPECT_EQ(std::string(world.reportPath), (folder / "study.report.csv").string());
    EXPECT_EQ(scenarioPlan.active, 1);
    EXPECT_EQ(openedScenarioPath(), path);
    // A plain groups file afterwards is no scenario's.
    testing::internal::CaptureStdout();
    openGroupsFile((folder / "road.csv").string().c_str(), "road.csv");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(scenarioPlan.active, 0);
    EXPECT_TRUE(openedScenarioPath().empty());
}

TEST_F(ScenarioFiles, TheEarlierEditionOpensNoScenario) {
    chooseEdition(LegacyEdition);
    write("road.csv", "#Group,A,N\n0,60,5\n");
    std::string path = write("study.scenario", "groups = road.csv\n");
    Scenario s;
    std::string problem;
    int code = 0;
    EXPECT_EQ(openScenarioFile(path.c_str(), s, &problem, &code), 0);
    EXPECT_EQ(code, 2);
    EXPECT_NE(problem.find("does not open scenarios"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(openGroupsFile(path.c_str(), "study.scenario"), 0);
    testing::internal::GetCapturedStdout();
}

TEST(KeyLines, CommentsBlanksAndSplitting) {
    std::vector<TextLine> lines = meaningfulLines("# only a comment\n\n  a = 1  # note\r\nb=2\n   \n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].number, 3);
    EXPECT_EQ(lines[0].text, "a = 1");
    std::string k, v;
    EXPECT_TRUE(splitKeyValue(lines[1].text, k, v));
    EXPECT_EQ(k, "b");
    EXPECT_EQ(v, "2");
    EXPECT_FALSE(splitKeyValue("no equals", k, v));
    EXPECT_EQ(lineProblem("f", 0, "r"), "f: r");
    EXPECT_EQ(lineProblem("f", 3, "r"), "f:3: r");
    EXPECT_EQ(besideFile("dir/s.scenario", "a.csv"), "dir/a.csv");
    EXPECT_EQ(besideFile("s.scenario", "a.csv"), "a.csv");
    EXPECT_EQ(besideFile("dir/s.scenario", "/abs/a.csv"), "/abs/a.csv");
}

// Restart after a scenario opens it again: the same start, the events again.
TEST_F(ScenarioFiles, RestartStartsTheScenarioAgain) {
    write("road.csv", "#Group,A,N,F,I\n0,60,40,10,3\n1,50,40,10,3\n");
    std::string path = write("again.scenario", "groups = road.csv\nstart = even\nat step 3 zone on\n");
    Scenario s;
    std::string problem;
    int code = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(openScenarioFile(path.c_str(), s, &problem, &code), 1) << problem;
    runTick();
    world.run.running = 1;
    while (world.run.stepCount < 20)
        runTick();
    const float firstCar = world.cars[1].position;
    ASSERT_EQ(world.run.constructionZone, 1);
    restartCommand();
    runTick();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(world.run.stepCount, 0);
    EXPECT_EQ(world.run.constructionZone, 0);
    EXPECT_EQ(world.carTotal, 80);
    EXPECT_EQ(world.cars[1].position, float(21120.0 / 80));  // spread evenly again
    EXPECT_NE(world.cars[1].position, firstCar);
    testing::internal::CaptureStdout();
    world.run.running = 1;
    while (world.run.stepCount < 8)
        runTick();
    log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Step 3: zone on"), std::string::npos) << log;
    forgetScenario();
}
