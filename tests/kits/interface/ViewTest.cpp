#include "kits/interface/View.h"

#include "InterfaceTestSupport.h"
#include "kits/interface/Window.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace interface_test;

using Journal = std::vector<std::string>;

// Records its hooks, with what they were given, into a journal that outlives it.
class RecordingView : public BView {
public:
    RecordingView(BRect frame, const char* name, Journal& journal, uint32 mode = B_FOLLOW_NONE,
        uint32 flags = B_WILL_DRAW)
        :
        BView(frame, name, mode, flags),
        journal(journal)
    {
    }
    ~RecordingView() override { Record("deleted"); }

    void Draw(BRect rect) override
    {
        Record("draw", {rect.left, rect.top, rect.right, rect.bottom});
    }
    void AttachedToWindow() override { Record("attached"); }
    void DetachedFromWindow() override { Record("detached"); }
    void FrameResized(float width, float height) override { Record("resized", {width, height}); }

private:
    void Record(const char* hook, std::initializer_list<float> values = {})
    {
        std::string entry = std::string(hook) + " " + Name();
        for (float value : values)
            entry += " " + std::to_string(int32(value));
        journal.push_back(entry);
    }

    Journal& journal;
};

TEST(ViewTest, ChildrenFollowTheirResizingModesAndHearOfNewSizes)
{
    // Each child's frame in the 100 by 100 parent, and after the parent grew by 50 by 30.
    const struct {
        uint32 mode;
        BRect frame;
        BRect grown;
    } children[] = {
        {B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, BRect(92, 92, 99, 99), BRect(142, 122, 149, 129)},
        {B_FOLLOW_ALL_SIDES, BRect(10, 10, 89, 89), BRect(10, 10, 139, 119)},
        {B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, BRect(10, 80, 89, 89), BRect(10, 110, 139, 119)},
        {B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER, BRect(40, 40, 59, 59), BRect(65, 55, 84, 74)},
        {B_FOLLOW_NONE, BRect(5, 5, 14, 14), BRect(5, 5, 14, 14)},
        {B_FOLLOW_LEFT | B_FOLLOW_TOP, BRect(8, 8, 20, 20), BRect(8, 8, 20, 20)},
    };
    Journal journal;
    BView parent(BRect(0, 0, 99, 99), "parent", B_FOLLOW_NONE, 0);
    for (const auto& child : children)
        parent.AddChild(new RecordingView(child.frame, "child", journal, child.mode));
    parent.ResizeBy(50, 30);
    EXPECT_EQ(parent.Bounds(), BRect(0, 0, 149, 129));
    for (int32 i = 0; i < parent.CountChildren(); i++)
        EXPECT_EQ(parent.ChildAt(i)->Frame(), children[i].grown) << i;
    // Only the children that changed size hear of their new bounds size.
    EXPECT_EQ(journal, (Journal{"resized child 129 109", "resized child 129 9"}));
    parent.ResizeTo(99, 99);
    for (int32 i = 0; i < parent.CountChildren(); i++)
        EXPECT_EQ(parent.ChildAt(i)->Frame(), children[i].frame) << i;
    journal.clear();
    parent.MoveTo(10, 10);
    EXPECT_TRUE(journal.empty());
}

TEST(ViewTest, HideAndShowNestAndParentsOwnTheirChildrenUntilRemoved)
{
    Journal journal;
    auto* parent = new RecordingView(BRect(0, 0, 99, 99), "parent", journal);
    auto* kept = new RecordingView(BRect(0, 0, 9, 9), "kept", journal);
    auto* given = new RecordingView(BRect(0, 0, 9, 9), "given", journal);
    auto* grandchild = new RecordingView(BRect(0, 0, 1, 1), "grandchild", journal);
    parent->AddChild(kept);
    parent->AddChild(given, kept);
    kept->AddChild(grandchild);
    EXPECT_EQ(parent->ChildAt(0), given);
    EXPECT_EQ(parent->ChildAt(1), kept);
    EXPECT_EQ(parent->FindView("grandchild"), grandchild);
    EXPECT_EQ(given->NextSibling(), kept);
    // Cycles and second parents are refused.
    kept->AddChild(parent);
    grandchild->AddChild(kept);
    EXPECT_EQ(parent->Parent(), nullptr);
    EXPECT_EQ(kept->Parent(), parent);

    kept->Hide();
    kept->Hide();
    kept->Show();
    EXPECT_TRUE(kept->IsHidden());
    kept->Show();
    EXPECT_FALSE(kept->IsHidden());
    // A Show too many is not saved up for a later Hide.
    kept->Show();
    kept->Hide();
    EXPECT_TRUE(kept->IsHidden());
    kept->Show();
    parent->Hide();
    EXPECT_TRUE(grandchild->IsHidden());
    parent->Show();
    EXPECT_FALSE(grandchild->IsHidden());

    EXPECT_TRUE(parent->RemoveChild(given));
    EXPECT_FALSE(parent->RemoveChild(given));
    EXPECT_EQ(given->Parent(), nullptr);
    // Deleting a child takes it out of its parent.
    delete grandchild;
    EXPECT_EQ(kept->CountChildren(), 0);
    delete parent;
    EXPECT_EQ(journal, (Journal{"deleted grandchild", "deleted parent", "deleted kept"}));
    delete given;
}

