#include "kits/interface/RadioButton.h"

#include "kits/interface/Box.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32 CHOSEN = 0x10000;
constexpr char SPACE[] = " ";

// Three buttons in one box and one in another: two groups.
class RadioButtonTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window->ResizeTo(299, 99);
        auto* first = new BBox(BRect(0, 0, 149, 99));
        auto* second = new BBox(BRect(150, 0, 299, 99));
        window->AddChild(first);
        window->AddChild(second);
        for (int32 i = 0; i < 3; i++) {
            modes.push_back(
                new BRadioButton(BRect(10, float(10 + 20 * i), 140, float(25 + 20 * i)), "rdoDI",
                    "Mode", new BMessage(CHOSEN)));
            first->AddChild(modes.back());
            Target(*modes.back());
        }
        other = new BRadioButton(BRect(10, 10, 140, 25), "rdoMode", "640 x 480", nullptr);
        second->AddChild(other);
    }

    std::string Values() const
    {
        std::string values;
        for (const BRadioButton* button : modes)
            values += std::to_string(button->Value());
        return values + " " + std::to_string(other->Value());
    }

    // Press at one point and release at another, in window coordinates.
    void PressAndRelease(BRadioButton* button, BPoint release)
    {
        Click(button->ConvertToScreen(BPoint(5, 7)) - window->Frame().LeftTop());
        Dispatch(interface_test::Mouse(B_MOUSE_UP, release, 0));
    }

    std::vector<BRadioButton*> modes;
    BRadioButton* other = nullptr;
};

TEST_F(RadioButtonTest, TurningAButtonOnTurnsOffTheOthersOfItsParentOnlyAndSendsNothing)
{
    other->SetValue(B_CONTROL_ON);
    for (const auto& [index, value, values] :
        {std::tuple{0, 1, "100 1"}, {2, 1, "001 1"}, {1, 7, "010 1"}, {1, 0, "000 1"}}) {
        modes[size_t(index)]->SetValue(value);
        EXPECT_EQ(Values(), values) << index << " " << value;
    }
    EXPECT_TRUE(Commands().empty());
}

TEST_F(RadioButtonTest, AClickOrSpaceTurnsTheButtonOnAndInvokesItButReleasingElsewhereDoesNot)
{
    const BPoint inside = modes[1]->ConvertToScreen(BPoint(5, 7)) - window->Frame().LeftTop();
    PressAndRelease(modes[1], inside);
    EXPECT_EQ(Values(), "010 0");
    EXPECT_EQ(window->CurrentFocus(), modes[1]);
    PressAndRelease(modes[1], inside);
    PressAndRelease(modes[2], BPoint(200, 90));
    EXPECT_EQ(Values(), "010 0");
    modes[0]->MakeFocus();
    Press(SPACE);
    EXPECT_EQ(Values(), "100 0");
    modes[2]->SetEnabled(false);
    PressAndRelease(modes[2], modes[2]->ConvertToScreen(BPoint(5, 7)) - window->Frame().LeftTop());
    EXPECT_EQ(Values(), "100 0");
    EXPECT_EQ(Commands(), (std::vector<uint32>{CHOSEN, CHOSEN, CHOSEN}));
}

}
