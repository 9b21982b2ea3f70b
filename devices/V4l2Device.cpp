#include "devices/V4l2Device.h"

#include "devices/PixelConversion.h"
#include "devices/V4l2DeviceTestHooks.h"
#include "devices/VideoStandard.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace devices {

static_assert(uint32(V4L2_FIELD_ORDER_NONE) == uint32(V4L2_FIELD_NONE));
static_assert(uint32(V4L2_FIELD_ORDER_INTERLACED) == uint32(V4L2_FIELD_INTERLACED));
static_assert(uint32(V4L2_FIELD_ORDER_ALTERNATE) == uint32(V4L2_FIELD_ALTERNATE));
static_assert(uint32(V4L2_FIELD_ORDER_INTERLACED_TB) == uint32(V4L2_FIELD_INTERLACED_TB));
static_assert(uint32(V4L2_FIELD_ORDER_INTERLACED_BT) == uint32(V4L2_FIELD_INTERLACED_BT));
static_assert(uint32(V4L2_FIELD_ORDER_TOP) == uint32(V4L2_FIELD_TOP)
    && uint32(V4L2_FIELD_ORDER_BOTTOM) == uint32(V4L2_FIELD_BOTTOM)
    && uint32(V4L2_FIELD_ORDER_SEQ_TB) == uint32(V4L2_FIELD_SEQ_TB)
    && uint32(V4L2_FIELD_ORDER_SEQ_BT) == uint32(V4L2_FIELD_SEQ_BT));
static_assert(uint32(V4L2_CONTROL_INTEGER) == V4L2_CTRL_TYPE_INTEGER
    && uint32(V4L2_CONTROL_BOOLEAN) == V4L2_CTRL_TYPE_BOOLEAN
    && V4L2_CONTROL_READ_ONLY == V4L2_CTRL_FLAG_READ_ONLY
    && V4L2_CONTROL_WRITE_ONLY == V4L2_CTRL_FLAG_WRITE_ONLY);
static_assert(V4L2_CONTROL_BRIGHTNESS == V4L2_CID_BRIGHTNESS
    && V4L2_CONTROL_CONTRAST == V4L2_CID_CONTRAST
    && V4L2_CONTROL_SATURATION == V4L2_CID_SATURATION && V4L2_CONTROL_HUE == V4L2_CID_HUE);
static_assert(V4L2_AUDIO_MONO == V4L2_TUNER_MODE_MONO
    && V4L2_AUDIO_STEREO == V4L2_TUNER_MODE_STEREO
    && V4L2_AUDIO_LANGUAGE_2 == V4L2_TUNER_MODE_LANG2
    && V4L2_AUDIO_LANGUAGE_1 == V4L2_TUNER_MODE_LANG1
    && V4L2_AUDIO_BOTH_LANGUAGES == V4L2_TUNER_MODE_LANG1_LANG2
    && V4L2_AUDIO_CAN_STEREO == V4L2_TUNER_CAP_STEREO
    && V4L2_AUDIO_CAN_LANGUAGE_2 == V4L2_TUNER_CAP_LANG2
    && V4L2_AUDIO_CAN_LANGUAGE_1 == V4L2_TUNER_CAP_LANG1);
static_assert(FOURCC_YUYV == V4L2_PIX_FMT_YUYV && FOURCC_UYVY == V4L2_PIX_FMT_UYVY
    && FOURCC_NV12 == V4L2_PIX_FMT_NV12 && FOURCC_YU12 == V4L2_PIX_FMT_YUV420
    && FOURCC_RGB24 == V4L2_PIX_FMT_RGB24 && FOURCC_BGR24 == V4L2_PIX_FMT_BGR24
    && FOURCC_XRGB32 == V4L2_PIX_FMT_XBGR32 && FOURCC_ARGB32 == V4L2_PIX_FMT_ABGR32
    && FOURCC_RGB565 == V4L2_PIX_FMT_RGB565 && FOURCC_RGB555 == V4L2_PIX_FMT_RGB555
    && FOURCC_GREY == V4L2_PIX_FMT_GREY && FOURCC_MJPEG == V4L2_PIX_FMT_MJPEG
    && FOURCC_JPEG == V4L2_PIX_FMT_JPEG, "device format codes");
