#pragma once
// BBufferProducer: a node that sends buffers from its outputs.

#include "kits/media/MediaNode.h"

#include <atomic>

class BBuffer;
class BBufferGroup;

// The hooks run on the node's control thread (see BMediaNode), called by the
// roster while it negotiates, connects and disconnects, and by consumers
// (SetOutputBuffersFor, NotifyLateProducer). No kit lock is held.
class BBufferProducer : public virtual BMediaNode {
public:
    media_type ProducerType() const;
    // The delay set with BMediaRoster::SetProducerRunModeDelay, microseconds.
    bigtime_t RunModeDelay() const;

protected:
    explicit BBufferProducer(media_type producerType);
    ~BBufferProducer() override;

    virtual status_t FormatSuggestionRequested(media_type type, int32 quality,
        media_format* format) = 0;
    // Narrows the wildcards of `format` it can fill; an error refuses it.
    virtual status_t FormatProposal(const media_source& output, media_format* format) = 0;
    virtual status_t FormatChangeRequested(const media_source& source,
        const media_destination& destination, media_format* ioFormat, int32* deprecated) = 0;
    // Enumerates the outputs: *cookie starts at 0; an error ends the list.
    virtual status_t GetNextOutput(int32* cookie, media_output* outOutput) = 0;
    virtual status_t DisposeOutputCookie(int32 cookie) = 0;
    // From now on write into `group` (owned by the consumer) for `forSource`;
    // null: use buffers of the producer's own.
    virtual status_t SetBufferGroup(const media_source& forSource, BBufferGroup* group) = 0;
    // Reserves the output for `where` with the final `format`; an error refuses.
    virtual status_t PrepareToConnect(const media_source& what, const media_destination& where,
        media_format* format, media_source* outSource, char* outName) = 0;
    // Completes (error B_OK) or abandons (any other error) a prepared connection.
    virtual void Connect(status_t error, const media_source& source,
        const media_destination& destination, const media_format& format, char* ioName) = 0;
    // Ends a connection; the producer stops using the consumer's buffer group.
    virtual void Disconnect(const media_source& what, const media_destination& where) = 0;
    virtual void LateNoticeReceived(const media_source& what, bigtime_t howMuch,
        bigtime_t performanceTime) = 0;
    virtual void EnableOutput(const media_source& what, bool enabled, int32* deprecated) = 0;
    // Total latency from now to a buffer reaching its consumers. The default
    // is the largest downstream latency of the connected outputs.
    virtual status_t GetLatency(bigtime_t* outLatency);
    // Extra latency before the first buffer after a start; the default is none.
    virtual status_t GetInitialLatency(bigtime_t* outLatency, uint32* outFlags);

    // Hands `buffer` to the consumer of `destination`, whose BufferReceived
    // then runs on its control thread, at once or, for a consumer that asked
    // (BBufferConsumer::SetBuffersReceivedWhenDue), when the buffer is due
    // there; the buffer is given away either way:
    // when the destination is not connected to `source` or its node is gone,
    // the buffer is recycled and B_MEDIA_BAD_DESTINATION or
    // B_MEDIA_NOT_CONNECTED returned.
    status_t SendBuffer(BBuffer* buffer, const media_source& source,
        const media_destination& destination);
    // Posts ProducerDataStatus to the consumer of `destination`.
    status_t SendDataStatus(int32 status, const media_destination& destination,
        bigtime_t atTime);
    // Tells the consumer the connection now carries `format` (FormatChanged),
    // waiting for its answer.
    status_t ChangeFormat(const media_source& source, const media_destination& destination,
        media_format* format);
    // The latency of the consumer of `destination` (its GetLatencyFor).
    status_t FindLatencyFor(const media_destination& destination, bigtime_t* outLatency,
        media_node_id* outTimeSource);

private:
    friend struct kits::media::NodeAccess;

    media_type producerType;
    std::atomic<bigtime_t> runModeDelay{0};
};
