// The simulation's own random numbers: xoshiro256** seeded through
// splitmix64. Integer arithmetic only, so every build (native, MinGW, any
// optimisation) draws the same numbers from the same seed; the state is four
// words of the world record, so a copy of the world carries where the draws
// stand and going back replays them.
#pragma once

#include <cstdint>

struct RandomState {
    uint64_t s[4];
};

// The four words from a seed: every seed, 0 and 2^64-1 included, gives a
// state that is not all zeros.
void seedRandom(RandomState& r, uint64_t seed);

inline uint64_t rotateLeft(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

inline uint64_t nextRandom(RandomState& r) {
    uint64_t* s = r.s;
    const uint64_t result = rotateLeft(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotateLeft(s[3], 45);
    return result;
}

// A probability as the draws test it: a draw's top 53 bits below this. 0
// never, 2^53 always; p is clamped to 0..1.
uint64_t chanceThreshold(double p);

inline bool drawBelow(RandomState& r, uint64_t threshold) { return (nextRandom(r) >> 11) < threshold; }
