#include "kits/app/Looper.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/app/Messenger.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint32 MSG_NUMBERED = FourCC("numb");
constexpr uint32 MSG_MARKER = FourCC("mark");
constexpr uint32 MSG_BLOCK = FourCC("blok");
constexpr uint32 MSG_HAND = FourCC("hand");
constexpr uint32 MSG_PREFERRED = FourCC("pref");
constexpr uint32 MSG_SELF = FourCC("self");
constexpr uint32 MSG_GONE = FourCC("gone");

// What a looper saw, shared with the test, which outlives the looper.
struct Journal {
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    std::vector<uint32> received;
    std::map<int32, std::vector<int32>> numbersBySender;
    int32 quitRequests = 0;
    bool destroyed = false;
    thread_id destroyedOn = -1;
    bool blocking = false;
    bool unblock = false;

    // Five seconds only guard against a hang; every wait ends on its condition.
    template<typename Predicate>
    bool WaitFor(Predicate predicate)
    {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(5), predicate);
    }

    void Update(auto change)
    {
        {
            std::lock_guard guard(lock);
            change();
        }
        changed.notify_all();
    }
};

class TestLooper : public BLooper {
public:
    TestLooper(Journal& journal, bool allowQuit = true)
        :
        BLooper("test looper"),
        journal(journal),
        allowQuit(allowQuit)
    {
    }

    ~TestLooper() override
    {
        journal.Update([this] {
            journal.destroyed = true;
            journal.destroyedOn = find_thread(nullptr);
        });
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == MSG_BLOCK) {
            std::unique_lock guard(journal.lock);
            journal.blocking = true;
            journal.changed.notify_all();
            journal.changed.wait(guard, [this] { return journal.unblock; });
            return;
        }
        int32 sender = 0;
        int32 number = 0;
        journal.Update([&] {
            journal.received.push_back(message->what);
            if (message->FindInt32("sender", &sender) == B_OK
                && message->FindInt32("number", &number) == B_OK)
                journal.numbersBySender[sender].push_back(number);
        });
    }

    bool QuitRequested() override
    {
        journal.Update([this] { journal.quitRequests++; });
        return allowQuit;
    }

private:
    Journal& journal;
    bool allowQuit;
};

class RecordingHandler : public BHandler {
public:
    explicit RecordingHandler(const char* name)
        :
        BHandler(name)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == MSG_MARKER) {
            BHandler::MessageReceived(message);
            return;
        }
        received.push_back(message->what);
    }

    // Touched on the looper's thread only; read by the test once that thread
    // has shown, through the journal, that it got further.
    std::vector<uint32> received;
};

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
            for (int32 number = 0; number < COUNT; number++) {
                BMessage message(MSG_NUMBERED);
                message.AddInt32("sender", sender);
                message.AddInt32("number", number);
                looper->PostMessage(&message);
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == SENDERS * COUNT; }));
    {
        std::lock_guard guard(journal.lock);
        for (int32 sender = 0; sender < SENDERS; sender++) {
            const std::vector<int32>& numbers = journal.numbersBySender[sender];
            ASSERT_EQ(numbers.size(), size_t(COUNT));
            for (int32 number = 0; number < COUNT; number++)
                EXPECT_EQ(numbers[size_t(number)], number);
        }
    }

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    std::lock_guard guard(journal.lock);
    EXPECT_TRUE(journal.destroyed);
    EXPECT_EQ(journal.destroyedOn, find_thread(nullptr));
    // Quit() joined the thread already.
    EXPECT_EQ(wait_for_thread(thread, nullptr), B_BAD_THREAD_ID);
}

TEST(LooperTest, QuitRequestedMessageEndsTheLooperOnItsOwnThread)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    thread_id thread = looper->Run();
    ASSERT_EQ(looper->PostMessage(B_QUIT_REQUESTED), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return journal.destroyed; }));
    // Nobody joins the thread: it lets its resources go as it ends, and leaves the thread table.
    EXPECT_TRUE(test_support::Await(
        [&] { return set_thread_priority(thread, B_NORMAL_PRIORITY) == B_BAD_THREAD_ID; }));
    std::lock_guard guard(journal.lock);
    EXPECT_EQ(journal.quitRequests, 1);
    EXPECT_EQ(journal.destroyedOn, thread);
}

