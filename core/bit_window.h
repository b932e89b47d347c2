// The stretch of a bitset just after or just before one of its entries, as
// one word got without a branch: the lane index looks for a car's nearest
// neighbours there before it goes round the ring. Bit k of word w stands for
// entry 64w+k.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace bitwindow {

// What callers may rely on, by bytes or by words alike:
//  - bitsAfter(first): bit k stands for entry first+k. Bits 0 to 56 at least
//    are exact, and past the exact ones every bit is 0: the lowest set bit,
//    if any, is the nearest member from first on. By bytes, the eight bytes
//    from first's byte must lie inside the words; by words, first's word.
//  - bitsBefore(last): bit 63-k stands for entry last-k, exact from bit 63
//    down in the same way; entries below 0 are 0. By bytes, a last below 56
//    gives 0: nothing is read, and the caller looks further.

inline uint64_t eightBytes(const uint64_t* words, int byte) {
    uint64_t x;
    std::memcpy(&x, reinterpret_cast<const unsigned char*>(words) + byte, sizeof x);
    return x;
}

// By bytes: on a little-endian machine the words' bytes are the bitset's
// bytes in order, so any eight of them are 64 entries of the set.
template <bool ByBytes>
inline uint64_t bitsAfter(const uint64_t* words, int wordCount, int first) {
    if constexpr (ByBytes) {
        (void)wordCount;
        return eightBytes(words, first >> 3) >> (first & 7);
    } else {
        const int w = first >> 6, k = first & 63;
        const uint64_t high = w + 1 < wordCount ? words[w + 1] : 0;
        return (words[w] >> k) | ((high << 1) << (63 - k));
    }
}

template <bool ByBytes>
inline uint64_t bitsBefore(const uint64_t* words, int last) {
    if constexpr (ByBytes) {
        // From the seventh byte below last's; the shift puts last at the top
        // and drops the entries above it.
        if (last < 56)
            return 0;
        return eightBytes(words, (last >> 3) - 7) << (7 - (last & 7));
    } else {
        if (last < 0)
            return 0;
        const int w = last >> 6, k = last & 63;
        const uint64_t low = w > 0 ? words[w - 1] : 0;
        return (words[w] << (63 - k)) | ((low >> 1) >> k);
    }
}

constexpr bool ByBytesHere = std::endian::native == std::endian::little;

}  // namespace bitwindow
