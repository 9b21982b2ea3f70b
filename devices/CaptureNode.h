#pragma once
// CaptureNode: what every capture card node shares, its one raw-video output and the producer's
// side of connecting it.

#include "devices/ControlRange.h"
#include "devices/VideoOutput.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaEventLooper.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace devices {

// Ids of a capture card's parameters in its web; a card leaves out those it lacks.
enum : int32 {
    PARAMETER_VIDEO_FORMAT = 1,
    PARAMETER_CHANNEL,
    PARAMETER_AUDIO_FORMAT,
    PARAMETER_TUNER_BRAND,
    PARAMETER_BRIGHTNESS,
    PARAMETER_CONTRAST,
    PARAMETER_SATURATION,
    PARAMETER_HUE,
    PARAMETER_LUMA_CORING,
    PARAMETER_CHROMA_COMB,
    PARAMETER_GAMMA,
    PARAMETER_ERROR_DIFFUSION,
    PARAMETER_VIDEO_INPUT,
    PARAMETER_COUNT,
};

// One item of a discrete parameter.
struct ParameterItem {
    int32 value;
    std::string name;
};

// The picture a card makes when a connection leaves the size and rate open.
struct NativePicture {
    uint32 width = 0;
    uint32 lines = 0;
    // Fields a second; 0 when the card cannot tell, which takes any rate asked for.
    float fieldRate = 0;
    // Whether the lines come as two fields, so a frame of more than half of them is interlaced.
    bool interlaced = false;
};

// A capture card's node: a video input with one raw-video output whose connection VideoOutput
// keeps, and a parameter web of its own. The producer hooks, format negotiation, the web's
// layout and the timing of parameter writes are the same for every card and live here; a card
// gives its native picture (Native), how long making a frame takes (ProcessingLatency), which
// parameters it has (ItemsOf, RangeOf, HasSwitch), their values and how a written value applies
// (the Read and Write hooks, with ApplyParameterEvent called for B_PARAMETER events), and may act
// when its output is connected or about to be disconnected.
// Every hook runs on the node's control thread; the counters may be read from any thread.
class CaptureNode : public BMediaEventLooper, public BBufferProducer, public BControllable {
public:
    // The most derived class names the node too: BMediaNode is a virtual base.
    explicit CaptureNode(const char* name);
    ~CaptureNode() override;

    // Frames sent to the consumer, and frames lost for want of a buffer or time.
    int64 FramesSent() const;
    int64 FramesDropped() const;

    BMediaAddOn* AddOn(int32* internalId) const override;

protected:
    // The largest picture a connection may ask for.
    static constexpr uint32 MAX_WIDTH = 1920;
    static constexpr uint32 MAX_LINES = 1080;

    virtual NativePicture Native() const = 0;
    // What the node adds to its consumer's latency.
    virtual bigtime_t ProcessingLatency() const = 0;
    // The output has been connected; nothing by default.
    virtual void OutputConnected();
    // The output is about to be disconnected; nothing by default.
    virtual void OutputDisconnecting();

    // The items, by value, of the tuner group's parameters (PARAMETER_VIDEO_FORMAT,
    // PARAMETER_CHANNEL, PARAMETER_AUDIO_FORMAT, PARAMETER_TUNER_BRAND, PARAMETER_VIDEO_INPUT);
    // none leaves the parameter out of the web.
    virtual std::vector<ParameterItem> ItemsOf(int32 id) const = 0;
    // The range of a picture adjustment (PARAMETER_BRIGHTNESS to PARAMETER_HUE); none leaves it
    // out of the web.
    virtual std::optional<ParameterRange> RangeOf(int32 id) const = 0;
    // Whether the card has a switch (PARAMETER_LUMA_CORING to PARAMETER_ERROR_DIFFUSION).
    virtual bool HasSwitch(int32 id) const = 0;
    // The value of a discrete parameter or an adjustment; none for one the card lacks.
    virtual std::optional<int32> ReadDiscrete(int32 id) = 0;
    virtual std::optional<float> ReadContinuous(int32 id) = 0;
    // Applies a written value (an adjustment's is finite); B_OK when it took effect, which
    // makes its time the parameter's last change.
    [[nodiscard]] virtual status_t WriteDiscrete(int32 id, int32 value) = 0;
    [[nodiscard]] virtual status_t WriteContinuous(int32 id, float value) = 0;

    // Publishes a new web from the hooks above, as the node starts and whenever the parameters
    // or their items change.
    void BuildWeb();
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

    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override;
    // A write applies at its time: at once when that time has come, else from the event queue.
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

    VideoOutput output;
    std::atomic<int64> framesSent{0};
    std::atomic<int64> framesDropped{0};

private:
    // Fills the open fields of a raw-video format from the native picture;
    // B_MEDIA_BAD_FORMAT for one the card cannot make.
    [[nodiscard]] status_t Negotiate(media_format& format) const;
    VideoOutput::Negotiator Negotiation() const;
    // Applies a 4-byte value written for real time `when`, which has come.
    void ApplyParameter(int32 id, int32 bits, bigtime_t when);

    bigtime_t lastChanges[PARAMETER_COUNT] = {};
};

}
