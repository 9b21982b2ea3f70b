#pragma once
// What the preferences window's tests share: a main window that notes what it is sent, and a
// fixture that opens the window over a settings file.

#include "prefs/Preferences.h"

#include "kits/app/Application.h"
#include "kits/interface/Control.h"
#include "kits/interface/TabView.h"
#include "kits/media/MediaDevices.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/LoopHandler.h"
#include "tests/support/MixerNode.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace prefs_test {

// The main window as the preferences see it: it notes the signal options it is sent, as
// "DI 1", "SF 0" or "LM 1", in order.
class MainWindowDouble : public BWindow {
public:
    MainWindowDouble()
        : BWindow(BRect(30, 40, 429, 339), "main", B_TITLED_WINDOW, 0)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        int32 mode = 0;
        bool on = false;
        std::string noted = "? " + std::to_string(message->what);
        if (message->what == MSG_SET_DEINTERLACE && message->FindInt32("DI", &mode) == B_OK)
            noted = "DI " + std::to_string(mode);
        else if (message->what == MSG_SET_SUBTITLE_FILTER && message->FindBool("SF", &on) == B_OK)
            noted = "SF " + std::to_string(on);
        else if (message->what == MSG_SET_16BIT_LIMIT && message->FindBool("LM", &on) == B_OK)
            noted = "LM " + std::to_string(on);
        std::lock_guard guard(lock);
        sent.push_back(noted);
    }

    std::vector<std::string> Sent()
    {
        std::lock_guard guard(lock);
        return sent;
    }

private:
    std::mutex lock;
    // Guarded by lock.
    std::vector<std::string> sent;
};

// A preferences window over the test card, or over nodes a test registers, for a running main
// window.
class PreferencesTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        application = std::make_unique<BApplication>("application/x-vnd.Quarnet.Ovelin-test");
        test_support::RegisterTestCard();
    }

    void TearDown() override
    {
        Close();
        if (main != nullptr)
            interface_test::QuitWindow(main);
        application.reset();
        MediaRosterTest::TearDown();
    }

    // Quits the window as the application does at its end, which saves the settings.
    void Close()
    {
        if (preferences != nullptr && preferences->Lock())
            preferences->Quit();
        preferences = nullptr;
    }

    // Makes the window over the settings file holding bytes (none when null).
    void Open(const std::string* bytes)
    {
        if (bytes != nullptr)
            test_support::WriteBytes(SETTINGS_PATH, *bytes);
        if (main == nullptr)
            main = static_cast<MainWindowDouble*>(interface_test::Shown(new MainWindowDouble));
        preferences = new Preferences(main);
    }

    // Makes the default node of kind a Node made from layout, kept in node.
    template <typename Node, typename Layout>
    void Register(int32 kind, Node*& node, const Layout& layout)
    {
        ASSERT_EQ(media_register_default_node(
                      kind, [&node, layout] { return (node = new Node(layout)); }, 1),
            B_OK);
    }

    // Waits until the window has handled every message posted to it before.
    void Settle()
    {
        test_support::Settle(preferences);
    }

    template <typename Read>
    auto Locked(Read read)
    {
        return interface_test::Locked(preferences, read);
    }

    BControl* Control(const char* name)
    {
        return dynamic_cast<BControl*>(preferences->FindView(name));
    }

    int32 Pages()
    {
        return Locked([&] {
            return static_cast<BTabView*>(preferences->FindView("tab_view"))->CountTabs();
        });
    }

    // Sets a control's value as code does; Release does it as a user does, posting its message.
    void Move(const char* name, int32 value)
    {
        Locked([&] { Control(name)->SetValue(value); });
    }
    void Release(const char* name, int32 value)
    {
        Locked([&] {
            Control(name)->SetValue(value);
            (void)Control(name)->Invoke();
        });
    }

    std::unique_ptr<BApplication> application;
    MainWindowDouble* main = nullptr;
    Preferences* preferences = nullptr;
    test_support::TestMixerNode* mixer = nullptr;
};

}
