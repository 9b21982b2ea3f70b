#pragma once
// Blocker: holds a media node's control thread in a hook, for tests of nodes that stop answering.

#include "kits/media/MediaEventLooper.h"

#include <condition_variable>
#include <mutex>

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

} // namespace test_support
