#include "video/NodeManager.h"

#include "kits/app/Message.h"
#include "kits/interface/FrameView.h"
#include "kits/interface/Screen.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "video/ParameterAccess.h"
#include "video/VideoConsumer.h"

#include <cmath>
#include <new>

// Lock order: "initSem" is taken before the consumer's "renderSem" (through the consumer's
// setters) and may be taken while the caller holds the view's window lock; the consumer takes
// "renderSem" before the window lock, each with a 2500 µs time-out, so no cycle can block.

using video::ReadDiscreteValue;
using video::WriteDiscreteValue;

namespace {

constexpr uint32 ARCHIVE_COMMAND = 'NdMg';
constexpr const char* ARCHIVE_NAME = "NodeManager";

// How long the archive constructor waits for the media service: 19 tries 5 s apart, then 5 s
// more for the service to settle.
constexpr int32 ROSTER_TRIES = 19;
constexpr bigtime_t ROSTER_WAIT = 5000000;

// The card's "Video Format" values that name the TV standard.
constexpr int32 CARD_NTSC_M = 1;
constexpr int32 CARD_NTSC_M_JP = 2;
constexpr int32 CARD_PAL_BG = 3;
constexpr int32 CARD_PAL_M = 4;
constexpr int32 CARD_PAL_N = 5;
constexpr int32 CARD_SECAM = 6;

bool IsWide(int32 signalFormat)
{
    return signalFormat == FORMAT_16_9;
}

bool Is625Lines(int32 type)
{
    return type == SIGNAL_625 || type == SIGNAL_625_B;
}

bool Is525Lines(int32 type)
{
    return type == SIGNAL_525 || type == SIGNAL_525_B;
}

// The colour space the card is asked for on a screen of this space: the screen's own where the
// consumer draws it, never more than 16 bits with the limit on.
color_space RequestedColorSpace(color_space screen, bool limit16Bit)
{
    if (screen == B_CMAP8 || screen == B_GRAY8)
        return B_GRAY8;
    // The consumer draws no 24-bit frames; 32-bit ones show the same colours.
    if ((screen == B_RGB32 || screen == B_RGB24) && !limit16Bit)
        return B_RGB32;
    if (screen == B_RGB15)
        return B_RGB15;
    return B_RGB16;
}

// The consumer's filter for the de-interlace flags, which exclude each other.
VideoConsumer::DeInterlaceFilter ConsumerFilter(bool blend, bool motionAdaptive)
{
    if (blend)
        return VideoConsumer::DEINTERLACE_FILTER_BLEND;
    return motionAdaptive ? VideoConsumer::DEINTERLACE_FILTER_MOTION
                          : VideoConsumer::DEINTERLACE_FILTER_OFF;
}

// Raw video of this size and space, rows without padding; everything else is left to the card.
media_format RequestedFormat(int32 width, int32 height, color_space space)
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    media_raw_video_format& video = format.u.raw_video;
    video.field_rate = 0;
    video.interlace = 0;
    video.first_active = 0;
    video.last_active = 0;
    video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    video.pixel_width_aspect = 4;
    video.pixel_height_aspect = 3;
    video.display.format = space;
    video.display.line_width = uint32(width);
    video.display.line_count = uint32(height);
    video.display.bytes_per_row = uint32(width) * uint32(BytesPerPixel(space));
    video.display.pixel_offset = 0;
    video.display.line_offset = 0;
    video.display.flags = 0;
    return format;
}

}

// Holds "initSem" for a scope. The wait is unbounded: every holder only waits on roster calls,
// which time out, so the lock always comes back.
class NodeManager::InitLock {
public:
    explicit InitLock(sem_id lock)
        :
        lock(lock),
        acquired(acquire_sem(lock) == B_OK)
    {
    }

    ~InitLock()
    {
        if (acquired)
            release_sem(lock);
    }

    InitLock(const InitLock&) = delete;
    InitLock& operator=(const InitLock&) = delete;

    bool Acquired() const { return acquired; }

private:
    sem_id lock;
    bool acquired;
};

NodeManager::NodeManager(NodeManagerOptions options)
    :
    options(std::move(options))
{
    SetDefaults();
}

