#include "kits/interface/Bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct RowCase {
    color_space space;
    int32 width;
    int32 bytesPerRow;
};

TEST(BitmapTest, BoundsStartAtTheOriginAndRowsArePaddedToWholeWords)
{
    const RowCase cases[] = {
        {B_RGB32, 1, 4}, {B_RGB32, 767, 3068},
        {B_RGB16, 1, 4}, {B_RGB16, 3, 8}, {B_RGB16, 4, 8}, {B_RGB16, 767, 1536},
        {B_RGB15, 5, 12}, {B_RGB15, 6, 12},
        {B_GRAY8, 1, 4}, {B_GRAY8, 5, 8}, {B_GRAY8, 8, 8}, {B_GRAY8, 767, 768},
        {B_RGB24, 1, 4}, {B_RGB24, 3, 12}, {B_RGB24, 5, 16}, {B_RGB24, 767, 2304},
        {B_CMAP8, 3, 4}, {B_GRAY1, 33, 8},
    };
    for (const RowCase& rowCase : cases) {
        SCOPED_TRACE(testing::Message() << "space " << rowCase.space << " width "
                                        << rowCase.width);
        BBitmap bitmap(BRect(10, 20, float(10 + rowCase.width - 1), 22), rowCase.space);
        ASSERT_EQ(bitmap.InitCheck(), B_OK);
        EXPECT_EQ(bitmap.Bounds(), BRect(0, 0, float(rowCase.width - 1), 2));
        EXPECT_EQ(bitmap.ColorSpace(), rowCase.space);
        EXPECT_EQ(bitmap.BytesPerRow(), rowCase.bytesPerRow);
        EXPECT_EQ(bitmap.BitsLength(), rowCase.bytesPerRow * 3);
    }
}

TEST(BitmapTest, BitsLieInAnAreaOfWholePagesThatAClonedAreaShares)
{
    BBitmap bitmap(BRect(0, 0, 767, 575), B_RGB16, false, true);
    ASSERT_TRUE(bitmap.IsValid());
    auto* bits = static_cast<uint8*>(bitmap.Bits());
    EXPECT_EQ(area_for(bits + bitmap.BitsLength() - 1), bitmap.Area());
    area_info info;
    ASSERT_EQ(get_area_info(bitmap.Area(), &info), B_OK);
    EXPECT_EQ(info.size % B_PAGE_SIZE, 0u);
    EXPECT_GE(info.size, size_t(bitmap.BitsLength()));
    const std::vector<uint8> zeros(size_t(bitmap.BitsLength()), 0);
    EXPECT_EQ(std::memcmp(bits, zeros.data(), zeros.size()), 0);
    void* address = nullptr;
    const area_id clone = clone_area("buffer", &address, B_ANY_ADDRESS,
        B_READ_AREA | B_WRITE_AREA, area_for(bits));
    ASSERT_GE(clone, 0);
    static_cast<uint8*>(address)[100] = 0x5A;
    EXPECT_EQ(bits[100], 0x5A);
    EXPECT_EQ(delete_area(clone), B_OK);
}

TEST(BitmapTest, ImpossibleBitmapsFailWithoutThrowing)
{
    BBitmap inverted(BRect(0, 0, -1, 10), B_RGB32);
    EXPECT_EQ(inverted.InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(inverted.Bits(), nullptr);
    EXPECT_EQ(inverted.BitsLength(), 0);
    for (color_space space : {color_space(0x7777), B_NO_COLOR_SPACE})
        EXPECT_EQ(BBitmap(BRect(0, 0, 9, 9), space).InitCheck(), B_BAD_VALUE) << space;
    BBitmap huge(BRect(0, 0, 100000, 100000), B_RGB32);
    EXPECT_EQ(huge.InitCheck(), B_NO_MEMORY);
    EXPECT_EQ(huge.Bits(), nullptr);
    BBitmap enormous(BRect(0, 0, 3e38f, 0), B_GRAY8);
    EXPECT_EQ(enormous.InitCheck(), B_NO_MEMORY);
}

TEST(BitmapTest, DrawableSpacesAreTheFourVideoSpacesAndTheirAlphaVariants)
{
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32, B_RGBA15, B_RGBA32}) {
        uint32 flags = 0;
        EXPECT_TRUE(bitmaps_support_space(space, &flags)) << space;
        EXPECT_EQ(flags, uint32(B_VIEWS_SUPPORT_DRAW_BITMAP));
    }
    for (color_space space : {B_CMAP8, B_RGB24, B_GRAY1, B_NO_COLOR_SPACE}) {
        uint32 flags = 0xFF;
        EXPECT_FALSE(bitmaps_support_space(space, &flags)) << space;
        EXPECT_EQ(flags, 0u);
    }
    EXPECT_TRUE(bitmaps_support_space(B_GRAY8, nullptr));
}

}
