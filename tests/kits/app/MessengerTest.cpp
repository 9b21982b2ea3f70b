#include "kits/app/Messenger.h"

#include "kits/app/Looper.h"
#include "kits/app/Message.h"
#include "tests/kits/app/RecordingLooper.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using recording::Journal;
using recording::Received;
using recording::RecordingHandler;
using recording::TestLooper;

constexpr uint32 MSG_PING = FourCC("ping");

} // namespace

TEST(MessengerTest, SendsToAHandlerItsLooperAndThePreferredHandlerAndToNothingElse)
{
    BMessenger empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.SendMessage(MSG_PING), B_BAD_PORT_ID);
    EXPECT_EQ(empty.SendMessage(static_cast<const BMessage*>(nullptr)), B_BAD_VALUE);
    EXPECT_FALSE(empty.LockTarget());
    BLooper* targetLooper = reinterpret_cast<BLooper*>(1);
    EXPECT_EQ(empty.Target(&targetLooper), nullptr);
    EXPECT_EQ(targetLooper, nullptr);
    status_t result = B_OK;
    EXPECT_FALSE(BMessenger(nullptr, nullptr, &result).IsValid());
    EXPECT_EQ(result, B_BAD_VALUE);

    Journal journal;
    auto* looper = new TestLooper(journal);
    auto* other = new TestLooper(journal);
    RecordingHandler handler(journal);
    EXPECT_FALSE(BMessenger(&handler, nullptr, &result).IsValid());
    EXPECT_EQ(result, B_BAD_HANDLER);
    looper->AddHandler(&handler);
    looper->SetPreferredHandler(&handler);

    BMessenger toHandler(&handler, looper, &result);
    EXPECT_EQ(result, B_OK);
    BMessenger mismatched(&handler, other, &result);
    EXPECT_EQ(result, B_MISMATCHED_VALUES);
    EXPECT_FALSE(mismatched.IsValid());
    BMessenger toLooper(looper);
    BMessenger toPreferred(nullptr, looper);
    EXPECT_TRUE(toHandler.IsValid());
    EXPECT_TRUE(toPreferred.IsValid());
    EXPECT_FALSE(toHandler == toLooper);
    BMessenger copy = toHandler;
    EXPECT_TRUE(copy == toHandler);

    EXPECT_EQ(toHandler.Target(&targetLooper), &handler);
    EXPECT_EQ(targetLooper, looper);
    EXPECT_EQ(toLooper.Target(&targetLooper), looper);
    EXPECT_EQ(toPreferred.Target(&targetLooper), nullptr);
    EXPECT_EQ(targetLooper, looper);

    looper->Run();
    // Sent from another thread, as windows and nodes do.
    std::thread sender([&] {
        toHandler.SendMessage(MSG_PING);
        toLooper.SendMessage(MSG_PING);
        toPreferred.SendMessage(MSG_PING);
    });
    sender.join();
    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 3; }));
    {
        std::lock_guard guard(journal.lock);
        EXPECT_EQ(journal.received,
            (Received{{&handler, MSG_PING}, {looper, MSG_PING}, {&handler, MSG_PING}}));
    }

    ASSERT_TRUE(looper->Lock());
    looper->RemoveHandler(&handler);
    looper->Unlock();
    EXPECT_FALSE(toHandler.IsValid());
    EXPECT_EQ(toHandler.SendMessage(MSG_PING), B_BAD_HANDLER);
    EXPECT_EQ(toHandler.Target(&targetLooper), nullptr);
    EXPECT_EQ(targetLooper, nullptr);
    EXPECT_TRUE(toLooper.IsValid());

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    ASSERT_TRUE(other->Lock());
    other->Quit();
    // Messages to a looper that quit are dropped, and it is found no more.
    EXPECT_FALSE(toLooper.IsValid());
    EXPECT_EQ(toPreferred.SendMessage(MSG_PING), B_BAD_PORT_ID);
    EXPECT_FALSE(toLooper.LockTarget());
    targetLooper = looper;
    EXPECT_EQ(toLooper.Target(&targetLooper), nullptr);
    EXPECT_EQ(targetLooper, nullptr);
}

TEST(MessengerTest, LockTargetLocksTheLooperForTheCallingThread)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    looper->Run();
    BMessenger messenger(looper);
    ASSERT_TRUE(messenger.LockTarget());
    EXPECT_TRUE(looper->IsLocked());
    EXPECT_EQ(looper->LockingThread(), find_thread(nullptr));

    status_t fromOtherThread = B_OK;
    std::thread other([&] { fromOtherThread = messenger.LockTargetWithTimeout(5000); });
    other.join();
    EXPECT_EQ(fromOtherThread, B_TIMED_OUT);

    EXPECT_EQ(messenger.LockTargetWithTimeout(0), B_OK);
    EXPECT_EQ(looper->CountLocks(), 2);
    looper->Unlock();
    looper->Quit();
    EXPECT_EQ(messenger.LockTargetWithTimeout(0), B_BAD_PORT_ID);
}