NodeManager::NodeManager(BMessage* archive, NodeManagerOptions options)
    :
    options(std::move(options))
{
    SetDefaults();

    BMessage nested;
    if (archive != nullptr && archive->FindMessage(ARCHIVE_NAME, &nested) == B_OK
        && nested.what == ARCHIVE_COMMAND) {
        bool flag = false;
        halfHeight = nested.FindBool("_HalfHeight", &flag) == B_OK && flag;
        int32 value = FORMAT_4_3;
        signalFormat = nested.FindInt32("_SignalFormat", &value) == B_OK ? value : FORMAT_4_3;
        channel = nested.FindInt32("_Channel", &value) == B_OK ? value : -1;
        deInterlace = nested.FindBool("_DeInterlace", &flag) == B_OK && flag;
        motionAdaptive = nested.FindBool("_MotionAdaptive", &flag) == B_OK && flag;
        // The modes exclude each other; single field wins, as it sizes the signal, and the
        // flag every archive has beats the one only motion-adaptive archives have.
        if (halfHeight)
            deInterlace = false;
        if (halfHeight || deInterlace)
            motionAdaptive = false;
    }

    if (roster == nullptr)
        WaitForRoster();
}

NodeManager::~NodeManager()
{
    StopNodes();
    delete_sem(initLock);
}

void NodeManager::SetDefaults()
{
    roster = BMediaRoster::Roster(nullptr);
    initLock = create_sem(1, "initSem");
    halfHeight = false;
    signalFormat = FORMAT_4_3;
    deInterlace = false;
    motionAdaptive = false;
    limit16Bit = true;
    channel = -1;
}

void NodeManager::WaitForRoster()
{
    // A replicant may be rebuilt while the media service is still starting.
    for (int32 attempt = 0; attempt < ROSTER_TRIES; attempt++) {
        options.sleep(ROSTER_WAIT);
        status_t status = B_OK;
        BMediaRoster* found = BMediaRoster::Roster(&status);
        if (status == B_OK && found != nullptr) {
            roster = found;
            break;
        }
    }
    options.sleep(ROSTER_WAIT);
}

status_t NodeManager::Archive(BMessage* archive, bool) const
{
    BMessage nested(ARCHIVE_COMMAND);
    nested.AddBool("_DeInterlace", deInterlace);
    nested.AddBool("_HalfHeight", halfHeight);
    nested.AddInt32("_SignalFormat", signalFormat);
    // Only where set, so the archives of the other modes stay as they always were.
    if (motionAdaptive)
        nested.AddBool("_MotionAdaptive", true);
    int32 current = 0;
    if (ReadDiscreteValue(channelParameter.load(), &current))
        nested.AddInt32("_Channel", current);
    archive->AddMessage(ARCHIVE_NAME, &nested);
    return B_OK;
}

int32 NodeManager::RequestedWidth() const
{
    InitLock lock(initLock);
    return width;
}

int32 NodeManager::RequestedHeight() const
{
    InitLock lock(initLock);
    return height;
}

int32 NodeManager::GetSignalType() const
{
    int32 value = 0;
    if (!ReadDiscreteValue(videoFormatParameter.load(), &value))
        return SIGNAL_UNKNOWN;
    switch (value) {
        case CARD_PAL_BG:
        case CARD_PAL_N:
            return SIGNAL_625;
        case CARD_PAL_M:
            return SIGNAL_525_B;
        case CARD_NTSC_M:
        case CARD_NTSC_M_JP:
            return SIGNAL_525;
        case CARD_SECAM:
            return SIGNAL_625_B;
        default:
            return SIGNAL_UNKNOWN;
    }
}

BRect NodeManager::GetSignalSize() const
{
    const int32 type = GetSignalType();
    // An aspect value other than the two the menu offers is shown as 4:3.
    if (IsWide(signalFormat)) {
        if (Is625Lines(type))
            return BRect(0, 0, 767, 431);
        if (Is525Lines(type))
            return BRect(0, 0, 719, 405);
        return BRect(0, 0, 639, 359);
    }
    if (Is625Lines(type))
        return BRect(0, 0, 767, 575);
    return BRect(0, 0, 639, 479);
}

