// Lock order: a looper's lock, then the list of live loopers ("listLock"), then
// a looper's queue mutex. Neither mutex is held while waiting for a looper lock,
// nor while a hook runs.
#include "kits/app/Looper.h"

#include "kits/app/AppDefs.h"
#include "kits/app/LooperPrivate.h"
#include "kits/app/Message.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace kits::app {

// What the list of live loopers may do to a looper.
struct LooperAccess {
    static status_t Post(BLooper* looper, std::unique_ptr<BMessage> message,
        int32 handlerToken)
    {
        return looper->Enqueue(std::move(message), handlerToken, false);
    }

};

namespace {

struct LiveLooper {
    BLooper* looper;
    std::shared_ptr<BLocker> locker;
};

struct LiveHandler {
    BHandler* handler;
    int32 looperToken;
};

struct LooperList {
    std::mutex lock;
    // Guarded by lock.
    std::map<int32, LiveLooper> loopers;
    // Handlers added to loopers, by handler token.
    std::map<int32, LiveHandler> handlers;
};

LooperList& List()
{
    // Never destroyed: looper threads may still post while statics go away.
    static LooperList* list = new LooperList;
    return *list;
}

bool HandlerBelongs(const LooperList& list, int32 looperToken, int32 handlerToken)
{
    if (handlerToken == looperToken || handlerToken == PREFERRED_HANDLER_TOKEN)
        return true;
    auto found = list.handlers.find(handlerToken);
    return found != list.handlers.end() && found->second.looperToken == looperToken;
}

void RegisterLooper(int32 token, BLooper* looper, std::shared_ptr<BLocker> locker)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    list.loopers.emplace(token, LiveLooper{looper, std::move(locker)});
}

void UnregisterLooper(int32 token)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    list.loopers.erase(token);
    std::erase_if(list.handlers,
        [token](const auto& entry) { return entry.second.looperToken == token; });
}

void RegisterHandler(int32 handlerToken, BHandler* handler, int32 looperToken)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    list.handlers[handlerToken] = LiveHandler{handler, looperToken};
}

void UnregisterHandler(int32 handlerToken)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    list.handlers.erase(handlerToken);
}

} // namespace

int32 NewHandlerToken()
{
    static std::atomic<int32> nextToken{1};
    return nextToken.fetch_add(1);
}

status_t PostToLooper(int32 looperToken, int32 handlerToken, const BMessage& message)
{
    auto copy = std::make_unique<BMessage>(message);
    LooperList& list = List();
    // Held while posting: the looper leaves the list before its queue goes away.
    std::lock_guard guard(list.lock);
    auto found = list.loopers.find(looperToken);
    if (found == list.loopers.end())
        return B_BAD_PORT_ID;
    if (!HandlerBelongs(list, looperToken, handlerToken))
        return B_BAD_HANDLER;
    return LooperAccess::Post(found->second.looper, std::move(copy), handlerToken);
}

bool IsLiveTarget(int32 looperToken, int32 handlerToken)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    return list.loopers.contains(looperToken) && HandlerBelongs(list, looperToken, handlerToken);
}

status_t LockLooper(int32 looperToken, bigtime_t timeout, BLooper** looper)
{
    if (looper == nullptr)
        return B_BAD_VALUE;
    LiveLooper live;
    {
        LooperList& list = List();
        std::lock_guard guard(list.lock);
        auto found = list.loopers.find(looperToken);
        if (found == list.loopers.end())
            return B_BAD_PORT_ID;
        live = found->second;
    }
    // Loopers are deleted only with their lock held, and their lock is retired
    // then; holding the lock therefore keeps the looper alive.
    status_t status = live.locker->LockWithTimeout(timeout);
    if (status == B_BAD_SEM_ID)
        return B_BAD_PORT_ID;
    if (status != B_OK)
        return status;
    *looper = live.looper;
    return B_OK;
}

BLooper* FindLooper(int32 looperToken)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    auto found = list.loopers.find(looperToken);
    return found == list.loopers.end() ? nullptr : found->second.looper;
}

BHandler* FindHandler(int32 looperToken, int32 handlerToken)
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    auto looper = list.loopers.find(looperToken);
    if (looper == list.loopers.end())
        return nullptr;
    if (handlerToken == looperToken)
        return looper->second.looper;
    auto found = list.handlers.find(handlerToken);
    if (found == list.handlers.end() || found->second.looperToken != looperToken)
        return nullptr;
    return found->second.handler;
}

std::vector<int32> LooperTokens()
{
    LooperList& list = List();
    std::lock_guard guard(list.lock);
    std::vector<int32> tokens;
    for (const auto& [token, live] : list.loopers)
        tokens.push_back(token);
    return tokens;
}

} // namespace kits::app

using kits::app::PREFERRED_HANDLER_TOKEN;

BLooper::BLooper(const char* name, int32 priority)
    :
    BHandler(name),
    locker(std::make_shared<BLocker>(name)),
    priority(priority)
{
    looper = this;
    handlers.push_back(this);
    kits::app::RegisterLooper(token, this, locker);
}

