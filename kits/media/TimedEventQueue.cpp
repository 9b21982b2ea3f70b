#include "kits/media/TimedEventQueue.h"

#include "kits/media/Buffer.h"

#include <iterator>
#include <vector>

media_timed_event::media_timed_event(bigtime_t eventTime, int32 type, void* pointer,
    uint32 cleanup, int32 data, int64 bigdata)
    : event_time(eventTime),
      type(type),
      pointer(pointer),
      cleanup(cleanup),
      data(data),
      bigdata(bigdata)
{
}

BTimedEventQueue::BTimedEventQueue() = default;

BTimedEventQueue::~BTimedEventQueue()
{
    FlushEvents(0, B_ALWAYS);
}

status_t BTimedEventQueue::AddEvent(const media_timed_event& event)
{
    if (event.type == B_NO_EVENT || event.type == B_ANY_EVENT)
        return B_BAD_VALUE;
    std::function<void()> notify;
    {
        std::lock_guard guard(lock);
        // After the last event not later than this one, so equal times stay FIFO.
        auto position = events.end();
        while (position != events.begin() && std::prev(position)->event_time > event.event_time)
            --position;
        auto added = events.insert(position, event);
        added->enqueue_time = system_time();
        notify = changed;
    }
    if (notify)
        notify();
    return B_OK;
}

status_t BTimedEventQueue::RemoveFirstEvent(media_timed_event* outEvent)
{
    std::lock_guard guard(lock);
    if (events.empty())
        return B_ERROR;
    if (outEvent != nullptr)
        *outEvent = events.front();
    events.pop_front();
    return B_OK;
}

bool BTimedEventQueue::HasEvents() const
{
    std::lock_guard guard(lock);
    return !events.empty();
}

int32 BTimedEventQueue::EventCount() const
{
    std::lock_guard guard(lock);
    return int32(events.size());
}

bigtime_t BTimedEventQueue::FirstEventTime() const
{
    std::lock_guard guard(lock);
    return events.empty() ? B_INFINITE_TIMEOUT : events.front().event_time;
}

status_t BTimedEventQueue::FlushEvents(bigtime_t eventTime, time_direction direction,
    bool inclusive, int32 eventType)
{
    auto matches = [&](const media_timed_event& event) {
        if (eventType != B_ANY_EVENT && event.type != eventType)
            return false;
        switch (direction) {
        case B_ALWAYS:
            return true;
        case B_BEFORE_TIME:
            return event.event_time < eventTime || (inclusive && event.event_time == eventTime);
        case B_AT_TIME:
            return event.event_time == eventTime;
        case B_AFTER_TIME:
            return event.event_time > eventTime || (inclusive && event.event_time == eventTime);
        }
        return false;
    };

    std::vector<media_timed_event> flushed;
    cleanup_hook hook = nullptr;
    void* context = nullptr;
    {
        std::lock_guard guard(lock);
        for (auto event = events.begin(); event != events.end();) {
            if (matches(*event)) {
                flushed.push_back(*event);
                event = events.erase(event);
            } else {
                ++event;
            }
        }
        hook = cleanupHook;
        context = cleanupContext;
    }
    for (const media_timed_event& event : flushed)
        CleanUp(event, hook, context);
    return B_OK;
}

void BTimedEventQueue::SetCleanupHook(cleanup_hook hook, void* context)
{
    std::lock_guard guard(lock);
    cleanupHook = hook;
    cleanupContext = context;
}

void BTimedEventQueue::SetChangeNotification(std::function<void()> notify)
{
    std::lock_guard guard(lock);
    changed = std::move(notify);
}

void BTimedEventQueue::CleanUp(const media_timed_event& event, cleanup_hook hook,
    void* context)
{
    if (event.cleanup == B_RECYCLE_BUFFER) {
        if (event.pointer != nullptr)
            static_cast<BBuffer*>(event.pointer)->Recycle();
    } else if (event.cleanup >= B_EXPIRE_TIMER && hook != nullptr) {
        hook(&event, context);
    }
}
