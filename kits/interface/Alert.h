#pragma once
// BAlert: a small window with a message and up to three buttons, waited for or left to run.

#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"

#include <string>
#include <vector>

enum alert_type {
    B_EMPTY_ALERT = 0,
    B_INFO_ALERT = 1,
    B_IDEA_ALERT = 2,
    B_WARNING_ALERT = 3,
    B_STOP_ALERT = 4,
};

enum button_width {
    B_WIDTH_AS_USUAL = 0,
    B_WIDTH_FROM_WIDEST = 1,
    B_WIDTH_FROM_LABEL = 2,
};

// An alert is created with new and deletes itself: Go() returns after it is gone. It shows its
// text (lines split at line feeds) beside an icon for its type, with the buttons in a row along
// the bottom, the last one the default that Enter presses. Button presses are handled on the
// alert's own thread. Tests answer alerts without a display through
// kits/interface/AlertTestHooks.h.
class BAlert : public BWindow {
public:
    // button0 must be given; button1 and button2 may be null. The texts are copied.
    BAlert(const char* title, const char* text, const char* button0,
        const char* button1 = nullptr, const char* button2 = nullptr,
        button_width width = B_WIDTH_AS_USUAL, alert_type type = B_INFO_ALERT);
    ~BAlert() override;

    // Shows the alert and blocks the calling thread until a button is pressed; returns its index
    // (0 to 2). The alert is deleted before the call returns. Calling it from the thread of a
    // window stops that window's drawing and messages until then.
    int32 Go();
    // Shows the alert and returns B_OK at once; when a button is pressed the alert closes and
    // deletes itself and then releases done (pass -1 for no semaphore).
    status_t Go(sem_id done);

    const char* Text() const;
    alert_type AlertType() const;
    int32 CountButtons() const;
    // The view of a button, named after its label; null for an index out of range.
    BView* ButtonAt(int32 index) const;

    // Called on the alert's thread when a button is pressed.
    void ButtonPressed(int32 index);

    void DispatchMessage(BMessage* message, BHandler* handler) override;
    // The close box does not dismiss an alert: only its buttons do.
    bool QuitRequested() override;

private:
    void Finish(int32 index);

    std::string text;
    alert_type type;
    button_width widthMode;
    std::vector<std::string> labels;
    std::vector<BView*> buttons;
    // Guarded by the window lock.
    bool synchronous = false;
    bool finished = false;
    int32 chosen = -1;
    sem_id done = -1;
    sem_id pressed = -1;
    // The alert's place in the test records, -1 when it is not recorded.
    int64 record = -1;
};
