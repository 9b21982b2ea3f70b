// The node manager: signal sizing, the archive, and the graph from the test card to the consumer.

#include "video/NodeManager.h"

#include "devices/ChannelPlan.h"
#include "devices/TestCardNode.h"
#include "kits/app/Message.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/Buffer.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"
#include "tests/support/MessageWith.h"
#include "tests/support/TestCard.h"
#include "video/VideoConsumer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using kits::interface::HeadlessDisplay;
using kits::media::FailRosterOperation;
using kits::media::RosterOperation;

using test_support::Await;
using test_support::CardParameter;
using test_support::CardValue;
using test_support::With;

constexpr uint32 SENTINEL = 'sEnT';

int32 Int32Of(const BMessage& message, const char* name, int32 fallback)
{
    int32 value = fallback;
    return message.FindInt32(name, &value) == B_OK ? value : fallback;
}

bool BoolOf(const BMessage& message, const char* name, bool fallback)
{
    bool value = fallback;
    return message.FindBool(name, &value) == B_OK ? value : fallback;
}

// Consumers alive right now, to see that nothing is left behind.
std::atomic<int32> liveConsumers{0};

// The program's consumer, recording what it is connected with and what it receives.
class SpyConsumer : public VideoConsumer {
public:
    explicit SpyConsumer(BView* view)
        : BMediaNode("Consumer"), VideoConsumer(view, nullptr, 0)
    {
        liveConsumers++;
    }
    // The control thread calls this object's hooks: it ends before this part is gone.
    ~SpyConsumer() override
    {
        Quit();
        liveConsumers--;
    }

    media_format LastFormat() const
    {
        std::lock_guard guard(lock);
        return last;
    }

    std::function<void()> onConnected;
    std::atomic<int32> connections{0};
    // Buffers received since the last connection.
    std::atomic<int64> buffers{0};

protected:
    status_t Connected(const media_source& producer, const media_destination& where,
        const media_format& withFormat, media_input* outInput) override
    {
        if (onConnected)
            onConnected();
        {
            std::lock_guard guard(lock);
            last = withFormat;
        }
        connections++;
        buffers = 0;
        return VideoConsumer::Connected(producer, where, withFormat, outInput);
    }

    void BufferReceived(BBuffer* buffer) override
    {
        buffers++;
        VideoConsumer::BufferReceived(buffer);
    }

private:
    mutable std::mutex lock;
    media_format last;
};

// The test card with its web changed, or its "Video Format" reading wrong, for the cards the
// manager must cope with.
class OddCard : public devices::TestCardNode {
public:
    enum class Web { Normal, NoVideoFormat, ContinuousVideoFormat, None, ChannelPrefix };

    explicit OddCard(Web web) : BMediaNode("Test Signal Card"), web(web) {}
    ~OddCard() override { Quit(); }

    std::optional<int32> reportedVideoFormat;
    bool failVideoFormatRead = false;

protected:
    void NodeRegistered() override
    {
        devices::TestCardNode::NodeRegistered();
        if (web == Web::Normal)
            return;
        if (web == Web::None) {
            SetParameterWeb(nullptr);
            return;
        }
        auto replacement = std::make_unique<BParameterWeb>();
        BParameterGroup* group = replacement->MakeGroup("Tuner");
        if (web == Web::ContinuousVideoFormat) {
            group->MakeContinuousParameter(devices::PARAMETER_VIDEO_FORMAT, B_MEDIA_RAW_VIDEO,
                "Video Format", B_VIDEO_FORMAT, B_UNIT_NONE, 0, 6, 1);
        }
        BDiscreteParameter* channel = group->MakeDiscreteParameter(devices::PARAMETER_CHANNEL,
            B_MEDIA_RAW_VIDEO, web == Web::ChannelPrefix ? "Channel (tuner 1)" : "Channel",
            B_TUNER_CHANNEL);
        for (int32 i = 0; i < 10; i++)
            channel->AddItem(i, "channel");
        SetParameterWeb(replacement.release());
    }

    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override
    {
        if (id == devices::PARAMETER_VIDEO_FORMAT && failVideoFormatRead)
            return B_ERROR;
        if (id == devices::PARAMETER_VIDEO_FORMAT && reportedVideoFormat && *ioSize >= 4) {
            *static_cast<int32*>(value) = *reportedVideoFormat;
            *ioSize = 4;
            return B_OK;
        }
        return devices::TestCardNode::GetParameterValue(id, lastChange, value, ioSize);
    }

private:
    Web web;
};

