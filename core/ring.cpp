// The order ring: car indices sorted by position round the closed road, and
// the nearest cars ahead and behind in every lane found by walking it.
#include "gaps.h"
#include "search.h"
#include "sim.h"

#include <cstdint>

namespace {

// Lane that a car is moving into, or -1.
int targetLane(const Car& car) {
    if (car.change == MovingRight && car.lane != 0)
        return car.lane - 1;
    if (car.change == MovingLeft && car.lane != LeftmostLane)
        return car.lane + 1;
    return -1;
}

bool isLane(int lane) { return unsigned(lane) < LaneTotal; }

void clearNeighbours(Neighbours& nb, int car) {
    nb.carIndex = car;
    for (int lane = 0; lane < LaneTotal; lane++) {
        nb.aheadByLane[lane] = -1;
        nb.behindByLane[lane] = -1;
        nb.euBehindByLane[lane] = -1;
    }
    nb.aheadCount = nb.behindCount = nb.euBehindCount = 0;
}

// Moves the car at entry s to entry s+1 (cyclically) and the other car back.
void exchangeWithSuccessor(int s, int next) {
    CarOrder& order = world.order;
    int car = order.slots[s];
    int other = order.slots[next];
    order.slots[s] = other;
    world.cars[other].slot = s;
    order.slots[next] = car;
    world.cars[car].slot = next;
    // Busy traffic reaches 2^31 exchanges in a long run: the count wraps
    // round its 32 bits, as the snapshot stores them, instead of overflowing.
    world.reorderSwaps = int(uint32_t(world.reorderSwaps) + 1u);

    swapLaneIndexEntries(s, next);
}

}  // namespace

int insertCar(int car) {
    CarOrder& order = world.order;
    if (order.count >= MaxCars)
        return MaxCars;
    float x = world.cars[car].position;
    int entry = 0;
    while (entry < order.count && !(world.cars[order.slots[entry]].position > x))
        entry++;
    for (int k = order.count; k > entry; k--) {
        order.slots[k] = order.slots[k - 1];
        world.cars[order.slots[k]].slot = k;
    }
    order.slots[entry] = car;
    order.count++;
    world.laneIndex.valid = 0;
    return entry;
}

namespace {

// Position of the car at a ring entry: from the lane index while it is valid,
// a few lines from those the step read already, else from the car.
float positionAtEntry(int entry) {
    return world.laneIndex.valid ? world.laneIndex.position[entry]
                                 : world.cars[world.order.slots[entry]].position;
}

// The exchanges of reorderCar. Expect tells which way the caller guesses
// the first test goes; each guess is its own copy of the loop, whose
// branches the processor then predicts apart.
template <bool Expect>
int reorderExpecting(int car) {
    const CarOrder& order = world.order;
    int n = order.count;
    int s = world.cars[car].slot;
    // Two cars are always in cyclic order; and when every other car stands at
    // one position there is no seam to stop at, so one circle is the bound.
    if (n <= 2)
        return s;
    float p = world.cars[car].position;
    // The car's own entry is never read: the index may not hold its new
    // position yet.
    float a = positionAtEntry(s == 0 ? n - 1 : s - 1);
    for (int exchanges = 0; exchanges < n - 1; exchanges++) {
        int next = s + 1 == n ? 0 : s + 1;
        float b = positionAtEntry(next);
        bool inOrder = (a <= p && p <= b) || (a > b && (a <= p || p <= b));
        if (__builtin_expect(inOrder, !Expect))
            break;
        exchangeWithSuccessor(s, next);
        a = b;
        s = next;
    }
    return s;
}

}  // namespace

int reorderCar(int car) { return reorderExpecting<false>(car); }

bool likelyToPassNext(int car, float feetPerStepPerMph) {
    const CarOrder& order = world.order;
    const int n = order.count;
    const Car& c = world.cars[car];
    if (n <= 2 || unsigned(c.slot) >= unsigned(n))
        return false;
    int next = c.slot + 1 == n ? 0 : c.slot + 1;
    return c.position + c.speed * feetPerStepPerMph > positionAtEntry(next);
}

int reorderCarGuessing(int car, bool passes) {
    return passes ? reorderExpecting<true>(car) : reorderExpecting<false>(car);
}

Neighbours& findNeighbours(int car) {
    Neighbours& nb = world.neighbours;
    clearNeighbours(nb, car);
    const CarOrder& order = world.order;
    int n = order.count;
    int s = world.cars[car].slot;
    if (n <= 1)
        return nb;

    for (int i = s, visited = 0; visited < n - 1; visited++) {
        i = i + 1 == n ? 0 : i + 1;
        int d = order.slots[i];
        const Car& other = world.cars[d];
        int lane = other.lane, target = targetLane(other);
        if (isLane(lane) && nb.aheadByLane[lane] == -1) {
            nb.aheadByLane[lane] = d;
            if (++nb.aheadCount == 4)
                break;
        }
        if (isLane(target) && nb.aheadByLane[target] == -1) {
            nb.aheadByLane[target] = d;
            if (++nb.aheadCount == 4)
                break;
        }
    }

    // The backward walk wraps at the last car in use, which is the ring's
    // last entry once placement has finished; a broken count must not make
    // it read outside the ring.
    int last = world.carTotal >= 1 && world.carTotal <= MaxCars ? world.carTotal - 1 : n - 1;
    for (int j = s, visited = 0; visited < n - 1; visited++) {
        j = j - 1 < 0 ? last : j - 1;
        int d = order.slots[j];
        const Car& other = world.cars[d];
        int lane = other.lane, target = targetLane(other);
        if (isLane(lane) && nb.behindByLane[lane] == -1) {
            nb.behindByLane[lane] = d;
            nb.behindCount++;
        }
        if (isLane(lane) && nb.euBehindByLane[lane] == -1) {
            nb.euBehindByLane[lane] = d;
            nb.euBehindCount++;
        }
        if (isLane(target) && nb.behindByLane[target] == -1) {
            nb.behindByLane[target] = d;
            nb.behindCount++;
        }
        if (nb.behindCount == 4 && nb.euBehindCount == 4)
            break;
    }
    return nb;
}

void computeGaps(const Neighbours& n, GapView& out) {
    int lane = world.cars[n.carIndex].lane;
    bool own = isLane(lane);
    bool hasLeft = own && lane < LeftmostLane, hasRight = own && lane > 0;
    NearCars near;
    near.ahead = own ? n.aheadByLane[lane] : -1;
    near.behind = own ? n.behindByLane[lane] : -1;
    near.euBehind = own ? n.euBehindByLane[lane] : -1;
    near.leftAhead = hasLeft ? n.aheadByLane[lane + 1] : -1;
    near.leftBehind = hasLeft ? n.behindByLane[lane + 1] : -1;
    near.rightAhead = hasRight ? n.aheadByLane[lane - 1] : -1;
    near.rightBehind = hasRight ? n.behindByLane[lane - 1] : -1;
    computeGapsOf(n.carIndex, near, out);
}
