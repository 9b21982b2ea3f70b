#include "tests/support/TestConsumer.h"

#include "kits/media/Buffer.h"
#include "kits/media/MediaNodePrivate.h"
#include "kits/media/TimeSource.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace test_support {

namespace {

// Queued by AddMark.
constexpr int32 EVENT_MARK = EVENT_BLOCK + 1;

} // namespace

TestConsumer::TestConsumer(Options options, const char* name)
    : BMediaNode(name), BBufferConsumer(B_MEDIA_RAW_VIDEO), options(std::move(options))
{
    SetEventLatency(0);
    SetBuffersReceivedWhenDue(this->options.receiveWhenDue);
    input.destination = {ControlPort(), 0};
    input.format.type = B_MEDIA_RAW_VIDEO;
    input.format.u.raw_video = media_raw_video_format::wildcard;
    std::strcpy(input.name, "Test input");
}

TestConsumer::~TestConsumer()
{
    Quit();
    RecycleHeld();
}

size_t TestConsumer::CountFrames() const
{
    std::lock_guard guard(lock);
    return frames.size();
}

bool TestConsumer::WaitForFrames(size_t count, bigtime_t timeout)
{
    std::unique_lock guard(lock);
    return changed.wait_for(
        guard, std::chrono::microseconds(timeout), [&] { return frames.size() >= count; });
}

bool TestConsumer::WaitForFrame(
    size_t after, const std::function<bool(const ReceivedFrame&)>& test, bigtime_t timeout)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, std::chrono::microseconds(timeout), [&] {
        return std::any_of(
            frames.begin() + std::ptrdiff_t(std::min(after, frames.size())), frames.end(), test);
    });
}

BBufferGroup* TestConsumer::Group() const
{
    std::lock_guard guard(lock);
    return group.get();
}

uint64 TestConsumer::WakeUps() const
{
    return Port().WakeUps();
}

void TestConsumer::AddMark(bigtime_t performanceTime)
{
    EventQueue()->AddEvent(media_timed_event(performanceTime, EVENT_MARK));
}

status_t TestConsumer::NotifyLate(const media_source& source, bigtime_t howMuch)
{
    return NotifyLateProducer(source, howMuch, TimeSource()->Now());
}

void TestConsumer::RecycleHeld()
{
    for (BBuffer* buffer : held)
        buffer->Recycle();
    held.clear();
}

void TestConsumer::HandleEvent(const media_timed_event* event, bigtime_t lateness, bool)
{
    if (event->type == EVENT_BLOCK)
        blocker.Hold();
    if (event->type == BTimedEventQueue::B_HANDLE_BUFFER)
        static_cast<BBuffer*>(event->pointer)->Recycle();
    {
        std::lock_guard guard(lock);
        if (event->type == BTimedEventQueue::B_HANDLE_BUFFER)
            handled++;
        if (event->type == EVENT_MARK || event->type == BTimedEventQueue::B_HANDLE_BUFFER)
            marks.push_back(Mark{event->event_time, lateness, TimeSource()->Now()});
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
    outInput->node = Node();
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

status_t TestConsumer::GetLatencyFor(
    const media_destination& forWhom, bigtime_t* outLatency, media_node_id* outTimeSource)
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
    BBuffer* list[3] = {};
    if (options.handGroup) {
        made = std::make_unique<BBufferGroup>(
            size_t(display.bytes_per_row) * display.line_count, 3);
        if (made->InitCheck() != B_OK)
            return made->InitCheck();
        made->GetBufferList(3, list);
    }
    {
        std::lock_guard guard(lock);
        input.node = Node();
        input.source = producer;
        input.format = withFormat;
        *outInput = input;
        connection++;
        groupBuffers
            = options.handGroup ? std::set<BBuffer*>(list, list + 3) : std::set<BBuffer*>();
        if (made != nullptr)
            group = std::move(made);
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

status_t TestConsumer::FormatChanged(
    const media_source&, const media_destination&, int32, const media_format& format)
{
    Note("FormatChanged " + std::to_string(format.u.raw_video.display.line_width));
    if (options.formatChangedResult != B_OK)
        return options.formatChangedResult;
    std::lock_guard guard(lock);
    input.format = format;
    return B_OK;
}

} // namespace test_support
