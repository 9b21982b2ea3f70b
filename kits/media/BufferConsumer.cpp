#include "kits/media/BufferConsumer.h"

#include "kits/media/MediaEventLooper.h"
#include "kits/media/MediaRosterPrivate.h"
#include "kits/media/TimeSource.h"

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

void BBufferConsumer::SetBuffersReceivedWhenDue(bool whenDue)
{
    buffersReceivedWhenDue = whenDue;
}

bigtime_t BBufferConsumer::DeliveryTimeFor(bigtime_t startTime)
{
    if (!buffersReceivedWhenDue)
        return 0;
    auto* looper = dynamic_cast<BMediaEventLooper*>(this);
    if (looper == nullptr || looper->RunState() != BMediaEventLooper::B_STARTED)
        return 0;
    BTimeSource* timeSource = TimeSource();
    if (!timeSource->IsRunning())
        return 0;
    // When the looper's control thread would handle an event at the start time.
    return timeSource->RealTimeFor(startTime, looper->EventLatency());
}
