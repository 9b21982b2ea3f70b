#pragma once
// What the preferences window's tests share: a main window that notes what it is sent, a node
// whose web a test lays out, and a fixture that opens the window over a settings file.

#include "prefs/Preferences.h"

#include "kits/app/Application.h"
#include "kits/interface/Control.h"
#include "kits/interface/TabView.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/ParameterWeb.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"
#include "tests/support/FileBytes.h"
#include "tests/support/MixerNode.h"
#include "tests/support/TestCard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
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

// A handler on a window's thread that runs a function for each message posted to it.
class LoopHandler : public BHandler {
public:
    LoopHandler(BWindow* window, std::function<void()> run)
        : window(window),
          run(std::move(run))
    {
        interface_test::Locked(window, [&] { window->AddHandler(this); });
    }
    ~LoopHandler() override
    {
        interface_test::Locked(window, [&] { window->RemoveHandler(this); });
    }

    void MessageReceived(BMessage*) override
    {
        run();
        ran++;
    }

    // Waits until the function has run for a message posted now, after every one before it.
    void Settle()
    {
        const int32 before = ran;
        ASSERT_EQ(window->PostMessage('ruN', this), B_OK);
        EXPECT_TRUE(test_support::Await([&] { return ran > before; }));
    }

private:
    BWindow* window;
    std::function<void()> run;
    std::atomic<int32> ran{0};
};

// A parameter of a WebNode: in group ("Output/Line" is the sub-group "Line" of "Output"), with
// no name for the group alone; continuous with a float per value, or discrete with one int32.
struct WebParameter {
    std::string group;
    std::string name;
    bool continuous = true;
    float minimum = 0;
    float maximum = 0;
    std::vector<float> value = {0};
};

// A node with the web a test lays out, which notes each write as the parameter's name and its
// values ("Luma Coring: 0", "Volume: 0 0"). The roster calls the hooks from any thread.
class WebNode : public BControllable {
public:
    explicit WebNode(const std::vector<WebParameter>& parameters)
        : BMediaNode("Web node"),
          parameters(parameters)
    {
        auto* web = new BParameterWeb();
        std::map<std::string, BParameterGroup*> groups;
        for (size_t i = 0; i < parameters.size(); i++) {
            const WebParameter& p = parameters[i];
            const std::string top = p.group.substr(0, p.group.find('/'));
            if (groups[top] == nullptr)
                groups[top] = web->MakeGroup(top.c_str());
            if (groups[p.group] == nullptr)
                groups[p.group] = groups[top]->MakeGroup(p.group.substr(top.size() + 1).c_str());
            if (p.name.empty())
                continue;
            if (!p.continuous) {
                groups[p.group]->MakeDiscreteParameter(
                    int32(i), B_MEDIA_RAW_VIDEO, p.name.c_str(), B_ENABLE);
                continue;
            }
            groups[p.group]
                ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_VIDEO, p.name.c_str(), B_GAIN, "",
                    p.minimum, p.maximum, 1)
                ->SetChannelCount(int32(p.value.size()));
        }
        (void)SetParameterWeb(web);
    }

    BMediaAddOn* AddOn(int32*) const override { return nullptr; }

    std::vector<std::string> Writes()
    {
        std::lock_guard guard(lock);
        return writes;
    }

protected:
    status_t GetParameterValue(int32 id, bigtime_t*, void* value, size_t* ioSize) override
    {
        std::lock_guard guard(lock);
        const WebParameter& p = parameters.at(size_t(id));
        const int32 number = int32(p.value[0]);
        *ioSize = p.continuous ? p.value.size() * sizeof(float) : sizeof(number);
        std::memcpy(
            value, p.continuous ? static_cast<const void*>(p.value.data()) : &number, *ioSize);
        return B_OK;
    }

    void SetParameterValue(int32 id, bigtime_t, const void* value, size_t size) override
    {
        std::lock_guard guard(lock);
        const WebParameter& p = parameters.at(size_t(id));
        std::ostringstream noted;
        noted << p.name << ':';
        for (size_t at = 0; at < size; at += 4) {
            float number = 0;
            int32 whole = 0;
            std::memcpy(p.continuous ? static_cast<void*>(&number) : &whole,
                static_cast<const char*>(value) + at, 4);
            noted << ' ' << (p.continuous ? number : float(whole));
        }
        writes.push_back(noted.str());
    }

private:
    const std::vector<WebParameter> parameters;
    std::mutex lock;
    // Guarded by lock.
    std::vector<std::string> writes;
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
        LoopHandler(preferences, [] {}).Settle();
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
