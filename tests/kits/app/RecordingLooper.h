#pragma once
// A looper and a handler that note what they receive, for the looper and messenger tests.

#include "kits/app/Handler.h"
#include "kits/app/Looper.h"
#include "kits/app/Message.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace recording {

// Held by a looper's thread until the test lets it go.
constexpr uint32 MSG_BLOCK = FourCC("blok");
// Left to BHandler, which passes it on to the next handler.
constexpr uint32 MSG_PASS_ON = FourCC("pass");

using Received = std::vector<std::pair<const BHandler*, uint32>>;

// What the loopers saw, shared with the test, which outlives them.
struct Journal {
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    Received received;
    int32 quitRequests = 0;
    bool destroyed = false;
    thread_id destroyedOn = -1;
    bool blocking = false;
    bool unblock = false;

    // Five seconds only guard against a hang; every wait ends on its condition.
    template <typename Predicate>
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

    void Note(const BHandler* handler, uint32 what)
    {
        Update([&] { received.emplace_back(handler, what); });
    }
};

class RecordingHandler : public BHandler {
public:
    explicit RecordingHandler(Journal& journal)
        :
        BHandler("recording handler"),
        journal(journal)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == MSG_PASS_ON)
            BHandler::MessageReceived(message);
        else
            journal.Note(this, message->what);
    }

private:
    Journal& journal;
};

class TestLooper : public BLooper {
public:
    explicit TestLooper(Journal& journal, int32 quitRequestsToRefuse = 0)
        :
        BLooper("test looper"),
        journal(journal),
        quitRequestsToRefuse(quitRequestsToRefuse)
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
        if (message->what != MSG_BLOCK) {
            journal.Note(this, message->what);
            return;
        }
        std::unique_lock guard(journal.lock);
        journal.blocking = true;
        journal.changed.notify_all();
        journal.changed.wait(guard, [this] { return journal.unblock; });
    }

    bool QuitRequested() override
    {
        journal.Update([this] { journal.quitRequests++; });
        return quitRequestsToRefuse-- <= 0;
    }

protected:
    Journal& journal;

private:
    // Touched on the looper's thread only.
    int32 quitRequestsToRefuse;
};

} // namespace recording
