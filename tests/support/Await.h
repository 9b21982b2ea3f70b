#pragma once
// Await: the one way tests wait for what another thread makes true.

#include "kits/kernel/OS.h"

#include <functional>

namespace test_support {

// How long a test waits for something that should happen at once: long enough for a loaded
// machine or a sanitizer build, and only ever spent when the code under test is wrong.
constexpr bigtime_t AWAIT_TIMEOUT = 5000000;

// Checks `condition` until it holds or `timeout` microseconds have passed; whether it held. The
// condition is checked once more at the deadline, so a slow machine never fails a test that
// only came late.
bool Await(const std::function<bool()>& condition, bigtime_t timeout = AWAIT_TIMEOUT);

} // namespace test_support