// A window that keeps the node errors posted to it.
class ErrorWindow : public BWindow {
public:
    ErrorWindow() : BWindow(BRect(0, 0, 319, 239), "errors", B_TITLED_WINDOW, 0) {}

    void MessageReceived(BMessage* message) override
    {
        if (message->what == MSG_NODE_ERROR) {
            std::lock_guard guard(lock);
            numbers.push_back(Int32Of(*message, "Number", 0));
        } else if (message->what == SENTINEL) {
            sentinels++;
        } else {
            BWindow::MessageReceived(message);
        }
    }

    // Every error posted so far: waits until the window has handled what came before.
    std::vector<int32> Errors()
    {
        const int32 wanted = sentinels + 1;
        PostMessage(SENTINEL);
        Await([&] { return sentinels >= wanted; });
        std::lock_guard guard(lock);
        return numbers;
    }

private:
    std::mutex lock;
    std::vector<int32> numbers;
    std::atomic<int32> sentinels{0};
};

class Manager : public NodeManager {
public:
    using NodeManager::NodeManager;

    SpyConsumer* Spy() const { return static_cast<SpyConsumer*>(Consumer()); }
};

class NodeManagerTest : public test_support::MediaRosterTest {
protected:
    void SetUp() override
    {
        MediaRosterTest::SetUp();
        ASSERT_EQ(HeadlessDisplay().SetScreen(B_RGB32, 1024, 768), B_OK);
        UseCard(OddCard::Web::Normal);
        window = new ErrorWindow();
        view = new BView(window->Bounds(), "picture", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        window->AddChild(view);
        window->Show();
    }

    void TearDown() override
    {
        manager.reset();
        window->Lock();
        window->Quit();
        HeadlessDisplay().Reset();
        MediaRosterTest::TearDown();
        EXPECT_EQ(liveConsumers, 0);
        // Every buffer came back and was freed with its group.
        EXPECT_TRUE(Await([] { return kits::media::LiveBufferCount() == 0; }));
    }

    // The default video input becomes an odd card, made when the manager first asks for it.
    void UseCard(OddCard::Web web)
    {
        kits::media::ResetDefaultNodes();
        card = nullptr;
        media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, [this, web]() -> BMediaNode* {
            card = new OddCard(web);
            return card;
        }, 1000);
    }

    // A manager whose consumers are spies (none while refuseConsumer is set) and whose wait
    // for the media service calls `sleep`; from `archive` when one is given.
    std::unique_ptr<Manager> MakeManager(BMessage* archive = nullptr,
        std::function<void(bigtime_t)> sleep = [](bigtime_t) {})
    {
        NodeManagerOptions options;
        options.sleep = std::move(sleep);
        options.makeConsumer = [this](BView* target) -> std::unique_ptr<VideoConsumer> {
            if (refuseConsumer)
                return nullptr;
            return std::make_unique<SpyConsumer>(target);
        };
        if (archive == nullptr)
            return std::make_unique<Manager>(std::move(options));
        return std::make_unique<Manager>(archive, std::move(options));
    }

    status_t Start()
    {
        if (manager == nullptr)
            manager = MakeManager();
        return manager->StartNodes(view);
    }

    void SetCardValue(const char* name, int32 value)
    {
        ASSERT_EQ(CardParameter(name)->SetValue(&value, sizeof(value), BTimeSource::RealTime()),
            B_OK);
    }

    // Frames reach the consumer: `more` of them from now on.
    static bool FramesFlow(const Manager& fed, int64 more = 3)
    {
        SpyConsumer* spy = fed.Spy();
        if (spy == nullptr)
            return false;
        const int64 before = spy->buffers;
        return Await([&] { return spy->buffers >= before + more; });
    }
    bool FramesFlow() { return FramesFlow(*manager); }

    // A grid of the window's pixels, to see the picture change.
    std::vector<uint32> Picture()
    {
        std::vector<uint32> pixels;
        window->Lock();
        const kits::interface::FrameBuffer& buffer = window->ContentBuffer();
        for (int32 y = 10; y < buffer.Height(); y += 20) {
            for (int32 x = 10; x < buffer.Width(); x += 20)
                pixels.push_back(buffer.PixelAt(x, y));
        }
        window->Unlock();
        return pixels;
    }

    BMessage Archive(bool deep = true)
    {
        BMessage archive;
        EXPECT_EQ(manager->Archive(&archive, deep), B_OK);
        return archive;
    }

