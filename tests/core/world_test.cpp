// World defaults, unit conversions, policy names and the default groups of
// both editions.
#include "world_fixture.h"

#include <cstdint>

using namespace coretest;

namespace {

// A copy of the world, static because the record is large.
SimWorld before;

TEST(WorldDefaults, TouchesNothingButItsOwnFields) {
    // Fill every byte with a pattern; afterwards only the listed fields may
    // differ from it.
    std::memset(static_cast<void*>(&world), 0x5A, sizeof world);
    world.edition = &CurrentEdition;
    std::memcpy(static_cast<void*>(&before), &world, sizeof world);

    resetDefaults();

    EXPECT_STREQ(world.title, "Ombrane 0.8");
    std::memcpy(before.title, world.title, sizeof before.title);
    before.roadLength = 21120;
    before.rowLength = 1320;
    before.laneWidth = 12;
    before.reportToFile = 0;
    before.newGroupsPending = 0;
    before.rowCount = 16;
    before.carLength = 18;
    before.stepsPerSecond = 16;
    before.reportPeriod = 80;
    before.carWidth = 6;
    before.run.restartRequested = 0;
    before.placementSpacing = 36;
    before.viewWidth = 1320;
    before.viewHeight = 768;
    EXPECT_EQ(std::memcmp(&before, &world, sizeof world), 0);
    EXPECT_EQ(world.run.constructionZone, 0x5A5A5A5A);
    EXPECT_EQ(world.carTotal, 0x5A5A5A5A);

    freshWorld();
}

TEST(WorldDefaults, ConvertsUnits) {
    freshWorld();
    EXPECT_EQ(mphToFeetPerStep(60), 5.5f);
    EXPECT_EQ(mphToFeetPerStep(0), 0.0f);
    EXPECT_EQ(accelerationToMphPerStep(10), float(10.0 / 5280.0 * 3600.0 / 16.0));
    EXPECT_NEAR(accelerationToMphPerStep(10), 0.42614, 1e-5);
}

// The conversions multiply by reciprocals for speed; the floats must be those
// that dividing gives, or every run would drift from the recorded ones.
TEST(WorldDefaults, ConversionsGiveTheFloatsOfTheDivision) {
    freshWorld();
    int differ = 0;
    for (uint64_t bits = 0; bits < 0x7F800000u; bits += 4093) {
        for (uint32_t sign : {0u, 0x80000000u}) {
            uint32_t pattern = uint32_t(bits) | sign;
            float value;
            std::memcpy(&value, &pattern, sizeof value);
            float feet = float(double(value) / 3600.0 / 16 * 5280.0);
            float mph = float(double(value) / 5280.0 * 3600.0 / 16);
            float gotFeet = mphToFeetPerStep(value), gotMph = accelerationToMphPerStep(value);
            differ += std::memcmp(&feet, &gotFeet, sizeof feet) != 0;
            differ += std::memcmp(&mph, &gotMph, sizeof mph) != 0;
        }
    }
    EXPECT_EQ(differ, 0);
}

TEST(WorldDefaults, NamesPolicies) {
    EXPECT_STREQ(lanePolicyName(10), "Never");
    EXPECT_STREQ(lanePolicyName(11), "Always");
    EXPECT_STREQ(lanePolicyName(12), "F-Dist");
    EXPECT_STREQ(lanePolicyName(13), "F-Dist & 200ft");
    EXPECT_STREQ(lanePolicyName(14), "EU: Car behind");
    EXPECT_STREQ(lanePolicyName(15), "Crazily!");
    EXPECT_STREQ(lanePolicyName(9), "Dunno");
    EXPECT_STREQ(lanePolicyName(16), "Dunno");
    EXPECT_STREQ(lanePolicyName(-1), "Dunno");
}

TEST(WorldDefaults, EarlierEditionHasItsOwnVersionAndZoneSwitch) {
    EarlierEdition earlier;
    EXPECT_STREQ(world.title, "Ombrane 0.7");
    EXPECT_EQ(world.roadLength, 21120.0f);
    EXPECT_EQ(world.edition->hasConstructionZone, 0);
}

TEST(DefaultGroups, FollowTheirFormulas) {
    freshWorld();
    world.groups[7].laneCount[2] = 4;
    ASSERT_EQ(loadDefaultGroups(), 50);
    for (int i = 0; i < MaxGroups; i++) {
        SCOPED_TRACE(i);
        const Group& g = world.groups[i];
        EXPECT_EQ(g.colour, ColourTable[10 + i].value);
        EXPECT_EQ(g.desiredSpeed, float(20 + 10 * (i % 5)));
        EXPECT_EQ(g.acceleration, float(10 * (i + 1)));
        EXPECT_EQ(g.followDistance, float(20 * (i + 1)));
        EXPECT_EQ(g.startDelay, (i % 3) * 16);
        EXPECT_EQ(g.preferredLane, (i + 2) % 5);
        EXPECT_EQ(g.hasPreferredLane, (i + 2) % 5 < 4 ? 1 : 0);
        EXPECT_EQ(g.leftPolicy, 10 + i % 6);
        EXPECT_EQ(g.rightPolicy, 10 + i % 6);
        float limit = float((2 + i % 3) * 18);
        EXPECT_EQ(g.leftAhead, limit);
        EXPECT_EQ(g.leftBehind, limit);
        EXPECT_EQ(g.rightAhead, limit);
        EXPECT_EQ(g.rightBehind, limit);
        EXPECT_EQ(g.aheadZone, 270.0f);
        EXPECT_EQ(g.behindZone, 18.0f);
        EXPECT_EQ(g.laneChangeTime, 3.0f);
        EXPECT_EQ(g.carCount, 1);
        EXPECT_EQ(g.reportFlag, 0);
        EXPECT_EQ(g.speedSamples, 0);
        EXPECT_EQ(g.speedSum, 0.0f);
        EXPECT_EQ(g.averageSpeed, 0.0f);
    }
    // Lane counts are left for a restart after a groups file to place.
    EXPECT_EQ(world.groups[7].laneCount[2], 4);
    EXPECT_STREQ(ColourTable[10].name, "BlueViolet");
    EXPECT_STREQ(ColourTable[12].name, "BurlyWood");
}

TEST(DefaultGroups, EarlierEditionUsesShorterPolicyCycles) {
    EarlierEdition earlier;
    loadDefaultGroups();
    for (int i = 0; i < MaxGroups; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(world.groups[i].leftPolicy, 10 + i % 4);
        EXPECT_EQ(world.groups[i].rightPolicy, 10 + i % 3);
        EXPECT_EQ(world.groups[i].desiredSpeed, float(20 + 10 * (i % 5)));
    }
}

TEST(DefaultGroups, CarsToPlaceCountsNegativesToo) {
    freshWorld();
    world.groups[0].carCount = 3;
    world.groups[4].laneCount[1] = -5;
    world.groups[49].laneCount[3] = 1;
    EXPECT_EQ(carsToPlace(), -1);
}

}  // namespace

