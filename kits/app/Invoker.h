#pragma once
// BInvoker: a message and the target it is sent to, for objects that fire a command.

#include "kits/app/Messenger.h"
#include "kits/kernel/SupportDefs.h"

#include <memory>

class BHandler;
class BLooper;
class BMessage;

// Controls, list views and the like inherit from it. Invoking posts a copy of the message, so
// the target handles it later on its own looper's thread and the invoker keeps its message. The
// invoker is touched by one thread at a time: for a view, its window's thread or a thread that
// holds the window's lock.
class BInvoker {
public:
    // Targets nothing, without a message.
    BInvoker();
    // Takes ownership of message; the handler is looked up as SetTarget does.
    BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper = nullptr);
    BInvoker(BMessage* message, BMessenger target);
    virtual ~BInvoker();

    BInvoker(const BInvoker&) = delete;
    BInvoker& operator=(const BInvoker&) = delete;

    // Takes ownership of message (which may be null) and deletes the one before.
    virtual status_t SetMessage(BMessage* message);
    // Still owned by the invoker; null without one.
    BMessage* Message() const;
    // Its what, 0 without a message.
    uint32 Command() const;

    // A handler in a looper (made with its looper locked or on its thread), or a looper's
    // preferred handler when handler is null. A failure (see BMessenger) leaves no target.
    virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
    virtual status_t SetTarget(BMessenger messenger);
    // The target as a messenger; an invalid one without a target.
    BMessenger Messenger() const;
    // The target handler and its looper, valid only while that looper is locked; null when
    // there is none or it is gone.
    BHandler* Target(BLooper** looper = nullptr) const;

    // Posts a copy of message, or of the invoker's own message when null, to the target, or to
    // the application when no target was set. B_BAD_VALUE without a message to send, otherwise
    // the result of posting (B_BAD_PORT_ID once the target is gone).
    virtual status_t Invoke(BMessage* message = nullptr);

protected:
    // Whether SetTarget has been given a target since construction.
    bool HasTarget() const;

private:
    std::unique_ptr<BMessage> message;
    BMessenger target;
    bool hasTarget = false;
};
