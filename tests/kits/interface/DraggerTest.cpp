#include "kits/interface/Dragger.h"

#include "InterfaceTestSupport.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/PopUpMenuTestHooks.h"
#include "kits/interface/Shelf.h"
#include "kits/interface/Window.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace interface_test;
using kits::interface::HeadlessDisplay;
using test_support::Await;

// Waits until the window has handled everything posted to it so far.
void Drain(BWindow* window)
{
    ASSERT_TRUE(Await([window] { return window->CountQueuedMessages() == 0; }));
    // The message being handled holds the lock.
    window->Lock();
    window->Unlock();
}

// Two shown windows: at (100, 100) the source, 200 by 200, with a dragger at its bottom-right
// corner; at (400, 100) a 300 by 300 window whose container view has a shelf.
class DraggerTest : public testing::Test {
protected:
    void SetUp() override
    {
        HeadlessDisplay().Reset();
        LevelView::Register();
        LevelView::archives = 0;
        source = new BWindow(BRect(100, 100, 299, 299), "source", B_TITLED_WINDOW, 0);
        sourceView = new LevelView(BRect(0, 0, 199, 199), "source", 17);
        sourceView->SetViewColor(0, 255, 0);
        sourceView->AddChild(new BDragger(BRect(192, 192, 199, 199), sourceView,
            B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW));
        source->AddChild(sourceView);
        Shown(source);

        host = new BWindow(BRect(400, 100, 699, 399), "host", B_TITLED_WINDOW, 0);
        container = new BView(BRect(0, 0, 299, 299), "container", B_FOLLOW_ALL_SIDES,
            B_WILL_DRAW);
        host->AddChild(container);
        shelf = Locked(host, [this] { return new BShelf(container); });
        Shown(host);
    }

    void TearDown() override
    {
        kits::interface::SetPopUpResponder({});
        host->Lock();
        delete shelf;
        host->Quit();
        if (source != nullptr)
            QuitWindow(source);
        HeadlessDisplay().Reset();
    }

    int32 Replicants()
    {
        return Locked(host, [this] { return shelf->CountReplicants(); });
    }

    // Presses the dragger 3, 3 inside it and moves far enough for the drag to start.
    void StartDrag()
    {
        ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(295, 295)), B_OK);
        HeadlessDisplay().MoveMouse(BPoint(320, 300));
        ASSERT_TRUE(Await([] { return LevelView::archives.load() == 1; }));
    }

    // Drags the dragger and lets go at a screen point.
    void DragTo(BPoint screenPoint)
    {
        ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(295, 295)), B_OK);
        HeadlessDisplay().MoveMouse(BPoint(320, 300));
        HeadlessDisplay().MoveMouse(screenPoint);
        HeadlessDisplay().ReleaseMouse(screenPoint);
    }

    void DrainBoth()
    {
        Drain(source);
        Drain(host);
    }

    // A secondary click at a screen point on the window, whose pop-up menu (if one is shown,
    // which the window does while handling the click) is answered by `choose`; whether it was.
    bool SecondaryClick(BWindow* window, BPoint where,
        const std::function<BMenuItem*(BPopUpMenu*)>& choose)
    {
        std::atomic<bool> asked{false};
        kits::interface::SetPopUpResponder([&](BPopUpMenu* menu, BPoint) {
            asked = true;
            return choose(menu);
        });
        EXPECT_EQ(HeadlessDisplay().PressMouse(where, B_SECONDARY_MOUSE_BUTTON), B_OK);
        HeadlessDisplay().ReleaseMouse(where);
        Drain(window);
        kits::interface::SetPopUpResponder({});
        return asked;
    }

    BWindow* source = nullptr;
    LevelView* sourceView = nullptr;
    BWindow* host = nullptr;
    BView* container = nullptr;
    BShelf* shelf = nullptr;
};

