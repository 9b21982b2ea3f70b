#pragma once
// BTimedEventQueue: a node's events ordered by performance time, with their clean-up.

#include "kits/media/MediaDefs.h"

#include <functional>
#include <list>
#include <mutex>

struct media_timed_event {
    media_timed_event() = default;
    media_timed_event(bigtime_t eventTime, int32 type, void* pointer = nullptr,
        uint32 cleanup = 0, int32 data = 0, int64 bigdata = 0);

    // Performance time, microseconds.
    bigtime_t event_time = 0;
    int32 type = 0;
    // For B_HANDLE_BUFFER events, the BBuffer*.
    void* pointer = nullptr;
    uint32 cleanup = 0;
    int32 data = 0;
    int64 bigdata = 0;
    // system_time() when the event was queued.
    bigtime_t enqueue_time = 0;
};

// Events of equal time keep the order they were added in. Removing an event
// without handling it (FlushEvents, or the destructor) cleans it up: a
// B_RECYCLE_BUFFER event recycles its buffer, events with B_EXPIRE_TIMER or
// B_USER_CLEANUP and up go to the clean-up hook. Handing an event out through
// RemoveFirstEvent gives it away without clean-up: the receiver owns its buffer.
//
// Safe to use from any thread; clean-up and the change notification run
// without the queue's lock held.
class BTimedEventQueue {
public:
    enum event_type : int32 {
        B_NO_EVENT = -1,
        B_ANY_EVENT = 0,
        B_START = 1,
        B_STOP = 2,
        B_SEEK = 3,
        B_WARP = 4,
        B_TIMER = 5,
        B_HANDLE_BUFFER = 6,
        B_DATA_STATUS = 7,
        B_HARDWARE = 8,
        B_PARAMETER = 9,
        B_USER_EVENT = 0x4000,
    };

    enum cleanup_flag : uint32 {
        B_NO_CLEANUP = 0,
        B_RECYCLE_BUFFER = 1,
        B_EXPIRE_TIMER = 2,
        B_USER_CLEANUP = 0x4000,
    };

    enum time_direction : int32 {
        B_ALWAYS = -1,
        B_BEFORE_TIME = 0,
        B_AT_TIME = 1,
        B_AFTER_TIME = 2,
    };

    using cleanup_hook = void (*)(const media_timed_event* event, void* context);

    BTimedEventQueue();
    // Cleans up every event still queued.
    ~BTimedEventQueue();
    BTimedEventQueue(const BTimedEventQueue&) = delete;
    BTimedEventQueue& operator=(const BTimedEventQueue&) = delete;

    // B_BAD_VALUE for a B_NO_EVENT or B_ANY_EVENT event.
    status_t AddEvent(const media_timed_event& event);
    // Takes out the earliest event; B_ERROR when there is none.
    status_t RemoveFirstEvent(media_timed_event* outEvent = nullptr);
    bool HasEvents() const;
    int32 EventCount() const;
    // B_INFINITE_TIMEOUT when there is no event.
    bigtime_t FirstEventTime() const;

    // Removes and cleans up the matching events. B_ALWAYS matches every time;
    // `inclusive` makes B_BEFORE_TIME and B_AFTER_TIME include eventTime itself.
    status_t FlushEvents(bigtime_t eventTime, time_direction direction, bool inclusive = true,
        int32 eventType = B_ANY_EVENT);

    void SetCleanupHook(cleanup_hook hook, void* context);

    // Called after every AddEvent, from the adding thread: the event looper
    // uses it to re-arm its wait.
    void SetChangeNotification(std::function<void()> notify);

private:
    static void CleanUp(const media_timed_event& event, cleanup_hook hook, void* context);

    mutable std::mutex lock;
    // Guarded by lock; sorted by event_time, FIFO among equal times.
    std::list<media_timed_event> events;
    cleanup_hook cleanupHook = nullptr;
    void* cleanupContext = nullptr;
    std::function<void()> changed;
};
