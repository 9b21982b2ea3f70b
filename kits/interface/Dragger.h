#pragma once
// BDragger: the small handle by which a view is dragged out as a replicant.

#include "kits/interface/View.h"

// A view of 8 by 8 pixels that draws a handle. Pressing the primary button on it and moving
// the pointer archives the target (Archive(&archive, true) into a B_ARCHIVED_OBJECT message,
// at the moment the drag starts) and drags that archive; where it is dropped on a shelf, a copy
// of the target is rebuilt. A secondary click on a dragger whose target is a replicant of a
// shelf offers "Remove replicant", which removes and deletes the replicant. Its hooks run on
// the window's thread with the window locked.
class BDragger : public BView {
public:
    // target: the view dragged out; not owned. It must outlive the dragger (usually it is the
    // dragger's parent). A null target means the parent.
    BDragger(BRect frame, BView* target, uint32 resizingMode = B_FOLLOW_NONE,
        uint32 flags = B_WILL_DRAW);
    // A dragger rebuilt inside its target's archive; its target is its parent.
    explicit BDragger(BMessage* archive);
    ~BDragger() override;

    // A BDragger from an archive whose "class" names BDragger; null otherwise.
    static BArchivable* Instantiate(BMessage* archive);

    // The view that is dragged out; null while none is known.
    BView* Target() const;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;

private:
    // Offers "Remove replicant" when the target is a replicant of a shelf.
    void ShowShelfMenu(BPoint where);
    void StartDrag();

    BView* target;
    // A primary press that has not yet moved far enough to start a drag.
    bool pressed = false;
    BPoint pressPoint;
};
