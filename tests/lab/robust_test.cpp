// Regressions from a hostile-user probe of ombrane-lab, by surface: the
// experiment reader, the checks collect makes of each run's result, and the
// quoting of the commands jobs prints. Each names what broke.
#include "core/world.h"
#include "files/measure_files.h"
#include "programs/lab/experiment.h"
#include "programs/lab/runs.h"
#include "programs/lab/shell_quote.h"
#include "programs/lab/summary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool parses(const std::string& text, Experiment& e, std::string& problem) {
    return parseExperiment(text, "x.txt", e, problem, false);
}

std::string refusal(const std::string& text) {
    Experiment e;
    std::string problem;
    EXPECT_FALSE(parses(text, e, problem)) << text;
    return problem;
}

std::string valuesOf(const Experiment& e, const RunPlan& run) {
    std::string out;
    for (std::size_t k = 0; k < e.varies.size(); k++)
        out += (k ? " " : "") + e.varies[k].values[std::size_t(run.choice[k])];
    return out;
}

}  // namespace

// A BOM gave "unknown key 'base'"; a CR-only file glued every line to the base's path.
TEST(LabExperimentReader, TakesByteOrderMarksAndEveryLineEnd) {
    for (const char* ending : {"\n", "\r\n", "\r"}) {
        std::string e1 = std::string("\xEF\xBB\xBF") + "base = b.csv" + ending + "steps = 480" + ending +
                         "vary 1.N = 1, 2" + ending;
        Experiment e;
        std::string problem;
        ASSERT_TRUE(parses(e1, e, problem)) << problem;
        EXPECT_EQ(e.basePath, "b.csv");
        EXPECT_EQ(e.steps, 480);
        EXPECT_EQ(runCount(e), 2);
    }
    EXPECT_EQ(refusal("base = b.csv\rsteps = x\r"), "x.txt:2: steps needs a whole number of steps, 1 or more");
}

// steps 28800, warmup 27300, period 1500 ran every run in full, then failed them all.
TEST(LabExperimentReader, RefusesAWarmUpLeavingNoWholeAlignedPeriod) {
    EXPECT_EQ(refusal("base = b.csv\nsteps = 28800\nwarmup = 27300\nperiod = 1500\n"),
              "x.txt:3: no whole measuring period after the warm-up: periods start at multiples of "
              "1500 steps, so the first one measured would run from step 28500 to 30000, past the "
              "28800 steps");
    Experiment e;
    std::string problem;
    EXPECT_TRUE(parses("base = b.csv\nsteps = 28800\nwarmup = 27000\nperiod = 1500\n", e, problem));
    EXPECT_TRUE(parses("base = b.csv\nsteps = 30000\nwarmup = 27300\nperiod = 1500\n", e, problem));
    // Without a warmup line the message names the steps.
    EXPECT_EQ(refusal("base = b.csv\nperiod = 90\nsteps = 50\n").substr(0, 8), "x.txt:3:");
}

// Long varied values made a row the groups reader stops at: the run used the base's values.
TEST(LabExperimentReader, RefusesValuesMakingARowTheGroupsReaderCannotTake) {
    std::string text = "base = b.csv\n";
    std::string v(64, '9');
    for (const char* column : {"A", "B", "C", "D", "E", "F", "G", "H", "I", "K", "L", "M", "N", "P", "Q", "R"})
        text += std::string("vary 3.") + column + " = " + v + "\n";
    std::string problem = refusal(text);
    EXPECT_NE(problem.find("x.txt:17: the values varied for group 3 make a row of 1059 characters"),
              std::string::npos)
        << problem;
    // The same values spread over groups fit.
    std::string spread = "base = b.csv\n";
    for (int g = 0; g < 16; g++)
        spread += "vary " + std::to_string(g) + ".A = " + v + "\n";
    Experiment e;
    EXPECT_TRUE(parses(spread, e, problem)) << problem;
    for (const RunPlan& run : planRuns(e)) {
        std::string groups = runGroupsText("", e, run);
        for (std::size_t at = 0, feed; (feed = groups.find('\n', at)) != std::string::npos; at = feed + 1)
            EXPECT_LE(feed - at, 1022u);
    }
}

