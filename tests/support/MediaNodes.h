#pragma once
// Media-node doubles: a raw-video consumer that records every frame, a producer that sends the
// frames a test paints, and a time source a test can hold still.

#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaEventLooper.h"
#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <any>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace test_support {

// Takes every buffer of `group` that is free at once and gives it back: how many were free.
int32 CountFreeBuffers(BBufferGroup& group);

// Raw video with every field a wildcard but these.
media_format RawVideo(color_space space = B_NO_COLOR_SPACE, uint32 width = 0, uint32 lines = 0);

// Connects the first free raw-video output of `producer` to the first free input of `consumer`
// at `*ioFormat`, which receives the format agreed; BMediaRoster::Connect's status, or
// B_MEDIA_ALREADY_CONNECTED when either has no free end.
status_t ConnectFirstFree(const media_node& producer, const media_node& consumer,
    media_format* ioFormat, media_output* outOutput, media_input* outInput);

// The parameter of `web` named `name`, or null.
BParameter* FindParameter(BParameterWeb* web, const char* name);

// Event types the doubles queue for themselves.
enum : int32 {
    EVENT_BLOCK = BTimedEventQueue::B_USER_EVENT,
    EVENT_MARK,
    EVENT_CHANGE_FORMAT,
};

// Holds a node's control thread in a hook, so the node stops answering.
class Blocker {
public:
    // Queues an EVENT_BLOCK event on `node` and waits until its thread is held.
    void BlockControlThread(BMediaEventLooper* node);
    // Called from the node's HandleEvent: waits until Release(), at most 10 s.
    void Hold();
    void Release();
    bool Holding();

private:
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    bool holding = false;
    bool released = false;
};

// Measures a frame on the control thread while the consumer still owns its buffer (the bits are
// writable, as frame views are, but the frame is not to be changed); the result is kept as
// ReceivedFrame::measured.
using TestMeasure = std::function<std::any(uint8* bits, size_t sizeUsed,
    const media_video_display_info& display)>;

// What a TestConsumer does with what it gets; see TestConsumer.
struct TestConsumerOptions {
    // Hand the producer a group of three buffers of the connection's frame size.
    bool handGroup = true;
    // Keep every buffer until disconnected, so the producer runs out of them.
    bool holdBuffers = false;
    // Queue every buffer as a B_HANDLE_BUFFER event at its start time and recycle it when
    // handled, as a real consumer does.
    bool queueBuffers = false;
    // Keep a copy of the bytes used of every frame.
    bool keepPixels = false;
    // The colour spaces accepted, the first filling an open one; empty: every space, and an
    // open one stays open.
    std::vector<color_space> spaces = {};
    // What Connected answers, after recording the call.
    status_t connectedResult = B_OK;
    // What FormatChanged answers; on B_OK the connection takes the new format.
    status_t formatChangedResult = B_OK;
    bigtime_t latency = 20000;
    TestMeasure measure = {};
};

// A raw-video consumer with one input that records every buffer it receives, on its control
// thread, as a ReceivedFrame. Its hooks run on its control thread; the observations are read
// through the accessors, which take the consumer's lock.
class TestConsumer : public BMediaEventLooper, public BBufferConsumer {
public:
    using Options = TestConsumerOptions;

    struct ReceivedFrame {
        bigtime_t startTime = 0;
        // system_time() when the frame arrived.
        bigtime_t arrival = 0;
        uint32 sequence = 0;
        size_t sizeUsed = 0;
        size_t sizeAvailable = 0;
        // From the group this consumer handed over for the connection.
        bool fromGroup = false;
        // 1 for the frames of the first connection, 2 for the second, ...
        int32 connection = 0;
        // The connection's picture: line_width, line_count, bytes_per_row, format.
        media_video_display_info display = {};
        thread_id thread = -1;
        // With Options::keepPixels.
        std::vector<uint8> pixels;
        // What Options::measure returned.
        std::any measured;
    };

    struct Mark {
        bigtime_t eventTime;
        bigtime_t lateness;
        // TimeSource()->Now() when the event was handled.
        bigtime_t performanceNow;
    };