static_assert(STANDARD_PAL_B == V4L2_STD_PAL_B && STANDARD_PAL_K == V4L2_STD_PAL_K
    && STANDARD_PAL_M == V4L2_STD_PAL_M && STANDARD_PAL_NC == V4L2_STD_PAL_Nc
    && STANDARD_PAL_60 == V4L2_STD_PAL_60 && STANDARD_NTSC_M == V4L2_STD_NTSC_M
    && STANDARD_NTSC_M_JP == V4L2_STD_NTSC_M_JP && STANDARD_NTSC_443 == V4L2_STD_NTSC_443
    && STANDARD_NTSC_M_KR == V4L2_STD_NTSC_M_KR && STANDARD_SECAM_B == V4L2_STD_SECAM_B
    && STANDARD_SECAM_LC == V4L2_STD_SECAM_LC && STANDARD_525_60 == V4L2_STD_525_60,
    "device standard bits");
static_assert((STANDARD_PAL_B | STANDARD_PAL_B1 | STANDARD_PAL_G | STANDARD_PAL_H
                  | STANDARD_PAL_I | STANDARD_PAL_D | STANDARD_PAL_D1 | STANDARD_PAL_K)
        == V4L2_STD_PAL
    && (STANDARD_SECAM_B | STANDARD_SECAM_D | STANDARD_SECAM_G | STANDARD_SECAM_H
           | STANDARD_SECAM_K | STANDARD_SECAM_K1 | STANDARD_SECAM_L | STANDARD_SECAM_LC)
        == V4L2_STD_SECAM);

namespace {

std::atomic<bool> readOnlyDevices{false};

// The drivers' fixed-size names are not always terminated.
template <size_t N>
std::string NameOf(const __u8 (&name)[N])
{
    const char* text = reinterpret_cast<const char*>(name);
    return std::string(text, strnlen(text, N));
}

V4l2Control ControlFrom(const v4l2_queryctrl& query)
{
    V4l2Control control;
    control.id = query.id;
    control.name = NameOf(query.name);
    control.type = query.type;
    control.minimum = query.minimum;
    control.maximum = query.maximum;
    control.step = query.step;
    control.defaultValue = query.default_value;
    control.flags = query.flags;
    return control;
}

void FormatTo(const v4l2_pix_format& pix, V4l2Format& format)
{
    format.width = pix.width;
    format.height = pix.height;
    format.fourcc = pix.pixelformat;
    format.field = pix.field;
    format.bytesPerLine = pix.bytesperline;
    format.sizeImage = pix.sizeimage;
}

v4l2_format FormatFrom(const V4l2Format& format)
{
    v4l2_format request{};
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.fmt.pix.width = format.width;
    request.fmt.pix.height = format.height;
    request.fmt.pix.pixelformat = format.fourcc;
    request.fmt.pix.field = format.field;
    return request;
}

}

V4l2Device::Descriptor::~Descriptor()
{
    if (fd >= 0)
        ::close(fd);
}

V4l2Device::Descriptor::Descriptor(Descriptor&& other) noexcept
    : fd(other.fd)
{
    other.fd = -1;
}

V4l2Device::Descriptor& V4l2Device::Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

V4l2Device::Mapping::~Mapping()
{
    munmap(address, length);
}

void SetReadOnlyDevices(bool readOnly)
{
    readOnlyDevices.store(readOnly);
}

V4l2Device::V4l2Device() = default;

V4l2Device::~V4l2Device()
{
    Close();
}

status_t V4l2Device::StatusFor(int error)
{
    switch (error) {
    // An ioctl the device does not know: no V4L2 device, or a feature it lacks.
    case ENOTTY:
        return B_UNSUPPORTED;
    case ENODATA:
        return B_NAME_NOT_FOUND;
    case ENXIO:
        return status_for_errno(ENODEV);
    case EPIPE:
        return B_IO_ERROR;
    default:
        return status_for_errno(error);
    }
}

status_t V4l2Device::DeviceGone()
{
    return StatusFor(ENODEV);
}

