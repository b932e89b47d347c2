// The step's precomputed group values: the quotient by reciprocal, the
// rounded-up zone bounds, and the lane-change decision that rules most cars
// out at once. Each must give exactly what the plain arithmetic and the
// policy tests taken one by one give, or a run would drift from the recorded
// ones.
#include "core/group_rules.h"
#include "world_fixture.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

using namespace coretest;

namespace {

float bitsToFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

void expectSameFloat(float got, float want, double x, float divisor) {
    EXPECT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(want))
        << "x " << x << " divisor " << divisor << ": " << got << " against " << want;
}

void checkQuotient(double x, float divisor) {
    float want = float(x / divisor);
    float got = quotientToFloat(x, divisor, reciprocalOf(divisor));
    if (std::isnan(want))
        EXPECT_TRUE(std::isnan(got)) << "x " << x << " divisor " << divisor;
    else
        expectSameFloat(got, want, x, divisor);
}

TEST(QuotientToFloat, MatchesTheDivisionOnProductsOfFloats) {
    // The step's quotients are float times float over float: a desired gap
    // (follow distance times speed over desired speed) and a held-up speed.
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> feet(0, 25000), mph(0, 120), small(1e-3f, 10);
    for (int k = 0; k < 2000000; k++) {
        float a = k % 3 == 0 ? feet(random) : mph(random);
        float b = k % 5 == 0 ? small(random) : mph(random);
        float divisor = k % 2 ? mph(random) + 1e-3f : small(random);
        checkQuotient(double(a) * b, divisor);
    }
}

TEST(QuotientToFloat, MatchesTheDivisionOnAnyBitPatterns) {
    std::mt19937 random(7);
    for (int k = 0; k < 2000000; k++) {
        float a = bitsToFloat(uint32_t(random()));
        float b = bitsToFloat(uint32_t(random()));
        float divisor = bitsToFloat(uint32_t(random()));
        checkQuotient(double(a) * b, divisor);
    }
}

TEST(QuotientToFloat, HalfwayBetweenTwoFloatsTakesTheDivision) {
    // Quotients that land on or a few units beside a point halfway between
    // two floats, where the product by a reciprocal may round the other way:
    // x is built as divisor times that point, so the exact quotient is there.
    std::mt19937 random(11);
    int nearHalfway = 0;
    for (int k = 0; k < 200000; k++) {
        float divisor = float(1 + random() % 1000) / 8;
        uint32_t low = uint32_t(random()) & 0x7FFFFF;
        double halfway = (1.0 + (low + 0.5) / 8388608.0) * std::ldexp(1.0, int(random() % 40) - 10);
        double x = halfway * divisor;
        for (double step : {-2.0, -1.0, 0.0, 1.0, 2.0}) {
            double nudged = std::nextafter(x, x + step);
            if (step == 0)
                nudged = x;
            checkQuotient(nudged, divisor);
        }
        double product = x * reciprocalOf(divisor);
        uint64_t dropped = std::bit_cast<uint64_t>(product) & ((uint64_t(1) << 29) - 1);
        nearHalfway += dropped > (uint64_t(1) << 28) - 8 && dropped < (uint64_t(1) << 28) + 8;
    }
    EXPECT_GT(nearHalfway, 1000) << "the cases must reach the division";
}

TEST(QuotientToFloat, EdgeValues) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float denormal = std::numeric_limits<float>::denorm_min();
    const float big = std::numeric_limits<float>::max();
    for (float divisor : {0.0f, -0.0f, inf, -inf, nan, denormal, -denormal, big, -big, 1.0f, -3.0f,
                          1e-30f, 7e30f}) {
        for (double x : {0.0, -0.0, 1.0, -1.0, 1e-90, 1e76, -5e-45, double(big) * big, 3.0 * 60,
                         double(inf), double(nan)})
            checkQuotient(x, divisor);
    }
    // Quotients beside the edges of the normal float range.
    for (int e : {-150, -149, -127, -126, -125, 126, 127, 128}) {
        for (double m : {1.0, 1.5, 1.9999999}) {
            checkQuotient(std::ldexp(m, e) * 3, 3.0f);
            checkQuotient(std::ldexp(m, e) * 0.1f, 0.1f);
        }
    }
}

