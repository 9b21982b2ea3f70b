#include "kits/interface/Window.h"

#include "InterfaceTestSupport.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/View.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace interface_test;
using kits::interface::HeadlessDisplay;
using test_support::Await;

class WindowTest : public testing::Test {
protected:
    void TearDown() override { HeadlessDisplay().Reset(); }
};

TEST_F(WindowTest, RunsOnFirstShowDrawingOnItsThreadAndRoutingKeysAndClicks)
{
    Events events;
    Events focusEvents;
    auto* window = new BWindow(BRect(0, 0, 99, 99), "input", B_TITLED_WINDOW, 0);
    auto* view = new EventView(BRect(20, 20, 59, 59), events);
    auto* focusView = new EventView(BRect(70, 70, 79, 79), focusEvents);
    window->AddChild(view);
    window->AddChild(focusView);
    focusView->MakeFocus();
    EXPECT_EQ(window->CurrentFocus(), focusView);
    EXPECT_TRUE(window->IsHidden());
    EXPECT_LT(window->Thread(), 0);
    Shown(window);
    EXPECT_GE(window->Thread(), 0);
    ASSERT_TRUE(Await([&] { return events.draws.load() >= 1; }));
    EXPECT_EQ(events.drawThread.load(), window->Thread());
    EXPECT_TRUE(Await([&] { return HeadlessDisplay().PresentCount(window) >= 1; }));
    const int32 before = events.draws.load();
    Locked(window, [&] {
        view->Invalidate();
        // Hiding and showing nest.
        window->Hide();
        window->Hide();
        window->Show();
        EXPECT_TRUE(window->IsHidden());
        window->Show();
        EXPECT_FALSE(window->IsHidden());
    });
    EXPECT_TRUE(Await([&] { return events.draws.load() > before; }));

    BMessage key = Key("+");
    window->PostMessage(&key);
    BMessage click = Mouse(B_MOUSE_DOWN, BPoint(25, 30), B_SECONDARY_MOUSE_BUTTON);
    window->PostMessage(&click);
    BMessage miss = Mouse(B_MOUSE_DOWN, BPoint(90, 90));
    window->PostMessage(&miss);
    // Addressed to the focus view, the click still goes to the view under the pointer.
    window->PostMessage(&click, nullptr);
    ASSERT_TRUE(Await([&] {
        std::lock_guard guard(events.lock);
        return events.clicks.size() >= 2;
    }));
    QuitWindow(window);
    EXPECT_EQ(focusEvents.keys, std::vector<std::string>{"+"});
    EXPECT_TRUE(focusEvents.clicks.empty());
    EXPECT_TRUE(events.keys.empty());
    EXPECT_EQ(events.clicks[0], BPoint(5, 10));
    EXPECT_EQ(events.buttons, (std::vector<int32>{2, 2}));
}

class WindowGeometryTest : public LockedWindowTest {};

TEST_F(WindowGeometryTest, FrameBufferFollowsResizingWithinTheSizeLimits)
{
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 99, 99));
    EXPECT_EQ(window->ContentBuffer().Width(), 100);
    auto* dragger = new BView(BRect(92, 92, 99, 99), "dragger", B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM,
        0);
    auto* video = new BView(BRect(10, 10, 99, 99), "video", B_FOLLOW_ALL_SIDES, 0);
    video->SetViewColor(255, 0, 0);
    window->AddChild(video);
    window->AddChild(dragger);
    window->UpdateIfNeeded();
    window->ResizeTo(199, 49);
    EXPECT_EQ(window->ContentBuffer().Width(), 200);
    EXPECT_EQ(window->ContentBuffer().Height(), 50);
    EXPECT_EQ(video->Frame(), BRect(10, 10, 199, 49));
    EXPECT_EQ(dragger->Frame(), BRect(192, 42, 199, 49));
    // The resized window is drawn again whole.
    window->UpdateIfNeeded();
    EXPECT_EQ(CountPixels(RED, 0, 0, 199, 49), 190 * 40 - 8 * 8);

    window->SetSizeLimits(400, 1024, 300, 768);
    const struct {
        float width;
        float height;
        BRect bounds;
    } resizes[] = {{399, 299, BRect(0, 0, 400, 300)}, {2000, 1000, BRect(0, 0, 1024, 768)},
        {500, 400, BRect(0, 0, 500, 400)}};
    for (const auto& resize : resizes) {
        window->ResizeTo(resize.width, resize.height);
        EXPECT_EQ(window->Bounds(), resize.bounds) << resize.width;
        EXPECT_EQ(window->ContentBuffer().Width(), resize.bounds.IntegerWidth() + 1);
    }
    // ResizeBy clamps as ResizeTo does.
    window->ResizeTo(400, 300);
    window->ResizeBy(-1, 0);
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 400, 300));
}

TEST_F(WindowTest, WindowsHearOfMovesResizesAndWorkspaceSwitchesAndCloseOnAQuitRequest)
{
    ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(2), B_OK);
    Events events;
    auto* window = new EventWindow(BRect(10, 10, 109, 109), events);
    window->Lock();
    EXPECT_EQ(window->Workspaces(), 1u << 2);
    ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(0), B_OK);
    window->SetWorkspaces(B_CURRENT_WORKSPACE);
    EXPECT_EQ(window->Workspaces(), 1u);
    EXPECT_EQ(HeadlessDisplay().SetCurrentWorkspace(32), B_BAD_VALUE);
    // Moving and resizing call the hooks.
    window->MoveTo(30, 40);
    EXPECT_EQ(events.movedTo, BPoint(30, 40));
    EXPECT_EQ(window->Frame(), BRect(30, 40, 129, 139));
    window->ResizeBy(10, 0);
    EXPECT_EQ(events.resizedWidth, 109.0f);
    window->Show();
    window->Unlock();
    ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(1), B_OK);
    ASSERT_TRUE(Await([&] {
        std::lock_guard guard(events.lock);
        return events.workspaces.size() >= 4;
    }));
    {
        // The switch made before the window ran reaches it too, in order.
        std::lock_guard guard(events.lock);
        EXPECT_EQ(events.workspaces,
            (std::vector<std::pair<int32, bool>>{{2, false}, {0, true}, {0, false}, {1, true}}));
    }
    // A quit request closes the window.
    window->PostMessage(B_QUIT_REQUESTED);
    EXPECT_TRUE(Await([&] { return events.destroyed.load(); }));
}

TEST_F(WindowTest, ApplicationClosesItsWindowsAtItsEnd)
{
    Events shownEvents;
    Events hiddenEvents;
    {
        BApplication application("application/x-vnd.Ovelin-interface-test");
        Shown(new EventWindow(BRect(0, 0, 9, 9), shownEvents));
        new EventWindow(BRect(0, 0, 9, 9), hiddenEvents);
    }
    EXPECT_TRUE(shownEvents.destroyed);
    EXPECT_TRUE(hiddenEvents.destroyed);
}

}
