#include "tests/support/Await.h"

namespace test_support {

bool Await(const std::function<bool()>& condition, bigtime_t timeout)
{
    const bigtime_t deadline = system_time() + timeout;
    while (!condition()) {
        if (system_time() >= deadline)
            return condition();
        // A short poll: the conditions read state under their owners' locks, so no wake-up
        // could be missed, and a millisecond keeps an idle wait cheap.
        snooze(1000);
    }
    return true;
}

} // namespace test_support
