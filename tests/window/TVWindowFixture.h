#pragma once
// The fixture of the main window's tests: a window over the test card, built as the application
// builds it.

#include "window/TVWindow.h"

#include "kits/app/Application.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/Await.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestCard.h"
#include "video/TVView.h"
#include "window/Commands.h"
#include "window/ControlPanel.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

constexpr BRect FRAME(10, 25, 410, 325);
// The video view at the 625-line test card's 4:3 signal size.
constexpr BRect SIGNAL_4_3(0, 0, 767, 575);

// A window built as the application builds it, with its help documents looked for in a folder
// of the test's, an application object for the windows it makes, and the test card (with or
// without a tuner) as the video input. The window never runs unless a test runs it; until then
// the test keeps it locked.
class TVWindowTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        kits::interface::HeadlessDisplay().Reset();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        std::filesystem::create_directories(applicationDirectory);
    }

    void TearDown() override
    {
        CloseWindow();
        // Ends the channel suite and preferences windows.
        application.reset();
        kits::interface::HeadlessDisplay().Reset();
        MediaRosterTest::TearDown();
    }

    void MakeWindow(bool tunerFitted = true)
    {
        test_support::RegisterTestCard(tunerFitted);
        window = new TVWindow(FRAME, "Ovelin Beta 4", B_TITLED_WINDOW, B_ASYNCHRONOUS_CONTROLS,
            applicationDirectory.c_str());
        window->Lock();
    }

    void CloseWindow()
    {
        if (window == nullptr)
            return;
        // Quit wants the lock and deletes the window, at once when it never ran.
        if (window->LockingThread() != find_thread(nullptr))
            window->Lock();
        window->Quit();
        window = nullptr;
        kits::media::ResetDefaultNodes();
    }

    // Starts the window's loop and waits until its video view has taken the signal's size; the
    // test lets go of the lock and locks again to look.
    void RunWindow()
    {
        window->Show();
        window->Unlock();
        EXPECT_TRUE(AwaitWindow([this] { return VideoView()->Bounds() == SIGNAL_4_3; }));
    }

    // Awaits a condition read with the running window locked.
    bool AwaitWindow(const std::function<bool()>& condition)
    {
        return test_support::Await([&] {
            window->Lock();
            const bool met = condition();
            window->Unlock();
            return met;
        });
    }

    void WriteFile(const std::string& relative)
    {
        test_support::WriteBytes(applicationDirectory + "/" + relative, "document\n");
    }

    void Pulses(int32 count)
    {
        for (int32 i = 0; i < count; i++)
            window->Pulse();
    }

    template <typename T>
    T* Find(const char* name) const { return dynamic_cast<T*>(window->FindView(name)); }
    BMenuBar* MenuBar() const { return Find<BMenuBar>("Menu Bar"); }
    BMenu* Menu(int32 index) const { return MenuBar()->ItemAt(index)->Submenu(); }
    BMenu* FormatMenu() const { return Menu(1)->ItemAt(0)->Submenu(); }
    TVView* VideoView() const { return Find<TVView>("TVView"); }
    Slider* SliderOverlay() const { return Find<Slider>("pSlider"); }
    TextOver* Label(const char* name) const { return Find<TextOver>(name); }
    ControlPanel* Panel() const { return Find<ControlPanel>("ControlPanel"); }

    std::unique_ptr<BApplication> application;
    const std::string applicationDirectory = folder.Path("application");
    TVWindow* window = nullptr;
};
