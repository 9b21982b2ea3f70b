#include "kits/media/MediaDefs.h"

#include <cstring>

const media_raw_audio_format media_raw_audio_format::wildcard = {};
const media_raw_video_format media_raw_video_format::wildcard = {};
const media_node media_node::null = {};
const media_source media_source::null = {};
const media_destination media_destination::null = {};

media_format::media_format()
    : type(B_MEDIA_NO_TYPE)
{
    std::memset(&u, 0, sizeof(u));
}

bool operator==(const media_raw_video_format& a, const media_raw_video_format& b)
{
    const media_video_display_info& x = a.display;
    const media_video_display_info& y = b.display;
    return a.field_rate == b.field_rate && a.interlace == b.interlace
        && a.first_active == b.first_active && a.last_active == b.last_active
        && a.orientation == b.orientation && a.pixel_width_aspect == b.pixel_width_aspect
        && a.pixel_height_aspect == b.pixel_height_aspect && x.format == y.format
        && x.line_width == y.line_width && x.line_count == y.line_count
        && x.bytes_per_row == y.bytes_per_row && x.pixel_offset == y.pixel_offset
        && x.line_offset == y.line_offset && x.flags == y.flags;
}

bool operator==(const media_raw_audio_format& a, const media_raw_audio_format& b)
{
    return a.frame_rate == b.frame_rate && a.channel_count == b.channel_count
        && a.format == b.format && a.byte_order == b.byte_order
        && a.buffer_size == b.buffer_size;
}

bool operator==(const media_format& a, const media_format& b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case B_MEDIA_RAW_AUDIO:
        return a.u.raw_audio == b.u.raw_audio;
    case B_MEDIA_RAW_VIDEO:
        return a.u.raw_video == b.u.raw_video;
    default:
        return true;
    }
}

bool operator==(const media_node& a, const media_node& b)
{
    return a.node == b.node && a.port == b.port && a.kind == b.kind;
}

bool operator==(const media_source& a, const media_source& b)
{
    return a.port == b.port && a.id == b.id;
}

bool operator==(const media_destination& a, const media_destination& b)
{
    return a.port == b.port && a.id == b.id;
}
