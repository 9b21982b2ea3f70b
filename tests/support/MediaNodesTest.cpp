#include "tests/support/MediaNodesTest.h"

#include "kits/media/MediaTestHooks.h"
#include "kits/media/TimeSource.h"

namespace test_support {

void MediaNodesTest::SetUp()
{
    roster = BMediaRoster::Roster();
    ASSERT_NE(roster, nullptr);
    producer = std::make_unique<TestProducer>(producerOptions);
    consumer = std::make_unique<TestConsumer>(consumerOptions);
    ASSERT_EQ(roster->RegisterNode(producer.get()), B_OK);
    ASSERT_EQ(roster->RegisterNode(consumer.get()), B_OK);
}

void MediaNodesTest::TearDown()
{
    kits::media::ResetMediaFaults();
    for (BMediaNode* node : {static_cast<BMediaNode*>(consumer.get()),
             static_cast<BMediaNode*>(producer.get())}) {
        if (node != nullptr)
            roster->UnregisterNode(node);
    }
    consumer.reset();
    producer.reset();
}

status_t MediaNodesTest::ConnectNodes(const media_format& format)
{
    connectedFormat = format;
    return ConnectFirstFree(producer->Node(), consumer->Node(), &connectedFormat, &output,
        &input);
}

status_t MediaNodesTest::DisconnectNodes()
{
    return roster->Disconnect(output.node.node, output.source, input.node.node,
        input.destination);
}

void MediaNodesTest::StartConsumer()
{
    ASSERT_EQ(roster->StartNode(consumer->Node(), consumer->TimeSource()->Now()), B_OK);
    ASSERT_TRUE(Await([&] { return consumer->RunState() == BMediaEventLooper::B_STARTED; }));
}

} // namespace test_support
