#include "kits/app/Handler.h"

#include "kits/app/Looper.h"
#include "kits/app/LooperPrivate.h"
#include "kits/app/Message.h"

BHandler::BHandler(const char* name)
    :
    name(name != nullptr ? name : ""),
    token(kits::app::NewHandlerToken())
{
}

BHandler::BHandler(BMessage* archive)
    :
    BArchivable(archive),
    token(kits::app::NewHandlerToken())
{
    const char* archivedName = nullptr;
    if (archive != nullptr && archive->FindString("_name", &archivedName) == B_OK)
        name = archivedName;
}

BHandler::~BHandler()
{
    if (looper != nullptr)
        looper->RemoveHandler(this);
}

status_t BHandler::Archive(BMessage* archive, bool deep) const
{
    if (status_t status = BArchivable::Archive(archive, deep); status != B_OK)
        return status;
    return name.empty() ? B_OK : archive->AddString("_name", name.c_str());
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
