#pragma once
// BLooper: a thread with a message queue that dispatches messages to its handlers.

#include "kits/app/Handler.h"
#include "kits/app/Locker.h"
#include "kits/kernel/OS.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class BApplication;

namespace kits::app {
struct LooperAccess;
}

// A looper is created with new. Once Run() has started its thread it owns
// itself: Quit() (or a B_QUIT_REQUESTED that QuitRequested() accepts) ends the
// thread and deletes the object; never delete a looper that runs. Quit() on a
// looper that never ran deletes it at once. Loopers still alive when the
// application object is destroyed are quit by it.
//
// The looper's thread takes each message out of the queue and dispatches it
// with the looper locked, so DispatchMessage, MessageReceived and QuitRequested
// run on that thread under the lock. Everything else about a looper is touched
// with it locked or from its thread; posting works from any thread without the
// lock. Lock order: a looper's lock before the kit's internal mutexes, which
// are never held while waiting for a looper lock; the main window locks
// another window only while holding its own.
class BLooper : public BHandler {
public:
    explicit BLooper(const char* name = nullptr, int32 priority = B_NORMAL_PRIORITY);
    ~BLooper() override;

    // Starts the thread and returns its id; B_ALREADY_RUNNING on a second call.
    // The caller may hold the lock: the first message waits for it.
    virtual thread_id Run();
    // Must be called with the looper locked (it takes the lock itself if not).
    // On the looper's thread, the loop ends after the current message and the
    // looper is deleted; the call itself returns. On any other thread, the lock
    // is given back so the loop can see the request, the thread is joined once
    // it finishes its current message, and the looper is deleted before Quit
    // returns. Either way the pointer is invalid afterwards.
    virtual void Quit();
    // Asked when B_QUIT_REQUESTED arrives; true lets the looper quit. Default true.
    virtual bool QuitRequested();

    // Posting copies the message (the caller keeps its own) and never blocks.
    // Without a handler the looper itself is the target; a null handler means
    // the preferred handler at the time of dispatch. A handler of another
    // looper gives B_MISMATCHED_VALUES; a null message B_BAD_VALUE.
    status_t PostMessage(uint32 command);
    status_t PostMessage(BMessage* message);
    status_t PostMessage(uint32 command, BHandler* handler);
    status_t PostMessage(BMessage* message, BHandler* handler);

    // Hands a message to its handler; B_QUIT_REQUESTED for the looper itself
    // asks QuitRequested() and quits when it agrees. Called with the lock held.
    virtual void DispatchMessage(BMessage* message, BHandler* handler);

    // The message being dispatched, on the looper's thread; null elsewhere.
    // Valid until the dispatch returns.
    BMessage* CurrentMessage() const;
    // Takes the current message away from the loop; the caller owns it.
    BMessage* DetachCurrentMessage();

    // With the lock held (both take it if the caller does not). A handler that
    // already belongs to another looper is not added. Not owned.
    void AddHandler(BHandler* handler);
    bool RemoveHandler(BHandler* handler);
    int32 CountHandlers() const;
    BHandler* HandlerAt(int32 index) const;
    // The target of messages posted with a null handler; the looper itself when
    // none is set. Not owned; cleared when it is removed.
    BHandler* PreferredHandler() const;
    void SetPreferredHandler(BHandler* handler);

    bool Lock();
    status_t LockWithTimeout(bigtime_t timeout);
    void Unlock();
    bool IsLocked() const;
    thread_id LockingThread() const;
    int32 CountLocks() const;

    // The looper's thread, or -1 before Run().
    thread_id Thread() const;
    // Messages waiting in the queue, for tests and diagnostics.
    int32 CountQueuedMessages() const;

private:
    friend class BApplication;
    friend struct kits::app::LooperAccess;

    enum class QuitState {
        RUNNING,
        // Quit() was called on the looper's thread, which deletes it.
        QUIT_BY_OWN_THREAD,
        // Another thread's Quit() joins the thread and deletes the looper.
        QUIT_BY_OTHER_THREAD,
        // The thread has left its loop to delete the looper itself.
        ENDING_ON_OWN,
    };

    struct QueuedMessage {
        std::unique_ptr<BMessage> message;
        int32 handlerToken;
    };

    int32 LooperToken() const;
    static int32 ThreadEntry(void* data);
    // Dispatches until quit; true when this thread must delete the looper.
    bool Loop();
    void Dispatch(QueuedMessage& next);
    BHandler* ResolveHandler(int32 handlerToken) const;
    status_t Enqueue(std::unique_ptr<BMessage> message, int32 handlerToken, bool atFront);
    // For the application: end the loop without deleting anything.
    void EndLoop();
    void SetPulseInterval(bigtime_t interval);
    bigtime_t PulseInterval() const;

    // Shared with the list of live loopers, so that a thread waiting for the
    // lock of a looper that goes away wakes up instead of touching freed memory.
    const std::shared_ptr<BLocker> locker;
    const int32 priority;
    std::atomic<thread_id> thread{-1};

    mutable std::mutex queueLock;
    std::condition_variable queueChanged;
    // Guarded by queueLock.
    std::deque<QueuedMessage> queue;
    QuitState quitState = QuitState::RUNNING;
    // Microseconds between B_PULSE messages, 0 for none; nextPulse is a system_time().
    bigtime_t pulseInterval = 0;
    bigtime_t nextPulse = 0;

    // Guarded by the looper lock.
    std::vector<BHandler*> handlers;
    BHandler* preferredHandler = nullptr;
    // Touched on the looper's thread only.
    std::unique_ptr<BMessage> currentMessage;
};
