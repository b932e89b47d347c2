// The benchmarks' roads, built the same way in every benchmark file: five
// groups of 20 to 60 mph that change lanes freely towards lane 2, spread over
// the lanes asked for. denseRoad() is benchmark (a): 586 cars in every lane,
// 2344 in all, placed and not yet run.
#pragma once

#include "core/sim.h"

namespace bench {

// The built-in groups with nothing to place, in a fresh current-edition world.
inline void emptyRoad() {
    resetWorld(CurrentEdition);
    loadDefaultGroups();
    for (Group& g : world.groups)
        g.carCount = 0;
}

inline void fiveGroups() {
    for (int k = 0; k < 5; k++) {
        Group& g = world.groups[k];
        g.desiredSpeed = float(20 + 10 * k);
        g.acceleration = 8;
        g.followDistance = 2 * world.carLength;
        g.startDelay = world.stepsPerSecond / 2;
        g.preferredLane = 2;
        g.hasPreferredLane = 1;
        g.leftPolicy = Always;
        g.rightPolicy = FDist;
        g.leftAhead = g.leftBehind = g.rightAhead = g.rightBehind = world.carLength;
        g.aheadZone = 5 * world.carLength;
        g.behindZone = world.carLength;
        g.laneChangeTime = 3;
    }
}

// `cars` to place in the lane, shared out over the five groups.
inline void spread(int lane, int cars) {
    for (int k = 0; k < 5; k++)
        world.groups[k].laneCount[lane] = cars / 5 + (k < cars % 5);
}

inline void place() { world.carTotal = placeAllCars(nullptr); }

inline void denseRoad() {
    emptyRoad();
    fiveGroups();
    for (int lane = 0; lane < LaneTotal; lane++)
        spread(lane, 586);
    place();
}

}  // namespace bench