    // The node manager's part of `archive`.
    static BMessage Settings(const BMessage& archive)
    {
        BMessage nested;
        EXPECT_EQ(archive.FindMessage("NodeManager", &nested), B_OK);
        return nested;
    }

    media_raw_video_format LastVideo() const { return manager->Spy()->LastFormat().u.raw_video; }

    ErrorWindow* window = nullptr;
    BView* view = nullptr;
    OddCard* card = nullptr;
    bool refuseConsumer = false;
    std::unique_ptr<Manager> manager;
};

TEST_F(NodeManagerTest, SignalTypeSizesAndFieldRateFollowTheCardsVideoFormat)
{
    ASSERT_EQ(Start(), B_OK);
    struct Row {
        int32 value;
        int32 type;
        BRect size43;
        BRect size169;
        BRect raw169;
        float rate;
    };
    const Row rows[] = {
        {0, SIGNAL_UNKNOWN, BRect(0, 0, 639, 479), BRect(0, 0, 639, 359), BRect(0, 0, 639, 479), 50},
        {1, SIGNAL_525, BRect(0, 0, 639, 479), BRect(0, 0, 719, 405), BRect(0, 0, 719, 479), 59.94f},
        {2, SIGNAL_525, BRect(0, 0, 639, 479), BRect(0, 0, 719, 405), BRect(0, 0, 719, 479), 59.94f},
        {3, SIGNAL_625, BRect(0, 0, 767, 575), BRect(0, 0, 767, 431), BRect(0, 0, 767, 575), 50},
        {4, SIGNAL_525_B, BRect(0, 0, 639, 479), BRect(0, 0, 719, 405), BRect(0, 0, 719, 479), 59.94f},
        {5, SIGNAL_625, BRect(0, 0, 767, 575), BRect(0, 0, 767, 431), BRect(0, 0, 767, 575), 50},
        {6, SIGNAL_625_B, BRect(0, 0, 767, 575), BRect(0, 0, 767, 431), BRect(0, 0, 767, 575), 50},
        {7, SIGNAL_UNKNOWN, BRect(0, 0, 639, 479), BRect(0, 0, 639, 359), BRect(0, 0, 639, 479), 50},
        {-1, SIGNAL_UNKNOWN, BRect(0, 0, 639, 479), BRect(0, 0, 639, 359), BRect(0, 0, 639, 479), 50},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        card->reportedVideoFormat = row.value;
        manager->SetSignalFormat(FORMAT_4_3);
        EXPECT_EQ(manager->GetSignalType(), row.type);
        EXPECT_EQ(manager->GetSignalSize(), row.size43);
        EXPECT_EQ(manager->GetRawSignalSize(), row.size43);
        EXPECT_EQ(manager->GetFieldRate(), row.rate);
        manager->SetSignalFormat(FORMAT_16_9);
        EXPECT_EQ(manager->GetSignalSize(), row.size169);
        EXPECT_EQ(manager->GetRawSignalSize(), row.raw169);
    }
    // An aspect value the menu never offers is shown as 4:3.
    card->reportedVideoFormat = 3;
    manager->SetSignalFormat(7);
    EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 767, 575));
}

TEST_F(NodeManagerTest, CardsWhoseVideoFormatCannotBeReadAreUnknownSignals)
{
    for (auto web : {OddCard::Web::NoVideoFormat, OddCard::Web::ContinuousVideoFormat,
             OddCard::Web::Normal}) {
        SCOPED_TRACE(int(web));
        manager.reset();
        UseCard(web);
        // Before the graph starts the manager has no parameter to read.
        manager = MakeManager();
        EXPECT_EQ(manager->GetSignalType(), SIGNAL_UNKNOWN);
        ASSERT_EQ(Start(), B_OK);
        if (web == OddCard::Web::Normal)
            card->failVideoFormatRead = true;
        EXPECT_EQ(manager->GetSignalType(), SIGNAL_UNKNOWN);
        EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 639, 479));
        EXPECT_EQ(manager->GetFieldRate(), 50.0f);
        manager->SetSignalFormat(FORMAT_16_9);
        EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 639, 359));
        // The picture still runs, at the fallback size.
        EXPECT_TRUE(FramesFlow());
    }
    EXPECT_TRUE(window->Errors().empty());
}

TEST(NodeManagerPixelCountTest, InclusiveMeasuresCountOneMorePixel)
{
    const struct {
        float measure;
        int32 pixels;
    } cases[] = {{767, 768}, {575, 576}, {766.5f, 768}, {0, 1}};
    for (const auto& entry : cases)
        EXPECT_EQ(NodeManager::PixelCount(entry.measure), entry.pixels) << entry.measure;
}

