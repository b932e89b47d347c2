// Long runs through the tick: the ring, the lanes and every value must stay
// sound for tens of thousands of steps.
#include "world_fixture.h"

using namespace coretest;

namespace {

// Runs `steps` steps through the tick, `perTick` at a time, checking the
// world after every tick.
void soak(int steps, int perTick) {
    world.run.speedMultiplier = perTick;
    {
        LogCapture quiet;
        runTick();  // places the cars
        handleRunKey(ResumeKey);
    }
    ASSERT_GT(world.carTotal, 0);
    for (int done = 0; done < steps; done += perTick) {
        runTick();
        ASSERT_TRUE(ringConsistent()) << "after step " << world.run.stepCount;
        ASSERT_TRUE(carsSane()) << "after step " << world.run.stepCount;
    }
    EXPECT_EQ(world.run.stepCount, steps);
    EXPECT_EQ(world.run.running, 1);
}

TEST(Soak, DefaultGroups) {
    freshWorld();
    loadDefaultGroups();
    soak(50000, 100);
    int changed = 0;
    for (int c = 0; c < world.carTotal; c++)
        changed += world.cars[c].lastChange != 0;
    EXPECT_GT(changed, 0);  // the run did exercise lane changes
}

TEST(Soak, DefaultGroupsEarlierEdition) {
    EarlierEdition earlier;
    loadDefaultGroups();
    soak(20000, 1);
}

TEST(Soak, DenseRoadInEveryLane) {
    freshWorld();
    for (int g = 0; g < 5; g++) {
        Group& group = calmGroup(g, float(20 + 10 * g), float(5 + 5 * g), float(18 * (g + 1)));
        preferLane(group, (g + 1) % 4);
        group.leftPolicy = Always + g % 3;
        group.rightPolicy = g == 4 ? EuCarBehind : Always + (g + 1) % 3;
        group.startDelay = 4 * g;
        for (int lane = 0; lane < 4; lane++)
            group.laneCount[lane] = 117 + (g == 0);
    }
    world.run.constructionZone = 1;
    soak(longRun(50000), 100);
    EXPECT_EQ(world.carTotal, 2344);
}

}  // namespace
