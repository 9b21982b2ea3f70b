#pragma once
// Media records shared by every node: types, formats, node and endpoint ids, buffer headers.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/OS.h"

using media_node_id = int32;
using media_buffer_id = int32;
// A node's control port: the id of its in-process request queue.
using port_id = int32;

constexpr size_t B_MEDIA_NAME_LENGTH = 64;

enum media_type : int32 {
    B_MEDIA_NO_TYPE = -1,
    B_MEDIA_UNKNOWN_TYPE = 0,
    B_MEDIA_RAW_AUDIO = 1,
    B_MEDIA_RAW_VIDEO = 2,
    B_MEDIA_VBL = 3,
    B_MEDIA_TIMECODE = 4,
    B_MEDIA_MIDI = 5,
    B_MEDIA_TEXT = 6,
    B_MEDIA_HTML = 7,
    B_MEDIA_MULTISTREAM = 8,
    B_MEDIA_PARAMETERS = 9,
    B_MEDIA_ENCODED_AUDIO = 10,
    B_MEDIA_ENCODED_VIDEO = 11,
};

// What a node is; a node is usually several kinds at once.
enum node_kind : uint64 {
    B_BUFFER_PRODUCER = 0x1,
    B_BUFFER_CONSUMER = 0x2,
    B_TIME_SOURCE = 0x4,
    B_CONTROLLABLE = 0x8,
    B_FILE_INTERFACE = 0x10,
    B_ENTITY_INTERFACE = 0x20,
    B_PHYSICAL_INPUT = 0x10000,
    B_PHYSICAL_OUTPUT = 0x20000,
    B_SYSTEM_MIXER = 0x40000,
};

// How a producer keeps up when it falls behind.
enum media_run_mode : int32 {
    B_OFFLINE = 1,
    B_DECREASE_PRECISION = 2,
    B_INCREASE_LATENCY = 3,
    B_DROP_DATA = 4,
    B_RECORDING = 5,
};

// Video orientation: the first pixel is the top left one, rows run left to right.
enum : uint32 {
    B_VIDEO_TOP_LEFT_RIGHT = 1,
    B_VIDEO_BOTTOM_LEFT_RIGHT = 2,
};

// Raw audio sample formats.
enum : uint32 {
    B_AUDIO_FLOAT = 0x24,
    B_AUDIO_INT = 0x4,
    B_AUDIO_SHORT = 0x2,
    B_AUDIO_CHAR = 0x11,
    B_AUDIO_UCHAR = 0x1,
};

// A zero field in a format is a wildcard: "any value", filled in during negotiation.
struct media_raw_audio_format {
    float frame_rate;
    uint32 channel_count;
    uint32 format;
    uint32 byte_order;
    size_t buffer_size;

    static const media_raw_audio_format wildcard;
};

struct media_video_display_info {
    color_space format;
    uint32 line_width;
    uint32 line_count;
    uint32 bytes_per_row;
    uint32 pixel_offset;
    uint32 line_offset;
    uint32 flags;
};

struct media_raw_video_format {
    // Fields per second.
    float field_rate;
    // 1 progressive, 2 two interlaced fields per frame.
    uint32 interlace;
    uint32 first_active;
    uint32 last_active;
    uint32 orientation;
    uint16 pixel_width_aspect;
    uint16 pixel_height_aspect;
    media_video_display_info display;

    static const media_raw_video_format wildcard;
};

struct media_format {
    media_type type;
    union {
        media_raw_audio_format raw_audio;
        media_raw_video_format raw_video;
    } u;

    // A format of no type with every field a wildcard.
    media_format();
};

bool operator==(const media_raw_video_format& a, const media_raw_video_format& b);
bool operator==(const media_raw_audio_format& a, const media_raw_audio_format& b);
// Formats are equal when their types and the part of the union that type uses are.
bool operator==(const media_format& a, const media_format& b);

struct media_node {
    media_node_id node = -1;
    port_id port = -1;
    uint32 kind = 0;

    static const media_node null;
};

bool operator==(const media_node& a, const media_node& b);

// One end of a connection: the port of the node and an id the node chooses.
struct media_source {
    port_id port = -1;
    int32 id = -1;

    static const media_source null;
};

struct media_destination {
    port_id port = -1;
    int32 id = -1;

    static const media_destination null;
};

bool operator==(const media_source& a, const media_source& b);
bool operator==(const media_destination& a, const media_destination& b);

struct media_input {
    media_node node;
    media_source source;
    media_destination destination;
    media_format format;
    char name[B_MEDIA_NAME_LENGTH] = {};
};

struct media_output {
    media_node node;
    media_source source;
    media_destination destination;
    media_format format;
    char name[B_MEDIA_NAME_LENGTH] = {};
};

struct media_video_header {
    uint32 field_sequence;
    uint16 field_number;
    uint16 first_active_line;
    uint16 line_count;
};

// Travels with each buffer; the producer fills it before SendBuffer().
struct media_header {
    media_type type = B_MEDIA_NO_TYPE;
    media_buffer_id buffer = 0;
    // The destination id the buffer was sent to.
    int32 destination = -1;
    media_node_id time_source = -1;
    uint32 size_used = 0;
    // Performance time, on the sender's time source, at which the data is due.
    bigtime_t start_time = 0;
    area_id owner = -1;
    union {
        media_video_header raw_video;
    } u = {};
};

// What a completed asynchronous request reports to the node that asked for it.
struct media_request_info {
    enum what_code : int32 {
        B_SET_VIDEO_CLIPPING_FOR = 1,
        B_REQUEST_FORMAT_CHANGE,
        B_SET_OUTPUT_ENABLED,
        B_SET_OUTPUT_BUFFERS_FOR,
        B_FORMAT_CHANGED = 4097,
    };
    what_code what;
    int32 change_tag;
    status_t status;
    void* cookie;
    void* user_data;
    media_source source;
    media_destination destination;
    media_format format;
};
