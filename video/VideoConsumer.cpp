#include "video/VideoConsumer.h"

#include "kits/interface/Bitmap.h"
#include "kits/interface/FrameView.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Screen.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/TimeSource.h"
#include "video/DeInterlace.h"
#include "video/FindContrast.h"
#include "video/MotionDeInterlace.h"
#include "video/SubtitleContrast.h"

#include <algorithm>
#include <atomic>
#include <cstring>

// Lock order: the render lock ("renderSem") is taken before the view's window lock, each with a
// 2500 µs time-out in the frame path. A setter or GetLineContrast holds the render lock alone,
// so a window thread that waits in a setter while holding its window lock costs at most one
// skipped frame. "lineContrastSem" is only waited for with the render lock released.

namespace {

constexpr const char* NODE_NAME = "Consumer";
constexpr const char* INPUT_NAME = "Video Consumer";
constexpr uint32 API_VERSION = 0x500;
constexpr bigtime_t MY_LATENCY = 20000;
constexpr int32 CONTROL_PRIORITY = B_REAL_TIME_DISPLAY_PRIORITY;
// A frame is dropped rather than waiting longer for either lock: the next one comes in 40 ms.
constexpr bigtime_t RENDER_LOCK_TIMEOUT = 2500;
constexpr bigtime_t WINDOW_LOCK_TIMEOUT = 2500;
// At most this far from its start time a frame is still drawn.
constexpr bigtime_t DRAW_WINDOW = 25000;
constexpr bigtime_t RETRACE_TIMEOUT = 25000;
constexpr bigtime_t LINE_CONTRAST_TIMEOUT = 250000;
constexpr int32 BUFFER_COUNT = 3;

// Queued after a format change so the producer learns of the new group once it has had the
// consumer's answer (it may be waiting for that answer on its own control thread).
constexpr int32 HAND_OVER_BUFFERS = BTimedEventQueue::B_USER_EVENT + 1;

// What became of the frames of every consumer: see CountFrames. Counted on the control threads.
std::atomic<int64> received{0};
std::atomic<int64> drawn{0};
std::atomic<int64> late{0};
std::atomic<int64> skipped{0};

// Releases a semaphore acquired by the caller when it goes out of scope.
class SemaphoreHold {
public:
    explicit SemaphoreHold(sem_id sem) : sem(sem) {}
    ~SemaphoreHold() { release_sem(sem); }
    SemaphoreHold(const SemaphoreHold&) = delete;
    SemaphoreHold& operator=(const SemaphoreHold&) = delete;

private:
    sem_id sem;
};

// Unlocks a window locked by the caller when it goes out of scope.
class WindowHold {
public:
    explicit WindowHold(BWindow* window) : window(window) {}
    ~WindowHold() { window->Unlock(); }
    WindowHold(const WindowHold&) = delete;
    WindowHold& operator=(const WindowHold&) = delete;

private:
    BWindow* window;
};

// The spaces the frame path draws, and the wildcard.
bool IsAcceptedSpace(color_space space)
{
    return space == B_NO_COLOR_SPACE || BytesPerPixel(space) != 0;
}

} // namespace

VideoConsumer::Semaphore::Semaphore(int32 count, const char* name)
    : id(create_sem(count, name))
{
}

VideoConsumer::Semaphore::~Semaphore()
{
    if (id >= 0)
        delete_sem(id);
}

void VideoConsumer::Semaphore::Reset(int32 count, const char* name)
{
    if (id >= 0)
        delete_sem(id);
    id = create_sem(count, name);
}

VideoConsumer::VideoConsumer(BView* view, BMediaAddOn* addOn, uint32 internalId)
    : BMediaNode(NODE_NAME),
      BMediaEventLooper(API_VERSION),
      BBufferConsumer(B_MEDIA_RAW_VIDEO),
      view(view),
      screen(std::make_unique<BScreen>(view != nullptr ? view->Window() : nullptr)),
      addOn(addOn),
      bitmaps{},
      myLatency(MY_LATENCY),
      ourBuffer(false),
      internalId(internalId),
      buffers{},
      lineContrast(0),
      deInterlace(DEINTERLACE_FILTER_OFF),
      subtitleContrast(false),
      signalFormat(SIGNAL_FORMAT_FULL),
      renderLock(0, "renderSem"),
      lineContrastSignal(1, "lineContrastSem")
{
    SetEventLatency(0);
    // BufferReceived only queues the buffer at its start time (or recycles it when stopped),
    // so the buffer may as well come then: the control thread wakes once a frame.
    SetBuffersReceivedWhenDue(true);
    SetPriority(CONTROL_PRIORITY);
    release_sem(renderLock.Id());
}

