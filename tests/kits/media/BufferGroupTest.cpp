#include "kits/media/BufferGroup.h"

#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using test_support::CountFreeBuffers;

// An area of `pages` pages filled with `fill`, deleted with the object.
class TestArea {
public:
    TestArea(size_t pages, uint8 fill)
    {
        id = create_area("test area", &address, B_ANY_ADDRESS, pages * B_PAGE_SIZE,
            B_FULL_LOCK, B_READ_AREA | B_WRITE_AREA);
        if (id >= 0)
            std::memset(address, fill, pages * B_PAGE_SIZE);
    }
    ~TestArea() { Delete(); }
    void Delete()
    {
        if (id >= 0)
            delete_area(id);
        id = -1;
    }
    TestArea(const TestArea&) = delete;
    TestArea& operator=(const TestArea&) = delete;

    area_id id = -1;
    void* address = nullptr;
};

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
    TestArea area(2, 0x11);
    ASSERT_GE(area.id, 0);
    BBuffer* buffer = nullptr;
    ASSERT_EQ(group.AddBuffer(CloneInfo(area.id, 100, 5000, 7), &buffer), B_OK);
    area.Delete();

    BBuffer* requested = group.RequestBuffer(5000, 0);
    ASSERT_EQ(requested, buffer);
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

TEST(BufferGroupTest, AddBufferRefusesRangesOutsideTheAreaAndUnknownAreas)
{
    BBufferGroup group;
    TestArea area(1, 0);
    EXPECT_EQ(group.AddBuffer(CloneInfo(area.id, 0, B_PAGE_SIZE + 1)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(area.id, B_PAGE_SIZE, 1)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(area.id, 0, 0)), B_BAD_VALUE);
    EXPECT_EQ(group.AddBuffer(CloneInfo(-5, 0, 16)), B_BAD_VALUE);
    int32 count = -1;
    ASSERT_EQ(group.CountBuffers(&count), B_OK);
    EXPECT_EQ(count, 0);
}

TEST(BufferGroupTest, OwnMemoryGroupMakesCountBuffersListedInOrder)
{
    BBufferGroup group(1000, 3);
    ASSERT_EQ(group.InitCheck(), B_OK);
    BBuffer* list[5] = {};
    ASSERT_EQ(group.GetBufferList(5, list), B_OK);
    for (int32 i = 0; i < 3; i++) {
        ASSERT_NE(list[i], nullptr);
        EXPECT_EQ(list[i]->SizeAvailable(), 1000u);
    }
    EXPECT_EQ(list[3], nullptr);
    EXPECT_EQ(list[4], nullptr);
    EXPECT_NE(list[0]->Data(), list[1]->Data());
    EXPECT_NE(list[0]->ID(), list[1]->ID());

    EXPECT_EQ(BBufferGroup(0, 3).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(group.GetBufferList(0, list), B_BAD_VALUE);
}

TEST(BufferGroupTest, BuffersAreHandedOutInTheOrderTheyBecameFree)
{
    BBufferGroup group(64, 3);
    BBuffer* list[3] = {};
    ASSERT_EQ(group.GetBufferList(3, list), B_OK);
    BBuffer* first = group.RequestBuffer(64, 0);
    BBuffer* second = group.RequestBuffer(64, 0);
    EXPECT_EQ(first, list[0]);
    EXPECT_EQ(second, list[1]);
    first->Recycle();
    EXPECT_EQ(group.RequestBuffer(64, 0), list[2]);
    EXPECT_EQ(group.RequestBuffer(64, 0), list[0]);
    for (BBuffer* buffer : list)
        buffer->Recycle();
    EXPECT_EQ(CountFreeBuffers(group), 3);
}

TEST(BufferGroupTest, RequestTimesOutWhileEveryBufferIsOut)
{
    BBufferGroup group(64, 2);
    BBuffer* a = group.RequestBuffer(64, 0);
    BBuffer* b = group.RequestBuffer(64, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(group.RequestBuffer(64, 0), nullptr);
    bigtime_t before = system_time();
    EXPECT_EQ(group.RequestBuffer(64, 20000), nullptr);
    EXPECT_GE(system_time() - before, 20000);
    a->Recycle();
    b->Recycle();
}

TEST(BufferGroupTest, RequestLargerThanEveryBufferFailsAtOnce)
{
    BBufferGroup group(64, 1);
    bigtime_t before = system_time();
    EXPECT_EQ(group.RequestBuffer(65, 5000000), nullptr);
    EXPECT_LT(system_time() - before, 1000000);
}

TEST(BufferGroupTest, RecyclingWakesAWaitingRequest)
{
    BBufferGroup group(64, 1);
    BBuffer* held = group.RequestBuffer(64, 0);
    ASSERT_NE(held, nullptr);
    std::atomic<BBuffer*> received{nullptr};
    std::atomic<bool> waiting{false};
    std::thread requester([&] {
        waiting = true;
        received = group.RequestBuffer(64, 5000000);
    });
    ASSERT_TRUE(test_support::Await([&] { return waiting.load(); }));
    held->Recycle();
    requester.join();
    EXPECT_EQ(received.load(), held);
    received.load()->Recycle();
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

TEST(BufferGroupTest, ReclaimAllBuffersWaitsForTheLastOne)
{
    BBufferGroup group(64, 2);
    BBuffer* out = group.RequestBuffer(0, 0);
    ASSERT_NE(out, nullptr);
    std::atomic<bool> reclaiming{false};
    std::atomic<status_t> reclaimed{1};
    std::thread reclaimer([&] {
        reclaiming = true;
        reclaimed = group.ReclaimAllBuffers();
    });
    ASSERT_TRUE(test_support::Await([&] { return reclaiming.load(); }));
    // Whether or not the reclaimer waits yet, it cannot be done before the buffer is back.
    EXPECT_EQ(reclaimed, 1);
    out->Recycle();
    reclaimer.join();
    EXPECT_EQ(reclaimed, B_OK);
    EXPECT_EQ(CountFreeBuffers(group), 2);
}

TEST(BufferGroupTest, ReclaimAllBuffersGivesUpOnABufferNeverReturned)
{
    BBufferGroup group(64, 1);
    BBuffer* out = group.RequestBuffer(0, 0);
    EXPECT_EQ(group.ReclaimAllBuffers(), B_TIMED_OUT);
    out->Recycle();
}

TEST(BufferGroupDeathTest, RecyclingABufferThatIsNotOutAsserts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            BBufferGroup group(64, 1);
            BBuffer* buffer = group.RequestBuffer(0, 0);
            buffer->Recycle();
            buffer->Recycle();
        },
        "recycled");
}

} // namespace
