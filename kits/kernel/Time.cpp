#include "kits/kernel/OS.h"

#include <cerrno>
#include <ctime>

bigtime_t system_time()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return bigtime_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

status_t snooze_until(bigtime_t time, int timeBase)
{
    if (timeBase != B_SYSTEM_TIMEBASE)
        return B_BAD_VALUE;
    if (time < 0)
        time = 0;
    timespec until;
    until.tv_sec = time / 1000000;
    until.tv_nsec = (time % 1000000) * 1000;
    // An absolute deadline makes a signal-interrupted sleep resume without drift.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    return B_OK;
}

status_t snooze(bigtime_t microseconds)
{
    if (microseconds <= 0)
        return B_OK;
    return snooze_until(system_time() + microseconds, B_SYSTEM_TIMEBASE);
}

bigtime_t estimate_max_scheduling_latency(thread_id)
{
    // A loaded desktop Linux wakes a normal-priority thread within a few
    // milliseconds; the node graph adds this to its start-up latency.
    return 3000;
}
