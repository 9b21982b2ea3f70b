#pragma once
// BListView: a column of BListItems from which the user picks one.

#include "kits/app/Invoker.h"
#include "kits/interface/View.h"

#include <memory>
#include <vector>

class BListItem;
class BScrollBar;

enum list_view_type {
    B_SINGLE_SELECTION_LIST = 0,
};

// The items stand one below the other, each as high as its Update made it, and at most one is
// selected. A click selects the item under the pointer and focuses the list; with the focus, the
// up and down arrows select the item above or below, Home and End the first and the last, and
// the selection is scrolled into view. Double-clicking an item or pressing Enter invokes the
// list (BInvoker's message, with "when", "source" and "index"). Whenever another item (or none)
// becomes the selected one, by the user or by code, the selection message is posted to the same
// target with the same fields; moving the selected item (AddItem before it, SwapItems) keeps it
// selected and sends nothing. Without a target of its own, the list targets its window once
// attached.
//
// Ownership: the list owns the items it holds and deletes them when it is destroyed and in
// MakeEmpty; RemoveItem hands the item back to the caller, who deletes it.
//
// The list keeps its own scroll position, vertical only: ItemFrame gives where an item is drawn
// now. A vertical BScrollBar that targets the list scrolls it, and the list keeps that bar's
// range, proportion, steps and value in step with its items, its height and its position. Hooks
// and calls as for any view: on the window's thread, window locked.
class BListView : public BView, public BInvoker {
public:
    BListView(BRect frame, const char* name, list_view_type type = B_SINGLE_SELECTION_LIST,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
    // Deletes the items.
    ~BListView() override;

    // Takes ownership of item and appends it, or inserts it before index (0 to CountItems()).
    // False, with the caller keeping the item, for a null item or an index out of range.
    bool AddItem(BListItem* item);
    bool AddItem(BListItem* item, int32 index);
    // Takes the item out and gives it back to the caller; null (or false) when it is not
    // there. Removing the selected item leaves nothing selected.
    BListItem* RemoveItem(int32 index);
    bool RemoveItem(BListItem* item);
    // The two items change places; a selected one stays selected. False when either index is
    // out of range.
    bool SwapItems(int32 a, int32 b);
    // Deletes every item.
    void MakeEmpty();

    int32 CountItems() const;
    bool IsEmpty() const;
    // Null when index is out of range.
    BListItem* ItemAt(int32 index) const;
    // -1 when the item is not in this list.
    int32 IndexOf(const BListItem* item) const;
    // The item whose frame holds point (view coordinates); -1 if none.
    int32 IndexOf(BPoint point) const;
    // Where the item is drawn, in view coordinates: as wide as the view and as high as the
    // item. An empty rectangle when index is out of range.
    BRect ItemFrame(int32 index) const;

    list_view_type ListType() const;
    // The index of the selected item for n = 0, otherwise -1; -1 when none is selected.
    int32 CurrentSelection(int32 n = 0) const;
    // Selects the item at index, deselecting the one before; an index out of range changes
    // nothing. extend is accepted for a single-selection list and has no effect.
    void Select(int32 index, bool extend = false);
    void Deselect(int32 index);
    void DeselectAll();
    bool IsItemSelected(int32 index) const;
    // Scrolls as little as needed to show the whole selected item.
    void ScrollToSelection();
    // Scrolls the items so that where.y of the unscrolled list is at the top, as far as the
    // items reach; where.x is ignored.
    void ScrollTo(BPoint where);
    // Redraws the item.
    void InvalidateItem(int32 index);

    // Takes ownership of message (which may be null) and deletes the one before.
    void SetSelectionMessage(BMessage* message);
    BMessage* SelectionMessage() const;
    uint32 SelectionCommand() const;
    // The invocation message is BInvoker's.
    void SetInvocationMessage(BMessage* message);
    BMessage* InvocationMessage() const;
    uint32 InvocationCommand() const;

    // Adds "when" (int64 system time), "source" (pointer to this list) and "index" (int32, the
    // selected item, when one is) to a copy of message or of the invocation message and posts it.
    status_t Invoke(BMessage* message = nullptr) override;

    void AttachedToWindow() override;
    void FrameResized(float newWidth, float newHeight) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void MakeFocus(bool focus = true) override;

protected:
    // Called after the selection changed, before the selection message is posted.
    virtual void SelectionChanged();

private:
    friend class BScrollBar;

    // Measures every item for the list's font and width.
    void UpdateItems();
    // The item's frame as if the list were not scrolled.
    BRect UnscrolledFrame(int32 index) const;
    float ContentHeight() const;
    // Keeps the scroll position within the items, and the scroll bar in step.
    void ClampScroll();
    // Makes index (or none, for -1) the selected item, telling the target if that changed.
    void SetSelection(int32 index);
    // Calls SelectionChanged and posts the selection message.
    void NotifySelection();
    // Selects index from the keyboard and shows it.
    void KeySelect(int32 index);

    list_view_type type;
    std::vector<std::unique_ptr<BListItem>> items;
    int32 selected = -1;
    std::unique_ptr<BMessage> selectionMessage;
    // How far the items are scrolled up, in pixels.
    float scrollTop = 0;
    // The vertical bar that targets the list, or null; it unlinks itself when deleted.
    BScrollBar* scrollBar = nullptr;
};
