#include "kits/media/BufferConsumer.h"

#include "kits/media/MediaRosterPrivate.h"

#include <atomic>

using kits::media::NodeAccess;

BBufferConsumer::BBufferConsumer(media_type consumerType)
    : consumerType(consumerType)
{
    AddNodeKind(B_BUFFER_CONSUMER);
}

BBufferConsumer::~BBufferConsumer() = default;

media_type BBufferConsumer::ConsumerType() const
{
    return consumerType;
}

status_t BBufferConsumer::SetOutputBuffersFor(const media_source& source,
    const media_destination&, BBufferGroup* group, void*, int32* changeTag, bool, void*)
{
    static std::atomic<int32> nextChangeTag{1};
    kits::media::NodeRef ref = kits::media::FindNodeByPort(source.port);
    auto* producer = ref ? ref.As<BBufferProducer>() : nullptr;
    if (producer == nullptr)
        return B_MEDIA_BAD_SOURCE;
    status_t status = kits::media::CallNode(producer, [producer, source, group] {
        return NodeAccess::SetBufferGroup(producer, source, group);
    });
    if (changeTag != nullptr)
        *changeTag = nextChangeTag.fetch_add(1);
    return status;
}

status_t BBufferConsumer::NotifyLateProducer(const media_source& source, bigtime_t howMuch,
    bigtime_t performanceTime)
{
    kits::media::NodeRef ref = kits::media::FindNodeByPort(source.port);
    auto* producer = ref ? ref.As<BBufferProducer>() : nullptr;
    if (producer == nullptr)
        return B_MEDIA_BAD_SOURCE;
    NodeAccess::Port(producer).Post(
        [producer, source, howMuch, performanceTime] {
            NodeAccess::LateNoticeReceived(producer, source, howMuch, performanceTime);
        },
        nullptr);
    return B_OK;
}
