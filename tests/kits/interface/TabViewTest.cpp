#include "kits/interface/TabView.h"

#include "kits/interface/CheckBox.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr char LEFT[] = "\x1c";
constexpr char RIGHT[] = "\x1d";
constexpr char TAB[] = "\t";

// Three pages, "General" with a check box on it, "Audio" and "Video", in a tab view that fills
// the window.
class TabViewTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window->ResizeTo(399, 199);
        tabs = new BTabView(window->Bounds(), "tab_view");
        for (const char* name : {"General", "Audio", "Video"}) {
            auto* page = new BView(BRect(5, 5, 380, 150), name, B_FOLLOW_NONE, 0);
            tabs->AddTab(page, name[0] == 'A' ? new BTab() : nullptr);
        }
        check = new BCheckBox(BRect(10, 10, 150, 30), "chkDblRefresh", "Double refresh", nullptr);
        tabs->ViewForTab(0)->AddChild(check);
        window->AddChild(tabs);
    }

    // The middle of a tab, in window coordinates.
    BPoint TabPoint(int32 index)
    {
        const BRect frame = tabs->TabFrame(index);
        return BPoint((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
    }

    void ExpectShown(int32 selected)
    {
        EXPECT_EQ(tabs->Selection(), selected);
        for (int32 i = 0; i < tabs->CountTabs(); i++) {
            EXPECT_EQ(tabs->TabAt(i)->IsSelected(), i == selected) << i;
            EXPECT_EQ(tabs->ViewForTab(i)->IsHidden(), i != selected) << i;
        }
    }

    BTabView* tabs = nullptr;
    BCheckBox* check = nullptr;
};

TEST_F(TabViewTest, TheFirstTabIsSelectedAndClicksAndArrowKeysShowAnotherPage)
{
    EXPECT_STREQ(tabs->TabAt(1)->Label(), "Audio");
    EXPECT_EQ(tabs->ViewForTab(2)->Parent(), tabs->ContainerView());
    EXPECT_EQ(tabs->ContainerView()->Frame().top, tabs->TabHeight() + 2);
    // Usual tabs side by side, each 100 wide.
    EXPECT_EQ(tabs->TabFrame(1).left, tabs->TabFrame(0).right + 1);
    EXPECT_EQ(tabs->TabFrame(1).Width(), 99);
    ExpectShown(0);
    Click(TabPoint(2));
    ExpectShown(2);
    tabs->MakeFocus();
    for (const auto& [key, selected] : {std::pair{LEFT, 1}, {LEFT, 0}, {LEFT, 0}, {RIGHT, 1}}) {
        Press(key);
        ExpectShown(selected);
    }
}

TEST_F(TabViewTest, HidingAPageTakesTheFocusFromItAndTabSkipsTheHiddenPages)
{
    auto* audioCheck = new BCheckBox(BRect(10, 10, 150, 30), "chkLine", "Line", nullptr);
    tabs->ViewForTab(1)->AddChild(audioCheck);
    Press(TAB);
    EXPECT_EQ(window->CurrentFocus(), tabs);
    Press(TAB);
    EXPECT_EQ(window->CurrentFocus(), check);
    tabs->Select(1);
    EXPECT_EQ(window->CurrentFocus(), tabs);
    Press(TAB);
    EXPECT_EQ(window->CurrentFocus(), audioCheck);
    Press(TAB);
    EXPECT_EQ(window->CurrentFocus(), tabs);
}

TEST_F(TabViewTest, RemoveTabGivesTheTabWithItsViewBackAndSelectsTheOneBefore)
{
    EXPECT_EQ(tabs->RemoveTab(3), nullptr);
    tabs->Select(1);
    BView* audio = tabs->ViewForTab(1);
    std::unique_ptr<BTab> removed(tabs->RemoveTab(1));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->View(), audio);
    EXPECT_EQ(audio->Parent(), nullptr);
    EXPECT_FALSE(removed->IsSelected());
    EXPECT_EQ(tabs->CountTabs(), 2);
    ExpectShown(0);
    std::unique_ptr<BTab> first(tabs->RemoveTab(0));
    ExpectShown(0);
    EXPECT_STREQ(tabs->TabAt(0)->Label(), "Video");
}

}