VideoConsumer::~VideoConsumer()
{
    // The control thread goes first: it may still be handling a frame, serving a queued hook
    // (a format change recreates the buffers) or holding queued buffers of our group. Quit
    // recycles what is queued and joins it, so nothing below races with it. The join cannot
    // hang: every wait in a hook is bounded, even when the caller holds the view's window lock.
    Quit();
    // A consumer deleted while still connected (its disconnection failed, say) would leave the
    // producer writing into a freed group.
    if (!(input.source == media_source::null)) {
        SetOutputBuffersFor(input.source, bufferDestination, nullptr, nullptr, nullptr);
        input.source = media_source::null;
    }
    // Waits for a setter or GetLineContrast still holding the lock; each holds it briefly. It is
    // not released: the semaphores go with their members, failing any later waiter.
    acquire_sem(renderLock.Id());
    DeleteBuffers();
    retiredGroups.clear();
}

void VideoConsumer::SetSignalFormat(SignalFormat format)
{
    // Unbounded: the frame path holds the lock for one frame at most.
    if (acquire_sem(renderLock.Id()) != B_OK)
        return;
    signalFormat = format;
    release_sem(renderLock.Id());
}

void VideoConsumer::SetSubtitleFilter(bool on)
{
    if (acquire_sem(renderLock.Id()) != B_OK)
        return;
    subtitleContrast = on;
    release_sem(renderLock.Id());
}

void VideoConsumer::SetDeInterlaceFilter(DeInterlaceFilter filter)
{
    if (acquire_sem(renderLock.Id()) != B_OK)
        return;
    deInterlace = filter;
    release_sem(renderLock.Id());
}

void VideoConsumer::SetDeInterlaceFilter(bool on)
{
    SetDeInterlaceFilter(on ? DEINTERLACE_FILTER_BLEND : DEINTERLACE_FILTER_OFF);
}

int32 VideoConsumer::GetLineContrast()
{
    if (acquire_sem(renderLock.Id()) != B_OK)
        return -1;
    lineContrastSignal.Reset(0, "lineContrastSem");
    const sem_id signal = lineContrastSignal.Id();
    if (signal < 0) {
        release_sem(renderLock.Id());
        return -1;
    }
    lineContrast = -1;
    release_sem(renderLock.Id());

    if (acquire_sem_etc(signal, 1, B_RELATIVE_TIMEOUT, LINE_CONTRAST_TIMEOUT) != B_OK)
        return -1;
    if (acquire_sem(renderLock.Id()) != B_OK)
        return -1;
    const int32 value = lineContrast;
    release_sem(renderLock.Id());
    release_sem(signal);
    return value;
}

VideoConsumer::FrameCounts VideoConsumer::CountFrames()
{
    return {received.load(std::memory_order_relaxed), drawn.load(std::memory_order_relaxed),
        late.load(std::memory_order_relaxed), skipped.load(std::memory_order_relaxed)};
}

status_t VideoConsumer::CreateBuffers(const media_format& format)
{
    DeleteBuffers();
    const media_video_display_info& display = format.u.raw_video.display;
    const color_space space = display.format;
    const float width = float(display.line_width);
    const float lines = float(display.line_count);

    auto group = std::make_unique<BBufferGroup>();
    if (status_t status = group->InitCheck(); status != B_OK)
        return status;
    bufferGroup = std::move(group);
    for (int32 i = 0; i < BUFFER_COUNT; i++) {
        auto bitmap = std::make_unique<BBitmap>(BRect(0, 0, width - 1, lines - 1), space, false,
            true);
        // An invalid bitmap is not kept, so the frame path finds an empty slot instead.
        if (!bitmap->IsValid())
            return B_ERROR;
        bitmaps[i] = std::move(bitmap);
        const area_id area = area_for(bitmaps[i]->Bits());
        if (area >= 0) {
            buffer_clone_info info;
            info.area = area;
            info.offset = 0;
            info.size = size_t(bitmaps[i]->BitsLength());
            info.flags = i;
            if (status_t status = bufferGroup->AddBuffer(info); status != B_OK)
                return status;
        }
    }
    BBuffer* list[BUFFER_COUNT] = {};
    if (status_t status = bufferGroup->GetBufferList(BUFFER_COUNT, list); status != B_OK)
        return status;
    if (std::find(std::begin(list), std::end(list), nullptr) != std::end(list))
        return B_ERROR;
    // The group lists its buffers in the order they were added: buffer i wraps bitmap i.
    std::copy(std::begin(list), std::end(list), buffers);
    return B_OK;
}

