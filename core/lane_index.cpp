// The neighbour search from per-lane bitsets over ring entries. The plain walk
// of findNeighbours visits the whole ring for a lane that holds no car, which
// makes a step cost the square of the car count when a lane is empty or
// nearly so; here the nearest member of each lane is the nearest set bit, a
// few word operations away. The result is the walk's, bit for bit.
#include "sim.h"

#include <cstring>

namespace {

uint8_t entryMask(const Car& car) {
    unsigned mask = 0;
    if (unsigned(car.lane) < LaneTotal) {
        mask |= 1u << car.lane;
        mask |= 16u << car.lane;
        if (car.change == 1 && car.lane != 0)
            mask |= 1u << (car.lane - 1);
        else if (car.change == 2 && car.lane != 3)
            mask |= 1u << (car.lane + 1);
    }
    return uint8_t(mask);
}

// First set bit in [from, to), or -1.
int firstSetBit(const uint64_t* words, int from, int to) {
    if (from >= to)
        return -1;
    int w = from >> 6;
    uint64_t bits = words[w] & (~uint64_t(0) << (from & 63));
    int lastWord = (to - 1) >> 6;
    for (;;) {
        if (bits) {
            int bit = (w << 6) + __builtin_ctzll(bits);
            return bit < to ? bit : -1;
        }
        if (++w > lastWord)
            return -1;
        bits = words[w];
    }
}

// Last set bit in [from, to), or -1.
int lastSetBit(const uint64_t* words, int from, int to) {
    if (from >= to)
        return -1;
    int w = (to - 1) >> 6;
    int top = (to - 1) & 63;
    uint64_t bits = words[w] & (top == 63 ? ~uint64_t(0) : (uint64_t(2) << top) - 1);
    int firstWord = from >> 6;
    for (;;) {
        if (bits) {
            int bit = (w << 6) + 63 - __builtin_clzll(bits);
            return bit >= from ? bit : -1;
        }
        if (--w < firstWord)
            return -1;
        bits = words[w];
    }
}

// Nearest entry after s round the ring, never s itself.
int nextMember(const uint64_t* words, int s, int n) {
    int e = firstSetBit(words, s + 1, n);
    return e >= 0 ? e : firstSetBit(words, 0, s);
}

// Nearest entry before s round the ring, never s itself.
int previousMember(const uint64_t* words, int s, int n) {
    int e = lastSetBit(words, 0, s);
    return e >= 0 ? e : lastSetBit(words, s + 1, n);
}

void setEntry(LaneIndex& index, int entry, uint8_t mask) {
    uint8_t old = index.mask[entry];
    unsigned differ = old ^ mask;
    index.mask[entry] = mask;
    uint64_t bit = uint64_t(1) << (entry & 63);
    int w = entry >> 6;
    for (int b = 0; differ; b++, differ >>= 1) {
        if (!(differ & 1))
            continue;
        uint64_t* words = b < 4 ? index.member[b] : index.inLane[b - 4];
        int* count = b < 4 ? &index.memberCount[b] : &index.inLaneCount[b - 4];
        words[w] ^= bit;
        *count += (mask >> b) & 1 ? 1 : -1;
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

// Called after the car's lane or change may have moved on.
void refreshLaneIndex(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        return;
    const Car& c = world.cars[car];
    uint8_t mask = entryMask(c);
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
        bool members = index.memberCount[lane] > int((own >> lane) & 1);
        bool inLane = index.inLaneCount[lane] > int((own >> (lane + 4)) & 1);
        int ahead = members ? nextMember(index.member[lane], s, n) : -1;
        int behind = members ? previousMember(index.member[lane], s, n) : -1;
        int euBehind = inLane ? previousMember(index.inLane[lane], s, n) : -1;
        nb.aheadByLane[lane] = ahead >= 0 ? slots[ahead] : -1;
        nb.behindByLane[lane] = behind >= 0 ? slots[behind] : -1;
        nb.euBehindByLane[lane] = euBehind >= 0 ? slots[euBehind] : -1;
        nb.aheadCount += ahead >= 0;
        nb.behindCount += behind >= 0;
        nb.euBehindCount += euBehind >= 0;
    }
    return nb;
}
