// The TV view in the application and as a replicant rebuilt from its archive.

#include "video/TVView.h"

#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
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
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <atomic>
#include <thread>
#include <vector>

namespace {

using kits::interface::HeadlessDisplay;

using test_support::Await;
using test_support::CardValue;

constexpr uint32 SENTINEL = 'sEnT';
constexpr const char* PRESETS = "/boot/home/config/settings/Media/presets";

// An application that counts quit requests and refuses them until the test ends.
class QuitCounter : public BApplication {
public:
    QuitCounter() : BApplication("application/x-vnd.test-tvview") {}

    bool QuitRequested() override
    {
        quitRequests++;
        return allowQuit;
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == SENTINEL)
            sentinels++;
        else
            BApplication::MessageReceived(message);
    }

    // Waits until every message posted before this call has been handled.
    void Settle()
    {
        const int32 wanted = sentinels + 1;
        PostMessage(SENTINEL);
        Await([&] { return sentinels >= wanted; });
    }

    std::atomic<int32> quitRequests{0};
    std::atomic<int32> sentinels{0};
    std::atomic<bool> allowQuit{false};
};

// Notes that a message reached it.
class Marker : public BHandler {
public:
    Marker() : BHandler("marker") {}
    void MessageReceived(BMessage*) override { seen = true; }
    std::atomic<bool> seen{false};
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
        // Posted before Run, handled once the loop is up.
        app->Settle();
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

    BWindow* MakeWindow(BRect frame)
    {
        auto* window = new BWindow(frame, "host", B_TITLED_WINDOW, 0);
        windows.push_back(window);
        return window;
    }

    // The application's view, in a shown window.
    TVView* MakeApplicationView()
    {
        BWindow* window = MakeWindow(BRect(100, 100, 739, 579));
        auto* view = new TVView(window->Bounds(), "TVView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        window->AddChild(view);
        window->Show();
        return view;
    }

    // A replicant of `view` rebuilt from its archive's flattened bytes, in a window of its own.
    TVView* MakeReplicant(TVView* view, BRect windowFrame = BRect(300, 200, 619, 439))
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
        if (replicant == nullptr)
            return nullptr;
        BWindow* host = MakeWindow(windowFrame);
        host->AddChild(replicant);
        host->Show();
        return replicant;
    }

