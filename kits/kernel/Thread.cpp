#include "kits/kernel/OS.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

struct ThreadRecord {
    thread_func function = nullptr;
    void* data = nullptr;
    std::string name;
    int32 priority = B_NORMAL_PRIORITY;
    thread_id id = -1;
    pthread_t handle{};
    // Guarded by the table's lock.
    bool resumed = false;
    bool waitedFor = false;
    // Removed from the table as it ends; nobody joins it.
    bool detached = false;
    bool running = true;
    pid_t tid = 0;
    status_t exitValue = B_OK;
};

std::mutex tableLock;
std::condition_variable tableChanged;
// Guarded by tableLock. Never destroyed, so threads outliving main() stay safe.
auto& threads = *new std::unordered_map<thread_id, std::shared_ptr<ThreadRecord>>;
thread_id nextThreadId = 1;

thread_local thread_id currentThreadId = -1;

int NiceFor(int32 priority)
{
    if (priority >= B_REAL_TIME_DISPLAY_PRIORITY)
        return -10;
    if (priority >= B_URGENT_DISPLAY_PRIORITY)
        return -5;
    if (priority >= B_DISPLAY_PRIORITY)
        return -2;
    if (priority >= B_NORMAL_PRIORITY)
        return 0;
    if (priority >= B_LOW_PRIORITY)
        return 5;
    return 15;
}

void ApplyPriority(pid_t tid, int32 priority)
{
    // A refusal (an unprivileged process asking for a negative nice value) is
    // harmless: the thread runs at normal priority.
    setpriority(PRIO_PROCESS, id_t(tid), NiceFor(priority));
}

void* ThreadEntry(void* argument)
{
    auto record = *static_cast<std::shared_ptr<ThreadRecord>*>(argument);
    delete static_cast<std::shared_ptr<ThreadRecord>*>(argument);
    currentThreadId = record->id;
    pid_t tid = pid_t(syscall(SYS_gettid));
    {
        std::unique_lock guard(tableLock);
        record->tid = tid;
        // Suspended until resume_thread; an unbounded wait, since a thread nobody
        // resumes is one nobody waits for either.
        tableChanged.wait(guard, [&] { return record->resumed; });
        // Under the lock, so a set_thread_priority racing with the start is not lost.
        ApplyPriority(tid, record->priority);
    }
    pthread_setname_np(pthread_self(), record->name.substr(0, 15).c_str());
    status_t result = record->function(record->data);
    {
        std::lock_guard guard(tableLock);
        record->exitValue = result;
        record->running = false;
        if (record->detached)
            threads.erase(record->id);
    }
    return nullptr;
}

} // namespace

thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data)
{
    if (function == nullptr)
        return B_BAD_VALUE;
    auto record = std::make_shared<ThreadRecord>();
    record->function = function;
    record->data = data;
    record->name = name != nullptr ? name : "unnamed thread";
    record->priority = priority;
    {
        std::lock_guard guard(tableLock);
        record->id = nextThreadId++;
        threads.emplace(record->id, record);
    }
    auto* argument = new std::shared_ptr<ThreadRecord>(record);
    if (pthread_create(&record->handle, nullptr, ThreadEntry, argument) != 0) {
        delete argument;
        std::lock_guard guard(tableLock);
        threads.erase(record->id);
        return B_NO_MORE_THREADS;
    }
    return record->id;
}

status_t resume_thread(thread_id id)
{
    std::lock_guard guard(tableLock);
    auto found = threads.find(id);
    if (found == threads.end())
        return B_BAD_THREAD_ID;
    if (found->second->resumed)
        return B_BAD_THREAD_STATE;
    found->second->resumed = true;
    tableChanged.notify_all();
    return B_OK;
}

status_t wait_for_thread(thread_id id, status_t* exitValue)
{
    std::shared_ptr<ThreadRecord> record;
    {
        std::lock_guard guard(tableLock);
        auto found = threads.find(id);
        if (found == threads.end() || found->second->waitedFor)
            return B_BAD_THREAD_ID;
        if (id == currentThreadId)
            return B_BAD_THREAD_ID;
        record = found->second;
        record->waitedFor = true;
        // Waiting for a suspended thread starts it, as the old platform did.
        record->resumed = true;
        tableChanged.notify_all();
    }
    pthread_join(record->handle, nullptr);
    {
        std::lock_guard guard(tableLock);
        threads.erase(id);
    }
    if (exitValue != nullptr)
        *exitValue = record->exitValue;
    return B_OK;
}

status_t detach_thread(thread_id id)
{
    std::lock_guard guard(tableLock);
    auto found = threads.find(id);
    if (found == threads.end() || found->second->waitedFor)
        return B_BAD_THREAD_ID;
    std::shared_ptr<ThreadRecord> record = found->second;
    if (pthread_detach(record->handle) != 0)
        return B_BAD_THREAD_ID;
    record->waitedFor = true;
    record->detached = true;
    // A thread that has already ended no longer looks at its record.
    if (!record->running)
        threads.erase(found);
    return B_OK;
}

thread_id find_thread(const char* name)
{
    if (name == nullptr) {
        if (currentThreadId < 0) {
            std::lock_guard guard(tableLock);
            currentThreadId = nextThreadId++;
        }
        return currentThreadId;
    }
    std::lock_guard guard(tableLock);
    for (const auto& [id, record] : threads) {
        if (record->running && record->name == name)
            return id;
    }
    return B_NAME_NOT_FOUND;
}

status_t set_thread_priority(thread_id id, int32 priority)
{
    std::lock_guard guard(tableLock);
    auto found = threads.find(id);
    if (found == threads.end())
        return B_BAD_THREAD_ID;
    int32 old = found->second->priority;
    found->second->priority = priority;
    if (found->second->tid != 0)
        ApplyPriority(found->second->tid, priority);
    return old;
}
