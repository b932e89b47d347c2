// The neighbour search from per-lane bitsets over ring entries. The plain walk
// of findNeighbours visits the whole ring for a lane that holds no car, which
// makes a step cost the square of the car count when a lane is empty or
// nearly so; here the nearest member of each lane is the nearest set bit, a
// few word operations away. The result is the walk's, bit for bit.
#include "sim.h"

#include <cstring>

namespace {

unsigned entryMask(const Car& car) {
    unsigned mask = 0;
    if (unsigned(car.lane) < LaneTotal) {
        mask |= 1u << car.lane;
        mask |= 16u << car.lane;
        if (car.change == 1 && car.lane != 0)
            mask |= 1u << (car.lane - 1);
        else if (car.change == 2 && car.lane != 3)
            mask |= 1u << (car.lane + 1);
    }
    return mask;
}

// First set bit in [from, to), or -1.
int firstSetBit(const uint64_t* words, uint64_t nonEmpty, int from, int to) {
    if (from >= to)
        return -1;
    int w = from >> 6;
    uint64_t bits = words[w] & (~uint64_t(0) << (from & 63));
    if (!bits) {
        uint64_t later = nonEmpty & (~uint64_t(0) << w << 1);
        if (!later)
            return -1;
        w = __builtin_ctzll(later);
        bits = words[w];
    }
    int bit = (w << 6) + __builtin_ctzll(bits);
    return bit < to ? bit : -1;
}

// Last set bit in [from, to), or -1.
int lastSetBit(const uint64_t* words, uint64_t nonEmpty, int from, int to) {
    if (from >= to)
        return -1;
    int w = (to - 1) >> 6;
    int top = (to - 1) & 63;
    uint64_t bits = words[w] & (top == 63 ? ~uint64_t(0) : (uint64_t(2) << top) - 1);
    if (!bits) {
        uint64_t earlier = nonEmpty & ((uint64_t(1) << w) - 1);
        if (!earlier)
            return -1;
        w = 63 - __builtin_clzll(earlier);
        bits = words[w];
    }
    int bit = (w << 6) + 63 - __builtin_clzll(bits);
    return bit >= from ? bit : -1;
}

// Nearest member after entry s round the ring, never s itself; -1 for none.
int nextMember(const LaneIndex& index, int set, int s, int n) {
    const uint64_t* words = index.bits[set];
    uint64_t nonEmpty = index.nonEmptyWords[set];
    int e = firstSetBit(words, nonEmpty, s + 1, n);
    return e >= 0 ? e : firstSetBit(words, nonEmpty, 0, s);
}

// Nearest member before entry s round the ring, never s itself; -1 for none.
int previousMember(const LaneIndex& index, int set, int s, int n) {
    const uint64_t* words = index.bits[set];
    uint64_t nonEmpty = index.nonEmptyWords[set];
    int e = lastSetBit(words, nonEmpty, 0, s);
    return e >= 0 ? e : lastSetBit(words, nonEmpty, s + 1, n);
}

void flipBit(LaneIndex& index, int set, int entry) {
    int w = entry >> 6;
    index.bits[set][w] ^= uint64_t(1) << (entry & 63);
    if (index.bits[set][w])
        index.nonEmptyWords[set] |= uint64_t(1) << w;
    else
        index.nonEmptyWords[set] &= ~(uint64_t(1) << w);
}

void setEntry(LaneIndex& index, int entry, unsigned mask) {
    unsigned differ = index.mask[entry] ^ mask;
    index.mask[entry] = uint8_t(mask);
    for (int set = 0; differ; set++, differ >>= 1) {
        if (!(differ & 1))
            continue;
        flipBit(index, set, entry);
        index.members[set] += (mask >> set) & 1 ? 1 : -1;
    }
}

}  // namespace

void invalidateLaneIndex() { world.laneIndex.valid = 0; }

void rebuildLaneIndex() {
    LaneIndex& index = world.laneIndex;
    std::memset(&index, 0, sizeof index);
    for (int e = 0; e < world.order.count; e++)
        setEntry(index, e, entryMask(world.cars[world.order.slots[e]]));
    index.valid = 1;
}

void swapLaneIndexEntries(int a, int b) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        return;
    unsigned maskA = index.mask[a], maskB = index.mask[b];
    if (maskA == maskB)
        return;
    setEntry(index, a, maskB);
    setEntry(index, b, maskA);
}

// Called after the car's lane or change may have moved on.
void refreshLaneIndex(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        return;
    const Car& c = world.cars[car];
    unsigned mask = entryMask(c);
    if (index.mask[c.slot] != mask)
        setEntry(index, c.slot, mask);
}

Neighbours& findNeighboursIndexed(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        rebuildLaneIndex();
    Neighbours& nb = world.neighbours;
    nb.carIndex = car;
    nb.aheadCount = nb.behindCount = nb.euBehindCount = 0;
    int n = world.order.count;
    int s = world.cars[car].slot;
    const int* slots = world.order.slots;
    const unsigned own = index.mask[s];
    for (int lane = 0; lane < LaneTotal; lane++) {
        // A lane whose only member is the car itself, or none, has no neighbour.
        const int inLaneSet = lane + LaneTotal;
        bool members = index.members[lane] > int((own >> lane) & 1);
        bool inLane = index.members[inLaneSet] > int((own >> inLaneSet) & 1);
        int ahead = members ? nextMember(index, lane, s, n) : -1;
        int behind = members ? previousMember(index, lane, s, n) : -1;
        int euBehind = inLane ? previousMember(index, inLaneSet, s, n) : -1;
        nb.aheadByLane[lane] = ahead >= 0 ? slots[ahead] : -1;
        nb.behindByLane[lane] = behind >= 0 ? slots[behind] : -1;
        nb.euBehindByLane[lane] = euBehind >= 0 ? slots[euBehind] : -1;
        nb.aheadCount += ahead >= 0;
        nb.behindCount += behind >= 0;
        nb.euBehindCount += euBehind >= 0;
    }
    return nb;
}
