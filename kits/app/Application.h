#pragma once
// BApplication: the looper that runs on the main thread, with start-up, pulse and quit hooks.

#include "kits/app/Looper.h"
#include "kits/app/Messenger.h"

#include <functional>
#include <string>

struct app_info;

// One application object exists at a time, usually an automatic object of
// main(); it is never deleted by Quit(). Its loop runs on the thread that calls
// Run(), and every hook (ReadyToRun, Pulse, AboutRequested, QuitRequested,
// MessageReceived) runs there with the application locked. Other threads reach
// it by posting, through be_app or be_app_messenger.
class BApplication : public BLooper {
public:
    // The signature is kept as given.
    explicit BApplication(const char* signature);
    // Quits every looper still alive, oldest first: locks it and calls Quit(),
    // so that its thread ends and its destructor runs before this returns.
    ~BApplication() override;

    // Runs the loop on the calling thread until the application quits and
    // returns that thread's id; B_ALREADY_RUNNING on a second call. The first
    // message dispatched is B_READY_TO_RUN, whatever was posted before.
    thread_id Run() override;
    // Ends Run() after the current message; any thread may call it, with or
    // without the lock. Before Run(), Run() returns at once.
    void Quit() override;

    // Called once, as the loop starts.
    virtual void ReadyToRun();
    // Called every PulseRate() microseconds once a rate is set.
    virtual void Pulse();
    // Called for B_ABOUT_REQUESTED; does nothing by default.
    virtual void AboutRequested();

    // Microseconds between pulses; 0 stops them. The first pulse comes one
    // interval after the call, and a pulse that comes late is not made up for.
    void SetPulseRate(bigtime_t rate);
    bigtime_t PulseRate() const;

    const char* Signature() const;
    // The signature, the looper thread, the process and the executable's file (read from the
    // running process, so it names the real program whatever it was started as). B_BAD_VALUE for
    // a null info; B_ENTRY_NOT_FOUND when the executable cannot be found.
    status_t GetAppInfo(app_info* info) const;

    // The mouse pointer over the application's windows; hiding does not nest. Any thread may
    // call these.
    void ShowCursor();
    void HideCursor();
    bool IsCursorHidden() const;

    void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
    const std::string signature;
};

namespace kits::app {

// Told of each change of the cursor's visibility (true: hidden), and once at once with the
// current state; the display sets it, as this kit cannot reach the display itself. Called on
// the thread that changed the cursor, with no lock of this kit held. Empty removes it.
void SetCursorListener(std::function<void(bool hidden)> listener);

}

// The application object while it exists, null otherwise.
extern BApplication* be_app;
// Targets be_app while it exists.
extern BMessenger be_app_messenger;
