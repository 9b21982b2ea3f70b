#include "kits/media/ParameterWeb.h"

#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodesTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<std::string> Names(const BParameterWeb& web)
{
    std::vector<std::string> names;
    for (int32 i = 0; i < web.CountParameters(); i++)
        names.push_back(web.ParameterAt(i)->Name());
    return names;
}

class ParameterWebTest : public test_support::MediaNodesTest {
protected:
    void SetUp() override
    {
        MediaNodesTest::SetUp();
        ASSERT_EQ(roster->GetParameterWebFor(producer->Node(), &web), B_OK);
        ASSERT_NE(web, nullptr);
    }

    BParameter* Find(const char* name) { return test_support::FindParameter(web, name); }

    BParameterWeb* web = nullptr;
};

TEST_F(ParameterWebTest, TheCopyKeepsEveryDetailInTheOrderMadeAndNamesItsNode)
{
    EXPECT_NE(web, producer->Web()) << "the caller gets a copy";
    EXPECT_EQ(web->Node(), producer->Node());
    // Listed in the order made, across groups and into sub-groups.
    EXPECT_EQ(Names(*web), Names(*producer->Web()));
    EXPECT_EQ(Names(*web), (std::vector<std::string>{"Channel", "Brightness", "Video Format",
                               "Volume", "Label", "Gamma"}));
    ASSERT_EQ(web->CountGroups(), 2);
    EXPECT_EQ(web->GroupAt(2), nullptr);
    BParameterGroup* tuner = web->GroupAt(0);
    EXPECT_STREQ(tuner->Name(), "Tuner");
    EXPECT_EQ(tuner->CountParameters(), 2);
    EXPECT_STREQ(tuner->ParameterAt(1)->Name(), "Video Format");
    EXPECT_EQ(tuner->ParameterAt(2), nullptr);
    BParameterGroup* switches = web->GroupAt(1)->GroupAt(0);
    EXPECT_STREQ(switches->Name(), "Switches");
    EXPECT_EQ(switches->ParameterAt(0)->Group(), switches);
    EXPECT_EQ(switches->ParameterAt(0)->Web(), web);

    auto* channel = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->Type(), BParameter::B_DISCRETE_PARAMETER);
    EXPECT_EQ(channel->ID(), 1);
    EXPECT_EQ(channel->MediaType(), B_MEDIA_RAW_VIDEO);
    EXPECT_STREQ(channel->Kind(), B_TUNER_CHANNEL);
    EXPECT_EQ(channel->ValueType(), B_INT32_TYPE);
    EXPECT_EQ(channel->CountItems(), 3);
    EXPECT_STREQ(channel->ItemNameAt(2), "E4");
    EXPECT_EQ(channel->ItemValueAt(2), 2);
    EXPECT_EQ(channel->ItemNameAt(3), nullptr);
    EXPECT_EQ(channel->ItemNameAt(-1), nullptr);
    EXPECT_EQ(dynamic_cast<BDiscreteParameter*>(Find("Video Format"))->ItemValueAt(1), 3);

    auto* volume = dynamic_cast<BContinuousParameter*>(Find("Volume"));
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->Type(), BParameter::B_CONTINUOUS_PARAMETER);
    EXPECT_EQ(volume->MinValue(), -60.0f);
    EXPECT_EQ(volume->MaxValue(), 20.0f);
    EXPECT_EQ(volume->ValueStep(), 0.5f);
    EXPECT_STREQ(volume->Unit(), B_UNIT_DB);
    EXPECT_EQ(volume->ValueType(), B_FLOAT_TYPE);
    EXPECT_EQ(volume->CountChannels(), 2);
    EXPECT_EQ(volume->ValueSize(), 8u);
    EXPECT_EQ(Find("Label")->ValueSize(), 0u);
    EXPECT_EQ(dynamic_cast<BDiscreteParameter*>(Find("Brightness")), nullptr);
}