TEST_F(DraggerTest, DraggingToAShelfInAnotherWindowAddsAWorkingCopyItsMenuRemoves)
{
    // The dragger draws a handle inside its frame and nothing outside it.
    Locked(source, [this] {
        source->UpdateIfNeeded();
        const kits::interface::FrameBuffer& pixels = source->ContentBuffer();
        auto notGreen = [](uint32 pixel) { return pixel != GREEN; };
        EXPECT_GT(CountPixelsWhere(pixels, 192, 192, 199, 199, IsDark), 4);
        EXPECT_GT(CountPixelsWhere(pixels, 192, 192, 199, 199,
                      [](uint32 pixel) { return pixel == WHITE; }),
            4);
        EXPECT_EQ(CountPixelsWhere(pixels, 0, 0, 199, 199, notGreen),
            CountPixelsWhere(pixels, 192, 192, 199, 199, notGreen));
    });
    // Outside a shelf, a dragger offers no menu.
    EXPECT_FALSE(SecondaryClick(source, BPoint(295, 295), [](BPopUpMenu*) { return nullptr; }));
    DragTo(BPoint(650, 350));
    ASSERT_TRUE(Await([this] { return Replicants() == 1; }));
    Locked(host, [this] {
        auto* copy = dynamic_cast<LevelView*>(shelf->ReplicantAt(0));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->level, 17);
        // When the drag started the pointer was 220, 200 from the source's corner (pressed at
        // 195, 195 and moved by 25, 5); let go at (250, 250) of the container, the copy lands
        // where the dragged outline was, with a dragger of its own that drags the copy.
        EXPECT_EQ(copy->Frame(), BRect(30, 50, 229, 249));
        auto* dragger = dynamic_cast<BDragger*>(copy->ChildAt(0));
        ASSERT_NE(dragger, nullptr);
        EXPECT_EQ(dragger->Target(), copy);
    });
    // The copy draws in its new window, and the original stays where it was.
    EXPECT_TRUE(Await([this] {
        return Locked(host, [this] {
            return host->ContentBuffer().PixelAt(100, 100) == GREEN
                && host->ContentBuffer().PixelAt(29, 100) != GREEN;
        });
    }));
    EXPECT_EQ(Locked(source, [this] { return sourceView->Window(); }), source);

    // The copy's dragger is at (222, 242)-(229, 249) of the container. Closing its menu without
    // a choice keeps the replicant; "Remove replicant" deletes it.
    const BPoint copyDragger(625, 345);
    ASSERT_TRUE(SecondaryClick(host, copyDragger, [](BPopUpMenu*) { return nullptr; }));
    EXPECT_EQ(Replicants(), 1);
    std::string label;
    ASSERT_TRUE(SecondaryClick(host, copyDragger, [&](BPopUpMenu* menu) {
        label = menu->CountItems() == 1 ? menu->ItemAt(0)->Label() : "";
        return menu->ItemAt(0);
    }));
    ASSERT_TRUE(Await([this] { return Replicants() == 0; }));
    EXPECT_EQ(label, "Remove replicant");
    EXPECT_EQ(Locked(host, [this] { return container->CountChildren(); }), 0);
}

TEST_F(DraggerTest, TargetIsArchivedWhenTheDragStartsAndDroppedOnlyOnAShelf)
{
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(295, 295)), B_OK);
    HeadlessDisplay().ReleaseMouse(BPoint(295, 295));
    DrainBoth();
    EXPECT_EQ(LevelView::archives.load(), 0);
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(295, 295)), B_OK);
    // A move shorter than the drag distance is still a click.
    HeadlessDisplay().MoveMouse(BPoint(296, 296));
    Drain(source);
    EXPECT_EQ(LevelView::archives.load(), 0);
    HeadlessDisplay().MoveMouse(BPoint(330, 310));
    ASSERT_TRUE(Await([] { return LevelView::archives.load() == 1; }));
    // Nothing is dropped while the button is held.
    HeadlessDisplay().MoveMouse(BPoint(600, 300));
    DrainBoth();
    EXPECT_EQ(Replicants(), 0);
    HeadlessDisplay().ReleaseMouse(BPoint(600, 300));
    EXPECT_TRUE(Await([this] { return Replicants() == 1; }));
    // On the desktop, then back on the source window itself, a drop changes nothing.
    DragTo(BPoint(900, 700));
    DragTo(BPoint(150, 150));
    DrainBoth();
    EXPECT_EQ(LevelView::archives.load(), 3);
    EXPECT_EQ(Replicants(), 1);
    EXPECT_EQ(Locked(source, [this] { return sourceView->CountChildren(); }), 1);
}

TEST_F(DraggerTest, DragOutlivesTheWindowItStartedIn)
{
    // The viewer ends when its picture is dragged out; the drop must still land.
    StartDrag();
    source->Lock();
    source->Quit();
    source = nullptr;
    HeadlessDisplay().MoveMouse(BPoint(650, 350));
    HeadlessDisplay().ReleaseMouse(BPoint(650, 350));
    ASSERT_TRUE(Await([this] { return Replicants() == 1; }));
    EXPECT_EQ(Locked(host, [this] { return shelf->ReplicantAt(0)->Frame(); }),
        BRect(30, 50, 229, 249));
}

