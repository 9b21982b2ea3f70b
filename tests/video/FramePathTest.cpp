// The consumer's frame path end to end: frames from a producer node drawn into a window.

#include "video/VideoConsumer.h"

#include "kits/interface/FrameBuffer.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/MediaEventLooper.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"
#include "tests/support/MediaNodes.h"
#include "video/FindContrast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using kits::interface::HeadlessDisplay;
using kits::interface::PackColor;
using test_support::Await;
using test_support::ConnectFirstFree;
using test_support::CountFreeBuffers;
using test_support::Painter;
using test_support::TestProducer;
using test_support::TestTimeSource;

constexpr bigtime_t WAIT = test_support::AWAIT_TIMEOUT;
// Where the consumer's clock is held.
constexpr bigtime_t NOW = 10000000;

constexpr uint32 RED = 0x00FF0000;
constexpr uint32 GREEN = 0x0000FF00;
constexpr uint32 BLUE = 0x000000FF;
// What the window shows where the consumer has not drawn.
constexpr rgb_color BACKGROUND = {0, 0, 64, 255};

// The frame buffer word of a B_RGB32 pixel.
constexpr uint32 Shown(uint32 pixel)
{
    return 0xFF000000u | (pixel & 0x00FFFFFFu);
}

media_format VideoFormat(color_space space, uint32 width, uint32 lines)
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    format.u.raw_video = media_raw_video_format::wildcard;
    format.u.raw_video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    format.u.raw_video.pixel_width_aspect = 4;
    format.u.raw_video.pixel_height_aspect = 3;
    format.u.raw_video.display.format = space;
    format.u.raw_video.display.line_width = width;
    format.u.raw_video.display.line_count = lines;
    format.u.raw_video.display.bytes_per_row = width * uint32(BytesPerPixel(space));
    return format;
}

// Every B_RGB32 pixel from colour(x, y).
Painter Rgb32(std::function<uint32(int32 x, int32 y)> colour)
{
    return [colour](uint8* bits, const media_video_display_info& display) {
        for (uint32 y = 0; y < display.line_count; y++) {
            auto* row = reinterpret_cast<uint32*>(bits + size_t(y) * display.bytes_per_row);
            for (uint32 x = 0; x < display.line_width; x++)
                row[x] = colour(int32(x), int32(y));
        }
    };
}

Painter Solid(uint32 pixel)
{
    return Rgb32([pixel](int32, int32) { return pixel; });
}

// The left half of a 32-pixel-wide frame red, the right half blue.
const Painter HALVES = Rgb32([](int32 x, int32) { return x < 16 ? RED : BLUE; });

// Holds every wait for the vertical retrace until opened, so a frame can be caught mid-draw.
class RetraceGate {
public:
    RetraceGate()
    {
        HeadlessDisplay().SetClock([] { return system_time(); }, [this](bigtime_t) { Hold(); });
    }

    ~RetraceGate()
    {
        Open();
        HeadlessDisplay().SetClock({}, {});
    }

    bool AwaitHeld()
    {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::microseconds(WAIT), [&] { return held; });
    }

    void Open()
    {
        std::lock_guard guard(lock);
        open = true;
        changed.notify_all();
    }

private:
    void Hold()
    {
        std::unique_lock guard(lock);
        held = true;
        changed.notify_all();
        changed.wait_for(guard, std::chrono::microseconds(WAIT), [&] { return open; });
    }

    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    bool held = false;
    bool open = false;
};

class FramePathTest : public testing::Test {
protected:
    void SetUp() override
    {
        roster = BMediaRoster::Roster();
        ASSERT_NE(roster, nullptr);
    }

    void TearDown() override
    {
        DeleteConsumer();
        for (BMediaNode* node :
            {static_cast<BMediaNode*>(producer), static_cast<BMediaNode*>(clock)}) {
            if (node == nullptr)
                continue;
            roster->StopNode(node->Node(), 0, true);
            roster->UnregisterNode(node);
            node->Release();
        }
        if (window != nullptr) {
            window->Lock();
            window->Quit();
        }
        kits::media::ResetMediaFaults();
        HeadlessDisplay().Reset();
    }

