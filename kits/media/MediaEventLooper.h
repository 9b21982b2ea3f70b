#pragma once
// BMediaEventLooper: a node's control thread, serving its port and its timed events.

#include "kits/media/MediaNode.h"
#include "kits/media/TimedEventQueue.h"

#include <atomic>

// The control thread waits for the earliest queued event's time (its
// performance time converted to real time through the node's time source, less
// the event latency) or for a request on the node's port, whichever comes
// first. Requests run the node's hooks; due events go to DispatchEvent and
// then HandleEvent with lateness = TimeSource()->Now() − event time. Start,
// Stop, Seek and TimeWarp queue B_START, B_STOP, B_SEEK and B_WARP events at
// their performance time (an immediate stop is dispatched at once); the run
// state changes when B_START or B_STOP is dispatched.
//
// A class deriving from this one must call Quit() in its own destructor, so
// that no hook runs while its part of the object is being destroyed. No lock
// of this class is held while a hook runs.
class BMediaEventLooper : public virtual BMediaNode {
public:
    enum run_state : int32 {
        B_IN_DISTRESS = -1,
        B_UNREGISTERED = 0,
        B_STOPPED = 1,
        B_STARTED = 2,
        B_QUITTING = 3,
        B_TERMINATED = 4,
        B_USER_RUN_STATES = 0x4000,
    };

    BTimedEventQueue* EventQueue();
    thread_id ControlThread() const;
    int32 Priority() const;
    run_state RunState() const;
    bigtime_t EventLatency() const;
    bigtime_t SchedulingLatency() const;

    // Takes effect at once when the thread runs, otherwise at Run().
    void SetPriority(int32 priority);
    void SetRunState(run_state state);
    // How long before its time an event is dispatched, microseconds.
    void SetEventLatency(bigtime_t latency);

    // Starts the control thread; B_OK also when it already runs. The run state
    // becomes B_STOPPED. B_NOT_ALLOWED once the looper has quit.
    status_t Run();
    // Ends the control thread after its current hook and joins it; requests
    // still queued are dropped (a buffer in transit is recycled) and every
    // queued event is cleaned up. Called from the control thread, it ends the
    // process with a message.
    void Quit();

protected:
    // The API version the node was written for is accepted for compatibility.
    explicit BMediaEventLooper(uint32 apiVersion = 0x500);
    // Quits the control thread if the derived class did not.
    ~BMediaEventLooper() override;

    // Starts the control thread (the default NodeRegistered calls Run()).
    void NodeRegistered() override;
    void Start(bigtime_t performanceTime) override;
    void Stop(bigtime_t performanceTime, bool immediate) override;
    void Seek(bigtime_t mediaTime, bigtime_t performanceTime) override;
    void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime) override;
    // Quits the control thread, then deletes the node.
    status_t DeleteHook(BMediaNode* node) override;

    // Runs on the control thread for each due event; owns the event's buffer.
    virtual void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent = false) = 0;
    // Updates the run state for B_START and B_STOP, then calls HandleEvent.
    virtual void DispatchEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent = false);

    // Queues a B_TIMER event carrying `cookie` in its data.
    status_t AddTimer(bigtime_t atPerformanceTime, int32 cookie);

private:
    static int32 ControlLoopEntry(void* looper);
    void ControlLoop();
    // The real time at which the first event is due, or B_INFINITE_TIMEOUT.
    bigtime_t NextWakeUp();

    BTimedEventQueue eventQueue;
    std::atomic<thread_id> controlThread{-1};
    std::atomic<int32> priority{B_NORMAL_PRIORITY};
    std::atomic<run_state> runState{B_UNREGISTERED};
    std::atomic<bigtime_t> eventLatency{0};
    // Serialises Run and Quit.
    std::mutex lifeLock;
    // Guarded by lifeLock.
    bool quit = false;
};
