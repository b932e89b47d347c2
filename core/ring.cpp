// The order ring: car indices sorted by position round the closed road, and
// the nearest cars ahead and behind in every lane found by walking it.
#include "sim.h"

#include <cstdint>

namespace {

// Lane that a car is moving into, or -1.
int targetLane(const Car& car) {
    if (car.change == 1 && car.lane != 0)
        return car.lane - 1;
    if (car.change == 2 && car.lane != 3)
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

int reorderCar(int car) {
    const CarOrder& order = world.order;
    int n = order.count;
    int s = world.cars[car].slot;
    // Two cars are always in cyclic order; and when every other car stands at
    // one position there is no seam to stop at, so one circle is the bound.
    if (n <= 2)
        return s;
    float p = world.cars[car].position;
    float a = world.cars[order.slots[s == 0 ? n - 1 : s - 1]].position;
    for (int exchanges = 0; exchanges < n - 1; exchanges++) {
        int next = s + 1 == n ? 0 : s + 1;
        float b = world.cars[order.slots[next]].position;
        if (a <= p && p <= b)
            break;
        if (a > b && (a <= p || p <= b))
            break;
        exchangeWithSuccessor(s, next);
        a = b;
        s = next;
    }
    return s;
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

namespace {

// Distance from `from` forward to `to` round the road, rounded to float.
float distanceAhead(float from, float to) {
    float d = to - from;
    if (d < 0)
        d = d + world.roadLength;
    return d;
}

void fillAhead(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarAheadSpeed;
        return;
    }
    distance = distanceAhead(p, world.cars[found].position);
    speed = world.cars[found].speed;
}

void fillBehind(int found, float p, float& distance, float& speed) {
    if (found < 0) {
        speed = NoCarBehindSpeed;
        return;
    }
    distance = distanceAhead(world.cars[found].position, p);
    speed = world.cars[found].speed;
}

}  // namespace

void computeGaps(const Neighbours& n, GapView& out) {
    int c = n.carIndex;
    const Car& car = world.cars[c];
    float p = car.position;
    int lane = car.lane;
    bool hasLeft = lane < 3, hasRight = lane > 0;

    out.carIndex = c;
    out.aheadDistance = out.behindDistance = out.euBehindDistance = NoCarDistance;
    out.leftAheadDistance = out.leftBehindDistance = NoCarDistance;
    out.rightAheadDistance = out.rightBehindDistance = NoCarDistance;

    bool own = isLane(lane);
    fillAhead(hasLeft && own ? n.aheadByLane[lane + 1] : -1, p, out.leftAheadDistance, out.leftAheadSpeed);
    fillBehind(hasLeft && own ? n.behindByLane[lane + 1] : -1, p, out.leftBehindDistance, out.leftBehindSpeed);
    fillAhead(own ? n.aheadByLane[lane] : -1, p, out.aheadDistance, out.aheadSpeed);
    fillBehind(own ? n.behindByLane[lane] : -1, p, out.behindDistance, out.behindSpeed);
    fillBehind(own ? n.euBehindByLane[lane] : -1, p, out.euBehindDistance, out.euBehindSpeed);
    fillAhead(hasRight && own ? n.aheadByLane[lane - 1] : -1, p, out.rightAheadDistance, out.rightAheadSpeed);
    fillBehind(hasRight && own ? n.behindByLane[lane - 1] : -1, p, out.rightBehindDistance, out.rightBehindSpeed);

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
