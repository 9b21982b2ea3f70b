#include "kits/media/BufferProducer.h"

#include "kits/media/Buffer.h"
#include "kits/media/MediaRosterPrivate.h"

#include <algorithm>
#include <vector>

using kits::media::NodeAccess;
using kits::media::NodeRef;

namespace {

// The consumer whose input is `destination`, or null.
BBufferConsumer* ConsumerOf(const media_destination& destination, NodeRef& ref)
{
    ref = kits::media::FindNodeByPort(destination.port);
    return ref ? ref.As<BBufferConsumer>() : nullptr;
}

} // namespace

BBufferProducer::BBufferProducer(media_type producerType)
    : producerType(producerType)
{
    AddNodeKind(B_BUFFER_PRODUCER);
}

BBufferProducer::~BBufferProducer() = default;

media_type BBufferProducer::ProducerType() const
{
    return producerType;
}

bigtime_t BBufferProducer::RunModeDelay() const
{
    return runModeDelay;
}

status_t BBufferProducer::GetLatency(bigtime_t* outLatency)
{
    if (outLatency == nullptr)
        return B_BAD_VALUE;
    // Bounded, in case a node never ends its list.
    constexpr int32 MAX_OUTPUTS = 1024;
    std::vector<media_destination> destinations;
    int32 cookie = 0;
    media_output output;
    for (int32 i = 0; i < MAX_OUTPUTS && GetNextOutput(&cookie, &output) == B_OK; i++) {
        if (!(output.destination == media_destination::null))
            destinations.push_back(output.destination);
        output = media_output();
    }
    DisposeOutputCookie(cookie);
    bigtime_t latency = 0;
    for (const media_destination& destination : destinations) {
        bigtime_t downstream = 0;
        media_node_id timeSource = -1;
        if (FindLatencyFor(destination, &downstream, &timeSource) == B_OK)
            latency = std::max(latency, downstream);
    }
    *outLatency = latency;
    return B_OK;
}

status_t BBufferProducer::GetInitialLatency(bigtime_t* outLatency, uint32* outFlags)
{
    if (outLatency == nullptr)
        return B_BAD_VALUE;
    *outLatency = 0;
    if (outFlags != nullptr)
        *outFlags = 0;
    return B_OK;
}

status_t BBufferProducer::SendBuffer(BBuffer* buffer, const media_source& source,
    const media_destination& destination)
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    NodeRef ref;
    BBufferConsumer* consumer = ConsumerOf(destination, ref);
    if (consumer == nullptr) {
        buffer->Recycle();
        return B_MEDIA_BAD_DESTINATION;
    }
    if (!kits::media::IsConnected(source, destination)) {
        buffer->Recycle();
        return B_MEDIA_NOT_CONNECTED;
    }
    media_header* header = buffer->Header();
    header->destination = destination.id;
    header->time_source = TimeSource()->ID();
    // A consumer that quits before handling the buffer recycles it through the drop.
    NodeAccess::Port(consumer).Post(
        [consumer, buffer] { NodeAccess::BufferReceived(consumer, buffer); },
        [buffer] { buffer->Recycle(); }, consumer->DeliveryTimeFor(header->start_time));
    return B_OK;
}

status_t BBufferProducer::SendDataStatus(int32 status, const media_destination& destination,
    bigtime_t atTime)
{
    NodeRef ref;
    BBufferConsumer* consumer = ConsumerOf(destination, ref);
    if (consumer == nullptr)
        return B_MEDIA_BAD_DESTINATION;
    NodeAccess::Port(consumer).Post(
        [consumer, destination, status, atTime] {
            NodeAccess::ProducerDataStatus(consumer, destination, status, atTime);
        },
        nullptr);
    return B_OK;
}

status_t BBufferProducer::ChangeFormat(const media_source& source,
    const media_destination& destination, media_format* format)
{
    if (format == nullptr)
        return B_BAD_VALUE;
    NodeRef ref;
    BBufferConsumer* consumer = ConsumerOf(destination, ref);
    if (consumer == nullptr)
        return B_MEDIA_BAD_DESTINATION;
    if (!kits::media::IsConnected(source, destination))
        return B_MEDIA_NOT_CONNECTED;
    static std::atomic<int32> nextTag{1};
    int32 tag = nextTag.fetch_add(1);
    media_format changed = *format;
    return kits::media::CallNode(consumer, [consumer, source, destination, tag, changed] {
        return NodeAccess::FormatChanged(consumer, source, destination, tag, changed);
    });
}

status_t BBufferProducer::FindLatencyFor(const media_destination& destination,
    bigtime_t* outLatency, media_node_id* outTimeSource)
{
    if (outLatency == nullptr || outTimeSource == nullptr)
        return B_BAD_VALUE;
    NodeRef ref;
    BBufferConsumer* consumer = ConsumerOf(destination, ref);
    if (consumer == nullptr)
        return B_MEDIA_BAD_DESTINATION;
    struct Answer {
        bigtime_t latency = 0;
        media_node_id timeSource = -1;
    };
    auto answer = std::make_shared<Answer>();
    status_t status = kits::media::CallNode(consumer, [consumer, destination, answer] {
        return NodeAccess::GetLatencyFor(consumer, destination, &answer->latency,
            &answer->timeSource);
    });
    if (status != B_OK)
        return status;
    *outLatency = answer->latency;
    *outTimeSource = answer->timeSource;
    return B_OK;
}