TEST_F(NodeManagerTest, RequestedSizesStartAtTheCardsWholePictureAndAreMadeEvenAndClamped)
{
    ASSERT_EQ(Start(), B_OK);
    // (0, 0, 767, 575) is 768 x 576 pixels: none is scaled up for nothing.
    EXPECT_EQ(LastVideo().display.line_width, 768u);
    EXPECT_EQ(LastVideo().display.line_count, 576u);
    EXPECT_EQ(manager->RequestedWidth(), 768);
    EXPECT_EQ(manager->RequestedHeight(), 576);
    // The 16-bit limit is on by default, so a 32-bit screen still gets 16-bit frames.
    EXPECT_EQ(LastVideo().display.format, B_RGB16);
    EXPECT_EQ(LastVideo().display.bytes_per_row, 768u * 2);
    EXPECT_EQ(LastVideo().pixel_width_aspect, 4);
    EXPECT_EQ(LastVideo().pixel_height_aspect, 3);

    const struct {
        int32 format;
        int32 mode;
        int32 width;
        int32 height;
        uint32 lineWidth;
        uint32 lineCount;
        int32 storedWidth;
        int32 storedHeight;
    } cases[] = {
        {FORMAT_4_3, DEINTERLACE_NONE, 641, 481, 640, 480, 640, 480},
        {FORMAT_4_3, DEINTERLACE_NONE, 1000, 900, 768, 576, 1000, 900},
        // 16:9 adds a third, taken of the height as passed in and then made even: 303 and 305
        // give 404 and 406, where a third of the even stored height would give 402 and 404.
        {FORMAT_16_9, DEINTERLACE_NONE, 768, 433, 768, 576, 768, 432},
        {FORMAT_16_9, DEINTERLACE_NONE, 400, 303, 400, 404, 400, 302},
        {FORMAT_16_9, DEINTERLACE_NONE, 400, 305, 400, 406, 400, 304},
        {FORMAT_4_3, DEINTERLACE_DUAL_FIELD, 640, 480, 640, 480, 640, 480},
        {FORMAT_4_3, DEINTERLACE_SINGLE_FIELD, 640, 480, 640, 240, 640, 480},
        {FORMAT_4_3, DEINTERLACE_MOTION_ADAPTIVE, 640, 480, 640, 480, 640, 480},
        // An unknown mode clears single field too.
        {FORMAT_4_3, 9, 640, 480, 640, 480, 640, 480},
        // The worked example: 16:9, single field.
        {FORMAT_16_9, DEINTERLACE_SINGLE_FIELD, 768, 432, 768, 288, 768, 432},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << entry.width << "x" << entry.height);
        manager->SetSignalFormat(entry.format);
        manager->SetDeInterlace(entry.mode);
        manager->SetSize(entry.width, entry.height);
        EXPECT_EQ(LastVideo().display.line_width, entry.lineWidth);
        EXPECT_EQ(LastVideo().display.line_count, entry.lineCount);
        EXPECT_EQ(manager->RequestedWidth(), entry.storedWidth);
        EXPECT_EQ(manager->RequestedHeight(), entry.storedHeight);
    }
    // The worked example on a 32-bit screen with the limit on.
    EXPECT_EQ(LastVideo().display.format, B_RGB16);
    EXPECT_EQ(LastVideo().display.bytes_per_row, 1536u);

    // A 525-line card in 4:3 is clamped to 640 wide.
    manager->SetDeInterlace(DEINTERLACE_NONE);
    manager->SetSignalFormat(FORMAT_4_3);
    SetCardValue("Video Format", devices::VIDEO_FORMAT_NTSC_M);
    manager->SetSize(1000, 1000);
    EXPECT_EQ(LastVideo().display.line_width, 640u);
    EXPECT_EQ(LastVideo().display.line_count, 480u);
    EXPECT_TRUE(window->Errors().empty());
    EXPECT_TRUE(FramesFlow());
}

