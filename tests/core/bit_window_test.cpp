// The word of bits beside an entry, read by bytes (the step's way on this
// machine) and by words (the way on any other), held to what the lane
// index's search relies on: the nearest set bit is the nearest member.
#include "core/bit_window.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr int Words = 40;
constexpr int Entries = 64 * Words;

bool member(const std::vector<uint64_t>& words, int entry) {
    return entry >= 0 && entry < Entries && (words[entry >> 6] >> (entry & 63)) & 1;
}

// Bits 0.. of `got` stand for entries start, start+step, ...: the ones it
// claims are exact, and once a bit is wrong or past the reach, every later
// bit is 0. At least `exact` bits are right.
void expectNearFirst(const std::vector<uint64_t>& words, uint64_t got, int start, int step,
                     int exact) {
    bool reading = true;
    for (int k = 0; k < 64; k++) {
        const bool bit = (got >> k) & 1;
        const bool truth = member(words, start + step * k);
        if (k < exact) {
            ASSERT_EQ(bit, truth) << "entry " << start + step * k;
            continue;
        }
        if (bit != truth)
            reading = false;
        if (!reading) {
            ASSERT_FALSE(bit) << "entry " << start + step * k << " after an unread one";
        }
    }
}

template <bool ByBytes>
void checkEveryEntry(const std::vector<uint64_t>& words) {
    // By bytes, the eight bytes from first's byte must lie inside the words,
    // as the lane index's always do.
    const int lastFirst = ByBytes ? Entries - 57 : Entries - 1;
    for (int first = 0; first <= lastFirst; first++) {
        SCOPED_TRACE(first);
        uint64_t got = bitwindow::bitsAfter<ByBytes>(words.data(), Words, first);
        expectNearFirst(words, got, first, 1, 57);
    }
    for (int last = -1; last < Entries; last++) {
        SCOPED_TRACE(last);
        uint64_t got = bitwindow::bitsBefore<ByBytes>(words.data(), last);
        uint64_t reversed = 0;
        for (int k = 0; k < 64; k++)
            reversed |= ((got >> (63 - k)) & 1) << k;
        const int exact = ByBytes && last < 56 ? 0 : 57;
        expectNearFirst(words, reversed, last, -1, exact);
        if (ByBytes && last < 56) {
            EXPECT_EQ(got, 0u);
        }
    }
}

std::vector<uint64_t> randomBits(unsigned seed, int oneIn) {
    std::mt19937 rng(seed);
    std::vector<uint64_t> words(Words, 0);
    for (int e = 0; e < Entries; e++)
        if (rng() % oneIn == 0)
            words[e >> 6] |= uint64_t(1) << (e & 63);
    return words;
}

}  // namespace

TEST(BitWindow, ByWordsOnDenseAndSparseSets) {
    for (int oneIn : {1, 2, 4, 70, 1000}) {
        SCOPED_TRACE(oneIn);
        checkEveryEntry<false>(randomBits(7 + oneIn, oneIn));
    }
}

TEST(BitWindow, ByBytesOnDenseAndSparseSets) {
    if (!bitwindow::ByBytesHere)
        GTEST_SKIP() << "the bytes of a word lie the other way round on this machine";
    for (int oneIn : {1, 2, 4, 70, 1000}) {
        SCOPED_TRACE(oneIn);
        checkEveryEntry<true>(randomBits(7 + oneIn, oneIn));
    }
}

// The ends of the bitset: a member in the first and in the last entry only,
// read from every place, and an empty set.
TEST(BitWindow, MembersAtTheEndsAndNone) {
    std::vector<uint64_t> ends(Words, 0);
    ends[0] = 1;
    ends[Words - 1] = uint64_t(1) << 63;
    std::vector<uint64_t> none(Words, 0);
    checkEveryEntry<false>(ends);
    checkEveryEntry<false>(none);
    if (bitwindow::ByBytesHere) {
        checkEveryEntry<true>(ends);
        checkEveryEntry<true>(none);
    }
}