    explicit TestConsumer(Options options = {}, const char* name = "Test consumer");
    ~TestConsumer() override;

    BMediaAddOn* AddOn(int32* internalId) const override;

    std::vector<ReceivedFrame> Frames() const;
    size_t CountFrames() const;
    // Waits until `count` frames have come in all; whether they did within `timeout`.
    bool WaitForFrames(size_t count, bigtime_t timeout = AWAIT_TIMEOUT);
    // Waits until a frame from index `after` on satisfies `test`.
    bool WaitForFrame(size_t after, const std::function<bool(const ReceivedFrame&)>& test,
        bigtime_t timeout = AWAIT_TIMEOUT);
    // B_HANDLE_BUFFER events handled, with Options::queueBuffers.
    int32 Handled() const;
    // "Connected <width>x<lines>", "Disconnected", "FormatChanged <width>", "DataStatus <n>".
    std::vector<std::string> Log() const;
    media_input Input() const;
    // The group handed over for the current connection; valid until the next one.
    BBufferGroup* Group() const;

    // Queues an EVENT_MARK event at `performanceTime`; its handling is recorded as a Mark.
    void AddMark(bigtime_t performanceTime);
    std::vector<Mark> Marks() const;
    // Sends a late notice to the producer of `source`.
    status_t NotifyLate(const media_source& source, bigtime_t howMuch);

    // Change only while no roster call reaches this node.
    Options options;
    Blocker blocker;

protected:
    void NodeRegistered() override;
    void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent) override;

    status_t AcceptFormat(const media_destination& destination, media_format* format) override;
    status_t GetNextInput(int32* cookie, media_input* outInput) override;
    void DisposeInputCookie(int32 cookie) override;
    void BufferReceived(BBuffer* buffer) override;
    void ProducerDataStatus(const media_destination& forWhom, int32 status,
        bigtime_t atPerformanceTime) override;
    status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
        media_node_id* outTimeSource) override;
    status_t Connected(const media_source& producer, const media_destination& where,
        const media_format& withFormat, media_input* outInput) override;
    void Disconnected(const media_source& producer, const media_destination& where) override;
    status_t FormatChanged(const media_source& producer, const media_destination& consumer,
        int32 changeTag, const media_format& format) override;

private:
    void Note(const std::string& line);
    void RecycleHeld();

    mutable std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    media_input input;
    std::unique_ptr<BBufferGroup> group;
    std::set<BBuffer*> groupBuffers;
    int32 connection = 0;
    std::vector<ReceivedFrame> frames;
    std::vector<std::string> log;
    std::vector<Mark> marks;
    int32 handled = 0;
    // Touched on the control thread only.
    std::vector<BBuffer*> held;
};

// What a TestProducer does; see TestProducer.
struct TestProducerOptions {
    // Write into the producer's own group even when the consumer hands one over.
    bool ownBuffers = false;
    // What PrepareToConnect answers; anything but B_OK leaves the output free.
    status_t prepareResult = B_OK;
};

// Writes a frame into a buffer laid out as `display` says.
using Painter = std::function<void(uint8* bits, const media_video_display_info& display)>;

// A raw-video producer with one output, driven by the test: it sends the frames the test paints,
// from the test's thread, into the group the consumer handed over or else into a group of its
// own of three buffers of a full PAL B_RGB32 frame, kept for its whole life so its buffers can
// be counted throughout. It is controllable, with a parameter web: "Channel" (3 items),
// "Brightness", "Video Format", a two-channel "Volume", a null "Label" and "Gamma" in a
// sub-group. Hooks run on its control thread; the accessors take the producer's lock.
class TestProducer : public BMediaEventLooper, public BBufferProducer, public BControllable {
public:
    using Options = TestProducerOptions;

    explicit TestProducer(Options options = {}, const char* name = "Test producer");
    ~TestProducer() override;

    BMediaAddOn* AddOn(int32* internalId) const override;

