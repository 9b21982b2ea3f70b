#include "prefs/Preferences.h"

#include "kits/interface/Slider.h"
#include "tests/prefs/PreferencesFixture.h"
#include "tests/support/WebNode.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using test_support::WebNode;
using test_support::WebParameter;

// The Video page's controls in the order of its table.
constexpr const char* VIDEO_CONTROLS[] = {"sldBright", "sldContrast", "sldSatur", "sldHue",
    "chkLuma", "chkChroma", "chkGamma", "chkError"};

// The Video page over a card of the test's; the audio output is a mixer, without which the
// page is not built.
class VideoPageTest : public prefs_test::PreferencesTest {
protected:
    void Open(const std::vector<WebParameter>& web)
    {
        Register(MEDIA_DEFAULT_AUDIO_OUTPUT, mixer, std::vector<std::string>{"Line"});
        Register(MEDIA_DEFAULT_VIDEO_INPUT, card, web);
        PreferencesTest::Open(nullptr);
    }

    // Each control's value, a slider's with its limits, "x" after a disabled one.
    std::string Page()
    {
        return Locked([&] {
            std::string page;
            for (const char* name : VIDEO_CONTROLS) {
                page += (page.empty() ? "" : " ") + std::to_string(Control(name)->Value());
                if (auto* slider = dynamic_cast<BSlider*>(Control(name))) {
                    int32 low = 0;
                    int32 high = 0;
                    slider->GetLimits(&low, &high);
                    page += "[" + std::to_string(low) + "," + std::to_string(high) + "]";
                }
                page += Control(name)->IsEnabled() ? "" : "x";
            }
            return page;
        });
    }

    WebNode* card = nullptr;
};

using Step = int32 (Preferences::*)();

TEST_F(VideoPageTest, ControlsShowTheCardsParametersAndWriteThemOnTheirCommands)
{
    Open({{"Picture", "Brightness", true, -128, 127, {125}},
        {"Picture", "Contrast", true, 0, 200, {100}},
        // The later of two contrasts, whose range of whole numbers is 0 to 10.
        {"Picture", "Contrast Fine", true, 0.5f, 10.9f, {3}},
        {"Picture", "Saturation", true, 0, 100, {12.9f}},
        {"Picture", "Luma Coring", false, 0, 0, {3}}, {"Picture", "Gamma", false, 0, 0, {1}},
        // Of the wrong kind.
        {"Picture", "Error Diffusion", true, 0, 1, {1}}});
    EXPECT_EQ(Page(), "125[-128,127] 3[0,10] 12[0,100] -100[-100,100]x 1 0x 1 0x");
    // A command writes the control's value when it is handled.
    for (const auto& [name, value] : {std::pair{"sldSatur", 12}, {"chkLuma", 0}, {"chkLuma", 1}}) {
        Release(name, value);
        Settle();
    }
    EXPECT_EQ(card->Writes(),
        (std::vector<std::string>{"Saturation: 12", "Luma Coring: 0", "Luma Coring: 1"}));

    // Steps stop at the slider's ends; per cent of the parameter's range, truncated.
    const struct {
        Step step;
        int32 times;
        int32 percent;
        const char* written;
    } steps[] = {
        {&Preferences::BrightnessUp, 1, 100, "Brightness: 127"},
        {&Preferences::BrightnessDown, 52, 0, "Brightness: -128"},
        {&Preferences::ContrastUp, 1, 72, "Contrast Fine: 8"},
        {&Preferences::ContrastUp, 1, 91, "Contrast Fine: 10"},
        // Below the range's own minimum of 0.5, which is still 0 per cent.
        {&Preferences::ContrastDown, 3, 0, "Contrast Fine: 0"},
        {&Preferences::SaturationDown, 1, 7, "Saturation: 7"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.written);
        int32 percent = -1;
        for (int32 time = 0; time < s.times; time++)
            percent = (preferences->*s.step)();
        EXPECT_EQ(percent, s.percent);
        Settle();
        EXPECT_EQ(card->Writes().back(), s.written);
    }
}

TEST_F(VideoPageTest, ACardWithoutParametersDisablesEveryControlAndStepsChangeNothing)
{
    Open({});
    const std::string page = Page();
    EXPECT_EQ(page, "-100[-100,100]x -100[-100,100]x -100[-100,100]x -100[-100,100]x 0x 0x 0x 0x");
    for (Step step : {&Preferences::BrightnessUp, &Preferences::BrightnessDown,
             &Preferences::ContrastUp, &Preferences::ContrastDown, &Preferences::SaturationUp,
             &Preferences::SaturationDown}) {
        EXPECT_EQ((preferences->*step)(), 0);
    }
    EXPECT_EQ(Page(), page);
}

}