TEST(QuotientToFloat, UnusableDivisorsHaveNoReciprocal) {
    EXPECT_TRUE(std::isnan(reciprocalOf(0.0f)));
    EXPECT_TRUE(std::isnan(reciprocalOf(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isnan(reciprocalOf(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(reciprocalOf(4.0f), 0.25);
}

TEST(FloatNotBelow, AFloatIsBelowItExactlyWhenBelowTheDouble) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-100, 100);
    for (int k = 0; k < 100000; k++) {
        double bound = value(random);
        float rounded = floatNotBelow(bound);
        EXPECT_GE(double(rounded), bound);
        float below = std::nextafter(rounded, -std::numeric_limits<float>::infinity());
        EXPECT_LT(double(below), bound);
        for (float x : {rounded, below, float(bound), std::nextafter(rounded, 1000.0f)})
            ASSERT_EQ(x < rounded, double(x) < bound) << "x " << x << " bound " << bound;
    }
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(floatNotBelow(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(floatNotBelow(-1e300), -std::numeric_limits<float>::max());
    EXPECT_EQ(floatNotBelow(inf), std::numeric_limits<float>::infinity());
    EXPECT_EQ(floatNotBelow(-inf), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(floatNotBelow(std::numeric_limits<double>::quiet_NaN())));
}

// ------------------------------------------------------- lane-change decision

// The decision as the policies read, each test in turn: what the quick one
// must agree with.
int referenceDecision(const Car& c, const Group& g, const GapView& v, float wanted) {
    auto gap = [](float distance) { return distance - world.carLength; };
    auto clear = [&](float d) { return gap(d) >= float(200 - world.carLength); };
    auto gapTest = [&](float ad, float as, float bd, float bs, float al, float bl) {
        float bg = gap(bd), ag = gap(ad);
        if (bg < bl || (bg < double(bl) + g.behindZone && c.speed < bs))
            return false;
        return !(ag < al || (ag < double(al) + g.aheadZone && c.speed > as));
    };
    bool follow = gap(v.aheadDistance) <= wanted;
    if (g.hasPreferredLane == 1 && c.lane < g.preferredLane && c.lane != 3 &&
        g.leftPolicy >= Always && g.leftPolicy <= Crazily) {
        bool left = gapTest(v.leftAheadDistance, v.leftAheadSpeed, v.leftBehindDistance,
                            v.leftBehindSpeed, g.leftAhead, g.leftBehind);
        switch (g.leftPolicy) {
        case Crazily:
            if (c.lane == 0)
                return 2;
            return double(v.rightAheadDistance) + v.rightBehindDistance <
                           double(v.leftAheadDistance) + v.leftBehindDistance
                       ? 2
                       : 1;
        case FDist200:
            if (clear(v.leftAheadDistance) && follow && left)
                return 2;
            break;
        case FDist:
            if (follow && left)
                return 2;
            break;
        case Always:
            if (left)
                return 2;
            break;
        }
    }
    if (c.lane == 0)
        return 0;
    bool right = gapTest(v.rightAheadDistance, v.rightAheadSpeed, v.rightBehindDistance,
                         v.rightBehindSpeed, g.rightAhead, g.rightBehind);
    switch (g.rightPolicy) {
    case EuCarBehind: return gap(v.euBehindDistance) <= wanted && right ? 1 : 0;
    case FDist200: return clear(v.rightAheadDistance) && follow && right ? 1 : 0;
    case FDist: return follow && right ? 1 : 0;
    case Always: return right ? 1 : 0;
    default: return 0;
    }
}

// A lone car of group 0 with random policies, limits, lane and speed, and a
// random view round it; the desired gap is returned.
struct RandomCases {
    std::mt19937 random{42};
    std::uniform_real_distribution<float> distance{0, 400}, speed{0, 90}, limit{-10, 60};
    std::uniform_int_distribution<int> policy{9, 16}, lane{-1, 4}, preferred{-1, 5};

    float make(int k, GapView& v) {
        freshWorld();
        Group& g = world.groups[0];
        g.leftPolicy = policy(random);
        g.rightPolicy = policy(random);
        g.hasPreferredLane = k % 7 != 0;
        g.preferredLane = preferred(random);
        g.leftAhead = limit(random);
        g.leftBehind = limit(random);
        g.rightAhead = limit(random);
        g.rightBehind = limit(random);
        g.aheadZone = limit(random);
        g.behindZone = limit(random);
        Car& c = world.cars[0];
        c = Car{};
        c.lane = lane(random);
        c.speed = speed(random);
        world.carTotal = 1;
        v = emptyView(0);
        for (float* d : {&v.aheadDistance, &v.euBehindDistance, &v.leftAheadDistance,
                         &v.leftBehindDistance, &v.rightAheadDistance, &v.rightBehindDistance})
            *d = k % 11 == 0 ? NoCarDistance : distance(random);
        for (float* s : {&v.leftAheadSpeed, &v.leftBehindSpeed, &v.rightAheadSpeed,
                         &v.rightBehindSpeed})
            *s = speed(random);
        return distance(random) / 4;
    }
};

TEST(QuickLaneDecision, AgreesWithThePolicyTestsTakenInTurn) {
    RandomCases cases;
    int changes = 0;
    for (int k = 0; k < 200000; k++) {
        GapView v;
        float wanted = cases.make(k, v);
        const Group& g = world.groups[0];
        Car& c = world.cars[0];
        int want = referenceDecision(c, g, v, wanted);
        decideLaneChange(0, v, wanted);
        ASSERT_EQ(c.change, want) << "case " << k << " policies " << g.leftPolicy << "/"
                                  << g.rightPolicy << " lane " << c.lane;
        changes += want != 0;
    }
    EXPECT_GT(changes, 10000) << "the cases must reach every kind of change";
}

// The step searches only the sides whose gaps its rules say it reads: cars
// anywhere on the other sides must not change a decision. A side left out
// that a policy reads (the right side of a crazy move to the left, say)
// fails here.
TEST(QuickLaneDecision, SidesTheStepDoesNotSearchDoNotMatter) {
    RandomCases cases;
    int skipped = 0, changes = 0;
    for (int k = 0; k < 200000; k++) {
        GapView v;
        float wanted = cases.make(k, v);
        Car& c = world.cars[0];
        if (unsigned(c.lane) >= LaneTotal)
            continue;  // the step's search gives such a car every side
        const unsigned sides = rulesOf(world.groups[0]).sidesRead[0][c.lane];
        ASSERT_EQ(sides & ~3u, 0u);
        ASSERT_FALSE(c.lane == 3 && (sides & 1)) << "a left side beyond the road";
        ASSERT_FALSE(c.lane == 0 && (sides & 2)) << "a right side beyond the road";
        decideLaneChange(0, v, wanted);
        const int want = c.change;
        GapView other = v;
        if (!(sides & 1))
            for (float* f : {&other.leftAheadDistance, &other.leftBehindDistance,
                             &other.leftAheadSpeed, &other.leftBehindSpeed})
                *f = cases.distance(cases.random) - 10;
        if (!(sides & 2))
            for (float* f : {&other.rightAheadDistance, &other.rightBehindDistance,
                             &other.rightAheadSpeed, &other.rightBehindSpeed})
                *f = cases.distance(cases.random) - 10;
        c.change = 0;
        decideLaneChange(0, other, wanted);
        ASSERT_EQ(c.change, want) << "case " << k << " policies " << world.groups[0].leftPolicy
                                  << "/" << world.groups[0].rightPolicy << " lane " << c.lane;
        skipped += sides != unsigned(c.lane < 3) + 2 * unsigned(c.lane > 0);
        changes += want != 0;
    }
    EXPECT_GT(skipped, 30000) << "the cases must leave sides out";
    EXPECT_GT(changes, 10000);
}

// A car changing lanes keeps its distance to the nearer car ahead of both
// lanes, so it must search the lane it moves to, whatever its policies.
TEST(QuickLaneDecision, ACarChangingLanesSearchesTheLaneItMovesTo) {
    for (int policy = 9; policy <= 16; policy++) {
        Group g{};
        g.leftPolicy = g.rightPolicy = policy;
        const GroupRules r = rulesOf(g);
        for (int lane = 0; lane < LaneTotal; lane++) {
            EXPECT_EQ(r.sidesRead[2][lane] & 1, unsigned(lane < 3)) << policy << " lane " << lane;
            EXPECT_EQ(r.sidesRead[1][lane] & 2, unsigned(lane > 0) << 1) << policy << " lane " << lane;
        }
    }
}

TEST(GroupRules, LeftOnlyUnderAPreferredLaneAndAMovingPolicy) {
    Group g{};
    g.hasPreferredLane = 1;
    g.preferredLane = 2;
    g.leftPolicy = FDist;
    EXPECT_EQ(rulesOf(g).leftBelow, 2);
    g.leftPolicy = Never;
    EXPECT_LT(rulesOf(g).leftBelow, -1000000);
    g.leftPolicy = FDist;
    g.hasPreferredLane = 0;
    EXPECT_LT(rulesOf(g).leftBelow, -1000000);
}

bool sameRules(const GroupRules& a, const GroupRules& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The step takes its group values from the kept rules, which are made again
// only where a group changed; a field that rulesOf reads but the check skips
// would leave an edited group driving by its old values.
TEST(RulesOfEveryGroup, FollowsAnEditOfAnyWordOfAGroup) {
    freshWorld();
    loadDefaultGroups();
    rulesOfEveryGroup();
    // The first and the last group too: a check that stops one group short
    // of either end must fail.
    for (int k : {0, 7, MaxGroups - 1}) {
        for (int w = 0; w < int(sizeof(Group) / 4); w++) {
            uint32_t word;
            unsigned char* at = reinterpret_cast<unsigned char*>(&world.groups[k]) + 4 * w;
            std::memcpy(&word, at, 4);
            word ^= 0x00400001u;  // a float's mantissa, an int's value
            std::memcpy(at, &word, 4);
            const GroupRules* rules = rulesOfEveryGroup();
            EXPECT_TRUE(sameRules(rules[k], rulesOf(world.groups[k]))) << "group " << k << " word " << w;
            const int other = k == 0 ? 1 : k - 1;
            EXPECT_TRUE(sameRules(rules[other], rulesOf(world.groups[other]))) << "group " << k << " word " << w;
        }
    }
}

TEST(RulesOfEveryGroup, FollowsARestoredWorldAndANewStepRate) {
    freshWorld();
    loadDefaultGroups();
    const SimWorld before = world;
    world.groups[3].desiredSpeed = 12;
    world.groups[3].leftPolicy = Crazily;
    EXPECT_EQ(rulesOfEveryGroup()[3].desiredSpeed, 12);
    world = before;  // as a rewind restores it
    EXPECT_TRUE(sameRules(rulesOfEveryGroup()[3], rulesOf(world.groups[3])));
    world.stepsPerSecond = 8;
    const GroupRules slow = rulesOfEveryGroup()[3];
    world.stepsPerSecond = 16;
    EXPECT_TRUE(sameRules(rulesOfEveryGroup()[3], rulesOf(world.groups[3])));
    EXPECT_NE(slow.accelerationPerStep, rulesOfEveryGroup()[3].accelerationPerStep);
}

// The index keeps each entry's position and speed beside its lane bits; the
// gaps are read from there, so they must never lag behind the cars.
TEST(LaneIndexMirror, KeepsEveryEntrysPositionAndSpeedThroughABusyRun) {
    freshWorld();
    loadDefaultGroups();
    for (Group& g : world.groups)
        g.carCount = 40;
    {
        LogCapture quiet;
        world.carTotal = placeAllCars(nullptr);
    }
    ASSERT_EQ(world.carTotal, 2000);
    for (int s = 0; s < 400; s++) {
        stepWorld();
        if (s % 50 != 49)
            continue;
        const LaneIndex& index = world.laneIndex;
        ASSERT_EQ(index.valid, 1);
        for (int e = 0; e < world.order.count; e++) {
            const Car& c = world.cars[world.order.slots[e]];
            ASSERT_EQ(index.position[e], c.position) << "entry " << e << " step " << s;
            ASSERT_EQ(index.speed[e], c.speed) << "entry " << e << " step " << s;
        }
    }
}

}  // namespace
