#pragma once
// BLocker: the looper lock, which its owner thread may take again, with time-outs.

#include "kits/kernel/OS.h"

#include <condition_variable>
#include <mutex>
#include <string>

class BLooper;

// The system's only recursive lock: a looper's hooks run with it held and may
// lock the looper again. Any thread may lock and unlock it; only the thread
// holding it may unlock it, once for each successful lock. Waits that another
// holder can block are bounded by LockWithTimeout where the lock order asks for
// it. Once the looper owning a lock is gone the lock is retired: waiting and
// later lock attempts fail with B_BAD_SEM_ID instead of blocking forever.
class BLocker {
public:
    explicit BLocker(const char* name = nullptr);
    ~BLocker();

    BLocker(const BLocker&) = delete;
    BLocker& operator=(const BLocker&) = delete;

    // Waits as long as it takes; false only when the lock was retired.
    bool Lock();
    // B_OK, or B_TIMED_OUT when another thread still holds the lock after
    // `timeout` microseconds (zero or less: do not wait; B_INFINITE_TIMEOUT:
    // wait as long as it takes), or B_BAD_SEM_ID once retired.
    status_t LockWithTimeout(bigtime_t timeout);
    // Calling it without holding the lock is a programmer error.
    void Unlock();

    // Whether the calling thread holds the lock.
    bool IsLocked() const;
    // The holder, or -1 while the lock is free.
    thread_id LockingThread() const;
    // How many times the holder has taken it; 0 while free.
    int32 CountLocks() const;
    const char* Name() const;

private:
    friend class BLooper;

    // Wakes every waiter with B_BAD_SEM_ID and refuses later attempts.
    void Retire();

    const std::string name;
    mutable std::mutex mutex;
    std::condition_variable released;
    // Guarded by mutex.
    thread_id owner = -1;
    int32 count = 0;
    bool retired = false;
};
