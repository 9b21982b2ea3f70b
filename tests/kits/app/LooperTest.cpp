#include "kits/app/Looper.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/app/Messenger.h"
#include "tests/kits/app/RecordingLooper.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

using recording::Journal;
using recording::MSG_BLOCK;
using recording::MSG_PASS_ON;
using recording::Received;
using recording::RecordingHandler;
using recording::TestLooper;

constexpr uint32 MSG_NUMBERED = FourCC("numb");
constexpr uint32 MSG_MARKER = FourCC("mark");

} // namespace

TEST(LooperTest, PostedMessagesArriveInOrderFromSeveralThreads)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    thread_id thread = looper->Run();
    ASSERT_GT(thread, 0);
    EXPECT_EQ(looper->Thread(), thread);
    EXPECT_EQ(looper->Run(), B_ALREADY_RUNNING);

    constexpr int32 SENDERS = 4;
    constexpr int32 COUNT = 200;
    std::vector<std::thread> senders;
    for (int32 sender = 0; sender < SENDERS; sender++) {
        senders.emplace_back([looper, sender] {
            // The command says who sent it and in which place.
            for (int32 number = 0; number < COUNT; number++)
                looper->PostMessage(uint32(sender << 16 | number));
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == SENDERS * COUNT; }));
    {
        std::lock_guard guard(journal.lock);
        std::vector<int32> next(SENDERS, 0);
        for (const auto& [handler, what] : journal.received)
            ASSERT_EQ(int32(what & 0xFFFF), next[what >> 16]++) << "from sender " << (what >> 16);
    }

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    std::lock_guard guard(journal.lock);
    EXPECT_TRUE(journal.destroyed);
    EXPECT_EQ(journal.destroyedOn, find_thread(nullptr));
    // Quit() joined the thread already.
    EXPECT_EQ(wait_for_thread(thread, nullptr), B_BAD_THREAD_ID);
}

TEST(LooperTest, RefusedQuitRequestKeepsTheLooperAndAcceptedOneEndsItOnItsOwnThread)
{
    Journal journal;
    auto* looper = new TestLooper(journal, 1);
    thread_id thread = looper->Run();
    BMessenger messenger(looper);
    ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
    ASSERT_EQ(messenger.SendMessage(MSG_MARKER), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return !journal.received.empty(); }));
    EXPECT_TRUE(messenger.IsValid());
    {
        std::lock_guard guard(journal.lock);
        EXPECT_EQ(journal.quitRequests, 1);
        EXPECT_FALSE(journal.destroyed);
    }

    ASSERT_EQ(looper->PostMessage(B_QUIT_REQUESTED), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return journal.destroyed; }));
    // Nobody joins the thread: it lets its resources go as it ends, and leaves the thread table.
    EXPECT_TRUE(test_support::Await(
        [&] { return set_thread_priority(thread, B_NORMAL_PRIORITY) == B_BAD_THREAD_ID; }));
    std::lock_guard guard(journal.lock);
    EXPECT_EQ(journal.quitRequests, 2);
    EXPECT_EQ(journal.destroyedOn, thread);
    EXPECT_EQ(journal.received, (Received{{looper, MSG_MARKER}}));
}

TEST(LooperTest, QuitFromAnotherThreadDropsTheMessageWaitingForTheLock)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    ASSERT_TRUE(looper->Lock());
    ASSERT_TRUE(looper->Lock());
    thread_id thread = looper->Run();
    ASSERT_EQ(looper->PostMessage(MSG_MARKER), B_OK);
    // The loop has taken the message out and now waits for the lock held here.
    ASSERT_TRUE(test_support::Await([&] { return looper->CountQueuedMessages() == 0; }));
    EXPECT_EQ(looper->CountLocks(), 2);
    looper->Quit();
    std::lock_guard guard(journal.lock);
    EXPECT_TRUE(journal.destroyed);
    EXPECT_TRUE(journal.received.empty());
    EXPECT_EQ(wait_for_thread(thread, nullptr), B_BAD_THREAD_ID);
}

TEST(LooperTest, LockWithTimeoutFailsWhileAnotherThreadHoldsTheLock)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    looper->Run();
    ASSERT_EQ(looper->PostMessage(MSG_BLOCK), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return journal.blocking; }));

    EXPECT_EQ(looper->LockingThread(), looper->Thread());
    EXPECT_FALSE(looper->IsLocked());
    EXPECT_EQ(looper->LockWithTimeout(10000), B_TIMED_OUT);

    journal.Update([&] { journal.unblock = true; });
    ASSERT_EQ(looper->LockWithTimeout(5000000), B_OK);
    EXPECT_TRUE(looper->IsLocked());
    looper->Quit();
    EXPECT_TRUE(journal.destroyed);
}

