#include "kits/storage/MallocIO.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MallocIOTest, WritesGrowTheBufferAndReadsFollowThePosition)
{
    BMallocIO io;
    EXPECT_EQ(io.WriteAt(1000, "", 0), 0);
    EXPECT_EQ(io.BufferLength(), 0u);
    EXPECT_EQ(io.Write("hello", 5), 5);
    EXPECT_EQ(io.Position(), 5);
    EXPECT_EQ(io.WriteAt(8, "!", 1), 1);
    ASSERT_EQ(io.BufferLength(), 9u);
    EXPECT_EQ(std::memcmp(io.Buffer(), "hello\0\0\0!", 9), 0);

    ASSERT_EQ(io.Seek(1, SEEK_SET), 1);
    char buffer[16] = {};
    EXPECT_EQ(io.Read(buffer, 4), 4);
    EXPECT_STREQ(buffer, "ello");
    EXPECT_EQ(io.Position(), 5);
    EXPECT_EQ(io.ReadAt(8, buffer, sizeof(buffer)), 1);
    EXPECT_EQ(io.ReadAt(9, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(io.ReadAt(50, buffer, sizeof(buffer)), 0);
    ASSERT_EQ(io.Seek(0, SEEK_END), 9);
    EXPECT_EQ(io.Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(io.ReadExactly(buffer, 1), B_IO_ERROR);
}

TEST(MallocIOTest, TruncateSeekAndWriteLeavesNoOldBytesAndBadValuesAreRefused)
{
    BMallocIO io;
    ASSERT_EQ(io.WriteExactly("old contents", 12), B_OK);
    EXPECT_EQ(io.Seek(-1, SEEK_END), 11);
    EXPECT_EQ(io.Seek(-20, SEEK_CUR), B_BAD_VALUE);
    EXPECT_EQ(io.Position(), 11);
    EXPECT_EQ(io.Seek(0, 42), B_BAD_VALUE);
    EXPECT_EQ(io.SetSize(-1), B_BAD_VALUE);
    EXPECT_EQ(io.ReadAt(-1, nullptr, 0), B_BAD_VALUE);
    EXPECT_EQ(io.WriteAt(-1, "x", 1), B_BAD_VALUE);
    EXPECT_EQ(io.GetSize(nullptr), B_BAD_VALUE);

    ASSERT_EQ(io.SetSize(0), B_OK);
    ASSERT_EQ(io.Seek(0, SEEK_SET), 0);
    ASSERT_EQ(io.WriteExactly("new", 3), B_OK);
    off_t size = 0;
    ASSERT_EQ(io.GetSize(&size), B_OK);
    EXPECT_EQ(size, 3);
    ASSERT_EQ(io.BufferLength(), 3u);
    EXPECT_EQ(std::memcmp(io.Buffer(), "new", 3), 0);
}
