#include "app/qvTV.h"

#include "devices/DefaultNodes.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Screen.h"
#include "tests/support/MessageWith.h"
#include "tests/support/TestCard.h"
#include "window/TVWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The application with hooks for the test, all run on the application thread, which is the
// test's own. A run still going after 100 pulses (ten seconds) is ended without asking anyone,
// so that a broken quit fails the test instead of hanging it.
class TestApplication : public qvTV {
public:
    void ReadyToRun() override
    {
        qvTV::ReadyToRun();
        if (onReady)
            onReady(*this);
    }

    void Pulse() override
    {
        qvTV::Pulse();
        if (++pulses == 100) {
            timedOut = true;
            Quit();
        } else if (onPulse) {
            onPulse(*this);
        }
    }

    std::function<void(TestApplication&)> onReady;
    std::function<void(TestApplication&)> onPulse;
    int32 pulses = 0;
    bool timedOut = false;
};

class qvTVTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        ASSERT_EQ(devices::RegisterDefaultNodes(), B_OK);
        kits::interface::HeadlessDisplay().Reset();
        application = std::make_unique<TestApplication>();
    }

    void TearDown() override
    {
        application.reset();
        kits::interface::SetAlertResponder({});
        kits::interface::ClearRecordedAlerts();
        MediaRosterTest::TearDown();
    }

    // Runs the application, which ends before its pulses run out and closes the main window.
    void Run()
    {
        application->Run();
        EXPECT_FALSE(application->timedOut);
        EXPECT_EQ(application->MainWindow(), nullptr);
    }

    std::unique_ptr<TestApplication> application;
};

TEST_F(qvTVTest, TheMainWindowShowsTheAboutBoxAndCommandQQuitsWhichClosesIt)
{
    EXPECT_STREQ(application->Signature(), "application/x-vnd.Quarnet.Ovelin");
    application->onReady = [](TestApplication& app) {
        TVWindow* window = app.MainWindow();
        ASSERT_NE(window, nullptr);
        window->Lock();
        EXPECT_STREQ(window->Title(), "Ovelin Beta 4");
        EXPECT_EQ(window->Type(), B_TITLED_WINDOW);
        EXPECT_EQ(window->Flags(), uint32(B_ASYNCHRONOUS_CONTROLS));
        EXPECT_EQ(window->Frame().LeftTop(), BPoint(10, 25));
        // The window's first size, 400 by 300, is its smallest; the screen its largest.
        const BRect screen = BScreen(window).Frame();
        float limits[4] = {};
        window->GetSizeLimits(&limits[0], &limits[1], &limits[2], &limits[3]);
        EXPECT_EQ(std::vector<float>(limits, limits + 4),
            (std::vector<float>{400, screen.Width(), 300, screen.Height()}));
        EXPECT_FALSE(window->IsHidden());
        window->Unlock();
        EXPECT_EQ(app.PulseRate(), 100000);
    };
    // The first pulse asks for the about box, as its menu item does; once it is answered (on the
    // application thread, which waits in Go() meanwhile) Command-Q ends the run.
    application->onPulse = [](TestApplication& app) {
        if (app.pulses == 1)
            app.MainWindow()->PostMessage(B_ABOUT_REQUESTED);
    };
    kits::interface::SetAlertResponder([this](const kits::interface::AlertRecord&) {
        BMessage press = test_support::CommandKeyDown('q');
        application->MainWindow()->PostMessage(&press);
        return 0;
    });
    Run();

    const std::vector<kits::interface::AlertRecord> alerts = kits::interface::RecordedAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    const kits::interface::AlertRecord& about = alerts[0];
    EXPECT_EQ(about.title, "About");
    EXPECT_EQ(about.buttons, std::vector<std::string>{"Ok"});
    EXPECT_EQ(about.width, B_WIDTH_AS_USUAL);
    EXPECT_EQ(about.type, B_INFO_ALERT);
    // Two fixed lines; credits follow.
    const std::string start = "Ovelin, a windowed and fullscreen TV viewer.\nVersion: Beta 4\n";
    EXPECT_EQ(about.text.substr(0, start.size()), start);
    EXPECT_GT(about.text.size(), start.size());
}

TEST_F(qvTVTest, MainWindowRefusesToCloseItselfAndAsksTheApplication)
{
    application->onReady = [](TestApplication& app) {
        TVWindow* window = app.MainWindow();
        window->Lock();
        EXPECT_FALSE(window->QuitRequested());
        // Still open: only the application closes it, on the request just posted.
        EXPECT_FALSE(window->IsHidden());
        window->Unlock();
    };
    Run();
}
}