TEST_F(ParameterWebTest, ValuesOfTheRightSizeAreReadAndWrittenByTheNodeOnItsControlThread)
{
    // Values of the wrong size are refused before they reach the node.
    int64 wide = 1;
    EXPECT_EQ(Find("Channel")->SetValue(&wide, sizeof(wide), 0), B_BAD_VALUE);
    float mono = 1.0f;
    EXPECT_EQ(Find("Volume")->SetValue(&mono, sizeof(mono), 0), B_BAD_VALUE);
    int16 narrow = 0;
    size_t size = sizeof(narrow);
    EXPECT_EQ(Find("Channel")->GetValue(&narrow, &size, nullptr), B_BAD_VALUE);
    size = sizeof(mono);
    EXPECT_EQ(Find("Volume")->GetValue(&mono, &size, nullptr), B_BAD_VALUE);
    int32 value = 0;
    size = sizeof(value);
    EXPECT_EQ(Find("Label")->GetValue(&value, &size, nullptr), B_BAD_VALUE);
    EXPECT_EQ(Find("Label")->SetValue(&value, sizeof(value), 0), B_BAD_VALUE);
    EXPECT_EQ(Find("Channel")->SetValue(nullptr, 4, 0), B_BAD_VALUE);
    EXPECT_TRUE(producer->ParameterThreads().empty());

    int32 channel = 2;
    ASSERT_EQ(Find("Channel")->SetValue(&channel, sizeof(channel), BTimeSource::RealTime()),
        B_OK);
    int32 read = -1;
    size = sizeof(read);
    bigtime_t when = -1;
    ASSERT_EQ(Find("Channel")->GetValue(&read, &size, &when), B_OK);
    EXPECT_EQ(read, 2) << "a write takes effect at once";
    EXPECT_EQ(size, sizeof(read));
    EXPECT_EQ(when, 0);

    float stereo[2] = {0.0f, 1.0f};
    ASSERT_EQ(Find("Volume")->SetValue(stereo, sizeof(stereo), BTimeSource::RealTime()), B_OK);
    float back[4] = {};
    size = sizeof(back);
    ASSERT_EQ(Find("Volume")->GetValue(back, &size, nullptr), B_OK);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(back[0], 0.0f);
    EXPECT_EQ(back[1], 1.0f);

    const std::vector<thread_id> threads = producer->ParameterThreads();
    ASSERT_EQ(threads.size(), 4u);
    for (thread_id thread : threads)
        EXPECT_EQ(thread, producer->ControlThread());
}

TEST_F(ParameterWebTest, TheSameCopyIsHandedOutUntilTheNodeReplacesItsWebOrIsGone)
{
    BParameterWeb* again = nullptr;
    ASSERT_EQ(roster->GetParameterWebFor(producer->Node(), &again), B_OK);
    EXPECT_EQ(again, web);

    producer->ReplaceWeb();
    BParameterWeb* replaced = nullptr;
    ASSERT_EQ(roster->GetParameterWebFor(producer->Node(), &replaced), B_OK);
    ASSERT_NE(replaced, web);
    EXPECT_EQ(Names(*replaced), std::vector<std::string>{"Replaced"});
    // The first copy stays valid for whoever still holds it.
    EXPECT_EQ(Names(*web).size(), 6u);

    // Parameters without a node fail while their web stays: a web nobody registered, a node
    // without a web, and a node that is gone.
    BParameterWeb alone;
    BParameter* unowned = alone.MakeGroup("G")->MakeDiscreteParameter(1, B_MEDIA_NO_TYPE,
        "Alone", B_GENERIC);
    int32 value = 0;
    size_t size = sizeof(value);
    EXPECT_EQ(unowned->GetValue(&value, &size, nullptr), B_MEDIA_BAD_NODE);
    EXPECT_EQ(unowned->SetValue(&value, sizeof(value), 0), B_MEDIA_BAD_NODE);

    BParameterWeb* none = web;
    EXPECT_EQ(roster->GetParameterWebFor(consumer->Node(), &none), B_MEDIA_BAD_NODE);

    ASSERT_EQ(roster->UnregisterNode(producer.get()), B_OK);
    EXPECT_EQ(Find("Channel")->GetValue(&value, &size, nullptr), B_MEDIA_BAD_NODE);
    EXPECT_EQ(Find("Channel")->SetValue(&value, sizeof(value), 0), B_MEDIA_BAD_NODE);
}

TEST_F(ParameterWebTest, ANodeThatNeverAnswersMakesAccessTimeOut)
{
    kits::media::SetNodeCallTimeout(50000);
    producer->blocker.BlockControlThread(producer.get());
    int32 value = 0;
    size_t size = sizeof(value);
    EXPECT_EQ(Find("Channel")->GetValue(&value, &size, nullptr), B_TIMED_OUT);
    EXPECT_EQ(Find("Channel")->SetValue(&value, sizeof(value), 0), B_TIMED_OUT);
    producer->blocker.Release();
    kits::media::ResetMediaFaults();
    EXPECT_EQ(Find("Channel")->GetValue(&value, &size, nullptr), B_OK);
    EXPECT_EQ(producer->ParameterThreads().size(), 1u) << "timed-out requests were withdrawn";
}

} // namespace
