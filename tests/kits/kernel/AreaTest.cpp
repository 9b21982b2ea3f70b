#include "kits/kernel/OS.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(AreaTest, AreaForFindsEveryByteAndACloneSharesTheMemoryAndOutlivesTheOriginal)
{
    void* address = nullptr;
    EXPECT_EQ(create_area("odd", &address, B_ANY_ADDRESS, 100, B_NO_LOCK, 0), B_BAD_VALUE);
    EXPECT_EQ(create_area("empty", &address, B_ANY_ADDRESS, 0, B_NO_LOCK, 0), B_BAD_VALUE);
    EXPECT_EQ(clone_area("none", &address, B_ANY_ADDRESS, 0, 999999), B_BAD_VALUE);
    area_id area = create_area("frame", &address, B_ANY_ADDRESS, 3 * B_PAGE_SIZE, B_NO_LOCK,
        B_READ_AREA | B_WRITE_AREA);
    ASSERT_GT(area, 0);
    auto* bytes = static_cast<uint8*>(address);
    EXPECT_EQ(area_for(bytes), area);
    EXPECT_EQ(area_for(bytes + 3 * B_PAGE_SIZE - 1), area);
    EXPECT_EQ(area_for(bytes + 3 * B_PAGE_SIZE), B_ERROR);
    int onStack = 0;
    EXPECT_EQ(area_for(&onStack), B_ERROR);
    area_info info;
    ASSERT_EQ(get_area_info(area, &info), B_OK);
    EXPECT_EQ(info.size, 3 * B_PAGE_SIZE);
    EXPECT_STREQ(info.name, "frame");

    void* cloneAddress = nullptr;
    area_id clone = clone_area("clone", &cloneAddress, B_ANY_ADDRESS,
        B_READ_AREA | B_WRITE_AREA, area);
    ASSERT_GT(clone, 0);
    std::memset(address, 0x5a, 3 * B_PAGE_SIZE);
    EXPECT_EQ(static_cast<uint8*>(cloneAddress)[3 * B_PAGE_SIZE - 1], 0x5a);
    EXPECT_EQ(delete_area(area), B_OK);
    EXPECT_EQ(delete_area(area), B_BAD_VALUE);
    // Still mapped through the clone.
    static_cast<uint8*>(cloneAddress)[0] = 1;
    EXPECT_EQ(area_for(cloneAddress), clone);
    EXPECT_EQ(delete_area(clone), B_OK);
    EXPECT_EQ(area_for(cloneAddress), B_ERROR);
}