class ViewDrawingTest : public LockedWindowTest {
protected:
    // A plain view added to the parent, or to the window.
    BView* Add(BRect frame, BView* parent = nullptr)
    {
        auto* view = new BView(frame, "view", B_FOLLOW_NONE, 0);
        if (parent != nullptr)
            parent->AddChild(view);
        else
            window->AddChild(view);
        return view;
    }

    static void Fill(BView* view, uint32 color)
    {
        view->SetHighColor(uint8(color >> 16), uint8(color >> 8), uint8(color));
        view->FillRect(view->Bounds());
    }

    // Outlives the window, which TearDown deletes with its views.
    Journal journal;
};

TEST_F(ViewDrawingTest, AttachedTreeIsClearedToViewColoursAndDrawnParentsFirst)
{
    auto* video = new RecordingView(BRect(10, 10, 89, 89), "video", journal, B_FOLLOW_ALL);
    video->SetViewColor(0, 0, 0);
    auto* overlay = new RecordingView(BRect(20, 20, 29, 29), "overlay", journal);
    overlay->SetViewColor(255, 0, 0);
    auto* silent = new RecordingView(BRect(60, 60, 69, 69), "silent", journal, B_FOLLOW_NONE, 0);
    silent->SetViewColor(0, 0, 255);
    video->AddChild(overlay);
    video->AddChild(silent);
    window->AddChild(video);
    EXPECT_EQ(silent->Window(), window);
    window->UpdateIfNeeded();
    EXPECT_EQ(journal, (Journal{"attached video", "attached overlay", "attached silent",
                           "draw video 0 0 79 79", "draw overlay 0 0 9 9"}));
    ExpectPixels({{9, 9, WHITE}, {10, 10, BLACK}});
    // The children's frames are in the video view's coordinates, which start at (10, 10).
    ExpectPixels({{30, 30, RED}, {39, 39, RED}, {40, 39, BLACK}, {75, 75, BLUE}});

    // Only what is invalidated is drawn again.
    journal.clear();
    overlay->Invalidate(BRect(2, 2, 3, 3));
    window->UpdateIfNeeded();
    EXPECT_TRUE(window->RemoveChild(video));
    EXPECT_EQ(silent->Window(), nullptr);
    EXPECT_EQ(journal, (Journal{"draw overlay 2 2 3 3", "detached video", "detached overlay",
                           "detached silent"}));
    delete video;
}

