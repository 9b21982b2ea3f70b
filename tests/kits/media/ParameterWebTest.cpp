#include "kits/media/ParameterWeb.h"

#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using test_support::TestProducer;

std::vector<std::string> Names(const BParameterWeb& web)
{
    std::vector<std::string> names;
    for (int32 i = 0; i < web.CountParameters(); i++)
        names.push_back(web.ParameterAt(i)->Name());
    return names;
}

class ParameterWebTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
        producer = std::make_unique<TestProducer>();
        ASSERT_EQ(roster->RegisterNode(producer.get()), B_OK);
        ASSERT_EQ(roster->GetParameterWebFor(producer->Node(), &web), B_OK);
        ASSERT_NE(web, nullptr);
    }

    void TearDown() override
    {
        roster->UnregisterNode(producer.get());
        producer.reset();
        kits::media::ResetMediaFaults();
    }

    BParameter* Find(const char* name)
    {
        for (int32 i = 0; i < web->CountParameters(); i++) {
            if (std::string(web->ParameterAt(i)->Name()) == name)
                return web->ParameterAt(i);
        }
        return nullptr;
    }

    BMediaRoster* roster = nullptr;
    std::unique_ptr<TestProducer> producer;
    BParameterWeb* web = nullptr;
};

TEST(ParameterWebBuildTest, WebListsParametersInTheOrderMadeAcrossGroups)
{
    BParameterWeb web;
    BParameterGroup* a = web.MakeGroup("A");
    BParameterGroup* b = web.MakeGroup("B");
    a->MakeDiscreteParameter(1, B_MEDIA_NO_TYPE, "one", B_GENERIC);
    b->MakeContinuousParameter(2, B_MEDIA_NO_TYPE, "two", B_GAIN, B_UNIT_DB, 0, 1, 0.1f);
    BParameterGroup* inner = a->MakeGroup("Inner");
    inner->MakeNullParameter(3, B_MEDIA_NO_TYPE, "three", B_GENERIC);
    a->MakeDiscreteParameter(4, B_MEDIA_NO_TYPE, "four", B_ENABLE);

    EXPECT_EQ(Names(web), (std::vector<std::string>{"one", "two", "three", "four"}));
    EXPECT_EQ(web.CountGroups(), 2);
    EXPECT_EQ(web.GroupAt(1), b);
    EXPECT_EQ(web.GroupAt(2), nullptr);
    EXPECT_EQ(a->CountParameters(), 2);
    EXPECT_STREQ(a->ParameterAt(1)->Name(), "four");
    EXPECT_EQ(a->ParameterAt(2), nullptr);
    EXPECT_EQ(a->CountGroups(), 1);
    EXPECT_EQ(a->GroupAt(0), inner);
    EXPECT_EQ(inner->ParameterAt(0)->Group(), inner);
    EXPECT_EQ(inner->ParameterAt(0)->Web(), &web);
    EXPECT_EQ(web.Node(), media_node::null);
}

TEST(ParameterWebBuildTest, ParametersDescribeThemselves)
{
    BParameterWeb web;
    BParameterGroup* group = web.MakeGroup("G");
    BDiscreteParameter* discrete = group->MakeDiscreteParameter(7, B_MEDIA_RAW_VIDEO, "Channel",
        B_TUNER_CHANNEL);
    discrete->AddItem(10, "E2");
    discrete->AddItem(11, "E3");
    EXPECT_EQ(discrete->Type(), BParameter::B_DISCRETE_PARAMETER);
    EXPECT_EQ(discrete->ID(), 7);
    EXPECT_EQ(discrete->MediaType(), B_MEDIA_RAW_VIDEO);
    EXPECT_STREQ(discrete->Kind(), B_TUNER_CHANNEL);
    EXPECT_EQ(discrete->ValueType(), B_INT32_TYPE);
    EXPECT_EQ(discrete->CountItems(), 2);
    EXPECT_STREQ(discrete->ItemNameAt(1), "E3");
    EXPECT_EQ(discrete->ItemValueAt(1), 11);
    EXPECT_EQ(discrete->ItemNameAt(2), nullptr);
    EXPECT_EQ(discrete->ItemNameAt(-1), nullptr);

    BContinuousParameter* volume = group->MakeContinuousParameter(8, B_MEDIA_RAW_AUDIO,
        "Volume", B_GAIN, B_UNIT_DB, -60.0f, 20.0f, 0.5f);
    volume->SetChannelCount(2);
    EXPECT_EQ(volume->Type(), BParameter::B_CONTINUOUS_PARAMETER);
    EXPECT_EQ(volume->MinValue(), -60.0f);
    EXPECT_EQ(volume->MaxValue(), 20.0f);
    EXPECT_EQ(volume->ValueStep(), 0.5f);
    EXPECT_STREQ(volume->Unit(), B_UNIT_DB);
    EXPECT_EQ(volume->CountChannels(), 2);
    EXPECT_EQ(volume->ValueSize(), 8u);
    EXPECT_EQ(volume->ValueType(), B_FLOAT_TYPE);
    BParameter* null = group->MakeNullParameter(9, B_MEDIA_NO_TYPE, "Label", B_GENERIC);
    EXPECT_EQ(null->ValueSize(), 0u);
}