void VideoConsumer::DeleteBuffers()
{
    bufferGroup.reset();
    for (std::unique_ptr<BBitmap>& bitmap : bitmaps)
        bitmap.reset();
    copyBitmap.reset();
    motionDeInterlace = MotionDeInterlaceState();
    // A stale slot could match a later buffer that happens to get the same address, which would
    // then be taken for ours.
    std::fill(std::begin(buffers), std::end(buffers), nullptr);
}

BMediaAddOn* VideoConsumer::AddOn(int32* outInternalId) const
{
    if (outInternalId != nullptr)
        *outInternalId = int32(internalId);
    return addOn;
}

bool VideoConsumer::IsOnTime(bigtime_t startTime, bigtime_t now)
{
    return startTime - DRAW_WINDOW < now && now < startTime + DRAW_WINDOW;
}

BRect VideoConsumer::DestinationFor(BRect viewBounds)
{
    const int32 width = viewBounds.IntegerWidth();
    const int32 height = viewBounds.IntegerHeight();
    return BRect(0, 0, float(width), float((height - 1) | 1));
}

BRect VideoConsumer::SourceFor(BRect bitmapBounds, SignalFormat format)
{
    const int32 width = bitmapBounds.IntegerWidth();
    const int32 lastLine = bitmapBounds.IntegerHeight();
    switch (format) {
    case SIGNAL_FORMAT_WIDE_625:
        return BRect(0, 72, float(width), float((lastLine - 73) | 1));
    case SIGNAL_FORMAT_WIDE_525:
        return BRect(0, 36, float(width), float((lastLine - 38) | 1));
    default:
        return BRect(0, 0, float(width), float(lastLine));
    }
}

void VideoConsumer::ScaleGreyLevels(void* bits, size_t length)
{
    auto* bytes = static_cast<uint8*>(bits);
    const size_t wholeWords = length & ~size_t(3);
    for (size_t offset = 0; offset < wholeWords; offset += 4) {
        uint32 word;
        std::memcpy(&word, bytes + offset, sizeof(word));
        word = (word >> 3) & 0x1F1F1F1F;
        std::memcpy(bytes + offset, &word, sizeof(word));
    }
}

void VideoConsumer::NodeRegistered()
{
    input.destination.port = ControlPort();
    input.destination.id = 0;
    input.source = media_source::null;
    input.format.type = B_MEDIA_RAW_VIDEO;
    input.format.u.raw_video = {};
    input.format.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    Run();
}

status_t VideoConsumer::HandleMessage(int32 message, const void* data, size_t size)
{
    status_t status = BBufferConsumer::HandleMessage(message, data, size);
    if (status == B_OK)
        return status;
    status = BMediaNode::HandleMessage(message, data, size);
    if (status == B_OK)
        return status;
    HandleBadMessage(message, data, size);
    return status;
}

status_t VideoConsumer::RequestCompleted(const media_request_info&)
{
    return B_OK;
}

status_t VideoConsumer::DeleteHook(BMediaNode* node)
{
    return BMediaEventLooper::DeleteHook(node);
}

void VideoConsumer::Start(bigtime_t performanceTime)
{
    BMediaEventLooper::Start(performanceTime);
}

void VideoConsumer::Stop(bigtime_t performanceTime, bool immediate)
{
    BMediaEventLooper::Stop(performanceTime, immediate);
}

void VideoConsumer::Seek(bigtime_t mediaTime, bigtime_t performanceTime)
{
    BMediaEventLooper::Seek(mediaTime, performanceTime);
}

void VideoConsumer::TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime)
{
    BMediaEventLooper::TimeWarp(atRealTime, toPerformanceTime);
}

void VideoConsumer::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    switch (event->type) {
    case BTimedEventQueue::B_STOP:
        EventQueue()->FlushEvents(event->event_time, BTimedEventQueue::B_ALWAYS, true,
            BTimedEventQueue::B_HANDLE_BUFFER);
        break;
    case BTimedEventQueue::B_HANDLE_BUFFER:
        HandleBuffer(static_cast<BBuffer*>(event->pointer));
        break;
    case HAND_OVER_BUFFERS:
        HandOverBuffers();
        break;
    default:
        break;
    }
}

