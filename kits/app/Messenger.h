#pragma once
// BMessenger: an address of a handler in a looper, safe to use after the target is gone.

#include "kits/kernel/OS.h"

class BHandler;
class BLooper;
class BMessage;

// A messenger names its target by tokens, never by pointer, so it may outlive
// the target: sending then fails with B_BAD_PORT_ID and nothing is touched.
// Any thread may use a messenger; copies are independent. Replies are not
// supported: sending is always asynchronous.
class BMessenger {
public:
    // Targets nothing.
    BMessenger();
    // Targets handler in its looper; with a null handler, the preferred handler
    // of looper at the time of each dispatch. *result (when given) is B_OK,
    // B_BAD_HANDLER for a handler that belongs to no looper, B_MISMATCHED_VALUES
    // for a handler of another looper than the one given, or B_BAD_VALUE when
    // both are null; the messenger is then invalid. Call it with the handler's
    // looper locked or on its thread.
    explicit BMessenger(const BHandler* handler, const BLooper* looper = nullptr,
        status_t* result = nullptr);

    // Whether the target is still alive (it may go away right after).
    bool IsValid() const;

    // Posts a copy of the message; the caller keeps its own. B_BAD_PORT_ID when
    // the looper is gone, B_BAD_HANDLER when the handler has left it.
    status_t SendMessage(uint32 command) const;
    status_t SendMessage(const BMessage* message) const;

    // Locks the target's looper; false when it is gone. Unlock it through the
    // looper that Target() returns.
    bool LockTarget() const;
    // B_OK, B_TIMED_OUT, or B_BAD_PORT_ID when the looper is gone.
    status_t LockTargetWithTimeout(bigtime_t timeout) const;
    // The target handler (null for a preferred-handler target) and, in *looper,
    // its looper; both null when gone. The pointers stay valid only while the
    // looper is locked.
    BHandler* Target(BLooper** looper) const;

    bool operator==(const BMessenger& other) const = default;

private:
    int32 looperToken;
    int32 handlerToken;
};
