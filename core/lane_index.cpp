// The neighbour search from per-lane bitsets over ring entries. The plain walk
// of findNeighbours visits the whole ring for a lane that holds no car, which
// makes a step cost the square of the car count when a lane is empty or
// nearly so; here the nearest member of each lane is the nearest set bit, a
// few word operations away. The result is the walk's, bit for bit.
#include "bit_window.h"
#include "gaps.h"
#include "search.h"
#include "sim.h"

#include <cstring>

namespace {

unsigned entryMask(const Car& car) {
    unsigned mask = 0;
    if (unsigned(car.lane) < LaneTotal) {
        mask |= 1u << car.lane;
        mask |= 16u << car.lane;
        if (car.change == MovingRight && car.lane != 0)
            mask |= 1u << (car.lane - 1);
        else if (car.change == MovingLeft && car.lane != LeftmostLane)
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

// A car's nearest neighbours in a lane are almost always among the 57 or
// more entries on either side of its own, which one word read from the
// lane's bitset holds; the search round the ring is the fallback, and serves
// the ring's first entries too. Either way it is the same entry.
static_assert((MaxCars >> 3) + 8 <= int(sizeof(LaneIndex::bits[0])),
              "the eight bytes after the last entry's lie inside the bitset");

// Members of `set` after entry s (bit k: entry s+1+k) and before it (bit
// 63-k: entry s-1-k).
uint64_t membersAfter(const LaneIndex& index, int set, int s) {
    return bitwindow::bitsAfter<bitwindow::ByBytesHere>(index.bits[set], IndexWords, s + 1);
}

uint64_t membersBefore(const LaneIndex& index, int set, int s) {
    return bitwindow::bitsBefore<bitwindow::ByBytesHere>(index.bits[set], s - 1);
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
    for (int e = 0; e < world.order.count; e++) {
        const Car& car = world.cars[world.order.slots[e]];
        setEntry(index, e, entryMask(car));
        index.position[e] = car.position;
        index.speed[e] = car.speed;
    }
    index.valid = 1;
}

void swapLaneIndexEntries(int a, int b) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        return;
    unsigned maskA = index.mask[a], maskB = index.mask[b];
    // An exchange moves members between two entries: no count changes, and
    // when both entries share a word, neither does that word's summary bit.
    // There every set's word is flipped where the masks differ, without a
    // branch per set: whether two neighbours share a lane is a toss-up.
    unsigned differ = maskA ^ maskB;
    index.mask[a] = uint8_t(maskB);
    index.mask[b] = uint8_t(maskA);
    float position = index.position[a], speed = index.speed[a];
    index.position[a] = index.position[b];
    index.speed[a] = index.speed[b];
    index.position[b] = position;
    index.speed[b] = speed;
    int w = a >> 6;
    if (w == b >> 6) {
        uint64_t both = uint64_t(1) << (a & 63) | uint64_t(1) << (b & 63);
        for (int set = 0; set < IndexSets; set++)
            index.bits[set][w] ^= both & (uint64_t(0) - ((differ >> set) & 1));
        return;
    }
    for (int set = 0; differ; set++, differ >>= 1) {
        if (!(differ & 1))
            continue;
        flipBit(index, set, a);
        flipBit(index, set, b);
    }
}

// Called after the car's position, speed, lane or change may have moved on.
void refreshLaneIndex(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        return;
    const Car& c = world.cars[car];
    index.position[c.slot] = c.position;
    index.speed[c.slot] = c.speed;
    unsigned mask = entryMask(c);
    if (index.mask[c.slot] != mask)
        setEntry(index, c.slot, mask);
}

namespace {

// What the bitsets must do for a search from entry s in `set`.
enum BitsetSearch { NoOther, LoneOther, Search };

BitsetSearch bitsetSearch(const LaneIndex& index, int set, int s) {
    int own = (index.mask[s] >> set) & 1;
    int members = index.members[set];
    if (members <= own)
        return NoOther;  // the car alone in the set, or none
    return members == 1 ? LoneOther : Search;
}

// The one member of a set that has exactly one, not the car: both the
// nearest ahead and the nearest behind, found without a search round the
// ring (a lane that holds a single car, beside a full one).
int loneMember(const LaneIndex& index, int set) {
    int w = __builtin_ctzll(index.nonEmptyWords[set]);
    return (w << 6) + __builtin_ctzll(index.bits[set][w]);
}

int entryAheadInBitsets(int s, int set) {
    const LaneIndex& index = world.laneIndex;
    switch (bitsetSearch(index, set, s)) {
    case NoOther: return -1;
    case LoneOther: return loneMember(index, set);
    default: return nextMember(index, set, s, world.order.count);
    }
}

int entryBehindInBitsets(int s, int set) {
    const LaneIndex& index = world.laneIndex;
    switch (bitsetSearch(index, set, s)) {
    case NoOther: return -1;
    case LoneOther: return loneMember(index, set);
    default: return previousMember(index, set, s, world.order.count);
    }
}

// Ring entry of the nearest member of `set` ahead (behind) of entry s, never
// s itself; -1 for none. The word beside s answers almost always, so only it
// is inline.
inline int entryAhead(int s, int set) {
    const uint64_t x = membersAfter(world.laneIndex, set, s);
    return x ? s + 1 + __builtin_ctzll(x) : entryAheadInBitsets(s, set);
}

inline int entryBehind(int s, int set) {
    const uint64_t x = membersBefore(world.laneIndex, set, s);
    return x ? s - 1 - __builtin_clzll(x) : entryBehindInBitsets(s, set);
}

int carAt(int entry) { return entry >= 0 ? world.order.slots[entry] : -1; }

}  // namespace

Neighbours& findNeighboursIndexed(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        rebuildLaneIndex();
    Neighbours& nb = world.neighbours;
    nb.carIndex = car;
    nb.aheadCount = nb.behindCount = nb.euBehindCount = 0;
    const int entry = world.cars[car].slot;
    for (int lane = 0; lane < LaneTotal; lane++) {
        int ahead = carAt(entryAhead(entry, lane));
        int behind = carAt(entryBehind(entry, lane));
        int euBehind = carAt(entryBehind(entry, lane + LaneTotal));
        nb.aheadByLane[lane] = ahead;
        nb.behindByLane[lane] = behind;
        nb.euBehindByLane[lane] = euBehind;
        nb.aheadCount += ahead >= 0;
        nb.behindCount += behind >= 0;
        nb.euBehindCount += euBehind >= 0;
    }
    return nb;
}

namespace {

// The gaps from the lane index; the own lane's cars behind only when asked,
// and the sides' cars for the sides in `sides` (bit 0 the left, bit 1 the
// right), which must exist for the car's lane if it has one.
template <bool WithOwnBehind>
void gapsFromIndex(int car, GapView& out, unsigned sides) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        rebuildLaneIndex();
    const int lane = world.cars[car].lane;
    if (unsigned(lane) >= LaneTotal) {
        computeGaps(findNeighboursIndexed(car), out);
        return;
    }
    const int entry = world.cars[car].slot;
    NearCars near;  // ring entries
    near.ahead = entryAhead(entry, lane);
    near.behind = WithOwnBehind ? entryBehind(entry, lane) : -1;
    near.euBehind = WithOwnBehind ? entryBehind(entry, lane + LaneTotal) : -1;
    near.leftAhead = sides & 1 ? entryAhead(entry, lane + 1) : -1;
    near.leftBehind = sides & 1 ? entryBehind(entry, lane + 1) : -1;
    near.rightAhead = sides & 2 ? entryAhead(entry, lane - 1) : -1;
    near.rightBehind = sides & 2 ? entryBehind(entry, lane - 1) : -1;
    computeGapsOf<CarsByEntry>(car, near, out);
}

}  // namespace

// Seven of the twelve neighbours: the own lane's three and those ahead and
// behind in the lanes on either side.
void computeGapsIndexed(int car, GapView& out) {
    const int lane = world.cars[car].lane;
    gapsFromIndex<true>(car, out, unsigned(lane < LaneTotal - 1) | unsigned(lane > 0) << 1);
}

void computeStepGapsIndexed(int car, GapView& out, unsigned sides) {
    gapsFromIndex<false>(car, out, sides);
}

float tailgaterDistance(int car) {
    LaneIndex& index = world.laneIndex;
    if (!index.valid)
        rebuildLaneIndex();
    const Car& c = world.cars[car];
    if (unsigned(c.lane) >= LaneTotal)
        return NoCarDistance;  // as the full view has it: no lane, no car behind in it
    float distance = NoCarDistance, speed;
    fillBehind<CarsByEntry>(entryBehind(c.slot, c.lane + LaneTotal), c.position, distance, speed);
    return distance;
}
