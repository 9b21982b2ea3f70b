#include "channels/qvChannelItem.h"

#include "kits/interface/ListView.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr float ROW = 20;

// A list of 100 presets as the suite's "Presets" list, in a window that never runs.
class qvChannelItemTest : public interface_test::LockedWindowTest {
protected:
    void SetUp() override
    {
        MakeWindow(300, 60);
        presetList = new BListView(BRect(0, 0, 299, 59), "Presets");
        window->AddChild(presetList);
        for (int32 i = 0; i < 100; i++)
            presetList->AddItem(new qvChannelItem(("S" + std::to_string(i + 1)).c_str(), i));
    }

    void TearDown() override
    {
        presetList = nullptr;
        LockedWindowTest::TearDown();
    }
};

TEST_F(qvChannelItemTest, DrawsItsNumberAndNameInTheListsFontAndItsStatesColours)
{
    const rgb_color white = {255, 255, 255, 255};
    const rgb_color navy = {0, 0, 128, 255};
    const rgb_color grey = {128, 128, 128, 255};
    const struct {
        int32 index;
        bool selected;
        bool enabled;
        const char* label;
        rgb_color high;
        rgb_color low;
    } cases[] = {{0, false, true, "P01", {0, 0, 0, 255}, white},
        {9, true, true, "P10", white, navy}, {99, false, false, "P100", grey, white},
        {98, true, false, "P99", grey, navy}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto* item = static_cast<qvChannelItem*>(presetList->ItemAt(c.index));
        if (c.selected)
            presetList->Select(c.index);
        else
            presetList->DeselectAll();
        item->SetEnabled(c.enabled);
        // The item on the top row, what it should look like on the row below.
        item->DrawItem(presetList, BRect(0, 0, 299, ROW - 1), true);
        presetList->SetLowColor(c.low);
        presetList->SetHighColor(c.high);
        presetList->FillRect(BRect(0, ROW, 299, 2 * ROW - 1), B_SOLID_LOW);
        presetList->DrawString(c.label, BPoint(10, 2 * ROW - 3));
        presetList->DrawString(item->name.c_str(), BPoint(40, 2 * ROW - 3));
        for (int32 y = 0; y < int32(ROW); y++) {
            for (int32 x = 0; x < 300; x++)
                ASSERT_EQ(Pixel(x, y), Pixel(x, y + int32(ROW))) << x << "," << y;
        }
    }
}

}
