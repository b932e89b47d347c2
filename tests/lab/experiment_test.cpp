// ombrane-lab's experiment files, run plans, run groups files and averaging.
#include "programs/lab/experiment.h"
#include "programs/lab/summary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Experiment parsed(const std::string& text, bool force = false) {
    Experiment e;
    std::string problem;
    EXPECT_TRUE(parseExperiment(text, "x.txt", e, problem, force)) << problem;
    return e;
}

std::string refusal(const std::string& text, bool force = false) {
    Experiment e;
    std::string problem;
    EXPECT_FALSE(parseExperiment(text, "x.txt", e, problem, force)) << text;
    return problem;
}

const char Base[] = "base = b.csv\nsteps = 160\n";

}  // namespace

TEST(LabExperiment, ReadsSettingsCommentsRangesAndLists) {
    Experiment e = parsed("# a sweep\n"
                          "base      = sub/b.csv   # relative\n"
                          "steps     = 28800\n"
                          "warmup    = 4800\n"
                          "detector  = 0, 10560.5\n"
                          "vary 0.N  = 100..2300 by 200\n"
                          "vary 0.F  = 10, 12\n"
                          "vary 3.A  = 0.5..1 by 0.1\n"
                          "vary 1.Z  = Red,Gold\n"
                          "repeat    = 1\n"
                          "zone = on\n");
    EXPECT_EQ(e.basePath, "sub/b.csv");
    EXPECT_EQ(basePathOf(e), "sub/b.csv");
    EXPECT_EQ(e.steps, 28800);
    EXPECT_EQ(e.warmup, 4800);
    EXPECT_EQ(e.zone, 1);
    ASSERT_EQ(e.detectors.size(), 2u);
    EXPECT_EQ(e.detectors[1], "10560.5");
    ASSERT_EQ(e.varies.size(), 4u);
    EXPECT_EQ(e.varies[0].values.size(), 12u);
    EXPECT_EQ(e.varies[0].values.front(), "100");
    EXPECT_EQ(e.varies[0].values.back(), "2300");
    // Decimal steps land on the last value despite rounding, written short.
    std::vector<std::string> tenths = {"0.5", "0.6", "0.7", "0.8", "0.9", "1"};
    EXPECT_EQ(e.varies[2].values, tenths);
    EXPECT_EQ(runCount(e), 12 * 2 * 6 * 2);

    Experiment nested = parsed("base = b.csv\n");
    nested.path = "dir/exp.txt";
    EXPECT_EQ(basePathOf(nested), "dir/b.csv");
    EXPECT_EQ(nested.steps, 4800);
    EXPECT_EQ(parsed("base = b.csv\nvary 0.N = 1..2\n").varies[0].values.size(), 2u);
}

TEST(LabExperiment, RefusesBadLinesNamingThem) {
    std::string b = Base;
    EXPECT_EQ(refusal(b + "colour = 3\n"), "x.txt:3: unknown key 'colour'");
    EXPECT_EQ(refusal(b + "vary 0.J = 1, 2\n"),
              "x.txt:3: unknown column letter 'J' (known: A to I, K to N, P to R, Z, 1 to 4)");
    EXPECT_EQ(refusal(b + "vary 0.NN = 1\n").substr(0, 30), "x.txt:3: unknown column letter");
    EXPECT_EQ(refusal(b + "vary 50.N = 1\n"), "x.txt:3: group 50 is outside 0 to 49");
    EXPECT_EQ(refusal(b + "vary -1.N = 1\n"), "x.txt:3: group -1 is outside 0 to 49");
    EXPECT_EQ(refusal(b + "vary 0.N = 5..1 by 1\n"), "x.txt:3: empty range: 5..1 holds no value");
    EXPECT_EQ(refusal(b + "vary 0.N = 1..5 by 0\n"),
              "x.txt:3: the step of a range must be more than 0");
    EXPECT_EQ(refusal("base = b.csv\n\nsteps = 0\n"),
              "x.txt:3: steps needs a whole number of steps, 1 or more");
    EXPECT_EQ(refusal(b + "vary 0.N = 1,,2\n"), "x.txt:3: empty value in the list");
    EXPECT_EQ(refusal(b + "vary 0.N = many\n"), "x.txt:3: column N needs numbers, not 'many'");
    EXPECT_EQ(refusal(b + "vary 0.N = 1\nvary 0.N = 2\n"),
              "x.txt:4: column 0.N is already varied on line 3");
    EXPECT_EQ(refusal(b + "steps = 10\n"), "x.txt:3: steps is set twice");
    EXPECT_EQ(refusal(b + "just words\n"), "x.txt:3: expected KEY = VALUE");
    EXPECT_EQ(refusal(b + "detector = 21121\n"),
              "x.txt:3: a detector is a position in feet from 0 to 21120, not '21121'");
    EXPECT_EQ(refusal(b + "warmup = 100\n"),
              "x.txt:3: warmup leaves less than one measuring period (80 steps) of the 160 steps "
              "to measure");
    EXPECT_EQ(refusal(b + "edition = legacy\nzone = on\n"),
              "x.txt:4: the earlier edition has no construction zone");
    EXPECT_EQ(refusal("steps = 10\n"), "x.txt: no base = GROUPS.csv line");
}

