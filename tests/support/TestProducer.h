#pragma once
// TestProducer: a raw-video producer double that sends the frames a test paints.

#include "kits/media/BufferGroup.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "tests/support/TestNode.h"

#include <functional>
#include <map>

namespace test_support {

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
// sub-group; a value never written reads as zeros. Hooks run on its control thread. It logs
// "PrepareToConnect", "SetBufferGroup", "SetBufferGroup null", "Connect <error>", "Disconnect"
// and "Late <howMuch>".
class TestProducer : public TestNode, public BBufferProducer, public BControllable {
public:
    using Options = TestProducerOptions;

    explicit TestProducer(Options options = {}, const char* name = "Test producer");
    ~TestProducer() override;

    // Paints a buffer of the connection's frame size and sends it to the connected consumer,
    // stamped `startTime`: SendBuffer's status, or B_TIMED_OUT when no buffer came free within
    // AWAIT_TIMEOUT. An empty painter leaves the buffer as it is.
    status_t SendFrame(bigtime_t startTime, const Painter& paint = {});
    // The same, to `destination` whatever the connection.
    status_t SendFrameTo(
        const media_destination& destination, bigtime_t startTime, const Painter& paint = {});
    // Tells the consumer, from this node's control thread as a card would, that the connection
    // now carries `format`, and waits for its answer.
    status_t ChangeFormatTo(const media_format& format);
    // Gives the node a web with only a discrete "Replaced" parameter.
    void ReplaceWeb();

    // The group frames go into: the consumer's, or the producer's own.
    BBufferGroup* Group();
    // The group the consumer handed over last; null while there is none.
    BBufferGroup* OfferedGroup() { return Locked(offered); }
    int32 GroupsOffered() { return Locked(groupsOffered); }
    media_output Output() { return Locked(output); }
    // The threads that ran each parameter read and write.
    std::vector<thread_id> ParameterThreads() { return Locked(parameterThreads); }
    run_mode LastRunMode() { return Locked(lastRunMode); }

    // Change only while no roster call reaches this node.
    Options options;

protected:
    void HandleEvent(
        const media_timed_event* event, bigtime_t lateness, bool realTimeEvent) override;
    void SetRunMode(run_mode mode) override;

    status_t FormatSuggestionRequested(
        media_type type, int32 quality, media_format* format) override;
    status_t FormatProposal(const media_source& output, media_format* format) override;
    status_t FormatChangeRequested(const media_source& source,
        const media_destination& destination, media_format* ioFormat, int32* deprecated) override;
    status_t GetNextOutput(int32* cookie, media_output* outOutput) override;
    status_t DisposeOutputCookie(int32 cookie) override;
    status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) override;
    status_t PrepareToConnect(const media_source& what, const media_destination& where,
        media_format* format, media_source* outSource, char* outName) override;
    void Connect(status_t error, const media_source& source, const media_destination& destination,
        const media_format& format, char* ioName) override;
    void Disconnect(const media_source& what, const media_destination& where) override;
    void LateNoticeReceived(
        const media_source& what, bigtime_t howMuch, bigtime_t performanceTime) override;
    void EnableOutput(const media_source& what, bool enabled, int32* deprecated) override;

    status_t GetParameterValue(
        int32 id, bigtime_t* lastChange, void* value, size_t* ioSize) override;
    void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;

private:
    BBufferGroup ownGroup;
    // Guarded by lock.
    media_output output;
    BBufferGroup* offered = nullptr;
    int32 groupsOffered = 0;
    std::map<int32, std::vector<uint8>> values;
    std::vector<thread_id> parameterThreads;
    run_mode lastRunMode = B_OFFLINE;
    media_format pendingFormat;
    status_t changeResult = B_OK;
    bool changeAnswered = false;
};

} // namespace test_support