TEST(LooperTest, WaiterForTheLockGivesUpWhenTheLooperIsDeleted)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    BMessenger messenger(looper);
    ASSERT_TRUE(looper->Lock());
    status_t waited = B_OK;
    std::thread waiter([&] { waited = messenger.LockTargetWithTimeout(5000000); });
    // A looper that never ran is deleted at once by Quit().
    looper->Quit();
    waiter.join();
    EXPECT_EQ(waited, B_BAD_PORT_ID);
    EXPECT_TRUE(journal.destroyed);
}

TEST(LooperTest, HandlersGetTheirMessagesPassOnWhatTheyDoNotHandleAndLeaveWhenDeleted)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    RecordingHandler handler(journal);
    looper->AddHandler(&handler);
    EXPECT_EQ(handler.Looper(), looper);
    EXPECT_EQ(handler.NextHandler(), looper);
    EXPECT_EQ(looper->CountHandlers(), 2);

    Journal otherJournal;
    auto* other = new TestLooper(otherJournal);
    BMessage message(MSG_NUMBERED);
    EXPECT_EQ(other->PostMessage(&message, &handler), B_MISMATCHED_VALUES);
    EXPECT_EQ(other->PostMessage(static_cast<BMessage*>(nullptr)), B_BAD_VALUE);
    other->AddHandler(&handler);
    EXPECT_EQ(handler.Looper(), looper);
    ASSERT_TRUE(other->Lock());
    other->Quit();
    auto shortLived = std::make_unique<RecordingHandler>(journal);
    looper->AddHandler(shortLived.get());
    BMessenger toShortLived(shortLived.get());
    EXPECT_TRUE(toShortLived.IsValid());
    shortLived.reset();
    EXPECT_EQ(looper->CountHandlers(), 2);
    EXPECT_EQ(toShortLived.SendMessage(MSG_MARKER), B_BAD_HANDLER);

    looper->Run();
    ASSERT_EQ(looper->PostMessage(MSG_NUMBERED, &handler), B_OK);
    ASSERT_EQ(looper->PostMessage(MSG_PASS_ON, &handler), B_OK);
    ASSERT_TRUE(looper->Lock());
    looper->SetPreferredHandler(&handler);
    looper->Unlock();
    ASSERT_EQ(looper->PostMessage(MSG_MARKER, nullptr), B_OK);
    ASSERT_EQ(looper->PostMessage(MSG_MARKER), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 4; }));

    // Queued for the handler, which leaves before it is dispatched: dropped.
    ASSERT_TRUE(looper->Lock());
    ASSERT_EQ(looper->PostMessage(MSG_NUMBERED, &handler), B_OK);
    EXPECT_TRUE(looper->RemoveHandler(&handler));
    EXPECT_EQ(looper->PreferredHandler(), nullptr);
    EXPECT_FALSE(looper->RemoveHandler(&handler));
    EXPECT_EQ(handler.Looper(), nullptr);
    ASSERT_EQ(looper->PostMessage(MSG_PASS_ON), B_OK);
    looper->Unlock();

    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 5; }));
    {
        std::lock_guard guard(journal.lock);
        EXPECT_EQ(journal.received,
            (Received{{&handler, MSG_NUMBERED}, {looper, MSG_PASS_ON}, {&handler, MSG_MARKER},
                {looper, MSG_MARKER}, {looper, MSG_PASS_ON}}));
    }
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

namespace {

// Keeps the message it is given, as a hook that hands it on to another thread would.
class DetachingLooper : public TestLooper {
public:
    using TestLooper::TestLooper;

    void MessageReceived(BMessage* message) override
    {
        bool wasCurrent = CurrentMessage() == message;
        BMessage* detached = DetachCurrentMessage();
        bool noneAfter = CurrentMessage() == nullptr;
        journal.Update([&] {
            kept.reset(detached);
            detachedCleanly = wasCurrent && noneAfter;
        });
    }

    // Guarded by the journal's lock.
    std::unique_ptr<BMessage> kept;
    bool detachedCleanly = false;
};

} // namespace

TEST(LooperTest, CurrentMessageCanBeDetachedDuringDispatch)
{
    Journal journal;
    auto* looper = new DetachingLooper(journal);
    EXPECT_EQ(looper->CurrentMessage(), nullptr);
    BMessage message(MSG_MARKER);
    message.AddInt32("value", 7);
    looper->PostMessage(&message);
    looper->Run();
    std::unique_ptr<BMessage> kept;
    ASSERT_TRUE(journal.WaitFor([&] { return looper->kept != nullptr; }));
    {
        std::lock_guard guard(journal.lock);
        EXPECT_TRUE(looper->detachedCleanly);
        kept = std::move(looper->kept);
    }
    EXPECT_EQ(looper->CurrentMessage(), nullptr);
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    int32 value = 0;
    EXPECT_EQ(kept->FindInt32("value", &value), B_OK);
    EXPECT_EQ(value, 7);
}
