#include "kits/interface/PopUpMenu.h"

#include "kits/interface/MenuItem.h"
#include "kits/interface/MenuTracker.h"
#include "kits/interface/PopUpMenuTestHooks.h"
#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"

#include <memory>
#include <mutex>

namespace {

std::mutex responderLock;
// Guarded by responderLock.
kits::interface::PopUpResponder responder;

class Semaphore {
public:
    Semaphore() : id(create_sem(0, "pop-up choice")) {}
    ~Semaphore() { delete_sem(id); }
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    sem_id Id() const { return id; }

private:
    sem_id id;
};

// The borderless window a pop-up opens in. Its tracker ends with it, before the views go. With
// quitOnClose the window quits itself once the menu has closed and choice has been told.
class PopUpWindow : public BWindow {
public:
    PopUpWindow(BMenu* menu, BPoint where, bool quitOnClose,
        kits::interface::MenuTracker::ChoiceFunction choice)
        :
        BWindow(BRect(where.x, where.y, where.x, where.y), "pop-up menu", B_BORDERED_WINDOW,
            B_NOT_MOVABLE | B_NOT_RESIZABLE | B_NOT_CLOSABLE | B_NOT_ZOOMABLE
                | B_NOT_MINIMIZABLE)
    {
        Lock();
        tracker = std::make_unique<kits::interface::MenuTracker>(this, nullptr,
            [this, quitOnClose, choice = std::move(choice)](BMenuItem* item) {
                choice(item);
                if (quitOnClose)
                    Quit();
            });
        tracker->Open(menu, B_ORIGIN);
        const BRect frame = tracker->LevelAt(0)->Frame();
        ResizeTo(frame.Width(), frame.Height());
        Unlock();
    }

    ~PopUpWindow() override { tracker.reset(); }

private:
    std::unique_ptr<kits::interface::MenuTracker> tracker;
};

void Deliver(BMenuItem* item, bool deliversMessage)
{
    if (item == nullptr || !item->IsEnabled())
        return;
    if (item->Menu() != nullptr && item->Menu()->IsRadioMode())
        item->SetMarked(true);
    if (deliversMessage)
        (void)item->Invoke();
}

}

namespace kits::interface {

void SetPopUpResponder(PopUpResponder newResponder)
{
    std::lock_guard guard(responderLock);
    responder = std::move(newResponder);
}

}

BPopUpMenu::BPopUpMenu(const char* name, bool radioMode, bool labelFromMarked,
    menu_layout layout)
    :
    BMenu(name, layout),
    labelFromMarked(labelFromMarked)
{
    SetRadioMode(radioMode);
}

BPopUpMenu::~BPopUpMenu() = default;

BMenuItem* BPopUpMenu::Go(BPoint screenWhere, bool deliversMessage, bool openAnyway, bool async)
{
    if (CountItems() == 0 && !openAnyway)
        return nullptr;
    kits::interface::PopUpResponder answer;
    {
        std::lock_guard guard(responderLock);
        answer = responder;
    }
    if (answer) {
        BMenuItem* item = answer(this, screenWhere);
        if (item != nullptr && !item->IsEnabled())
            item = nullptr;
        Deliver(item, deliversMessage);
        return async ? nullptr : item;
    }
    if (async) {
        // The window runs on its own and quits itself when the menu closes.
        auto* window = new PopUpWindow(this, screenWhere, true,
            [deliversMessage](BMenuItem* item) { Deliver(item, deliversMessage); });
        window->Show();
        return nullptr;
    }
    Semaphore done;
    BMenuItem* chosen = nullptr;
    auto* window = new PopUpWindow(this, screenWhere, false, [&](BMenuItem* item) {
        chosen = item;
        release_sem(done.Id());
    });
    window->Show();
    // Unbounded: the pop-up's own thread releases the semaphore on every way its menu closes
    // (a choice, Escape, a click outside it or losing the focus), and it never waits for the
    // caller.
    acquire_sem(done.Id());
    window->Lock();
    window->Quit();
    Deliver(chosen, deliversMessage);
    return chosen;
}

bool BPopUpMenu::IsLabelFromMarked() const
{
    return labelFromMarked;
}

void BPopUpMenu::SetLabelFromMarked(bool on)
{
    labelFromMarked = on;
}
