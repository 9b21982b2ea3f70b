#include "kits/app/Invoker.h"

#include "kits/app/Application.h"
#include "kits/app/Handler.h"
#include "kits/app/Message.h"

BInvoker::BInvoker() = default;

BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
    :
    message(message)
{
    (void)SetTarget(handler, looper);
}

BInvoker::BInvoker(BMessage* message, BMessenger target)
    :
    message(message),
    target(target),
    hasTarget(true)
{
}

BInvoker::~BInvoker() = default;

status_t BInvoker::SetMessage(BMessage* newMessage)
{
    message.reset(newMessage);
    return B_OK;
}

BMessage* BInvoker::Message() const
{
    return message.get();
}

uint32 BInvoker::Command() const
{
    return message != nullptr ? message->what : 0;
}

status_t BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
    status_t result;
    BMessenger messenger(handler, looper, &result);
    if (result != B_OK) {
        target = BMessenger();
        hasTarget = false;
        return result;
    }
    return SetTarget(messenger);
}

status_t BInvoker::SetTarget(BMessenger messenger)
{
    target = messenger;
    hasTarget = true;
    return B_OK;
}

BMessenger BInvoker::Messenger() const
{
    return target;
}

BHandler* BInvoker::Target(BLooper** looper) const
{
    BLooper* targetLooper = nullptr;
    BHandler* handler = target.Target(&targetLooper);
    if (looper != nullptr)
        *looper = targetLooper;
    return handler;
}

bool BInvoker::HasTarget() const
{
    return hasTarget;
}

status_t BInvoker::Invoke(BMessage* with)
{
    const BMessage* send = with != nullptr ? with : message.get();
    if (send == nullptr)
        return B_BAD_VALUE;
    return (hasTarget ? target : be_app_messenger).SendMessage(send);
}
