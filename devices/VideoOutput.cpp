#include "devices/VideoOutput.h"

#include "kits/media/BufferGroup.h"

#include <cstring>

namespace devices {

namespace {

constexpr const char* OUTPUT_NAME = "Video Output";
// Buffers of the output's own group, for a consumer that hands none.
constexpr int32 GROUP_BUFFERS = 3;

void CopyName(char* to, const char* from)
{
    std::strncpy(to, from, B_MEDIA_NAME_LENGTH);
    to[B_MEDIA_NAME_LENGTH - 1] = '\0';
}

}

VideoOutput::VideoOutput()
{
    output.format.type = B_MEDIA_RAW_VIDEO;
    std::strncpy(output.name, OUTPUT_NAME, B_MEDIA_NAME_LENGTH - 1);
}

VideoOutput::~VideoOutput() = default;

void VideoOutput::Register(const media_node& node, port_id port)
{
    output.node = node;
    output.source.port = port;
    output.source.id = 0;
    output.destination = media_destination::null;
}

status_t VideoOutput::FormatSuggestionRequested(media_type type, media_format* format,
    const Negotiator& negotiate) const
{
    if (format == nullptr)
        return B_BAD_VALUE;
    if (type != B_MEDIA_RAW_VIDEO && type != B_MEDIA_UNKNOWN_TYPE)
        return B_MEDIA_BAD_FORMAT;
    *format = media_format();
    return negotiate(*format);
}

status_t VideoOutput::FormatProposal(const media_source& source, media_format* format,
    const Negotiator& negotiate) const
{
    if (!(source == output.source))
        return B_MEDIA_BAD_SOURCE;
    if (format == nullptr)
        return B_BAD_VALUE;
    return negotiate(*format);
}

status_t VideoOutput::GetNextOutput(int32* cookie, media_output* outOutput) const
{
    if (cookie == nullptr || outOutput == nullptr)
        return B_BAD_VALUE;
    if (*cookie != 0)
        return B_BAD_INDEX;
    *outOutput = output;
    (*cookie)++;
    return B_OK;
}

status_t VideoOutput::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
    if (!(forSource == output.source))
        return B_MEDIA_BAD_SOURCE;
    consumerGroup = group;
    return B_OK;
}

status_t VideoOutput::PrepareToConnect(const media_source& what, const media_destination& where,
    media_format* format, media_source* outSource, char* outName, const Negotiator& negotiate)
{
    if (!(what == output.source))
        return B_MEDIA_BAD_SOURCE;
    if (format == nullptr || outSource == nullptr || outName == nullptr)
        return B_BAD_VALUE;
    if (connected || preparing)
        return B_MEDIA_ALREADY_CONNECTED;
    if (status_t status = negotiate(*format); status != B_OK)
        return status;
    preparing = true;
    output.destination = where;
    output.format = *format;
    *outSource = output.source;
    CopyName(outName, output.name);
    return B_OK;
}

void VideoOutput::EnableOutput(const media_source& what, bool enable)
{
    if (what == output.source)
        enabled = enable;
}

bool VideoOutput::IsConnection(const media_source& source,
    const media_destination& destination) const
{
    return source == output.source && destination == output.destination;
}

void VideoOutput::Connected(const media_format& format, bigtime_t latency, char* ioName)
{
    preparing = false;
    connected = true;
    output.format = format;
    downstreamLatency = latency;
    const media_video_display_info& display = format.u.raw_video.display;
    ownGroup = std::make_unique<BBufferGroup>(size_t(display.bytes_per_row) * display.line_count,
        GROUP_BUFFERS);
    if (ownGroup->InitCheck() != B_OK)
        ownGroup.reset();
    if (ioName != nullptr)
        CopyName(ioName, output.name);
}

void VideoOutput::Disconnected()
{
    connected = false;
    preparing = false;
    output.destination = media_destination::null;
    output.format = media_format();
    output.format.type = B_MEDIA_RAW_VIDEO;
    // The consumer deletes its group after this; buffers of ours still out with it stay valid
    // until recycled.
    consumerGroup = nullptr;
    ownGroup.reset();
    downstreamLatency = 0;
}

BBufferGroup* VideoOutput::Group() const
{
    return consumerGroup != nullptr ? consumerGroup : ownGroup.get();
}

}