status_t V4l2Device::Control(unsigned long request, void* argument) const
{
    if (descriptor.Get() < 0)
        return B_NO_INIT;
    int result;
    do {
        result = ioctl(descriptor.Get(), request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? StatusFor(errno) : B_OK;
}

status_t V4l2Device::Open(const std::string& devicePath)
{
    Close();
    int fd;
    do {
        fd = ::open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return StatusFor(errno);
    Descriptor opened(fd);
    descriptor = std::move(opened);
    v4l2_capability capability{};
    if (status_t status = Control(VIDIOC_QUERYCAP, &capability); status != B_OK) {
        Close();
        return status;
    }
    capabilities = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
        ? capability.device_caps : capability.capabilities;
    if (readOnlyDevices.load() && (capabilities & V4L2_CAP_READWRITE) != 0)
        capabilities &= ~uint32(V4L2_CAP_STREAMING);
    if ((capabilities & V4L2_CAP_VIDEO_CAPTURE) == 0
        || (capabilities & (V4L2_CAP_STREAMING | V4L2_CAP_READWRITE)) == 0) {
        Close();
        return B_UNSUPPORTED;
    }
    path = devicePath;
    card = NameOf(capability.card);
    driver = NameOf(capability.driver);
    busInfo = NameOf(capability.bus_info);
    return B_OK;
}

void V4l2Device::Close()
{
    StopStreaming();
    descriptor = Descriptor();
    path.clear();
    card.clear();
    driver.clear();
    busInfo.clear();
    capabilities = 0;
}

bool V4l2Device::IsOpen() const
{
    return descriptor.Get() >= 0;
}

const std::string& V4l2Device::Path() const
{
    return path;
}

const std::string& V4l2Device::Card() const
{
    return card;
}

const std::string& V4l2Device::Driver() const
{
    return driver;
}

const std::string& V4l2Device::BusInfo() const
{
    return busInfo;
}

bool V4l2Device::CanStream() const
{
    return (capabilities & V4L2_CAP_STREAMING) != 0;
}

bool V4l2Device::CanRead() const
{
    return (capabilities & V4L2_CAP_READWRITE) != 0;
}

status_t V4l2Device::GetInputs(std::vector<V4l2Input>& inputs)
{
    inputs.clear();
    for (uint32 index = 0;; index++) {
        v4l2_input input{};
        input.index = index;
        const status_t status = Control(VIDIOC_ENUMINPUT, &input);
        // The list ends with EINVAL.
        if (status == B_BAD_VALUE)
            return B_OK;
        if (status != B_OK)
            return status;
        V4l2Input entry;
        entry.index = input.index;
        entry.name = NameOf(input.name);
        entry.hasTuner = input.type == V4L2_INPUT_TYPE_TUNER;
        entry.tuner = input.tuner;
        entry.standards = input.std;
        entry.status = input.status;
        inputs.push_back(std::move(entry));
    }
}

status_t V4l2Device::GetInput(uint32& index)
{
    int value = 0;
    if (status_t status = Control(VIDIOC_G_INPUT, &value); status != B_OK)
        return status;
    index = uint32(value);
    return B_OK;
}

status_t V4l2Device::SetInput(uint32 index)
{
    int value = int(index);
    return Control(VIDIOC_S_INPUT, &value);
}

status_t V4l2Device::GetStandards(std::vector<V4l2Standard>& standards)
{
    standards.clear();
    for (uint32 index = 0;; index++) {
        v4l2_standard standard{};
        standard.index = index;
        const status_t status = Control(VIDIOC_ENUMSTD, &standard);
        // EINVAL ends the list; an input without standards answers ENODATA at once.
        if (status == B_BAD_VALUE || status == B_NAME_NOT_FOUND || status == B_UNSUPPORTED)
            return B_OK;
        if (status != B_OK)
            return status;
        V4l2Standard entry;
        entry.id = standard.id;
        entry.name = NameOf(standard.name);
        entry.frameNumerator = standard.frameperiod.numerator;
        entry.frameDenominator = standard.frameperiod.denominator;
        entry.lines = standard.framelines;
        standards.push_back(std::move(entry));
    }
}

status_t V4l2Device::GetStandard(uint64& standard)
{
    v4l2_std_id id = 0;
    if (status_t status = Control(VIDIOC_G_STD, &id); status != B_OK)
        return status;
    standard = id;
    return B_OK;
}

status_t V4l2Device::SetStandard(uint64 standard)
{
    v4l2_std_id id = standard;
    return Control(VIDIOC_S_STD, &id);
}

status_t V4l2Device::GetTuner(uint32 tuner, V4l2Tuner& description)
{
    v4l2_tuner query{};
    query.index = tuner;
    if (status_t status = Control(VIDIOC_G_TUNER, &query); status != B_OK)
        return status;
    description.name = NameOf(query.name);
    description.lowUnits = (query.capability & V4L2_TUNER_CAP_LOW) != 0;
    description.rangeLow = query.rangelow;
    description.rangeHigh = query.rangehigh;
    description.audioCapabilities = query.capability
        & (V4L2_TUNER_CAP_STEREO | V4L2_TUNER_CAP_LANG1 | V4L2_TUNER_CAP_LANG2);
    description.audioMode = query.audmode;
    description.signal = query.signal;
    return B_OK;
}

status_t V4l2Device::SetAudioMode(uint32 tuner, uint32 audioMode)
{
    v4l2_tuner request{};
    request.index = tuner;
    if (status_t status = Control(VIDIOC_G_TUNER, &request); status != B_OK)
        return status;
    request.audmode = audioMode;
    return Control(VIDIOC_S_TUNER, &request);
}

status_t V4l2Device::GetFrequency(uint32 tuner, uint32& frequency)
{
    v4l2_frequency query{};
    query.tuner = tuner;
    query.type = V4L2_TUNER_ANALOG_TV;
    if (status_t status = Control(VIDIOC_G_FREQUENCY, &query); status != B_OK)
        return status;
    frequency = query.frequency;
    return B_OK;
}

status_t V4l2Device::SetFrequency(uint32 tuner, uint32 frequency)
{
    // The tuner's type must come back with the request; reading it first gives it.
    v4l2_frequency request{};
    request.tuner = tuner;
    request.type = V4L2_TUNER_ANALOG_TV;
    if (status_t status = Control(VIDIOC_G_FREQUENCY, &request); status != B_OK)
        return status;
    request.frequency = frequency;
    return Control(VIDIOC_S_FREQUENCY, &request);
}

status_t V4l2Device::GetControls(std::vector<V4l2Control>& controls)
{
    controls.clear();
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    status_t status = Control(VIDIOC_QUERYCTRL, &query);
    if (status == B_OK) {
        while (status == B_OK) {
            if (query.type != V4L2_CTRL_TYPE_CTRL_CLASS
                && (query.flags & V4L2_CTRL_FLAG_DISABLED) == 0) {
                controls.push_back(ControlFrom(query));
            }
            query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
            status = Control(VIDIOC_QUERYCTRL, &query);
        }
        return status == B_BAD_VALUE ? B_OK : status;
    }
    if (status != B_BAD_VALUE && status != B_UNSUPPORTED)
        return status;
    // Older drivers know no "next": ask for each user control, then the private ones in turn.
    for (uint32 id = V4L2_CID_BASE; id < V4L2_CID_LASTP1; id++) {
        query = v4l2_queryctrl{};
        query.id = id;
        status = Control(VIDIOC_QUERYCTRL, &query);
        if (status == B_OK && (query.flags & V4L2_CTRL_FLAG_DISABLED) == 0)
            controls.push_back(ControlFrom(query));
        else if (status != B_OK && status != B_BAD_VALUE)
            return status;
    }
    for (uint32 id = V4L2_CID_PRIVATE_BASE;; id++) {
        query = v4l2_queryctrl{};
        query.id = id;
        status = Control(VIDIOC_QUERYCTRL, &query);
        if (status == B_BAD_VALUE)
            return B_OK;
        if (status != B_OK)
            return status;
        if ((query.flags & V4L2_CTRL_FLAG_DISABLED) == 0)
            controls.push_back(ControlFrom(query));
    }
}

status_t V4l2Device::QueryControl(uint32 id, V4l2Control& control)
{
    v4l2_queryctrl query{};
    query.id = id;
    if (status_t status = Control(VIDIOC_QUERYCTRL, &query); status != B_OK)
        return status;
    if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0)
        return B_BAD_VALUE;
    control = ControlFrom(query);
    return B_OK;
}

status_t V4l2Device::GetControl(uint32 id, int32& value)
{
    v4l2_control control{};
    control.id = id;
    if (status_t status = Control(VIDIOC_G_CTRL, &control); status != B_OK)
        return status;
    value = control.value;
    return B_OK;
}

status_t V4l2Device::SetControl(uint32 id, int32 value)
{
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return Control(VIDIOC_S_CTRL, &control);
}

status_t V4l2Device::GetPixelFormats(std::vector<V4l2PixelFormat>& formats)
{
    formats.clear();
    for (uint32 index = 0;; index++) {
        v4l2_fmtdesc description{};
        description.index = index;
        description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        const status_t status = Control(VIDIOC_ENUM_FMT, &description);
        if (status == B_BAD_VALUE)
            return B_OK;
        if (status != B_OK)
            return status;
        V4l2PixelFormat entry;
        entry.fourcc = description.pixelformat;
        entry.description = NameOf(description.description);
        entry.compressed = (description.flags & V4L2_FMT_FLAG_COMPRESSED) != 0;
        formats.push_back(std::move(entry));
    }
}

status_t V4l2Device::GetFormat(V4l2Format& format)
{
    v4l2_format query{};
    query.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (status_t status = Control(VIDIOC_G_FMT, &query); status != B_OK)
        return status;
    FormatTo(query.fmt.pix, format);
    return B_OK;
}

status_t V4l2Device::SetFormat(V4l2Format& format)
{
    if (streaming)
        return B_BUSY;
    v4l2_format request = FormatFrom(format);
    if (status_t status = Control(VIDIOC_S_FMT, &request); status != B_OK)
        return status;
    FormatTo(request.fmt.pix, format);
    return B_OK;
}

status_t V4l2Device::TryFormat(V4l2Format& format)
{
    v4l2_format request = FormatFrom(format);
    if (status_t status = Control(VIDIOC_TRY_FMT, &request); status != B_OK)
        return status;
    FormatTo(request.fmt.pix, format);
    return B_OK;
}

status_t V4l2Device::GetFrameInterval(uint32& numerator, uint32& denominator)
{
    v4l2_streamparm parameters{};
    parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (status_t status = Control(VIDIOC_G_PARM, &parameters); status != B_OK)
        return status;
    const v4l2_fract& period = parameters.parm.capture.timeperframe;
    if (period.numerator == 0 || period.denominator == 0)
        return B_UNSUPPORTED;
    numerator = period.numerator;
    denominator = period.denominator;
    return B_OK;
}

status_t V4l2Device::MapBuffers(uint32 bufferCount)
{
    v4l2_requestbuffers request{};
    request.count = bufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (status_t status = Control(VIDIOC_REQBUFS, &request); status != B_OK)
        return status;
    if (request.count == 0)
        return B_NO_MEMORY;
    for (uint32 index = 0; index < request.count; index++) {
        v4l2_buffer buffer{};
        buffer.index = index;
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (status_t status = Control(VIDIOC_QUERYBUF, &buffer); status != B_OK)
            return status;
        void* address = mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED,
            descriptor.Get(), buffer.m.offset);
        if (address == MAP_FAILED)
            return StatusFor(errno);
        mappings.push_back(std::make_unique<Mapping>(address, buffer.length));
    }
    for (uint32 index = 0; index < request.count; index++) {
        v4l2_buffer buffer{};
        buffer.index = index;
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (status_t status = Control(VIDIOC_QBUF, &buffer); status != B_OK)
            return status;
    }
    return B_OK;
}

status_t V4l2Device::StartStreaming(uint32 bufferCount)
{
    if (!IsOpen())
        return B_NO_INIT;
    if (streaming)
        return B_BUSY;
    if (!CanStream()) {
        V4l2Format format;
        if (status_t status = GetFormat(format); status != B_OK)
            return status;
        if (format.sizeImage == 0)
            return B_BAD_VALUE;
        readBuffer.assign(format.sizeImage, 0);
        readSequence = 0;
        streaming = true;
        return B_OK;
    }
    status_t status = MapBuffers(bufferCount);
    if (status == B_OK) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        status = Control(VIDIOC_STREAMON, &type);
    }
    streaming = true;
    if (status != B_OK)
        StopStreaming();
    return status;
}

