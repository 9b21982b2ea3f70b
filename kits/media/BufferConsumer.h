#pragma once
// BBufferConsumer: a node that receives buffers on its inputs.

#include "kits/media/MediaNode.h"

#include <atomic>

class BBuffer;
class BBufferGroup;

// The hooks run on the node's control thread (see BMediaNode), called by the
// roster while it connects and disconnects, and by producers' SendBuffer
// (BufferReceived), SendDataStatus and ChangeFormat. No kit lock is held.
class BBufferConsumer : public virtual BMediaNode {
public:
    media_type ConsumerType() const;

protected:
    explicit BBufferConsumer(media_type consumerType);
    ~BBufferConsumer() override;

    // May narrow wildcards of `format`; an error refuses it.
    virtual status_t AcceptFormat(const media_destination& destination,
        media_format* format) = 0;
    // Enumerates the inputs: *cookie starts at 0; an error ends the list.
    virtual status_t GetNextInput(int32* cookie, media_input* outInput) = 0;
    virtual void DisposeInputCookie(int32 cookie) = 0;
    // The consumer owns `buffer` and must recycle it.
    virtual void BufferReceived(BBuffer* buffer) = 0;
    virtual void ProducerDataStatus(const media_destination& forWhom, int32 status,
        bigtime_t atPerformanceTime) = 0;
    virtual status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
        media_node_id* outTimeSource) = 0;
    // An error makes the roster abandon the connection.
    virtual status_t Connected(const media_source& producer, const media_destination& where,
        const media_format& withFormat, media_input* outInput) = 0;
    virtual void Disconnected(const media_source& producer, const media_destination& where) = 0;
    virtual status_t FormatChanged(const media_source& producer,
        const media_destination& consumer, int32 changeTag, const media_format& format) = 0;

    // Tells the producer of `source` (on its control thread) to write into
    // `group` from now on; null makes it use buffers of its own. The group
    // stays the caller's, who must hand the producer another group (or
    // disconnect) before deleting it. `destination` and `userData` are not
    // needed to find the producer; *changeTag (optional) receives a new tag.
    static status_t SetOutputBuffersFor(const media_source& source,
        const media_destination& destination, BBufferGroup* group, void* userData,
        int32* changeTag, bool willReclaim = false, void* reserved = nullptr);
    // Posts a late notice to the producer of `source` (LateNoticeReceived).
    status_t NotifyLateProducer(const media_source& source, bigtime_t howMuch,
        bigtime_t performanceTime);

    // This platform's own addition. A consumer that is a BMediaEventLooper and whose
    // BufferReceived only queues each buffer as an event at the buffer's start time says so
    // with true (any thread). While it runs (B_STARTED on a running time source), SendBuffer
    // then hands a buffer over at the real time at which the control thread would handle
    // that event anyway, not at once, sparing the thread one wake-up a buffer. Buffers in
    // transit are handed over at once when its event latency or time source changes.
    void SetBuffersReceivedWhenDue(bool whenDue);

private:
    friend struct kits::media::NodeAccess;
    friend class BBufferProducer;

    // The real time before which a buffer starting at `startTime` need not reach
    // BufferReceived; 0: at once. Called on the producer's thread.
    bigtime_t DeliveryTimeFor(bigtime_t startTime);

    media_type consumerType;
    std::atomic<bool> buffersReceivedWhenDue{false};
};
