#include "kits/interface/View.h"

#include "InterfaceTestSupport.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Dragger.h"
#include "tests/support/MessageWith.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace view_archive_test {

// A child that never travels in an archive.
class Refusing : public BView {
public:
    Refusing() : BView(BRect(0, 0, 9, 9), "refusing", B_FOLLOW_NONE, 0) {}
    status_t Archive(BMessage*, bool) const override { return B_ERROR; }
};

// Archivable, but no view.
class NotAView : public BArchivable {
public:
    static BArchivable* Instantiate(BMessage*) { return new NotAView; }
};

}

namespace {

using interface_test::LevelView;
using test_support::With;

uint32 Packed(rgb_color color)
{
    return uint32(color.red) << 24 | uint32(color.green) << 16 | uint32(color.blue) << 8
        | color.alpha;
}

class ViewArchiveTest : public testing::Test {
protected:
    void SetUp() override
    {
        LevelView::Register();
        ASSERT_EQ(register_instantiation_func("view_archive_test::NotAView",
                      view_archive_test::NotAView::Instantiate),
            B_OK);
    }

    // A level view with a child view, a dragger and a child that refuses to be archived.
    static std::unique_ptr<LevelView> MakeTree()
    {
        auto view = std::make_unique<LevelView>(BRect(10, 20, 209, 119), "picture", 7,
            B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_FRAME_EVENTS);
        view->SetViewColor(1, 2, 3, 4);
        view->SetHighColor(10, 20, 30);
        view->SetLowColor(40, 50, 60);
        view->SetFontSize(18);
        auto* child = new LevelView(BRect(5, 6, 55, 36), "inner", 3);
        child->SetViewColor(200, 100, 0);
        view->AddChild(child);
        view->AddChild(new view_archive_test::Refusing);
        view->AddChild(new BDragger(BRect(192, 92, 199, 99), view.get(),
            B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW));
        return view;
    }

    static BMessage FlattenedCopy(const BMessage& archive)
    {
        std::vector<char> flat(size_t(archive.FlattenedSize()));
        EXPECT_EQ(archive.Flatten(flat.data(), ssize_t(flat.size())), B_OK);
        BMessage read;
        EXPECT_EQ(read.Unflatten(flat.data(), flat.size()), B_OK);
        return read;
    }

    template<typename T> static std::unique_ptr<T> Rebuild(BMessage archive)
    {
        std::unique_ptr<BArchivable> object(instantiate_object(&archive));
        auto* typed = dynamic_cast<T*>(object.get());
        if (typed == nullptr)
            return nullptr;
        object.release();
        return std::unique_ptr<T>(typed);
    }
};

TEST_F(ViewArchiveTest, WritesTheUsualFieldNamesAndRebuildsTheTreeSafelyEvenFromDamagedBytes)
{
    const auto view = MakeTree();
    BMessage archive;
    ASSERT_EQ(view->Archive(&archive, true), B_OK);
    // What a field holds, or a value no test expects when it is missing.
    auto string = [&archive](const char* name) {
        const char* value = nullptr;
        return archive.FindString(name, &value) == B_OK ? std::string(value) : "missing";
    };
    auto int32At = [&archive](const char* name, int32 index) {
        int32 value = -1;
        return archive.FindInt32(name, index, &value) == B_OK ? uint32(value) : 0xDEADu;
    };
    EXPECT_EQ(string("class"), "interface_test::LevelView");
    EXPECT_EQ(string("_name"), "picture");
    BRect frame;
    ASSERT_EQ(archive.FindRect("_frame", &frame), B_OK);
    EXPECT_EQ(frame, BRect(10, 20, 209, 119));
    EXPECT_EQ(int32At("_resize_mode", 0), B_FOLLOW_LEFT | B_FOLLOW_TOP);
    EXPECT_EQ(int32At("_flags", 0), B_WILL_DRAW | B_FRAME_EVENTS);
    EXPECT_EQ(int32At("_color", 2), 0x01020304u);
    // The view, its child and the dragger; the refusing child is left out.
    type_code type;
    int32 count = 0;
    ASSERT_EQ(archive.GetInfo("_views", &type, &count), B_OK);
    EXPECT_EQ(count, 2);

    BMessage shallow;
    ASSERT_EQ(view->Archive(&shallow, false), B_OK);
    EXPECT_FALSE(shallow.HasMessage("_views"));
    const BView& plain = *view;
    EXPECT_EQ(plain.BView::Archive(nullptr, true), B_BAD_VALUE);

    // A round trip through the flattened form rebuilds the view and its children.
    const auto copy = Rebuild<LevelView>(FlattenedCopy(archive));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->Name(), "picture");
    EXPECT_EQ(copy->Frame(), BRect(10, 20, 209, 119));
    EXPECT_EQ(copy->ResizingMode(), B_FOLLOW_LEFT | B_FOLLOW_TOP);
    EXPECT_EQ(copy->Flags(), B_WILL_DRAW | B_FRAME_EVENTS);
    EXPECT_EQ(copy->level, 7);
    EXPECT_EQ(Packed(copy->ViewColor()), Packed(rgb_color{1, 2, 3, 4}));
    EXPECT_EQ(Packed(copy->HighColor()), Packed(rgb_color{10, 20, 30, 255}));
    EXPECT_EQ(Packed(copy->LowColor()), Packed(rgb_color{40, 50, 60, 255}));
    BFont font;
    copy->GetFont(&font);
    EXPECT_EQ(font.Size(), 18);

