#include "kits/interface/Snapshot.h"

#include "InterfaceTestSupport.h"
#include "kits/interface/View.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using namespace interface_test;

// The decoded image: width, height and R, G, B bytes, read with libpng on its own.
struct Decoded {
    bool ok = false;
    uint32 width = 0;
    uint32 height = 0;
    int colorType = -1;
    int bitDepth = -1;
    std::vector<uint8> rgb;
};

bool DecodeInto(FILE* file, png_structp png, png_infop info, Decoded& decoded)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    decoded.width = png_get_image_width(png, info);
    decoded.height = png_get_image_height(png, info);
    decoded.colorType = png_get_color_type(png, info);
    decoded.bitDepth = png_get_bit_depth(png, info);
    if (decoded.colorType != PNG_COLOR_TYPE_RGB || decoded.bitDepth != 8)
        return false;
    decoded.rgb.resize(size_t(decoded.width) * decoded.height * 3);
    for (uint32 y = 0; y < decoded.height; y++)
        png_read_row(png, decoded.rgb.data() + size_t(y) * decoded.width * 3, nullptr);
    png_read_end(png, nullptr);
    return true;
}

Decoded Decode(const std::filesystem::path& path)
{
    Decoded decoded;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return decoded;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    decoded.ok = DecodeInto(file, png, info, decoded);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return decoded;
}

class SnapshotTest : public LockedWindowTest {
protected:
    void SetUp() override { MakeWindow(37, 21); }

    TemporaryFolder folder;
    const std::filesystem::path directory = folder.Path();
};

TEST_F(SnapshotTest, PngHoldsTheWindowPixels)
{
    auto* view = new BView(BRect(5, 3, 20, 15), "view", B_FOLLOW_NONE, 0);
    view->SetViewColor(10, 200, 30);
    window->AddChild(view);
    window->UpdateIfNeeded();
    view->SetHighColor(250, 5, 128);
    view->FillRect(BRect(0, 0, 0, 0));
    const auto path = directory / "window.png";
    ASSERT_EQ(window->WriteSnapshot(path.c_str()), B_OK);

    const Decoded decoded = Decode(path);
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.width, 37u);
    ASSERT_EQ(decoded.height, 21u);
    for (uint32 y = 0; y < decoded.height; y++) {
        for (uint32 x = 0; x < decoded.width; x++) {
            const uint32 pixel = Pixel(int32(x), int32(y));
            const uint8* rgb = decoded.rgb.data() + (size_t(y) * decoded.width + x) * 3;
            ASSERT_EQ(rgb[0], uint8(pixel >> 16)) << x << "," << y;
            ASSERT_EQ(rgb[1], uint8(pixel >> 8));
            ASSERT_EQ(rgb[2], uint8(pixel));
        }
    }
    const uint8* corner = decoded.rgb.data() + (3 * 37 + 5) * 3;
    EXPECT_EQ(std::vector<uint8>(corner, corner + 3), (std::vector<uint8>{250, 5, 128}));
    EXPECT_EQ(decoded.rgb[(4 * 37 + 6) * 3 + 1], 200);
}

TEST_F(SnapshotTest, FailuresAreReportedAndLeaveNoFile)
{
    const auto missing = directory / "no-such-folder" / "window.png";
    EXPECT_NE(window->WriteSnapshot(missing.c_str()), B_OK);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(window->WriteSnapshot(nullptr), B_BAD_VALUE);
    kits::interface::FrameBuffer empty;
    EXPECT_EQ(kits::interface::WriteSnapshot(empty, (directory / "empty.png").c_str()), B_NO_INIT);
    EXPECT_FALSE(std::filesystem::exists(directory / "empty.png"));
}

}