    // Paints a buffer of the connection's frame size and sends it to the connected consumer,
    // stamped `startTime`: SendBuffer's status, or B_TIMED_OUT when no buffer came free within
    // AWAIT_TIMEOUT. An empty painter leaves the buffer as it is.
    status_t SendFrame(bigtime_t startTime, const Painter& paint = {});
    // The same, to `destination` whatever the connection.
    status_t SendFrameTo(const media_destination& destination, bigtime_t startTime,
        const Painter& paint = {});
    // Tells the consumer, from this node's control thread as a card would, that the connection
    // now carries `format`, and waits for its answer.
    status_t ChangeFormatTo(const media_format& format);
    // Gives the node a web with only a discrete "Replaced" parameter.
    void ReplaceWeb();

    // The group frames go into: the consumer's, or the producer's own.
    BBufferGroup* Group();
    // The group the consumer handed over last; null while there is none.
    BBufferGroup* OfferedGroup();
    BBufferGroup* OwnGroup();
    int32 GroupsOffered();
    // "PrepareToConnect", "SetBufferGroup", "SetBufferGroup null", "Connect <error>",
    // "Disconnect", "Late <howMuch>", "Enabled", "Disabled".
    std::vector<std::string> Log();
    media_output Output();
    // The threads that ran each parameter read and write.
    std::vector<thread_id> ParameterThreads();
    run_mode LastRunMode();

    // Change only while no roster call reaches this node.
    Options options;
    Blocker blocker;

protected:
    void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent) override;
    void SetRunMode(run_mode mode) override;

    status_t FormatSuggestionRequested(media_type type, int32 quality,
        media_format* format) override;
    status_t FormatProposal(const media_source& output, media_format* format) override;
    status_t FormatChangeRequested(const media_source& source,
        const media_destination& destination, media_format* ioFormat,
        int32* deprecated) override;
    status_t GetNextOutput(int32* cookie, media_output* outOutput) override;
    status_t DisposeOutputCookie(int32 cookie) override;
    status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) override;
    status_t PrepareToConnect(const media_source& what, const media_destination& where,
        media_format* format, media_source* outSource, char* outName) override;
    void Connect(status_t error, const media_source& source,
        const media_destination& destination, const media_format& format,
        char* ioName) override;
    void Disconnect(const media_source& what, const media_destination& where) override;
    void LateNoticeReceived(const media_source& what, bigtime_t howMuch,
        bigtime_t performanceTime) override;
    void EnableOutput(const media_source& what, bool enabled, int32* deprecated) override;

    status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) override;
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

private:
    void Note(const std::string& line);

    BBufferGroup ownGroup;
    std::mutex lock;
    std::condition_variable changed;
    // Guarded by lock.
    media_output output;
    BBufferGroup* offered = nullptr;
    int32 groupsOffered = 0;
    std::vector<std::string> log;
    std::map<int32, std::vector<uint8>> values;
    std::vector<thread_id> parameterThreads;
    run_mode lastRunMode = B_OFFLINE;
    media_format pendingFormat;
    status_t changeResult = B_OK;
    bool changeAnswered = false;
};

// A time source whose operations publish like the system's, and which a test can hold still.
class TestTimeSource : public BTimeSource {
public:
    TestTimeSource();
    BMediaAddOn* AddOn(int32* internalId) const override;

    // From now on Now() is `performanceTime`; events due later are still dispatched after the
    // real time between, as if the clock ran.
    void Freeze(bigtime_t performanceTime);

protected:
    status_t TimeSourceOp(const time_source_op_info& op, void* reserved) override;
};

// A test with a TestProducer and a TestConsumer registered with the roster, made with the
// options the derived fixture's constructor sets; after the test both are unregistered and
// every media fault is reset.
class MediaNodesTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects the nodes' free ends at `format`; connectedFormat receives the format agreed.
    status_t ConnectNodes(const media_format& format = RawVideo());
    status_t DisconnectNodes();

    TestProducerOptions producerOptions;
    TestConsumerOptions consumerOptions;
    BMediaRoster* roster = nullptr;
    std::unique_ptr<TestProducer> producer;
    std::unique_ptr<TestConsumer> consumer;
    media_format connectedFormat;
    media_output output;
    media_input input;
};

} // namespace test_support
