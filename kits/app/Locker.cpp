// The looper lock; lock order: a looper's lock before the kit's internal
// mutexes, and the main window's lock before any other window's.
#include "kits/app/Locker.h"

#include <algorithm>
#include <cassert>
#include <chrono>

BLocker::BLocker(const char* name)
    :
    name(name != nullptr ? name : "some BLocker")
{
}

BLocker::~BLocker() = default;

bool BLocker::Lock()
{
    return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLocker::LockWithTimeout(bigtime_t timeout)
{
    thread_id self = find_thread(nullptr);
    using Clock = std::chrono::steady_clock;
    // Clamped so that the deadline in nanoseconds cannot overflow (about 30 years).
    bigtime_t relative = std::clamp<bigtime_t>(timeout, 0, bigtime_t(1) << 50);
    Clock::time_point deadline = Clock::now() + std::chrono::microseconds(relative);

    std::unique_lock guard(mutex);
    auto available = [&] { return retired || owner == -1 || owner == self; };
    if (timeout == B_INFINITE_TIMEOUT)
        released.wait(guard, available);
    else if (!released.wait_until(guard, deadline, available))
        return B_TIMED_OUT;
    if (retired)
        return B_BAD_SEM_ID;
    owner = self;
    count++;
    return B_OK;
}

void BLocker::Unlock()
{
    thread_id self = find_thread(nullptr);
    {
        std::lock_guard guard(mutex);
        assert(owner == self && "BLocker unlocked by a thread not holding it");
        if (owner != self || --count > 0)
            return;
        owner = -1;
    }
    released.notify_all();
}

bool BLocker::IsLocked() const
{
    thread_id self = find_thread(nullptr);
    std::lock_guard guard(mutex);
    return owner == self;
}

thread_id BLocker::LockingThread() const
{
    std::lock_guard guard(mutex);
    return owner;
}

int32 BLocker::CountLocks() const
{
    std::lock_guard guard(mutex);
    return count;
}

const char* BLocker::Name() const
{
    return name.c_str();
}

void BLocker::Retire()
{
    {
        std::lock_guard guard(mutex);
        retired = true;
        owner = -1;
        count = 0;
    }
    released.notify_all();
}
