// A group's values as the step uses them.
#include "group_rules.h"

#include <climits>
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
            bool left = change == MovingLeft ||
                        (change == NoChange && r.leftTests != 0 && lane < r.leftBelow);
            bool right = change == MovingRight || (change == NoChange && stillReadsRight);
            r.sidesRead[change][lane] =
                uint8_t(unsigned(left && lane < LeftmostLane) | unsigned(right && lane > 0) << 1);
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

// What rulesOf reads of a group, field by field: the rules of a group are
// made again when its record differs from the one they were made from.
struct RuleInputs {
    float desiredSpeed, acceleration, followDistance;
    int   startDelay, preferredLane, hasPreferredLane, leftPolicy;
    float leftAhead, leftBehind;
    int   rightPolicy;
    float rightAhead, rightBehind, aheadZone, behindZone;
};
static_assert(sizeof(RuleInputs) == 14 * 4, "no padding: memcmp compares only the fields");

RuleInputs ruleInputsOf(const Group& g) {
    return {g.desiredSpeed, g.acceleration, g.followDistance, g.startDelay, g.preferredLane,
            g.hasPreferredLane, g.leftPolicy, g.leftAhead, g.leftBehind, g.rightPolicy,
            g.rightAhead, g.rightBehind, g.aheadZone, g.behindZone};
}

// The rules of every group as last made, beside the inputs and step rate
// they were made from. Only derived values: each call checks them against
// the groups, so an edit, a restore or a rewind is seen at once.
struct RulesCache {
    RuleInputs from[MaxGroups];
    int stepsPerSecond;         // the step rate every group's rules were made at
    bool made;                  // every group's rules are made
    GroupRules rules[MaxGroups];
};
RulesCache cache;

}  // namespace

// Kept a call of its own, once a step: made one with the step's loop, its
// code moved the loop's and made every road slower.
[[gnu::noinline]] const GroupRules* rulesOfEveryGroup() {
    const bool sameRate = cache.made && cache.stepsPerSecond == world.stepsPerSecond;
    for (int k = 0; k < MaxGroups; k++) {
        const RuleInputs inputs = ruleInputsOf(world.groups[k]);
        if (sameRate && std::memcmp(&inputs, &cache.from[k], sizeof inputs) == 0)
            continue;
        cache.from[k] = inputs;
        cache.rules[k] = rulesOf(world.groups[k]);
    }
    cache.stepsPerSecond = world.stepsPerSecond;
    cache.made = true;
    return cache.rules;
}
