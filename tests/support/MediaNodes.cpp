#include "tests/support/MediaNodes.h"

#include "kits/interface/FrameView.h"
#include "kits/media/Buffer.h"
#include "kits/media/MediaTestHooks.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace test_support {

namespace {

// Room for the largest frame any test sends: full PAL in B_RGB32.
constexpr size_t OWN_BUFFER_SIZE = size_t(768) * 576 * 4;

std::chrono::microseconds Microseconds(bigtime_t timeout)
{
    return std::chrono::microseconds(timeout);
}

} // namespace

int32 CountFreeBuffers(BBufferGroup& group)
{
    std::vector<BBuffer*> taken;
    while (BBuffer* buffer = group.RequestBuffer(0, 0))
        taken.push_back(buffer);
    for (BBuffer* buffer : taken)
        buffer->Recycle();
    return int32(taken.size());
}

media_format RawVideo(color_space space, uint32 width, uint32 lines)
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    format.u.raw_video = media_raw_video_format::wildcard;
    format.u.raw_video.display.format = space;
    format.u.raw_video.display.line_width = width;
    format.u.raw_video.display.line_count = lines;
    return format;
}

status_t ConnectFirstFree(const media_node& producer, const media_node& consumer,
    media_format* ioFormat, media_output* outOutput, media_input* outInput)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    media_output freeOutput;
    media_input freeInput;
    int32 outputs = 0;
    int32 inputs = 0;
    if (status_t status = roster->GetFreeOutputsFor(producer, &freeOutput, 1, &outputs,
            B_MEDIA_RAW_VIDEO);
        status != B_OK) {
        return status;
    }
    if (status_t status = roster->GetFreeInputsFor(consumer, &freeInput, 1, &inputs,
            B_MEDIA_RAW_VIDEO);
        status != B_OK) {
        return status;
    }
    if (outputs != 1 || inputs != 1)
        return B_MEDIA_ALREADY_CONNECTED;
    return roster->Connect(freeOutput.source, freeInput.destination, ioFormat, outOutput,
        outInput);
}

BParameter* FindParameter(BParameterWeb* web, const char* name)
{
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
            return web->ParameterAt(i);
    }
    return nullptr;
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

TestConsumer::TestConsumer(Options options, const char* name)
    : BMediaNode(name),
      BBufferConsumer(B_MEDIA_RAW_VIDEO),
      options(std::move(options))
{
    SetEventLatency(0);
}

TestConsumer::~TestConsumer()
{
    Quit();
    RecycleHeld();
}

BMediaAddOn* TestConsumer::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

std::vector<TestConsumer::ReceivedFrame> TestConsumer::Frames() const
{
    std::lock_guard guard(lock);
    return frames;
}

size_t TestConsumer::CountFrames() const
{
    std::lock_guard guard(lock);
    return frames.size();
}

bool TestConsumer::WaitForFrames(size_t count, bigtime_t timeout)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, Microseconds(timeout), [&] { return frames.size() >= count; });
}

bool TestConsumer::WaitForFrame(size_t after,
    const std::function<bool(const ReceivedFrame&)>& test, bigtime_t timeout)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, Microseconds(timeout), [&] {
        return std::any_of(frames.begin() + std::ptrdiff_t(std::min(after, frames.size())),
            frames.end(), test);
    });
}

int32 TestConsumer::Handled() const
{
    std::lock_guard guard(lock);
    return handled;
}

std::vector<std::string> TestConsumer::Log() const
{
    std::lock_guard guard(lock);
    return log;
}

media_input TestConsumer::Input() const
{
    std::lock_guard guard(lock);
    return input;
}

BBufferGroup* TestConsumer::Group() const
{
    std::lock_guard guard(lock);
    return group.get();
}

void TestConsumer::AddMark(bigtime_t performanceTime)
{
    EventQueue()->AddEvent(media_timed_event(performanceTime, EVENT_MARK));
}

