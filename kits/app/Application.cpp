#include "kits/app/Application.h"

#include "kits/app/AppDefs.h"
#include "kits/app/LooperPrivate.h"
#include "kits/app/Message.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <set>

BApplication* be_app = nullptr;
BMessenger be_app_messenger;

BApplication::BApplication(const char* signature)
    :
    BLooper(signature),
    signature(signature != nullptr ? signature : "")
{
    assert(be_app == nullptr && "only one BApplication may exist at a time");
    be_app = this;
    be_app_messenger = BMessenger(this);
}

BApplication::~BApplication()
{
    std::set<int32> tried{LooperToken()};
    for (;;) {
        std::vector<int32> tokens = kits::app::LooperTokens();
        auto next = std::find_if(tokens.begin(), tokens.end(),
            [&](int32 candidate) { return !tried.contains(candidate); });
        if (next == tokens.end())
            break;
        tried.insert(*next);
        BLooper* looper;
        // Unbounded: the looper's own thread holds its lock only for its current
        // message, and nothing else runs in the program at this point.
        if (kits::app::LockLooper(*next, B_INFINITE_TIMEOUT, &looper) == B_OK)
            looper->Quit();
    }
    kits::app::JoinEndedLoopers();
    be_app_messenger = BMessenger();
    be_app = nullptr;
}

thread_id BApplication::Run()
{
    kits::app::JoinEndedLoopers();
    if (thread.load() >= 0)
        return B_ALREADY_RUNNING;
    thread_id self = find_thread(nullptr);
    thread.store(self);
    Enqueue(std::make_unique<BMessage>(B_READY_TO_RUN), LooperToken(), true);
    Loop();
    return self;
}

void BApplication::Quit()
{
    EndLoop();
}

void BApplication::ReadyToRun()
{
}

void BApplication::Pulse()
{
}

void BApplication::AboutRequested()
{
}

void BApplication::SetPulseRate(bigtime_t rate)
{
    SetPulseInterval(rate);
}

bigtime_t BApplication::PulseRate() const
{
    return PulseInterval();
}

const char* BApplication::Signature() const
{
    return signature.c_str();
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler == this) {
        switch (message->what) {
        case B_READY_TO_RUN:
            ReadyToRun();
            return;
        case B_PULSE:
            Pulse();
            return;
        case B_ABOUT_REQUESTED:
            AboutRequested();
            return;
        default:
            break;
        }
    }
    BLooper::DispatchMessage(message, handler);
}