    // Draws what the window has invalidated now, so no later update paints over a frame.
    void Settle()
    {
        window->Lock();
        window->UpdateIfNeeded();
        window->Unlock();
    }

    // As the program stops its graph: stop, disconnect, unregister, delete.
    void DeleteConsumer()
    {
        if (consumer == nullptr)
            return;
        roster->StopNode(consumer->Node(), 0, true);
        Disconnect();
        roster->UnregisterNode(consumer);
        delete consumer;
        consumer = nullptr;
    }

    status_t Connect(media_format format)
    {
        return ConnectFirstFree(producer->Node(), consumer->Node(), &format, &output, &input);
    }

    void Disconnect()
    {
        roster->Disconnect(output.node.node, output.source, input.node.node, input.destination);
    }

    // A shown window whose content is one width x height view, fed RGB32 frames of that size by
    // a producer writing into the consumer's buffers or its own, connected but not started. The
    // consumer's clock is held at NOW, so a frame stamped NOW is on time however slowly it
    // travels.
    void BuildGraph(bool ownBuffers, int32 width = 64, int32 height = 48)
    {
        window = new BWindow(BRect(40, 40, float(40 + width - 1), float(40 + height - 1)),
            "Frames", B_TITLED_WINDOW, 0);
        view = new BView(BRect(0, 0, float(width - 1), float(height - 1)), "picture",
            B_FOLLOW_NONE, 0);
        view->SetViewColor(BACKGROUND);
        window->AddChild(view);
        window->Show();
        Settle();
        consumer = new VideoConsumer(view, nullptr, 0);
        ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
        clock = new TestTimeSource();
        ASSERT_EQ(roster->RegisterNode(clock), B_OK);
        ASSERT_EQ(roster->StartTimeSource(clock->Node(), BTimeSource::RealTime()), B_OK);
        ASSERT_EQ(roster->SetTimeSourceFor(consumer->ID(), clock->ID()), B_OK);
        clock->Freeze(NOW);
        producer = new TestProducer({.ownBuffers = ownBuffers});
        ASSERT_EQ(roster->RegisterNode(producer), B_OK);
        ASSERT_EQ(Connect(VideoFormat(B_RGB32, uint32(width), uint32(height))), B_OK);
    }

    void StartGraph(bool ownBuffers)
    {
        ASSERT_NO_FATAL_FAILURE(BuildGraph(ownBuffers));
        StartConsumer();
    }

    void StartConsumer()
    {
        ASSERT_EQ(roster->StartNode(consumer->Node(), NOW), B_OK);
        ASSERT_TRUE(
            Await([&] { return consumer->RunState() == BMediaEventLooper::B_STARTED; }));
    }

    void ResizeView(int32 width, int32 height)
    {
        window->Lock();
        view->ResizeTo(float(width - 1), float(height - 1));
        window->UpdateIfNeeded();
        window->Unlock();
    }

    // Sends a frame and waits until the consumer has handled it and given its buffer back.
    void Show(const Painter& paint, bigtime_t startTime = NOW)
    {
        BBufferGroup& group = *producer->Group();
        const int32 free = CountFreeBuffers(group);
        ASSERT_EQ(producer->SendFrame(startTime, paint), B_OK);
        ASSERT_TRUE(Await([&] { return CountFreeBuffers(group) == free; }));
    }

    uint32 Pixel(int32 x, int32 y)
    {
        window->Lock();
        const uint32 pixel = window->ContentBuffer().PixelAt(x, y);
        window->Unlock();
        return pixel;
    }

    BMediaRoster* roster = nullptr;
    BWindow* window = nullptr;
    BView* view = nullptr;
    VideoConsumer* consumer = nullptr;
    TestProducer* producer = nullptr;
    TestTimeSource* clock = nullptr;
    media_output output;
    media_input input;
};

