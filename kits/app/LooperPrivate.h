#pragma once
// The application kit's list of live loopers, which messengers and the application consult.

#include "kits/kernel/OS.h"

#include <vector>

class BHandler;
class BLooper;
class BMessage;

namespace kits::app {

// Handler tokens start at 1; these name no handler.
constexpr int32 NO_HANDLER_TOKEN = -1;
// Addresses whichever handler the looper prefers when the message is dispatched.
constexpr int32 PREFERRED_HANDLER_TOKEN = -2;

int32 NewHandlerToken();

// Posts a copy of message to the live looper with looperToken, for the handler
// with handlerToken (the looper's own token, or PREFERRED_HANDLER_TOKEN).
// B_BAD_PORT_ID: no such looper any more; B_BAD_HANDLER: the handler has left it.
status_t PostToLooper(int32 looperToken, int32 handlerToken, const BMessage& message);
// Whether PostToLooper would find the target.
bool IsLiveTarget(int32 looperToken, int32 handlerToken);
// Locks the live looper with looperToken, waiting at most timeout microseconds.
// On B_OK *looper is it, and stays alive until the caller unlocks it.
// B_BAD_PORT_ID: no such looper any more.
status_t LockLooper(int32 looperToken, bigtime_t timeout, BLooper** looper);
// The looper, and the handler (or the looper itself) with these tokens in it,
// if they are alive now; the pointers may go stale at once unless the looper is
// locked.
BLooper* FindLooper(int32 looperToken);
BHandler* FindHandler(int32 looperToken, int32 handlerToken);
// Tokens of every live looper, oldest first.
std::vector<int32> LooperTokens();

} // namespace kits::app
