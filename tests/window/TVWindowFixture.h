#pragma once
// The fixture of the main window's tests: a window over the test card, built as the application
// builds it.

#include "window/TVWindow.h"

#include "channels/ControlPanel.h"
#include "devices/DefaultNodes.h"
#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/Screen.h"
#include "kits/interface/SeparatorItem.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/TemporaryFolder.h"
#include "video/TVView.h"
#include "window/Commands.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

constexpr BRect FRAME(10, 25, 410, 325);

// An item as the menus table lists it; a separator has an empty label.
struct ExpectedItem {
    const char* label;
    uint32 command;
    char shortcut;
};

constexpr ExpectedItem SEPARATOR = {"", 0, 0};

inline bool AwaitCondition(const std::function<bool()>& condition)
{
    const bigtime_t deadline = system_time() + 5000000;
    while (!condition()) {
        if (system_time() > deadline)
            return false;
        snooze(500);
    }
    return true;
}

// A window built as the application builds it, with its help documents looked for in a folder
// of the test's, an application object for the windows it makes, and the test card (with or
// without a tuner) as the video input. The window never runs unless a test shows it; the test
// keeps it locked.
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

    void MakeWindow(bool tunerFitted = true)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [tunerFitted] {
                auto* card = new devices::TestCardNode();
                card->SetTunerFitted(tunerFitted);
                return static_cast<BMediaNode*>(card);
            }, 0), B_OK);
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

    void WriteFile(const std::string& relative)
    {
        const std::string path = applicationDirectory + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "document\n";
    }

    BMenuBar* MenuBar() const { return dynamic_cast<BMenuBar*>(window->FindView("Menu Bar")); }

    BMenu* Menu(int32 index) const
    {
        BMenuItem* title = MenuBar()->ItemAt(index);
        return title != nullptr ? title->Submenu() : nullptr;
    }

    TVView* VideoView() const { return dynamic_cast<TVView*>(window->FindView("TVView")); }

    static void ExpectItems(BMenu* menu, const std::vector<ExpectedItem>& expected)
    {
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->Layout(), B_ITEMS_IN_COLUMN);
        ASSERT_EQ(menu->CountItems(), int32(expected.size())) << menu->Name();
        for (int32 i = 0; i < menu->CountItems(); i++) {
            BMenuItem* item = menu->ItemAt(i);
            const ExpectedItem& want = expected[size_t(i)];
            SCOPED_TRACE(testing::Message() << menu->Name() << " item " << i);
            if (want.label[0] == '\0') {
                EXPECT_NE(dynamic_cast<BSeparatorItem*>(item), nullptr);
                continue;
            }
            EXPECT_EQ(dynamic_cast<BSeparatorItem*>(item), nullptr);
            EXPECT_STREQ(item->Label(), want.label);
            EXPECT_EQ(item->Command(), want.command);
            uint32 modifiers = 42;
            EXPECT_EQ(item->Shortcut(&modifiers), want.shortcut);
            EXPECT_EQ(modifiers, 0u);
            // A bare command: no fields.
            ASSERT_NE(item->Message(), nullptr);
            EXPECT_EQ(item->Message()->CountNames(B_ANY_TYPE), 0);
        }
    }

    std::unique_ptr<BApplication> application;
    std::string applicationDirectory;
    TVWindow* window = nullptr;
};
