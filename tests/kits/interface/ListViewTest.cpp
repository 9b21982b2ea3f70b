#include "kits/interface/ListView.h"

#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/ListItem.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using interface_test::Entry;
using interface_test::Events;
using interface_test::EventWindow;
using interface_test::Mouse;
using interface_test::Recorder;
using test_support::Await;

constexpr uint32 SELECTED = 0x10000;
constexpr uint32 INVOKED = 0x10001;

class ListViewTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        list = new BListView(BRect(0, 0, 99, 49), "Presets");
        list->SetSelectionMessage(new BMessage(SELECTED));
        list->SetInvocationMessage(new BMessage(INVOKED));
        for (const char* name : {"A", "B", "C", "D", "E"})
            list->AddItem(new Entry(name));
        window->AddChild(list);
        Target(*list);
        height = list->ItemAt(0)->Height();
    }

    std::string Selected() const
    {
        auto* entry = static_cast<Entry*>(list->ItemAt(list->CurrentSelection()));
        return entry != nullptr ? entry->name : "";
    }

    BListView* list = nullptr;
    float height = 0;
};

TEST_F(ListViewTest, AnEntryIsOneLineOfTheListFontHighAndAsWideAsTheList)
{
    font_height metrics;
    be_plain_font->GetHeight(&metrics);
    EXPECT_EQ(height, std::ceil(metrics.ascent + metrics.descent + metrics.leading));
    EXPECT_EQ(list->ItemAt(4)->Width(), 99);
    EXPECT_EQ(list->ItemFrame(2), BRect(0, 2 * height, 99, 3 * height - 1));
}

TEST_F(ListViewTest, EveryChangeOfSelectionByCodeClickOrKeyIsSentWithItsIndex)
{
    const BPoint onD(10, 3 * height + 2);
    struct Step {
        std::function<void()> action;
        int32 selection;
        // The "index" sent, -1 for a message without it, -2 for no message.
        int32 sent;
    };
    const Step steps[] = {
        {[&] { list->Select(2); }, 2, 2},
        {[&] { list->Select(2); }, 2, -2},
        {[&] { list->Select(5); }, 2, -2},
        {[&] { Click(onD); }, 3, 3},
        {[&] { Press("\x1e"); }, 2, 2},
        {[&] { Press("\x04"); }, 4, 4},
        {[&] { Press("\x1f"); }, 4, -2},
        {[&] { Press("\x01"); }, 0, 0},
        {[&] { Press("\x1e"); }, 0, -2},
        {[&] { list->DeselectAll(); }, -1, -1},
        {[&] { Press("\x1f"); }, 0, 0},
    };
    for (size_t i = 0; i < std::size(steps); i++) {
        steps[i].action();
        EXPECT_EQ(list->CurrentSelection(), steps[i].selection) << i;
        for (int32 index = 0; index < list->CountItems(); index++)
            EXPECT_EQ(list->ItemAt(index)->IsSelected(), index == steps[i].selection) << i;
        const std::vector<BMessage> sent = recorder->Take();
        if (steps[i].sent == -2) {
            EXPECT_TRUE(sent.empty()) << i;
            continue;
        }
        ASSERT_EQ(sent.size(), 1u) << i;
        EXPECT_EQ(sent[0].what, SELECTED) << i;
        void* source = nullptr;
        EXPECT_EQ(sent[0].FindPointer("source", &source), B_OK) << i;
        EXPECT_EQ(source, list) << i;
        EXPECT_TRUE(sent[0].HasInt64("when")) << i;
        int32 index = -1;
        (void)sent[0].FindInt32("index", &index);
        EXPECT_EQ(index, steps[i].sent) << i;
    }
    EXPECT_TRUE(list->IsFocus());
}

