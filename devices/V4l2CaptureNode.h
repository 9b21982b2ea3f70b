#pragma once
// V4l2CaptureNode: the capture card node for a V4L2 video device (a TV card or a capture stick).

#include "devices/CaptureNode.h"
#include "devices/PixelConversion.h"
#include "devices/V4l2Device.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devices {

class FrequencyPlan;

// How the device's frames become the connection's: the device format asked for and how its
// fields are laid out. Worked out on plain data, so it can be checked without a device.
struct V4l2FramePlan {
    V4l2Format device;
    // Convert the two fields apart, each into its own lines of the target, so scaling never
    // mixes them; otherwise the frame is converted whole.
    bool splitFields = false;
    // Only the first field in memory is used (a half-height target from a full frame).
    bool firstFieldOnly = false;
    // The fields lie one after the other in the buffer (V4L2's SEQ_TB and SEQ_BT).
    bool sequentialFields = false;
    // The bottom field comes first in time.
    bool bottomFieldFirst = false;
    // The top field opens with the half line of a 625-line picture, whose first half holds no
    // picture: the blanking, on air often the wide-screen signalling, on some cards noise. It is
    // delivered black, as a TV set never shows it.
    bool halfLineOnTop = false;
};

// A video input producer over one V4L2 capture device. It works on the device's tuner input
// when it has one, else on its first input, and has one raw-video output taking B_RGB32,
// B_RGB16, B_RGB15 or B_GRAY8 at any size up to 1920x1080 (open fields get the device's picture
// size in B_RGB32). It asks the device for a pixel format it can convert, preferring one laid
// out like the connection's colour space, and converts each frame into the consumer's buffer,
// scaling to the connection's size with each field kept in its own lines. Buffers are stamped
// with the capture time on the node's time source, plus the node's processing time and the
// consumer's latency; a frame that finds no free buffer is dropped and counted.
//
// Its web: "Video Format" (the input's standards: 1 NTSC-M, 2 NTSC-M-JP, 3 PAL-B/G/D/H/I,
// 4 PAL-M, 5 PAL-N, 6 SECAM; absent without standards), "Channel" (the frequency plan of the
// standard, tuned at once), "Audio Format" (the tuner's audio modes), "Tuner Brand" (non-zero
// exactly with a tuner), "Video Input", the continuous "Brightness", "Contrast", "Saturation" and
// "Hue" over the device's own ranges, and those of "Luma Coring", "Chroma Comb", "Gamma" and
// "Error Diffusion" that the device has a switch for. Switching the input builds the web anew.
//
// A device error while streaming (or the device going away) stops production; the next Start
// or connection opens the device again if needed (found by its card and bus position should it
// come back under another path) and carries on. Every hook runs on the control thread, which
// alone touches the device; the counters may be read from any thread.
class V4l2CaptureNode : public CaptureNode {
public:
    // CABLE chooses the US cable plan over the broadcast one for 525-line standards.
    explicit V4l2CaptureNode(std::string devicePath, bool cable = false);
    ~V4l2CaptureNode() override;

    // B_OK when the device opened as a video capture device; the node is of no use otherwise.
    status_t InitCheck() const;

    // Times production stopped for a device error, and the last such error.
    int64 StreamFailures() const;
    status_t LastError() const;

    // The device format to ask for a connection of `width` x `height` in `space`, given the
    // formats the device offers and its picture of `fullWidth` x `fullLines`: whole interlaced
    // frames, one field for half the lines or less, or, from a progressive source
    // (`interlacedSource` false), the connection's size. No fourcc when none can be converted.
    static V4l2FramePlan PlanFrames(const std::vector<V4l2PixelFormat>& offered, int32 width,
        int32 height, color_space space, uint32 fullWidth, uint32 fullLines,
        bool interlacedSource);
    // Completes a plan with the format the device answered, for a connection `height` lines
    // high; `standard` is the input's standard mask (0 for a source without standards), which
    // says how V4L2_FIELD_INTERLACED is read (bottom field first on 525 lines) and whether the
    // top field opens with a half line (625 lines).
    static void AdoptDeviceFormat(V4l2FramePlan& plan, const V4l2Format& answer, int32 height,
        uint64 standard);
    // Converts one captured frame of `length` bytes as the plan says: fields apart into their
    // own lines of `to` (the top field into its even lines), or the first field alone, or the
    // frame whole; the pixels taken from the first half of a half line come out black. The
    // status of ConvertFrame.
    [[nodiscard]] static status_t ConvertCaptured(const V4l2FramePlan& plan, const uint8* data,
        size_t length, const TargetFrame& to);

protected:
    // The picture size and rate of the current standard (or the device's format without one).
    NativePicture Native() const override;
    bigtime_t ProcessingLatency() const override;
    void OutputConnected() override;
    void OutputDisconnecting() override;

    std::vector<ParameterItem> ItemsOf(int32 id) const override;
    std::optional<ParameterRange> RangeOf(int32 id) const override;
    bool HasSwitch(int32 id) const override;
    std::optional<int32> ReadDiscrete(int32 id) override;
    std::optional<float> ReadContinuous(int32 id) override;
    [[nodiscard]] status_t WriteDiscrete(int32 id, int32 value) override;
    [[nodiscard]] status_t WriteContinuous(int32 id, float value) override;

    void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent = false) override;

private:
    struct ControlBinding;
    struct InputState;

    // Opens the device and settles on an input; keeps what was chosen before where it can.
    [[nodiscard]] status_t OpenDevice();
    [[nodiscard]] status_t SelectInput(uint32 index);
    // Reads what the current input offers: its standards, its tuner, the controls the
    // parameters follow, and the device's format.
    void ReadInputState();
    void ReadStandards(InputState& state);
    void ReadTuner(InputState& state, uint32 tunerIndex);
    void BindControls(InputState& state);

    [[nodiscard]] status_t StartCapture();
    void StopCapture();
    void ProduceFrames();
    void DeliverFrame(const V4l2Frame& frame);
    void Fail(status_t status);
    void ScheduleCheck(bigtime_t delay);

    [[nodiscard]] status_t SwitchInput(int32 value);
    [[nodiscard]] status_t ApplyStandard(int32 value);
    [[nodiscard]] status_t Tune(int32 channel);
    const ControlBinding* BindingFor(int32 id) const;
    // The control's value on the device, its default when the device does not answer.
    int32 ControlValue(const ControlBinding& binding);
    const FrequencyPlan& PlanFor(uint64 standard) const;

    // The device's path, and what identifies it should it come back under another path.
    std::string devicePath;
    std::string card;
    std::string busInfo;
    bool cablePlan;
    V4l2Device device;
    status_t initStatus = B_NO_INIT;
    std::unique_ptr<InputState> input;

    // Started by the run state, capturing while also connected.
    bool started = false;
    bool capturing = false;
    V4l2FramePlan plan;
    // Microseconds from one buffer to the next; 0 when the device does not say.
    bigtime_t framePeriod = 0;
    // Time from a frame's capture to its sending, grown when a frame took longer.
    bigtime_t processingLatency;

    std::atomic<int64> streamFailures{0};
    std::atomic<status_t> lastError{B_OK};
};

}
