#pragma once
// BParameter: one control of a node's parameter web, and the kind and unit names.

#include "kits/kernel/TypeConstants.h"
#include "kits/media/MediaDefs.h"

#include <string>

class BParameterGroup;
class BParameterWeb;

// Kinds: what a parameter controls.
inline constexpr const char* B_GENERIC = "";
inline constexpr const char* B_ENABLE = "ENABLE";
inline constexpr const char* B_MUTE = "MUTE";
inline constexpr const char* B_INPUT_MUX = "INPUT_MUX";
inline constexpr const char* B_GAIN = "GAIN";
inline constexpr const char* B_MASTER_GAIN = "MASTER_GAIN";
inline constexpr const char* B_BALANCE = "BALANCE";
inline constexpr const char* B_FREQUENCY = "FREQUENCY";
inline constexpr const char* B_TUNER_CHANNEL = "TUNER_CHANNEL";
inline constexpr const char* B_VIDEO_FORMAT = "VIDEO_FORMAT";
inline constexpr const char* B_AUDIO_FORMAT = "AUDIO_FORMAT";
inline constexpr const char* B_BRIGHTNESS = "BRIGHTNESS";
inline constexpr const char* B_CONTRAST = "CONTRAST";
inline constexpr const char* B_SATURATION = "SATURATION";
inline constexpr const char* B_HUE = "HUE";
inline constexpr const char* B_GAMMA = "GAMMA";
inline constexpr const char* B_WEB_PHYSICAL_INPUT = "WEB_PHYSICAL_INPUT";
inline constexpr const char* B_WEB_PHYSICAL_OUTPUT = "WEB_PHYSICAL_OUTPUT";
inline constexpr const char* B_WEB_BUFFER_INPUT = "WEB_BUFFER_INPUT";
inline constexpr const char* B_WEB_BUFFER_OUTPUT = "WEB_BUFFER_OUTPUT";

// Units of continuous parameters.
inline constexpr const char* B_UNIT_NONE = "";
inline constexpr const char* B_UNIT_DB = "dB";
inline constexpr const char* B_UNIT_PERCENT = "%";
inline constexpr const char* B_UNIT_HERTZ = "Hz";

// A parameter belongs to its group, which belongs to its web. Its value lives
// in the node: GetValue and SetValue call the node's GetParameterValue and
// SetParameterValue on the node's control thread and wait for the answer at
// most a few seconds (B_TIMED_OUT). A discrete parameter's value is one int32,
// a continuous one's one float per channel; a buffer of another size is
// refused with B_BAD_VALUE (a larger buffer is fine for reading). Reading and
// writing are safe from any thread; the description itself does not change
// once the web is handed out.
class BParameter {
public:
    enum media_parameter_type : int32 {
        B_NULL_PARAMETER,
        B_DISCRETE_PARAMETER,
        B_CONTINUOUS_PARAMETER,
    };

    virtual ~BParameter();
    BParameter(const BParameter&) = delete;
    BParameter& operator=(const BParameter&) = delete;

    media_parameter_type Type() const;
    BParameterWeb* Web() const;
    BParameterGroup* Group() const;
    const char* Name() const;
    const char* Kind() const;
    const char* Unit() const;
    int32 ID() const;
    media_type MediaType() const;
    uint32 Flags() const;
    void SetFlags(uint32 flags);
    // B_INT32_TYPE, B_FLOAT_TYPE, or 0 for a parameter without a value.
    type_code ValueType() const;
    // The size in bytes of a whole value; 0 for a null parameter.
    size_t ValueSize() const;

    int32 CountChannels() const;
    void SetChannelCount(int32 channels);

    // Reads the value into `buffer` (capacity *ioSize); *ioSize becomes the
    // bytes read, *when (optional) the time of the last change.
    status_t GetValue(void* buffer, size_t* ioSize, bigtime_t* when);
    // Writes the value; the node applies it at once when `when` is not later
    // than now (BTimeSource::RealTime()).
    status_t SetValue(const void* buffer, size_t size, bigtime_t when);

protected:
    BParameter(int32 id, media_type mediaType, media_parameter_type type, const char* name,
        const char* kind, const char* unit);

private:
    friend class BParameterGroup;

    int32 id;
    media_type mediaType;
    media_parameter_type type;
    std::string name;
    std::string kind;
    std::string unit;
    uint32 flags = 0;
    int32 channels = 1;
    BParameterGroup* group = nullptr;
};