namespace {

// The whole model is one plain record: what a run does after a copy of it is
// assigned back must be what it did the first time, byte for byte.
TEST(WorldCopy, AssigningACopyBackReplaysTheRunExactly) {
    freshWorld();
    loadDefaultGroups();
    for (int g = 0; g < 8; g++)
        world.groups[g].carCount = 120;  // busy enough for lane changes
    world.run.running = 1;
    for (int i = 0; i < 400; i++)
        runTick();

    static SimWorld saved;
    saved = world;
    static SimWorld first;
    for (int i = 0; i < 300; i++)
        runTick();
    first = world;

    world = saved;
    for (int i = 0; i < 300; i++)
        runTick();
    EXPECT_EQ(world.run.stepCount, first.run.stepCount);
    EXPECT_EQ(world.carTotal, first.carTotal);
    EXPECT_EQ(std::memcmp(world.cars, first.cars, sizeof world.cars), 0);
    EXPECT_EQ(std::memcmp(world.groups, first.groups, sizeof world.groups), 0);
    EXPECT_EQ(std::memcmp(&world.order, &first.order, sizeof world.order), 0);
    EXPECT_EQ(std::memcmp(&world.laneIndex, &first.laneIndex, sizeof world.laneIndex), 0);
    EXPECT_STREQ(world.reportLine, first.reportLine);
    EXPECT_GT(world.reorderSwaps, saved.reorderSwaps);
    freshWorld();
}

}  // namespace
