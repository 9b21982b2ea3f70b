#pragma once
// VideoOutput: the one raw-video output of a capture node and the state of its connection.

#include "kits/media/MediaDefs.h"

#include <functional>
#include <memory>

class BBufferGroup;

namespace devices {

// What a capture node keeps of its single output: the media_output, whether a connection is
// being prepared or made, the consumer's latency, and the buffers frames go into (the group the
// consumer handed over, else one of the output's own of the connection's frame size). The
// node's BBufferProducer hooks forward here; it answers them the same way for every capture
// node. Touched only on the node's control thread.
class VideoOutput {
public:
    // Fills the open fields of a format, or refuses it with B_MEDIA_BAD_FORMAT.
    using Negotiator = std::function<status_t(media_format&)>;

    VideoOutput();
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // The node is registered: its output lives at this node and port.
    void Register(const media_node& node, port_id port);

    // The hooks of the same names; negotiate is the node's own.
    status_t FormatSuggestionRequested(media_type type, media_format* format,
        const Negotiator& negotiate) const;
    status_t FormatProposal(const media_source& source, media_format* format,
        const Negotiator& negotiate) const;
    status_t GetNextOutput(int32* cookie, media_output* outOutput) const;
    status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group);
    status_t PrepareToConnect(const media_source& what, const media_destination& where,
        media_format* format, media_source* outSource, char* outName,
        const Negotiator& negotiate);
    void EnableOutput(const media_source& what, bool enabled);

    // Whether a Connect or Disconnect hook is about this output's connection.
    bool IsConnection(const media_source& source, const media_destination& destination) const;
    // The connection is made in `format`, its consumer `downstreamLatency` behind; ioName gets
    // the output's name. Called for a connection IsConnection accepted.
    void Connected(const media_format& format, bigtime_t downstreamLatency, char* ioName);
    // Back to no connection, the buffers given up. Called for a connection IsConnection
    // accepted, also when making it failed.
    void Disconnected();

    bool IsConnected() const { return connected; }
    // Connected, and the consumer wants frames.
    bool IsSending() const { return connected && enabled; }
    const media_output& Output() const { return output; }
    const media_video_display_info& Display() const { return output.format.u.raw_video.display; }
    bigtime_t DownstreamLatency() const { return downstreamLatency; }
    // Where the next frame goes: the consumer's group, else the output's own; null when
    // neither exists.
    BBufferGroup* Group() const;

private:
    media_output output;
    bool enabled = true;
    // Set between PrepareToConnect and Connect.
    bool preparing = false;
    bool connected = false;
    bigtime_t downstreamLatency = 0;
    // The consumer's group (not owned), or null for ownGroup.
    BBufferGroup* consumerGroup = nullptr;
    std::unique_ptr<BBufferGroup> ownGroup;
};

}