// Whatever the file holds, the answer is a plan or a message naming a line;
// never a crash, a huge allocation or a value that would break the run's row.
TEST(LabExperiment, SurvivesHostileFiles) {
    std::string b = Base;
    const std::string lines[] = {
        "vary 0.N = 99999999999999999999..99999999999999999999",
        "vary 0.N = -1e308..1e308 by 1",
        "vary 0.N = 1..2 by 1e-300",
        "vary 0.N = nan..inf",
        "vary 0.N = 1..",
        "vary 0.N = ..",
        "vary 99999999999.N = 1",
        "vary .N = 1",
        "vary 0. = 1",
        "vary = 1",
        "= 1",
        "steps = 99999999999999999999",
        "steps = -5",
        "vary 1.Z = " + std::string(65, 'x'),
        std::string("vary 0.N = 1\0, 2", 16),
        std::string(5000, ','),
        "vary 0.N = 1..1000\nvary 1.N = 1..1001",
    };
    for (const std::string& line : lines) {
        Experiment e;
        std::string problem;
        bool ok = parseExperiment(b + line + "\n", "x.txt", e, problem, true);
        if (ok) {
            EXPECT_LE(runCount(e), 1000000) << line;
            for (const Vary& v : e.varies)
                for (const std::string& value : v.values)
                    EXPECT_LE(value.size(), 64u) << line;
        } else {
            EXPECT_TRUE(problem.compare(0, 8, "x.txt:3:") == 0 || problem.compare(0, 8, "x.txt:4:") == 0)
                << line << ": " << problem;
        }
    }
    // Past what a long holds exactly, whole numbers are written as decimals.
    Experiment e = parsed(b + "vary 0.N = 99999999999999999999..99999999999999999999\n");
    EXPECT_EQ(e.varies[0].values, (std::vector<std::string>{"1e+20"}));
    EXPECT_EQ(refusal(b + "vary 0.N = 1..1000\nvary 1.N = 1..1001\n", true),
              "x.txt:4: more than a million runs");
}

TEST(LabExperiment, RefusesMoreThanTenThousandRunsUnlessForced) {
    std::string text = std::string(Base) + "vary 0.N = 1..100\nvary 1.N = 1..100\nvary 2.N = 1, 2\n";
    EXPECT_EQ(refusal(text), "x.txt:5: more than 10000 runs; give --force to run them all");
    EXPECT_EQ(runCount(parsed(text, true)), 20000);
    EXPECT_EQ(refusal(std::string(Base) + "vary 0.N = 1..100\nvary 1.N = 1..100\nrepeat = 2\n"),
              "x.txt:5: more than 10000 runs; give --force to run them all");
}

TEST(LabExperiment, PlansTheCrossProductLastVaryFastest) {
    Experiment e = parsed(std::string(Base) + "vary 0.N = 1, 2\nvary 0.F = 10, 12, 13\nrepeat = 2\n");
    std::vector<RunPlan> runs = planRuns(e);
    ASSERT_EQ(runs.size(), 12u);
    EXPECT_EQ(runs[0].number, 1);
    EXPECT_EQ(runs[1].choice, (std::vector<int>{0, 0}));
    EXPECT_EQ(runs[1].repeat, 2);
    EXPECT_EQ(runs[2].choice, (std::vector<int>{0, 1}));
    EXPECT_EQ(runs[11].choice, (std::vector<int>{1, 2}));
    EXPECT_EQ(runs[11].number, 12);
    EXPECT_EQ(runFolderName(7, 12), "0007");
    EXPECT_EQ(runFolderName(7, 10000), "00007");
}