TEST_F(NodeManagerTest, ColourSpaceFollowsTheScreenAndTheLimit)
{
    ASSERT_EQ(Start(), B_OK);
    struct Row {
        color_space screen;
        bool limit;
        color_space requested;
        uint32 bytesPerPixel;
        // Connections the change of limit makes: only on a deep screen.
        int32 reconnections;
    };
    const Row rows[] = {
        {B_RGB32, true, B_RGB16, 2, 0},
        {B_RGB32, false, B_RGB32, 4, 1},
        // The consumer takes no 24-bit frames: a 24-bit screen gets 32-bit ones.
        {B_RGB24, false, B_RGB32, 4, 0},
        {B_RGB24, true, B_RGB16, 2, 1},
        {B_CMAP8, true, B_GRAY8, 1, 0},
        {B_RGB15, false, B_RGB15, 2, 0},
        {B_RGB16, false, B_RGB16, 2, 0},
        {B_GRAY8, false, B_GRAY8, 1, 0},
        // The limit cleared on a shallow screen was kept for the next connection.
        {B_RGB32, false, B_RGB32, 4, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.screen) * 10 + row.limit);
        ASSERT_EQ(HeadlessDisplay().SetScreen(row.screen, 1024, 768), B_OK);
        const int32 connections = manager->Spy()->connections;
        manager->Set16bitLimit(row.limit);
        EXPECT_EQ(manager->Spy()->connections, connections + row.reconnections);
        manager->SetSize(320, 240);
        EXPECT_EQ(LastVideo().display.format, row.requested);
        EXPECT_EQ(LastVideo().display.bytes_per_row, 320 * row.bytesPerPixel);
    }
    EXPECT_TRUE(window->Errors().empty());
}

TEST_F(NodeManagerTest, SettersChangeNothingWhileStopped)
{
    manager = MakeManager();
    EXPECT_EQ(manager->GetLineContrast(), 0);
    manager->SetSignalFormat(FORMAT_16_9);
    manager->SetDeInterlace(DEINTERLACE_SINGLE_FIELD);
    manager->Set16bitLimit(false);
    ASSERT_EQ(Start(), B_OK);
    // Still 4:3, full height and 16-bit.
    EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 767, 575));
    EXPECT_EQ(LastVideo().display.line_count, 576u);
    EXPECT_EQ(LastVideo().display.format, B_RGB16);
    // Resizing a stopped graph keeps the size for the next start and connects nothing.
    manager->StopNodes();
    manager->SetSize(320, 240);
    EXPECT_EQ(manager->RequestedWidth(), 320);
    EXPECT_TRUE(window->Errors().empty());
}

TEST_F(NodeManagerTest, ArchiveRoundTripKeepsTheSettingsAndTheCardsChannel)
{
    ASSERT_EQ(Start(), B_OK);
    manager->SetSignalFormat(FORMAT_16_9);
    manager->SetDeInterlace(DEINTERLACE_DUAL_FIELD);
    SetCardValue("Channel", 12);
    BMessage archive = Archive(false);
    BMessage nested = Settings(archive);
    EXPECT_EQ(nested.what, uint32('NdMg'));
    EXPECT_EQ(Int32Of(nested, "_Channel", -1), 12);

    // Into a new manager whose start tunes the stored channel.
    manager.reset();
    SetCardValue("Channel", 3);
    manager = MakeManager(&archive);
    ASSERT_EQ(Start(), B_OK);
    EXPECT_EQ(CardValue<int32>("Channel"), 12);
    EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 767, 431));
    nested = Settings(Archive());
    EXPECT_TRUE(BoolOf(nested, "_DeInterlace", false));
    EXPECT_FALSE(BoolOf(nested, "_HalfHeight", true));
    EXPECT_EQ(Int32Of(nested, "_SignalFormat", 0), FORMAT_16_9);
    // The de-interlace modes exclude each other.
    manager->SetDeInterlace(DEINTERLACE_SINGLE_FIELD);
    nested = Settings(Archive());
    EXPECT_TRUE(BoolOf(nested, "_HalfHeight", false));
    EXPECT_FALSE(BoolOf(nested, "_DeInterlace", true));
    EXPECT_FALSE(nested.HasBool("_MotionAdaptive"));

    // Motion adaptive has a field of its own, written only in that mode.
    manager->SetDeInterlace(DEINTERLACE_MOTION_ADAPTIVE);
    archive = Archive();
    EXPECT_TRUE(BoolOf(Settings(archive), "_MotionAdaptive", false));
    EXPECT_FALSE(BoolOf(Settings(archive), "_DeInterlace", true));
    manager.reset();
    manager = MakeManager(&archive);
    ASSERT_EQ(Start(), B_OK);
    EXPECT_TRUE(BoolOf(Settings(Archive()), "_MotionAdaptive", false));
}

