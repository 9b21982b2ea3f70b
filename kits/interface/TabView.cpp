#include "kits/interface/TabView.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <cmath>

namespace {

// Where the first tab starts.
constexpr float TABS_LEFT = 5;
// Around a tab's label: left and right, and above and below.
constexpr float LABEL_PADDING = 10;
constexpr float LABEL_MARGIN = 4;
// The least width of each tab with B_WIDTH_AS_USUAL.
constexpr float USUAL_TAB_WIDTH = 100;
// The raised frame around the container is this thick.
constexpr float FRAME_WIDTH = 2;
// An unselected tab stands this much lower than the selected one.
constexpr float TAB_DROP = 2;

bool IsWithin(const BView* view, const BView* ancestor)
{
    for (; view != nullptr; view = view->Parent()) {
        if (view == ancestor)
            return true;
    }
    return false;
}

}

BTab::BTab(BView* view)
    : view(view),
      ownView(view)
{
    if (view != nullptr && view->Name() != nullptr)
        label = view->Name();
}

BTab::~BTab() = default;

const char* BTab::Label() const
{
    return label.c_str();
}

void BTab::SetLabel(const char* newLabel)
{
    label = newLabel != nullptr ? newLabel : "";
    if (owner != nullptr)
        owner->Invalidate();
}

bool BTab::IsSelected() const
{
    return selected;
}

BView* BTab::View() const
{
    return view;
}

BTabView::BTabView(
    BRect frame, const char* name, button_width width, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags),
      tabWidth(width)
{
    font_height height;
    be_plain_font->GetHeight(&height);
    tabHeight = std::ceil(height.ascent + height.descent) + 2 * LABEL_MARGIN;
    SetViewColor(kits::interface::PANEL_COLOR);
    container = new BView(BRect(), "container", B_FOLLOW_ALL, 0);
    AddChild(container);
    LayOut();
}

BTabView::~BTabView() = default;

void BTabView::LayOut()
{
    container->MoveTo(FRAME_WIDTH, tabHeight + FRAME_WIDTH);
    container->ResizeTo(std::max(Bounds().Width() - 2 * FRAME_WIDTH, 0.0f),
        std::max(Bounds().Height() - tabHeight - 2 * FRAME_WIDTH, 0.0f));
}

void BTabView::AddTab(BView* target, BTab* tab)
{
    std::unique_ptr<BTab> added(tab != nullptr ? tab : new BTab());
    if (target != nullptr) {
        added->ownView.reset(target);
        added->view = target;
        if (added->label.empty() && target->Name() != nullptr)
            added->label = target->Name();
    }
    added->owner = this;
    if (added->view != nullptr) {
        if (!tabs.empty())
            added->view->Hide();
        container->AddChild(added->ownView.release());
    }
    if (tabs.empty()) {
        selection = 0;
        added->selected = true;
    }
    tabs.push_back(std::move(added));
    Invalidate();
}

BTab* BTabView::RemoveTab(int32 index)
{
    if (index < 0 || index >= CountTabs())
        return nullptr;
    std::unique_ptr<BTab> removed = std::move(tabs[size_t(index)]);
    tabs.erase(tabs.begin() + index);
    if (BView* view = removed->view; view != nullptr) {
        if (Window() != nullptr && IsWithin(Window()->CurrentFocus(), view))
            MakeFocus();
        (void)view->RemoveSelf();
        removed->ownView.reset(view);
        // Given back as it was added: shown.
        if (!removed->selected)
            view->Show();
    }
    removed->owner = nullptr;
    if (removed->selected) {
        removed->selected = false;
        selection = -1;
        if (!tabs.empty())
            Select(std::max(index - 1, int32(0)));
    } else if (index < selection) {
        selection--;
    }
    Invalidate();
    return removed.release();
}

BTab* BTabView::TabAt(int32 index) const
{
    return index >= 0 && index < CountTabs() ? tabs[size_t(index)].get() : nullptr;
}

BView* BTabView::ViewForTab(int32 index) const
{
    const BTab* tab = TabAt(index);
    return tab != nullptr ? tab->view : nullptr;
}

int32 BTabView::CountTabs() const
{
    return int32(tabs.size());
}

void BTabView::Select(int32 index)
{
    if (index < 0 || index >= CountTabs() || index == selection)
        return;
    if (BTab* old = TabAt(selection); old != nullptr) {
        old->selected = false;
        if (old->view != nullptr) {
            if (Window() != nullptr && IsWithin(Window()->CurrentFocus(), old->view))
                MakeFocus();
            old->view->Hide();
        }
    }
    selection = index;
    BTab* chosen = tabs[size_t(index)].get();
    chosen->selected = true;
    if (chosen->view != nullptr)
        chosen->view->Show();
    Invalidate();
}

