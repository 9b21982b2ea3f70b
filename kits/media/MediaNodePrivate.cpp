#include "kits/media/MediaNodePrivate.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace kits::media {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineIn(bigtime_t microseconds)
{
    // Clamped so the deadline cannot overflow (about 30 years).
    microseconds = std::clamp<bigtime_t>(microseconds, 0, bigtime_t(1) << 50);
    return Clock::now() + std::chrono::microseconds(microseconds);
}

// Guarded by the port's lock.
struct Completion {
    status_t status = B_OK;
    bool done = false;
    bool withdrawn = false;
};

} // namespace

port_id NewPortId()
{
    static std::atomic<port_id> next{1};
    return next.fetch_add(1);
}

NodePort::NodePort(port_id id)
    : id(id)
{
}

port_id NodePort::Id() const
{
    return id;
}

status_t NodePort::Call(std::function<status_t()> work, bigtime_t timeout)
{
    thread_id self = find_thread(nullptr);
    auto completion = std::make_shared<Completion>();
    std::unique_lock guard(lock);
    if (closed)
        return B_BAD_PORT_ID;
    if (!serving || server == self) {
        // Not served yet, or the serving thread calling its own node.
        guard.unlock();
        return work();
    }
    auto run = [this, completion, work = std::move(work)] {
        {
            std::lock_guard runGuard(lock);
            if (completion->withdrawn)
                return;
        }
        status_t status = work();
        {
            std::lock_guard runGuard(lock);
            completion->status = status;
            completion->done = true;
        }
        completed.notify_all();
    };
    auto drop = [this, completion] {
        {
            std::lock_guard dropGuard(lock);
            completion->status = B_BAD_PORT_ID;
            completion->done = true;
        }
        completed.notify_all();
    };
    queue.push_back(Request{std::move(run), std::move(drop)});
    arrived.notify_one();
    if (timeout == B_INFINITE_TIMEOUT) {
        // The caller asked for no time-out; the request completes, or is
        // dropped when the port closes.
        completed.wait(guard, [&] { return completion->done; });
    } else {
        completed.wait_until(guard, DeadlineIn(timeout), [&] { return completion->done; });
    }
    if (!completion->done) {
        completion->withdrawn = true;
        return B_TIMED_OUT;
    }
    return completion->status;
}

void NodePort::Post(std::function<void()> work, std::function<void()> drop)
{
    std::unique_lock guard(lock);
    if (closed) {
        guard.unlock();
        if (drop)
            drop();
        return;
    }
    if (!serving) {
        guard.unlock();
        work();
        return;
    }
    queue.push_back(Request{std::move(work), std::move(drop)});
    // Woken while the lock is still held, the server would wake only to wait for it again.
    guard.unlock();
    arrived.notify_one();
}

void NodePort::StartServing(thread_id thread)
{
    std::lock_guard guard(lock);
    server = thread;
    serving = true;
}

NodePort::NextResult NodePort::Next(bigtime_t untilRealTime, std::function<void()>& work)
{
    std::unique_lock guard(lock);
    auto ready = [&] { return closed || woken || !queue.empty(); };
    if (untilRealTime == B_INFINITE_TIMEOUT) {
        // Ends with a request, a wake-up or the port closing, which Quit()
        // does before it joins this thread.
        arrived.wait(guard, ready);
    } else {
        arrived.wait_until(guard, DeadlineIn(untilRealTime - system_time()), ready);
    }
    if (closed)
        return NextResult::Closed;
    woken = false;
    if (queue.empty())
        return NextResult::Idle;
    work = std::move(queue.front().work);
    queue.pop_front();
    return NextResult::Request;
}

void NodePort::Wake()
{
    {
        std::lock_guard guard(lock);
        woken = true;
    }
    arrived.notify_all();
}

void NodePort::Close()
{
    std::deque<Request> dropped;
    {
        std::lock_guard guard(lock);
        closed = true;
        dropped.swap(queue);
    }
    arrived.notify_all();
    for (Request& request : dropped) {
        if (request.drop)
            request.drop();
    }
}

} // namespace kits::media