TEST(LabExperiment, CanonicalTextReadsBackToTheSameRuns) {
    Experiment e = parsed(std::string(Base) +
                          "warmup = 80\ndetector = 5\nvary 0.N = 100..500 by 200\nvary 2.Z = Red\n");
    std::string text = canonicalText(e, "base.csv");
    Experiment back = parsed(text);
    EXPECT_EQ(back.basePath, "base.csv");
    EXPECT_EQ(canonicalText(back, "base.csv"), text);
    EXPECT_EQ(back.varies[0].values, (std::vector<std::string>{"100", "300", "500"}));
}

// The run's values come last so the reader applies them over the base; a
// last line without a line feed is dropped as the reader drops it.
TEST(LabExperiment, RunGroupsFileAppendsTheVariedColumns) {
    Experiment e = parsed(std::string(Base) + "vary 0.N = 1, 2\nvary 3.Q = 7\nvary 0.F = 10\n");
    std::string base = "#Group,Adesired,Wnotes\r\n0,60,x\r\n1,70,y\nunterminated";
    std::string text = runGroupsText(base, e, planRuns(e)[1]);
    EXPECT_EQ(text, "#Group,Adesired,Wnotes\r\n0,60,x\r\n1,70,y\n"
                    "#Group,N,Q,F,Xnotes\n"
                    "0,2,,10,ombrane-lab run 2\n"
                    "3,,7,,ombrane-lab run 2\n");
    Experiment plain = parsed(Base);
    EXPECT_EQ(runGroupsText(base, plain, planRuns(plain)[0]),
              "#Group,Adesired,Wnotes\r\n0,60,x\r\n1,70,y\n");
    // The reader stops at a line over 1022 characters; so do the run's rows.
    std::string longLine = "#Group\n" + std::string(1023, 'x') + "\n0,1\n";
    EXPECT_EQ(runGroupsText(longLine, e, planRuns(e)[0]).find("0,1\n"), std::string::npos);
}

TEST(LabSummary, AveragesMeasuredPeriodsWeightingSpeeds) {
    Experiment e = parsed(std::string(Base) + "warmup = 80\nperiod = 40\n");
    // Periods end at 2.5, 5, 7.5 and 10 s (40 steps); the first two lie in the warm-up.
    std::string measures = "time_s,lane,cars,density_vpmpl,flow_vph,space_mean_speed_mph,"
                           "time_mean_speed_mph,stopped_cars,jams,lane_changes\n";
    const char* lanes[] = {"1", "2", "3", "4", "all"};
    for (const char* time : {"2.5", "5", "7.5", "10"})
        for (const char* lane : lanes) {
            bool late = std::string(time) == "10";
            std::string row = std::string(time) + "," + lane + ",";
            if (std::string(lane) == "4")
                row += "0,0,0,,,0,0,0";
            else if (late)
                row += "30,7.5,1440,40,50,3,1,2";
            else
                row += "10,2.5,720,60,,1,0,1";
            measures += row + "\n";
        }
    std::string groups = "time_s,group,cars,space_mean_speed_mph,stopped_cars,lane_changes,distance_mi\n"
                         "5,4,99,1,9,9,9\n"
                         "7.5,4,10,20,1,1,0.25\n"
                         "10,4,30,40,0,0,0.5\n";
    std::string laneRows, groupRows, problem;
    ASSERT_TRUE(summarizeRun(measures, groups, e, laneRows, groupRows, problem)) << problem;
    // Space-mean (60*10 + 40*30)/40 = 45; time-mean only where there were passings;
    // 3 lane changes in 5 s is 2160 per hour.
    EXPECT_EQ(laneRows, "1,20.000,5.000,1080.0,45.000,50.000,2.000,0.500,2160.0\n"
                        "2,20.000,5.000,1080.0,45.000,50.000,2.000,0.500,2160.0\n"
                        "3,20.000,5.000,1080.0,45.000,50.000,2.000,0.500,2160.0\n"
                        "4,0.000,0.000,0.0,,,0.000,0.000,0.0\n"
                        "all,20.000,5.000,1080.0,45.000,50.000,2.000,0.500,2160.0\n");
    EXPECT_EQ(groupRows, "4,20.000,35.000,0.500,720.0,0.750\n");

    EXPECT_FALSE(summarizeRun(measures.substr(0, measures.find('\n') + 1), groups, e, laneRows,
                              groupRows, problem));
    EXPECT_EQ(problem, "measures.csv holds no period after the warm-up");
    EXPECT_FALSE(summarizeRun(measures + "12.5,0,1\n", groups, e, laneRows, groupRows, problem));
    // Lanes are numbered 1 to 4: a file of the old lanes 0 to 3 is not read as them.
    std::string old = "time_s,lane\n10,0,0,0,0,,,0,0,0\n";
    EXPECT_FALSE(summarizeRun(old, groups, e, laneRows, groupRows, problem));
    EXPECT_EQ(problem, "measures.csv: unknown lane 0");
}