TEST_F(FramePathTest, FramesAre25MillisecondsLateOrEarlyAreNotDrawn)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    const struct {
        bigtime_t offset;
        bool drawn;
    } cases[] = {{-25000, false}, {-24999, true}, {0, true}, {24999, true}, {25000, false}};
    for (const auto& entry : cases) {
        Show(Solid(RED));
        ASSERT_EQ(Pixel(10, 10), Shown(RED));
        const VideoConsumer::FrameCounts before = VideoConsumer::CountFrames();
        Show(Solid(GREEN), NOW + entry.offset);
        EXPECT_EQ(Pixel(10, 10), Shown(entry.drawn ? GREEN : RED)) << entry.offset;
        const VideoConsumer::FrameCounts after = VideoConsumer::CountFrames();
        EXPECT_EQ(after.received - before.received, 1) << entry.offset;
        EXPECT_EQ(after.drawn - before.drawn, entry.drawn ? 1 : 0) << entry.offset;
        EXPECT_EQ(after.late - before.late, entry.drawn ? 0 : 1) << entry.offset;
    }
}

TEST_F(FramePathTest, OfferedBuffersWrapTheBitmapsInOrder)
{
    ASSERT_NO_FATAL_FAILURE(BuildGraph(false));
    ASSERT_EQ(producer->GroupsOffered(), 1);
    BBufferGroup* group = producer->Group();
    ASSERT_NE(group, nullptr);
    BBuffer* list[4] = {};
    ASSERT_EQ(group->GetBufferList(4, list), B_OK);
    for (int32 i = 0; i < 3; i++) {
        ASSERT_NE(list[i], nullptr);
        EXPECT_EQ(list[i]->Flags(), i);
        EXPECT_EQ(list[i]->SizeAvailable(), size_t(64 * 4 * 48));
    }
    EXPECT_EQ(list[3], nullptr);

    StartConsumer();
    // Each buffer in turn, so every bitmap is drawn from.
    for (uint32 colour : {RED, GREEN, BLUE, RED}) {
        Show(Solid(colour));
        EXPECT_EQ(Pixel(32, 24), Shown(colour));
    }
}

TEST_F(FramePathTest, EveryAcceptedColourSpaceIsDrawnUnsheared)
{
    // 30 pixels: grey rows are padded to 32 bytes in the bitmaps, and the producer is told so.
    ASSERT_NO_FATAL_FAILURE(BuildGraph(true, 30, 24));
    const struct {
        color_space space;
        uint32 left;
        uint32 right;
        uint32 shownLeft;
        uint32 shownRight;
    } cases[] = {
        {B_RGB32, 0x00FF8000, 0x000000FF, PackColor(255, 128, 0), PackColor(0, 0, 255)},
        {B_RGB16, 0xF800, 0x001F, PackColor(255, 0, 0), PackColor(0, 0, 255)},
        {B_RGB15, 0x03E0, 0x7C00, PackColor(0, 255, 0), PackColor(255, 0, 0)},
        {B_GRAY8, 0x80, 0xFF, PackColor(128, 128, 128), PackColor(255, 255, 255)}};
    for (const auto& entry : cases) {
        Disconnect();
        ASSERT_EQ(Connect(VideoFormat(entry.space, 30, 24)), B_OK);
        StartConsumer();
        const int32 pixelBytes = BytesPerPixel(entry.space);
        Show([&](uint8* bits, const media_video_display_info& display) {
            for (uint32 y = 0; y < display.line_count; y++) {
                for (uint32 x = 0; x < display.line_width; x++) {
                    const uint32* pixel = x < 15 ? &entry.left : &entry.right;
                    std::memcpy(bits + y * display.bytes_per_row + x * pixelBytes, pixel,
                        size_t(pixelBytes));
                }
            }
        });
        for (int32 y : {0, 23}) {
            EXPECT_EQ(Pixel(0, y), entry.shownLeft) << entry.space;
            EXPECT_EQ(Pixel(14, y), entry.shownLeft) << entry.space;
            EXPECT_EQ(Pixel(15, y), entry.shownRight) << entry.space;
            EXPECT_EQ(Pixel(29, y), entry.shownRight) << entry.space;
        }
    }
}

