#pragma once
// V4l2Device: one open V4L2 video capture device, its inputs, tuner, controls, formats and frames.

#include "kits/kernel/OS.h"

#include <memory>
#include <string>
#include <vector>

namespace devices {

// Field orders, with V4L2's values.
enum V4l2Field : uint32 {
    V4L2_FIELD_ORDER_ANY = 0,
    V4L2_FIELD_ORDER_NONE = 1,
    V4L2_FIELD_ORDER_TOP = 2,
    V4L2_FIELD_ORDER_BOTTOM = 3,
    V4L2_FIELD_ORDER_INTERLACED = 4,
    V4L2_FIELD_ORDER_SEQ_TB = 5,
    V4L2_FIELD_ORDER_SEQ_BT = 6,
    V4L2_FIELD_ORDER_ALTERNATE = 7,
    V4L2_FIELD_ORDER_INTERLACED_TB = 8,
    V4L2_FIELD_ORDER_INTERLACED_BT = 9,
};

// Control types and flags, with V4L2's values.
enum V4l2ControlType : uint32 {
    V4L2_CONTROL_INTEGER = 1,
    V4L2_CONTROL_BOOLEAN = 2,
};
enum : uint32 {
    V4L2_CONTROL_READ_ONLY = 0x0004,
    V4L2_CONTROL_WRITE_ONLY = 0x0040,
};

// The picture controls' ids, with V4L2's values.
enum : uint32 {
    V4L2_CONTROL_BRIGHTNESS = 0x00980900,
    V4L2_CONTROL_CONTRAST = 0x00980901,
    V4L2_CONTROL_SATURATION = 0x00980902,
    V4L2_CONTROL_HUE = 0x00980903,
};

// A tuner's audio modes and the capability bits that offer them, with V4L2's values.
enum V4l2AudioMode : uint32 {
    V4L2_AUDIO_MONO = 0,
    V4L2_AUDIO_STEREO = 1,
    V4L2_AUDIO_LANGUAGE_2 = 2,
    V4L2_AUDIO_LANGUAGE_1 = 3,
    V4L2_AUDIO_BOTH_LANGUAGES = 4,
};
enum : uint32 {
    V4L2_AUDIO_CAN_STEREO = 0x0010,
    V4L2_AUDIO_CAN_LANGUAGE_2 = 0x0020,
    V4L2_AUDIO_CAN_LANGUAGE_1 = 0x0040,
};

struct V4l2Input {
    uint32 index = 0;
    std::string name;
    bool hasTuner = false;
    // The index of its tuner when hasTuner.
    uint32 tuner = 0;
    // The standards it takes (a V4L2 standard mask); 0 for an input without standards.
    uint64 standards = 0;
    // V4L2's input status bits: 0 when a picture is locked.
    uint32 status = 0;
};

struct V4l2Standard {
    // A V4L2 standard mask; one enumerated entry may stand for several standards.
    uint64 id = 0;
    std::string name;
    // A frame lasts frameNumerator / frameDenominator seconds.
    uint32 frameNumerator = 0;
    uint32 frameDenominator = 0;
    uint32 lines = 0;
};

struct V4l2Tuner {
    std::string name;
    // Frequencies count in units of 62.5 Hz, else of 62.5 kHz.
    bool lowUnits = false;
    // The tuner's range, in its units.
    uint32 rangeLow = 0;
    uint32 rangeHigh = 0;
    // The V4L2_AUDIO_CAN_ bits, among V4L2's other capability bits, and the V4l2AudioMode.
    uint32 audioCapabilities = 0;
    uint32 audioMode = 0;
    // Signal strength, 0 to 65535.
    int32 signal = 0;
};

struct V4l2Control {
    uint32 id = 0;
    std::string name;
    // A V4l2ControlType, or another of V4L2's control types (3 menu ...).
    uint32 type = 0;
    int32 minimum = 0;
    int32 maximum = 0;
    int32 step = 0;
    int32 defaultValue = 0;
    // V4L2's control flags (V4L2_CONTROL_READ_ONLY, disabled, inactive ...).
    uint32 flags = 0;
};

struct V4l2PixelFormat {
    uint32 fourcc = 0;
    std::string description;
    bool compressed = false;
};

struct V4l2Format {
    uint32 width = 0;
    uint32 height = 0;
    uint32 fourcc = 0;
    // A V4l2Field.
    uint32 field = V4L2_FIELD_ORDER_ANY;
    // Filled in by the device.
    uint32 bytesPerLine = 0;
    uint32 sizeImage = 0;
};

// One captured frame. Its data belongs to the device and stays valid until the frame is given
// back with RequeueFrame or streaming stops.
struct V4l2Frame {
    const uint8* data = nullptr;
    size_t bytesUsed = 0;
    uint32 index = 0;
    uint32 sequence = 0;
    // When the frame was captured, on the clock of system_time(), microseconds.
    bigtime_t timestamp = 0;
    uint32 field = V4L2_FIELD_ORDER_ANY;
    // The device marked the data damaged.
    bool damaged = false;
};

// Wraps /dev/videoN. Every call is a status: a device that reports an error, refuses a request
// or disappears (unplugged: DeviceGone()) never ends the program. Ioctls interrupted by a
// signal are repeated. Owns its descriptor and the mapped buffers, released by Close() or the
// destructor. Not thread-safe: one thread uses an object at a time.
class V4l2Device {
public:
    V4l2Device();
    ~V4l2Device();
    V4l2Device(const V4l2Device&) = delete;
    V4l2Device& operator=(const V4l2Device&) = delete;