int32 BTabView::Selection() const
{
    return selection;
}

float BTabView::LabelWidth(int32 index) const
{
    return std::ceil(StringWidth(tabs[size_t(index)]->label.c_str()));
}

BRect BTabView::TabFrame(int32 index) const
{
    if (index < 0 || index >= CountTabs())
        return BRect();
    float widest = 0;
    for (int32 i = 0; i < CountTabs(); i++)
        widest = std::max(widest, LabelWidth(i));
    float left = TABS_LEFT;
    float width = 0;
    for (int32 i = 0; i <= index; i++) {
        left += width;
        width = (tabWidth == B_WIDTH_FROM_LABEL ? LabelWidth(i) : widest) + 2 * LABEL_PADDING;
        if (tabWidth == B_WIDTH_AS_USUAL)
            width = std::max(width, USUAL_TAB_WIDTH);
    }
    if (index == selection)
        return BRect(left, 0, left + width - 1, tabHeight + 1);
    return BRect(left, TAB_DROP, left + width - 1, tabHeight - 1);
}

void BTabView::SetTabWidth(button_width width)
{
    tabWidth = width;
    Invalidate();
}

button_width BTabView::TabWidth() const
{
    return tabWidth;
}

void BTabView::SetTabHeight(float height)
{
    tabHeight = std::max(height, 0.0f);
    LayOut();
    Invalidate();
}

float BTabView::TabHeight() const
{
    return tabHeight;
}

BView* BTabView::ContainerView() const
{
    return container;
}

void BTabView::Draw(BRect)
{
    using namespace kits::interface;
    const rgb_color high = HighColor();
    const BRect bounds = Bounds();
    StrokeRaised(*this, BRect(0, tabHeight, bounds.right, bounds.bottom));
    font_height height;
    be_plain_font->GetHeight(&height);
    // The selected tab last, over the frame's top edge and its neighbours.
    for (int32 pass = 0; pass < 2; pass++) {
        for (int32 i = 0; i < CountTabs(); i++) {
            if ((i == selection) != (pass == 1))
                continue;
            const BRect tab = TabFrame(i);
            SetHighColor(i == selection ? ViewColor() : INNER_SHADOW_COLOR);
            FillRect(tab);
            SetHighColor(DARK_SHADOW_COLOR);
            StrokeLine(tab.LeftBottom(), tab.LeftTop());
            StrokeLine(tab.RightTop());
            StrokeLine(tab.RightBottom());
            SetHighColor(LIGHT_COLOR);
            StrokeLine(BPoint(tab.left + 1, tab.bottom), BPoint(tab.left + 1, tab.top + 1));
            StrokeLine(BPoint(tab.right - 1, tab.top + 1));
            SetHighColor(SHADOW_COLOR);
            StrokeLine(BPoint(tab.right - 1, tab.top + 2), BPoint(tab.right - 1, tab.bottom));
            const float width = LabelWidth(i);
            const float left = std::floor((tab.left + tab.right + 1 - width) / 2);
            const float baseline = tab.top + LABEL_MARGIN + std::ceil(height.ascent);
            SetHighColor(TEXT_COLOR);
            DrawString(tabs[size_t(i)]->label.c_str(), BPoint(left, baseline));
            if (i == selection && IsFocus()) {
                SetHighColor(NAVIGATION_COLOR);
                StrokeLine(BPoint(left, baseline + 2), BPoint(left + width - 1, baseline + 2));
            }
        }
    }
    SetHighColor(high);
}

void BTabView::MouseDown(BPoint where)
{
    for (int32 i = 0; i < CountTabs(); i++) {
        if (TabFrame(i).Contains(where)) {
            Select(i);
            return;
        }
    }
}

void BTabView::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes == 1 && bytes[0] == B_LEFT_ARROW && selection > 0) {
        Select(selection - 1);
        return;
    }
    if (numBytes == 1 && bytes[0] == B_RIGHT_ARROW && selection + 1 < CountTabs()) {
        Select(selection + 1);
        return;
    }
    BView::KeyDown(bytes, numBytes);
}

void BTabView::MakeFocus(bool focus)
{
    if (focus == IsFocus())
        return;
    BView::MakeFocus(focus);
    Invalidate();
}

void BTabView::AttachedToWindow()
{
    container->SetViewColor(ViewColor());
}