TEST_F(NodeManagerTest, PartialOrForeignArchivesKeepTheDefaults)
{
    // No channel parameter yet: "_Channel" is left out.
    manager = MakeManager();
    BMessage archive = Archive();
    EXPECT_FALSE(Settings(archive).HasInt32("_Channel"));
    ASSERT_EQ(Start(), B_OK);
    SetCardValue("Channel", 5);
    manager.reset();

    // A start with the stored channel -1 leaves the card's channel alone.
    manager = MakeManager(&archive);
    ASSERT_EQ(Start(), B_OK);
    EXPECT_EQ(CardValue<int32>("Channel"), 5);
    manager.reset();

    const auto holding = [](BMessage nested) {
        BMessage archive;
        archive.AddMessage("NodeManager", &nested);
        return archive;
    };
    BMessage foreign = holding(With('XXXX', "_SignalFormat", FORMAT_16_9, "_Channel", 9));
    BMessage wrongTypes = holding(With('NdMg', "_SignalFormat", "wide", "_Channel", "9"));
    BMessage notNested = With(0, "NodeManager", 1);
    BMessage both = holding(With('NdMg', "_DeInterlace", true, "_HalfHeight", true));
    for (BMessage* message : {&foreign, &wrongTypes, &notNested, &both}) {
        manager = MakeManager(message);
        ASSERT_EQ(Start(), B_OK);
        EXPECT_EQ(CardValue<int32>("Channel"), 5);
        EXPECT_EQ(manager->GetSignalSize(), BRect(0, 0, 767, 575));
        const BMessage nested = Settings(Archive());
        // Both flags archived: single field wins.
        EXPECT_EQ(BoolOf(nested, "_HalfHeight", false), message == &both);
        EXPECT_FALSE(BoolOf(nested, "_DeInterlace", true));
        manager.reset();
    }
}

TEST_F(NodeManagerTest, ArchiveConstructorWaitsForTheMediaService)
{
    BMessage archive;
    int32 sleeps = 0;
    kits::media::SetMediaServerRunning(false);
    manager = MakeManager(&archive, [&](bigtime_t duration) {
        EXPECT_EQ(duration, 5000000);
        // The service comes up after the third try.
        if (++sleeps == 3)
            kits::media::SetMediaServerRunning(true);
    });
    EXPECT_EQ(sleeps, 4);
    EXPECT_EQ(Start(), B_OK);
    manager.reset();

    // It never comes: 19 tries and the final pause, then a start that reports it.
    sleeps = 0;
    const auto count = [&](bigtime_t) { sleeps++; };
    kits::media::SetMediaServerRunning(false);
    manager = MakeManager(&archive, count);
    EXPECT_EQ(sleeps, 20);
    kits::media::SetMediaServerRunning(true);
    EXPECT_EQ(Start(), -1);
    EXPECT_EQ(window->Errors(), std::vector<int32>{NODE_ERROR_NO_ROSTER});
    // Without a roster sizing does nothing either.
    manager->SetSize(320, 240);
    EXPECT_EQ(manager->RequestedWidth(), 0);

    // The plain constructor never waits.
    sleeps = 0;
    kits::media::SetMediaServerRunning(false);
    MakeManager(nullptr, count);
    EXPECT_EQ(sleeps, 0);
}

TEST_F(NodeManagerTest, EachFailingStepPostsItsNumberAndALaterStartWorks)
{
    struct Case {
        int32 number;
        status_t result;
        std::function<void()> provoke;
    };
    const status_t FAULT = B_ERROR - 77;
    auto fail = [FAULT](RosterOperation operation, media_node_id node = -1,
                    const char* name = "") {
        return [=] { FailRosterOperation(operation, FAULT, node, name); };
    };
    const Case cases[] = {
        {NODE_ERROR_TIME_SOURCE, FAULT, fail(RosterOperation::GetTimeSource)},
        {NODE_ERROR_VIDEO_INPUT, FAULT, fail(RosterOperation::GetVideoInput)},
        {NODE_ERROR_CREATE_CONSUMER, -1, [this] { refuseConsumer = true; }},
        {NODE_ERROR_REGISTER_CONSUMER, FAULT, fail(RosterOperation::RegisterNode, -1, "Consumer")},
        {NODE_ERROR_NO_FREE_OUTPUT, B_RESOURCE_UNAVAILABLE,
            fail(RosterOperation::GetFreeOutputsFor)},
        {NODE_ERROR_NO_FREE_INPUT, B_RESOURCE_UNAVAILABLE,
            fail(RosterOperation::GetFreeInputsFor)},
        {NODE_ERROR_PARAMETER_WEB, -1, fail(RosterOperation::GetParameterWebFor)},
        {NODE_ERROR_INPUT_TIME_SOURCE, FAULT,
            fail(RosterOperation::SetTimeSourceFor, -1, "Test Signal Card")},
        {NODE_ERROR_CONSUMER_TIME_SOURCE, FAULT,
            fail(RosterOperation::SetTimeSourceFor, -1, "Consumer")},
        {NODE_ERROR_START_INPUT, FAULT,
            fail(RosterOperation::StartNode, -1, "Test Signal Card")},
        {NODE_ERROR_START_CONSUMER, FAULT, fail(RosterOperation::StartNode, -1, "Consumer")},
    };
    size_t seen = 0;
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.number);
        manager = MakeManager();
        failure.provoke();
        EXPECT_EQ(manager->StartNodes(view), failure.result);
        std::vector<int32> errors = window->Errors();
        ASSERT_EQ(errors.size(), seen + 1);
        EXPECT_EQ(errors.back(), failure.number);
        seen = errors.size();
        // Nothing half-built stays: no consumer, and the card's output is free again.
        EXPECT_EQ(liveConsumers, 0);
        EXPECT_EQ(manager->GetLineContrast(), 0);

        kits::media::ResetMediaFaults();
        refuseConsumer = false;
        ASSERT_EQ(manager->StartNodes(view), B_OK);
        EXPECT_TRUE(FramesFlow());
        manager->StopNodes();
    }
    EXPECT_EQ(window->Errors().size(), seen);
}

