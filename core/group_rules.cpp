// A group's values as the step uses them.
#include "group_rules.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <limits>

namespace {

unsigned leftTestsOf(int policy) {
    switch (policy) {
    case Always:   return MovesAfterGapTest;
    case FDist:    return MovesAfterGapTest | NeedsHoldUp;
    case FDist200: return MovesAfterGapTest | NeedsHoldUp | NeedsClearAhead;
    case Crazily:  return MovesCrazily;
    default:       return 0;  // Never, EuCarBehind and anything else never move left
    }
}

unsigned rightTestsOf(int policy) {
    switch (policy) {
    case Always:      return MovesAfterGapTest;
    case FDist:       return MovesAfterGapTest | NeedsHoldUp;
    case FDist200:    return MovesAfterGapTest | NeedsHoldUp | NeedsClearAhead;
    case EuCarBehind: return MovesAfterGapTest | NeedsTailgater;
    default:          return 0;  // Never, Crazily and anything else never move right
    }
}

}  // namespace

float floatNotBelow(double value) {
    // Beyond the float range a conversion is undefined: there the answer is
    // the infinity above or the lowest float.
    constexpr float Top = std::numeric_limits<float>::max();
    if (value > Top)
        return std::numeric_limits<float>::infinity();
    if (value < -Top)
        return value == -std::numeric_limits<double>::infinity() ? -std::numeric_limits<float>::infinity()
                                                                 : -Top;
    float f = float(value);
    if (double(f) < value)
        f = std::nextafter(f, std::numeric_limits<float>::infinity());
    return f;
}

double reciprocalOf(float divisor) {
    if (!std::isfinite(divisor) || divisor == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return 1.0 / double(divisor);
}

GroupRules rulesOf(const Group& g) {
    GroupRules r;
    r.desiredSpeed = g.desiredSpeed;
    r.followDistance = g.followDistance;
    r.desiredReciprocal = reciprocalOf(g.desiredSpeed);
    r.followReciprocal = reciprocalOf(g.followDistance);
    r.accelerationPerStep = accelerationToMphPerStep(g.acceleration);
    r.feetPerStepPerMph = mphToFeetPerStep(1);
    r.startDelay = g.startDelay;

    // A car looks left only towards a preferred lane, and only under a
    // policy from Always to Crazily; no lane is below INT_MIN.
    bool looksLeft = g.hasPreferredLane == 1 && g.leftPolicy >= Always && g.leftPolicy <= Crazily;
    r.leftBelow = looksLeft ? g.preferredLane : INT_MIN;
    r.leftTests = leftTestsOf(g.leftPolicy);
    r.rightTests = rightTestsOf(g.rightPolicy);
    // A crazy move to the left weighs the right side's gaps as well.
    const bool stillReadsRight = (r.rightTests | (r.leftTests & MovesCrazily)) != 0;
    for (int change = 0; change < 4; change++) {
        for (int lane = 0; lane < LaneTotal; lane++) {
            bool left = change == 2 || (change == 0 && r.leftTests != 0 && lane < r.leftBelow);
            bool right = change == 1 || (change == 0 && stillReadsRight);
            r.sidesRead[change][lane] =
                uint8_t(unsigned(left && lane < LaneTotal - 1) | unsigned(right && lane > 0) << 1);
        }
    }
    r.leftAhead = g.leftAhead;
    r.leftBehind = g.leftBehind;
    r.rightAhead = g.rightAhead;
    r.rightBehind = g.rightBehind;
    r.leftAheadZone = floatNotBelow(double(g.leftAhead) + g.aheadZone);
    r.leftBehindZone = floatNotBelow(double(g.leftBehind) + g.behindZone);
    r.rightAheadZone = floatNotBelow(double(g.rightAhead) + g.aheadZone);
    r.rightBehindZone = floatNotBelow(double(g.rightBehind) + g.behindZone);
    return r;
}

namespace {

// The rules of every group as last made, beside the rule inputs and step
// rate they were made from. Only derived values: each call checks them
// against the groups, so an edit, a restore or a rewind is seen at once.
//
// What rulesOf reads of a group: the fields from desiredSpeed to behindZone,
// seven words, kept here in a record of eight (the last always 0) that lines
// up with the 16-byte operations the check compares them with.
constexpr std::size_t RuleInputFirst = offsetof(Group, desiredSpeed);
constexpr std::size_t RuleInputEnd = offsetof(Group, behindZone) + sizeof(float);
constexpr int RuleInputWords = (RuleInputEnd - RuleInputFirst) / sizeof(uint64_t);
static_assert((RuleInputEnd - RuleInputFirst) % sizeof(uint64_t) == 0, "whole words");
static_assert(RuleInputWords == 7, "three pairs of words and one word");

struct alignas(16) RuleInput {
    uint64_t words[8];
};

struct RulesCache {
    RuleInput from[MaxGroups];
    int stepsPerSecond;         // the step rate every group's rules were made at
    bool made;                  // every group's rules are made
    GroupRules rules[MaxGroups];
};
RulesCache cache;

const unsigned char* ruleInputOf(const Group& g) {
    return reinterpret_cast<const unsigned char*>(&g) + RuleInputFirst;
}

// Two words as one operand, where the processor has such operations; GCC and
// Clang make it two words where it has not.
typedef uint64_t WordPair __attribute__((vector_size(16)));

// Whether any group differs from the inputs its rules were made from: all
// fifty compared without a branch for each, as almost every step finds none,
// two words at a time.
bool anyRuleInputChanged() {
    WordPair pairs = {0, 0};
    uint64_t last = 0;
    for (int k = 0; k < MaxGroups; k++) {
        const unsigned char* input = ruleInputOf(world.groups[k]);
        const RuleInput& from = cache.from[k];
        for (int w = 0; w < 6; w += 2) {
            WordPair x, y;
            std::memcpy(&x, input + w * sizeof(uint64_t), sizeof x);
            std::memcpy(&y, &from.words[w], sizeof y);
            pairs |= x ^ y;
        }
        uint64_t x;
        std::memcpy(&x, input + 6 * sizeof x, sizeof x);
        last |= x ^ from.words[6];
    }
    return (pairs[0] | pairs[1] | last) != 0;
}

bool sameRuleInput(const RuleInput& from, const Group& g) {
    return std::memcmp(from.words, ruleInputOf(g), RuleInputWords * sizeof(uint64_t)) == 0;
}

}  // namespace

// Kept a call of its own, once a step: made one with the step's loop, its
// code moved the loop's and made every road slower.
[[gnu::noinline]] const GroupRules* rulesOfEveryGroup() {
    const bool sameRate = cache.made && cache.stepsPerSecond == world.stepsPerSecond;
    if (sameRate && !anyRuleInputChanged())
        return cache.rules;
    for (int k = 0; k < MaxGroups; k++) {
        const Group& g = world.groups[k];
        if (sameRate && sameRuleInput(cache.from[k], g))
            continue;
        std::memcpy(cache.from[k].words, ruleInputOf(g), RuleInputWords * sizeof(uint64_t));
        cache.rules[k] = rulesOf(g);
    }
    cache.stepsPerSecond = world.stepsPerSecond;
    cache.made = true;
    return cache.rules;
}
