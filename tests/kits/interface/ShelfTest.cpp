#include "kits/interface/Shelf.h"

#include "InterfaceTestSupport.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/View.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>

namespace shelf_test {

// Keeps every message it is given.
class DropView : public BView {
public:
    DropView() : BView(BRect(150, 0, 199, 49), "drops", B_FOLLOW_NONE, 0) {}
    void MessageReceived(BMessage* message) override
    {
        if (message->what == 'TAKE') {
            taken++;
            return;
        }
        BView::MessageReceived(message);
    }

    int32 taken = 0;
};

class NotAView : public BArchivable {
public:
    static BArchivable* Instantiate(BMessage*) { return new NotAView; }
};

}

namespace {

using interface_test::LevelView;

// A locked 200 by 100 window at (50, 50) whose container view, at (0, 0)-(199, 99), has a shelf.
class ShelfTest : public interface_test::LockedWindowTest {
protected:
    void SetUp() override
    {
        LevelView::Register();
        liveBefore = LevelView::live;
        ASSERT_EQ(register_instantiation_func("shelf_test::NotAView",
                      shelf_test::NotAView::Instantiate),
            B_OK);
        MakeWindow(200, 100);
        container = new BView(BRect(0, 0, 199, 99), "container", B_FOLLOW_ALL_SIDES, 0);
        window->AddChild(container);
        shelf = std::make_unique<BShelf>(container);
    }

    void TearDown() override
    {
        shelf.reset();
        LockedWindowTest::TearDown();
        EXPECT_EQ(Live(), 0);
    }

    // The replicants alive that this test made.
    int32 Live() const { return LevelView::live - liveBefore; }

    static BMessage Archive(BRect frame)
    {
        BMessage archive(B_ARCHIVED_OBJECT);
        archive.AddString("class", "interface_test::LevelView");
        archive.AddRect("_frame", frame);
        archive.AddString("_name", "copy");
        return archive;
    }

    // Delivers message as dropped at a screen point, as the window's thread would.
    void Drop(BMessage message, BPoint screenPoint, BPoint offset = B_ORIGIN)
    {
        kits::app::MarkDropped(message, screenPoint, offset);
        window->DispatchMessage(&message, window);
    }

