#include "kits/kernel/OS.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

struct Waiter {
    int32 count;
};

struct Semaphore {
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    int32 count = 0;
    bool deleted = false;
    std::list<Waiter*> waiters;
    std::string name;
};

class SemaphoreTable {
public:
    sem_id Add(std::shared_ptr<Semaphore> semaphore)
    {
        std::lock_guard guard(lock);
        if (nextId == INT32_MAX)
            return B_NO_MORE_SEMS;
        sem_id id = nextId++;
        table.emplace(id, std::move(semaphore));
        return id;
    }

    std::shared_ptr<Semaphore> Find(sem_id id)
    {
        std::lock_guard guard(lock);
        auto found = table.find(id);
        return found == table.end() ? nullptr : found->second;
    }

    std::shared_ptr<Semaphore> Remove(sem_id id)
    {
        std::lock_guard guard(lock);
        auto found = table.find(id);
        if (found == table.end())
            return nullptr;
        auto semaphore = std::move(found->second);
        table.erase(found);
        return semaphore;
    }

private:
    std::mutex lock;
    // Guarded by lock.
    sem_id nextId = 1;
    std::unordered_map<sem_id, std::shared_ptr<Semaphore>> table;
};

SemaphoreTable& Table()
{
    // Never destroyed: threads may still release semaphores while statics go away.
    static SemaphoreTable* table = new SemaphoreTable;
    return *table;
}

} // namespace

sem_id create_sem(int32 count, const char* name)
{
    if (count < 0)
        return B_BAD_VALUE;
    auto semaphore = std::make_shared<Semaphore>();
    semaphore->count = count;
    if (name != nullptr)
        semaphore->name = name;
    return Table().Add(std::move(semaphore));
}

status_t delete_sem(sem_id id)
{
    std::shared_ptr<Semaphore> semaphore = Table().Remove(id);
    if (!semaphore)
        return B_BAD_SEM_ID;
    {
        std::lock_guard guard(semaphore->lock);
        semaphore->deleted = true;
    }
    semaphore->changed.notify_all();
    return B_OK;
}

status_t acquire_sem(sem_id id)
{
    return acquire_sem_etc(id, 1, 0, 0);
}

status_t acquire_sem_etc(sem_id id, int32 count, uint32 flags, bigtime_t timeout)
{
    if (count < 1)
        return B_BAD_VALUE;
    std::shared_ptr<Semaphore> semaphore = Table().Find(id);
    if (!semaphore)
        return B_BAD_SEM_ID;

    using Clock = std::chrono::steady_clock;
    bool timed = (flags & (B_RELATIVE_TIMEOUT | B_ABSOLUTE_TIMEOUT)) != 0
        && timeout != B_INFINITE_TIMEOUT;
    Clock::time_point deadline = Clock::time_point::max();
    if (timed) {
        bigtime_t relative = (flags & B_ABSOLUTE_TIMEOUT) ? timeout - system_time() : timeout;
        // Clamped so that the deadline in nanoseconds cannot overflow (about 30 years).
        relative = std::clamp<bigtime_t>(relative, 0, bigtime_t(1) << 50);
        deadline = Clock::now() + std::chrono::microseconds(relative);
    }

    std::unique_lock guard(semaphore->lock);
    if (semaphore->deleted)
        return B_BAD_SEM_ID;
    if (semaphore->waiters.empty() && semaphore->count >= count) {
        semaphore->count -= count;
        return B_OK;
    }
    if (timed && timeout <= 0 && !(flags & B_ABSOLUTE_TIMEOUT))
        return B_WOULD_BLOCK;

    Waiter waiter{count};
    auto position = semaphore->waiters.insert(semaphore->waiters.end(), &waiter);
    auto ready = [&] {
        return semaphore->deleted
            || (semaphore->waiters.front() == &waiter && semaphore->count >= count);
    };
    bool gotIt = timed ? semaphore->changed.wait_until(guard, deadline, ready)
                       : (semaphore->changed.wait(guard, ready), true);
    semaphore->waiters.erase(position);
    if (semaphore->deleted)
        return B_BAD_SEM_ID;
    if (gotIt)
        semaphore->count -= count;
    // The head of the queue changed either way; the next waiter may now proceed.
    guard.unlock();
    semaphore->changed.notify_all();
    return gotIt ? B_OK : B_TIMED_OUT;
}

status_t release_sem(sem_id id)
{
    return release_sem_etc(id, 1, 0);
}

status_t release_sem_etc(sem_id id, int32 count, uint32)
{
    if (count < 1)
        return B_BAD_VALUE;
    std::shared_ptr<Semaphore> semaphore = Table().Find(id);
    if (!semaphore)
        return B_BAD_SEM_ID;
    {
        std::lock_guard guard(semaphore->lock);
        if (semaphore->deleted)
            return B_BAD_SEM_ID;
        if (semaphore->count > INT32_MAX - count)
            return B_BAD_VALUE;
        semaphore->count += count;
    }
    semaphore->changed.notify_all();
    return B_OK;
}

status_t get_sem_count(sem_id id, int32* count)
{
    if (count == nullptr)
        return B_BAD_VALUE;
    std::shared_ptr<Semaphore> semaphore = Table().Find(id);
    if (!semaphore)
        return B_BAD_SEM_ID;
    std::lock_guard guard(semaphore->lock);
    if (semaphore->deleted)
        return B_BAD_SEM_ID;
    int32 waiting = 0;
    for (const Waiter* waiter : semaphore->waiters)
        waiting += waiter->count;
    *count = semaphore->count - waiting;
    return B_OK;
}
