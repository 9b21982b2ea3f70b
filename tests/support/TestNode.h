#pragma once
// TestNode: what the media-node doubles share, and the Blocker that holds their control thread.

#include "kits/media/MediaEventLooper.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace test_support {

// The event a node double queues for itself to be held; the doubles number their own events
// after it.
constexpr int32 EVENT_BLOCK = BTimedEventQueue::B_USER_EVENT;

// Holds a node's control thread in a hook, so the node stops answering.
class Blocker {
public:
    // Queues an EVENT_BLOCK event on `node` and waits until its thread is held.
    void BlockControlThread(BMediaEventLooper* node);
    // Called from the node's HandleEvent: waits until Release(), at most 10 s.
    void Hold();
    void Release();
    bool Holding();

private:
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    bool holding = false;
    bool released = false;
};

// A node without an add-on that logs the calls it gets, under the lock that also guards what
// the derived double records; the derived double holds on EVENT_BLOCK and calls Quit() in its
// own destructor.
class TestNode : public BMediaEventLooper {
public:
    BMediaAddOn* AddOn(int32* internalId) const override;

    std::vector<std::string> Log() const { return Locked(log); }

    Blocker blocker;

protected:
    template <typename T>
    T Locked(const T& field) const
    {
        std::lock_guard guard(lock);
        return field;
    }

    // Logs `line` and wakes whoever waits on `changed`.
    void Note(const std::string& line);

    mutable std::mutex lock;
    std::condition_variable changed;

private:
    // Guarded by lock.
    std::vector<std::string> log;
};

} // namespace test_support
