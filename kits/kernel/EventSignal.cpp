#include "kits/kernel/EventSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kits::kernel {

EventSignal::EventSignal()
    : fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

EventSignal::~EventSignal()
{
    if (fd >= 0)
        close(fd);
}

void EventSignal::Raise() const
{
    const uint64_t one = 1;
    // Fails only when the counter would overflow, when it is raised anyway.
    (void)!write(fd, &one, sizeof one);
}

void EventSignal::Clear() const
{
    uint64_t count;
    // Nothing to read is fine: it was not raised.
    (void)!read(fd, &count, sizeof count);
}

}
