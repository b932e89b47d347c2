// The words ombrane-lab writes into the scripts it hands to Slurm: each must
// reach the program as it was, whatever the folder is called.
#include "programs/lab/programs.h"
#include "programs/lab/slurm.h"

#include <gtest/gtest.h>

#include <string>

TEST(LabPrograms, QuotesAnythingABashWordCouldSplitOrExpand) {
    EXPECT_EQ(bashQuote("--array=0-3"), "--array=0-3");
    EXPECT_EQ(bashQuote("/a/b_c.sh"), "/a/b_c.sh");
    EXPECT_EQ(bashQuote(""), "''");
    EXPECT_EQ(bashQuote("a b"), "'a b'");
    EXPECT_EQ(bashQuote("$HOME `x` \\ \"q\" *"), "'$HOME `x` \\ \"q\" *'");
    EXPECT_EQ(bashQuote("it's"), "'it'\\''s'");
    EXPECT_EQ(bashQuote("'"), "\\'");
}

TEST(LabPrograms, KeepsControlCharactersOffTheScriptsLines) {
    // A newline in a folder name, left in quotes, would split a comment line
    // of a script and run the rest as a command.
    std::string q = bashQuote("a\nb\tc\x7f");
    EXPECT_EQ(q, "'a'$'\\012''b'$'\\011''c'$'\\177'");
    EXPECT_EQ(q.find('\n'), std::string::npos);
}

TEST(LabPrograms, RunsAProgramAndReadsBothItsOutputs) {
    std::string out, err;
    EXPECT_EQ(runProgram({"sh", "-c", "echo out; echo err >&2; exit 4"}, out, err), 4);
    EXPECT_EQ(out, "out\n");
    EXPECT_EQ(err, "err\n");
    // More than a pipe holds on both at once: read together, or it never ends.
    EXPECT_EQ(runProgram({"sh", "-c", "head -c 200000 /dev/zero; head -c 200000 /dev/zero >&2"}, out,
                         err),
              0);
    EXPECT_EQ(out.size(), 200000u);
    EXPECT_EQ(err.size(), 200000u);
    EXPECT_EQ(runProgram({"no-such-program-anywhere"}, out, err), 127);
    EXPECT_NE(err.find("not on PATH"), std::string::npos);
}

TEST(LabSlurm, WritesRunNumbersAsRanges) {
    EXPECT_EQ(runRanges({}), "");
    EXPECT_EQ(runRanges({7}), "7");
    EXPECT_EQ(runRanges({1, 2, 3, 5, 8, 9}), "1-3,5,8-9");
}
