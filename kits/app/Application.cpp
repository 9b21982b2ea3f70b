#include "kits/app/Application.h"

#include "kits/app/AppDefs.h"
#include "kits/app/LooperPrivate.h"
#include "kits/app/Message.h"
#include "kits/app/Roster.h"
#include "kits/storage/Entry.h"
#include "kits/storage/StorageDefs.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include <unistd.h>

BApplication* be_app = nullptr;
BMessenger be_app_messenger;

namespace {

std::atomic<bool> cursorHidden{false};
// Serialises changes of the cursor with their reports, so the listener hears them in order.
std::mutex cursorLock;
// Guarded by cursorLock.
std::function<void(bool)> cursorListener;

void SetCursorHidden(bool hidden)
{
    std::lock_guard guard(cursorLock);
    if (cursorHidden.exchange(hidden) != hidden && cursorListener)
        cursorListener(hidden);
}

}

namespace kits::app {

void SetCursorListener(std::function<void(bool hidden)> listener)
{
    std::lock_guard guard(cursorLock);
    cursorListener = std::move(listener);
    if (cursorListener)
        cursorListener(cursorHidden.load());
}

}

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
    be_app_messenger = BMessenger();
    be_app = nullptr;
}

thread_id BApplication::Run()
{
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

status_t BApplication::GetAppInfo(app_info* info) const
{
    if (info == nullptr)
        return B_BAD_VALUE;
    std::vector<char> path(B_PATH_NAME_LENGTH);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return B_ENTRY_NOT_FOUND;
    path[size_t(length)] = '\0';
    entry_ref ref;
    if (get_ref_for_path(path.data(), &ref) != B_OK)
        return B_ENTRY_NOT_FOUND;
    *info = app_info();
    info->thread = Thread();
    info->team = getpid();
    info->ref = ref;
    std::strncpy(info->signature, signature.c_str(), sizeof(info->signature) - 1);
    return B_OK;
}

void BApplication::ShowCursor()
{
    SetCursorHidden(false);
}

void BApplication::HideCursor()
{
    SetCursorHidden(true);
}

bool BApplication::IsCursorHidden() const
{
    return cursorHidden.load();
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
