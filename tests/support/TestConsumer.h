#pragma once
// TestConsumer: a raw-video consumer double that records every frame it gets.

#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferGroup.h"
#include "tests/support/Await.h"
#include "tests/support/TestNode.h"

#include <any>
#include <functional>
#include <memory>
#include <set>

namespace test_support {

// Measures a frame on the control thread while the consumer still owns its buffer (the bits are
// writable, as frame views are, but the frame is not to be changed); the result is kept as
// ReceivedFrame::measured.
using TestMeasure = std::function<std::any(
    uint8* bits, size_t sizeUsed, const media_video_display_info& display)>;

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
    // Say at construction that buffers need come only when due (with queueBuffers, as a real
    // consumer may): BBufferConsumer::SetBuffersReceivedWhenDue.
    bool receiveWhenDue = false;
    // The colour spaces accepted, the first filling an open one; empty: every space, and an
    // open one stays open.
    std::vector<color_space> spaces = {};
    // What Connected answers, after logging the call.
    status_t connectedResult = B_OK;
    // What FormatChanged answers; on B_OK the connection takes the new format.
    status_t formatChangedResult = B_OK;
    // What GetLatencyFor reports, microseconds.
    bigtime_t latency = 20000;
    TestMeasure measure = {};
};

// A raw-video consumer with one input that records every buffer it receives, on its control
// thread, as a ReceivedFrame. Its hooks run on its control thread. It logs "Connected
// <width>x<lines>", "Disconnected", "FormatChanged <width>" and "DataStatus <n>".
class TestConsumer : public TestNode, public BBufferConsumer {
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

    std::vector<ReceivedFrame> Frames() const { return Locked(frames); }
    size_t CountFrames() const;
    // Waits until `count` frames have come in all; whether they did within `timeout`.
    bool WaitForFrames(size_t count, bigtime_t timeout = AWAIT_TIMEOUT);
    // Waits until a frame from index `after` on satisfies `test`.
    bool WaitForFrame(size_t after, const std::function<bool(const ReceivedFrame&)>& test,
        bigtime_t timeout = AWAIT_TIMEOUT);
    // B_HANDLE_BUFFER events handled, with Options::queueBuffers.
    int32 Handled() const { return Locked(handled); }
    media_input Input() const { return Locked(input); }
    // The group handed over for the current connection; valid until the next one.
    BBufferGroup* Group() const;

    // Queues an event at `performanceTime`; its handling is recorded as a Mark, as is that of
    // every B_HANDLE_BUFFER event.
    void AddMark(bigtime_t performanceTime);
    std::vector<Mark> Marks() const { return Locked(marks); }
    // How often the control thread has come out of its sleep.
    uint64 WakeUps() const;
    // Sends a late notice to the producer of `source`.
    status_t NotifyLate(const media_source& source, bigtime_t howMuch);

    // Change only while no roster call reaches this node.
    Options options;

protected:
    void HandleEvent(
        const media_timed_event* event, bigtime_t lateness, bool realTimeEvent) override;

    status_t AcceptFormat(const media_destination& destination, media_format* format) override;
    status_t GetNextInput(int32* cookie, media_input* outInput) override;
    void DisposeInputCookie(int32 cookie) override;
    void BufferReceived(BBuffer* buffer) override;
    void ProducerDataStatus(
        const media_destination& forWhom, int32 status, bigtime_t atPerformanceTime) override;
    status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
        media_node_id* outTimeSource) override;
    status_t Connected(const media_source& producer, const media_destination& where,
        const media_format& withFormat, media_input* outInput) override;
    void Disconnected(const media_source& producer, const media_destination& where) override;
    status_t FormatChanged(const media_source& producer, const media_destination& consumer,
        int32 changeTag, const media_format& format) override;

private:
    void RecycleHeld();

    // Guarded by lock.
    media_input input;
    std::unique_ptr<BBufferGroup> group;
    std::set<BBuffer*> groupBuffers;
    int32 connection = 0;
    std::vector<ReceivedFrame> frames;
    std::vector<Mark> marks;
    int32 handled = 0;
    // Touched on the control thread only.
    std::vector<BBuffer*> held;
};

} // namespace test_support
