// Lane changes: whether a car begins one, under its group's policy for each
// side, and the sideways motion that carries it into the new lane.
#include "search.h"
#include "sim.h"

#include "group_rules.h"

namespace {

constexpr float ClearAhead = 200;   // ft to the car ahead that FDist200 asks for

float gapOf(float distance) { return distance - world.carLength; }

bool holdUpTest(const GapView& v, float wanted) { return gapOf(v.aheadDistance) <= wanted; }

bool clearAheadTest(float aheadDistance) {
    return gapOf(aheadDistance) >= float(ClearAhead - world.carLength);
}

// Where the tailgater test finds the distance to the own lane's car behind.
struct TailgaterInView {
    const GapView& view;
    float distance() const { return view.euBehindDistance; }
};
// The step leaves it out of the view: few cars get as far as this test.
struct TailgaterSearched {
    int car;
    float distance() const { return tailgaterDistance(car); }
};

template <class Tailgater>
bool tailgaterTest(const Tailgater& behind, float wanted) { return gapOf(behind.distance()) <= wanted; }

// Room to move into a lane: neither gap shorter than its limit, nor within
// its zone of a car closing in.
bool gapTest(float aheadDistance, float aheadSpeed, float aheadLimit, float aheadZone,
             float behindDistance, float behindSpeed, float behindLimit, float behindZone,
             float speed) {
    float behindGap = gapOf(behindDistance);
    if (behindGap < behindLimit)
        return false;
    if (behindGap < behindZone && speed < behindSpeed)
        return false;
    float aheadGap = gapOf(aheadDistance);
    if (aheadGap < aheadLimit)
        return false;
    if (aheadGap < aheadZone && speed > aheadSpeed)
        return false;
    return true;
}

// Whether a side's policy moves the car there, its tests taken in turn.
template <class Tailgater>
bool passes(unsigned tests, bool gap, const GapView& v, const Tailgater& behind, float wanted,
            float targetAheadDistance) {
    if (!(tests & MovesAfterGapTest))
        return false;
    if ((tests & NeedsClearAhead) && !clearAheadTest(targetAheadDistance))
        return false;
    if ((tests & NeedsHoldUp) && !holdUpTest(v, wanted))
        return false;
    if ((tests & NeedsTailgater) && !tailgaterTest(behind, wanted))
        return false;
    return gap;
}

// Crazily: to the left from the rightmost lane, else towards the side whose
// two gaps add up to more, ties to the right.
LaneChange crazyDirection(const Car& c, const GapView& v) {
    if (c.lane == 0)
        return MovingLeft;
    return double(v.rightAheadDistance) + v.rightBehindDistance <
                   double(v.leftAheadDistance) + v.leftBehindDistance
               ? MovingLeft
               : MovingRight;
}

// Cars of every policy drive side by side, so a branch on the policy, or on
// each test in turn, is a toss-up from car to car. Almost every car is ruled
// out at once, without a branch: neither side's policy moves it there, or
// that side's gaps are below their limits, which every gap test asks; the
// tests in full are made only for the few cars left. A car moves left only
// towards its preferred lane, and looks right only when it does not move left.
template <class Tailgater>
void decideLaneChangeOf(const GroupRules& r, int car, const GapView& v, const Tailgater& behind,
                        float wanted) {
    Car& c = world.cars[car];
    if (c.change != NoChange)
        return;
    const int lane = c.lane;
    const unsigned looksLeft = unsigned(lane < r.leftBelow) & unsigned(lane != LeftmostLane);
    const unsigned looksRight = lane != 0;
    const unsigned crazy = looksLeft & unsigned((r.leftTests & MovesCrazily) != 0);
    const unsigned leftRoom = unsigned(!(gapOf(v.leftBehindDistance) < r.leftBehind)) &
                              unsigned(!(gapOf(v.leftAheadDistance) < r.leftAhead));
    const unsigned rightRoom = unsigned(!(gapOf(v.rightBehindDistance) < r.rightBehind)) &
                               unsigned(!(gapOf(v.rightAheadDistance) < r.rightAhead));
    const unsigned mayLeft = looksLeft & unsigned((r.leftTests & MovesAfterGapTest) != 0) & leftRoom;
    const unsigned mayRight =
        looksRight & unsigned((r.rightTests & MovesAfterGapTest) != 0) & rightRoom;
    if (!(crazy | mayLeft | mayRight))
        return;

    if (crazy) {
        c.change = crazyDirection(c, v);
        return;
    }
    const float speed = c.speed;
    if (looksLeft &&
        passes(r.leftTests,
               gapTest(v.leftAheadDistance, v.leftAheadSpeed, r.leftAhead, r.leftAheadZone,
                       v.leftBehindDistance, v.leftBehindSpeed, r.leftBehind, r.leftBehindZone,
                       speed),
               v, behind, wanted, v.leftAheadDistance)) {
        c.change = c.lastChange = MovingLeft;
        return;
    }
    if (looksRight &&
        passes(r.rightTests,
               gapTest(v.rightAheadDistance, v.rightAheadSpeed, r.rightAhead, r.rightAheadZone,
                       v.rightBehindDistance, v.rightBehindSpeed, r.rightBehind,
                       r.rightBehindZone, speed),
               v, behind, wanted, v.rightAheadDistance))
        c.change = c.lastChange = MovingRight;
}

}  // namespace

void decideLaneChangeBy(const GroupRules& r, int car, const GapView& v, float wanted) {
    decideLaneChangeOf(r, car, v, TailgaterInView{v}, wanted);
}

void decideStepLaneChange(const GroupRules& r, int car, const GapView& v, float wanted) {
    decideLaneChangeOf(r, car, v, TailgaterSearched{car}, wanted);
}

void decideLaneChange(int car, const GapView& view, float wanted) {
    decideLaneChangeBy(rulesOf(world.groups[world.cars[car].group]), car, view, wanted);
}

void moveSideways(int car) {
    Car& c = world.cars[car];
    const float width = world.laneWidth;
    if (c.change == NoChange) {
        c.lateral = 0;
        return;
    }
    if ((c.change == MovingLeft && c.lane >= LeftmostLane) || (c.change == MovingRight && c.lane <= 0)) {
        c.change = NoChange;
        c.lateral = 0;
        return;
    }
    if (c.lateral >= width) {
        c.lane--;
        c.change = NoChange;
        c.lateral = 0;
        return;
    }
    if (c.lateral <= -width) {
        c.lane++;
        c.change = NoChange;
        c.lateral = 0;
        return;
    }
    float time = world.groups[c.group].laneChangeTime;
    float increment = float(double(width) / time / world.stepsPerSecond);
    // A change time of zero, less, or too short for one step to carry the car
    // a whole lane width completes the change at once: the offset reaches the
    // lane width now and the lane switches at the next step, as an instant
    // change would, without an offset beyond the lane or a lane index moving
    // against the change.
    if (!(increment > 0) || increment > width)
        increment = width;
    if (c.change == MovingRight)
        c.lateral += increment;
    else
        c.lateral -= increment;
}
