#include "kits/kernel/Rect.h"

#include <gtest/gtest.h>

namespace {

TEST(RectTest, EdgesAreInclusiveAndIntegerSizesRoundUp)
{
    const BRect picture(0, 0, 767, 431);
    EXPECT_EQ(picture.Width(), 767.0f);
    EXPECT_EQ(picture.IntegerWidth() + 1, 768);
    EXPECT_EQ(picture.IntegerHeight() + 1, 432);
    EXPECT_TRUE(picture.Contains(BPoint(767, 431)));
    EXPECT_FALSE(picture.Contains(BPoint(768, 431)));
    EXPECT_TRUE(BRect(5, 5, 5, 5).IsValid());
    EXPECT_TRUE(picture.Contains(BRect(767, 431, 767, 431)));
    EXPECT_EQ(BRect(0, 0, 10.2f, 3.0f).IntegerWidth(), 11);
    EXPECT_EQ(BRect(0, 0, 10.2f, 3.0f).IntegerHeight(), 3);
}

TEST(RectTest, RectanglesSharingAnEdgePixelIntersectAndTheDefaultOneMeetsNothing)
{
    const BRect a(0, 0, 9, 9);
    EXPECT_TRUE(a.Intersects(BRect(9, 9, 20, 20)));
    EXPECT_FALSE(a.Intersects(BRect(10, 0, 20, 9)));
    EXPECT_EQ(a & BRect(9, 5, 20, 20), BRect(9, 5, 9, 9));
    EXPECT_FALSE((a & BRect(10, 0, 20, 9)).IsValid());
    EXPECT_EQ(a | BRect(20, -5, 30, 3), BRect(0, -5, 30, 9));

    const BRect empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_FALSE(empty.Intersects(a));
    EXPECT_FALSE(a.Contains(empty));
}

TEST(RectTest, OffsetAndInsetMoveEdges)
{
    BRect rect(10, 20, 30, 40);
    rect.OffsetBy(5, -5);
    EXPECT_EQ(rect, BRect(15, 15, 35, 35));
    rect.OffsetTo(BPoint(0, 0));
    EXPECT_EQ(rect, BRect(0, 0, 20, 20));
    rect.InsetBy(2, 3);
    EXPECT_EQ(rect, BRect(2, 3, 18, 17));
    rect.InsetBy(-2, -3);
    EXPECT_EQ(rect, BRect(0, 0, 20, 20));
    EXPECT_EQ(rect.LeftTop(), BPoint(0, 0));
    EXPECT_EQ(rect.RightBottom(), BPoint(20, 20));
    BPoint point = BPoint(1, 2) + BPoint(10, 20);
    EXPECT_EQ(point, BPoint(11, 22));
    point -= BPoint(1, 2);
    EXPECT_EQ(point - BPoint(10, 20), BPoint(0, 0));
}

}
