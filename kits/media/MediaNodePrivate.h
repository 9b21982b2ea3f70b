#pragma once
// NodePort: a node's control port, the in-process request queue its control thread serves.

#include "kits/media/MediaDefs.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kits::media {

// Requests are served in the order they arrive. Until a thread serves the port
// (StartServing), requests run at once on the caller's thread; a call from the
// serving thread itself also runs at once, so a node can call itself. Once the
// port is closed, nothing runs any more: queued requests are dropped and new
// ones refused.
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
    // Queues `work` without waiting. If the port is closed, or closes before
    // the work runs, `drop` runs instead (on the thread that finds out).
    void Post(std::function<void()> work, std::function<void()> drop);

    // Serving side: from now on requests are queued for `thread`.
    void StartServing(thread_id thread);
    enum class NextResult { Request, Idle, Closed };
    // Waits until a request arrives (stored in `work`), Wake() is called, the
    // port closes, or system_time() reaches `untilRealTime`.
    NextResult Next(bigtime_t untilRealTime, std::function<void()>& work);
    // Makes the serving thread re-check its timed events.
    void Wake();
    // Refuses new requests, wakes the serving thread and drops queued requests.
    void Close();

private:
    struct Request {
        std::function<void()> work;
        std::function<void()> drop;
    };

    const port_id id;
    mutable std::mutex lock;
    // Signalled when a request arrives, on Wake and on Close.
    std::condition_variable arrived;
    // Signalled when a call completes or is dropped.
    std::condition_variable completed;
    // Guarded by lock.
    std::deque<Request> queue;
    thread_id server = -1;
    bool serving = false;
    bool closed = false;
    bool woken = false;
};

// A fresh port id, unique in the process.
port_id NewPortId();

} // namespace kits::media
