#include "tests/support/MediaNodes.h"

#include "kits/media/Buffer.h"
#include "kits/media/ParameterWeb.h"

#include <chrono>
#include <cstring>

namespace test_support {

int32 CountFreeBuffers(BBufferGroup& group)
{
    std::vector<BBuffer*> taken;
    while (BBuffer* buffer = group.RequestBuffer(0, 0))
        taken.push_back(buffer);
    for (BBuffer* buffer : taken)
        buffer->Recycle();
    return int32(taken.size());
}

// Blocker

void Blocker::BlockControlThread(BMediaEventLooper* node)
{
    {
        std::lock_guard guard(lock);
        released = false;
    }
    node->EventQueue()->AddEvent(media_timed_event(node->TimeSource()->Now(), EVENT_BLOCK));
    Await([this] { return Holding(); });
}

void Blocker::Hold()
{
    std::unique_lock guard(lock);
    holding = true;
    changed.notify_all();
    changed.wait_for(guard, std::chrono::seconds(10), [this] { return released; });
    holding = false;
}

void Blocker::Release()
{
    {
        std::lock_guard guard(lock);
        released = true;
    }
    changed.notify_all();
}

bool Blocker::Holding()
{
    std::lock_guard guard(lock);
    return holding;
}

// TestConsumer

TestConsumer::TestConsumer(const char* name)
    : BMediaNode(name),
      BBufferConsumer(B_MEDIA_RAW_VIDEO)
{
    SetEventLatency(0);
}

TestConsumer::~TestConsumer()
{
    Quit();
}

BMediaAddOn* TestConsumer::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

void TestConsumer::Mark(bigtime_t performanceTime)
{
    EventQueue()->AddEvent(media_timed_event(performanceTime, EVENT_MARK));
}

status_t TestConsumer::NotifyLate(const media_source& source, bigtime_t howMuch)
{
    return NotifyLateProducer(source, howMuch, TimeSource()->Now());
}

void TestConsumer::Note(const std::string& line)
{
    {
        std::lock_guard guard(lock);
        log.push_back(line);
    }
    changed.notify_all();
}

void TestConsumer::NodeRegistered()
{
    input.destination.port = ControlPort();
    input.destination.id = 0;
    input.source = media_source::null;
    input.format.type = B_MEDIA_RAW_VIDEO;
    input.format.u.raw_video = media_raw_video_format::wildcard;
    input.format.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    Run();
}

void TestConsumer::HandleEvent(const media_timed_event* event, bigtime_t lateness, bool)
{
    switch (event->type) {
    case BTimedEventQueue::B_STOP: {
        EventQueue()->FlushEvents(event->event_time, BTimedEventQueue::B_ALWAYS, true,
            BTimedEventQueue::B_HANDLE_BUFFER);
        std::lock_guard guard(lock);
        stops++;
        break;
    }
    case BTimedEventQueue::B_HANDLE_BUFFER: {
        auto* buffer = static_cast<BBuffer*>(event->pointer);
        {
            std::lock_guard guard(lock);
            handled++;
            if (groupBuffers.count(buffer) != 0)
                handledOwn++;
        }
        buffer->Recycle();
        break;
    }
    case EVENT_BLOCK:
        blocker.Hold();
        break;
    case EVENT_MARK: {
        std::lock_guard guard(lock);
        marks.push_back(Marked{event->event_time, lateness, TimeSource()->Now()});
        break;
    }
    default:
        break;
    }
    changed.notify_all();
}

status_t TestConsumer::AcceptFormat(const media_destination& destination, media_format* format)
{
    if (!(destination == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    if (format->type == B_MEDIA_NO_TYPE)
        format->type = B_MEDIA_RAW_VIDEO;
    if (format->type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    color_space& space = format->u.raw_video.display.format;
    if (space == B_NO_COLOR_SPACE)
        space = B_RGB32;
    if (space != B_RGB32 && space != B_RGB16)
        return B_MEDIA_BAD_FORMAT;
    return B_OK;
}

status_t TestConsumer::GetNextInput(int32* cookie, media_input* outInput)
{
    if (*cookie > 0)
        return B_MEDIA_BAD_DESTINATION;
    input.node = Node();
    std::strcpy(input.name, "Test input");
    *outInput = input;
    ++*cookie;
    return B_OK;
}

void TestConsumer::DisposeInputCookie(int32)
{
}

void TestConsumer::BufferReceived(BBuffer* buffer)
{
    {
        std::lock_guard guard(lock);
        receiveThreads.push_back(find_thread(nullptr));
    }
    if (RunState() == B_STOPPED) {
        {
            std::lock_guard guard(lock);
            recycledWhileStopped++;
        }
        buffer->Recycle();
        changed.notify_all();
        return;
    }
    EventQueue()->AddEvent(media_timed_event(buffer->Header()->start_time,
        BTimedEventQueue::B_HANDLE_BUFFER, buffer, BTimedEventQueue::B_RECYCLE_BUFFER));
}

void TestConsumer::ProducerDataStatus(const media_destination&, int32 status, bigtime_t)
{
    Note("DataStatus " + std::to_string(status));
}

status_t TestConsumer::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
    media_node_id* outTimeSource)
{
    if (!(forWhom == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    *outLatency = latency;
    *outTimeSource = TimeSource()->ID();
    return B_OK;
}

status_t TestConsumer::Connected(const media_source& producer, const media_destination& where,
    const media_format& withFormat, media_input* outInput)
{
    const media_video_display_info& display = withFormat.u.raw_video.display;
    Note("Connected " + std::to_string(display.line_width) + "x"
        + std::to_string(display.line_count));
    if (connectedResult != B_OK)
        return connectedResult;
    if (!(where == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    input.source = producer;
    input.format = withFormat;
    input.node = Node();
    *outInput = input;
    if (!offerGroup)
        return B_OK;

    // Three buffers cloned from areas that are deleted right away, as the
    // program's consumer does with its bitmaps.
    size_t frame = size_t(display.bytes_per_row) * display.line_count;
    size_t areaSize = (frame + B_PAGE_SIZE - 1) / B_PAGE_SIZE * B_PAGE_SIZE;
    auto made = std::make_unique<BBufferGroup>();
    std::set<BBuffer*> made_buffers;
    for (int32 i = 0; i < 3; i++) {
        void* address = nullptr;
        area_id area = create_area("test frame", &address, B_ANY_ADDRESS, areaSize,
            B_FULL_LOCK, B_READ_AREA | B_WRITE_AREA);
        if (area < 0)
            return B_ERROR;
        buffer_clone_info info;
        info.area = area;
        info.size = frame;
        info.flags = i;
        BBuffer* buffer = nullptr;
        status_t status = made->AddBuffer(info, &buffer);
        delete_area(area);
        if (status != B_OK)
            return status;
        made_buffers.insert(buffer);
    }
    {
        std::lock_guard guard(lock);
        groupBuffers = made_buffers;
        group = made.get();
    }
    ownedGroup = std::move(made);
    int32 changeTag = 1;
    SetOutputBuffersFor(producer, media_destination::null, group, nullptr, &changeTag, true);
    return B_OK;
}

void TestConsumer::Disconnected(const media_source& producer, const media_destination& where)
{
    Note("Disconnected");
    if (producer == input.source && where == input.destination)
        input.source = media_source::null;
}

status_t TestConsumer::FormatChanged(const media_source&, const media_destination&, int32,
    const media_format& format)
{
    Note("FormatChanged " + std::to_string(format.u.raw_video.display.line_width));
    input.format = format;
    return B_OK;
}

// TestProducer

TestProducer::TestProducer(const char* name)
    : BMediaNode(name),
      BBufferProducer(B_MEDIA_RAW_VIDEO)
{
    output.source.port = ControlPort();
    output.source.id = 7;
    output.format.type = B_MEDIA_RAW_VIDEO;
    std::strcpy(output.name, "Test output");

    auto* web = new BParameterWeb;
    BParameterGroup* tuner = web->MakeGroup("Tuner");
    BDiscreteParameter* channel = tuner->MakeDiscreteParameter(1, B_MEDIA_RAW_VIDEO, "Channel",
        B_TUNER_CHANNEL);
    channel->AddItem(0, "E2");
    channel->AddItem(1, "E3");
    channel->AddItem(2, "E4");
    BParameterGroup* picture = web->MakeGroup("Picture");
    picture->MakeContinuousParameter(2, B_MEDIA_RAW_VIDEO, "Brightness", B_BRIGHTNESS, "",
        -128.0f, 127.0f, 1.0f);
    BDiscreteParameter* standard = tuner->MakeDiscreteParameter(3, B_MEDIA_RAW_VIDEO,
        "Video Format", B_VIDEO_FORMAT);
    standard->AddItem(1, "NTSC");
    standard->AddItem(3, "PAL");
    BContinuousParameter* volume = picture->MakeContinuousParameter(4, B_MEDIA_RAW_AUDIO,
        "Volume", B_GAIN, B_UNIT_DB, -60.0f, 20.0f, 0.5f);
    volume->SetChannelCount(2);
    picture->MakeNullParameter(5, B_MEDIA_NO_TYPE, "Label", B_GENERIC);
    picture->MakeGroup("Switches")->MakeDiscreteParameter(6, B_MEDIA_RAW_VIDEO, "Gamma",
        B_ENABLE);
    SetParameterWeb(web);

    int32 zero = 0;
    float level = 0.0f;
    float stereo[2] = {-20.0f, -20.0f};
    auto store = [this](int32 id, const void* value, size_t size) {
        auto* bytes = static_cast<const uint8*>(value);
        values[id].assign(bytes, bytes + size);
    };
    store(1, &zero, 4);
    store(2, &level, 4);
    store(3, &zero, 4);
    store(4, stereo, 8);
    store(6, &zero, 4);
}

TestProducer::~TestProducer()
{
    Quit();
}

BMediaAddOn* TestProducer::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

void TestProducer::ProduceAt(bigtime_t eventTime, bigtime_t bufferStart)
{
    EventQueue()->AddEvent(media_timed_event(eventTime, EVENT_PRODUCE, nullptr,
        BTimedEventQueue::B_NO_CLEANUP, 0, bufferStart));
}

status_t TestProducer::SendOwnBufferTo(const media_destination& destination)
{
    media_source source;
    size_t size = 0;
    {
        std::lock_guard guard(lock);
        source = output.source;
        size = FrameSize();
    }
    BBufferGroup group(size, 1);
    BBuffer* buffer = group.RequestBuffer(0, 0);
    if (buffer == nullptr)
        return B_ERROR;
    return SendBuffer(buffer, source, destination);
}

void TestProducer::ReplaceWeb()
{
    auto* web = new BParameterWeb;
    web->MakeGroup("Other")->MakeDiscreteParameter(9, B_MEDIA_RAW_VIDEO, "Replaced",
        B_GENERIC);
    SetParameterWeb(web);
}

BBufferGroup* TestProducer::OwnGroup()
{
    std::lock_guard guard(lock);
    return ownGroup.get();
}

void TestProducer::Note(const std::string& line)
{
    {
        std::lock_guard guard(lock);
        log.push_back(line);
    }
    changed.notify_all();
}

size_t TestProducer::FrameSize() const
{
    const media_video_display_info& display = output.format.u.raw_video.display;
    size_t size = size_t(display.bytes_per_row) * display.line_count;
    return size != 0 ? size : 64 * 48 * 4;
}

void TestProducer::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    if (event->type == EVENT_PRODUCE)
        SendOne(event->bigdata);
    else if (event->type == EVENT_BLOCK)
        blocker.Hold();
}

void TestProducer::SetRunMode(run_mode mode)
{
    std::lock_guard guard(lock);
    lastRunMode = mode;
}

void TestProducer::SendOne(bigtime_t start)
{
    BBufferGroup* group = consumerGroup;
    int32 from = 1;
    if (group == nullptr) {
        std::lock_guard guard(lock);
        if (!ownGroup)
            ownGroup = std::make_unique<BBufferGroup>(FrameSize(), 3);
        group = ownGroup.get();
        from = 2;
    }
    BBuffer* buffer = group->RequestBuffer(FrameSize(), 100000);
    status_t status = B_TIMED_OUT;
    if (buffer != nullptr) {
        std::memset(buffer->Data(), 0x5a, buffer->SizeAvailable());
        buffer->SetSizeUsed(FrameSize());
        buffer->Header()->start_time = start;
        status = SendBuffer(buffer, output.source, output.destination);
    }
    {
        std::lock_guard guard(lock);
        sent.push_back(status);
        sentFrom.push_back(from);
    }
    changed.notify_all();
}

status_t TestProducer::FormatSuggestionRequested(media_type type, int32, media_format* format)
{
    if (type != B_MEDIA_RAW_VIDEO && type != B_MEDIA_UNKNOWN_TYPE)
        return B_MEDIA_BAD_FORMAT;
    *format = media_format();
    format->type = B_MEDIA_RAW_VIDEO;
    format->u.raw_video.display.line_width = 64;
    format->u.raw_video.display.line_count = 48;
    return B_OK;
}

status_t TestProducer::FormatProposal(const media_source& source, media_format* format)
{
    if (!(source == output.source))
        return B_MEDIA_BAD_SOURCE;
    if (format->type == B_MEDIA_NO_TYPE)
        format->type = B_MEDIA_RAW_VIDEO;
    if (format->type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    media_raw_video_format& video = format->u.raw_video;
    if (video.display.line_width == 0)
        video.display.line_width = 64;
    if (video.display.line_count == 0)
        video.display.line_count = 48;
    if (video.field_rate == 0.0f)
        video.field_rate = 50.0f;
    if (video.interlace == 0)
        video.interlace = 2;
    if (video.orientation == 0)
        video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    return B_OK;
}

status_t TestProducer::FormatChangeRequested(const media_source&, const media_destination&,
    media_format*, int32*)
{
    return B_MEDIA_BAD_FORMAT;
}

status_t TestProducer::GetNextOutput(int32* cookie, media_output* outOutput)
{
    if (*cookie > 0)
        return B_BAD_INDEX;
    output.node = Node();
    *outOutput = output;
    ++*cookie;
    return B_OK;
}

status_t TestProducer::DisposeOutputCookie(int32)
{
    return B_OK;
}

status_t TestProducer::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
    if (!(forSource == output.source))
        return B_MEDIA_BAD_SOURCE;
    consumerGroup = group;
    Note(group != nullptr ? "SetBufferGroup" : "SetBufferGroup null");
    return B_OK;
}

status_t TestProducer::PrepareToConnect(const media_source& what,
    const media_destination& where, media_format* format, media_source* outSource,
    char* outName)
{
    Note("PrepareToConnect");
    if (!(what == output.source))
        return B_MEDIA_BAD_SOURCE;
    if (!(output.destination == media_destination::null))
        return B_MEDIA_ALREADY_CONNECTED;
    media_video_display_info& display = format->u.raw_video.display;
    if (display.bytes_per_row == 0)
        display.bytes_per_row = display.line_width * (display.format == B_RGB16 ? 2 : 4);
    std::lock_guard guard(lock);
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
    if (error != B_OK) {
        output.destination = media_destination::null;
        return;
    }
    output.format = format;
}

void TestProducer::Disconnect(const media_source&, const media_destination&)
{
    Note("Disconnect");
    std::lock_guard guard(lock);
    output.destination = media_destination::null;
    consumerGroup = nullptr;
}

void TestProducer::LateNoticeReceived(const media_source&, bigtime_t howMuch, bigtime_t)
{
    Note("Late " + std::to_string(howMuch));
}

void TestProducer::EnableOutput(const media_source&, bool enabled, int32*)
{
    Note(enabled ? "Enabled" : "Disabled");
}

status_t TestProducer::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
    size_t* ioSize)
{
    std::lock_guard guard(lock);
    parameterThreads.push_back(find_thread(nullptr));
    auto found = values.find(id);
    if (found == values.end())
        return B_BAD_INDEX;
    if (*ioSize < found->second.size())
        return B_NO_MEMORY;
    std::memcpy(value, found->second.data(), found->second.size());
    *ioSize = found->second.size();
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

// TestTimeSource

TestTimeSource::TestTimeSource()
    : BMediaNode("Test clock")
{
}

BMediaAddOn* TestTimeSource::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

status_t TestTimeSource::TimeSourceOp(const time_source_op_info& op, void*)
{
    switch (op.op) {
    case time_source_op_info::B_TIMESOURCE_START:
    case time_source_op_info::B_TIMESOURCE_STOP:
        PublishTime(PerformanceTimeFor(op.real_time), op.real_time, 1.0f);
        return B_OK;
    case time_source_op_info::B_TIMESOURCE_STOP_IMMEDIATELY:
        PublishTime(Now(), RealTime(), 1.0f);
        return B_OK;
    case time_source_op_info::B_TIMESOURCE_SEEK:
        PublishTime(op.performance_time, op.real_time, 1.0f);
        return B_OK;
    }
    return B_BAD_VALUE;
}

} // namespace test_support
