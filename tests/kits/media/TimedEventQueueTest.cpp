#include "kits/media/TimedEventQueue.h"

#include "kits/media/BufferGroup.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Queue = BTimedEventQueue;

std::vector<int32> DrainData(Queue& queue)
{
    std::vector<int32> data;
    media_timed_event event;
    while (queue.RemoveFirstEvent(&event) == B_OK)
        data.push_back(event.data);
    return data;
}

TEST(TimedEventQueueTest, EventsComeOutInTimeOrderAndInArrivalOrderAmongEqualTimes)
{
    Queue queue;
    int32 notified = 0;
    queue.SetChangeNotification([&] { notified++; });
    queue.AddEvent(media_timed_event(300, Queue::B_TIMER, nullptr, 0, 1));
    queue.AddEvent(media_timed_event(100, Queue::B_TIMER, nullptr, 0, 2));
    queue.AddEvent(media_timed_event(200, Queue::B_TIMER, nullptr, 0, 3));
    queue.AddEvent(media_timed_event(100, Queue::B_TIMER, nullptr, 0, 4));
    // No event and any event are refused, and no change is notified for them.
    EXPECT_EQ(queue.AddEvent(media_timed_event(2, Queue::B_NO_EVENT)), B_BAD_VALUE);
    EXPECT_EQ(queue.AddEvent(media_timed_event(2, Queue::B_ANY_EVENT)), B_BAD_VALUE);
    EXPECT_EQ(notified, 4);
    EXPECT_EQ(queue.EventCount(), 4);
    EXPECT_EQ(queue.FirstEventTime(), 100);
    EXPECT_EQ(DrainData(queue), (std::vector<int32>{2, 4, 3, 1}));
    EXPECT_FALSE(queue.HasEvents());
    EXPECT_EQ(queue.FirstEventTime(), B_INFINITE_TIMEOUT);
    EXPECT_EQ(queue.RemoveFirstEvent(), B_ERROR);
}

struct FlushCase {
    Queue::time_direction direction;
    bool inclusive;
    int32 type;
    std::vector<int32> left;
};

class TimedEventQueueFlushTest : public testing::TestWithParam<FlushCase> {};

TEST_P(TimedEventQueueFlushTest, FlushRemovesExactlyTheMatchingEvents)
{
    Queue queue;
    // Data: 1 at 100 (timer), 2 at 200 (timer), 3 at 200 (buffer), 4 at 300 (timer).
    queue.AddEvent(media_timed_event(100, Queue::B_TIMER, nullptr, 0, 1));
    queue.AddEvent(media_timed_event(200, Queue::B_TIMER, nullptr, 0, 2));
    queue.AddEvent(media_timed_event(200, Queue::B_HANDLE_BUFFER, nullptr, 0, 3));
    queue.AddEvent(media_timed_event(300, Queue::B_TIMER, nullptr, 0, 4));
    const FlushCase& flush = GetParam();
    ASSERT_EQ(queue.FlushEvents(200, flush.direction, flush.inclusive, flush.type), B_OK);
    EXPECT_EQ(DrainData(queue), flush.left);
}

INSTANTIATE_TEST_SUITE_P(Directions, TimedEventQueueFlushTest,
    testing::Values(FlushCase{Queue::B_ALWAYS, true, Queue::B_ANY_EVENT, {}},
        FlushCase{Queue::B_ALWAYS, true, Queue::B_HANDLE_BUFFER, {1, 2, 4}},
        FlushCase{Queue::B_BEFORE_TIME, true, Queue::B_ANY_EVENT, {4}},
        FlushCase{Queue::B_BEFORE_TIME, false, Queue::B_ANY_EVENT, {2, 3, 4}},
        FlushCase{Queue::B_AT_TIME, true, Queue::B_ANY_EVENT, {1, 4}},
        FlushCase{Queue::B_AT_TIME, true, Queue::B_TIMER, {1, 3, 4}},
        FlushCase{Queue::B_AFTER_TIME, true, Queue::B_ANY_EVENT, {1}},
        FlushCase{Queue::B_AFTER_TIME, false, Queue::B_TIMER, {1, 2, 3}}));

void CountCleanup(const media_timed_event* event, void* context)
{
    static_cast<std::vector<int32>*>(context)->push_back(event->data);
}

TEST(TimedEventQueueTest, FlushAndDeletionCleanUpButRemovalHandsOver)
{
    BBufferGroup group(64, 2);
    BBuffer* first = group.RequestBuffer(0, 0);
    BBuffer* second = group.RequestBuffer(0, 0);
    std::vector<int32> cleaned;
    {
        Queue queue;
        queue.SetCleanupHook(CountCleanup, &cleaned);
        queue.AddEvent(media_timed_event(10, Queue::B_HANDLE_BUFFER, first,
            Queue::B_RECYCLE_BUFFER, 1));
        queue.AddEvent(media_timed_event(20, Queue::B_TIMER, nullptr, Queue::B_EXPIRE_TIMER, 2));
        queue.AddEvent(media_timed_event(30, Queue::B_TIMER, nullptr, Queue::B_NO_CLEANUP, 3));
        queue.AddEvent(media_timed_event(40, Queue::B_HANDLE_BUFFER, second,
            Queue::B_RECYCLE_BUFFER, 4));
        queue.FlushEvents(30, Queue::B_BEFORE_TIME, true);
        EXPECT_EQ(test_support::CountFreeBuffers(group), 1);
        EXPECT_EQ(cleaned, std::vector<int32>{2});
        // Removed, an event is handed over without cleanup: its buffer is the receiver's.
        media_timed_event event;
        ASSERT_EQ(queue.RemoveFirstEvent(&event), B_OK);
        EXPECT_EQ(event.pointer, second);
        EXPECT_EQ(test_support::CountFreeBuffers(group), 1);
        queue.AddEvent(event);
        // The rest is cleaned up with the queue.
    }
    EXPECT_EQ(test_support::CountFreeBuffers(group), 2);
}

} // namespace
