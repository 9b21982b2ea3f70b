#include "kits/kernel/EventSignal.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace {

bool Readable(const kits::kernel::EventSignal& signal)
{
    pollfd descriptor = {signal.Fd(), POLLIN, 0};
    return poll(&descriptor, 1, 0) == 1;
}

TEST(EventSignalTest, StaysRaisedUntilClearedHoweverOftenItWasRaised)
{
    const kits::kernel::EventSignal signal;
    ASSERT_GE(signal.Fd(), 0);
    EXPECT_FALSE(Readable(signal));
    signal.Raise();
    signal.Raise();
    EXPECT_TRUE(Readable(signal));
    signal.Clear();
    EXPECT_FALSE(Readable(signal));
    // Clearing what is not raised leaves it so.
    signal.Clear();
    EXPECT_FALSE(Readable(signal));
}

}
