#pragma once
// MediaNodesTest: a fixture with a producer and a consumer double registered with the roster.

#include "kits/media/MediaRoster.h"
#include "tests/support/MediaNodes.h"

#include <gtest/gtest.h>

#include <memory>

namespace test_support {

// A test with a TestProducer and a TestConsumer registered with the roster, made with the
// options the derived fixture's constructor sets; after the test both are unregistered and
// every media fault is reset.
class MediaNodesTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects the nodes' free ends at `format`; connectedFormat receives the format agreed.
    status_t ConnectNodes(const media_format& format = RawVideo());
    status_t DisconnectNodes();
    // Starts the consumer now and waits until it runs.
    void StartConsumer();

    TestProducerOptions producerOptions;
    TestConsumerOptions consumerOptions;
    BMediaRoster* roster = nullptr;
    std::unique_ptr<TestProducer> producer;
    std::unique_ptr<TestConsumer> consumer;
    media_format connectedFormat;
    media_output output;
    media_input input;
};

} // namespace test_support