BLooper::~BLooper()
{
    // From now on messengers find nothing, and threads waiting for the lock give up.
    kits::app::UnregisterLooper(token);
    for (BHandler* handler : handlers) {
        handler->looper = nullptr;
        handler->nextHandler = nullptr;
    }
    handlers.clear();
    locker->Retire();
}

int32 BLooper::LooperToken() const
{
    return token;
}

thread_id BLooper::Run()
{
    if (thread.load() >= 0)
        return B_ALREADY_RUNNING;
    thread_id id = spawn_thread(ThreadEntry, Name()[0] != '\0' ? Name() : "looper", priority,
        this);
    if (id < 0)
        return id;
    thread.store(id);
    if (status_t status = resume_thread(id); status != B_OK)
        return status;
    return id;
}

int32 BLooper::ThreadEntry(void* data)
{
    auto* self = static_cast<BLooper*>(data);
    thread_id id = self->thread.load();
    if (self->Loop()) {
        // Unbounded: whoever holds the lock now holds it for a moment's work;
        // a Quit() from another thread gives it back before waiting for us.
        self->Lock();
        delete self;
        // Detached rather than joined: a thread cannot join itself, and no other
        // is bound to come along (the looper is gone, and there may be no
        // application). All that is left to do here is return.
        detach_thread(id);
    }
    return B_OK;
}

bool BLooper::Loop()
{
    for (;;) {
        QueuedMessage next;
        bool pulse = false;
        {
            std::unique_lock guard(queueLock);
            for (;;) {
                if (quitState == QuitState::QUIT_BY_OWN_THREAD) {
                    quitState = QuitState::ENDING_ON_OWN;
                    return true;
                }
                if (quitState != QuitState::RUNNING)
                    return false;
                bigtime_t now = system_time();
                if (pulseInterval > 0 && now >= nextPulse) {
                    // A late pulse is not made up for by a burst of them.
                    nextPulse += pulseInterval;
                    if (nextPulse <= now)
                        nextPulse = now + pulseInterval;
                    pulse = true;
                    break;
                }
                if (!queue.empty()) {
                    next = std::move(queue.front());
                    queue.pop_front();
                    break;
                }
                if (pulseInterval > 0) {
                    queueChanged.wait_until(guard, std::chrono::steady_clock::now()
                        + std::chrono::microseconds(nextPulse - now));
                } else {
                    // Unbounded: every post, Quit() and pulse change notifies.
                    queueChanged.wait(guard);
                }
            }
        }
        if (pulse)
            next = QueuedMessage{std::make_unique<BMessage>(B_PULSE), token};

        // Unbounded: holders of a looper lock keep it for a short piece of work,
        // and a quitting thread gives it back before it waits for this one.
        if (!Lock())
            return false;
        bool quitElsewhere;
        {
            std::lock_guard guard(queueLock);
            quitElsewhere = quitState == QuitState::QUIT_BY_OTHER_THREAD;
        }
        if (!quitElsewhere)
            Dispatch(next);
        Unlock();
    }
}

void BLooper::Dispatch(QueuedMessage& next)
{
    BHandler* handler = ResolveHandler(next.handlerToken);
    // A message for a handler that has left the looper is dropped.
    if (handler == nullptr)
        return;
    currentMessage = std::move(next.message);
    DispatchMessage(currentMessage.get(), handler);
    currentMessage.reset();
}

BHandler* BLooper::ResolveHandler(int32 handlerToken) const
{
    if (handlerToken == PREFERRED_HANDLER_TOKEN)
        return preferredHandler != nullptr ? preferredHandler : const_cast<BLooper*>(this);
    auto found = std::find_if(handlers.begin(), handlers.end(),
        [handlerToken](const BHandler* handler) { return handler->token == handlerToken; });
    return found == handlers.end() ? nullptr : *found;
}

status_t BLooper::Enqueue(std::unique_ptr<BMessage> message, int32 handlerToken, bool atFront)
{
    std::lock_guard guard(queueLock);
    QueuedMessage entry{std::move(message), handlerToken};
    if (atFront)
        queue.push_front(std::move(entry));
    else
        queue.push_back(std::move(entry));
    // Notified under the mutex: once it is released the message may make the
    // looper quit and delete itself, condition variable included.
    queueChanged.notify_one();
    return B_OK;
}

void BLooper::EndLoop()
{
    std::lock_guard guard(queueLock);
    if (quitState == QuitState::RUNNING)
        quitState = QuitState::QUIT_BY_OTHER_THREAD;
    queueChanged.notify_one();
}

void BLooper::SetPulseInterval(bigtime_t interval)
{
    std::lock_guard guard(queueLock);
    pulseInterval = std::max<bigtime_t>(interval, 0);
    nextPulse = system_time() + pulseInterval;
    queueChanged.notify_one();
}

bigtime_t BLooper::PulseInterval() const
{
    std::lock_guard guard(queueLock);
    return pulseInterval;
}

