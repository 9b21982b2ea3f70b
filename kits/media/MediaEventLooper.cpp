#include "kits/media/MediaEventLooper.h"

#include "kits/media/FatalPrivate.h"
#include "kits/media/MediaNodePrivate.h"
#include "kits/media/TimeSource.h"

using kits::media::NodePort;

BMediaEventLooper::BMediaEventLooper(uint32)
{
    // Events added from another thread must re-arm the control thread's wait.
    eventQueue.SetChangeNotification([this] { Port().Wake(); });
}

BMediaEventLooper::~BMediaEventLooper()
{
    Quit();
}

void BMediaEventLooper::NodeRegistered()
{
    Run();
}

void BMediaEventLooper::Start(bigtime_t performanceTime)
{
    eventQueue.AddEvent(media_timed_event(performanceTime, BTimedEventQueue::B_START));
}

void BMediaEventLooper::Stop(bigtime_t performanceTime, bool immediate)
{
    media_timed_event event(performanceTime, BTimedEventQueue::B_STOP);
    if (immediate) {
        // Hooks run on the control thread, so the stop can be dispatched here.
        event.enqueue_time = system_time();
        DispatchEvent(&event, 0, false);
        return;
    }
    eventQueue.AddEvent(event);
}

void BMediaEventLooper::Seek(bigtime_t mediaTime, bigtime_t performanceTime)
{
    eventQueue.AddEvent(media_timed_event(performanceTime, BTimedEventQueue::B_SEEK, nullptr,
        BTimedEventQueue::B_NO_CLEANUP, 0, mediaTime));
}

void BMediaEventLooper::TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime)
{
    bigtime_t when = TimeSource()->PerformanceTimeFor(atRealTime);
    eventQueue.AddEvent(media_timed_event(when, BTimedEventQueue::B_WARP, nullptr,
        BTimedEventQueue::B_NO_CLEANUP, 0, toPerformanceTime));
}

status_t BMediaEventLooper::DeleteHook(BMediaNode* node)
{
    Quit();
    return BMediaNode::DeleteHook(node);
}

void BMediaEventLooper::DispatchEvent(const media_timed_event* event, bigtime_t lateness,
    bool realTimeEvent)
{
    switch (event->type) {
    case BTimedEventQueue::B_START:
        runState = B_STARTED;
        break;
    case BTimedEventQueue::B_STOP:
        runState = B_STOPPED;
        break;
    default:
        break;
    }
    HandleEvent(event, lateness, realTimeEvent);
}

status_t BMediaEventLooper::AddTimer(bigtime_t atPerformanceTime, int32 cookie)
{
    return eventQueue.AddEvent(media_timed_event(atPerformanceTime, BTimedEventQueue::B_TIMER,
        nullptr, BTimedEventQueue::B_NO_CLEANUP, cookie));
}

BTimedEventQueue* BMediaEventLooper::EventQueue()
{
    return &eventQueue;
}

thread_id BMediaEventLooper::ControlThread() const
{
    return controlThread;
}

int32 BMediaEventLooper::Priority() const
{
    return priority;
}

BMediaEventLooper::run_state BMediaEventLooper::RunState() const
{
    return runState;
}

bigtime_t BMediaEventLooper::EventLatency() const
{
    return eventLatency;
}

bigtime_t BMediaEventLooper::SchedulingLatency() const
{
    return estimate_max_scheduling_latency(controlThread);
}

void BMediaEventLooper::SetPriority(int32 newPriority)
{
    priority = newPriority;
    thread_id thread = controlThread;
    if (thread >= 0)
        set_thread_priority(thread, newPriority);
}

void BMediaEventLooper::SetRunState(run_state state)
{
    runState = state;
}

void BMediaEventLooper::SetEventLatency(bigtime_t latency)
{
    eventLatency = latency < 0 ? 0 : latency;
    Port().Wake();
}

status_t BMediaEventLooper::Run()
{
    std::lock_guard guard(lifeLock);
    if (quit)
        return B_NOT_ALLOWED;
    if (controlThread >= 0)
        return B_OK;
    thread_id thread = spawn_thread(ControlLoopEntry, Name(), priority, this);
    if (thread < 0)
        return thread;
    Port().StartServing(thread);
    controlThread = thread;
    runState = B_STOPPED;
    return resume_thread(thread);
}

void BMediaEventLooper::Quit()
{
    std::lock_guard guard(lifeLock);
    if (quit)
        return;
    quit = true;
    thread_id thread = controlThread;
    // A thread cannot join itself: it would run on past the node's destruction.
    kits::media::FatalUnless(thread < 0 || thread != find_thread(nullptr),
        "a media node's control thread cannot quit itself");
    runState = B_QUITTING;
    // Closing drops the queued requests, recycling buffers in transit, and
    // ends the loop after its current request or event.
    Port().Close();
    if (thread >= 0) {
        // The thread ends once its current hook returns.
        wait_for_thread(thread, nullptr);
    }
    eventQueue.FlushEvents(0, BTimedEventQueue::B_ALWAYS);
    runState = B_TERMINATED;
}

int32 BMediaEventLooper::ControlLoopEntry(void* looper)
{
    static_cast<BMediaEventLooper*>(looper)->ControlLoop();
    return B_OK;
}

void BMediaEventLooper::ControlLoop()
{
    NodePort& port = Port();
    for (;;) {
        std::function<void()> work;
        switch (port.Next(NextWakeUp(), work)) {
        case NodePort::NextResult::Closed:
            return;
        case NodePort::NextResult::Request:
            work();
            continue;
        case NodePort::NextResult::Idle:
            break;
        }
        bigtime_t due = NextWakeUp();
        if (due == B_INFINITE_TIMEOUT || due > system_time())
            continue;
        media_timed_event event;
        if (eventQueue.RemoveFirstEvent(&event) != B_OK)
            continue;
        bigtime_t lateness = TimeSource()->Now() - event.event_time;
        DispatchEvent(&event, lateness, false);
    }
}

bigtime_t BMediaEventLooper::NextWakeUp()
{
    bigtime_t first = eventQueue.FirstEventTime();
    if (first == B_INFINITE_TIMEOUT)
        return B_INFINITE_TIMEOUT;
    BTimeSource* timeSource = TimeSource();
    if (!timeSource->IsRunning())
        return B_INFINITE_TIMEOUT;
    return timeSource->RealTimeFor(first, eventLatency);
}
