// The TV view in the application and as a replicant rebuilt from its archive.

#include "video/TVView.h"

#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "kits/app/Application.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/PopUpMenuTestHooks.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/storage/File.h"
#include "tests/support/Await.h"
#include "tests/support/LoopHandler.h"
#include "tests/support/MessageWith.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

using kits::interface::HeadlessDisplay;

using test_support::Await;
using test_support::Settle;
using test_support::With;

// An application that counts quit requests and refuses them until the test ends.
class QuitCounter : public BApplication {
public:
    QuitCounter() : BApplication("application/x-vnd.test-tvview") {}

    bool QuitRequested() override
    {
        quitRequests++;
        return allowQuit;
    }

    std::atomic<int32> quitRequests{0};
    std::atomic<bool> allowQuit{false};
};

class TVViewTest : public PreparedBootVolumeTest {
protected:
    void SetUp() override
    {
        PreparedBootVolumeTest::SetUp();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        test_support::RegisterTestCard();
        TVView::RegisterReplicant();
        app = new QuitCounter();
        appThread = std::thread([this] { app->Run(); });
    }

    void TearDown() override
    {
        kits::interface::SetPopUpResponder(nullptr);
        for (BWindow* window : windows) {
            window->Lock();
            window->Quit();
        }
        app->allowQuit = true;
        app->PostMessage(B_QUIT_REQUESTED);
        appThread.join();
        delete app;
        kits::media::ResetDefaultNodes();
        HeadlessDisplay().Reset();
        PreparedBootVolumeTest::TearDown();
    }

    // Shows `view` in a new window with `frame`.
    template <typename View>
    View* Host(View* view, BRect frame)
    {
        auto* window = new BWindow(frame, "host", B_TITLED_WINDOW, 0);
        windows.push_back(window);
        window->AddChild(view);
        window->Show();
        return view;
    }

    // A replicant of `view` rebuilt from its archive's flattened bytes, in a window of its own.
    TVView* MakeReplicant(TVView* view)
    {
        BMessage archive;
        view->Window()->Lock();
        EXPECT_EQ(view->Archive(&archive, true), B_OK);
        view->Window()->Unlock();
        std::vector<char> bytes(size_t(archive.FlattenedSize()));
        EXPECT_EQ(archive.Flatten(bytes.data(), ssize_t(bytes.size())), B_OK);
        BMessage restored;
        EXPECT_EQ(restored.Unflatten(bytes.data(), bytes.size()), B_OK);
        // The application ends once its view is archived, freeing the card for the replicant.
        BWindow* source = view->Window();
        windows.erase(std::find(windows.begin(), windows.end(), source));
        source->Lock();
        source->Quit();
        auto* replicant = dynamic_cast<TVView*>(instantiate_object(&restored));
        return replicant == nullptr ? nullptr : Host(replicant, BRect(300, 200, 619, 439));
    }

    static std::optional<int32> Channel() { return test_support::CardValue<int32>("Channel"); }

    // Resizes `view` to width x height pixels.
    static void Resize(BView* view, float width, float height)
    {
        view->Window()->Lock();
        view->ResizeTo(width - 1, height - 1);
        view->Window()->Unlock();
    }

    // Whether the view's centre shows something other than black: frames are being drawn.
    static bool ShowsPicture(TVView* view)
    {
        return Await([&] {
            BWindow* window = view->Window();
            if (!window->Lock())
                return false;
            const BRect frame = view->Frame();
            const uint32 pixel = window->ContentBuffer().PixelAt(
                int32(frame.left + frame.Width() / 2), int32(frame.top + frame.Height() / 2));
            window->Unlock();
            return (pixel & 0x00FFFFFF) != 0;
        });
    }

    QuitCounter* app = nullptr;
    std::thread appThread;
    std::vector<BWindow*> windows;
};