BRect NodeManager::GetRawSignalSize() const
{
    const int32 type = GetSignalType();
    if (Is625Lines(type))
        return BRect(0, 0, 767, 575);
    if (Is525Lines(type) && IsWide(signalFormat))
        return BRect(0, 0, 719, 479);
    return BRect(0, 0, 639, 479);
}

float NodeManager::GetFieldRate() const
{
    return Is525Lines(GetSignalType()) ? 59.94f : 50.0f;
}

void NodeManager::SetSignalFormat(int32 format)
{
    InitLock lock(initLock);
    if (!lock.Acquired() || consumer == nullptr)
        return;
    if (format == FORMAT_4_3) {
        consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_FULL);
    } else if (format == FORMAT_16_9) {
        const int32 type = GetSignalType();
        if (Is625Lines(type))
            consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_WIDE_625);
        else if (Is525Lines(type))
            consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_WIDE_525);
    }
    signalFormat = format;
}

void NodeManager::SetSize(int32 newWidth, int32 newHeight)
{
    InitLock lock(initLock);
    if (lock.Acquired())
        ResizeSignal(newWidth, newHeight);
}

void NodeManager::Reconnect()
{
    InitLock lock(initLock);
    if (lock.Acquired())
        ResizeSignal(width, height);
}

int32 NodeManager::PixelCount(float measure)
{
    // A bounds' right minus left is one less than the pixels it covers, as its edges are
    // inclusive: the +1 makes it a pixel count, so a 767 x 575 view asks for 768 x 576 frames
    // and none is scaled up by a pixel for nothing.
    return int32(std::ceil(measure)) + 1;
}

void NodeManager::ResizeSignal(int32 newWidth, int32 newHeight)
{
    const color_space screenSpace = BScreen(B_MAIN_SCREEN_ID).ColorSpace();
    const BRect raw = GetRawSignalSize();
    if (roster == nullptr)
        return;

    width = newWidth & ~1;
    height = newHeight & ~1;

    int32 requestWidth = newWidth;
    int32 requestHeight = newHeight;
    // The consumer crops the added third again when it draws.
    if (IsWide(signalFormat))
        requestHeight = newHeight + newHeight / 3;
    requestWidth &= ~1;
    requestHeight &= ~1;
    const int32 rawWidth = int32(std::ceil(raw.right - raw.left));
    const int32 rawHeight = int32(std::ceil(raw.bottom - raw.top));
    if (requestWidth > rawWidth)
        requestWidth = rawWidth + 1;
    if (requestHeight > rawHeight)
        requestHeight = rawHeight + 1;
    if (halfHeight)
        requestHeight >>= 1;

    // Without a consumer there is nothing to connect to: the size waits for the next start.
    if (consumer == nullptr)
        return;
    ConnectConsumer(RequestedFormat(requestWidth, requestHeight,
        RequestedColorSpace(screenSpace, limit16Bit)));
}

void NodeManager::ConnectConsumer(const media_format& requested)
{
    // The card negotiates PAL-M frames as NTSC-M ones, the same 525-line raster; it is told
    // NTSC-M only while the connection is made.
    BDiscreteParameter* videoFormat = videoFormatParameter.load();
    int32 cardValue = 0;
    const bool swapped = ReadDiscreteValue(videoFormat, &cardValue) && cardValue == CARD_PAL_M;
    if (swapped)
        WriteDiscreteValue(videoFormat, CARD_NTSC_M);

    roster->Disconnect(output.node.node, output.source, input.node.node, input.destination);
    media_format format = requested;
    cardConnected
        = roster->Connect(output.source, input.destination, &format, &output, &input) == B_OK;
    if (!cardConnected)
        PostNodeError(NODE_ERROR_CONNECT);

    if (swapped)
        WriteDiscreteValue(videoFormat, CARD_PAL_M);
}

status_t NodeManager::StartNodes(BView* newView)
{
    InitLock lock(initLock);
    if (!lock.Acquired())
        return -1;

    view = newView;
    // A graph left from an earlier start is replaced, not leaked.
    TearDown();

    if (status_t status = FindNodes(); status != B_OK)
        return status;
    if (status_t status = MakeConsumer(); status != B_OK)
        return status;
    if (status_t status = FindConnectionEnds(); status != B_OK)
        return status;
    if (status_t status = FindParameters(); status != B_OK)
        return status;
    ConnectAtNaturalSize();
    if (status_t status = SetTimeSources(); status != B_OK)
        return status;
    if (status_t status = StartBothNodes(); status != B_OK)
        return status;
    ApplyStoredSettings();
    return B_OK;
}

