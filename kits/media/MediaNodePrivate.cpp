#include "kits/media/MediaNodePrivate.h"

#include "kits/media/FatalPrivate.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

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

PortTimer::PortTimer()
    : fd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    FatalUnless(fd >= 0, "no timerfd for a node's control port");
}

PortTimer::~PortTimer()
{
    close(fd);
}

int PortTimer::Fd() const
{
    return fd;
}

void PortTimer::SetFor(bigtime_t realTime) const
{
    itimerspec setting{};
    if (realTime != B_INFINITE_TIMEOUT) {
        // Clamped so nanoseconds cannot overflow (about 35 years), and kept off 0, which
        // would disarm the timer rather than fire it at once.
        realTime = std::clamp<bigtime_t>(realTime, 1, bigtime_t(1) << 50);
        setting.it_value.tv_sec = time_t(realTime / 1000000);
        setting.it_value.tv_nsec = long(realTime % 1000000) * 1000;
    }
    FatalUnless(timerfd_settime(fd, TFD_TIMER_ABSTIME, &setting, nullptr) == 0,
        "a node's control port cannot set its timer");
}

void PortTimer::Clear() const
{
    // Reading the count of firings resets it; nothing to read is fine.
    uint64_t count;
    (void)!read(fd, &count, sizeof count);
}

NodePort::NodePort(port_id id)
    : id(id)
{
    FatalUnless(signal.Fd() >= 0, "no eventfd for a node's control port");
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
    if (QueueLocked(Request{std::move(run), std::move(drop), 0})) {
        guard.unlock();
        signal.Raise();
        guard.lock();
    }
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

void NodePort::Post(std::function<void()> work, std::function<void()> drop, bigtime_t notBefore)
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
    const bool raise = QueueLocked(Request{std::move(work), std::move(drop), notBefore});
    // Woken while the lock is still held, the server would wake only to wait for it again.
    guard.unlock();
    if (raise)
        signal.Raise();
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
    for (;;) {
        if (closed)
            return NextResult::Closed;
        const bool wasWoken = std::exchange(woken, false);
        const bigtime_t now = system_time();
        if (AnyDue(now)) {
            work = std::move(queue.front().work);
            queue.pop_front();
            return NextResult::Request;
        }
        if (wasWoken || now >= untilRealTime)
            return NextResult::Idle;
        armedFor = std::min(untilRealTime, EarliestDeferred());
        timer.SetFor(armedFor);
        sleeping = true;
        guard.unlock();
        // Ends with a request, a wake-up, the port closing (which Quit() does
        // before it joins this thread) or the timer.
        pollfd descriptors[2] = {{signal.Fd(), POLLIN, 0}, {timer.Fd(), POLLIN, 0}};
        (void)!poll(descriptors, 2, -1);
        guard.lock();
        sleeping = false;
        signalled = false;
        wakeUps++;
        if (descriptors[0].revents != 0)
            signal.Clear();
        if (descriptors[1].revents != 0)
            timer.Clear();
    }
}

void NodePort::Wake()
{
    bool raise = false;
    {
        std::lock_guard guard(lock);
        woken = true;
        for (Request& request : queue)
            request.notBefore = 0;
        raise = NeedsSignalLocked();
    }
    if (raise)
        signal.Raise();
}

void NodePort::Close()
{
    std::deque<Request> dropped;
    bool raise = false;
    {
        std::lock_guard guard(lock);
        closed = true;
        dropped.swap(queue);
        raise = NeedsSignalLocked();
    }
    if (raise)
        signal.Raise();
    for (Request& request : dropped) {
        if (request.drop)
            request.drop();
    }
}

uint64 NodePort::WakeUps() const
{
    std::lock_guard guard(lock);
    return wakeUps;
}

bool NodePort::QueueLocked(Request request)
{
    request.notBefore = std::max<bigtime_t>(request.notBefore, 0);
    const bigtime_t notBefore = request.notBefore;
    queue.push_back(std::move(request));
    if (notBefore == 0)
        return NeedsSignalLocked();
    // Re-armed from here, the timer shortens the sleep without waking the sleeper now.
    if (sleeping && notBefore < armedFor) {
        armedFor = notBefore;
        timer.SetFor(armedFor);
    }
    return false;
}

bool NodePort::NeedsSignalLocked()
{
    if (!sleeping || signalled)
        return false;
    signalled = true;
    return true;
}

bool NodePort::AnyDue(bigtime_t now) const
{
    return std::any_of(queue.begin(), queue.end(),
        [now](const Request& request) { return request.notBefore <= now; });
}

bigtime_t NodePort::EarliestDeferred() const
{
    bigtime_t earliest = B_INFINITE_TIMEOUT;
    for (const Request& request : queue)
        earliest = std::min(earliest, request.notBefore);
    return earliest;
}

} // namespace kits::media
