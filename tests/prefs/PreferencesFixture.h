#pragma once
// The preferences window's tests share: a main window that notes what it is sent, a node whose
// web a test lays out, and a fixture that opens the window over a settings file.

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
#include <cmath>
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
            noted = std::string("SF ") + (on ? "1" : "0");
        else if (message->what == MSG_SET_16BIT_LIMIT && message->FindBool("LM", &on) == B_OK)
            noted = std::string("LM ") + (on ? "1" : "0");
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

// A handler on a looper's thread that runs a function for each message posted to it; it leaves
// the looper with the object.
class LoopHandler : public BHandler {
public:
    LoopHandler(BWindow* looper, std::function<void()> run)
        : BHandler("loop handler"),
          looper(looper),
          run(std::move(run))
    {
        interface_test::Locked(looper, [&] { looper->AddHandler(this); });
    }
    ~LoopHandler() override
    {
        interface_test::Locked(looper, [&] { looper->RemoveHandler(this); });
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
        ASSERT_EQ(looper->PostMessage('ruN', this), B_OK);
        EXPECT_TRUE(test_support::Await([&] { return ran > before; }));
    }

    std::atomic<int32> ran{0};

private:
    BWindow* looper;
    std::function<void()> run;
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
            const size_t slash = p.group.find('/');
            BParameterGroup*& top = groups[p.group.substr(0, slash)];
            if (top == nullptr)
                top = web->MakeGroup(p.group.substr(0, slash).c_str());
            BParameterGroup*& group = groups[p.group];
            if (group == nullptr)
                group = top->MakeGroup(p.group.substr(slash + 1).c_str());
            if (p.name.empty())
                continue;
            if (p.continuous) {
                group
                    ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_AUDIO, p.name.c_str(), B_GAIN,
                        B_UNIT_NONE, p.minimum, p.maximum, 1)
                    ->SetChannelCount(int32(p.value.size()));
            } else {
                group->MakeDiscreteParameter(
                    int32(i), B_MEDIA_RAW_VIDEO, p.name.c_str(), B_ENABLE);
            }
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
        if (p.continuous) {
            *ioSize = p.value.size() * sizeof(float);
            std::memcpy(value, p.value.data(), *ioSize);
        } else {
            const int32 number = int32(p.value[0]);
            *ioSize = sizeof(number);
            std::memcpy(value, &number, *ioSize);
        }
        return B_OK;
    }

    void SetParameterValue(int32 id, bigtime_t, const void* value, size_t size) override
    {
        std::lock_guard guard(lock);
        WebParameter& p = parameters.at(size_t(id));
        std::ostringstream noted;
        noted << p.name << ':';
        for (size_t i = 0; i < size / 4; i++) {
            float number = 0;
            int32 whole = 0;
            std::memcpy(p.continuous ? static_cast<void*>(&number) : &whole,
                static_cast<const char*>(value) + 4 * i, 4);
            noted << ' ' << (p.continuous ? number : float(whole));
        }
        writes.push_back(noted.str());
    }

private:
    std::mutex lock;
    // Guarded by lock.
    std::vector<WebParameter> parameters;
    std::vector<std::string> writes;
};

// A preferences window over the test card, or over a node registered by the test; with a main
// window when the test opens it with one.
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

    // Makes the window over the settings file holding bytes (none when null), for a running
    // main window.
    void Open(const std::string* bytes)
    {
        if (bytes != nullptr)
            test_support::WriteBytes(SETTINGS_PATH, *bytes);
        if (main == nullptr)
            main = static_cast<MainWindowDouble*>(interface_test::Shown(new MainWindowDouble));
        preferences = new Preferences(main);
    }

    // Makes the default node of kind (MEDIA_DEFAULT_VIDEO_INPUT or MEDIA_DEFAULT_AUDIO_OUTPUT)
    // a node of the test's, kept in node.
    template <typename Node, typename Layout>
    void Register(int32 kind, Node*& node, const Layout& layout)
    {
        ASSERT_EQ(
            media_register_default_node(
                kind,
                [&node, layout] { return static_cast<BMediaNode*>(node = new Node(layout)); }, 1),
            B_OK);
    }

    // Waits until the window has handled every message posted to it before.
    void Settle()
    {
        LoopHandler(preferences, [] {}).Settle();
    }

    template <typename Result>
    Result Locked(const std::function<Result()>& read)
    {
        return interface_test::Locked(preferences, read);
    }

    BControl* Control(const char* name)
    {
        return dynamic_cast<BControl*>(preferences->FindView(name));
    }

    // The labels of the tab view's pages, one after the other.
    std::string Pages()
    {
        return Locked<std::string>([&] {
            auto* tabs = static_cast<BTabView*>(preferences->FindView("tab_view"));
            std::string labels;
            for (int32 i = 0; i < tabs->CountTabs(); i++)
                labels += std::string(i > 0 ? " " : "") + tabs->TabAt(i)->Label();
            return labels;
        });
    }

    // Sets a control's value as code does, and as a user's release of it does, which posts its
    // message.
    void Move(const char* name, int32 value)
    {
        Locked<bool>([&] { return Control(name)->SetValue(value), true; });
    }
    void Release(const char* name, int32 value)
    {
        Move(name, value);
        EXPECT_EQ(Locked<status_t>([&] { return Control(name)->Invoke(); }), B_OK) << name;
    }

    std::unique_ptr<BApplication> application;
    MainWindowDouble* main = nullptr;
    Preferences* preferences = nullptr;
    test_support::TestMixerNode* mixer = nullptr;
};

}