TEST_F(DraggerTest, DragOutlivesItsWindowBeingHidden)
{
    StartDrag();
    Locked(source, [this] { source->Hide(); });
    HeadlessDisplay().ReleaseMouse(BPoint(650, 350));
    ASSERT_TRUE(Await([this] { return Replicants() == 1; }));
    // Delivered once, by the display, not again by the hidden window.
    DrainBoth();
    EXPECT_EQ(Replicants(), 1);
}

TEST_F(DraggerTest, MouseGoesToTheFrontWindowAndPressesNeedAWindowAndAButton)
{
    EXPECT_EQ(HeadlessDisplay().PressMouse(BPoint(350, 50)), B_NAME_NOT_FOUND);
    EXPECT_EQ(HeadlessDisplay().PressMouse(BPoint(150, 150), 0), B_BAD_VALUE);
    EXPECT_EQ(HeadlessDisplay().WindowAt(BPoint(100, 100)), BMessenger(source));
    EXPECT_EQ(HeadlessDisplay().WindowAt(BPoint(699, 399)), BMessenger(host));
    // A hidden window is not there.
    Locked(host, [this] { host->Hide(); });
    EXPECT_FALSE(HeadlessDisplay().WindowAt(BPoint(500, 200)).IsValid());
    Locked(host, [this] { host->Show(); });
    // Of two overlapping windows, the one shown or pressed last is in front.
    Locked(source, [this] { source->MoveTo(600, 300); });
    EXPECT_EQ(HeadlessDisplay().WindowAt(BPoint(650, 350)), BMessenger(host));
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(750, 450)), B_OK);
    HeadlessDisplay().ReleaseMouse(BPoint(750, 450));
    EXPECT_EQ(HeadlessDisplay().WindowAt(BPoint(650, 350)), BMessenger(source));
}

// Records the mouse hooks it gets, and starts a drag of a 'DRAG' message when asked to.
class TrackingView : public BView {
public:
    TrackingView(BRect frame, bool drags)
        :
        BView(frame, "tracking", B_FOLLOW_NONE, 0),
        drags(drags)
    {
    }

    void MouseDown(BPoint where) override
    {
        events.push_back("down " + Text(where));
        if (drags) {
            BMessage drag('DRAG');
            DragMessage(&drag, BRect(0, 0, 9, 9));
        }
    }
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override
    {
        events.push_back("moved " + Text(where) + (transit == B_INSIDE_VIEW ? " inside" : "")
            + (transit == B_OUTSIDE_VIEW ? " outside" : "")
            + (dragMessage != nullptr && dragMessage->what == 'DRAG' ? " dragging" : ""));
    }
    void MouseUp(BPoint where) override { events.push_back("up " + Text(where)); }

    std::vector<std::string> events;

private:
    static std::string Text(BPoint point)
    {
        return std::to_string(int32(point.x)) + "," + std::to_string(int32(point.y));
    }

    bool drags;
};

TEST(MouseRoutingTest, ViewThatHadThePressGetsMovesAndReleaseUntilTheButtonsAreUp)
{
    auto* window = new BWindow(BRect(0, 0, 99, 99), "routing", B_TITLED_WINDOW, 0);
    window->Lock();
    auto* pressed = new TrackingView(BRect(10, 10, 29, 29), true);
    auto* other = new TrackingView(BRect(50, 50, 69, 69), false);
    window->AddChild(pressed);
    window->AddChild(other);
    // Over the other view and outside the window, moves stay the pressed view's; without
    // buttons, they go to the view under the pointer, and the drag is over.
    const struct {
        uint32 what;
        BPoint where;
        int32 buttons;
    } steps[] = {{B_MOUSE_DOWN, BPoint(15, 15), B_PRIMARY_MOUSE_BUTTON},
        {B_MOUSE_MOVED, BPoint(20, 12), B_PRIMARY_MOUSE_BUTTON},
        {B_MOUSE_MOVED, BPoint(55, 55), B_PRIMARY_MOUSE_BUTTON},
        {B_MOUSE_MOVED, BPoint(300, -20), B_PRIMARY_MOUSE_BUTTON},
        {B_MOUSE_UP, BPoint(300, -20), 0}, {B_MOUSE_MOVED, BPoint(60, 52), 0}};
    for (const auto& step : steps) {
        BMessage message = Mouse(step.what, step.where, step.buttons);
        window->DispatchMessage(&message, window);
    }
    EXPECT_EQ(pressed->events, (std::vector<std::string>{"down 5,5", "moved 10,2 inside dragging",
        "moved 45,45 outside dragging", "moved 290,-30 outside dragging", "up 290,-30"}));
    EXPECT_EQ(other->events, (std::vector<std::string>{"moved 10,2 inside"}));
    window->Quit();
}

}
