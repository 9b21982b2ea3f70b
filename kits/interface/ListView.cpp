#include "kits/interface/ListView.h"

#include "kits/app/Message.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/ListItem.h"
#include "kits/interface/ScrollBar.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <utility>

BListView::BListView(BRect frame, const char* name, list_view_type type, uint32 resizingMode,
    uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    type(type)
{
}

BListView::~BListView()
{
    if (scrollBar != nullptr) {
        scrollBar->list = nullptr;
        scrollBar->target = nullptr;
    }
}

bool BListView::AddItem(BListItem* item)
{
    return AddItem(item, CountItems());
}

bool BListView::AddItem(BListItem* item, int32 index)
{
    if (item == nullptr || index < 0 || index > CountItems())
        return false;
    BFont font;
    GetFont(&font);
    item->Update(this, &font);
    item->Deselect();
    items.emplace(items.begin() + index, item);
    if (selected >= index)
        selected++;
    ClampScroll();
    Invalidate();
    return true;
}

BListItem* BListView::RemoveItem(int32 index)
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    BListItem* item = items[size_t(index)].release();
    items.erase(items.begin() + index);
    item->Deselect();
    const bool wasSelected = index == selected;
    if (wasSelected)
        selected = -1;
    else if (selected > index)
        selected--;
    ClampScroll();
    Invalidate();
    if (wasSelected)
        NotifySelection();
    return item;
}

bool BListView::RemoveItem(BListItem* item)
{
    return RemoveItem(IndexOf(item)) != nullptr;
}

bool BListView::SwapItems(int32 a, int32 b)
{
    if (ItemAt(a) == nullptr || ItemAt(b) == nullptr)
        return false;
    std::swap(items[size_t(a)], items[size_t(b)]);
    if (selected == a)
        selected = b;
    else if (selected == b)
        selected = a;
    Invalidate();
    return true;
}

void BListView::MakeEmpty()
{
    const bool hadSelection = selected >= 0;
    items.clear();
    selected = -1;
    scrollTop = 0;
    ClampScroll();
    Invalidate();
    if (hadSelection)
        NotifySelection();
}

int32 BListView::CountItems() const
{
    return int32(items.size());
}

bool BListView::IsEmpty() const
{
    return items.empty();
}

BListItem* BListView::ItemAt(int32 index) const
{
    return index >= 0 && index < CountItems() ? items[size_t(index)].get() : nullptr;
}

int32 BListView::IndexOf(const BListItem* item) const
{
    for (int32 i = 0; i < CountItems(); i++) {
        if (items[size_t(i)].get() == item)
            return i;
    }
    return -1;
}

int32 BListView::IndexOf(BPoint point) const
{
    for (int32 i = 0; i < CountItems(); i++) {
        if (ItemFrame(i).Contains(point))
            return i;
    }
    return -1;
}

BRect BListView::UnscrolledFrame(int32 index) const
{
    if (ItemAt(index) == nullptr)
        return BRect();
    float top = 0;
    for (int32 i = 0; i < index; i++)
        top += items[size_t(i)]->Height();
    return BRect(0, top, Bounds().right, top + items[size_t(index)]->Height() - 1);
}

BRect BListView::ItemFrame(int32 index) const
{
    BRect frame = UnscrolledFrame(index);
    if (frame.IsValid())
        frame.OffsetBy(0, -scrollTop);
    return frame;
}

float BListView::ContentHeight() const
{
    float height = 0;
    for (const auto& item : items)
        height += item->Height();
    return height;
}

void BListView::ClampScroll()
{
    const float visible = Bounds().Height() + 1;
    const float content = ContentHeight();
    const float lowest = std::max(0.0f, content - visible);
    scrollTop = std::clamp(scrollTop, 0.0f, lowest);
    if (scrollBar == nullptr)
        return;
    scrollBar->Follow(lowest, content > visible ? visible / content : 1,
        items.empty() ? 1 : items.front()->Height(), visible, scrollTop);
}

void BListView::ScrollTo(BPoint where)
{
    const float old = scrollTop;
    scrollTop = where.y;
    ClampScroll();
    if (scrollTop != old)
        Invalidate();
}

list_view_type BListView::ListType() const
{
    return type;
}

int32 BListView::CurrentSelection(int32 n) const
{
    return n == 0 ? selected : -1;
}

void BListView::Select(int32 index, bool)
{
    if (ItemAt(index) != nullptr)
        SetSelection(index);
}

void BListView::Deselect(int32 index)
{
    if (index >= 0 && index == selected)
        SetSelection(-1);
}

