#pragma once
// BTextControl: a labelled line of text the user types into.

#include "kits/interface/Control.h"

#include <memory>
#include <string>

// The label stands left of the divider, the text in a sunken box right of it. With the focus,
// a caret shows where typing goes: text is inserted there, Backspace and Delete remove the
// character before or after it, the left and right arrows, Home and End move it. Enter invokes
// the control whether or not the text was changed, so that the user can apply the same text
// again; leaving the control after changing the text invokes it too. Every change the user makes
// posts the modification message, when one is set. Text is UTF-8; the caret moves by characters.
class BTextControl : public BControl {
public:
    // Takes ownership of message (which may be null).
    BTextControl(BRect frame, const char* name, const char* label, const char* text,
        BMessage* message, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BTextControl() override;

    // Replaces the text and puts the caret at its end; sends nothing.
    virtual void SetText(const char* text);
    const char* Text() const;
    // Where the text box begins, in view coordinates: the label's width and a gap by default.
    void SetDivider(float divider);
    float Divider() const;
    // Takes ownership of message (which may be null) and deletes the one before.
    void SetModificationMessage(BMessage* message);
    BMessage* ModificationMessage() const;

    void SetLabel(const char* label) override;
    void MakeFocus(bool focus = true) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;

private:
    BRect TextBox() const;
    // Where the text starts, in view coordinates.
    float TextLeft() const;
    // After a change by the user: redraws and posts the modification message.
    void Edited();

    std::string text;
    // A byte offset into text, at the start of a character.
    size_t caret = 0;
    float divider;
    bool dividerSet = false;
    // Changed by the user since it was last set or invoked.
    bool modified = false;
    std::unique_ptr<BMessage> modificationMessage;
};
