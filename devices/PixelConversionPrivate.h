#pragma once
// The implementations behind ConvertFrame, for tests and benchmarks.

#include "devices/PixelConversion.h"

#include <array>
#include <vector>

namespace devices {

// Where the planes of an uncompressed frame lie, once LocatePlanes has checked them against the
// frame's length. plane1 and plane2 are the chroma planes (NV12: plane1 only, interleaved U, V;
// YU12: plane1 U, plane2 V), chromaStride their row distance.
struct SourcePlanes {
    uint32 fourcc;
    int32 width;
    int32 height;
    const uint8* plane0;
    int32 stride0;
    const uint8* plane1;
    const uint8* plane2;
    int32 chromaStride;
};

// BT.601 limited range in 16-bit fixed point with 6 fraction bits. With Y, U and V the 8-bit
// samples and ">> 8" rounding down:
//     t = (Y * LUMA_SCALE) >> 8
//     R = clamp((t + ((V * RED_FROM_V) >> 8) - RED_OFFSET) >> 6)
//     G = clamp((t - ((U * GREEN_FROM_U) >> 8) - ((V * GREEN_FROM_V) >> 8) + GREEN_OFFSET) >> 6)
//     B = clamp((t + ((U * BLUE_FROM_U) >> 8) - BLUE_OFFSET) >> 6)
//     grey = clamp((t - GREY_OFFSET) >> 6)
// Every product is a 16-bit high-half multiply of the sample shifted up by 8, and every sum but
// blue's fits a signed 16-bit lane; blue's may only overflow where it clamps to 255 anyway.
constexpr int32 LUMA_SCALE = 19077;
constexpr int32 RED_FROM_V = 26149;
constexpr int32 GREEN_FROM_U = 6419;
constexpr int32 GREEN_FROM_V = 13320;
constexpr int32 BLUE_FROM_U = 33050;
constexpr int32 RED_OFFSET = 14234;
constexpr int32 GREEN_OFFSET = 8709;
constexpr int32 BLUE_OFFSET = 17685;
constexpr int32 GREY_OFFSET = 1160;

// Target pixel formats of the reference, one per colour space.
struct Rgb32Target;
struct Rgb16Target;
struct Rgb15Target;
struct Gray8Target;

// Checks an uncompressed frame's format, size, row length and byte count, and finds its planes.
// B_BAD_VALUE for anything wrong, as ConvertFrame reports it.
[[nodiscard]] status_t LocatePlanes(const CapturedFrame& frame, SourcePlanes& planes);

// B_OK when the target has a known colour space, a positive size and rows long enough.
[[nodiscard]] status_t CheckTarget(const TargetFrame& target);

// The same frame and target from column x (even) on, for the columns a fast path leaves over.
SourcePlanes PlanesFromColumn(const SourcePlanes& planes, int32 x);
TargetFrame TargetFromColumn(const TargetFrame& target, int32 x);

// The rows one row of pixels reads: luma (or the packed pixels), and the chroma rows (null where
// the format has none).
struct SourceRows {
    const uint8* luma;
    const uint8* u;
    const uint8* v;
};

SourceRows RowsOf(const SourcePlanes& planes, int32 y);

using ConvertFunction = void (*)(const SourcePlanes& from, const TargetFrame& to);

// How the rows of a target of another width take their pixels from a converted source row: the
// nearest source column of each target column and, for each whole 16 bytes of a target row, the
// byte shuffle that finds them in 16 bytes of the converted row.
constexpr int32 PICK_CHUNK = 16;

struct ChunkShuffle {
    alignas(16) std::array<uint8, PICK_CHUNK> bytes;
};

struct ColumnPicks {
    int32 bytesPerPixel;
    std::vector<int32> columns;
    // Where in the converted row each chunk's shuffle reads; -1 where its pixels lie further apart
    // than 16 bytes (a narrower target), which are picked one at a time.
    std::vector<int32> chunkStart;
    std::vector<ChunkShuffle> chunkShuffle;
};

// Copies COUNT pixels of the target row from firstPixel on, one at a time.
void PickColumns(const uint8* converted, const ColumnPicks& picks, int32 firstPixel, int32 count,
    uint8* row);

using PickFunction = void (*)(const uint8* converted, const ColumnPicks& picks, uint8* row);

void PickColumnsReference(const uint8* converted, const ColumnPicks& picks, uint8* row);

// Converts a frame into a target of another size through an implementation for equal sizes: each
// source row the target needs is converted whole, once, into a row buffer with PICK_CHUNK spare
// bytes, and PICK takes the target's pixels from it by the nearest column. Gives the reference's
// bytes.
void ConvertScaled(const SourcePlanes& from, const TargetFrame& to, ConvertFunction sameSize,
    PickFunction pick = PickColumnsReference);

// The reference for one target pixel format: plain code for every uncompressed format and any
// two sizes (nearest pixel). It defines the result; the fast paths match it byte for byte.
template <typename Target>
void ConvertScalar(const SourcePlanes& from, const TargetFrame& to);

// ConvertScalar for the target's colour space. Takes planes from LocatePlanes and a target that
// passed CheckTarget, as every implementation below does.
void ConvertReference(const SourcePlanes& from, const TargetFrame& to);

#if defined(__x86_64__)
// The fast paths convert YUYV, UYVY, NV12 and YU12 frames into every target colour space, and
// 32-bit B, G, R, X frames (decoded JPEG frames among them) into the 32- and 16-bit ones, a target
// of another size through ConvertScaled; everything else they hand to the reference.
void ConvertSse2(const SourcePlanes& from, const TargetFrame& to);
// Only on a CPU with AVX2.
void ConvertAvx2(const SourcePlanes& from, const TargetFrame& to);
// The chunks through byte shuffles, the rest through PickColumns.
void PickColumnsAvx2(const uint8* converted, const ColumnPicks& picks, uint8* row);
// Only on a CPU with AVX2 and AVX-512 BW and VBMI: YUYV, UYVY, NV12 and YU12 into the 32- and
// 16-bit spaces; the rest through ConvertAvx2.
void ConvertAvx512(const SourcePlanes& from, const TargetFrame& to);
#endif

struct ConvertImplementation {
    const char* name;
    ConvertFunction function;
};

// Every implementation this CPU runs, the reference first.
std::vector<ConvertImplementation> ConvertImplementations();

// The one ConvertFrame uses, chosen on first use.
ConvertFunction ChosenConversion();

}