    // Opens a video capture device (non-blocking) and reads its capabilities. B_UNSUPPORTED
    // for a device that cannot capture video or is no V4L2 device at all.
    [[nodiscard]] status_t Open(const std::string& path);
    void Close();
    bool IsOpen() const;

    const std::string& Path() const;
    const std::string& Card() const;
    const std::string& Driver() const;
    const std::string& BusInfo() const;
    bool CanStream() const;
    bool CanRead() const;

    [[nodiscard]] status_t GetInputs(std::vector<V4l2Input>& inputs);
    [[nodiscard]] status_t GetInput(uint32& index);
    [[nodiscard]] status_t SetInput(uint32 index);

    // The standards the current input takes; empty for one without standards.
    [[nodiscard]] status_t GetStandards(std::vector<V4l2Standard>& standards);
    [[nodiscard]] status_t GetStandard(uint64& standard);
    [[nodiscard]] status_t SetStandard(uint64 standard);

    [[nodiscard]] status_t GetTuner(uint32 tuner, V4l2Tuner& description);
    [[nodiscard]] status_t SetAudioMode(uint32 tuner, uint32 audioMode);
    // Frequencies in the tuner's units.
    [[nodiscard]] status_t GetFrequency(uint32 tuner, uint32& frequency);
    [[nodiscard]] status_t SetFrequency(uint32 tuner, uint32 frequency);

    // Every control, disabled ones left out; walks the device's list where it can, else the
    // user and private control ranges.
    [[nodiscard]] status_t GetControls(std::vector<V4l2Control>& controls);
    [[nodiscard]] status_t QueryControl(uint32 id, V4l2Control& control);
    [[nodiscard]] status_t GetControl(uint32 id, int32& value);
    [[nodiscard]] status_t SetControl(uint32 id, int32 value);

    [[nodiscard]] status_t GetPixelFormats(std::vector<V4l2PixelFormat>& formats);
    [[nodiscard]] status_t GetFormat(V4l2Format& format);
    // Asks for `format` and returns in it what the device chose.
    [[nodiscard]] status_t SetFormat(V4l2Format& format);
    // What the device would choose for `format`, changing nothing.
    [[nodiscard]] status_t TryFormat(V4l2Format& format);
    // Frames per second as the device reports them; B_UNSUPPORTED where it does not.
    [[nodiscard]] status_t GetFrameInterval(uint32& numerator, uint32& denominator);

    // Maps `bufferCount` buffers (the device may give a few more or fewer), queues them and
    // starts capturing; a device without streaming is read() frame by frame instead. Frames
    // are of the format set last.
    [[nodiscard]] status_t StartStreaming(uint32 bufferCount);
    // Stops capturing and unmaps the buffers; frames handed out are invalid afterwards.
    void StopStreaming();
    bool IsStreaming() const;
    // Waits at most `timeout` microseconds for a frame: B_OK, B_TIMED_OUT, or the device's error.
    [[nodiscard]] status_t WaitForFrame(bigtime_t timeout);
    // Takes the next captured frame; B_WOULD_BLOCK when none is ready.
    [[nodiscard]] status_t DequeueFrame(V4l2Frame& frame);
    // Gives a frame's buffer back for capturing.
    [[nodiscard]] status_t RequeueFrame(const V4l2Frame& frame);

    // The status for an errno value from a V4L2 call.
    static status_t StatusFor(int error);
    // The status of a device that has gone away.
    static status_t DeviceGone();

private:
    // Owns a file descriptor.
    class Descriptor {
    public:
        Descriptor() = default;
        explicit Descriptor(int fd) : fd(fd) {}
        ~Descriptor();
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        Descriptor(Descriptor&& other) noexcept;
        Descriptor& operator=(Descriptor&& other) noexcept;

        int Get() const { return fd; }

    private:
        int fd = -1;
    };

    // Owns one mapped buffer of the device.
    class Mapping {
    public:
        Mapping(void* address, size_t length) : address(address), length(length) {}
        ~Mapping();
        Mapping(const Mapping&) = delete;
        Mapping& operator=(const Mapping&) = delete;

        uint8* Data() const { return static_cast<uint8*>(address); }
        size_t Length() const { return length; }

    private:
        void* address;
        size_t length;
    };

    // ioctl, repeated while interrupted; B_OK or the mapped errno.
    [[nodiscard]] status_t Control(unsigned long request, void* argument) const;
    [[nodiscard]] status_t MapBuffers(uint32 bufferCount);

    Descriptor descriptor;
    std::string path;
    std::string card;
    std::string driver;
    std::string busInfo;
    uint32 capabilities = 0;
    std::vector<std::unique_ptr<Mapping>> mappings;
    // The frame read() fills on a device without streaming.
    std::vector<uint8> readBuffer;
    uint32 readSequence = 0;
    bool streaming = false;
};

}
