// What the step reads of a car's group, in the form the step uses it: made
// from the groups, and checked against them before each step of every car,
// so that a car-step neither converts units nor decodes its group's
// policies. Plain values; a change to a group takes effect at the next step,
// as it always has.
#pragma once

#include "world.h"

#include <bit>
#include <cstdint>

// What a lane-change policy asks before a car moves to one side.
enum PolicyTest : unsigned {
    NeedsHoldUp     = 1,    // the car ahead in the own lane is within the desired gap
    NeedsClearAhead = 2,    // 200 ft clear ahead in the lane moved to
    NeedsTailgater  = 4,    // a car in the own lane within the desired gap behind
    MovesAfterGapTest = 8,  // the policy moves to this side, after the gap test
    MovesCrazily    = 16,   // left only: moves at once, to whichever side is roomier
};

struct GroupRules {
    float  desiredSpeed;        // mph
    float  followDistance;      // ft at desiredSpeed
    double desiredReciprocal;   // 1/desiredSpeed, NaN when it must be divided by
    double followReciprocal;    // 1/followDistance, NaN when it must be divided by
    float  accelerationPerStep; // mph gained in one step of acceleration
    float  feetPerStepPerMph;   // ft a step at 1 mph, rounded: for guesses only
    int    startDelay;          // steps

    int    leftBelow;           // a car looks left while its lane is below this
    // Which sides' gaps the step reads, by [change & 3][lane]: bit 0 the
    // left, bit 1 the right; only sides that exist. A car not changing lanes
    // reads those its policies may move it to; one changing lanes, the side
    // it moves to, for the nearer car ahead of both lanes.
    uint8_t sidesRead[4][LaneTotal];
    unsigned leftTests;         // PolicyTest bits of the left policy
    unsigned rightTests;        // PolicyTest bits of the right policy
    float  leftAhead, leftBehind;       // ft gap limits
    float  rightAhead, rightBehind;     // ft
    // ft: limit plus zone, added in double as the gap test always has, then
    // rounded up to a float: for any float gap, gap < zone (float) exactly
    // when gap < the double sum.
    float  leftAheadZone, leftBehindZone;
    float  rightAheadZone, rightBehindZone;
};

GroupRules rulesOf(const Group& g);

// rulesOf for groups 0 to MaxGroups-1, kept from one call to the next and
// made again only for a group whose values (or the step rate) changed: a
// road of few cars in many groups would otherwise spend more on the rules
// than on the cars.
const GroupRules* rulesOfEveryGroup();

// The least float not below `value` (NaN stays NaN): a float x is below it
// exactly when x is below `value`.
float floatNotBelow(double value);

// The reciprocal that quotientToFloat may multiply by: NaN, which sends it
// to the division, for a divisor of zero, infinity or NaN.
double reciprocalOf(float divisor);

// float(x / divisor), got by multiplying by reciprocal = 1.0 / divisor where
// that is sure to give the same float. The product lies within 2.5 units of
// the last place of the double quotient; it rounds to the same float unless
// a halfway point between two floats lies near it, and then, for a product
// outside the normal float range (a NaN reciprocal gives a NaN product), it
// divides. A product of 0 is exact: x is 0, and the division gives the same
// signed 0. The result is the division's in every case, bit for bit.
inline float quotientToFloat(double x, double divisor, double reciprocal) {
    constexpr uint64_t Dropped = (uint64_t(1) << 29) - 1;     // bits a float drops
    constexpr uint64_t Halfway = uint64_t(1) << 28;
    constexpr uint64_t Margin = 8;                             // units of the last place
    constexpr unsigned LowestNormal = 1023 - 126, NormalSpan = 253;  // 2^-126 .. 2^128
    double q = x * reciprocal;
    uint64_t bits = std::bit_cast<uint64_t>(q);
    unsigned exponent = unsigned(bits >> 52) & 0x7FF;
    bool normal = exponent - LowestNormal <= NormalSpan;
    bool nearHalfway = (bits & Dropped) - (Halfway - Margin) <= 2 * Margin;
    bool zero = (bits << 1) == 0;
    if (zero | (normal & !nearHalfway))
        return float(q);
    return float(x / divisor);
}

// The step's parts that take the rules of the car's group as made for it.
void decideLaneChangeBy(const GroupRules& rules, int car, const GapView& view, float wanted);
// The same decision on a view from computeStepGapsIndexed, made before the
// car moves: the tailgater test searches the lane index for its car behind.
void decideStepLaneChange(const GroupRules& rules, int car, const GapView& view, float wanted);
