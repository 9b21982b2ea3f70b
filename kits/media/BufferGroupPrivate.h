#pragma once
// BufferGroupState: what a buffer group and its buffers share, outliving the group if need be.

#include "kits/media/Buffer.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace kits::media {

// Owned by the group and, while a buffer is out, by that buffer too, so a
// group deleted with buffers out leaves them valid until they are recycled.
// `lock` guards everything here and each buffer's `out` flag; no hook runs
// under it.
struct BufferGroupState : std::enable_shared_from_this<BufferGroupState> {
    ~BufferGroupState();

    BBuffer* MakeBuffer(const buffer_clone_info& info, area_id clone, uint8* base);
    static void DeleteBuffer(BBuffer* buffer);
    // Hands a free buffer out to its new owner. Called with `lock` held.
    void HandOut(BBuffer* buffer);
    // Hands the buffer back; deletes it instead when the group is gone. May
    // destroy this state when that was the last buffer out.
    void Recycle(BBuffer* buffer);

    std::mutex lock;
    // Signalled whenever a buffer comes back.
    std::condition_variable returned;
    // Guarded by lock. Every buffer not yet deleted, in the order added.
    std::vector<BBuffer*> buffers;
    // Guarded by lock. Free buffers, in the order they became free.
    std::deque<BBuffer*> free;
    // Guarded by lock.
    bool groupDeleted = false;
};

// Buffers made and not yet deleted, in every group of the process; for tests.
extern std::atomic<int32> liveBuffers;

} // namespace kits::media