TEST(LabExperimentReader, VariesColumnsTogetherInStep) {
    Experiment e;
    std::string problem;
    ASSERT_TRUE(parses("base = b.csv\nvary 0.A = 50, 60\nvary 1.N = 100, 200, 300\n"
                       "vary 2.N = 300, 200, 100 together\nvary 2.L = 1,2,3 together # in step too\n",
                       e, problem))
        << problem;
    ASSERT_EQ(runCount(e), 6);
    std::vector<RunPlan> plans = planRuns(e);
    EXPECT_EQ(valuesOf(e, plans[0]), "50 100 300 1");
    EXPECT_EQ(valuesOf(e, plans[2]), "50 300 100 3");
    EXPECT_EQ(valuesOf(e, plans[4]), "60 200 200 2");
    for (const RunPlan& run : plans) {
        RunPlan alone = planOf(e, run.number);
        EXPECT_EQ(alone.choice, run.choice);
    }
    // What the folder keeps reads back to the same runs.
    std::string canonical = canonicalText(e, "base.csv");
    EXPECT_NE(canonical.find("vary 2.N = 300, 200, 100 together\n"), std::string::npos);
    Experiment again;
    ASSERT_TRUE(parses(canonical, again, problem)) << problem;
    EXPECT_EQ(canonicalText(again, "base.csv"), canonical);

    EXPECT_EQ(refusal("base = b.csv\nvary 1.N = 1, 2 together\n"),
              "x.txt:2: together changes a vary in step with the vary line before it, and there is none");
    EXPECT_EQ(refusal("base = b.csv\nvary 1.N = 1, 2\nvary 2.N = 1, 2, 3 together\n"),
              "x.txt:3: vary 2.N has 3 values but changes together with vary 1.N (line 2), which has 2");
    // Found by fuzzing: a long range was written out value by value before it was refused.
    EXPECT_EQ(refusal("base = b.csv\nvary 1.N = 1, 2\nvary 2.N = 1..1000000 together\n"),
              "x.txt:3: vary 2.N has more values than the 2 of vary 1.N (line 2), with which it "
              "changes together");
    EXPECT_EQ(refusal("base = b.csv\nvary 1.N = 1, 2\nvary 2.N = 2..602640\n"),
              "x.txt:3: more than 10000 runs; give --force to run them all");
    // As a value it would read back as the keyword.
    EXPECT_EQ(refusal("base = b.csv\nvary 1.Z = red,together\n"),
              "x.txt:2: together ends a vary line; it cannot be a value");
}

// A run is known by its inputs: adding a value must not change the others' keys.
TEST(LabExperimentReader, RunKeysFollowTheInputsNotTheNumbers) {
    Experiment small, large;
    std::string problem;
    ASSERT_TRUE(parses("base = b.csv\nvary 1.N = 10, 30\nvary 1.I = 1, 2\n", small, problem));
    ASSERT_TRUE(parses("base = b.csv\nvary 1.N = 10, 20, 30\nvary 1.I = 1, 2\n", large, problem));
    small.baseChecksum = large.baseChecksum = checksumOf("#Group,N\n1,5\n");
    // Run 3 (30, 1) of the small one is run 5 of the large one.
    EXPECT_EQ(runKey(small, planOf(small, 3)), runKey(large, planOf(large, 5)));
    EXPECT_NE(runKey(small, planOf(small, 3)), runKey(large, planOf(large, 3)));
    Experiment other = large;
    other.baseChecksum = checksumOf("#Group,N\n1,6\n");
    EXPECT_NE(runKey(other, planOf(other, 5)), runKey(large, planOf(large, 5)));
    other = large;
    other.warmup = 16;
    EXPECT_NE(runKey(other, planOf(other, 5)), runKey(large, planOf(large, 5)));
}

// base = /dev/zero read until memory ran out; a FIFO hung.
TEST(LabExperimentReader, ReadsOnlyRegularFilesOfBoundedSize) {
    std::string text, problem;
    EXPECT_FALSE(readInputFile("/dev/zero", MostBaseBytes, text, problem));
    EXPECT_EQ(problem, "/dev/zero: cannot read it: not a regular file");
    EXPECT_FALSE(readInputFile("/tmp", MostBaseBytes, text, problem));
    std::string fifo = testing::TempDir() + "ombrane-lab-fifo-" + std::to_string(::getpid());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readInputFile(fifo, MostBaseBytes, text, problem));
    EXPECT_EQ(problem, fifo + ": cannot read it: not a regular file");
    ::unlink(fifo.c_str());

    std::string big = testing::TempDir() + "ombrane-lab-big-" + std::to_string(::getpid());
    {
        std::ofstream out(big, std::ios::binary);
        out << std::string(1 << 20, '#') << "\n";
    }
    EXPECT_FALSE(readInputFile(big, MostExperimentBytes, text, problem));
    EXPECT_EQ(problem, big + ": cannot read it: larger than 1 MB");
    EXPECT_TRUE(readInputFile(big, MostBaseBytes, text, problem));
    EXPECT_EQ(text.size(), (1u << 20) + 1);
    ::unlink(big.c_str());
}

