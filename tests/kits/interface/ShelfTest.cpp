#include "kits/interface/Shelf.h"

#include "InterfaceTestSupport.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/Dragger.h"
#include "kits/interface/View.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace shelf_test {

// Counts the live instances, so tests see that the shelf deletes what it owns.
std::atomic<int32> liveViews{0};

class CountedView : public BView {
public:
    explicit CountedView(BMessage* archive) : BView(archive) { liveViews++; }
    ~CountedView() override { liveViews--; }

    static BArchivable* Instantiate(BMessage* archive)
    {
        if (!validate_instantiation(archive, "shelf_test::CountedView"))
            return nullptr;
        return new CountedView(archive);
    }
};

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

using shelf_test::CountedView;

// A locked 200 by 100 window at (50, 50) whose container view, at (0, 0)-(199, 99), has a shelf.
class ShelfTest : public interface_test::LockedWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(register_instantiation_func("shelf_test::CountedView",
                      CountedView::Instantiate),
            B_OK);
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
        EXPECT_EQ(shelf_test::liveViews.load(), 0);
    }

    static BMessage Archive(BRect frame)
    {
        BMessage archive(B_ARCHIVED_OBJECT);
        archive.AddString("class", "shelf_test::CountedView");
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
};

TEST_F(ShelfTest, DroppedArchiveBecomesAReplicantWhereItsOutlineWas)
{
    EXPECT_EQ(shelf->Looper(), window);
    EXPECT_EQ(shelf->ContainerView(), container);
    EXPECT_EQ(shelf->CountReplicants(), 0);
    // Dropped at window point (60, 40) while held 5, 3 from the dragged view's corner.
    Drop(Archive(BRect(0, 0, 29, 19)), BPoint(110, 90), BPoint(5, 3));
    ASSERT_EQ(shelf->CountReplicants(), 1);
    BView* replicant = shelf->ReplicantAt(0);
    ASSERT_NE(dynamic_cast<CountedView*>(replicant), nullptr);
    EXPECT_EQ(replicant->Parent(), container);
    EXPECT_EQ(replicant->Window(), window);
    EXPECT_EQ(replicant->Frame(), BRect(55, 37, 84, 56));
    EXPECT_STREQ(replicant->Name(), "copy");
    EXPECT_EQ(shelf_test::liveViews.load(), 1);
}

TEST_F(ShelfTest, CopyDraggedFarFromItsCornerStopsAtTheContainersEdge)
{
    // Held 150, 10 from its corner and let go at window point (60, 40): it would start at
    // x = -90, out of reach.
    Drop(Archive(BRect(0, 0, 159, 29)), BPoint(110, 90), BPoint(150, 10));
    ASSERT_EQ(shelf->CountReplicants(), 1);
    EXPECT_EQ(shelf->ReplicantAt(0)->Frame(), BRect(0, 30, 159, 59));
    Drop(Archive(BRect(0, 0, 9, 9)), BPoint(60, 60), BPoint(20, 30));
    EXPECT_EQ(shelf->ReplicantAt(1)->Frame(), BRect(0, 0, 9, 9));
}

TEST_F(ShelfTest, DropOnAChildOfTheContainerReachesTheShelf)
{
    Drop(Archive(BRect(0, 0, 99, 99)), BPoint(50, 50));
    ASSERT_EQ(shelf->CountReplicants(), 1);
    // On the first replicant: it does not take drops, so the shelf gets the second one.
    Drop(Archive(BRect(0, 0, 9, 9)), BPoint(70, 70));
    EXPECT_EQ(shelf->CountReplicants(), 2);
    EXPECT_EQ(shelf->ReplicantAt(1)->Frame(), BRect(20, 20, 29, 29));
}

TEST_F(ShelfTest, ChildThatHandlesADropKeepsItFromTheShelf)
{
    auto* drops = new shelf_test::DropView;
    container->AddChild(drops);
    BMessage taken(Archive(BRect(0, 0, 9, 9)));
    taken.what = 'TAKE';
    Drop(taken, BPoint(210, 60));
    EXPECT_EQ(drops->taken, 1);
    // What it does not handle goes on up to the shelf.
    Drop(Archive(BRect(0, 0, 9, 9)), BPoint(210, 60));
    EXPECT_EQ(shelf->CountReplicants(), 1);
}