// With sections the table's density, flow and speed are Edie's over all the
// sections and the measured periods: vehicle-hours and vehicle-miles over
// length x time, so that flow = density x speed.
TEST(LabSummary, SectionsGiveDensityFlowAndSpeedOfTheStretches) {
    Experiment e = parsed(std::string(Base) + "warmup = 80\nperiod = 40\nsection = 0..2640, 21120..2640\n");
    ASSERT_EQ(e.sections.size(), 2u);
    EXPECT_DOUBLE_EQ(sectionLength("21120..2640"), 2640);
    EXPECT_DOUBLE_EQ(sectionLength("2640..0"), 21120 - 2640);
    EXPECT_DOUBLE_EQ(sectionLength("5..5"), 21120);
    EXPECT_EQ(sectionLength("5"), 0);
    EXPECT_EQ(sectionLength("0..21121"), 0);
    std::string sections = "time_s,section,lane,density_vpmpl,flow_vph,space_mean_speed_mph,"
                           "vehicle_miles,vehicle_hours\n";
    // One measured period of 2.5 s per section (the first lies in the warm-up),
    // each half a mile: lane 1 drove 0.05 vehicle-miles in 0.001 vehicle-hours.
    for (const char* time : {"5", "7.5"})
        for (const char* section : {"0..2640", "21120..2640"})
            for (const char* lane : {"1", "2", "3", "4", "all"}) {
                bool one = std::string(lane) == "1" || std::string(lane) == "all";
                sections += std::string(time) + "," + section + "," + lane + ",0,0,," +
                            (one ? "0.050000,0.001000" : "0.000000,0.000000") + "\n";
            }
    std::string laneRows = "1,20.000,5.000,1080.0,45.000,50.000,2.000,0.500,2160.0\n"
                           "2,0,0,0,,,0,0,0\n3,0,0,0,,,0,0,0\n4,0,0,0,,,0,0,0\n"
                           "all,5.000,1.250,270.0,45.000,50.000,2.000,0.500,2160.0\n";
    std::string problem;
    ASSERT_TRUE(useSections(sections, e, laneRows, problem)) << problem;
    // Length x time: 2 x 0.5 mi x 2.5 s = 1/1440 mi h. Density 0.002 / (1/1440)
    // = 2.88 per mile; flow 0.1 x 1440 = 144 per hour; speed 50 mph; the all row per lane.
    EXPECT_EQ(laneRows, "1,20.000,2.880,144.0,50.000,50.000,2.000,0.500,2160.0\n"
                        "2,0,0.000,0.0,,,0,0,0\n3,0,0.000,0.0,,,0,0,0\n4,0,0.000,0.0,,,0,0,0\n"
                        "all,5.000,0.720,36.0,50.000,50.000,2.000,0.500,2160.0\n");
    EXPECT_FALSE(useSections(sections + "10,0..2640,1\n", e, laneRows, problem));
    EXPECT_FALSE(useSections(sections.substr(0, sections.find('\n') + 1), e, laneRows, problem));
    EXPECT_EQ(problem, "sections.csv holds no period after the warm-up");
}

TEST(LabSummary, ResultsNameRunsByNumberAndValues) {
    Experiment e = parsed(std::string(Base) + "vary 0.N = 1, 2\nvary 1.F = 10\n");
    std::vector<std::string> lanes = {"", "0,1\nall,2\n"};
    std::vector<std::string> groups = {"", "0,1,30.000,0,0,0\n5,1,,0,0,0\n"};
    std::string results, resultsGroups;
    buildResults(e, lanes, groups, results, resultsGroups);
    EXPECT_EQ(results, std::string("run,0.N,1.F,") + LaneResultColumns +
                           ",g0_speed_mph,g5_speed_mph\n"
                           "2,2,10,0,1,,\n"
                           "2,2,10,all,2,30.000,\n");
    EXPECT_EQ(resultsGroups, std::string("run,0.N,1.F,") + GroupResultColumns +
                                 "\n2,2,10,0,1,30.000,0,0,0\n2,2,10,5,1,,0,0,0\n");
}