std::vector<TestConsumer::Mark> TestConsumer::Marks() const
{
    std::lock_guard guard(lock);
    return marks;
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

void TestConsumer::RecycleHeld()
{
    for (BBuffer* buffer : held)
        buffer->Recycle();
    held.clear();
}

void TestConsumer::NodeRegistered()
{
    {
        std::lock_guard guard(lock);
        input.node = Node();
        input.destination = {ControlPort(), 0};
        input.source = media_source::null;
        input.format.type = B_MEDIA_RAW_VIDEO;
        input.format.u.raw_video = media_raw_video_format::wildcard;
        std::strcpy(input.name, "Test input");
    }
    BMediaEventLooper::NodeRegistered();
}

void TestConsumer::HandleEvent(const media_timed_event* event, bigtime_t lateness, bool)
{
    switch (event->type) {
    case BTimedEventQueue::B_HANDLE_BUFFER: {
        static_cast<BBuffer*>(event->pointer)->Recycle();
        std::lock_guard guard(lock);
        handled++;
        break;
    }
    case EVENT_BLOCK:
        blocker.Hold();
        break;
    case EVENT_MARK: {
        std::lock_guard guard(lock);
        marks.push_back(Mark{event->event_time, lateness, TimeSource()->Now()});
        break;
    }
    default:
        break;
    }
    changed.notify_all();
}

status_t TestConsumer::AcceptFormat(const media_destination& destination, media_format* format)
{
    if (!(destination == Input().destination))
        return B_MEDIA_BAD_DESTINATION;
    if (format->type == B_MEDIA_NO_TYPE)
        format->type = B_MEDIA_RAW_VIDEO;
    if (format->type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    if (options.spaces.empty())
        return B_OK;
    color_space& space = format->u.raw_video.display.format;
    if (space == B_NO_COLOR_SPACE)
        space = options.spaces.front();
    if (std::find(options.spaces.begin(), options.spaces.end(), space) == options.spaces.end())
        return B_MEDIA_BAD_FORMAT;
    return B_OK;
}

status_t TestConsumer::GetNextInput(int32* cookie, media_input* outInput)
{
    if (*cookie != 0)
        return B_MEDIA_BAD_DESTINATION;
    *outInput = Input();
    ++*cookie;
    return B_OK;
}

void TestConsumer::DisposeInputCookie(int32)
{
}

void TestConsumer::BufferReceived(BBuffer* buffer)
{
    ReceivedFrame frame;
    frame.startTime = buffer->Header()->start_time;
    frame.arrival = system_time();
    frame.sequence = buffer->Header()->u.raw_video.field_sequence;
    frame.sizeUsed = buffer->SizeUsed();
    frame.sizeAvailable = buffer->SizeAvailable();
    frame.thread = find_thread(nullptr);
    {
        std::lock_guard guard(lock);
        frame.fromGroup = groupBuffers.count(buffer) != 0;
        frame.connection = connection;
        frame.display = input.format.u.raw_video.display;
    }
    auto* bits = static_cast<uint8*>(buffer->Data());
    if (options.keepPixels)
        frame.pixels.assign(bits, bits + frame.sizeUsed);
    if (options.measure)
        frame.measured = options.measure(bits, frame.sizeUsed, frame.display);

    if (options.holdBuffers) {
        held.push_back(buffer);
    } else if (options.queueBuffers) {
        EventQueue()->AddEvent(media_timed_event(frame.startTime,
            BTimedEventQueue::B_HANDLE_BUFFER, buffer, BTimedEventQueue::B_RECYCLE_BUFFER));
    } else {
        buffer->Recycle();
    }
    {
        std::lock_guard guard(lock);
        frames.push_back(std::move(frame));
    }
    changed.notify_all();
}

void TestConsumer::ProducerDataStatus(const media_destination&, int32 status, bigtime_t)
{
    Note("DataStatus " + std::to_string(status));
}

status_t TestConsumer::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
    media_node_id* outTimeSource)
{
    if (!(forWhom == Input().destination))
        return B_MEDIA_BAD_DESTINATION;
    *outLatency = options.latency;
    *outTimeSource = TimeSource()->ID();
    return B_OK;
}

status_t TestConsumer::Connected(const media_source& producer, const media_destination& where,
    const media_format& withFormat, media_input* outInput)
{
    const media_video_display_info& display = withFormat.u.raw_video.display;
    Note("Connected " + std::to_string(display.line_width) + "x"
        + std::to_string(display.line_count));
    if (options.connectedResult != B_OK)
        return options.connectedResult;
    if (!(where == Input().destination))
        return B_MEDIA_BAD_DESTINATION;

    std::unique_ptr<BBufferGroup> made;
    std::set<BBuffer*> madeBuffers;
    if (options.handGroup) {
        made = std::make_unique<BBufferGroup>(size_t(display.bytes_per_row) * display.line_count,
            3);
        if (made->InitCheck() != B_OK)
            return made->InitCheck();
        BBuffer* list[3] = {};
        made->GetBufferList(3, list);
        madeBuffers.insert(std::begin(list), std::end(list));
    }
    {
        std::lock_guard guard(lock);
        input.source = producer;
        input.format = withFormat;
        *outInput = input;
        connection++;
        if (made != nullptr) {
            group = std::move(made);
            groupBuffers = std::move(madeBuffers);
        } else {
            groupBuffers.clear();
        }
    }
    if (options.handGroup)
        SetOutputBuffersFor(producer, where, Group(), nullptr, nullptr);
    return B_OK;
}

void TestConsumer::Disconnected(const media_source&, const media_destination&)
{
    Note("Disconnected");
    RecycleHeld();
    std::lock_guard guard(lock);
    input.source = media_source::null;
}

status_t TestConsumer::FormatChanged(const media_source&, const media_destination&, int32,
    const media_format& format)
{
    Note("FormatChanged " + std::to_string(format.u.raw_video.display.line_width));
    if (options.formatChangedResult != B_OK)
        return options.formatChangedResult;
    std::lock_guard guard(lock);
    input.format = format;
    return B_OK;
}

// TestProducer

TestProducer::TestProducer(Options options, const char* name)
    : BMediaNode(name),
      BBufferProducer(B_MEDIA_RAW_VIDEO),
      options(options),
      ownGroup(OWN_BUFFER_SIZE, 3)
{
    output.source = {ControlPort(), 7};
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

    const int32 zero = 0;
    const float level = 0.0f;
    const float stereo[2] = {-20.0f, -20.0f};
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

status_t TestProducer::SendFrame(bigtime_t startTime, const Painter& paint)
{
    return SendFrameTo(Output().destination, startTime, paint);
}

status_t TestProducer::SendFrameTo(const media_destination& destination, bigtime_t startTime,
    const Painter& paint)
{
    const media_output target = Output();
    BBufferGroup* into = Group();
    const media_video_display_info& display = target.format.u.raw_video.display;
    const size_t bytes = size_t(display.bytes_per_row) * display.line_count;
    BBuffer* buffer = into->RequestBuffer(bytes, AWAIT_TIMEOUT);
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
    if (!changed.wait_for(guard, Microseconds(AWAIT_TIMEOUT), [&] { return changeAnswered; }))
        return B_TIMED_OUT;
    return changeResult;
}

void TestProducer::ReplaceWeb()
{
    auto* web = new BParameterWeb;
    web->MakeGroup("Other")->MakeDiscreteParameter(9, B_MEDIA_RAW_VIDEO, "Replaced",
        B_GENERIC);
    SetParameterWeb(web);
}

BBufferGroup* TestProducer::Group()
{
    std::lock_guard guard(lock);
    return options.ownBuffers || offered == nullptr ? &ownGroup : offered;
}

BBufferGroup* TestProducer::OfferedGroup()
{
    std::lock_guard guard(lock);
    return offered;
}

BBufferGroup* TestProducer::OwnGroup()
{
    return &ownGroup;
}

int32 TestProducer::GroupsOffered()
{
    std::lock_guard guard(lock);
    return groupsOffered;
}

std::vector<std::string> TestProducer::Log()
{
    std::lock_guard guard(lock);
    return log;
}

media_output TestProducer::Output()
{
    std::lock_guard guard(lock);
    return output;
}

std::vector<thread_id> TestProducer::ParameterThreads()
{
    std::lock_guard guard(lock);
    return parameterThreads;
}

BMediaNode::run_mode TestProducer::LastRunMode()
{
    std::lock_guard guard(lock);
    return lastRunMode;
}

void TestProducer::Note(const std::string& line)
{
    {
        std::lock_guard guard(lock);
        log.push_back(line);
    }
    changed.notify_all();
}

void TestProducer::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    if (event->type == EVENT_BLOCK) {
        blocker.Hold();
        return;
    }
    if (event->type != EVENT_CHANGE_FORMAT)
        return;
    media_format format;
    media_output target;
    {
        std::lock_guard guard(lock);
        format = pendingFormat;
        target = output;
    }
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
    if (!(source == Output().source))
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
        if (group != nullptr)
            groupsOffered++;
    }
    Note(group != nullptr ? "SetBufferGroup" : "SetBufferGroup null");
    return B_OK;
}