    BView* container = nullptr;
    std::unique_ptr<BShelf> shelf;
    int32 liveBefore = 0;
};

TEST_F(ShelfTest, OnlyADroppedArchiveBecomesAReplicantWhereItsOutlineWasUnlessAChildTakesIt)
{
    EXPECT_EQ(shelf->Looper(), window);
    const struct {
        uint32 what;
        const char* className;
    } refused[] = {
        {B_SIMPLE_DATA, "interface_test::LevelView"},
        // A dropped quit request is a drop, never a command to the window.
        {B_QUIT_REQUESTED, nullptr},
        {B_ARCHIVED_OBJECT, "shelf_test::Gone"},
        {B_ARCHIVED_OBJECT, nullptr},
        {B_ARCHIVED_OBJECT, "shelf_test::NotAView"},
    };
    for (const auto& drop : refused) {
        BMessage message(drop.what);
        message.AddRect("_frame", BRect(0, 0, 9, 9));
        if (drop.className != nullptr)
            message.AddString("class", drop.className);
        Drop(message, BPoint(60, 60));
    }
    EXPECT_EQ(shelf->CountReplicants(), 0);
    EXPECT_EQ(container->CountChildren(), 0);
    // An archive that is not marked as dropped is no drop either.
    BMessage notDropped = Archive(BRect(0, 0, 9, 9));
    window->DispatchMessage(&notDropped, shelf.get());
    EXPECT_EQ(shelf->CountReplicants(), 0);

    auto* taker = new shelf_test::DropView;
    container->AddChild(taker);
    BMessage taken = Archive(BRect(0, 0, 9, 9));
    taken.what = 'TAKE';
    Drop(taken, BPoint(210, 60));
    EXPECT_EQ(taker->taken, 1);
    // Each dropped at a screen point while held at an offset from the dragged view's corner.
    const struct {
        BRect frame;
        BPoint screenPoint;
        BPoint offset;
        BRect landed;
    } drops[] = {
        {BRect(0, 0, 29, 19), BPoint(110, 90), BPoint(5, 3), BRect(55, 37, 84, 56)},
        // Held far from the corner, the copy would start out of reach: it stops at the edge.
        {BRect(0, 0, 159, 29), BPoint(110, 90), BPoint(150, 10), BRect(0, 30, 159, 59)},
        {BRect(0, 0, 9, 9), BPoint(60, 60), BPoint(20, 30), BRect(0, 0, 9, 9)},
        {BRect(0, 0, 99, 99), BPoint(50, 50), B_ORIGIN, BRect(0, 0, 99, 99)},
        // On the replicant just added: it takes no drops, so the shelf gets this one.
        {BRect(0, 0, 9, 9), BPoint(70, 70), B_ORIGIN, BRect(20, 20, 29, 29)},
        // What the child does not handle goes on up to the shelf.
        {BRect(0, 0, 9, 9), BPoint(210, 60), B_ORIGIN, BRect(160, 10, 169, 19)},
    };
    for (int32 i = 0; i < int32(std::size(drops)); i++) {
        SCOPED_TRACE(i);
        Drop(Archive(drops[i].frame), drops[i].screenPoint, drops[i].offset);
        ASSERT_EQ(shelf->CountReplicants(), i + 1);
        EXPECT_EQ(shelf->ReplicantAt(i)->Frame(), drops[i].landed);
    }
    ASSERT_NE(dynamic_cast<LevelView*>(shelf->ReplicantAt(0)), nullptr);
    EXPECT_EQ(shelf->ReplicantAt(0)->Parent(), container);
    EXPECT_EQ(Live(), int32(std::size(drops)));
}

TEST_F(ShelfTest, AddAndDeleteReplicantReportFailuresAndReplicantsGoWithTheShelfOrTheirContainer)
{
    for (int32 i = 0; i < 3; i++) {
        BMessage archive = Archive(BRect(0, 0, 9, 9));
        ASSERT_EQ(shelf->AddReplicant(&archive, BPoint(float(20 * i), 5)), B_OK);
    }
    EXPECT_EQ(shelf->ReplicantAt(2)->Frame().LeftTop(), BPoint(40, 5));
    EXPECT_EQ(shelf->AddReplicant(nullptr, B_ORIGIN), B_BAD_VALUE);
    for (const char* className : {"shelf_test::Gone", "shelf_test::NotAView"}) {
        BMessage archive;
        archive.AddString("class", className);
        EXPECT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_ERROR) << className;
    }
    EXPECT_EQ(shelf->DeleteReplicant(shelf->ReplicantAt(1)), B_OK);
    EXPECT_EQ(shelf->CountReplicants(), 2);
    EXPECT_EQ(Live(), 2);
    EXPECT_EQ(shelf->ReplicantAt(1)->Frame().left, 40);
    EXPECT_EQ(shelf->DeleteReplicant(5), B_BAD_INDEX);
    EXPECT_EQ(shelf->DeleteReplicant(-1), B_BAD_INDEX);
    EXPECT_EQ(shelf->DeleteReplicant(container), B_NAME_NOT_FOUND);
    EXPECT_EQ(shelf->DeleteReplicant(nullptr), B_NAME_NOT_FOUND);
    EXPECT_EQ(shelf->DeleteReplicant(int32(0)), B_OK);
    EXPECT_EQ(container->CountChildren(), 1);
    // One taken away from the container is no longer counted.
    BView* replicant = shelf->ReplicantAt(0);
    ASSERT_TRUE(replicant->RemoveSelf());
    EXPECT_EQ(shelf->CountReplicants(), 0);
    EXPECT_EQ(shelf->ReplicantAt(0), nullptr);
    delete replicant;

    // A new replicant, likely made where the one taken away was, is counted once and deleted
    // once with the shelf; a container may also go first.
    BMessage archive = Archive(BRect(0, 0, 9, 9));
    ASSERT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_OK);
    EXPECT_EQ(shelf->CountReplicants(), 1);
    shelf.reset();
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(container->CountChildren(), 0);
    shelf = std::make_unique<BShelf>(container);
    ASSERT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_OK);
    ASSERT_TRUE(container->RemoveSelf());
    delete container;
    container = nullptr;
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(shelf->ContainerView(), nullptr);
    EXPECT_EQ(shelf->CountReplicants(), 0);
    EXPECT_EQ(shelf->Looper(), nullptr);
    EXPECT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_NO_INIT);
}

}
