#include "random.h"

namespace {

uint64_t splitMix(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void seedRandom(RandomState& r, uint64_t seed) {
    uint64_t x = seed;
    for (uint64_t& word : r.s)
        word = splitMix(x);
    // splitmix64 is a bijection of its counter, so four successive outputs are
    // never all zero; kept as a guard should the expansion ever change.
    if ((r.s[0] | r.s[1] | r.s[2] | r.s[3]) == 0)
        r.s[0] = 1;
}

uint64_t chanceThreshold(double p) {
    constexpr double Scale = 9007199254740992.0;  // 2^53
    if (!(p > 0))
        return 0;
    if (p >= 1)
        return uint64_t(1) << 53;
    return uint64_t(p * Scale);  // exact scaling by a power of two, then truncation
}
