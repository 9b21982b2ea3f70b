#pragma once
// NodePort: a node's control port, the in-process request queue its control thread serves.

#include "kits/kernel/EventSignal.h"
#include "kits/media/MediaDefs.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kits::media {

// A timerfd on CLOCK_MONOTONIC the serving thread sleeps on, set to an absolute real time.
// Closed with its owner; not having one is fatal.
class PortTimer {
public:
    PortTimer();
    ~PortTimer();
    PortTimer(const PortTimer&) = delete;
    PortTimer& operator=(const PortTimer&) = delete;

    int Fd() const;
    // Fires at `realTime` (system_time() microseconds; a past time fires at once);
    // B_INFINITE_TIMEOUT disarms it. Clears a firing not yet cleared.
    void SetFor(bigtime_t realTime) const;
    void Clear() const;

private:
    const int fd;
};

// Requests are served in the order they arrive. Until a thread serves the port
// (StartServing), requests run at once on the caller's thread; a call from the
// serving thread itself also runs at once, so a node can call itself. Once the
// port is closed, nothing runs any more: queued requests are dropped and new
// ones refused.
//
// A posted request may be deferred: it need not run before a given real time.
// Posting it does not wake the serving thread, which sleeps until the earliest
// of its own deadline, the earliest deferred time, an immediate request, Wake()
// or Close(); once awake, it serves requests from the front of the queue while
// any queued request is immediate or due, so a deferred request ahead of an
// immediate one runs early.
//
// Lock: `lock` guards the queue and every request's completion; it is never
// held while a request or a drop handler runs.
class NodePort {
public:
    explicit NodePort(port_id id);
    NodePort(const NodePort&) = delete;
    NodePort& operator=(const NodePort&) = delete;

    port_id Id() const;

    // Runs `work` on the serving thread and waits at most `timeout`
    // microseconds for its status. On B_TIMED_OUT the work is withdrawn if it
    // has not started, but may still be running, so it must own (capture by
    // value) everything it touches. B_BAD_PORT_ID when the port is closed.
    [[nodiscard]] status_t Call(std::function<status_t()> work, bigtime_t timeout);
    // Queues `work` without waiting, to run once system_time() reaches
    // `notBefore` or earlier (see above); 0 runs it as soon as the serving
    // thread can. If the port is closed, or closes before the work runs, `drop`
    // runs instead (on the thread that finds out).
    void Post(std::function<void()> work, std::function<void()> drop, bigtime_t notBefore = 0);

    // Serving side: from now on requests are queued for `thread`.
    void StartServing(thread_id thread);
    enum class NextResult { Request, Idle, Closed };
    // Waits until a request is to be served (stored in `work`), Wake() is
    // called, the port closes, or system_time() reaches `untilRealTime`.
    NextResult Next(bigtime_t untilRealTime, std::function<void()>& work);
    // Makes the serving thread re-check its timed events, and every queued
    // request due: the time a request was deferred to may have moved earlier.
    void Wake();
    // Refuses new requests, wakes the serving thread and drops queued requests.
    void Close();

    // How often the serving thread has come out of its sleep, for measurements.
    uint64 WakeUps() const;

private:
    struct Request {
        std::function<void()> work;
        std::function<void()> drop;
        // 0 when immediate or made due by Wake.
        bigtime_t notBefore;
    };

    // With the lock held: queues `request`, re-arming the sleeping thread's
    // timer for a deferred one due before it would wake. Whether the signal is
    // to be raised, which the caller does after releasing the lock.
    [[nodiscard]] bool QueueLocked(Request request);
    // With the lock held: whether the signal is to be raised, once a sleep.
    [[nodiscard]] bool NeedsSignalLocked();
    bool AnyDue(bigtime_t now) const;
    bigtime_t EarliestDeferred() const;

    const port_id id;
    // Raised for an immediate request, Wake and Close.
    const kits::kernel::EventSignal signal;
    const PortTimer timer;
    mutable std::mutex lock;
    // Signalled when a call completes or is dropped.
    std::condition_variable completed;
    // Guarded by lock.
    std::deque<Request> queue;
    thread_id server = -1;
    bool serving = false;
    bool closed = false;
    bool woken = false;
    // The serving thread sleeps on the signal and the timer, armed for `armedFor`.
    bool sleeping = false;
    // The signal was raised during this sleep.
    bool signalled = false;
    bigtime_t armedFor = B_INFINITE_TIMEOUT;
    uint64 wakeUps = 0;
};

// A fresh port id, unique in the process.
port_id NewPortId();

} // namespace kits::media
