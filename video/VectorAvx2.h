#pragma once
// The AVX2 vector wrapper the filters' fast paths are written over. Included only by the files
// built with -mavx2; its anonymous namespace gives each of them its own Avx2, and every function
// here is always inlined, so every filter instantiated over it stays in the file that includes it
// and no code compiled for AVX2 can be the copy the linker keeps for code run on any CPU.

#include "kits/kernel/SupportDefs.h"

#include <immintrin.h>

namespace video {

namespace {

struct Avx2 {
    using Reg = __m256i;
    static constexpr int32 BYTES = 32;

    [[gnu::always_inline]] static Reg Zero() { return _mm256_setzero_si256(); }
    [[gnu::always_inline]] static Reg Set16(int16 value) { return _mm256_set1_epi16(value); }
    [[gnu::always_inline]] static Reg Set32(int32 value) { return _mm256_set1_epi32(value); }
    // Each lane holding its own index, lowest lane first.
    [[gnu::always_inline]] static Reg LaneIndex16()
    {
        return _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    }
    [[gnu::always_inline]] static Reg LaneIndex32()
    {
        return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    }
    [[gnu::always_inline]] static Reg Load(const uint8* address)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(address));
    }
    [[gnu::always_inline]] static void Store(uint8* address, Reg value)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(address), value);
    }
    [[gnu::always_inline]] static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    // ~a & b.
    [[gnu::always_inline]] static Reg AndNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }
    [[gnu::always_inline]] static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    [[gnu::always_inline]] static Reg Xor(Reg a, Reg b) { return _mm256_xor_si256(a, b); }
    [[gnu::always_inline]] static Reg Add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    [[gnu::always_inline]] static Reg Sub32(Reg a, Reg b) { return _mm256_sub_epi32(a, b); }
    // The rounding average of unsigned 16-bit lanes.
    [[gnu::always_inline]] static Reg Average16(Reg a, Reg b) { return _mm256_avg_epu16(a, b); }
    [[gnu::always_inline]] static Reg SubtractSaturated8(Reg a, Reg b)
    {
        return _mm256_subs_epu8(a, b);
    }
    [[gnu::always_inline]] static Reg SubtractSaturated16(Reg a, Reg b)
    {
        return _mm256_subs_epu16(a, b);
    }
    // Sums of adjacent signed 16-bit products, in 32-bit lanes.
    [[gnu::always_inline]] static Reg PairSum16(Reg a, Reg b) { return _mm256_madd_epi16(a, b); }
    [[gnu::always_inline]] static Reg ShiftRight16(Reg a, int count)
    {
        return _mm256_srli_epi16(a, count);
    }
    [[gnu::always_inline]] static Reg ShiftRight32(Reg a, int count)
    {
        return _mm256_srli_epi32(a, count);
    }
    [[gnu::always_inline]] static Reg ShiftLeft32(Reg a, int count)
    {
        return _mm256_slli_epi32(a, count);
    }
    [[gnu::always_inline]] static Reg Equal8(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    [[gnu::always_inline]] static Reg Equal16(Reg a, Reg b) { return _mm256_cmpeq_epi16(a, b); }
    [[gnu::always_inline]] static Reg Equal32(Reg a, Reg b) { return _mm256_cmpeq_epi32(a, b); }
    // Signed comparisons.
    [[gnu::always_inline]] static Reg Greater16(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
    [[gnu::always_inline]] static Reg Greater32(Reg a, Reg b) { return _mm256_cmpgt_epi32(a, b); }
    // mask ? a : b, for a mask whose bytes are each all ones or all zeros, as comparisons give.
    [[gnu::always_inline]] static Reg Select(Reg mask, Reg a, Reg b)
    {
        return _mm256_blendv_epi8(b, a, mask);
    }
    // The top bit of each byte, lowest byte in bit 0.
    [[gnu::always_inline]] static uint32 MoveMask8(Reg a)
    {
        return uint32(_mm256_movemask_epi8(a));
    }
    // Whether the top bit of every byte is set: of a mask, whether every bit is.
    [[gnu::always_inline]] static bool AllOnes(Reg a) { return _mm256_movemask_epi8(a) == -1; }
    // The sum of the unsigned 32-bit lanes.
    [[gnu::always_inline]] static uint64 Sum32(Reg a)
    {
        alignas(BYTES) uint32 lanes[BYTES / 4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), a);
        uint64 sum = 0;
        for (uint32 lane : lanes)
            sum += lane;
        return sum;
    }
};

}

}
