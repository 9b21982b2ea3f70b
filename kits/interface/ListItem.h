#pragma once
// BListItem: one entry of a BListView, which measures and draws itself.

#include "kits/kernel/Rect.h"
#include "kits/kernel/SupportDefs.h"

class BFont;
class BView;

// An item belongs to at most one list view, which owns it (see BListView). The list calls its
// hooks on the window's thread with the window locked; everything else about an item is touched
// under that lock too.
class BListItem {
public:
    // outlineLevel and expanded describe the item's place in an outline; a flat list leaves
    // them at 0 and true.
    explicit BListItem(uint32 outlineLevel = 0, bool expanded = true);
    virtual ~BListItem();

    BListItem(const BListItem&) = delete;
    BListItem& operator=(const BListItem&) = delete;

    // In pixels; 0 until Update has run.
    float Height() const;
    float Width() const;
    void SetHeight(float height);
    void SetWidth(float width);

    // Kept by the list view as it selects and deselects: to change the selection, ask the list.
    bool IsSelected() const;
    void Select();
    void Deselect();

    // A disabled item is drawn as such by DrawItem; it can still be selected.
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const;

    uint32 OutlineLevel() const;
    void SetExpanded(bool expanded);
    bool IsExpanded() const;

    // Draws the item into owner (its list view) inside frame, in owner's coordinates. complete
    // is false when the area has just been cleared to the owner's view colour, true when the
    // item must cover all of frame itself.
    virtual void DrawItem(BView* owner, BRect frame, bool complete = false) = 0;
    // Measures the item for owner and font, when it joins a list and when the list joins a
    // window: by default as wide as the owner and one line of font high (ascent, descent and
    // leading, rounded up).
    virtual void Update(BView* owner, const BFont* font);

private:
    float width = 0;
    float height = 0;
    uint32 outlineLevel;
    bool expanded;
    bool selected = false;
    bool enabled = true;
};
