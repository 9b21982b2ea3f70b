#include "devices/CaptureNode.h"

#include "kits/media/TimeSource.h"

#include <cstring>

namespace devices {

CaptureNode::CaptureNode(const char* name, int32 limit)
    : BMediaNode(name),
      BBufferProducer(B_MEDIA_RAW_VIDEO),
      parameterLimit(limit)
{
    AddNodeKind(B_PHYSICAL_INPUT);
}

CaptureNode::~CaptureNode() = default;

int64 CaptureNode::FramesSent() const
{
    return framesSent.load();
}

int64 CaptureNode::FramesDropped() const
{
    return framesDropped.load();
}

BMediaAddOn* CaptureNode::AddOn(int32* internalId) const
{
    if (internalId != nullptr)
        *internalId = 0;
    return nullptr;
}

void CaptureNode::OutputConnected() {}

void CaptureNode::OutputDisconnecting() {}

void CaptureNode::NodeRegistered()
{
    output.Register(Node(), ControlPort());
    BMediaEventLooper::NodeRegistered();
}

status_t CaptureNode::HandleMessage(int32 message, const void* data, size_t size)
{
    if (BControllable::HandleMessage(message, data, size) == B_OK
        || BBufferProducer::HandleMessage(message, data, size) == B_OK
        || BMediaNode::HandleMessage(message, data, size) == B_OK) {
        return B_OK;
    }
    HandleBadMessage(message, data, size);
    return B_ERROR;
}

VideoOutput::Negotiator CaptureNode::Negotiation() const
{
    return [this](media_format& format) { return Negotiate(format); };
}

status_t CaptureNode::FormatSuggestionRequested(media_type type, int32, media_format* format)
{
    return output.FormatSuggestionRequested(type, format, Negotiation());
}

status_t CaptureNode::FormatProposal(const media_source& source, media_format* format)
{
    return output.FormatProposal(source, format, Negotiation());
}

status_t CaptureNode::FormatChangeRequested(const media_source&, const media_destination&,
    media_format*, int32*)
{
    // A new format takes a new connection, which also brings the consumer's new buffers.
    return B_NOT_ALLOWED;
}

status_t CaptureNode::GetNextOutput(int32* cookie, media_output* outOutput)
{
    return output.GetNextOutput(cookie, outOutput);
}

status_t CaptureNode::DisposeOutputCookie(int32)
{
    return B_OK;
}

status_t CaptureNode::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
    return output.SetBufferGroup(forSource, group);
}

status_t CaptureNode::PrepareToConnect(const media_source& what, const media_destination& where,
    media_format* format, media_source* outSource, char* outName)
{
    return output.PrepareToConnect(what, where, format, outSource, outName, Negotiation());
}

void CaptureNode::Connect(status_t error, const media_source& source,
    const media_destination& destination, const media_format& format, char* ioName)
{
    if (!output.IsConnection(source, destination))
        return;
    if (error != B_OK) {
        Disconnect(source, destination);
        return;
    }
    bigtime_t latency = 0;
    media_node_id timeSource = -1;
    if (FindLatencyFor(destination, &latency, &timeSource) != B_OK)
        latency = 0;
    output.Connected(format, latency, ioName);
    OutputConnected();
}

void CaptureNode::Disconnect(const media_source& what, const media_destination& where)
{
    if (!output.IsConnection(what, where))
        return;
    OutputDisconnecting();
    output.Disconnected();
}

void CaptureNode::LateNoticeReceived(const media_source&, bigtime_t, bigtime_t)
{
    // The signal sets the pace of a capture card: a late consumer cannot make it send sooner.
}

void CaptureNode::EnableOutput(const media_source& what, bool enabled, int32*)
{
    output.EnableOutput(what, enabled);
}

status_t CaptureNode::GetLatency(bigtime_t* outLatency)
{
    if (status_t status = BBufferProducer::GetLatency(outLatency); status != B_OK)
        return status;
    *outLatency += ProcessingLatency();
    return B_OK;
}

void CaptureNode::SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size)
{
    if (value == nullptr || size != sizeof(int32) || id <= 0 || id >= parameterLimit)
        return;
    int32 bits = 0;
    std::memcpy(&bits, value, sizeof(bits));
    if (when > BTimeSource::RealTime()) {
        EventQueue()->AddEvent(media_timed_event(TimeSource()->PerformanceTimeFor(when),
            BTimedEventQueue::B_PARAMETER, nullptr, BTimedEventQueue::B_NO_CLEANUP, id, bits));
        return;
    }
    ApplyParameter(id, bits, when);
}

void CaptureNode::ApplyParameterEvent(const media_timed_event* event)
{
    ApplyParameter(event->data, int32(event->bigdata),
        TimeSource()->RealTimeFor(event->event_time, 0));
}

}