TEST_F(NodeManagerTest, CardWithoutWebIsReported)
{
    UseCard(OddCard::Web::None);
    EXPECT_EQ(Start(), -1);
    EXPECT_EQ(window->Errors(), std::vector<int32>{NODE_ERROR_NO_PARAMETER_WEB});
}

TEST_F(NodeManagerTest, StartFindingTheCardTakenLeavesTheRunningPictureAlone)
{
    ASSERT_EQ(Start(), B_OK);
    ASSERT_TRUE(FramesFlow());
    // A second graph on the same card, as a replicant of the picture started while the viewer
    // runs: the card's output already feeds the first.
    std::unique_ptr<Manager> second = MakeManager();
    EXPECT_EQ(second->StartNodes(view), B_RESOURCE_UNAVAILABLE);
    EXPECT_EQ(window->Errors(), std::vector<int32>{NODE_ERROR_NO_FREE_OUTPUT});
    // The first graph's frames keep coming, and its picture keeps changing.
    EXPECT_TRUE(FramesFlow(*manager, 5));
    const std::vector<uint32> shown = Picture();
    EXPECT_TRUE(Await([&] { return Picture() != shown; }));

    // Once the first graph stops, nobody watches and the card stops; a new start works.
    manager->StopNodes();
    EXPECT_TRUE(Await([&] { return card->RunState() == BMediaEventLooper::B_STOPPED; }));
    ASSERT_EQ(second->StartNodes(view), B_OK);
    EXPECT_TRUE(FramesFlow(*second));
}

TEST_F(NodeManagerTest, FailedConnectionIsReportedAndTheStartGoesOn)
{
    manager = MakeManager();
    FailRosterOperation(RosterOperation::Connect, B_ERROR);
    EXPECT_EQ(Start(), B_OK);
    EXPECT_EQ(window->Errors(), std::vector<int32>{NODE_ERROR_CONNECT});
    EXPECT_EQ(manager->Spy()->connections, 0);
    // The next successful reconnection brings the picture.
    kits::media::ResetMediaFaults();
    manager->Reconnect();
    EXPECT_EQ(LastVideo().display.line_width, 768u);
    EXPECT_TRUE(FramesFlow());
}

TEST_F(NodeManagerTest, TimeSourceThatCannotStartEndsTheStartWithoutANumber)
{
    // The system time source runs from the start: stop it so the manager must start it.
    BMediaRoster* roster = BMediaRoster::Roster();
    media_node clock;
    ASSERT_EQ(roster->GetTimeSource(&clock), B_OK);
    ASSERT_EQ(roster->StopTimeSource(clock, BTimeSource::RealTime(), true), B_OK);
    FailRosterOperation(RosterOperation::SeekTimeSource, B_ERROR);
    EXPECT_EQ(Start(), B_ERROR);
    EXPECT_TRUE(window->Errors().empty());
    EXPECT_EQ(liveConsumers, 0);
    kits::media::ResetMediaFaults();
    EXPECT_EQ(Start(), B_OK);
    EXPECT_TRUE(FramesFlow());
}

