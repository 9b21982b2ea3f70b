#pragma once
// BHandler: something inside a looper that messages are addressed to.

#include "kits/app/Archivable.h"
#include "kits/kernel/SupportDefs.h"

#include <string>

class BLooper;
class BMessage;

// A handler belongs to at most one looper (BLooper::AddHandler). Its hooks run
// on that looper's thread with the looper locked; everything else about it is
// touched under that lock too. Delete a handler only after removing it from its
// looper, or with the looper locked: the destructor removes it then.
class BHandler : public BArchivable {
public:
    explicit BHandler(const char* name = nullptr);
    // Takes the name from the archive's "_name"; none without it.
    explicit BHandler(BMessage* archive);
    ~BHandler() override;

    BHandler(const BHandler&) = delete;
    BHandler& operator=(const BHandler&) = delete;

    // Adds the class name and, for a named handler, "_name".
    status_t Archive(BMessage* archive, bool deep = true) const override;

    // Passes the message on to the next handler; with none, a message nobody
    // understood is dropped.
    virtual void MessageReceived(BMessage* message);

    // Null while the handler belongs to no looper.
    BLooper* Looper() const;

    void SetName(const char* name);
    const char* Name() const;

    // The handler that gets the messages this one does not handle; the looper
    // sets itself when the handler is added. Not owned.
    void SetNextHandler(BHandler* handler);
    BHandler* NextHandler() const;

private:
    friend class BLooper;
    friend class BMessenger;

    std::string name;
    // Both guarded by the looper's lock.
    BLooper* looper = nullptr;
    BHandler* nextHandler = nullptr;
    // Names this handler to messengers; never reused.
    const int32 token;
};