TEST_F(FramePathTest, WideSignalsAreCroppedToTheViewAndTheLastLineKeptOdd)
{
    ASSERT_NO_FATAL_FAILURE(BuildGraph(true, 64, 576));
    ResizeView(64, 432);
    StartConsumer();
    consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_WIDE_625);
    Show(Rgb32([](int32, int32 y) { return y < 72 ? RED : y <= 503 ? GREEN : BLUE; }));
    for (int32 y : {0, 1, 215, 430, 431})
        EXPECT_EQ(Pixel(5, y), Shown(GREEN)) << y;
    EXPECT_NE(Pixel(5, 432), Shown(GREEN));

    Disconnect();
    ASSERT_EQ(Connect(VideoFormat(B_RGB32, 64, 480)), B_OK);
    StartConsumer();
    ResizeView(64, 406);
    consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_WIDE_525);
    Show(Rgb32([](int32, int32 y) { return y < 36 ? RED : y <= 441 ? GREEN : BLUE; }));
    for (int32 y : {0, 200, 405})
        EXPECT_EQ(Pixel(5, y), Shown(GREEN)) << y;
    EXPECT_NE(Pixel(5, 406), Shown(GREEN));

    // Bounds 430 high: the picture ends on line 429, the view's last line is left alone.
    ResizeView(64, 431);
    consumer->SetSignalFormat(VideoConsumer::SIGNAL_FORMAT_FULL);
    Show(Solid(GREEN));
    EXPECT_EQ(Pixel(5, 429), Shown(GREEN));
    EXPECT_EQ(Pixel(5, 430), PackColor(0, 0, 64));
}

// Even lines light grey, odd lines black: the de-interlace filter makes every blended line
// mid grey, and the subtitle filter leaves such colourless pixels alone.
constexpr uint32 LIGHT = 0x00FEFEFE;
constexpr uint32 BLENDED = 0x007F7F7F;

Painter Interlaced()
{
    return Rgb32([](int32, int32 y) { return y % 2 == 0 ? LIGHT : 0; });
}

TEST_F(FramePathTest, FiltersRunOnlyWhileTheWindowIsVisibleButFramesAreStillDrawn)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    consumer->SetDeInterlaceFilter(true);
    consumer->SetSubtitleFilter(true);

    const auto expectFiltered = [&](bool filtered, const char* state) {
        Show(Solid(RED));
        Show(Interlaced());
        EXPECT_EQ(Pixel(20, 10), Shown(filtered ? BLENDED : LIGHT)) << state;
        EXPECT_EQ(Pixel(20, 11), Shown(filtered ? BLENDED : 0)) << state;
        // The last lines are outside the groups of four that are blended.
        EXPECT_EQ(Pixel(20, 46), Shown(LIGHT)) << state;
    };
    expectFiltered(true, "shown");

    window->Minimize(true);
    expectFiltered(false, "minimized");
    window->Minimize(false);
    Settle();
    expectFiltered(true, "restored");

    window->Hide();
    expectFiltered(false, "hidden");
    window->Show();
    Settle();

    ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(1), B_OK);
    expectFiltered(false, "other workspace");
    ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(0), B_OK);
    Settle();
    expectFiltered(true, "back on its workspace");

    consumer->SetDeInterlaceFilter(false);
    expectFiltered(false, "filter off");
}

TEST_F(FramePathTest, LineContrastIsMeasuredOnTheNextFrameEvenWhileMinimized)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    consumer->SetDeInterlaceFilter(true);

    std::vector<uint8> frame(64 * 4 * 48);
    media_video_display_info display = VideoFormat(B_RGB32, 64, 48).u.raw_video.display;
    Interlaced()(frame.data(), display);
    const int32 expected
        = FindContrast(FrameView{frame.data(), 256, 64, 48, B_RGB32}, frame.size());
    ASSERT_GT(expected, 0);

    for (bool minimized : {false, true}) {
        window->Minimize(minimized);
        std::atomic<bool> done{false};
        int32 contrast = -2;
        std::thread asker([&] {
            contrast = consumer->GetLineContrast();
            done = true;
        });
        // Frames keep coming until the answer is in; the asker gives up after 250 ms anyway.
        while (!done) {
            if (producer->SendFrame(NOW, Interlaced()) != B_OK
                || producer->Group()->ReclaimAllBuffers() != B_OK) {
                break;
            }
        }
        asker.join();
        // Measured before the filters change the frame.
        EXPECT_EQ(contrast, expected) << minimized;
    }
}