// The application's view, then the replicant it becomes when dragged out: what each does itself
// and what it leaves to others.
TEST_F(TVViewTest, ApplicationViewAndTheReplicantRebuiltFromItsFlattenedArchive)
{
    test_support::WritePresets(
        {{3, "BALTIC 2", devices::VIDEO_FORMAT_PAL_BG}, {.channel = 6, .name = {}}});
    std::atomic<int32> opened{0};
    std::atomic<float> openedX{0};
    kits::interface::SetPopUpResponder([&](BPopUpMenu* menu, BPoint where) -> BMenuItem* {
        opened++;
        openedX = where.x;
        return menu->ItemAt(3);
    });

    TVView* view = Host(new TVView(BRect(0, 0, 639, 479), "TVView", B_FOLLOW_ALL_SIDES,
                            B_WILL_DRAW),
        BRect(100, 100, 739, 579));
    EXPECT_FALSE(view->IsReplicant());
    EXPECT_EQ(view->ReplicantMenu(), nullptr);
    view->Window()->Lock();
    auto* dragger = dynamic_cast<BDragger*>(view->ChildAt(0));
    ASSERT_NE(dragger, nullptr);
    EXPECT_EQ(dragger->Frame(), BRect(632, 472, 639, 479));
    EXPECT_EQ(dragger->ResizingMode(), uint32(B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
    EXPECT_EQ(dragger->Target(), view);
    view->Window()->Unlock();
    EXPECT_TRUE(ShowsPicture(view));
    // Tuning is the channel suite's and sizing the window's: the view does neither itself.
    const int32 first = Channel().value_or(-1);
    view->TuneChannel(first + 1, -1, -1);
    EXPECT_EQ(Channel(), first);
    Resize(view, 300, 200);
    EXPECT_EQ(view->RequestedWidth(), 768);
    Resize(view, 640, 480);
    // A secondary click opens no menu.
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(110, 110), B_SECONDARY_MOUSE_BUTTON), B_OK);
    HeadlessDisplay().ReleaseMouse(BPoint(110, 110));
    Settle(view->Window());
    EXPECT_EQ(opened, 0);

    // Archiving the application's view ends the application; archiving a replicant does not.
    TVView* replicant = MakeReplicant(view);
    ASSERT_NE(replicant, nullptr);
    Settle(app);
    EXPECT_EQ(app->quitRequests, 1);
    BMessage again;
    replicant->Window()->Lock();
    EXPECT_EQ(replicant->Archive(&again, true), B_OK);
    // It keeps a dragger of its own, so it can be dragged on again.
    EXPECT_NE(dynamic_cast<BDragger*>(replicant->ChildAt(0)), nullptr);
    replicant->Window()->Unlock();
    Settle(app);
    EXPECT_EQ(app->quitRequests, 1);
    const char* text = nullptr;
    ASSERT_EQ(again.FindString("add_on", &text), B_OK);
    EXPECT_STREQ(text, "application/x-vnd.Quarnet.Ovelin");
    ASSERT_EQ(again.FindString("class", &text), B_OK);
    EXPECT_STREQ(text, "TVView");
    BMessage nested;
    ASSERT_EQ(again.FindMessage("NodeManager", &nested), B_OK);
    EXPECT_EQ(nested.what, uint32('NdMg'));

    // The replicant runs its own picture, sized to its view on attaching.
    EXPECT_TRUE(replicant->IsReplicant());
    EXPECT_EQ(replicant->ResizingMode(), uint32(B_FOLLOW_ALL_SIDES));
    EXPECT_TRUE(ShowsPicture(replicant));
    EXPECT_EQ(replicant->RequestedWidth(), 640);
    EXPECT_EQ(replicant->RequestedHeight(), 480);
    BPopUpMenu* menu = replicant->ReplicantMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_STREQ(menu->Name(), "ReplicantMenu");
    ASSERT_EQ(menu->CountItems(), 4);
    BMenu* stations = menu->ItemAt(0)->Submenu();
    ASSERT_NE(stations, nullptr);
    EXPECT_STREQ(stations->Name(), "Stations");
    EXPECT_STREQ(menu->ItemAt(2)->Label(), "Resize to optimal size");
    EXPECT_STREQ(menu->ItemAt(3)->Label(), "Maximize");
    ASSERT_EQ(stations->CountItems(), 2);
    EXPECT_STREQ(stations->ItemAt(0)->Label(), "BALTIC 2");
    EXPECT_STREQ(stations->ItemAt(1)->Label(), "Unknown station");
    EXPECT_TRUE(stations->ItemAt(0)->Message()->HasInt32("VideoFormat"));
    EXPECT_FALSE(stations->ItemAt(1)->Message()->HasInt32("VideoFormat"));
    // Each call appends.
    replicant->InitReplicant();
    EXPECT_EQ(stations->CountItems(), 4);

    // Tuning wraps at both ends, and a zap needs a channel.
    const int32 count = devices::ChannelPlan::CountChannels();
    const std::pair<int32, int32> tunings[] = {{-1, count - 1}, {count, 0}, {5, 5}};
    for (const auto& [asked, tuned] : tunings) {
        replicant->TuneChannel(asked, -1, -1);
        EXPECT_EQ(Channel(), tuned) << asked;
    }
    BMessage noChannel = With(MSG_REPLICANT_ZAP, "VideoFormat", devices::VIDEO_FORMAT_NTSC_M);
    replicant->MessageReceived(&noChannel);
    EXPECT_EQ(Channel(), 5);
    EXPECT_EQ(replicant->GetSignalType(), SIGNAL_625);
    BMessage zap
        = With(MSG_REPLICANT_ZAP, "Channel", 7, "VideoFormat", devices::VIDEO_FORMAT_NTSC_M);
    replicant->MessageReceived(&zap);
    EXPECT_EQ(Channel(), 7);
    EXPECT_EQ(replicant->GetSignalType(), SIGNAL_525);
    // Tuning reconnects at the stored size, now clamped to the 525-line picture.
    EXPECT_TRUE(ShowsPicture(replicant));

    // Counted in pixels as the window's size tracking counts them: bounds of 198.5 x 148.5
    // cover 200 x 150 pixels.
    Resize(replicant, 199.5f, 149.5f);
    EXPECT_EQ(replicant->RequestedWidth(), 200);
    EXPECT_EQ(replicant->RequestedHeight(), 150);

    // Only a secondary click alone opens the menu, just above and left of the pointer;
    // "Maximize" fills the host window.
    Resize(replicant, 100, 100);
    const BPoint click(300 + 10, 200 + 10);
    for (int32 buttons : {B_PRIMARY_MOUSE_BUTTON | B_SECONDARY_MOUSE_BUTTON,
             int32(B_PRIMARY_MOUSE_BUTTON), int32(B_SECONDARY_MOUSE_BUTTON)}) {
        ASSERT_EQ(HeadlessDisplay().PressMouse(click, buttons), B_OK);
        HeadlessDisplay().ReleaseMouse(click);
    }
    ASSERT_TRUE(Await([&] { return opened == 1; }));
    EXPECT_EQ(openedX, 309);
    EXPECT_TRUE(Await([&] {
        replicant->Window()->Lock();
        const bool filled = replicant->Frame() == replicant->Window()->Bounds();
        replicant->Window()->Unlock();
        return filled;
    }));
    EXPECT_EQ(opened, 1);
    // "Resize to optimal size" gives the card's picture size: 525 lines since the zap.
    BMessage optimal(MSG_REPLICANT_OPTIMAL_SIZE);
    replicant->Window()->Lock();
    replicant->MessageReceived(&optimal);
    EXPECT_EQ(replicant->Bounds(), BRect(0, 0, 639, 479));
    replicant->Window()->Unlock();
}

TEST_F(TVViewTest, ForeignDamagedOrMissingArchivesBuildNothingOrDefaults)
{
    BMessage foreign = With(B_ARCHIVED_OBJECT, "class", "BView");
    EXPECT_EQ(TVView::Instantiate(&foreign), nullptr);
    EXPECT_EQ(TVView::Instantiate(nullptr), nullptr);

    // Only the class: a replicant with the node manager's defaults, and a presets file that
    // cannot be read leaves the stations menu empty.
    BFile damaged("/boot/home/config/settings/Media/presets",
        B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
    ASSERT_EQ(damaged.Write("not a message", 13), 13);
    BMessage bare = With(B_ARCHIVED_OBJECT, "class", "TVView");
    auto* replicant = dynamic_cast<TVView*>(instantiate_object(&bare));
    ASSERT_NE(replicant, nullptr);
    Host(replicant, BRect(0, 0, 159, 119));
    EXPECT_EQ(replicant->ReplicantMenu()->ItemAt(0)->Submenu()->CountItems(), 0);
    EXPECT_EQ(replicant->GetSignalSize(), BRect(0, 0, 767, 575));
    EXPECT_TRUE(ShowsPicture(replicant));
}

}
