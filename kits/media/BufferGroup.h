#pragma once
// BBufferGroup: a set of buffers handed out for writing and returned by recycling.

#include "kits/media/Buffer.h"

#include <memory>

// Thread-safe: a producer requests buffers on its thread while consumers
// recycle them on theirs. Buffers are handed out in the order they became
// free, so a group's buffers are used in turn.
//
// Deleting the group frees every buffer that is back. A buffer still out is
// not freed under its holder: it stays valid and is freed when recycled, so
// the group need not wait for it. No thread may be waiting in RequestBuffer
// while the group is deleted.
class BBufferGroup {
public:
    // An empty group; buffers are added with AddBuffer.
    BBufferGroup();
    // `count` buffers of `size` bytes each in memory of the group's own.
    // InitCheck() reports B_NO_MEMORY when it cannot be had. `placement` and
    // `lock` are the area's (B_ANY_ADDRESS, B_FULL_LOCK).
    BBufferGroup(size_t size, int32 count = 3, uint32 placement = B_ANY_ADDRESS,
        uint32 lock = B_FULL_LOCK);
    ~BBufferGroup();
    BBufferGroup(const BBufferGroup&) = delete;
    BBufferGroup& operator=(const BBufferGroup&) = delete;

    status_t InitCheck() const;

    // Wraps `info.size` bytes at `info.offset` of `info.area` (cloned, so the
    // caller may delete its area later) as a new free buffer. B_BAD_VALUE when
    // the range lies outside the area. `outBuffer` (optional) observes the
    // buffer, which the group owns.
    status_t AddBuffer(const buffer_clone_info& info, BBuffer** outBuffer = nullptr);

    // A free buffer of at least `size` bytes (0: any), or null when none became
    // free within `timeout` microseconds (B_INFINITE_TIMEOUT waits for good)
    // or no buffer of the group is large enough. The caller owns it until Recycle().
    BBuffer* RequestBuffer(size_t size, bigtime_t timeout = B_INFINITE_TIMEOUT);

    status_t CountBuffers(int32* outCount) const;
    // The first `count` buffers in the order they were added; entries past
    // the group's buffers are null. Observing pointers.
    status_t GetBufferList(int32 count, BBuffer** outList) const;
    // Waits until every buffer is back, at most one second; B_TIMED_OUT otherwise.
    status_t ReclaimAllBuffers();

private:
    std::shared_ptr<kits::media::BufferGroupState> state;
    status_t initStatus = B_OK;
};
