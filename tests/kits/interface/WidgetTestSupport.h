#pragma once
// Helpers for the tests of the list view and the controls: a looper that records what it is
// sent, a list entry, and a locked window whose input the test dispatches itself.

#include "kits/app/Invoker.h"
#include "kits/app/Looper.h"
#include "kits/app/Message.h"
#include "kits/interface/ListItem.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace interface_test {

// An entry that counts the live ones and records where it was asked to draw.
class Entry : public BListItem {
public:
    explicit Entry(std::string name) : name(std::move(name)) { live++; }
    ~Entry() override { live--; }

    void DrawItem(BView*, BRect frame, bool) override { frames.push_back(frame); }

    std::string name;
    std::vector<BRect> frames;
    static inline int32 live = 0;
};

// A running looper that keeps a copy of every message it gets.
class Recorder : public BLooper {
public:
    Recorder() : BLooper("recorder") { }

    void MessageReceived(BMessage* message) override
    {
        std::lock_guard guard(lock);
        messages.push_back(*message);
    }

    // Waits until everything sent before the call has arrived, and takes it all out.
    std::vector<BMessage> Take()
    {
        PostMessage(MARKER);
        std::vector<BMessage> taken;
        EXPECT_TRUE(test_support::Await([&] {
            std::lock_guard guard(lock);
            return !messages.empty() && messages.back().what == MARKER;
        }));
        std::lock_guard guard(lock);
        for (const BMessage& message : messages) {
            if (message.what != MARKER)
                taken.push_back(message);
        }
        messages.clear();
        return taken;
    }

    static constexpr uint32 MARKER = 'mark';

private:
    std::mutex lock;
    // Guarded by lock.
    std::vector<BMessage> messages;
};

// A locked window that never runs (see LockedWindowTest) and a recorder for what its views send.
class WidgetTest : public LockedWindowTest {
protected:
    void SetUp() override
    {
        LockedWindowTest::SetUp();
        recorder = new Recorder;
        recorder->Run();
    }
    void TearDown() override
    {
        recorder->Lock();
        recorder->Quit();
        LockedWindowTest::TearDown();
    }

    // Targets the invoker at the recorder.
    void Target(BInvoker& invoker)
    {
        recorder->Lock();
        ASSERT_EQ(invoker.SetTarget(recorder), B_OK);
        recorder->Unlock();
    }

    // Input handled as the window's thread would handle it.
    void Dispatch(BMessage message) { window->DispatchMessage(&message, window); }
    void Press(const char* bytes, int32 modifiers = 0) { Dispatch(Key(bytes, modifiers)); }
    void Click(BPoint where) { Dispatch(Mouse(B_MOUSE_DOWN, where)); }
    void Drag(BPoint from, BPoint to)
    {
        Dispatch(Mouse(B_MOUSE_DOWN, from));
        Dispatch(Mouse(B_MOUSE_MOVED, to));
        Dispatch(Mouse(B_MOUSE_UP, to, 0));
    }

    // The commands sent since the last call.
    std::vector<uint32> Commands()
    {
        std::vector<uint32> commands;
        for (const BMessage& message : recorder->Take())
            commands.push_back(message.what);
        return commands;
    }

    Recorder* recorder = nullptr;
};

}