TEST_F(FramePathTest, EveryBufferIsRecycledOnceAcrossStopReconnectionAndDeletion)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    BBufferGroup& group = *producer->Group();

    // Frames queued far ahead hold their buffers until a stop flushes them.
    const bigtime_t later = NOW + 60000000;
    for (int32 i = 0; i < 3; i++)
        ASSERT_EQ(producer->SendFrame(later, Solid(RED)), B_OK);
    EXPECT_EQ(CountFreeBuffers(group), 0);
    ASSERT_EQ(roster->StopNode(consumer->Node(), 0, true), B_OK);
    EXPECT_TRUE(Await([&] { return CountFreeBuffers(group) == 3; }));

    // While stopped, a frame comes back at once, undrawn.
    Show(Solid(GREEN));
    EXPECT_EQ(CountFreeBuffers(group), 3);
    EXPECT_NE(Pixel(10, 10), Shown(GREEN));

    // Reconnected at a new size with frames still queued: the bitmaps follow the new size.
    StartConsumer();
    for (int32 i = 0; i < 2; i++)
        ASSERT_EQ(producer->SendFrame(later, Solid(RED)), B_OK);
    Disconnect();
    ASSERT_EQ(Connect(VideoFormat(B_RGB32, 32, 24)), B_OK);
    Show(HALVES);
    EXPECT_EQ(Pixel(10, 40), Shown(RED));
    EXPECT_EQ(Pixel(50, 40), Shown(BLUE));
    EXPECT_EQ(CountFreeBuffers(group), 1);

    // Deleted with frames queued (unregistered, not stopped): each comes back once.
    Disconnect();
    ASSERT_EQ(roster->UnregisterNode(consumer), B_OK);
    delete consumer;
    consumer = nullptr;
    EXPECT_EQ(CountFreeBuffers(group), 3);
}

TEST_F(FramePathTest, FormatChangeHandsTheProducerNewBuffersAndSurvivesAFailedOne)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(false));
    Show(Solid(RED));
    ASSERT_EQ(Pixel(10, 10), Shown(RED));

    // No bitmap can be made: the producer keeps writing into the buffers it has, which stay
    // valid, and its frames are dropped as there is nothing to draw into.
    media_format empty = VideoFormat(B_RGB32, 64, 48);
    empty.u.raw_video.display.line_width = 0;
    EXPECT_EQ(producer->ChangeFormatTo(empty), B_ERROR);
    Show(Solid(GREEN));
    EXPECT_EQ(Pixel(10, 10), Shown(RED));
    EXPECT_EQ(producer->GroupsOffered(), 1);

    // A good format: new bitmaps, and the new group handed over once the producer had its answer.
    ASSERT_EQ(producer->ChangeFormatTo(VideoFormat(B_RGB32, 32, 24)), B_OK);
    ASSERT_TRUE(Await([&] { return producer->GroupsOffered() == 2; }));
    Show(HALVES);
    EXPECT_EQ(Pixel(10, 40), Shown(RED));
    EXPECT_EQ(Pixel(50, 40), Shown(BLUE));
}

TEST_F(FramePathTest, ForeignFramesNeverOverwriteABufferTheProducerHolds)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    // The producer is writing its next frame into one of the consumer's buffers ...
    BBufferGroup* offered = producer->OfferedGroup();
    ASSERT_NE(offered, nullptr);
    BBuffer* held = offered->RequestBuffer(64 * 48 * 4, WAIT);
    ASSERT_NE(held, nullptr);
    auto* bits = static_cast<uint32*>(held->Data());
    std::fill(bits, bits + 64 * 48, BLUE);
    // ... while a frame of another group arrives: it is shown, and the held frame is untouched.
    Show(Solid(RED));
    EXPECT_EQ(Pixel(10, 10), Shown(RED));
    EXPECT_EQ(std::count(bits, bits + 64 * 48, BLUE), 64 * 48);
    held->Recycle();
}

