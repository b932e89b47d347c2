// Average speeds and the report and title lines.
#include "world_fixture.h"

using namespace coretest;

namespace {

void sample(int g, float sum, int samples, int reported) {
    world.groups[g].speedSum = sum;
    world.groups[g].speedSamples = samples;
    world.groups[g].reportFlag = reported;
}

TEST(Statistics, LinesListReportedGroupsInOrder) {
    freshWorld();
    sample(0, 61.6f, 1, 1);
    sample(3, 48.0f, 1, 1);
    sample(5, 177.4f, 3, 0);  // counts in the overall average only
    buildReportLines(300);
    EXPECT_STREQ(world.reportLine, ", 300, 57, 62, 48\n");
    EXPECT_STREQ(world.titleLine, "57(A) 62( 0) 48( 3)");
    EXPECT_EQ(world.hasTitleLine, 1);
}

TEST(Statistics, OverallAverageIsWeightedBySamples) {
    freshWorld();
    sample(0, 30, 3, 0);
    sample(1, 50, 1, 0);
    computeAverages();
    EXPECT_EQ(world.groups[0].averageSpeed, 10.0f);
    EXPECT_EQ(world.groups[1].averageSpeed, 50.0f);
    EXPECT_EQ(world.overallAverage, 20.0f);
    EXPECT_EQ(world.groups[0].speedSamples, 0);
    EXPECT_EQ(world.groups[0].speedSum, 0.0f);
}

TEST(Statistics, PeriodWithoutSamplesGivesMinusOneAndKeepsAverages) {
    freshWorld();
    sample(0, 61.6f, 1, 1);
    buildReportLines(0);
    buildReportLines(5);
    EXPECT_EQ(world.overallAverage, -1.0f);
    EXPECT_EQ(world.groups[0].averageSpeed, 61.6f);
    EXPECT_STREQ(world.reportLine, ", 5, -1, 62\n");
    EXPECT_STREQ(world.titleLine, "-1(A) 62( 0)");
}

TEST(Statistics, NoReportedGroupLeavesTheOverallOnly) {
    freshWorld();
    sample(4, 40, 2, 0);
    buildReportLines(10);
    EXPECT_STREQ(world.reportLine, ", 10, 20\n");
    EXPECT_STREQ(world.titleLine, "20(A)");
}

TEST(Statistics, GroupNumbersAndWideSpeeds) {
    freshWorld();
    sample(7, 5, 1, 1);
    sample(12, 123.4f, 1, 1);
    sample(49, 1000, 1, 1);
    buildReportLines(12345);
    EXPECT_STREQ(world.reportLine, ", 12345, 376,  5, 123, 1000\n");
    EXPECT_STREQ(world.titleLine, "376(A)  5( 7) 123(12) 1000(49)");
}

TEST(Statistics, NeverSampledGroupShowsWhatItHas) {
    freshWorld();
    world.groups[2].reportFlag = 1;
    world.groups[2].averageSpeed = 33;
    sample(3, 10, 1, 0);
    buildReportLines(1);
    EXPECT_STREQ(world.reportLine, ", 1, 10, 33\n");
}

// Averages of any size must stay inside the two 600-byte lines.
TEST(Statistics, AbsurdSpeedsStayInsideTheLines) {
    for (float speed : {1e30f, -1e30f, 3.4e38f}) {
        SCOPED_TRACE(speed);
        freshWorld();
        for (int g = 0; g < MaxGroups; g++)
            sample(g, speed, 1, 1);
        buildReportLines(2147483647);
        EXPECT_LT(strnlen(world.reportLine, LineSize), size_t(LineSize));
        EXPECT_LT(strnlen(world.titleLine, LineSize), size_t(LineSize));
        EXPECT_EQ(world.hasTitleLine, 1);
        EXPECT_EQ(std::strncmp(world.reportLine, ", 2147483647, ", 14), 0);
    }
}

}  // namespace