TEST(ParameterWebBuildTest, ReadingAWebThatBelongsToNoNodeFails)
{
    BParameterWeb web;
    BDiscreteParameter* alone = web.MakeGroup("G")->MakeDiscreteParameter(1, B_MEDIA_NO_TYPE,
        "Alone", B_GENERIC);
    int32 value = 0;
    size_t size = sizeof(value);
    EXPECT_EQ(alone->GetValue(&value, &size, nullptr), B_MEDIA_BAD_NODE);
    EXPECT_EQ(alone->SetValue(&value, sizeof(value), 0), B_MEDIA_BAD_NODE);
}

TEST_F(ParameterWebTest, CopyKeepsTheWebsShapeAndNamesItsNode)
{
    EXPECT_NE(web, producer->Web()) << "the caller gets a copy";
    EXPECT_EQ(web->Node(), producer->Node());
    EXPECT_EQ(Names(*web), Names(*producer->Web()));
    EXPECT_EQ(Names(*web), (std::vector<std::string>{"Channel", "Brightness", "Video Format",
                               "Volume", "Label", "Gamma"}));
    ASSERT_EQ(web->CountGroups(), 2);
    EXPECT_STREQ(web->GroupAt(0)->Name(), "Tuner");
    EXPECT_STREQ(web->GroupAt(1)->GroupAt(0)->Name(), "Switches");
    auto* channel = dynamic_cast<BDiscreteParameter*>(Find("Channel"));
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->CountItems(), 3);
    EXPECT_STREQ(channel->ItemNameAt(2), "E4");
    EXPECT_EQ(channel->Group(), web->GroupAt(0));
    auto* brightness = dynamic_cast<BContinuousParameter*>(Find("Brightness"));
    ASSERT_NE(brightness, nullptr);
    EXPECT_EQ(brightness->MinValue(), -128.0f);
    EXPECT_EQ(brightness->MaxValue(), 127.0f);
    EXPECT_EQ(Find("Volume")->CountChannels(), 2);
    EXPECT_EQ(dynamic_cast<BDiscreteParameter*>(Find("Brightness")), nullptr);
}

TEST_F(ParameterWebTest, ValuesAreReadAndWrittenByTheNodeOnItsControlThread)
{
    int32 channel = 2;
    ASSERT_EQ(Find("Channel")->SetValue(&channel, sizeof(channel), BTimeSource::RealTime()),
        B_OK);
    int32 read = -1;
    size_t size = sizeof(read);
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

TEST_F(ParameterWebTest, ValuesOfTheWrongSizeAreRefused)
{
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
    EXPECT_TRUE(producer->ParameterThreads().empty()) << "refused before reaching the node";
}

TEST_F(ParameterWebTest, TheSameCopyIsHandedOutUntilTheNodeReplacesItsWeb)
{
    BParameterWeb* again = nullptr;
    ASSERT_EQ(roster->GetParameterWebFor(producer->Node(), &again), B_OK);
    EXPECT_EQ(again, web);

    media_node node = producer->Node();
    producer->ReplaceWeb();
    BParameterWeb* replaced = nullptr;
    ASSERT_EQ(roster->GetParameterWebFor(node, &replaced), B_OK);
    ASSERT_NE(replaced, web);
    EXPECT_EQ(Names(*replaced), std::vector<std::string>{"Replaced"});
    // The first copy stays valid for whoever still holds it.
    EXPECT_EQ(Names(*web).size(), 6u);
}

TEST_F(ParameterWebTest, ParametersOfAGoneNodeFailWhileTheirWebStays)
{
    ASSERT_EQ(roster->UnregisterNode(producer.get()), B_OK);
    int32 value = 0;
    size_t size = sizeof(value);
    EXPECT_EQ(Find("Channel")->GetValue(&value, &size, nullptr), B_MEDIA_BAD_NODE);
    EXPECT_EQ(Find("Channel")->SetValue(&value, sizeof(value), 0), B_MEDIA_BAD_NODE);
}

TEST_F(ParameterWebTest, OnlyControllableNodesHaveWebs)
{
    test_support::TestConsumer consumer;
    ASSERT_EQ(roster->RegisterNode(&consumer), B_OK);
    BParameterWeb* none = web;
    EXPECT_EQ(roster->GetParameterWebFor(consumer.Node(), &none), B_MEDIA_BAD_NODE);
    roster->UnregisterNode(&consumer);
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
