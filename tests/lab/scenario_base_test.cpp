// ombrane-lab with a scenario base: the new vary forms and their refusals,
// the seeds each run gets, each run's own scenario, and summary.csv's means
// and 95 % intervals.
#include "files/key_lines.h"
#include "programs/lab/experiment.h"
#include "programs/lab/scenario_base.h"
#include "programs/lab/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const char Noisy[] = "# a ring\n"
                     "groups = ring.csv\n"
                     "start = even\n"
                     "seed = 9\n"
                     "noise group 0 = 0.05   # noisy\n"
                     "group 0 A = 60\n"
                     "at 0:02 group 0 A = 50\n"
                     "at 0:03 zone on\n"
                     "at step 48 car nearest 1.0 mi in lane 1 slows to 10 mph for 2 s\n";
const char Quiet[] = "groups = ring.csv\nat 0:02 zone on\n";

Experiment parsed(const std::string& text) {
    Experiment e;
    std::string problem;
    EXPECT_TRUE(parseExperiment(text, "x.txt", e, problem, false)) << problem;
    return e;
}

std::string refusal(const std::string& text) {
    Experiment e;
    std::string problem;
    EXPECT_FALSE(parseExperiment(text, "x.txt", e, problem, false)) << text;
    return problem;
}

// The experiment with its scenario read: 0, or 2 with problem.
int withScenario(Experiment& e, const std::string& scenario, std::string& problem) {
    std::string groups;
    return readScenarioBase(e, "s.scenario", scenario, groups, problem);
}

std::string scenarioRefusal(const std::string& experiment, const std::string& scenario) {
    Experiment e = parsed(experiment);
    std::string problem;
    EXPECT_EQ(withScenario(e, scenario, problem), 2) << experiment;
    return problem;
}

}  // namespace

TEST(LabScenarioBase, ReaderRefusesTheNewFormsWhereTheyCannotApply) {
    EXPECT_EQ(refusal("base = b.csv\nvary seed = 1, 2\n"),
              "x.txt:2: vary seed needs a scenario base (base = NAME.scenario); b.csv is a groups file");
    EXPECT_EQ(refusal("base = b.csv\nvary event 1 time = 3:00\n"),
              "x.txt:2: vary event 1 time needs a scenario base (base = NAME.scenario); b.csv is a groups file");
    EXPECT_EQ(refusal("base = s.scenario\nrepeat = 3\nvary seed = 1, 2\n"),
              "x.txt:3: vary seed names the seeds itself, and repeat = 3 would run each seed 3 times "
              "alike: give more seeds instead");
    EXPECT_EQ(refusal("base = s.scenario\nedition = legacy\n"),
              "x.txt:1: the earlier edition does not open scenarios; a scenario base needs edition = current");
    EXPECT_EQ(refusal("base = s.scenario\nvary seed = 1, -2\n"),
              "x.txt:2: a seed is a whole number from 0 to 18446744073709551615, not '-2'");
    EXPECT_EQ(refusal("base = s.scenario\nvary seed = 18446744073709551616\n"),
              "x.txt:2: a seed is a whole number from 0 to 18446744073709551615, not '18446744073709551616'");
    EXPECT_EQ(refusal("base = s.scenario\nvary start speed = 1001\n"),
              "x.txt:2: start speed is mph from 0 to 1000, not '1001'");
    EXPECT_EQ(refusal("base = s.scenario\nvary event 1 time = 3:00..4:00\n"),
              "x.txt:2: times are listed, such as 3:00, 3:30, 4:00; they cannot be a range");
    EXPECT_EQ(refusal("base = s.scenario\nvary event 0 time = 3:00\n"),
              "x.txt:2: event 0: events are numbered from 1 in the order of the scenario file");
    EXPECT_EQ(refusal("base = s.scenario\nvary event 1 speed = 3\n"),
              "x.txt:2: an event is varied as vary event N time = ... or vary event N value = ...");
    EXPECT_EQ(refusal("base = s.scenario\nvary event 1 time = 3:00\nvary event  1  time = 4:00\n"),
              "x.txt:3: vary event 1 time is already on line 2");
    // The forms that are fine, with `together` as for columns.
    Experiment e = parsed("base = s.scenario\nvary event 1 time = 0:01, step 40\n"
                          "vary event 1 value = 40, 45 together\nvary seed = 0..3\n");
    EXPECT_EQ(runCount(e), 8);
    EXPECT_EQ(e.varies[0].values[1], "step 40");
}

