#pragma once
// The fixture of the main window's tests: a window over the test card, built as the application
// builds it.

#include "window/TVWindow.h"

#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/Parameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/storage/File.h"
#include "tests/support/Await.h"
#include "tests/support/TemporaryFolder.h"
#include "video/TVView.h"
#include "window/Commands.h"
#include "window/ControlPanel.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

constexpr BRect FRAME(10, 25, 410, 325);
// The video view at the 625-line test card's 4:3 signal size.
constexpr BRect SIGNAL_4_3(0, 0, 767, 575);

// A window built as the application builds it, with its help documents looked for in a folder
// of the test's, an application object for the windows it makes, and the test card (with or
// without a tuner) as the video input. The window never runs unless a test runs it; until then
// the test keeps it locked.
class TVWindowTest : public BootVolumeTest {
protected:
    void SetUp() override
    {
        BootVolumeTest::SetUp();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        kits::interface::HeadlessDisplay().Reset();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        applicationDirectory = folder.Path("application");
        std::filesystem::create_directories(applicationDirectory);
    }

    void TearDown() override
    {
        CloseWindow();
        // Ends the channel suite and preferences windows.
        application.reset();
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
        kits::interface::HeadlessDisplay().Reset();
        BootVolumeTest::TearDown();
    }

    static void RegisterCard(bool tunerFitted = true)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [tunerFitted] {
                auto* card = new devices::TestCardNode();
                card->SetTunerFitted(tunerFitted);
                return static_cast<BMediaNode*>(card);
            }, 0), B_OK);
    }

    void MakeWindow(bool tunerFitted = true)
    {
        RegisterCard(tunerFitted);
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

    // Starts the window's loop; the test lets go of the lock and locks again to look.
    void RunWindow()
    {
        window->Show();
        window->Unlock();
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
        const std::string path = applicationDirectory + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "document\n";
    }

    // Writes the presets file: a channel and a name for each preset.
    void WritePresets(const std::vector<std::pair<int32, std::string>>& presets)
    {
        std::filesystem::create_directories(bootRoot + "/home/config/settings/Media");
        BMessage stored('CNLS');
        for (const auto& [channel, name] : presets) {
            stored.AddInt32("Channel", channel);
            stored.AddString("Name", name.c_str());
        }
        BFile file("/boot/home/config/settings/Media/presets",
            B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        ASSERT_EQ(file.InitCheck(), B_OK);
        ASSERT_EQ(stored.Flatten(&file), B_OK);
    }

    // The test card's parameter named name; the roster keeps it for the life of the process.
    static BParameter* CardParameter(const char* name)
    {
        BMediaRoster* roster = BMediaRoster::Roster();
        media_node input;
        BParameterWeb* web = nullptr;
        if (roster->GetVideoInput(&input) != B_OK)
            return nullptr;
        (void)roster->ReleaseNode(input);
        if (roster->GetParameterWebFor(input, &web) != B_OK)
            return nullptr;
        for (int32 i = 0; i < web->CountParameters(); i++) {
            if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
                return web->ParameterAt(i);
        }
        return nullptr;
    }

    BMenuBar* MenuBar() const { return dynamic_cast<BMenuBar*>(window->FindView("Menu Bar")); }
    BMenu* Menu(int32 index) const { return MenuBar()->ItemAt(index)->Submenu(); }
    BMenu* FormatMenu() const { return Menu(1)->ItemAt(0)->Submenu(); }
    TVView* VideoView() const { return dynamic_cast<TVView*>(window->FindView("TVView")); }
    Slider* SliderOverlay() const { return dynamic_cast<Slider*>(window->FindView("pSlider")); }
    TextOver* Label(const char* name) const
    {
        return dynamic_cast<TextOver*>(window->FindView(name));
    }
    ControlPanel* Panel() const
    {
        return dynamic_cast<ControlPanel*>(window->FindView("ControlPanel"));
    }

    void Pulses(int32 count)
    {
        for (int32 i = 0; i < count; i++)
            window->Pulse();
    }

    std::unique_ptr<BApplication> application;
    std::string applicationDirectory;
    TVWindow* window = nullptr;
};
