#pragma once
// LoopHandler: a handler on a looper's thread, to wait until the looper's queue has been handled
// or to hold its thread at a chosen point.

#include "kits/app/Handler.h"
#include "kits/app/Looper.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <utility>

namespace test_support {

// Added to the looper on construction and removed on destruction, by a thread that does not
// hold the looper's lock; runs its function on the looper's thread, with the looper locked, for
// each message posted to it.
class LoopHandler : public BHandler {
public:
    explicit LoopHandler(BLooper* looper, std::function<void()> run = [] {})
        : BHandler("loop handler"),
          looper(looper),
          run(std::move(run))
    {
        looper->Lock();
        looper->AddHandler(this);
        looper->Unlock();
    }
    ~LoopHandler() override
    {
        looper->Lock();
        looper->RemoveHandler(this);
        looper->Unlock();
    }

    void MessageReceived(BMessage*) override
    {
        run();
        ran++;
    }

    // Waits until the function has run for a message posted now, after every one before it.
    void Settle()
    {
        const int32 before = ran;
        ASSERT_EQ(looper->PostMessage('sEnT', this), B_OK);
        EXPECT_TRUE(Await([&] { return ran > before; }));
    }

private:
    BLooper* looper;
    std::function<void()> run;
    std::atomic<int32> ran{0};
};

// Waits until looper has handled every message posted to it before the call.
inline void Settle(BLooper* looper)
{
    LoopHandler(looper).Settle();
}

} // namespace test_support