TEST_F(NodeManagerTest, StartStopStartDeliversFramesEachTime)
{
    manager = MakeManager();
    for (int32 round = 0; round < 3; round++) {
        SCOPED_TRACE(round);
        ASSERT_EQ(manager->StartNodes(view), B_OK);
        EXPECT_TRUE(FramesFlow());
        manager->StopNodes();
        EXPECT_EQ(liveConsumers, 0);
        // The card stops capturing, and nothing stays connected to it.
        EXPECT_TRUE(Await([&] { return card->RunState() == BMediaEventLooper::B_STOPPED; }));
        media_output output;
        int32 count = 0;
        ASSERT_EQ(BMediaRoster::Roster()->GetFreeOutputsFor(card->Node(), &output, 1, &count,
                      B_MEDIA_RAW_VIDEO), B_OK);
        EXPECT_EQ(count, 1);
    }
    // A second start without a stop replaces the graph instead of leaking it.
    ASSERT_EQ(manager->StartNodes(view), B_OK);
    ASSERT_EQ(manager->StartNodes(view), B_OK);
    EXPECT_EQ(liveConsumers, 1);
    EXPECT_TRUE(window->Errors().empty());
}

TEST_F(NodeManagerTest, PalMIsNegotiatedAsNtscForOneConnection)
{
    ASSERT_EQ(Start(), B_OK);
    SetCardValue("Video Format", devices::VIDEO_FORMAT_PAL_M);
    std::atomic<int32> duringConnection{-100};
    BParameter* videoFormat = CardParameter("Video Format");
    manager->Spy()->onConnected = [&] {
        int32 value = 0;
        size_t size = sizeof(value);
        if (videoFormat->GetValue(&value, &size, nullptr) == B_OK)
            duringConnection = value;
    };
    manager->Reconnect();
    EXPECT_EQ(duringConnection, devices::VIDEO_FORMAT_NTSC_M);
    EXPECT_EQ(CardValue<int32>("Video Format"), devices::VIDEO_FORMAT_PAL_M);
    manager->Spy()->onConnected = nullptr;
}

TEST_F(NodeManagerTest, ChannelScanMatchesOnTheFirstSevenCharacters)
{
    UseCard(OddCard::Web::ChannelPrefix);
    BMessage archive;
    const BMessage nested = With('NdMg', "_Channel", 4);
    archive.AddMessage("NodeManager", &nested);
    manager = MakeManager(&archive);
    ASSERT_EQ(Start(), B_OK);
    EXPECT_EQ(CardValue<int32>("Channel (tuner 1)"), 4);
}

TEST_F(NodeManagerTest, LineContrastTellsAStationFromSnow)
{
    ASSERT_EQ(Start(), B_OK);
    ASSERT_TRUE(FramesFlow());
    // The station scan takes 1 to 1499 for a station; snow measures far above. Frames already
    // on their way may show the channel before, so each is asked until the new one shows.
    int32 contrast = 0;
    SetCardValue("Channel", devices::ChannelPlan::PositionOf("E5"));
    EXPECT_TRUE(Await([&] {
        contrast = manager->GetLineContrast();
        return contrast >= 1 && contrast <= 1499;
    })) << contrast;
    SetCardValue("Channel", devices::ChannelPlan::PositionOf("E6"));
    EXPECT_TRUE(Await([&] {
        contrast = manager->GetLineContrast();
        return contrast >= 1500;
    })) << contrast;
}

// Start, stop, resize and reconnect from several threads at once: no deadlock, no buffer lost.
TEST_F(NodeManagerTest, ConcurrentStartStopAndResizeNeitherDeadlockNorLeak)
{
    manager = MakeManager();
    ASSERT_EQ(Start(), B_OK);
    std::atomic<bool> stop{false};
    std::thread resizer([&] {
        for (int32 i = 0; !stop; i++) {
            manager->SetSize(200 + (i % 7) * 40, 150 + (i % 5) * 30);
            manager->Reconnect();
        }
    });
    std::thread setter([&] {
        for (int32 i = 0; !stop; i++) {
            manager->SetDeInterlace(i % 3);
            manager->SetSignalFormat(i % 2);
            manager->SetSubtitleFilter(i % 2 == 0);
        }
    });
    for (int32 round = 0; round < 15; round++) {
        manager->StopNodes();
        ASSERT_EQ(manager->StartNodes(view), B_OK);
    }
    stop = true;
    resizer.join();
    setter.join();
    EXPECT_TRUE(FramesFlow());
    manager->StopNodes();
    EXPECT_EQ(liveConsumers, 0);
    EXPECT_EQ(window->Errors(), std::vector<int32>());
}

}
