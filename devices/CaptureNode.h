#pragma once
// CaptureNode: what every capture card node shares, its one raw-video output and the producer's
// side of connecting it.

#include "devices/VideoOutput.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaEventLooper.h"

#include <atomic>

namespace devices {

// A capture card's node: a video input with one raw-video output whose connection VideoOutput
// keeps, and a parameter web of its own. The producer hooks are answered here the same way for
// every card, and parameter writes are timed here; a card gives the formats it can make
// (Negotiate), how long making a frame takes (ProcessingLatency), how a parameter value applies
// (ApplyParameter, with ApplyParameterEvent called for B_PARAMETER events), and may act when its
// output is connected or about to be disconnected.
// Every hook runs on the node's control thread; the counters may be read from any thread.
class CaptureNode : public BMediaEventLooper, public BBufferProducer, public BControllable {
public:
    // The most derived class names the node too: BMediaNode is a virtual base. The node's
    // parameters have ids 1 to parameterLimit - 1.
    CaptureNode(const char* name, int32 parameterLimit);
    ~CaptureNode() override;

    // Frames sent to the consumer, and frames lost for want of a buffer or time.
    int64 FramesSent() const;
    int64 FramesDropped() const;

    BMediaAddOn* AddOn(int32* internalId) const override;

protected:
    // Fills the open fields of a raw-video format; B_MEDIA_BAD_FORMAT for one it cannot make.
    [[nodiscard]] virtual status_t Negotiate(media_format& format) const = 0;
    // What the node adds to its consumer's latency.
    virtual bigtime_t ProcessingLatency() const = 0;
    // The output has been connected; nothing by default.
    virtual void OutputConnected();
    // The output is about to be disconnected; nothing by default.
    virtual void OutputDisconnecting();
    // Applies a 4-byte parameter value written for real time `when`, which has come.
    virtual void ApplyParameter(int32 id, int32 bits, bigtime_t when) = 0;
    // Applies the value a B_PARAMETER event queued by SetParameterValue carries.
    void ApplyParameterEvent(const media_timed_event* event);

    void NodeRegistered() override;
    status_t HandleMessage(int32 message, const void* data, size_t size) override;

    status_t FormatSuggestionRequested(media_type type, int32 quality,
        media_format* format) override;
    status_t FormatProposal(const media_source& output, media_format* format) override;
    status_t FormatChangeRequested(const media_source& source,
        const media_destination& destination, media_format* ioFormat,
        int32* deprecated) override;
    status_t GetNextOutput(int32* cookie, media_output* outOutput) override;
    status_t DisposeOutputCookie(int32 cookie) override;
    status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) override;
    status_t PrepareToConnect(const media_source& what, const media_destination& where,
        media_format* format, media_source* outSource, char* outName) override;
    void Connect(status_t error, const media_source& source,
        const media_destination& destination, const media_format& format,
        char* ioName) override;
    void Disconnect(const media_source& what, const media_destination& where) override;
    void LateNoticeReceived(const media_source& what, bigtime_t howMuch,
        bigtime_t performanceTime) override;
    void EnableOutput(const media_source& what, bool enabled, int32* deprecated) override;
    status_t GetLatency(bigtime_t* outLatency) override;

    // A write applies at its time: at once when that time has come, else from the event queue.
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

    VideoOutput output;
    std::atomic<int64> framesSent{0};
    std::atomic<int64> framesDropped{0};

private:
    VideoOutput::Negotiator Negotiation() const;

    int32 parameterLimit;
};

}