void V4l2Device::StopStreaming()
{
    if (!streaming)
        return;
    streaming = false;
    readBuffer.clear();
    if (!CanStream())
        return;
    // Each may fail on a device that has gone; the mappings are released all the same.
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    (void)Control(VIDIOC_STREAMOFF, &type);
    mappings.clear();
    v4l2_requestbuffers request{};
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    (void)Control(VIDIOC_REQBUFS, &request);
}

bool V4l2Device::IsStreaming() const
{
    return streaming;
}

status_t V4l2Device::WaitForFrame(bigtime_t timeout)
{
    if (!streaming)
        return B_NO_INIT;
    pollfd entry{descriptor.Get(), POLLIN, 0};
    const bigtime_t deadline = system_time() + timeout;
    for (;;) {
        const bigtime_t left = deadline - system_time();
        const int result = poll(&entry, 1, left <= 0 ? 0 : int((left + 999) / 1000));
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return StatusFor(errno);
        if (result == 0)
            return B_TIMED_OUT;
        if ((entry.revents & POLLIN) != 0)
            return B_OK;
        if ((entry.revents & POLLHUP) != 0)
            return DeviceGone();
        if ((entry.revents & POLLNVAL) != 0)
            return B_FILE_ERROR;
        // POLLERR: the queue has stopped for an error; taking a frame tells which.
        V4l2Frame frame;
        const status_t status = DequeueFrame(frame);
        if (status == B_OK) {
            (void)RequeueFrame(frame);
            return B_IO_ERROR;
        }
        return status == B_WOULD_BLOCK ? B_IO_ERROR : status;
    }
}

