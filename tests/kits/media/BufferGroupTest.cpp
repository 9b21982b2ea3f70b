#include "kits/media/BufferGroup.h"

#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using test_support::CountFreeBuffers;

buffer_clone_info CloneInfo(area_id area, size_t offset, size_t size, int32 flags = 0)
{
    buffer_clone_info info;
    info.area = area;
    info.offset = offset;
    info.size = size;
    info.flags = flags;
    return info;
}

TEST(BufferGroupTest, BufferKeepsItsMemoryAfterTheOriginalAreaIsDeleted)
{
    BBufferGroup group;
    void* address = nullptr;
    const area_id area = create_area("test area", &address, B_ANY_ADDRESS, 2 * B_PAGE_SIZE,
        B_FULL_LOCK, B_READ_AREA | B_WRITE_AREA);
    ASSERT_GE(area, 0);
    std::memset(address, 0x11, 2 * B_PAGE_SIZE);
    BBuffer* buffer = nullptr;
    ASSERT_EQ(group.AddBuffer(CloneInfo(area, 100, 5000, 7), &buffer), B_OK);
    // Ranges outside the area, empty ones and unknown areas are refused.
    EXPECT_EQ(group.AddBuffer(CloneInfo(area, 0, 2 * B_PAGE_SIZE + 1)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(area, 2 * B_PAGE_SIZE, 1)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(area, 0, 0)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(-5, 0, 16)), B_BAD_VALUE);
    delete_area(area);

    int32 count = -1;
    ASSERT_EQ(group.CountBuffers(&count), B_OK);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(group.RequestBuffer(5000, 0), buffer);
    EXPECT_EQ(buffer->SizeAvailable(), 5000u);
    EXPECT_EQ(buffer->Offset(), 100u);
    EXPECT_EQ(buffer->Flags(), 7);
    auto* bytes = static_cast<uint8*>(buffer->Data());
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[4999], 0x11);
    bytes[4999] = 0x22;
    EXPECT_EQ(bytes[4999], 0x22);
    buffer->SetSizeUsed(6000);
    EXPECT_EQ(buffer->SizeUsed(), 5000u) << "the size used is capped at the size available";
    buffer->Recycle();
}

TEST(BufferGroupTest, BuffersAreListedAsMadeAndHandedOutInTheOrderTheyBecameFree)
{
    BBufferGroup group(1000, 3);
    ASSERT_EQ(group.InitCheck(), B_OK);
    EXPECT_EQ(BBufferGroup(0, 3).InitCheck(), B_BAD_VALUE);
    BBuffer* list[4] = {};
    EXPECT_EQ(group.GetBufferList(0, list), B_BAD_VALUE);
    ASSERT_EQ(group.GetBufferList(4, list), B_OK);
    EXPECT_EQ(list[3], nullptr);
    EXPECT_NE(list[0]->Data(), list[1]->Data());
    EXPECT_NE(list[0]->ID(), list[1]->ID());
    EXPECT_EQ(list[2]->SizeAvailable(), 1000u);

    BBuffer* first = group.RequestBuffer(1000, 0);
    EXPECT_EQ(first, list[0]);
    EXPECT_EQ(group.RequestBuffer(1000, 0), list[1]);
    first->Recycle();
    EXPECT_EQ(group.RequestBuffer(1000, 0), list[2]);
    EXPECT_EQ(group.RequestBuffer(1000, 0), list[0]);
    for (int32 i = 0; i < 3; i++)
        list[i]->Recycle();
    EXPECT_EQ(CountFreeBuffers(group), 3);
}

TEST(BufferGroupTest, RequestWaitsForARecycledBufferUntilItsTimeOutButNotForOneTooSmall)
{
    BBufferGroup group(64, 1);
    BBuffer* held = group.RequestBuffer(64, 0);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(group.RequestBuffer(64, 0), nullptr);
    bigtime_t before = system_time();
    EXPECT_EQ(group.RequestBuffer(64, 20000), nullptr);
    EXPECT_GE(system_time() - before, 20000);

    std::atomic<bool> requesting{false};
    std::atomic<BBuffer*> received{nullptr};
    std::thread requester([&] {
        requesting = true;
        received = group.RequestBuffer(64, test_support::AWAIT_TIMEOUT);
    });
    // Most likely waiting by now; a request that came later finds the buffer free.
    EXPECT_TRUE(test_support::Await([&] { return requesting.load(); }));
    held->Recycle();
    requester.join();
    EXPECT_EQ(received.load(), held);
    held->Recycle();

    before = system_time();
    EXPECT_EQ(group.RequestBuffer(65, 5000000), nullptr);
    EXPECT_LT(system_time() - before, 1000000);
}

TEST(BufferGroupTest, DeletingTheGroupKeepsABufferOutValidUntilRecycled)
{
    auto group = std::make_unique<BBufferGroup>(4096, 3);
    BBuffer* out = group->RequestBuffer(0, 0);
    ASSERT_NE(out, nullptr);
    std::memset(out->Data(), 0x33, 4096);
    group.reset();

    // Still mapped and still the holder's; the sanitizers would catch a free.
    auto* bytes = static_cast<uint8*>(out->Data());
    EXPECT_EQ(bytes[4095], 0x33);
    bytes[0] = 0x44;
    EXPECT_EQ(out->Header()->buffer, out->ID());
    out->Recycle();
}

TEST(BufferGroupTest, ReclaimAllBuffersWaitsForTheLastOneButNotForever)
{
    BBufferGroup group(64, 2);
    BBuffer* out = group.RequestBuffer(0, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(group.ReclaimAllBuffers(), B_TIMED_OUT);

    std::atomic<bool> reclaiming{false};
    std::atomic<status_t> reclaimed{1};
    std::thread reclaimer([&] {
        reclaiming = true;
        reclaimed = group.ReclaimAllBuffers();
    });
    EXPECT_TRUE(test_support::Await([&] { return reclaiming.load(); }));
    // Whether or not the reclaimer waits yet, it cannot be done before the buffer is back.
    EXPECT_EQ(reclaimed, 1);
    out->Recycle();
    reclaimer.join();
    EXPECT_EQ(reclaimed, B_OK);
    EXPECT_EQ(CountFreeBuffers(group), 2);
}

TEST(BufferGroupDeathTest, RecyclingABufferThatIsNotOutStopsTheProcessInEveryBuild)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            BBufferGroup group(64, 1);
            BBuffer* buffer = group.RequestBuffer(0, 0);
            buffer->Recycle();
            buffer->Recycle();
        },
        "recycled although it was not out");
}

} // namespace
