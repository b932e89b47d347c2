// Lane changes: whether a car begins one, under its group's policy for each
// side, and the sideways motion that carries it into the new lane.
#include "sim.h"

namespace {

constexpr float ClearAhead = 200;   // ft to the car ahead that FDist200 asks for

struct Side {
    float aheadDistance, aheadSpeed, behindDistance, behindSpeed;
    float aheadLimit, behindLimit;
};

Side leftSide(const GapView& v, const Group& g) {
    return {v.leftAheadDistance, v.leftAheadSpeed, v.leftBehindDistance, v.leftBehindSpeed,
            g.leftAhead, g.leftBehind};
}

Side rightSide(const GapView& v, const Group& g) {
    return {v.rightAheadDistance, v.rightAheadSpeed, v.rightBehindDistance, v.rightBehindSpeed,
            g.rightAhead, g.rightBehind};
}

float gapOf(float distance) { return distance - world.carLength; }

// Held up by the car ahead in the own lane.
bool followTest(const GapView& v, float wanted) { return gapOf(v.aheadDistance) <= wanted; }

bool clearAheadTest(float aheadDistance) {
    return gapOf(aheadDistance) >= float(ClearAhead - world.carLength);
}

// A car in the own lane is closer behind than the car's own desired gap.
bool tailgaterTest(const GapView& v, float wanted) { return gapOf(v.euBehindDistance) <= wanted; }

bool gapTest(const Side& side, const Group& g, float speed) {
    float behindGap = gapOf(side.behindDistance);
    if (behindGap < side.behindLimit)
        return false;
    if (behindGap < double(side.behindLimit) + g.behindZone && speed < side.behindSpeed)
        return false;
    float aheadGap = gapOf(side.aheadDistance);
    if (aheadGap < side.aheadLimit)
        return false;
    if (aheadGap < double(side.aheadLimit) + g.aheadZone && speed > side.aheadSpeed)
        return false;
    return true;
}

void decideLeft(Car& c, const Group& g, const GapView& v, float wanted) {
    switch (g.leftPolicy) {
    case Crazily:
        if (c.lane == 0)
            c.change = 2;
        else if (double(v.rightAheadDistance) + v.rightBehindDistance <
                 double(v.leftAheadDistance) + v.leftBehindDistance)
            c.change = 2;
        else
            c.change = 1;
        return;
    case FDist200:
        if (!clearAheadTest(v.leftAheadDistance))
            return;
        [[fallthrough]];
    case FDist:
        if (!followTest(v, wanted))
            return;
        [[fallthrough]];
    case Always:
        if (gapTest(leftSide(v, g), g, c.speed))
            c.change = c.lastChange = 2;
        return;
    default:  // EuCarBehind and anything else never move left
        return;
    }
}

void decideRight(Car& c, const Group& g, const GapView& v, float wanted) {
    switch (g.rightPolicy) {
    case EuCarBehind:
        if (!tailgaterTest(v, wanted))
            return;
        break;
    case FDist200:
        if (!clearAheadTest(v.rightAheadDistance))
            return;
        [[fallthrough]];
    case FDist:
        if (!followTest(v, wanted))
            return;
        break;
    case Always:
        break;
    default:  // Never, Crazily and anything else never move right
        return;
    }
    if (gapTest(rightSide(v, g), g, c.speed))
        c.change = c.lastChange = 1;
}

}  // namespace

void decideLaneChange(int car, const GapView& view, float wanted) {
    Car& c = world.cars[car];
    if (c.change != 0)
        return;
    const Group& g = world.groups[c.group];
    if (g.hasPreferredLane == 1 && c.lane < g.preferredLane && c.lane != 3 &&
        g.leftPolicy >= Always && g.leftPolicy <= Crazily)
        decideLeft(c, g, view, wanted);
    if (c.change == 0 && c.lane != 0)
        decideRight(c, g, view, wanted);
}

void moveSideways(int car) {
    Car& c = world.cars[car];
    const float width = world.laneWidth;
    if (c.change == 0) {
        c.lateral = 0;
        return;
    }
    if ((c.change == 2 && c.lane >= 3) || (c.change == 1 && c.lane <= 0)) {
        c.change = 0;
        c.lateral = 0;
        return;
    }
    if (c.lateral >= width) {
        c.lane--;
        c.change = 0;
        c.lateral = 0;
        return;
    }
    if (c.lateral <= -width) {
        c.lane++;
        c.change = 0;
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
    if (c.change == 1)
        c.lateral += increment;
    else
        c.lateral -= increment;
}