status_t TestProducer::PrepareToConnect(const media_source& what,
    const media_destination& where, media_format* format, media_source* outSource,
    char* outName)
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
    offered = nullptr;
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

void TestTimeSource::Freeze(bigtime_t performanceTime)
{
    PublishTime(performanceTime, RealTime(), 0.0f);
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

// MediaNodesTest

void MediaNodesTest::SetUp()
{
    roster = BMediaRoster::Roster();
    ASSERT_NE(roster, nullptr);
    producer = std::make_unique<TestProducer>(producerOptions);
    consumer = std::make_unique<TestConsumer>(consumerOptions);
    ASSERT_EQ(roster->RegisterNode(producer.get()), B_OK);
    ASSERT_EQ(roster->RegisterNode(consumer.get()), B_OK);
}

void MediaNodesTest::TearDown()
{
    kits::media::ResetMediaFaults();
    for (BMediaNode* node : {static_cast<BMediaNode*>(consumer.get()),
             static_cast<BMediaNode*>(producer.get())}) {
        if (node != nullptr)
            roster->UnregisterNode(node);
    }
    consumer.reset();
    producer.reset();
}

status_t MediaNodesTest::ConnectNodes(const media_format& format)
{
    connectedFormat = format;
    return ConnectFirstFree(producer->Node(), consumer->Node(), &connectedFormat, &output,
        &input);
}

status_t MediaNodesTest::DisconnectNodes()
{
    return roster->Disconnect(output.node.node, output.source, input.node.node,
        input.destination);
}

} // namespace test_support