status_t NodeManager::FindNodes()
{
    if (roster == nullptr)
        return Fail(NODE_ERROR_NO_ROSTER, -1);
    if (status_t status = roster->GetTimeSource(&timeSourceNode); status != B_OK)
        return Fail(NODE_ERROR_TIME_SOURCE, status);
    if (status_t status = roster->GetVideoInput(&videoInputNode); status != B_OK)
        return Fail(NODE_ERROR_VIDEO_INPUT, status);
    haveVideoInput = true;
    return B_OK;
}

status_t NodeManager::MakeConsumer()
{
    consumer = options.makeConsumer
        ? options.makeConsumer(view)
        : std::unique_ptr<VideoConsumer>(new (std::nothrow) VideoConsumer(view, nullptr, 0));
    if (consumer == nullptr)
        return Fail(NODE_ERROR_CREATE_CONSUMER, -1);
    if (status_t status = roster->RegisterNode(consumer.get()); status != B_OK)
        return Fail(NODE_ERROR_REGISTER_CONSUMER, status);
    return B_OK;
}

status_t NodeManager::FindConnectionEnds()
{
    int32 count = 0;
    if (roster->GetFreeOutputsFor(videoInputNode, &output, 1, &count, B_MEDIA_RAW_VIDEO) != B_OK
        || count <= 0) {
        // Most often another graph is fed by the card: it is not this graph's to stop.
        return Fail(NODE_ERROR_NO_FREE_OUTPUT, B_RESOURCE_UNAVAILABLE);
    }
    count = 0;
    if (roster->GetFreeInputsFor(consumer->Node(), &input, 1, &count, B_MEDIA_RAW_VIDEO) != B_OK
        || count <= 0) {
        return Fail(NODE_ERROR_NO_FREE_INPUT, B_RESOURCE_UNAVAILABLE);
    }
    return B_OK;
}

status_t NodeManager::FindParameters()
{
    BParameterWeb* web = nullptr;
    if (roster->GetParameterWebFor(videoInputNode, &web) != B_OK)
        return Fail(NODE_ERROR_PARAMETER_WEB, -1);
    if (web == nullptr)
        return Fail(NODE_ERROR_NO_PARAMETER_WEB, -1);
    parameterWeb = web;
    const video::TunerParameters tuner = video::FindTunerParameters(web);
    videoFormatParameter = tuner.videoFormat;
    channelParameter = tuner.channel;
    return B_OK;
}

void NodeManager::ConnectAtNaturalSize()
{
    // The whole picture of the card's standard; a failed connection is reported and the start
    // goes on, so a later reconnection can still bring the picture.
    const BRect natural = GetSignalSize();
    ResizeSignal(PixelCount(natural.right - natural.left),
        PixelCount(natural.bottom - natural.top));
}

status_t NodeManager::SetTimeSources()
{
    if (status_t status = roster->SetTimeSourceFor(videoInputNode.node, timeSourceNode.node);
        status != B_OK) {
        return Fail(NODE_ERROR_INPUT_TIME_SOURCE, status);
    }
    if (status_t status = roster->SetTimeSourceFor(consumer->ID(), timeSourceNode.node);
        status != B_OK) {
        return Fail(NODE_ERROR_CONSUMER_TIME_SOURCE, status);
    }
    return B_OK;
}

