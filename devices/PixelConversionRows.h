#pragma once
// The row walk the fast paths of ConvertFrame share. Each path's file instantiates it with its
// own loaders, arithmetic and storers, which live in that file's anonymous namespace, so every
// instantiation is compiled for its own instruction set and stays within its file.

#include "devices/PixelConversionPrivate.h"

namespace devices {

// Converts the pixels of every row up to the last whole STEP with LOADER, ARITHMETIC and STORER,
// and hands the columns left over to REST.
//     Loader::SHARED_CHROMA    true for the 4:2:0 formats, whose two rows share one chroma row
//     Loader::Luma(row, x)     those formats' luma of STEP pixels from x, Loader::Chroma(rows, x)
//                              the chroma of their pairs
//     Loader::Load(rows, x)    the other formats' luma and chroma of STEP pixels, as .luma and
//                              .chroma
//     Arithmetic::Luma(luma), Arithmetic::Chroma(chroma)   what the storer takes of them
//     Storer::Store(luma, chroma, at), Storer::BYTES       STEP target pixels at `at`
template <int32 STEP, typename Loader, typename Arithmetic, typename Storer>
[[gnu::always_inline]] inline void ConvertRows(const SourcePlanes& from, const TargetFrame& to,
    ConvertFunction rest)
{
    const int32 covered = to.width / STEP * STEP;
    int32 y = 0;
    while (y < to.height) {
        const SourceRows rows = RowsOf(from, y);
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        if constexpr (Loader::SHARED_CHROMA) {
            if (y + 1 < to.height) {
                const uint8* nextLuma = rows.luma + from.stride0;
                uint8* nextRow = row + to.bytesPerRow;
                for (int32 x = 0; x < covered; x += STEP) {
                    const auto chroma = Arithmetic::Chroma(Loader::Chroma(rows, x));
                    const int64 offset = int64(x) * Storer::BYTES;
                    Storer::Store(Arithmetic::Luma(Loader::Luma(rows.luma, x)), chroma,
                        row + offset);
                    Storer::Store(Arithmetic::Luma(Loader::Luma(nextLuma, x)), chroma,
                        nextRow + offset);
                }
                y += 2;
                continue;
            }
            for (int32 x = 0; x < covered; x += STEP) {
                Storer::Store(Arithmetic::Luma(Loader::Luma(rows.luma, x)),
                    Arithmetic::Chroma(Loader::Chroma(rows, x)), row + int64(x) * Storer::BYTES);
            }
        } else {
            for (int32 x = 0; x < covered; x += STEP) {
                const auto samples = Loader::Load(rows, x);
                Storer::Store(Arithmetic::Luma(samples.luma), Arithmetic::Chroma(samples.chroma),
                    row + int64(x) * Storer::BYTES);
            }
        }
        y++;
    }
    if (covered < to.width)
        rest(PlanesFromColumn(from, covered), TargetFromColumn(to, covered));
}

}