    ASSERT_EQ(copy->CountChildren(), 2);
    auto* child = dynamic_cast<LevelView*>(copy->ChildAt(0));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Frame(), BRect(5, 6, 55, 36));
    EXPECT_EQ(child->level, 3);
    EXPECT_EQ(Packed(child->ViewColor()), Packed(rgb_color{200, 100, 0, 255}));
    auto* dragger = dynamic_cast<BDragger*>(copy->ChildAt(1));
    ASSERT_NE(dragger, nullptr);
    EXPECT_EQ(dragger->Frame(), BRect(192, 92, 199, 99));
    // Rebuilt inside its target, the dragger drags its parent.
    EXPECT_EQ(dragger->Target(), copy.get());
    EXPECT_EQ(copy->FindView("refusing"), nullptr);

    // Every byte changed either fails to read or rebuilds something (or nothing) without harm.
    std::vector<char> flat(size_t(archive.FlattenedSize()));
    ASSERT_EQ(archive.Flatten(flat.data(), ssize_t(flat.size())), B_OK);
    int32 rebuilt = 0;
    for (size_t i = 0; i < flat.size(); i++) {
        std::vector<char> damaged = flat;
        damaged[i] = char(damaged[i] ^ 0x5A);
        BMessage read;
        if (read.Unflatten(damaged.data(), damaged.size()) != B_OK)
            continue;
        std::unique_ptr<BArchivable> object(instantiate_object(&read));
        rebuilt += object != nullptr;
    }
    EXPECT_GT(rebuilt, 0);
}

TEST_F(ViewArchiveTest, DamagedFieldsKeepTheirDefaultsAndBadChildrenAreLeftOut)
{
    // Only a view's own class, in an archive, makes a plain view.
    EXPECT_EQ(BView::Instantiate(nullptr), nullptr);
    BMessage foreign = With(B_ARCHIVED_OBJECT, "class", "interface_test::LevelView");
    EXPECT_EQ(BView::Instantiate(&foreign), nullptr);

    const BView defaults(BRect(0, 0, 0, 0), "", B_FOLLOW_NONE, 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const BRect damagedFrames[] = {BRect(50, 50, 10, 10), BRect(0, 0, nan, 10),
        BRect(0, 0, 1e30f, 10), BRect(-std::numeric_limits<float>::infinity(), 0, 5, 5)};
    for (const BRect& damaged : damagedFrames) {
        BMessage archive = With(B_ARCHIVED_OBJECT, "class", "BView", "_flags", B_WILL_DRAW);
        archive.AddRect("_frame", damaged);
        const auto copy = Rebuild<BView>(archive);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->Frame(), BRect(0, 0, 0, 0));
        EXPECT_EQ(copy->Flags(), B_WILL_DRAW);
    }

    // Fields of the wrong type, a NaN font size, too few colours.
    BMessage archive = With(B_ARCHIVED_OBJECT, "class", "BView", "_resize_mode", "all", "_color",
        0x10203040);
    archive.AddPoint("_frame", BPoint(3, 4));
    archive.AddFloat("_flags", 1.0f);
    archive.AddFloat("_fflt", nan);
    archive.AddString("_views", "no message");
    const auto copy = Rebuild<BView>(archive);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Frame(), BRect(0, 0, 0, 0));
    EXPECT_EQ(copy->ResizingMode(), B_FOLLOW_NONE);
    EXPECT_EQ(copy->Flags(), 0u);
    EXPECT_EQ(Packed(copy->HighColor()), Packed(rgb_color{0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(Packed(copy->LowColor()), Packed(defaults.LowColor()));
    EXPECT_EQ(Packed(copy->ViewColor()), Packed(defaults.ViewColor()));
    BFont font;
    copy->GetFont(&font);
    EXPECT_EQ(font.Size(), be_plain_font->Size());
    EXPECT_EQ(copy->CountChildren(), 0);
    EXPECT_STREQ(copy->Name(), "");

    // Children that cannot be rebuilt are left out.
    BMessage parent = With(B_ARCHIVED_OBJECT, "class", "BView");
    for (const char* className : {"view_archive_test::Gone", "view_archive_test::NotAView"}) {
        BMessage child = With(B_ARCHIVED_OBJECT, "class", className);
        parent.AddMessage("_views", &child);
    }
    BMessage withoutClass(B_ARCHIVED_OBJECT);
    parent.AddMessage("_views", &withoutClass);
    BMessage good;
    ASSERT_EQ(BView(BRect(1, 1, 8, 8), "good", B_FOLLOW_NONE, 0).Archive(&good, true), B_OK);
    parent.AddMessage("_views", &good);
    const auto rebuilt = Rebuild<BView>(parent);
    ASSERT_NE(rebuilt, nullptr);
    ASSERT_EQ(rebuilt->CountChildren(), 1);
    EXPECT_STREQ(rebuilt->ChildAt(0)->Name(), "good");
}

}
