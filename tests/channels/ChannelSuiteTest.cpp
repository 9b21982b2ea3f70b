#include "channels/ChannelSuite.h"

#include "devices/DefaultNodes.h"
#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/kernel/OS.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"

#include <gtest/gtest.h>

namespace {

class ChannelSuiteTest : public testing::Test {
protected:
    void SetUp() override
    {
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    void TearDown() override
    {
        if (suite != nullptr) {
            suite->Lock();
            suite->Quit();
        }
        kits::media::ResetMediaFaults();
        kits::media::ResetDefaultNodes();
    }

    // Makes the default video input a test card with or without a tuner.
    static void RegisterCard(bool tunerFitted)
    {
        ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
            [tunerFitted] {
                auto* card = new devices::TestCardNode();
                card->SetTunerFitted(tunerFitted);
                return static_cast<BMediaNode*>(card);
            }, 0), B_OK);
    }

    ChannelSuite* suite = nullptr;
};

TEST_F(ChannelSuiteTest, CardWithTunerReportsItAndRunsTheHiddenWindow)
{
    ASSERT_EQ(devices::RegisterDefaultNodes(), B_OK);
    int32 tunerStatus = 42;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    EXPECT_EQ(tunerStatus, 0);
    suite->Lock();
    EXPECT_GE(suite->Thread(), 0);
    EXPECT_TRUE(suite->IsHidden());
    EXPECT_STREQ(suite->Title(), "Channel Suite");
    EXPECT_EQ(suite->Frame(), BRect(50, 100, 360, 400));
    suite->Unlock();
}

TEST_F(ChannelSuiteTest, CardWithoutTunerReportsNoneAndDoesNotRun)
{
    RegisterCard(false);
    int32 tunerStatus = 42;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    EXPECT_EQ(tunerStatus, -1);
    suite->Lock();
    EXPECT_LT(suite->Thread(), 0);
    suite->Unlock();
}

TEST_F(ChannelSuiteTest, NoMediaServiceOrNoVideoInputMeansNoTuner)
{
    kits::media::SetMediaServerRunning(false);
    int32 tunerStatus = 42;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    EXPECT_EQ(tunerStatus, -1);
    suite->Lock();
    suite->Quit();
    suite = nullptr;

    kits::media::ResetMediaFaults();
    tunerStatus = 42;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    EXPECT_EQ(tunerStatus, -1);
}

TEST_F(ChannelSuiteTest, CardWhoseWebCannotBeHadMeansNoTuner)
{
    ASSERT_EQ(devices::RegisterDefaultNodes(), B_OK);
    kits::media::FailRosterOperation(kits::media::RosterOperation::GetParameterWebFor, B_ERROR);
    int32 tunerStatus = 42;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    EXPECT_EQ(tunerStatus, -1);
}

TEST_F(ChannelSuiteTest, ClosingOnlyHidesTheWindow)
{
    ASSERT_EQ(devices::RegisterDefaultNodes(), B_OK);
    int32 tunerStatus = -1;
    suite = new ChannelSuite(nullptr, &tunerStatus);
    ASSERT_EQ(tunerStatus, 0);
    suite->Show();
    suite->PostMessage(B_QUIT_REQUESTED);
    const bigtime_t deadline = system_time() + 5000000;
    bool hidden = false;
    while (!hidden && system_time() < deadline) {
        suite->Lock();
        hidden = suite->IsHidden();
        suite->Unlock();
        if (!hidden)
            snooze(500);
    }
    EXPECT_TRUE(hidden);
    suite->Lock();
    EXPECT_GE(suite->Thread(), 0);
    suite->Unlock();
}

}
