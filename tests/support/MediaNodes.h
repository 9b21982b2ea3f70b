#pragma once
// Media-node doubles: a producer, a consumer and a time source that record what they are asked.

#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaEventLooper.h"
#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace test_support {

// Hands out every buffer of `group` that is free at once and recycles them;
// the count tells how many were back.
int32 CountFreeBuffers(BBufferGroup& group);

// Event types the test nodes queue for themselves.
enum : int32 {
    EVENT_PRODUCE = BTimedEventQueue::B_USER_EVENT,
    EVENT_BLOCK,
    EVENT_MARK,
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

// A raw-video consumer much like the program's: one input, a group of three
// buffers handed to the producer on connection, buffer events queued at
// their start time and recycled when handled or flushed.
class TestConsumer : public BMediaEventLooper, public BBufferConsumer {
public:
    explicit TestConsumer(const char* name = "Test consumer");
    ~TestConsumer() override;

    BMediaAddOn* AddOn(int32* internalId) const override;

    // Queues an EVENT_MARK event at `performanceTime`.
    void Mark(bigtime_t performanceTime);
    // Sends a late notice to the producer of `source`.
    status_t NotifyLate(const media_source& source, bigtime_t howMuch);

    // Knobs, set before connecting.
    bool offerGroup = true;
    status_t connectedResult = B_OK;
    bigtime_t latency = 20000;

    // Observations; read them under `lock`.
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> log;
    std::vector<thread_id> receiveThreads;
    int32 handled = 0;
    int32 handledOwn = 0;
    int32 recycledWhileStopped = 0;
    int32 stops = 0;
    struct Marked {
        bigtime_t eventTime;
        bigtime_t lateness;
        bigtime_t performanceNow;
    };
    std::vector<Marked> marks;
    media_input input;
    // The group handed to the producer; valid until the next connection.
    BBufferGroup* group = nullptr;
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

    std::unique_ptr<BBufferGroup> ownedGroup;
    std::set<BBuffer*> groupBuffers;
};

// A raw-video producer with one output and a parameter web: "Channel" (3
// items), "Brightness", "Video Format", a two-channel "Volume", a null
// "Label" and "Gamma" in a sub-group.
class TestProducer : public BMediaEventLooper, public BBufferProducer, public BControllable {
public:
    explicit TestProducer(const char* name = "Test producer");
    ~TestProducer() override;

    BMediaAddOn* AddOn(int32* internalId) const override;

    // Queues the production of one buffer stamped `bufferStart`, at `eventTime`.
    void ProduceAt(bigtime_t eventTime, bigtime_t bufferStart);
    // Sends a buffer of the producer's own to `destination` from this thread.
    status_t SendOwnBufferTo(const media_destination& destination);
    void ReplaceWeb();
    // The group of the producer's own buffers, once it made one.
    BBufferGroup* OwnGroup();

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> log;
    std::vector<status_t> sent;
    // Group of the last buffer sent: 1 the consumer's, 2 the producer's own.
    std::vector<int32> sentFrom;
    media_output output;
    std::map<int32, std::vector<uint8>> values;
    std::vector<thread_id> parameterThreads;
    BBufferGroup* consumerGroup = nullptr;
    run_mode lastRunMode = B_OFFLINE;
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
    size_t FrameSize() const;
    void SendOne(bigtime_t start);

    std::unique_ptr<BBufferGroup> ownGroup;
};

// A time source whose operations publish like the system's, registered by tests.
class TestTimeSource : public BTimeSource {
public:
    TestTimeSource();
    BMediaAddOn* AddOn(int32* internalId) const override;

protected:
    status_t TimeSourceOp(const time_source_op_info& op, void* reserved) override;
};

} // namespace test_support