status_t V4l2Device::DequeueFrame(V4l2Frame& frame)
{
    if (!streaming)
        return B_NO_INIT;
    if (!CanStream()) {
        ssize_t count;
        do {
            count = ::read(descriptor.Get(), readBuffer.data(), readBuffer.size());
        } while (count < 0 && errno == EINTR);
        if (count < 0)
            return StatusFor(errno);
        frame = V4l2Frame();
        frame.data = readBuffer.data();
        frame.bytesUsed = size_t(count);
        frame.sequence = readSequence++;
        frame.timestamp = system_time();
        return B_OK;
    }
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (status_t status = Control(VIDIOC_DQBUF, &buffer); status != B_OK)
        return status;
    if (buffer.index >= mappings.size())
        return B_BAD_DATA;
    const Mapping& mapping = *mappings[buffer.index];
    frame = V4l2Frame();
    frame.data = mapping.Data();
    frame.bytesUsed = std::min<size_t>(buffer.bytesused, mapping.Length());
    frame.index = buffer.index;
    frame.sequence = buffer.sequence;
    frame.field = buffer.field;
    frame.damaged = (buffer.flags & V4L2_BUF_FLAG_ERROR) != 0;
    // Monotonic stamps share system_time()'s clock; others are taken as of now.
    if ((buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC)
        frame.timestamp = bigtime_t(buffer.timestamp.tv_sec) * 1000000 + buffer.timestamp.tv_usec;
    else
        frame.timestamp = system_time();
    return B_OK;
}

status_t V4l2Device::RequeueFrame(const V4l2Frame& frame)
{
    if (!streaming)
        return B_NO_INIT;
    if (!CanStream())
        return B_OK;
    if (frame.index >= mappings.size())
        return B_BAD_INDEX;
    v4l2_buffer buffer{};
    buffer.index = frame.index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    return Control(VIDIOC_QBUF, &buffer);
}

}
