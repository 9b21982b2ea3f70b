#pragma once
// The SSE2 vector wrapper the filters' fast paths are written over. Included only by the files
// built for SSE2; its anonymous namespace gives each of them its own Sse2, so every filter
// instantiated over it stays in the file that includes it.

#include "kits/kernel/SupportDefs.h"

#include <emmintrin.h>

namespace video {

namespace {

struct Sse2 {
    using Reg = __m128i;
    static constexpr int32 BYTES = 16;

    [[gnu::always_inline]] static Reg Zero() { return _mm_setzero_si128(); }
    [[gnu::always_inline]] static Reg Set16(int16 value) { return _mm_set1_epi16(value); }
    [[gnu::always_inline]] static Reg Set32(int32 value) { return _mm_set1_epi32(value); }
    // Each lane holding its own index, lowest lane first.
    [[gnu::always_inline]] static Reg LaneIndex16()
    {
        return _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    }
    [[gnu::always_inline]] static Reg LaneIndex32() { return _mm_setr_epi32(0, 1, 2, 3); }
    [[gnu::always_inline]] static Reg Load(const uint8* address)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(address));
    }
    [[gnu::always_inline]] static void Store(uint8* address, Reg value)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(address), value);
    }
    [[gnu::always_inline]] static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
    // ~a & b.
    [[gnu::always_inline]] static Reg AndNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); }
    [[gnu::always_inline]] static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    [[gnu::always_inline]] static Reg Xor(Reg a, Reg b) { return _mm_xor_si128(a, b); }
    [[gnu::always_inline]] static Reg Add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
    [[gnu::always_inline]] static Reg Sub32(Reg a, Reg b) { return _mm_sub_epi32(a, b); }
    // The rounding average of unsigned 16-bit lanes.
    [[gnu::always_inline]] static Reg Average16(Reg a, Reg b) { return _mm_avg_epu16(a, b); }
    [[gnu::always_inline]] static Reg SubtractSaturated8(Reg a, Reg b)
    {
        return _mm_subs_epu8(a, b);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated16(Reg a, Reg b)
    {
        return _mm_subs_epu16(a, b);
    }
    // Sums of adjacent signed 16-bit products, in 32-bit lanes.
    [[gnu::always_inline]] static Reg PairSum16(Reg a, Reg b) { return _mm_madd_epi16(a, b); }
    [[gnu::always_inline]] static Reg ShiftRight16(Reg a, int count)
    {
        return _mm_srli_epi16(a, count);
    }
    [[gnu::always_inline]] static Reg ShiftRight32(Reg a, int count)
    {
        return _mm_srli_epi32(a, count);
    }
    [[gnu::always_inline]] static Reg ShiftLeft32(Reg a, int count)
    {
        return _mm_slli_epi32(a, count);
    }
    [[gnu::always_inline]] static Reg Equal8(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static Reg Equal16(Reg a, Reg b) { return _mm_cmpeq_epi16(a, b); }
    [[gnu::always_inline]] static Reg Equal32(Reg a, Reg b) { return _mm_cmpeq_epi32(a, b); }
    // Signed comparisons.
    [[gnu::always_inline]] static Reg Greater16(Reg a, Reg b) { return _mm_cmpgt_epi16(a, b); }
    [[gnu::always_inline]] static Reg Greater32(Reg a, Reg b) { return _mm_cmpgt_epi32(a, b); }
    // mask ? a : b, for a mask whose bytes are each all ones or all zeros, as comparisons give.
    [[gnu::always_inline]] static Reg Select(Reg mask, Reg a, Reg b)
    {
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
    }
    // The top bit of each byte, lowest byte in bit 0.
    [[gnu::always_inline]] static uint32 MoveMask8(Reg a) { return uint32(_mm_movemask_epi8(a)); }
    // Whether the top bit of every byte is set: of a mask, whether every bit is.
    [[gnu::always_inline]] static bool AllOnes(Reg a) { return _mm_movemask_epi8(a) == 0xFFFF; }
    // The sum of the unsigned 32-bit lanes.
    [[gnu::always_inline]] static uint64 Sum32(Reg a)
    {
        alignas(BYTES) uint32 lanes[BYTES / 4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), a);
        uint64 sum = 0;
        for (uint32 lane : lanes)
            sum += lane;
        return sum;
    }
};

}

}