TEST(LabScenarioBase, VariesTheScenarioLacksAreRefusedWithTheExperimentsLine) {
    EXPECT_EQ(scenarioRefusal("base = s.scenario\n\nvary event 4 time = 3:00\n", Noisy),
              "x.txt:3: vary event 4 time: the scenario s.scenario has 3 events");
    EXPECT_EQ(scenarioRefusal("base = s.scenario\nvary event 1 value = 3\n", Quiet),
              "x.txt:2: vary event 1 value: event 1 (zone on) has no value to vary; vary its time");
    EXPECT_EQ(scenarioRefusal("base = s.scenario\nvary seed = 1, 2\n", Quiet),
              "x.txt:2: vary seed: the scenario s.scenario draws no random numbers (no noise), so "
              "every seed would give the same run");
    // Values the run's scenario would refuse, named with the value.
    EXPECT_EQ(scenarioRefusal("base = s.scenario\nvary event 2 time = 3:00, 3:0\n", Noisy),
              "x.txt:2: vary event 2 time = 3:0: a time is m:ss, h:mm:ss or step N, not '3:0'");
    EXPECT_EQ(scenarioRefusal("base = s.scenario\nvary event 1 value = 40, fast\n", Noisy),
              "x.txt:2: vary event 1 value = fast: column A needs a number, not 'fast'");
    EXPECT_EQ(scenarioRefusal("base = s.scenario\nvary event 3 value = 2000\n", Noisy),
              "x.txt:2: vary event 3 value = 2000: a speed is mph from 0 to 1000, not '2000'");
    // A scenario the reader refuses is its own FILE:LINE.
    EXPECT_EQ(scenarioRefusal("base = s.scenario\n", "groups = r.csv\nstart = odd\n"),
              "s.scenario:2: start is block or even");
}

TEST(LabScenarioBase, RepeatsAreSeedsOneToNOnlyWithRandomness) {
    std::string problem;
    Experiment e = parsed("base = s.scenario\nvary 0.N = 100, 200\nrepeat = 3\n");
    ASSERT_EQ(withScenario(e, Noisy, problem), 0) << problem;
    EXPECT_TRUE(e.randomness);
    EXPECT_EQ(leadColumns(e), (std::vector<std::string>{"0.N", "seed"}));
    std::vector<std::string> seeds;
    for (const RunPlan& run : planRuns(e))
        seeds.push_back(runSeed(e, run));
    EXPECT_EQ(seeds, (std::vector<std::string>{"1", "2", "3", "1", "2", "3"}));
    EXPECT_EQ(leadValues(e, planOf(e, 5)), (std::vector<std::string>{"200", "2"}));
    EXPECT_NE(runKey(e, planOf(e, 5)).find("\nseed = 2\n"), std::string::npos);

    // A varied seed is the seed; no column is added for it.
    Experiment v = parsed("base = s.scenario\nvary seed = 5, 18446744073709551615\nvary 0.N = 1, 2\n");
    ASSERT_EQ(withScenario(v, Noisy, problem), 0) << problem;
    EXPECT_EQ(leadColumns(v), (std::vector<std::string>{"seed", "0.N"}));
    EXPECT_EQ(runSeed(v, planOf(v, 3)), "18446744073709551615");
    EXPECT_NE(runScenarioText(v, planOf(v, 3)).find("seed = 18446744073709551615\n"), std::string::npos);

    // No randomness: repeats stay identical runs, as with a groups file, and
    // the table keeps its repeat column and run.txt its bytes.
    Experiment q = parsed("base = s.scenario\nrepeat = 2\n");
    ASSERT_EQ(withScenario(q, Quiet, problem), 0) << problem;
    EXPECT_FALSE(q.randomness);
    EXPECT_EQ(leadColumns(q), (std::vector<std::string>{"repeat"}));
    EXPECT_EQ(runSeed(q, planOf(q, 2)), "");
    EXPECT_EQ(runKey(q, planOf(q, 2)).find("seed"), std::string::npos);
    EXPECT_EQ(runScenarioText(q, planOf(q, 2)), "groups = groups.csv\nat 0:02 zone on\n");
}

TEST(LabScenarioBase, TheScenariosStepsCountUnlessTheExperimentGivesSteps) {
    std::string problem;
    const std::string scenario = std::string(Quiet) + "steps = 9600\n";
    Experiment e = parsed("base = s.scenario\nwarmup = 6000\n");  // past the default 4800
    ASSERT_EQ(withScenario(e, scenario, problem), 0) << problem;
    EXPECT_EQ(e.steps, 9600);
    Experiment given = parsed("base = s.scenario\nsteps = 800\n");
    ASSERT_EQ(withScenario(given, scenario, problem), 0) << problem;
    EXPECT_EQ(given.steps, 800);
    // The warm-up is judged against the scenario's steps, on its own line.
    Experiment late = parsed("base = s.scenario\n\nwarmup = 9600\n");
    EXPECT_EQ(withScenario(late, scenario, problem), 2);
    EXPECT_EQ(problem, "x.txt:3: warmup leaves less than one measuring period (80 steps) of the 9600 steps to measure");
}