    static std::optional<int32> Channel() { return CardValue<int32>("Channel"); }

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

TEST_F(TVViewTest, ApplicationViewCarriesItsDraggerAndShowsTheLivePicture)
{
    TVView* view = MakeApplicationView();
    EXPECT_FALSE(view->IsReplicant());
    EXPECT_EQ(view->ReplicantMenu(), nullptr);
    view->Window()->Lock();
    ASSERT_EQ(view->CountChildren(), 1);
    auto* dragger = dynamic_cast<BDragger*>(view->ChildAt(0));
    ASSERT_NE(dragger, nullptr);
    EXPECT_EQ(dragger->Frame(), BRect(632, 472, 639, 479));
    EXPECT_EQ(dragger->ResizingMode(), uint32(B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
    EXPECT_EQ(dragger->Target(), view);
    view->Window()->Unlock();
    EXPECT_TRUE(ShowsPicture(view));
}

TEST_F(TVViewTest, ArchivingTheApplicationsViewEndsTheApplicationButAReplicantsDoesNot)
{
    TVView* view = MakeApplicationView();
    TVView* replicant = MakeReplicant(view);
    ASSERT_NE(replicant, nullptr);
    app->Settle();
    EXPECT_EQ(app->quitRequests, 1);

    BMessage again;
    replicant->Window()->Lock();
    EXPECT_EQ(replicant->Archive(&again, true), B_OK);
    replicant->Window()->Unlock();
    app->Settle();
    EXPECT_EQ(app->quitRequests, 1);

    // The archive names the application, the class, and carries the node manager's settings.
    const char* text = nullptr;
    ASSERT_EQ(again.FindString("add_on", &text), B_OK);
    EXPECT_STREQ(text, "application/x-vnd.Quarnet.Ovelin");
    ASSERT_EQ(again.FindString("class", &text), B_OK);
    EXPECT_STREQ(text, "TVView");
    BMessage nested;
    ASSERT_EQ(again.FindMessage("NodeManager", &nested), B_OK);
    EXPECT_EQ(nested.what, uint32('NdMg'));
}

TEST_F(TVViewTest, ReplicantRebuiltFromFlattenedBytesRunsItsOwnPictureAndMenu)
{
    test_support::WritePresets(
        {{3, "BALTIC 2", devices::VIDEO_FORMAT_PAL_BG}, {.channel = 6, .name = {}}});

    TVView* view = MakeApplicationView();
    TVView* replicant = MakeReplicant(view);
    ASSERT_NE(replicant, nullptr);
    EXPECT_TRUE(replicant->IsReplicant());
    EXPECT_EQ(replicant->ResizingMode(), uint32(B_FOLLOW_ALL_SIDES));
    // It keeps a dragger of its own, so it can be dragged on again.
    replicant->Window()->Lock();
    EXPECT_NE(dynamic_cast<BDragger*>(replicant->ChildAt(0)), nullptr);
    replicant->Window()->Unlock();
    EXPECT_TRUE(ShowsPicture(replicant));
    // Sized to the view on attaching: the host window's 320x240 pixels.
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
    int32 value = 0;
    EXPECT_EQ(stations->ItemAt(0)->Message()->FindInt32("VideoFormat", &value), B_OK);
    EXPECT_FALSE(stations->ItemAt(1)->Message()->HasInt32("VideoFormat"));
    // Each call appends.
    replicant->InitReplicant();
    EXPECT_EQ(stations->CountItems(), 4);
}

TEST_F(TVViewTest, SecondaryClickAloneOpensTheReplicantsMenuAndItsChoiceIsCarriedOut)
{
    std::atomic<int32> opened{0};
    std::atomic<float> openedX{0};
    kits::interface::SetPopUpResponder([&](BPopUpMenu* menu, BPoint where) -> BMenuItem* {
        opened++;
        openedX = where.x;
        return menu->ItemAt(3);
    });
    // The application's view opens no menu: once its window has handled what came after the
    // click, a menu would have been asked for.
    TVView* view = MakeApplicationView();
    ASSERT_EQ(HeadlessDisplay().PressMouse(BPoint(110, 110), B_SECONDARY_MOUSE_BUTTON), B_OK);
    HeadlessDisplay().ReleaseMouse(BPoint(110, 110));
    Marker marker;
    view->Window()->Lock();
    view->Window()->AddHandler(&marker);
    view->Window()->Unlock();
    view->Window()->PostMessage(SENTINEL, &marker);
    ASSERT_TRUE(Await([&] { return marker.seen.load(); }));
    view->Window()->Lock();
    view->Window()->RemoveHandler(&marker);
    view->Window()->Unlock();
    EXPECT_EQ(opened, 0);

    TVView* replicant = MakeReplicant(view, BRect(300, 200, 619, 439));
    ASSERT_NE(replicant, nullptr);
    Resize(replicant, 100, 100);
    const BPoint click(300 + 10, 200 + 10);
    for (int32 buttons : {B_PRIMARY_MOUSE_BUTTON | B_SECONDARY_MOUSE_BUTTON,
             int32(B_PRIMARY_MOUSE_BUTTON), int32(B_SECONDARY_MOUSE_BUTTON)}) {
        ASSERT_EQ(HeadlessDisplay().PressMouse(click, buttons), B_OK);
        HeadlessDisplay().ReleaseMouse(click);
    }
    ASSERT_TRUE(Await([&] { return opened == 1; }));
    // Opened just above and left of the pointer; "Maximize" fills the host window.
    EXPECT_EQ(openedX, 309);
    EXPECT_TRUE(Await([&] {
        replicant->Window()->Lock();
        const bool filled = replicant->Frame() == replicant->Window()->Bounds();
        replicant->Window()->Unlock();
        return filled;
    }));
    EXPECT_EQ(opened, 1);

    // "Resize to optimal size" gives the card's picture size.
    BMessage optimal(MSG_REPLICANT_OPTIMAL_SIZE);
    replicant->Window()->Lock();
    replicant->MessageReceived(&optimal);
    EXPECT_EQ(replicant->Bounds(), BRect(0, 0, 767, 575));
    replicant->Window()->Unlock();
}

TEST_F(TVViewTest, TuningWrapsAtBothEndsAndNeedsAChannel)
{
    // The application's view leaves tuning to the channel suite: it never looks the
    // parameters up, so tuning it does nothing.
    TVView* view = MakeApplicationView();
    ASSERT_TRUE(ShowsPicture(view));
    const int32 first = Channel().value_or(-1);
    view->TuneChannel(first + 1, -1, -1);
    EXPECT_EQ(Channel(), first);

    TVView* replicant = MakeReplicant(view);
    ASSERT_NE(replicant, nullptr);
    const int32 count = devices::ChannelPlan::CountChannels();
    replicant->TuneChannel(-1, -1, -1);
    EXPECT_EQ(Channel(), count - 1);
    replicant->TuneChannel(count, -1, -1);
    EXPECT_EQ(Channel(), 0);
    replicant->TuneChannel(5, -1, -1);
    EXPECT_EQ(Channel(), 5);

    BMessage noChannel(MSG_REPLICANT_ZAP);
    noChannel.AddInt32("VideoFormat", devices::VIDEO_FORMAT_NTSC_M);
    replicant->MessageReceived(&noChannel);
    EXPECT_EQ(Channel(), 5);
    EXPECT_EQ(replicant->GetSignalType(), SIGNAL_625);

    BMessage zap(MSG_REPLICANT_ZAP);
    zap.AddInt32("Channel", 7);
    zap.AddInt32("VideoFormat", devices::VIDEO_FORMAT_NTSC_M);
    replicant->MessageReceived(&zap);
    EXPECT_EQ(Channel(), 7);
    EXPECT_EQ(replicant->GetSignalType(), SIGNAL_525);
    // Tuning reconnects at the stored size, now clamped to the 525-line picture.
    EXPECT_TRUE(ShowsPicture(replicant));
}

TEST_F(TVViewTest, ResizingAReplicantRenegotiatesItsPicture)
{
    // The application's view leaves its sizing to its window.
    TVView* view = MakeApplicationView();
    Resize(view, 300, 200);
    EXPECT_EQ(view->RequestedWidth(), 768);

    TVView* replicant = MakeReplicant(view);
    ASSERT_NE(replicant, nullptr);
    // Counted in pixels as the window's size tracking counts them: bounds of 198.5 x 148.5 cover
    // 200 x 150 pixels.
    Resize(replicant, 199.5f, 149.5f);
    EXPECT_EQ(replicant->RequestedWidth(), 200);
    EXPECT_EQ(replicant->RequestedHeight(), 150);
}

TEST_F(TVViewTest, ForeignDamagedOrMissingArchivesBuildNothingOrDefaults)
{
    BMessage foreign;
    foreign.AddString("class", "BView");
    EXPECT_EQ(TVView::Instantiate(&foreign), nullptr);
    EXPECT_EQ(TVView::Instantiate(nullptr), nullptr);

    // Only the class: a replicant with the node manager's defaults, and a presets file that
    // cannot be read leaves the stations menu empty.
    BMessage bare;
    bare.AddString("class", "TVView");
    {
        BFile damaged(PRESETS, B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        ASSERT_EQ(damaged.InitCheck(), B_OK);
        ASSERT_EQ(damaged.Write("not a message", 13), 13);
    }
    auto* replicant = dynamic_cast<TVView*>(instantiate_object(&bare));
    ASSERT_NE(replicant, nullptr);
    BWindow* host = MakeWindow(BRect(0, 0, 159, 119));
    host->AddChild(replicant);
    host->Show();
    EXPECT_EQ(replicant->ReplicantMenu()->ItemAt(0)->Submenu()->CountItems(), 0);
    EXPECT_EQ(replicant->GetSignalSize(), BRect(0, 0, 767, 575));
    EXPECT_TRUE(ShowsPicture(replicant));
}

}