// An empty result.csv counted as finished and its run vanished; garbage became a row.
TEST(LabCollect, ChecksEachRunsResultFiles) {
    std::string lanes = std::string(LaneResultColumns) + "\n";
    for (const char* lane : {"0", "1", "2", "3", "all"})
        lanes += std::string(lane) + ",10.000,5.000,900.0,55.000,56.000,0.000,0.000,12.0\n";
    std::string groups = std::string(GroupResultColumns) + "\n1,10.000,55.000,0.000,12.0,3.000\n";
    std::string problem;
    EXPECT_TRUE(checkRunResult(lanes, groups, problem)) << problem;
    EXPECT_TRUE(checkRunResult(lanes, std::string(GroupResultColumns) + "\n", problem));

    auto refused = [&](const std::string& l, const std::string& g) {
        std::string why;
        EXPECT_FALSE(checkRunResult(l, g, why));
        return why;
    };
    EXPECT_EQ(refused("", groups), "result.csv is empty");
    EXPECT_EQ(refused("garbage\n", groups).substr(0, 23), "result.csv: its header ");
    EXPECT_EQ(refused(lanes.substr(0, lanes.size() - 1), groups), "result.csv: its last line is cut short");
    std::string narrow = lanes;
    narrow.replace(narrow.find("\n0,") + 3, 7, "");
    EXPECT_EQ(refused(narrow, groups), "result.csv: line 2 has 8 fields, not 9");
    std::string text = lanes;
    text.replace(text.find("900.0"), 5, "lots!");
    EXPECT_EQ(refused(text, groups), "result.csv: line 2: 'lots!' is not a number");
    EXPECT_EQ(refused(lanes.substr(0, lanes.rfind("all,")), groups), "result.csv: 4 rows, not 5");
    EXPECT_EQ(refused(lanes, std::string(GroupResultColumns) + "\n50,1,1,1,1,1\n"),
              "result-groups.csv: line 2: '50' is not a group");
    EXPECT_EQ(refused(lanes, ""), "result-groups.csv is empty");
}

// results.csv.tmp was left behind when the write failed (a full disk).
TEST(LabCollect, LeavesNoTemporaryFileWhenAWriteFails) {
    std::string dir = testing::TempDir() + "ombrane-lab-atomic-" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    // A folder in the way: the rename at the end fails.
    ASSERT_EQ(::mkdir((dir + "/results.csv").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir + "/results.csv/inside").c_str(), 0700), 0);
    EXPECT_FALSE(writeFileAtomic(dir + "/results.csv", "run,lane\n"));
    struct stat about;
    EXPECT_NE(::stat((dir + "/results.csv.tmp").c_str(), &about), 0);
    if (::access("/dev/full", W_OK) == 0) {
        ASSERT_EQ(::symlink("/dev/full", (dir + "/full.csv.tmp").c_str()), 0);
        EXPECT_FALSE(writeFileAtomic(dir + "/full.csv", std::string(100000, 'x')));
        EXPECT_NE(::lstat((dir + "/full.csv.tmp").c_str(), &about), 0);
    }
    ::rmdir((dir + "/results.csv/inside").c_str());
    ::rmdir((dir + "/results.csv").c_str());
    ::rmdir(dir.c_str());
}

// --out $'inj\ntouch PWNED #' split a printed command over two lines.
TEST(LabJobsQuoting, RefusesEveryControlCharacterAndQuotesTheRest) {
    for (int c = 1; c < 0x20; c++)
        EXPECT_EQ(controlCharacterIn(std::string("a") + char(c) + "b"), char(c)) << c;
    EXPECT_EQ(controlCharacterIn("a\x7f"), '\x7f');
    EXPECT_EQ(controlCharacterIn("plain/path with 'quotes' \"and\" $x `y` \\z \xC3\xA9\xE2\x82\xAC"), 0);

    // The POSIX shell reads each quoted word back as it was.
    const std::string words[] = {
        "plain", "with space", "tab-less 'single' quotes", "\"double\"", "$HOME and ${x}",
        "`touch PWNED`", "$(touch PWNED)", "back\\slash\\", "semi;colon & amp | pipe > out",
        "#hash", "*glob?[x]", "~tilde", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x97", "'", "''",
        "",
    };
    std::string script = testing::TempDir() + "ombrane-lab-quote-" + std::to_string(::getpid());
    for (const std::string& word : words) {
        std::string quoted = shellQuote(word);
        EXPECT_EQ(quoted.find('\n'), std::string::npos);
        {
            std::ofstream out(script, std::ios::binary);
            out << "printf '%s|' " << quoted << "\n";
        }
        std::string command = "cd " + testing::TempDir() + " && sh " + script;
        std::FILE* shell = ::popen(command.c_str(), "r");
        ASSERT_NE(shell, nullptr);
        std::string output;
        char buffer[256];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, shell))
            output.append(buffer, n);
        EXPECT_EQ(::pclose(shell), 0) << word;
        EXPECT_EQ(output, word + "|");
    }
    ::unlink(script.c_str());
    struct stat about;
    EXPECT_NE(::stat((testing::TempDir() + "PWNED").c_str(), &about), 0);
}

// time_s labels stopped being unique beyond about 1.6e9 steps (ten digits).
TEST(BatchOutputs, TimeLabelsAreExactForEveryStep) {
    auto seconds = [](int step) {
        char text[32];
        formatSeconds(text, sizeof text, step);
        return std::string(text);
    };
    int kept = world.stepsPerSecond;
    world.stepsPerSecond = 16;
    EXPECT_EQ(seconds(4800), "300");
    EXPECT_EQ(seconds(1), "0.0625");
    EXPECT_EQ(seconds(15999999), "999999.9375");
    EXPECT_EQ(seconds(1600000001), "100000000.0625");
    EXPECT_EQ(seconds(2147483647), "134217727.9375");
    EXPECT_NE(seconds(2147483646), seconds(2147483647));
    world.stepsPerSecond = kept;
}
