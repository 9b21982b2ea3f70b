#include "tests/support/TestProducer.h"

#include "kits/interface/FrameView.h"
#include "kits/media/Buffer.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"

#include <chrono>
#include <cstring>

namespace test_support {

namespace {

// Room for the largest frame any test sends: full PAL in B_RGB32.
constexpr size_t OWN_BUFFER_SIZE = size_t(768) * 576 * 4;

// Queued by ChangeFormatTo.
constexpr int32 EVENT_CHANGE_FORMAT = EVENT_BLOCK + 1;

} // namespace

TestProducer::TestProducer(Options options, const char* name)
    : BMediaNode(name), BBufferProducer(B_MEDIA_RAW_VIDEO), options(options),
      ownGroup(OWN_BUFFER_SIZE, 3)
{
    output.source = {ControlPort(), 7};
    output.format.type = B_MEDIA_RAW_VIDEO;
    std::strcpy(output.name, "Test output");

    auto* web = new BParameterWeb;
    BParameterGroup* tuner = web->MakeGroup("Tuner");
    BDiscreteParameter* channel
        = tuner->MakeDiscreteParameter(1, B_MEDIA_RAW_VIDEO, "Channel", B_TUNER_CHANNEL);
    channel->AddItem(0, "E2");
    channel->AddItem(1, "E3");
    channel->AddItem(2, "E4");
    BParameterGroup* picture = web->MakeGroup("Picture");
    picture->MakeContinuousParameter(
        2, B_MEDIA_RAW_VIDEO, "Brightness", B_BRIGHTNESS, "", -128.0f, 127.0f, 1.0f);
    BDiscreteParameter* standard
        = tuner->MakeDiscreteParameter(3, B_MEDIA_RAW_VIDEO, "Video Format", B_VIDEO_FORMAT);
    standard->AddItem(1, "NTSC");
    standard->AddItem(3, "PAL");
    BContinuousParameter* volume = picture->MakeContinuousParameter(
        4, B_MEDIA_RAW_AUDIO, "Volume", B_GAIN, B_UNIT_DB, -60.0f, 20.0f, 0.5f);
    volume->SetChannelCount(2);
    picture->MakeNullParameter(5, B_MEDIA_NO_TYPE, "Label", B_GENERIC);
    picture->MakeGroup("Switches")->MakeDiscreteParameter(6, B_MEDIA_RAW_VIDEO, "Gamma", B_ENABLE);
    SetParameterWeb(web);
}

TestProducer::~TestProducer()
{
    Quit();
}

status_t TestProducer::SendFrame(bigtime_t startTime, const Painter& paint)
{
    return SendFrameTo(Output().destination, startTime, paint);
}

status_t TestProducer::SendFrameTo(
    const media_destination& destination, bigtime_t startTime, const Painter& paint)
{
    const media_output target = Output();
    const media_video_display_info& display = target.format.u.raw_video.display;
    const size_t bytes = size_t(display.bytes_per_row) * display.line_count;
    BBuffer* buffer = Group()->RequestBuffer(bytes, AWAIT_TIMEOUT);
    if (buffer == nullptr)
        return B_TIMED_OUT;
    if (paint)
        paint(static_cast<uint8*>(buffer->Data()), display);
    buffer->SetSizeUsed(bytes);
    buffer->Header()->type = B_MEDIA_RAW_VIDEO;
    buffer->Header()->start_time = startTime;
    return SendBuffer(buffer, target.source, destination);
}

status_t TestProducer::ChangeFormatTo(const media_format& format)
{
    {
        std::lock_guard guard(lock);
        pendingFormat = format;
        changeAnswered = false;
    }
    EventQueue()->AddEvent(media_timed_event(TimeSource()->Now(), EVENT_CHANGE_FORMAT));
    std::unique_lock guard(lock);
    if (!changed.wait_for(
            guard, std::chrono::microseconds(AWAIT_TIMEOUT), [&] { return changeAnswered; })) {
        return B_TIMED_OUT;
    }
    return changeResult;
}

void TestProducer::ReplaceWeb()
{
    auto* web = new BParameterWeb;
    web->MakeGroup("Other")->MakeDiscreteParameter(9, B_MEDIA_RAW_VIDEO, "Replaced", B_GENERIC);
    SetParameterWeb(web);
}

BBufferGroup* TestProducer::Group()
{
    std::lock_guard guard(lock);
    return options.ownBuffers || offered == nullptr ? &ownGroup : offered;
}

void TestProducer::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    if (event->type == EVENT_BLOCK)
        blocker.Hold();
    if (event->type != EVENT_CHANGE_FORMAT)
        return;
    media_format format = Locked(pendingFormat);
    const media_output target = Output();
    const status_t status = ChangeFormat(target.source, target.destination, &format);
    {
        std::lock_guard guard(lock);
        if (status == B_OK)
            output.format = format;
        changeResult = status;
        changeAnswered = true;
    }
    changed.notify_all();
}