TEST_F(ShelfTest, AnythingButAnArchiveIsRefused)
{
    const struct {
        uint32 what;
        const char* className;
    } refused[] = {
        {B_SIMPLE_DATA, "shelf_test::CountedView"},
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
    EXPECT_EQ(shelf_test::liveViews.load(), 0);
}

TEST_F(ShelfTest, AddReplicantReportsWhatItCouldNotDo)
{
    BMessage archive = Archive(BRect(0, 0, 9, 9));
    EXPECT_EQ(shelf->AddReplicant(&archive, BPoint(4, 5)), B_OK);
    EXPECT_EQ(shelf->ReplicantAt(0)->Frame().LeftTop(), BPoint(4, 5));
    EXPECT_EQ(shelf->AddReplicant(nullptr, B_ORIGIN), B_BAD_VALUE);
    BMessage unknown;
    unknown.AddString("class", "shelf_test::Gone");
    EXPECT_EQ(shelf->AddReplicant(&unknown, B_ORIGIN), B_ERROR);
    BMessage notAView;
    notAView.AddString("class", "shelf_test::NotAView");
    EXPECT_EQ(shelf->AddReplicant(&notAView, B_ORIGIN), B_ERROR);
    EXPECT_EQ(shelf->CountReplicants(), 1);
}

TEST_F(ShelfTest, DeleteReplicantRemovesAndDeletesOnlyItsOwn)
{
    for (int32 i = 0; i < 3; i++) {
        BMessage archive = Archive(BRect(0, 0, 9, 9));
        ASSERT_EQ(shelf->AddReplicant(&archive, BPoint(float(20 * i), 0)), B_OK);
    }
    BView* middle = shelf->ReplicantAt(1);
    EXPECT_EQ(shelf->DeleteReplicant(middle), B_OK);
    EXPECT_EQ(shelf->CountReplicants(), 2);
    EXPECT_EQ(shelf_test::liveViews.load(), 2);
    EXPECT_EQ(shelf->ReplicantAt(1)->Frame().left, 40);
    EXPECT_EQ(shelf->DeleteReplicant(5), B_BAD_INDEX);
    EXPECT_EQ(shelf->DeleteReplicant(-1), B_BAD_INDEX);
    EXPECT_EQ(shelf->DeleteReplicant(container), B_NAME_NOT_FOUND);
    EXPECT_EQ(shelf->DeleteReplicant(nullptr), B_NAME_NOT_FOUND);
    EXPECT_EQ(shelf->DeleteReplicant(int32(0)), B_OK);
    EXPECT_EQ(shelf->CountReplicants(), 1);
    EXPECT_EQ(container->CountChildren(), 1);
}

TEST_F(ShelfTest, ReplicantTakenAwayFromTheContainerIsNoLongerCounted)
{
    BMessage archive = Archive(BRect(0, 0, 9, 9));
    ASSERT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_OK);
    BView* replicant = shelf->ReplicantAt(0);
    ASSERT_TRUE(replicant->RemoveSelf());
    EXPECT_EQ(shelf->CountReplicants(), 0);
    EXPECT_EQ(shelf->ReplicantAt(0), nullptr);
    delete replicant;
}

TEST_F(ShelfTest, ShelfDeletesItsReplicantsAndContainerMayGoFirst)
{
    BMessage archive = Archive(BRect(0, 0, 9, 9));
    ASSERT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_OK);
    shelf.reset();
    EXPECT_EQ(shelf_test::liveViews.load(), 0);
    EXPECT_EQ(container->CountChildren(), 0);

    shelf = std::make_unique<BShelf>(container);
    ASSERT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_OK);
    ASSERT_TRUE(container->RemoveSelf());
    delete container;
    container = nullptr;
    EXPECT_EQ(shelf_test::liveViews.load(), 0);
    EXPECT_EQ(shelf->ContainerView(), nullptr);
    EXPECT_EQ(shelf->CountReplicants(), 0);
    EXPECT_EQ(shelf->Looper(), nullptr);
    EXPECT_EQ(shelf->AddReplicant(&archive, B_ORIGIN), B_NO_INIT);
}

}
