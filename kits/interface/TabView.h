#pragma once
// BTabView and BTab: pages of views, one shown at a time, chosen by the tabs above them.

#include "kits/interface/Alert.h"
#include "kits/interface/View.h"

#include <memory>
#include <string>
#include <vector>

class BTabView;

// One tab of a tab view: its label and the page view it shows. A tab that is in no tab view owns
// its view; once added, the view belongs to the tab view's container.
class BTab {
public:
    // Takes ownership of view (which may be null); the label is the view's name.
    explicit BTab(BView* view = nullptr);
    virtual ~BTab();

    BTab(const BTab&) = delete;
    BTab& operator=(const BTab&) = delete;

    const char* Label() const;
    // Redraws the tab view holding the tab.
    virtual void SetLabel(const char* label);
    bool IsSelected() const;
    BView* View() const;

private:
    friend class BTabView;

    std::string label;
    // Observes the view, which ownView or the tab view's container owns.
    BView* view = nullptr;
    std::unique_ptr<BView> ownView;
    BTabView* owner = nullptr;
    bool selected = false;
};

// A row of tabs along the top edge and, below them, a raised frame around the container view
// that holds the tabs' page views at their own frames (in the container's coordinates). The
// selected tab's page is shown and the others are hidden; the first tab added is selected. A
// click on a tab selects it; with the focus, the left and right arrow keys select the tab beside
// the selected one. When a page that holds the focus is hidden, the tab view takes the focus.
// Hooks and calls as for any view: on the window's thread, window locked.
class BTabView : public BView {
public:
    BTabView(BRect frame, const char* name, button_width width = B_WIDTH_AS_USUAL,
        uint32 resizingMode = B_FOLLOW_ALL,
        uint32 flags
        = B_FULL_UPDATE_ON_RESIZE | B_WILL_DRAW | B_NAVIGABLE_JUMP | B_FRAME_EVENTS | B_NAVIGABLE);
    ~BTabView() override;

    // Takes ownership of target and tab (a new BTab when null), which shows target. A tab
    // without a label takes target's name.
    virtual void AddTab(BView* target, BTab* tab = nullptr);
    // Takes the tab at index out, with its view, and gives it to the caller (deleting the tab
    // deletes the view); null when index is out of range. Removing the selected tab selects the
    // one before it (the first when it was the first).
    virtual BTab* RemoveTab(int32 index);
    // Null when index is out of range.
    BTab* TabAt(int32 index) const;
    BView* ViewForTab(int32 index) const;
    int32 CountTabs() const;

    // Shows the page of the tab at index and hides the others; an index out of range changes
    // nothing.
    virtual void Select(int32 index);
    // -1 without tabs.
    int32 Selection() const;

    // The tab's area, in view coordinates; the selected tab reaches down to the frame below.
    virtual BRect TabFrame(int32 index) const;
    // B_WIDTH_FROM_LABEL: each tab as wide as its label needs; B_WIDTH_FROM_WIDEST: all as wide
    // as the widest label; B_WIDTH_AS_USUAL: the same, but at least a usual width.
    void SetTabWidth(button_width width);
    button_width TabWidth() const;
    // The height of the row of tabs, from the font by default.
    void SetTabHeight(float height);
    float TabHeight() const;
    // The view below the tabs, inside the frame, that holds the pages.
    BView* ContainerView() const;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void MakeFocus(bool focus = true) override;
    void AttachedToWindow() override;

private:
    friend class BTab;

    float LabelWidth(int32 index) const;
    // Places the container below the tabs.
    void LayOut();

    button_width tabWidth;
    float tabHeight;
    // A child of this view, owned by the view tree.
    BView* container;
    std::vector<std::unique_ptr<BTab>> tabs;
    int32 selection = -1;
};