TEST_F(ListViewTest, InsertingSwappingAndRemovingKeepTheSelectionOnItsEntry)
{
    list->Select(2);
    (void)recorder->Take();
    ASSERT_TRUE(list->AddItem(new Entry("new"), 1));
    EXPECT_EQ(Selected(), "C");
    ASSERT_TRUE(list->SwapItems(3, 0));
    EXPECT_EQ(list->CurrentSelection(), 0);
    EXPECT_EQ(Selected(), "C");
    const std::unique_ptr<BListItem> removed(list->RemoveItem(1));
    EXPECT_EQ(static_cast<Entry*>(removed.get())->name, "new");
    EXPECT_EQ(Selected(), "C");
    EXPECT_FALSE(list->SwapItems(0, 5));
    const auto refused = std::make_unique<Entry>("late");
    EXPECT_FALSE(list->AddItem(refused.get(), 6));
    EXPECT_TRUE(Commands().empty());

    auto* c = list->ItemAt(0);
    EXPECT_TRUE(list->RemoveItem(c));
    delete c;
    EXPECT_EQ(list->CurrentSelection(), -1);
    EXPECT_EQ(Commands(), std::vector<uint32>{SELECTED});
}

TEST_F(ListViewTest, TheListDeletesWhatItHoldsAndGivesBackWhatIsRemoved)
{
    const int32 elsewhere = Entry::live - 5;
    const std::unique_ptr<BListItem> removed(list->RemoveItem(4));
    list->Select(0);
    list->MakeEmpty();
    EXPECT_EQ(Entry::live, elsewhere + 1);
    EXPECT_EQ(list->CountItems(), 0);
    EXPECT_EQ(list->CurrentSelection(), -1);
    list->AddItem(new Entry("F"));
    list->RemoveSelf();
    delete list;
    EXPECT_EQ(Entry::live, elsewhere + 1);
}

TEST_F(ListViewTest, DrawingAsksEachVisibleEntryAndFollowsTheSelectionIntoView)
{
    window->UpdateIfNeeded();
    const int32 visible = int32(std::ceil(50 / height));
    for (int32 i = 0; i < list->CountItems(); i++) {
        auto* entry = static_cast<Entry*>(list->ItemAt(i));
        if (i < visible)
            EXPECT_EQ(entry->frames, std::vector<BRect>{list->ItemFrame(i)}) << i;
        else
            EXPECT_TRUE(entry->frames.empty()) << i;
        entry->frames.clear();
    }
    list->MakeFocus();
    Press("\x04");
    EXPECT_EQ(list->ItemFrame(4), BRect(0, 50 - height, 99, 49));
    window->UpdateIfNeeded();
    EXPECT_EQ(static_cast<Entry*>(list->ItemAt(4))->frames.back(), list->ItemFrame(4));
    EXPECT_TRUE(static_cast<Entry*>(list->ItemAt(0))->frames.empty());
    Click(BPoint(10, 48));
    EXPECT_EQ(list->CurrentSelection(), 4);
    Press("\x01");
    EXPECT_EQ(list->ItemFrame(0).top, 0);
}

TEST(ListViewWindowTest, ADoubleClickOrEnterOnTheSelectedEntryInvokesTheList)
{
    Events events;
    auto* window = new EventWindow(BRect(0, 0, 99, 99), events);
    auto* list = new BListView(BRect(0, 0, 99, 99), "list");
    list->SetInvocationMessage(new BMessage(INVOKED));
    for (const char* name : {"A", "B"})
        list->AddItem(new Entry(name));
    window->AddChild(list);
    auto* recorder = new Recorder;
    recorder->Run();
    recorder->Lock();
    list->SetTarget(recorder);
    recorder->Unlock();
    interface_test::Shown(window);

    const BPoint onB(10, list->ItemFrame(1).top + 1);
    BMessage single = Mouse(B_MOUSE_DOWN, onB);
    BMessage twice = Mouse(B_MOUSE_DOWN, onB);
    twice.ReplaceInt32("clicks", 2);
    BMessage enter = interface_test::Key("\n");
    for (BMessage* message : {&single, &single, &twice, &enter})
        window->PostMessage(message);
    window->PostMessage(Recorder::MARKER);
    ASSERT_TRUE(Await([&] {
        std::lock_guard guard(events.lock);
        return !events.commands.empty() && events.commands.back() == Recorder::MARKER;
    }));
    const std::vector<BMessage> sent = recorder->Take();
    ASSERT_EQ(sent.size(), 2u);
    for (const BMessage& message : sent) {
        EXPECT_EQ(message.what, INVOKED);
        int32 index = -1;
        EXPECT_EQ(message.FindInt32("index", &index), B_OK);
        EXPECT_EQ(index, 1);
    }
    interface_test::QuitWindow(window);
    recorder->Lock();
    recorder->Quit();
}

}