TEST(LooperTest, QuitRequestedReturningFalseKeepsTheLooperAlive)
{
    Journal journal;
    auto* looper = new TestLooper(journal, false);
    looper->Run();
    BMessenger messenger(looper);
    ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
    ASSERT_EQ(messenger.SendMessage(MSG_MARKER), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return !journal.received.empty(); }));
    EXPECT_TRUE(messenger.IsValid());
    {
        std::lock_guard guard(journal.lock);
        EXPECT_EQ(journal.quitRequests, 1);
        EXPECT_FALSE(journal.destroyed);
        EXPECT_EQ(journal.received, std::vector<uint32>{MSG_MARKER});
    }
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    EXPECT_TRUE(journal.destroyed);
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

TEST(LooperTest, HandlersGetTheirMessagesAndPassOnWhatTheyDoNotHandle)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    RecordingHandler handler("handler");
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

    looper->Run();
    ASSERT_EQ(looper->PostMessage(MSG_HAND, &handler), B_OK);
    // Not understood by the handler: goes on to the looper.
    ASSERT_EQ(looper->PostMessage(MSG_MARKER, &handler), B_OK);
    ASSERT_TRUE(looper->Lock());
    looper->SetPreferredHandler(&handler);
    looper->Unlock();
    ASSERT_EQ(looper->PostMessage(MSG_PREFERRED, nullptr), B_OK);
    ASSERT_EQ(looper->PostMessage(MSG_SELF), B_OK);
    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 2; }));

    // Queued for the handler, which leaves before it is dispatched: dropped.
    ASSERT_TRUE(looper->Lock());
    ASSERT_EQ(looper->PostMessage(MSG_GONE, &handler), B_OK);
    EXPECT_TRUE(looper->RemoveHandler(&handler));
    EXPECT_EQ(looper->PreferredHandler(), nullptr);
    EXPECT_FALSE(looper->RemoveHandler(&handler));
    EXPECT_EQ(handler.Looper(), nullptr);
    ASSERT_EQ(looper->PostMessage(MSG_MARKER), B_OK);
    looper->Unlock();

    ASSERT_TRUE(journal.WaitFor([&] { return journal.received.size() == 3; }));
    {
        std::lock_guard guard(journal.lock);
        EXPECT_EQ(journal.received, (std::vector<uint32>{MSG_MARKER, MSG_SELF, MSG_MARKER}));
    }
    EXPECT_EQ(handler.received, (std::vector<uint32>{MSG_HAND, MSG_PREFERRED}));
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST(LooperTest, CurrentMessageCanBeDetachedDuringDispatch)
{
    struct DetachingLooper : BLooper {
        void MessageReceived(BMessage* message) override
        {
            std::lock_guard guard(lock);
            sawCurrent = CurrentMessage() == message;
            kept.reset(DetachCurrentMessage());
            noneAfterDetach = CurrentMessage() == nullptr;
            done = true;
            changed.notify_all();
        }

        std::mutex lock;
        std::condition_variable changed;
        bool sawCurrent = false;
        bool noneAfterDetach = false;
        bool done = false;
        std::unique_ptr<BMessage> kept;
    };

    auto* looper = new DetachingLooper;
    EXPECT_EQ(looper->CurrentMessage(), nullptr);
    BMessage message(FourCC("dtch"));
    message.AddInt32("value", 7);
    looper->PostMessage(&message);
    looper->Run();
    std::unique_ptr<BMessage> kept;
    {
        std::unique_lock guard(looper->lock);
        ASSERT_TRUE(looper->changed.wait_for(guard, std::chrono::seconds(5),
            [&] { return looper->done; }));
        EXPECT_TRUE(looper->sawCurrent);
        EXPECT_TRUE(looper->noneAfterDetach);
        kept = std::move(looper->kept);
    }
    EXPECT_EQ(looper->CurrentMessage(), nullptr);
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    ASSERT_NE(kept, nullptr);
    int32 value = 0;
    EXPECT_EQ(kept->FindInt32("value", &value), B_OK);
    EXPECT_EQ(value, 7);
}

TEST(LooperTest, DeletedHandlerLeavesItsLooper)
{
    Journal journal;
    auto* looper = new TestLooper(journal);
    auto handler = std::make_unique<RecordingHandler>("short-lived");
    looper->AddHandler(handler.get());
    BMessenger messenger(handler.get());
    EXPECT_TRUE(messenger.IsValid());
    handler.reset();
    EXPECT_EQ(looper->CountHandlers(), 1);
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage(MSG_MARKER), B_BAD_HANDLER);
    looper->Quit();
    EXPECT_TRUE(journal.destroyed);
}
