#include "kits/interface/Snapshot.h"

#include "InterfaceTestSupport.h"
#include "kits/interface/View.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace {

using namespace interface_test;

// The decoded image: width, height and R, G, B bytes, read with libpng on its own; empty unless
// the file holds 8-bit RGB without alpha.
struct Decoded {
    uint32 width = 0;
    uint32 height = 0;
    std::vector<uint8> rgb;
};

Decoded Decode(const std::filesystem::path& path)
{
    Decoded decoded;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return decoded;
    if (image.format != PNG_FORMAT_RGB) {
        png_image_free(&image);
        return decoded;
    }
    std::vector<uint8> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0)
        decoded = Decoded{image.width, image.height, std::move(rgb)};
    return decoded;
}

class SnapshotTest : public LockedWindowTest {
protected:
    void SetUp() override { MakeWindow(37, 21); }

    TemporaryFolder folder;
    const std::filesystem::path directory = folder.Path();
};

TEST_F(SnapshotTest, PngHoldsTheWindowPixelsAndFailuresLeaveNoFile)
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
    ASSERT_EQ(decoded.width, 37u);
    ASSERT_EQ(decoded.height, 21u);
    for (uint32 y = 0; y < decoded.height; y++) {
        for (uint32 x = 0; x < decoded.width; x++) {
            const uint32 pixel = Pixel(int32(x), int32(y));
            const uint8* rgb = decoded.rgb.data() + (size_t(y) * decoded.width + x) * 3;
            ASSERT_EQ(std::vector<uint8>(rgb, rgb + 3),
                (std::vector<uint8>{uint8(pixel >> 16), uint8(pixel >> 8), uint8(pixel)}))
                << x << "," << y;
        }
    }
    const uint8* corner = decoded.rgb.data() + (3 * 37 + 5) * 3;
    EXPECT_EQ(std::vector<uint8>(corner, corner + 3), (std::vector<uint8>{250, 5, 128}));
    EXPECT_EQ(decoded.rgb[(4 * 37 + 6) * 3 + 1], 200);

    // Failures are reported and leave no file.
    const auto missing = directory / "no-such-folder" / "window.png";
    EXPECT_NE(window->WriteSnapshot(missing.c_str()), B_OK);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(window->WriteSnapshot(nullptr), B_BAD_VALUE);
    kits::interface::FrameBuffer empty;
    EXPECT_EQ(kits::interface::WriteSnapshot(empty, (directory / "empty.png").c_str()), B_NO_INIT);
    EXPECT_FALSE(std::filesystem::exists(directory / "empty.png"));
}

}
