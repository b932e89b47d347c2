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

inline void fillAhead(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarAheadSpeed;
        return;
    }
    distance = distanceAhead(p, world.cars[found].position);
    speed = world.cars[found].speed;
}

inline void fillBehind(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarBehindSpeed;
        return;
    }
    distance = distanceAhead(world.cars[found].position, p);
    speed = world.cars[found].speed;
}

// Fills every field of the view from the car and its neighbours.
inline void computeGapsOf(int c, const NearCars& near, GapView& out) {
    const Car& car = world.cars[c];
    float p = car.position;
    int lane = car.lane;
    bool hasLeft = lane < 3, hasRight = lane > 0;

    out.carIndex = c;
    out.aheadDistance = out.behindDistance = out.euBehindDistance = NoCarDistance;
    out.leftAheadDistance = out.leftBehindDistance = NoCarDistance;
    out.rightAheadDistance = out.rightBehindDistance = NoCarDistance;

    fillAhead(near.leftAhead, p, out.leftAheadDistance, out.leftAheadSpeed);
    fillBehind(near.leftBehind, p, out.leftBehindDistance, out.leftBehindSpeed);
    fillAhead(near.ahead, p, out.aheadDistance, out.aheadSpeed);
    fillBehind(near.behind, p, out.behindDistance, out.behindSpeed);
    fillBehind(near.euBehind, p, out.euBehindDistance, out.euBehindSpeed);
    fillAhead(near.rightAhead, p, out.rightAheadDistance, out.rightAheadSpeed);
    fillBehind(near.rightBehind, p, out.rightBehindDistance, out.rightBehindSpeed);

    // A car changing lanes keeps its distance to the nearer car of both lanes.
    if (car.change == 2 && hasLeft) {
        if (out.leftAheadDistance < out.aheadDistance)
            out.aheadDistance = out.leftAheadDistance;
        if (out.leftBehindDistance < out.behindDistance)
            out.behindDistance = out.leftBehindDistance;
    } else if (car.change == 1 && hasRight) {
        if (out.rightAheadDistance < out.aheadDistance)
            out.aheadDistance = out.rightAheadDistance;
        if (out.rightBehindDistance < out.behindDistance)
            out.behindDistance = out.rightBehindDistance;
    }
}