status_t VideoConsumer::AcceptFormat(const media_destination& destination, media_format* format)
{
    if (!(destination == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    if (format == nullptr)
        return B_BAD_VALUE;
    if (format->type == B_MEDIA_NO_TYPE)
        format->type = B_MEDIA_RAW_VIDEO;
    if (format->type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    media_video_display_info& display = format->u.raw_video.display;
    if (!IsAcceptedSpace(display.format))
        return B_MEDIA_BAD_FORMAT;
    if (display.format == B_NO_COLOR_SPACE)
        display.format = B_RGB16;
    // The producer writes into the bitmaps' memory, whose rows are padded to whole 32-bit words;
    // rows of another length (766 grey pixels, say) would come out sheared.
    if (display.line_width != 0) {
        display.bytes_per_row
            = (display.line_width * uint32(BytesPerPixel(display.format)) + 3) & ~uint32(3);
    }
    return B_OK;
}

status_t VideoConsumer::GetNextInput(int32* cookie, media_input* outInput)
{
    if (cookie == nullptr || outInput == nullptr)
        return B_BAD_VALUE;
    if (*cookie > 0)
        return B_MEDIA_BAD_DESTINATION;
    input.node = Node();
    input.destination.id = *cookie;
    std::strncpy(input.name, INPUT_NAME, B_MEDIA_NAME_LENGTH - 1);
    *outInput = input;
    (*cookie)++;
    return B_OK;
}

void VideoConsumer::DisposeInputCookie(int32)
{
}

void VideoConsumer::BufferReceived(BBuffer* buffer)
{
    if (RunState() == B_STOPPED) {
        buffer->Recycle();
        return;
    }
    received.fetch_add(1, std::memory_order_relaxed);
    const media_timed_event event(buffer->Header()->start_time,
        BTimedEventQueue::B_HANDLE_BUFFER, buffer, BTimedEventQueue::B_RECYCLE_BUFFER);
    if (EventQueue()->AddEvent(event) != B_OK)
        buffer->Recycle();
}

void VideoConsumer::ProducerDataStatus(const media_destination&, int32, bigtime_t)
{
}

status_t VideoConsumer::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
    media_node_id* outTimeSource)
{
    if (!(forWhom == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    if (outLatency == nullptr || outTimeSource == nullptr)
        return B_BAD_VALUE;
    *outLatency = myLatency;
    *outTimeSource = TimeSource()->ID();
    return B_OK;
}

status_t VideoConsumer::Connected(const media_source& producer, const media_destination&,
    const media_format& withFormat, media_input* outInput)
{
    input.source = producer;
    input.format = withFormat;
    input.node = Node();
    std::strncpy(input.name, INPUT_NAME, B_MEDIA_NAME_LENGTH - 1);
    if (outInput != nullptr)
        *outInput = input;
    if (CreateBuffers(withFormat) != B_OK)
        return B_ERROR;
    HandOverBuffers();
    return B_OK;
}

void VideoConsumer::Disconnected(const media_source& producer, const media_destination& where)
{
    if (producer == input.source && where == input.destination) {
        input.source = media_source::null;
        // The producer has been told first, so it no longer writes into an older group.
        retiredGroups.clear();
    }
}

status_t VideoConsumer::FormatChanged(const media_source& producer,
    const media_destination& consumer, int32, const media_format& format)
{
    if (!(consumer == input.destination))
        return B_MEDIA_BAD_DESTINATION;
    if (!(producer == input.source))
        return B_MEDIA_BAD_SOURCE;
    input.format = format;
    // The producer still writes into the current group until it is handed the new one, so
    // that group is kept, not deleted under it.
    if (bufferGroup != nullptr)
        retiredGroups.push_back(std::move(bufferGroup));
    const status_t status = CreateBuffers(format);
    if (status == B_OK) {
        EventQueue()->AddEvent(media_timed_event(TimeSource()->Now(), HAND_OVER_BUFFERS));
    }
    return status;
}

void VideoConsumer::HandOverBuffers()
{
    if (input.source == media_source::null || bufferGroup == nullptr)
        return;
    int32 userData = 0;
    int32 changeTag = 1;
    // A producer that refuses keeps using buffers of its own, which the frame path copies.
    if (SetOutputBuffersFor(input.source, bufferDestination, bufferGroup.get(), &userData,
            &changeTag, true)
        == B_OK) {
        retiredGroups.clear();
    }
}

void VideoConsumer::HandleBuffer(BBuffer* buffer)
{
    const HeldBuffer held(buffer);
    if (RunState() == B_STOPPED)
        return;
    if (acquire_sem_etc(renderLock.Id(), 1, B_RELATIVE_TIMEOUT, RENDER_LOCK_TIMEOUT) != B_OK) {
        skipped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const SemaphoreHold render(renderLock.Id());

    int32 index = 0;
    ourBuffer = false;
    for (int32 i = 0; i < BUFFER_COUNT; i++) {
        if (buffers[i] == buffer) {
            index = i;
            ourBuffer = true;
            break;
        }
    }
    BBitmap* bitmap = bitmaps[index].get();
    // No bitmaps after a failed CreateBuffers: nothing to measure or draw into.
    if (bitmap == nullptr)
        return;
    if (!ourBuffer) {
        // A buffer of another group (a producer that ignores ours, or one still sending from
        // the group it had before a reconnection): its frame is copied into a bitmap of our
        // own, never into one the producer may be writing the next frame into.
        if (copyBitmap == nullptr || copyBitmap->Bounds() != bitmap->Bounds()
            || copyBitmap->ColorSpace() != bitmap->ColorSpace()) {
            copyBitmap = std::make_unique<BBitmap>(bitmap->Bounds(), bitmap->ColorSpace());
            if (!copyBitmap->IsValid()) {
                copyBitmap.reset();
                return;
            }
        }
        bitmap = copyBitmap.get();
        // Never reading past the buffer.
        const size_t bytes
            = std::min(size_t(bitmap->BitsLength()), buffer->SizeAvailable());
        std::memcpy(bitmap->Bits(), buffer->Data(), bytes);
    }
    uint32 flags = 0;
    if (bitmap->ColorSpace() == B_GRAY8 && !bitmaps_support_space(B_GRAY8, &flags))
        ScaleGreyLevels(bitmap->Bits(), size_t(bitmap->BitsLength()));
    if (lineContrast < 0) {
        lineContrast = FindContrast(bitmap);
        release_sem(lineContrastSignal.Id());
    }
    FilterAndDraw(bitmap, buffer->Header()->start_time);
}

void VideoConsumer::FilterAndDraw(BBitmap* bitmap, bigtime_t startTime)
{
    if (view == nullptr)
        return;
    BWindow* window = view->Window();
    if (window == nullptr) {
        motionDeInterlace.Drop();
        return;
    }
    if (window->LockWithTimeout(WINDOW_LOCK_TIMEOUT) != B_OK) {
        skipped.fetch_add(1, std::memory_order_relaxed);
        motionDeInterlace.Drop();
        return;
    }
    const WindowHold hold(window);

    const bool visible = !window->IsHidden() && !window->IsMinimized()
        && (window->Workspaces() & (1u << current_workspace())) != 0;
    if (visible) {
        if (subtitleContrast)
            SubtitleContrast(bitmap);
        if (deInterlace == DEINTERLACE_FILTER_BLEND)
            DeInterlace(bitmap);
    }
    // The motion filter compares each frame with the one before, which it must have seen.
    const media_raw_video_format& video = input.format.u.raw_video;
    if (visible && deInterlace == DEINTERLACE_FILTER_MOTION && video.interlace != 1)
        MotionDeInterlace(bitmap, motionDeInterlace, FieldOrderForRate(video.field_rate));
    else
        motionDeInterlace.Drop();
    if (!IsOnTime(startTime, TimeSource()->Now())) {
        late.fetch_add(1, std::memory_order_relaxed);
        return;
    }

    const BRect destination = DestinationFor(view->Bounds());
    screen->WaitForRetrace(RETRACE_TIMEOUT);
    if (signalFormat == SIGNAL_FORMAT_WIDE_625 || signalFormat == SIGNAL_FORMAT_WIDE_525)
        view->DrawBitmap(bitmap, SourceFor(bitmap->Bounds(), signalFormat), destination);
    else
        view->DrawBitmap(bitmap, destination);
    drawn.fetch_add(1, std::memory_order_relaxed);
}
