#include "kits/interface/MenuBar.h"

#include "kits/interface/MenuItem.h"
#include "kits/interface/MenuTracker.h"
#include "kits/interface/Window.h"

#include <cmath>

BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode, menu_layout layout,
    bool resizeToFit)
    :
    BMenu(frame, name, resizingMode, B_WILL_DRAW, layout, resizeToFit)
{
    if (resizeToFit) {
        font_height height;
        be_plain_font->GetHeight(&height);
        ResizeTo(frame.Width(), std::ceil(height.ascent + height.descent) + 5);
    }
}

BMenuBar::~BMenuBar()
{
    tracker.reset();
}

bool BMenuBar::IsTracking() const
{
    return tracker != nullptr && tracker->IsOpen();
}

void BMenuBar::CloseMenus()
{
    if (tracker != nullptr)
        tracker->Close();
}

void BMenuBar::AttachedToWindow()
{
    BWindow* window = Window();
    tracker = std::make_unique<kits::interface::MenuTracker>(window, this, [](BMenuItem* item) {
        if (item != nullptr)
            (void)item->Invoke();
    });
    if (resizeToFit)
        ResizeTo(window->Bounds().Width() - Frame().left, Bounds().Height());
    if (window->KeyMenuBar() == nullptr)
        window->SetKeyMenuBar(this);
}

void BMenuBar::DetachedFromWindow()
{
    tracker.reset();
    if (Window()->KeyMenuBar() == this)
        Window()->SetKeyMenuBar(nullptr);
}

void BMenuBar::Draw(BRect)
{
    LayoutItems();
    BMenu* open = tracker != nullptr ? tracker->OpenMenu() : nullptr;
    DrawItems(*this, open != nullptr ? open->Superitem() : nullptr);
}

void BMenuBar::MouseDown(BPoint where)
{
    LayoutItems();
    BMenuItem* title = ItemAtPoint(where);
    if (title == nullptr || (IsTracking() && tracker->OpenMenu() == title->Submenu())) {
        CloseMenus();
        return;
    }
    Open(title);
}

void BMenuBar::Open(BMenuItem* title)
{
    if (tracker == nullptr)
        return;
    if (!title->IsEnabled()) {
        CloseMenus();
        return;
    }
    if (title->Submenu() == nullptr) {
        CloseMenus();
        (void)title->Invoke();
        return;
    }
    const BPoint below = ConvertToScreen(BPoint(title->Frame().left, Bounds().bottom + 1))
        - Window()->Frame().LeftTop();
    tracker->Open(title->Submenu(), below);
}