TEST_F(FramePathTest, DeletionStopsTheControlThreadBeforeFreeingWhatItUses)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(false));

    // A frame is caught waiting for the retrace, and a format change, which would make new
    // buffers, queues up behind it; the roster waits for the consumer's answer longer than this
    // test waits for anything.
    kits::media::SetNodeCallTimeout(4 * WAIT);
    RetraceGate gate;
    ASSERT_EQ(producer->SendFrame(NOW, Solid(RED)), B_OK);
    ASSERT_TRUE(gate.AwaitHeld());
    std::atomic<status_t> change{1};
    std::thread changer([&] { change = producer->ChangeFormatTo(VideoFormat(B_RGB32, 32, 24)); });

    // The program deletes the consumer even when stopping it fails.
    for (auto operation : {kits::media::RosterOperation::StopNode,
             kits::media::RosterOperation::Disconnect,
             kits::media::RosterOperation::UnregisterNode}) {
        kits::media::FailRosterOperation(operation, B_ERROR, consumer->ID());
    }
    std::thread deleter([&] { DeleteConsumer(); });
    // The control thread is told to quit first: the queued change is refused while the frame
    // is still being drawn, before anything it would touch is freed.
    const bool refused = Await([&] { return change != 1; });
    gate.Open();
    deleter.join();
    changer.join();
    EXPECT_TRUE(refused);
    EXPECT_NE(change, B_OK);
    EXPECT_EQ(producer->GroupsOffered(), 1);
    // And the producer no longer writes into the buffers of the deleted consumer.
    EXPECT_EQ(producer->OfferedGroup(), nullptr);
}

}

// Interlaced() is still: the motion filter weaves it once it has seen the frame before, and
// interpolates the later field (odd lines at 50 fields/s, even ones at 59.94) from the earlier
// one when it has not, as after a reconnection, a format change or a frame it did not filter.
TEST_F(FramePathTest, MotionFilterStartsAfreshAfterReconnectionFormatChangeAndUnfilteredFrames)
{
    ASSERT_NO_FATAL_FAILURE(StartGraph(true));
    consumer->SetDeInterlaceFilter(VideoConsumer::DEINTERLACE_FILTER_MOTION);
    const auto expectFirstThenWoven = [&](int32 laterLine, uint32 interpolated, const char* when) {
        const uint32 woven = laterLine % 2 == 0 ? LIGHT : 0;
        Show(Interlaced());
        EXPECT_EQ(Pixel(20, laterLine), Shown(interpolated)) << when;
        EXPECT_EQ(Pixel(20, laterLine + 1), Shown(woven == 0 ? LIGHT : 0)) << when;
        Show(Interlaced());
        EXPECT_EQ(Pixel(20, laterLine), Shown(woven)) << when;
    };
    expectFirstThenWoven(11, LIGHT, "first frame");

    window->Minimize(true);
    Show(Interlaced());
    window->Minimize(false);
    Settle();
    expectFirstThenWoven(11, LIGHT, "after a frame while minimized");

    Disconnect();
    media_format format = VideoFormat(B_RGB32, 64, 48);
    ASSERT_EQ(Connect(format), B_OK);
    StartConsumer();
    expectFirstThenWoven(11, LIGHT, "after reconnection");

    ASSERT_EQ(producer->ChangeFormatTo(format), B_OK);
    ASSERT_TRUE(Await([&] { return producer->GroupsOffered() == 3; }));
    expectFirstThenWoven(11, LIGHT, "after a format change");

    Disconnect();
    format.u.raw_video.field_rate = 59.94f;
    ASSERT_EQ(Connect(format), B_OK);
    StartConsumer();
    expectFirstThenWoven(10, 0, "at 59.94 fields/s");

    // Frames of one field each are not interlaced.
    Disconnect();
    format.u.raw_video.interlace = 1;
    ASSERT_EQ(Connect(format), B_OK);
    StartConsumer();
    Show(Interlaced());
    EXPECT_EQ(Pixel(20, 10), Shown(LIGHT));
}
