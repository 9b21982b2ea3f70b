#include "kits/app/Handler.h"

#include "kits/app/Looper.h"
#include "kits/app/LooperPrivate.h"

BHandler::BHandler(const char* name)
    :
    name(name != nullptr ? name : ""),
    token(kits::app::NewHandlerToken())
{
}

BHandler::~BHandler()
{
    if (looper != nullptr)
        looper->RemoveHandler(this);
}

void BHandler::MessageReceived(BMessage* message)
{
    if (nextHandler != nullptr && nextHandler != this)
        nextHandler->MessageReceived(message);
}

BLooper* BHandler::Looper() const
{
    return looper;
}

void BHandler::SetName(const char* newName)
{
    name = newName != nullptr ? newName : "";
}

const char* BHandler::Name() const
{
    return name.c_str();
}

void BHandler::SetNextHandler(BHandler* handler)
{
    nextHandler = handler;
}

BHandler* BHandler::NextHandler() const
{
    return nextHandler;
}