void BLooper::Quit()
{
    Lock();
    thread_id loopThread = thread.load();
    if (loopThread < 0) {
        delete this;
        return;
    }
    if (loopThread == find_thread(nullptr)) {
        {
            std::lock_guard guard(queueLock);
            if (quitState == QuitState::RUNNING)
                quitState = QuitState::QUIT_BY_OWN_THREAD;
        }
        Unlock();
        return;
    }

    bool joinHere;
    {
        std::lock_guard guard(queueLock);
        // Once the thread has left its loop to delete the looper, it finishes the job.
        joinHere = quitState != QuitState::ENDING_ON_OWN;
        if (joinHere)
            quitState = QuitState::QUIT_BY_OTHER_THREAD;
        queueChanged.notify_one();
    }
    // Every level of the caller's lock goes, so that the loop can take it and
    // see the request. The copy outlives a looper that deletes itself meanwhile.
    std::shared_ptr<BLocker> keep = locker;
    for (int32 count = keep->CountLocks(); count > 0; count--)
        keep->Unlock();
    if (!joinHere)
        return;
    // Unbounded: the thread ends after its current message, which by the lock
    // order never waits for a lock that the quitting thread holds.
    wait_for_thread(loopThread, nullptr);
    Lock();
    delete this;
}

bool BLooper::QuitRequested()
{
    return true;
}

status_t BLooper::PostMessage(uint32 command)
{
    BMessage message(command);
    return PostMessage(&message);
}

status_t BLooper::PostMessage(BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    return Enqueue(std::make_unique<BMessage>(*message), token, false);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler)
{
    BMessage message(command);
    return PostMessage(&message, handler);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    if (handler != nullptr && handler->looper != this)
        return B_MISMATCHED_VALUES;
    int32 target = handler != nullptr ? handler->token : PREFERRED_HANDLER_TOKEN;
    return Enqueue(std::make_unique<BMessage>(*message), target, false);
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message->what == B_QUIT_REQUESTED && handler == this) {
        if (QuitRequested())
            Quit();
        return;
    }
    handler->MessageReceived(message);
}

BMessage* BLooper::CurrentMessage() const
{
    if (find_thread(nullptr) != thread.load())
        return nullptr;
    return currentMessage.get();
}

BMessage* BLooper::DetachCurrentMessage()
{
    if (find_thread(nullptr) != thread.load())
        return nullptr;
    return currentMessage.release();
}

void BLooper::AddHandler(BHandler* handler)
{
    if (handler == nullptr || !Lock())
        return;
    if (handler->looper == nullptr) {
        handler->looper = this;
        handler->nextHandler = this;
        handlers.push_back(handler);
        kits::app::RegisterHandler(handler->token, handler, token);
    }
    Unlock();
}

bool BLooper::RemoveHandler(BHandler* handler)
{
    if (handler == nullptr || handler == this || !Lock())
        return false;
    bool removed = false;
    if (handler->looper == this) {
        kits::app::UnregisterHandler(handler->token);
        std::erase(handlers, handler);
        // Nothing may keep pointing at a handler that may be deleted next.
        for (BHandler* other : handlers) {
            if (other->nextHandler == handler)
                other->nextHandler = handler->nextHandler;
        }
        if (preferredHandler == handler)
            preferredHandler = nullptr;
        handler->looper = nullptr;
        handler->nextHandler = nullptr;
        removed = true;
    }
    Unlock();
    return removed;
}

int32 BLooper::CountHandlers() const
{
    return int32(handlers.size());
}

BHandler* BLooper::HandlerAt(int32 index) const
{
    if (index < 0 || size_t(index) >= handlers.size())
        return nullptr;
    return handlers[size_t(index)];
}

BHandler* BLooper::PreferredHandler() const
{
    return preferredHandler;
}

void BLooper::SetPreferredHandler(BHandler* handler)
{
    preferredHandler = handler != nullptr && handler->looper == this ? handler : nullptr;
}

bool BLooper::Lock()
{
    // A copy keeps the lock alive for a waiter even if the looper goes away.
    std::shared_ptr<BLocker> keep = locker;
    return keep->Lock();
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
    std::shared_ptr<BLocker> keep = locker;
    return keep->LockWithTimeout(timeout);
}

void BLooper::Unlock()
{
    // Another thread may delete the looper as soon as the lock is free; the
    // copy keeps the lock itself alive until Unlock() has returned.
    std::shared_ptr<BLocker> keep = locker;
    keep->Unlock();
}

bool BLooper::IsLocked() const
{
    return locker->IsLocked();
}

thread_id BLooper::LockingThread() const
{
    return locker->LockingThread();
}

int32 BLooper::CountLocks() const
{
    return locker->CountLocks();
}

thread_id BLooper::Thread() const
{
    return thread.load();
}

int32 BLooper::CountQueuedMessages() const
{
    std::lock_guard guard(queueLock);
    return int32(queue.size());
}
