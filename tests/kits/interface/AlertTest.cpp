#include "kits/interface/Alert.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/AlertTestHooks.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/View.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using kits::interface::AlertRecord;

class AlertTest : public testing::Test {
protected:
    void SetUp() override { kits::interface::ClearRecordedAlerts(); }
    void TearDown() override
    {
        kits::interface::SetAlertResponder(nullptr);
        kits::interface::ClearRecordedAlerts();
    }
};

TEST_F(AlertTest, SynchronousGoRecordsTheAlertAndAnAnswerOutsideTheButtonsPressesTheLast)
{
    kits::interface::SetAlertResponder([](const AlertRecord& alert) {
        return alert.text.find("Error #2571") != std::string::npos ? 0 : 7;
    });
    auto* alert = new BAlert("Node error", "Could not start the nodes\nError #2571", "Ok",
        nullptr, nullptr, B_WIDTH_AS_USUAL, B_STOP_ALERT);
    ASSERT_EQ(alert->CountButtons(), 1);
    EXPECT_STREQ(alert->ButtonAt(0)->Name(), "Ok");
    EXPECT_EQ(alert->Go(), 0);
    alert = new BAlert("Question", "Really?", "Cancel", "Maybe", "Yes", B_WIDTH_FROM_WIDEST,
        B_WARNING_ALERT);
    EXPECT_EQ(alert->Go(), 2);
    const std::vector<AlertRecord> records = kits::interface::RecordedAlerts();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].title, "Node error");
    EXPECT_EQ(records[0].type, B_STOP_ALERT);
    EXPECT_EQ(records[0].buttons, std::vector<std::string>{"Ok"});
    EXPECT_EQ(records[0].chosen, 0);
    EXPECT_EQ(records[1].buttons, (std::vector<std::string>{"Cancel", "Maybe", "Yes"}));
    EXPECT_EQ(records[1].chosen, 2);
}

TEST_F(AlertTest, AsynchronousGoReturnsAtOnceAndReleasesTheSemaphoreWhenAnswered)
{
    sem_id release = create_sem(0, "test responder");
    kits::interface::SetAlertResponder([release](const AlertRecord&) {
        // The test decides when the button is pressed.
        acquire_sem(release);
        return 1;
    });
    sem_id done = create_sem(0, "alert done");
    auto* alert = new BAlert("About",
        "Ovelin, a windowed and fullscreen TV viewer.\nVersion: Beta 4", "Ok", "More");
    EXPECT_EQ(alert->Go(done), B_OK);
    EXPECT_EQ(acquire_sem_etc(done, 1, B_RELATIVE_TIMEOUT, 1000), B_TIMED_OUT);
    ASSERT_EQ(kits::interface::RecordedAlerts().size(), 1u);
    EXPECT_EQ(kits::interface::RecordedAlerts()[0].chosen, -1);
    release_sem(release);
    EXPECT_EQ(acquire_sem_etc(done, 1, B_RELATIVE_TIMEOUT, 5000000), B_OK);
    EXPECT_TRUE(kits::interface::AwaitAnsweredAlerts(1, 5000000));
    EXPECT_EQ(kits::interface::RecordedAlerts()[0].chosen, 1);
    EXPECT_EQ(kits::interface::RecordedAlerts()[0].text,
        "Ovelin, a windowed and fullscreen TV viewer.\nVersion: Beta 4");
    delete_sem(done);
    delete_sem(release);
}

TEST_F(AlertTest, WithoutAResponderAClickOnAButtonOrEnterForTheDefaultOneAnswers)
{
    auto* alert = new BAlert("Choice", "Pick one", "Left", "Right");
    BView* right = alert->ButtonAt(1);
    alert->Lock();
    const BPoint where = right->ConvertToScreen(BPoint(3, 3)) - alert->Frame().LeftTop();
    EXPECT_EQ(right->Parent()->Frame(), alert->Bounds());
    alert->Unlock();
    std::atomic<int32> result{-1};
    std::thread caller([&] { result = alert->Go(); });
    // The alert's thread runs once Go has shown it; the click waits in its queue until then.
    BMessage click = interface_test::Mouse(B_MOUSE_DOWN, where);
    alert->PostMessage(&click);
    caller.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_TRUE(kits::interface::RecordedAlerts().empty());

    alert = new BAlert("Choice", "Pick one", "No", "Yes");
    result = -1;
    std::thread enter([&] { result = alert->Go(); });
    BMessage key = interface_test::Key("\n");
    alert->PostMessage(&key);
    enter.join();
    EXPECT_EQ(result.load(), 1);
}
