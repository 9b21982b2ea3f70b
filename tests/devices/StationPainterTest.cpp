#include "devices/StationPainter.h"

#include <gtest/gtest.h>

#include <array>

namespace devices::test {
namespace {

TEST(StationPainterTest, PartsFollowEachOtherDownThePictureAndTheBandLiesWhereTheFilterLooks)
{
    // Below ten lines the band c - c/5 - c/20 reaches into the header.
    for (int32 lines = 10; lines <= 1080; lines++) {
        const StationLayout layout(lines * 4 / 3 + 1, lines);
        SCOPED_TRACE(lines);
        ASSERT_GE(layout.headerBottom, 1);
        ASSERT_LE(layout.headerBottom, layout.motionTop);
        ASSERT_LE(layout.nameBottom, layout.motionTop);
        ASSERT_LE(layout.motionTop, layout.motionBottom);
        ASSERT_LE(layout.motionBottom, layout.bandTop);
        ASSERT_LE(layout.bandTop, layout.bandBottom);
        ASSERT_LE(layout.bandBottom, lines);
        if (lines >= 100) {
            ASSERT_GE(layout.clockY - layout.clockRadius, layout.motionTop);
            ASSERT_LE(layout.clockY + layout.clockRadius, layout.motionBottom);
            ASSERT_LE(2 * layout.ballRadius, layout.motionBottom - layout.motionTop);
        }
    }
    // The band lies where the subtitle filter looks: a full PAL frame, one PAL field, a full
    // NTSC frame.
    for (const auto& [width, lines, top, bottom] : {std::array{768, 576, 431, 545},
             std::array{768, 288, 214, 271}, std::array{640, 480, 359, 454}}) {
        EXPECT_EQ(StationLayout(width, lines).bandTop, top) << lines;
        EXPECT_EQ(StationLayout(width, lines).bandBottom, bottom) << lines;
    }
}

}
}