void TestProducer::SetRunMode(run_mode mode)
{
    std::lock_guard guard(lock);
    lastRunMode = mode;
}

status_t TestProducer::FormatSuggestionRequested(media_type, int32, media_format*)
{
    return B_MEDIA_BAD_FORMAT;
}

status_t TestProducer::FormatProposal(const media_source& source, media_format* format)
{
    if (!(source == Output().source))
        return B_MEDIA_BAD_SOURCE;
    if (format->type == B_MEDIA_NO_TYPE)
        format->type = B_MEDIA_RAW_VIDEO;
    if (format->type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    // Wildcards become 64 by 48 interlaced at 50 fields a second, top line first.
    media_raw_video_format& video = format->u.raw_video;
    video.display.line_width = video.display.line_width != 0 ? video.display.line_width : 64;
    video.display.line_count = video.display.line_count != 0 ? video.display.line_count : 48;
    video.field_rate = video.field_rate != 0.0f ? video.field_rate : 50.0f;
    video.interlace = video.interlace != 0 ? video.interlace : 2;
    video.orientation = video.orientation != 0 ? video.orientation : B_VIDEO_TOP_LEFT_RIGHT;
    return B_OK;
}

status_t TestProducer::FormatChangeRequested(
    const media_source&, const media_destination&, media_format*, int32*)
{
    return B_MEDIA_BAD_FORMAT;
}

status_t TestProducer::GetNextOutput(int32* cookie, media_output* outOutput)
{
    if (*cookie != 0)
        return B_BAD_INDEX;
    *outOutput = Output();
    outOutput->node = Node();
    ++*cookie;
    return B_OK;
}

status_t TestProducer::DisposeOutputCookie(int32)
{
    return B_OK;
}

status_t TestProducer::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
    {
        std::lock_guard guard(lock);
        if (!(forSource == output.source))
            return B_MEDIA_BAD_SOURCE;
        offered = group;
        groupsOffered += group != nullptr ? 1 : 0;
    }
    Note(group != nullptr ? "SetBufferGroup" : "SetBufferGroup null");
    return B_OK;
}

status_t TestProducer::PrepareToConnect(const media_source& what, const media_destination& where,
    media_format* format, media_source* outSource, char* outName)
{
    Note("PrepareToConnect");
    if (options.prepareResult != B_OK)
        return options.prepareResult;
    std::lock_guard guard(lock);
    if (!(what == output.source))
        return B_MEDIA_BAD_SOURCE;
    if (!(output.destination == media_destination::null))
        return B_MEDIA_ALREADY_CONNECTED;
    media_video_display_info& display = format->u.raw_video.display;
    if (display.bytes_per_row == 0)
        display.bytes_per_row = display.line_width * uint32(BytesPerPixel(display.format));
    output.destination = where;
    output.format = *format;
    *outSource = output.source;
    std::strcpy(outName, output.name);
    return B_OK;
}

void TestProducer::Connect(status_t error, const media_source&, const media_destination&,
    const media_format& format, char*)
{
    Note("Connect " + std::to_string(error));
    std::lock_guard guard(lock);
    if (error != B_OK)
        output.destination = media_destination::null;
    else
        output.format = format;
}

void TestProducer::Disconnect(const media_source&, const media_destination&)
{
    Note("Disconnect");
    std::lock_guard guard(lock);
    output.destination = media_destination::null;
    offered = nullptr;
}

void TestProducer::LateNoticeReceived(const media_source&, bigtime_t howMuch, bigtime_t)
{
    Note("Late " + std::to_string(howMuch));
}

void TestProducer::EnableOutput(const media_source&, bool, int32*)
{
}

status_t TestProducer::GetParameterValue(
    int32 id, bigtime_t* lastChange, void* value, size_t* ioSize)
{
    std::lock_guard guard(lock);
    parameterThreads.push_back(find_thread(nullptr));
    const auto found = values.find(id);
    const std::vector<uint8> stored
        = found != values.end() ? found->second : std::vector<uint8>(*ioSize);
    if (*ioSize < stored.size())
        return B_NO_MEMORY;
    std::memcpy(value, stored.data(), stored.size());
    *ioSize = stored.size();
    *lastChange = 0;
    return B_OK;
}

void TestProducer::SetParameterValue(int32 id, bigtime_t, const void* value, size_t size)
{
    std::lock_guard guard(lock);
    parameterThreads.push_back(find_thread(nullptr));
    auto* bytes = static_cast<const uint8*>(value);
    values[id].assign(bytes, bytes + size);
}

} // namespace test_support
