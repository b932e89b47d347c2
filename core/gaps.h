// Gaps from a car to the neighbours it measures itself against: shared by
// computeGaps and the step's own search, and kept in a header so that the
// step's search inlines it.
#pragma once

#include "world.h"

// The neighbours that the gaps are measured to; -1 for none.
struct NearCars {
    int ahead, behind, euBehind;    // own lane
    int leftAhead, leftBehind;      // lane + 1, in or entering it
    int rightAhead, rightBehind;    // lane - 1, in or entering it
};

// Distance from `from` forward to `to` round the road, rounded to float.
inline float distanceAhead(float from, float to) {
    float d = to - from;
    if (d < 0)
        d = d + world.roadLength;
    return d;
}

// Where a neighbour's position and speed are read: its car, or (CarsByEntry)
// its ring entry in the lane index, which holds the same values.
struct CarsByIndex {
    static float position(int car) { return world.cars[car].position; }
    static float speed(int car) { return world.cars[car].speed; }
};
struct CarsByEntry {
    static float position(int entry) { return world.laneIndex.position[entry]; }
    static float speed(int entry) { return world.laneIndex.speed[entry]; }
};

template <class Source>
inline void fillAhead(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarAheadSpeed;
        return;
    }
    distance = distanceAhead(p, Source::position(found));
    speed = Source::speed(found);
}

template <class Source>
inline void fillBehind(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarBehindSpeed;
        return;
    }
    distance = distanceAhead(Source::position(found), p);
    speed = Source::speed(found);
}

// Fills every field of the view from the car and its neighbours, which
// `near` names as Source reads them: car indices or ring entries.
template <class Source = CarsByIndex>
inline void computeGapsOf(int c, const NearCars& near, GapView& out) {
    const Car& car = world.cars[c];
    float p = car.position;
    int lane = car.lane;
    bool hasLeft = lane < LeftmostLane, hasRight = lane > 0;

    out.carIndex = c;
    out.aheadDistance = out.behindDistance = out.euBehindDistance = NoCarDistance;
    out.leftAheadDistance = out.leftBehindDistance = NoCarDistance;
    out.rightAheadDistance = out.rightBehindDistance = NoCarDistance;

    fillAhead<Source>(near.leftAhead, p, out.leftAheadDistance, out.leftAheadSpeed);
    fillBehind<Source>(near.leftBehind, p, out.leftBehindDistance, out.leftBehindSpeed);
    fillAhead<Source>(near.ahead, p, out.aheadDistance, out.aheadSpeed);
    fillBehind<Source>(near.behind, p, out.behindDistance, out.behindSpeed);
    fillBehind<Source>(near.euBehind, p, out.euBehindDistance, out.euBehindSpeed);
    fillAhead<Source>(near.rightAhead, p, out.rightAheadDistance, out.rightAheadSpeed);
    fillBehind<Source>(near.rightBehind, p, out.rightBehindDistance, out.rightBehindSpeed);

    // A car changing lanes keeps its distance to the nearer car of both lanes.
    if (car.change == MovingLeft && hasLeft) {
        if (out.leftAheadDistance < out.aheadDistance)
            out.aheadDistance = out.leftAheadDistance;
        if (out.leftBehindDistance < out.behindDistance)
            out.behindDistance = out.leftBehindDistance;
    } else if (car.change == MovingRight && hasRight) {
        if (out.rightAheadDistance < out.aheadDistance)
            out.aheadDistance = out.rightAheadDistance;
        if (out.rightBehindDistance < out.behindDistance)
            out.behindDistance = out.rightBehindDistance;
    }
}