TEST_F(ViewDrawingTest, ViewsSitInTheirAncestorsAndDrawOnlyThereAndBehindShownChildren)
{
    BView* video = Add(BRect(0, 0, 99, 99));
    BView* overlay = Add(BRect(20, 70, 79, 89), video);
    BView* outer = Add(BRect(10, 40, 59, 64), video);
    BView* inner = Add(BRect(40, 5, 79, 44), outer);
    BView* label = Add(BRect(7.67f, 8.4f, 92.04f, 33.5f), video);
    // Conversions add the origins of the ancestors and of the window, at (50, 50) on screen.
    EXPECT_EQ(inner->ConvertToParent(BPoint(1, 1)), BPoint(41, 6));
    EXPECT_EQ(inner->ConvertToScreen(BPoint(1, 1)), BPoint(101, 96));
    EXPECT_EQ(inner->ConvertFromScreen(BPoint(101, 96)), BPoint(1, 1));
    window->UpdateIfNeeded();
    // inner covers window pixels 50..89 by 45..84 but its parent ends at 59 and 64.
    inner->SetHighColor(255, 0, 0);
    inner->FillRect(BRect(-100, -100, 1000, 1000));
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), 10 * 20);
    ExpectPixels({{50, 45, RED}, {59, 64, RED}, {60, 64, WHITE}, {50, 44, WHITE}});

    // The fractional frame of the label leaves no gap around it.
    Fill(label, BLUE);
    Fill(video, GREEN);
    EXPECT_EQ(CountPixels(BLUE, 0, 0, 99, 99), (92 - 8 + 1) * (34 - 8 + 1));
    EXPECT_EQ(CountPixels(GREEN, 0, 0, 99, 99),
        100 * 100 - 60 * 20 - (92 - 8 + 1) * (34 - 8 + 1) - 50 * 25);
    overlay->Hide();
    Fill(video, GREEN);
    EXPECT_EQ(CountPixels(GREEN, 20, 70, 79, 89), 60 * 20);
    // Shown again, the overlay is drawn on top and kept out of the picture.
    overlay->Show();
    window->UpdateIfNeeded();
    Fill(video, BLUE);
    EXPECT_EQ(CountPixels(WHITE, 20, 70, 79, 89), 60 * 20);
}

TEST_F(ViewDrawingTest, LaterSiblingsStayInFront)
{
    BView* back = Add(BRect(0, 0, 49, 49));
    Add(BRect(40, 40, 59, 59));
    window->UpdateIfNeeded();
    Fill(back, RED);
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), 50 * 50 - 10 * 10);
}

TEST_F(ViewDrawingTest, ShapesTakeTheHighAndLowColoursOnlyWhileTheViewIsShownAndAttached)
{
    BView* view = Add(BRect(0, 0, 99, 99));
    window->UpdateIfNeeded();
    view->SetHighColor(255, 0, 0);
    view->SetLowColor(0, 0, 255);
    view->StrokeRect(BRect(10, 10, 19, 14));
    EXPECT_EQ(CountPixels(RED, 0, 0, 29, 29), 2 * 10 + 2 * 3);
    ExpectPixels({{10, 10, RED}, {19, 14, RED}, {11, 11, WHITE}});
    view->FillRect(BRect(30, 30, 33, 31), B_MIXED_COLORS);
    ExpectPixels({{30, 30, RED}, {31, 30, BLUE}, {30, 31, BLUE}, {31, 31, RED}});
    view->FillRect(BRect(40, 40, 41, 41), B_SOLID_LOW);
    EXPECT_EQ(CountPixels(BLUE, 40, 40, 41, 41), 4);

    // Lines cover both ends, move the pen and are cut at the view's edge.
    view->StrokeLine(BPoint(36, 6), BPoint(44, 14));
    EXPECT_EQ(CountPixels(RED, 30, 0, 49, 20), 9);
    ExpectPixels({{36, 6, RED}, {40, 10, RED}, {44, 14, RED}});
    EXPECT_EQ(view->PenLocation(), BPoint(44, 14));
    view->StrokeLine(BPoint(44, 30));
    EXPECT_EQ(CountPixels(RED, 44, 14, 44, 30), 17);
    view->StrokeLine(BPoint(90, 50), BPoint(150, 50));
    EXPECT_EQ(CountPixels(RED, 90, 50, 99, 50), 10);

    // A button arrow pointing left, 10 wide, 10 high: rows of 1, 3, 5 ... 11 ... 3, 1 pixels.
    view->FillTriangle(BPoint(22, 65), BPoint(12, 70), BPoint(22, 75));
    ExpectPixels({{12, 70, RED}, {22, 65, RED}, {22, 75, RED}, {12, 69, WHITE}, {11, 70, WHITE}});
    EXPECT_EQ(CountPixels(RED, 0, 60, 35, 64) + CountPixels(RED, 0, 76, 35, 80), 0);
    EXPECT_EQ(CountPixels(RED, 12, 65, 22, 75), 61);
    view->FillTriangle(BPoint(50, 50), BPoint(50, 50), BPoint(50, 50));
    EXPECT_EQ(Pixel(50, 50), RED);

    const int32 red = CountPixels(RED, 0, 0, 99, 99);
    view->Hide();
    view->FillRect(view->Bounds());
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), red);
    view->Show();
    ASSERT_TRUE(window->RemoveChild(view));
    view->FillRect(view->Bounds());
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), red);
    delete view;
}

}