void BListView::DeselectAll()
{
    SetSelection(-1);
}

bool BListView::IsItemSelected(int32 index) const
{
    return index >= 0 && index == selected;
}

void BListView::SetSelection(int32 index)
{
    if (index == selected)
        return;
    if (BListItem* old = ItemAt(selected)) {
        old->Deselect();
        InvalidateItem(selected);
    }
    selected = index;
    if (BListItem* item = ItemAt(selected)) {
        item->Select();
        InvalidateItem(selected);
    }
    NotifySelection();
}

void BListView::NotifySelection()
{
    SelectionChanged();
    if (selectionMessage == nullptr)
        return;
    BMessage message(*selectionMessage);
    (void)BListView::Invoke(&message);
}

void BListView::ScrollToSelection()
{
    const BRect frame = UnscrolledFrame(selected);
    if (!frame.IsValid())
        return;
    const float visible = Bounds().Height() + 1;
    if (frame.top < scrollTop)
        ScrollTo(BPoint(0, frame.top));
    else if (frame.bottom + 1 > scrollTop + visible)
        ScrollTo(BPoint(0, std::min(frame.top, frame.bottom + 1 - visible)));
}

void BListView::InvalidateItem(int32 index)
{
    const BRect frame = ItemFrame(index);
    if (frame.IsValid())
        Invalidate(frame);
}

void BListView::SetSelectionMessage(BMessage* message)
{
    selectionMessage.reset(message);
}

BMessage* BListView::SelectionMessage() const
{
    return selectionMessage.get();
}

uint32 BListView::SelectionCommand() const
{
    return selectionMessage != nullptr ? selectionMessage->what : 0;
}

void BListView::SetInvocationMessage(BMessage* message)
{
    (void)SetMessage(message);
}

BMessage* BListView::InvocationMessage() const
{
    return Message();
}

uint32 BListView::InvocationCommand() const
{
    return Command();
}

status_t BListView::Invoke(BMessage* with)
{
    const BMessage* source = with != nullptr ? with : Message();
    if (source == nullptr)
        return B_BAD_VALUE;
    BMessage message(*source);
    kits::interface::AddInvokeFields(message, this);
    if (selected >= 0)
        (void)message.AddInt32("index", selected);
    return BInvoker::Invoke(&message);
}

void BListView::SelectionChanged()
{
}

void BListView::UpdateItems()
{
    BFont font;
    GetFont(&font);
    for (const auto& item : items)
        item->Update(this, &font);
    ClampScroll();
}

void BListView::AttachedToWindow()
{
    if (!HasTarget())
        (void)SetTarget(Window());
    UpdateItems();
}

void BListView::FrameResized(float, float)
{
    UpdateItems();
    Invalidate();
}

void BListView::Draw(BRect updateRect)
{
    for (int32 i = 0; i < CountItems(); i++) {
        const BRect frame = ItemFrame(i);
        if (frame.Intersects(updateRect))
            items[size_t(i)]->DrawItem(this, frame, false);
    }
    if (IsFocus()) {
        const rgb_color high = HighColor();
        SetHighColor(kits::interface::NAVIGATION_COLOR);
        StrokeRect(Bounds());
        SetHighColor(high);
    }
}

void BListView::MouseDown(BPoint where)
{
    if (!IsFocus())
        MakeFocus();
    const int32 index = IndexOf(where);
    if (index < 0)
        return;
    const bool again = index == selected;
    Select(index);
    if (again && kits::interface::CurrentClicks(*this) >= 2)
        (void)Invoke();
}

void BListView::KeySelect(int32 index)
{
    Select(std::clamp(index, int32(0), CountItems() - 1));
    ScrollToSelection();
}

void BListView::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes != 1 || IsEmpty()) {
        BView::KeyDown(bytes, numBytes);
        return;
    }
    switch (uint8(bytes[0])) {
    case B_UP_ARROW:
        KeySelect(selected < 0 ? 0 : selected - 1);
        return;
    case B_DOWN_ARROW:
        KeySelect(selected + 1);
        return;
    case B_HOME:
        KeySelect(0);
        return;
    case B_END:
        KeySelect(CountItems() - 1);
        return;
    case B_ENTER:
        if (selected >= 0)
            (void)Invoke();
        return;
    default:
        BView::KeyDown(bytes, numBytes);
        return;
    }
}

void BListView::MakeFocus(bool focus)
{
    if (focus == IsFocus())
        return;
    BView::MakeFocus(focus);
    Invalidate();
}
