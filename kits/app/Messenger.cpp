#include "kits/app/Messenger.h"

#include "kits/app/Looper.h"
#include "kits/app/LooperPrivate.h"
#include "kits/app/Message.h"

using kits::app::NO_HANDLER_TOKEN;
using kits::app::PREFERRED_HANDLER_TOKEN;

BMessenger::BMessenger()
    :
    looperToken(NO_HANDLER_TOKEN),
    handlerToken(NO_HANDLER_TOKEN)
{
}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
    :
    BMessenger()
{
    status_t status = B_OK;
    if (handler == nullptr && looper == nullptr) {
        status = B_BAD_VALUE;
    } else if (handler == nullptr) {
        looperToken = looper->token;
        handlerToken = PREFERRED_HANDLER_TOKEN;
    } else if (handler->looper == nullptr) {
        status = B_BAD_HANDLER;
    } else if (looper != nullptr && handler->looper != looper) {
        status = B_MISMATCHED_VALUES;
    } else {
        looperToken = handler->looper->token;
        handlerToken = handler->token;
    }
    if (result != nullptr)
        *result = status;
}

bool BMessenger::IsValid() const
{
    return looperToken != NO_HANDLER_TOKEN
        && kits::app::IsLiveTarget(looperToken, handlerToken);
}

status_t BMessenger::SendMessage(uint32 command) const
{
    BMessage message(command);
    return SendMessage(&message);
}

status_t BMessenger::SendMessage(const BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    if (looperToken == NO_HANDLER_TOKEN)
        return B_BAD_PORT_ID;
    return kits::app::PostToLooper(looperToken, handlerToken, *message);
}

bool BMessenger::LockTarget() const
{
    return LockTargetWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BMessenger::LockTargetWithTimeout(bigtime_t timeout) const
{
    if (looperToken == NO_HANDLER_TOKEN)
        return B_BAD_PORT_ID;
    BLooper* looper;
    return kits::app::LockLooper(looperToken, timeout, &looper);
}

BHandler* BMessenger::Target(BLooper** looper) const
{
    BLooper* found = looperToken != NO_HANDLER_TOKEN ? kits::app::FindLooper(looperToken)
                                                      : nullptr;
    BHandler* handler = nullptr;
    if (found != nullptr && handlerToken != PREFERRED_HANDLER_TOKEN) {
        handler = kits::app::FindHandler(looperToken, handlerToken);
        if (handler == nullptr)
            found = nullptr;
    }
    if (looper != nullptr)
        *looper = found;
    return handler;
}