TEST(LabScenarioBase, RunScenarioPutsEveryValueInItsPlace) {
    std::string problem;
    Experiment e = parsed("base = s.scenario\nvary event 1 time = 0:05\nvary event 3 value = 20\n"
                          "vary event 1 value = 45\nvary 0.A = 55\nvary 1.N = 30\n"
                          "vary start speed = 40\nrepeat = 2\n");
    ASSERT_EQ(withScenario(e, Noisy, problem), 0) << problem;
    EXPECT_EQ(runScenarioText(e, planOf(e, 2)),
              "groups = groups.csv\n"
              "start = even\n"
              "seed = 2\n"
              "noise group 0 = 0.05\n"
              "group 0 A = 55\n"
              "at 0:05 group 0 A = 45\n"
              "at 0:03 zone on\n"
              "at step 48 car nearest 1.0 mi in lane 1 slows to 20 mph for 2 s\n"
              "group 1 N = 30\n"
              "start speed = 40\n");
}

TEST(LabScenarioBase, MeanAndIntervalAgainstHandComputedValues) {
    double mean = 0, half = 0;
    EXPECT_FALSE(meanAndInterval({}, &mean, &half));
    ASSERT_TRUE(meanAndInterval({7.5}, &mean, &half));
    EXPECT_DOUBLE_EQ(mean, 7.5);
    EXPECT_EQ(half, -1);  // no interval from one run
    // n = 2: s = sqrt(2), t(1) = 12.706, half = 12.706 * sqrt(2) / sqrt(2).
    ASSERT_TRUE(meanAndInterval({1, 3}, &mean, &half));
    EXPECT_DOUBLE_EQ(mean, 2);
    EXPECT_NEAR(half, 12.706, 1e-9);
    // n = 5: 2, 4, 4, 5, 10: mean 5, s^2 = (9 + 1 + 1 + 0 + 25) / 4 = 9, t(4) = 2.776.
    ASSERT_TRUE(meanAndInterval({2, 4, 4, 5, 10}, &mean, &half));
    EXPECT_DOUBLE_EQ(mean, 5);
    EXPECT_NEAR(half, 2.776 * 3 / std::sqrt(5.0), 1e-9);
    EXPECT_DOUBLE_EQ(studentT975(30), 2.042);
    EXPECT_DOUBLE_EQ(studentT975(45), 2.021);   // between rows: the fewer degrees
    EXPECT_DOUBLE_EQ(studentT975(100000), 1.960);
}

TEST(LabScenarioBase, SummaryGroupsTheSeedsOfEachCombinationAndLane) {
    std::string problem;
    Experiment e = parsed("base = s.scenario\nvary seed = 1, 2\nvary 0.N = 10, 20\n");
    ASSERT_EQ(withScenario(e, Noisy, problem), 0) << problem;
    std::string results = "run,seed,0.N,lane,flow_vph,g0_speed_mph\n"
                          "1,1,10,1,100.0,\n1,1,10,all,25.0,30\n"
                          "2,1,20,1,200.0,\n2,1,20,all,50.0,40\n"
                          "3,2,10,1,300.0,\n3,2,10,all,75.0,\n"
                          "4,2,20,1,200.0,\n4,2,20,all,50.0,44\n";
    EXPECT_EQ(buildSummary(e, results),
              "0.N,lane,runs,flow_vph_mean,flow_vph_ci95,g0_speed_mph_mean,g0_speed_mph_ci95\n"
              "10,1,2,200.0000,1270.6000,,\n"
              "10,all,2,50.0000,317.6500,30.0000,\n"   // one speed: a mean, no interval
              "20,1,2,200.0000,0.0000,,\n"
              "20,all,2,50.0000,0.0000,42.0000,25.4120\n");
}

TEST(LabScenarioBase, SharedLineReadingTakesEveryLineEndAndAByteOrderMark) {
    std::vector<TextLine> lines = meaningfulLines("\xEF\xBB\xBF" "a = 1\rb = 2\r\n\nc = 3 # c\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "a = 1");
    EXPECT_EQ(lines[1].number, 2);
    EXPECT_EQ(lines[2].number, 4);
    EXPECT_EQ(lines[2].text, "c = 3");
    // The experiment's refusals keep their lines through a lone carriage return.
    EXPECT_EQ(refusal("base = b.csv\rsteps = 0\r"), "x.txt:2: steps needs a whole number of steps, 1 or more");
}
