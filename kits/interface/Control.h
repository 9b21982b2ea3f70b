#pragma once
// BControl: the base of views the user sets a value with, which send a message when set.

#include "kits/app/Invoker.h"
#include "kits/interface/View.h"

#include <string>

// Values of two-state controls.
enum : int32 {
    B_CONTROL_OFF = 0,
    B_CONTROL_ON = 1,
};

// A control has a label, an int32 value and a message it posts (BInvoker) when the user sets it;
// setting the value from code posts nothing. Without a target of its own, a control targets its
// window once attached. A click focuses it; the focused control marks itself in the navigation
// colour. A disabled control takes no input, is drawn grey, and is left out of keyboard
// navigation. Hooks and calls as for any view: on the window's thread, window locked.
class BControl : public BView, public BInvoker {
public:
    // Takes ownership of message (which may be null).
    BControl(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode, uint32 flags);
    ~BControl() override;

    virtual void SetLabel(const char* label);
    const char* Label() const;
    // Redraws when the value changes; sends nothing.
    virtual void SetValue(int32 value);
    int32 Value() const;
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const;

    // Adds "when" (int64 system time) and "source" (pointer to this control) to a copy of
    // message, or of the control's own message, and posts it. B_NOT_ALLOWED while disabled.
    status_t Invoke(BMessage* message = nullptr) override;

    // A disabled control does not take the focus.
    void MakeFocus(bool focus = true) override;
    // Takes the target and the view colour of its parent.
    void AttachedToWindow() override;

protected:
    // Changes the value without redrawing, for controls that redraw themselves.
    void SetValueNoUpdate(int32 value);
    // The colours text and marks are drawn in, for the enabled or disabled control.
    rgb_color TextColor() const;

private:
    std::string label;
    int32 value = 0;
    bool enabled = true;
    // Whether the flags asked for keyboard navigation, which enabling gives back.
    bool navigable;
};
