#pragma once
// Kernel services: counting semaphores with time-outs, threads, time and sleeping.

#include "kits/kernel/SupportDefs.h"

using sem_id = int32;
using thread_id = int32;
using area_id = int32;

constexpr bigtime_t B_INFINITE_TIMEOUT = INT64_MAX;

// Flags of acquire_sem_etc and release_sem_etc.
enum : uint32 {
    B_CAN_INTERRUPT = 0x01,
    B_DO_NOT_RESCHEDULE = 0x02,
    B_CHECK_PERMISSION = 0x04,
    B_TIMEOUT = 0x08,
    B_RELATIVE_TIMEOUT = 0x08,
    B_ABSOLUTE_TIMEOUT = 0x10,
};

// Thread priorities. Linux honours them as far as an unprivileged process may:
// higher priorities ask for a lower nice value, and a refusal is ignored.
enum : int32 {
    B_IDLE_PRIORITY = 0,
    B_LOWEST_ACTIVE_PRIORITY = 1,
    B_LOW_PRIORITY = 5,
    B_NORMAL_PRIORITY = 10,
    B_DISPLAY_PRIORITY = 15,
    B_URGENT_DISPLAY_PRIORITY = 20,
    B_REAL_TIME_DISPLAY_PRIORITY = 100,
    B_URGENT_PRIORITY = 110,
    B_REAL_TIME_PRIORITY = 120,
};

// Semaphores. Ids are never reused, so a call on a deleted id always fails with
// B_BAD_SEM_ID. Waiters are served in arrival order. Deleting a semaphore wakes
// every waiter with B_BAD_SEM_ID.
sem_id create_sem(int32 count, const char* name);
status_t delete_sem(sem_id sem);
status_t acquire_sem(sem_id sem);
// With B_RELATIVE_TIMEOUT the time-out counts microseconds from now, with
// B_ABSOLUTE_TIMEOUT it is a system_time() value. A time-out takes nothing and
// returns B_TIMED_OUT; a zero relative time-out returns B_WOULD_BLOCK at once.
status_t acquire_sem_etc(sem_id sem, int32 count, uint32 flags, bigtime_t timeout);
status_t release_sem(sem_id sem);
status_t release_sem_etc(sem_id sem, int32 count, uint32 flags);
// The count less what waiting threads have asked for: negative while threads wait.
status_t get_sem_count(sem_id sem, int32* count);

// Threads are created suspended; resume_thread starts them.
using thread_func = int32 (*)(void* data);
thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data);
status_t resume_thread(thread_id thread);
// Waits for the thread to end and hands back its return value. Each thread is
// waited for at most once; a thread cannot wait for itself.
status_t wait_for_thread(thread_id thread, status_t* exitValue);
// For a thread nobody will wait for (one may detach itself): what it holds goes as soon as it
// ends, and waiting for it gives B_BAD_THREAD_ID from now on.
status_t detach_thread(thread_id thread);
// With a null name, the calling thread's id (threads not made by spawn_thread get
// one on first call). Otherwise the first live spawned thread of that name.
thread_id find_thread(const char* name);
status_t set_thread_priority(thread_id thread, int32 priority);

// Areas: page-aligned blocks of memory with an id, so that memory can be found
// from an address and shared by cloning. A clone maps the same memory; the
// memory goes away with the last of the original and its clones.
enum : uint32 {
    B_ANY_ADDRESS = 1,
    B_NO_LOCK = 0,
    B_FULL_LOCK = 2,
    B_CONTIGUOUS = 3,
    B_READ_AREA = 1,
    B_WRITE_AREA = 2,
    B_CLONEABLE_AREA = 0x100,
};
constexpr size_t B_PAGE_SIZE = 4096;
area_id create_area(const char* name, void** address, uint32 addressSpec, size_t size,
    uint32 lock, uint32 protection);
area_id clone_area(const char* name, void** address, uint32 addressSpec, uint32 protection,
    area_id source);
status_t delete_area(area_id area);
// The area whose memory holds `address`, or B_ERROR.
area_id area_for(const void* address);

struct area_info {
    area_id area;
    char name[32];
    size_t size;
    void* address;
};
status_t get_area_info(area_id area, area_info* info);

// Microseconds since an arbitrary moment, monotonic.
bigtime_t system_time();
// Sleeps at least the given microseconds.
status_t snooze(bigtime_t microseconds);
status_t snooze_until(bigtime_t time, int timeBase);
constexpr int B_SYSTEM_TIMEBASE = 0;

// The worst delay between a thread becoming ready and running, in microseconds.
bigtime_t estimate_max_scheduling_latency(thread_id thread = -1);