status_t NodeManager::StartBothNodes()
{
    bigtime_t latency = 0;
    roster->GetLatencyFor(videoInputNode, &latency);
    roster->SetProducerRunModeDelay(videoInputNode, latency, B_RECORDING);
    bigtime_t initialLatency = 0;
    roster->GetInitialLatencyFor(videoInputNode, &initialLatency, nullptr);
    initialLatency += estimate_max_scheduling_latency();

    BTimeSource* timeSource = roster->MakeTimeSourceFor(videoInputNode);
    if (timeSource == nullptr) {
        TearDown();
        return B_MEDIA_BAD_NODE;
    }
    const bool running = timeSource->IsRunning();
    const bigtime_t real = BTimeSource::RealTime();
    if (!running) {
        status_t status = roster->StartTimeSource(timeSourceNode, real);
        if (status == B_OK)
            status = roster->SeekTimeSource(timeSourceNode, 0, real);
        if (status != B_OK) {
            timeSource->Release();
            // No number names this failure; the partial graph still goes.
            TearDown();
            return status;
        }
    }
    startTime = timeSource->PerformanceTimeFor(real + latency + initialLatency);
    timeSource->Release();

    if (status_t status = roster->StartNode(videoInputNode, startTime); status != B_OK)
        return Fail(NODE_ERROR_START_INPUT, status);
    if (status_t status = roster->StartNode(consumer->Node(), startTime); status != B_OK)
        return Fail(NODE_ERROR_START_CONSUMER, status);
    return B_OK;
}

void NodeManager::ApplyStoredSettings()
{
    consumer->SetDeInterlaceFilter(ConsumerFilter(deInterlace, motionAdaptive));
    BDiscreteParameter* channelFound = channelParameter.load();
    if (channelFound != nullptr && channel >= 0)
        WriteDiscreteValue(channelFound, channel);
}

void NodeManager::StopNodes()
{
    if (roster == nullptr)
        return;
    InitLock lock(initLock);
    if (lock.Acquired())
        TearDown();
}

void NodeManager::TearDown()
{
    const bool stopCard = cardConnected;
    if (consumer != nullptr) {
        roster->StopNode(consumer->Node(), startTime, true);
        roster->Disconnect(output.node.node, output.source, input.node.node,
            input.destination);
        roster->UnregisterNode(consumer.get());
        // The consumer's destructor waits for the frame in progress and takes its buffers back.
        consumer.reset();
    }
    cardConnected = false;
    // With nobody to watch, the card need not capture; a later start starts it again. Only a
    // graph whose consumer the card fed may stop it: a start that failed because the card feeds
    // another graph must leave that picture running.
    if (stopCard)
        roster->StopNode(videoInputNode, 0, true);
    // The roster reference this graph took, and no other.
    if (haveVideoInput) {
        roster->ReleaseNode(videoInputNode);
        haveVideoInput = false;
    }
}

void NodeManager::Set16bitLimit(bool limit)
{
    InitLock lock(initLock);
    if (!lock.Acquired() || consumer == nullptr || limit == limit16Bit)
        return;
    limit16Bit = limit;
    const color_space space = BScreen(B_MAIN_SCREEN_ID).ColorSpace();
    if (space == B_RGB24 || space == B_RGB32)
        ResizeSignal(width, height);
}

void NodeManager::SetDeInterlace(int32 mode)
{
    InitLock lock(initLock);
    if (!lock.Acquired() || consumer == nullptr)
        return;
    halfHeight = mode == DEINTERLACE_SINGLE_FIELD;
    deInterlace = mode == DEINTERLACE_DUAL_FIELD;
    motionAdaptive = mode == DEINTERLACE_MOTION_ADAPTIVE;
    consumer->SetDeInterlaceFilter(ConsumerFilter(deInterlace, motionAdaptive));
    ResizeSignal(width, height);
}

void NodeManager::SetSubtitleFilter(bool on)
{
    InitLock lock(initLock);
    if (lock.Acquired() && consumer != nullptr)
        consumer->SetSubtitleFilter(on);
}

int32 NodeManager::GetLineContrast()
{
    InitLock lock(initLock);
    if (!lock.Acquired() || consumer == nullptr)
        return 0;
    return consumer->GetLineContrast();
}

VideoConsumer* NodeManager::Consumer() const
{
    return consumer.get();
}

void NodeManager::PostNodeError(int32 number) const
{
    if (view == nullptr || view->Window() == nullptr)
        return;
    BMessage message(MSG_NODE_ERROR);
    message.AddInt32("Number", number);
    view->Window()->PostMessage(&message);
}

status_t NodeManager::Fail(int32 number, status_t result)
{
    PostNodeError(number);
    // Nothing half-built stays behind: the program runs on without a picture and a later
    // start begins afresh.
    TearDown();
    return result;
}
