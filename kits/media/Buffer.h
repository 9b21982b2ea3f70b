#pragma once
// BBuffer: one buffer of a buffer group, mapping memory of a cloned area.

#include "kits/media/MediaDefs.h"

#include <memory>

namespace kits::media {
struct BufferGroupState;
}

// Describes memory to wrap as a buffer: `size` bytes at `offset` in `area`.
struct buffer_clone_info {
    media_buffer_id buffer = 0;
    area_id area = -1;
    size_t offset = 0;
    size_t size = 0;
    int32 flags = 0;
};

// A buffer belongs to its group. Whoever obtained it (RequestBuffer, or
// BufferReceived on the consumer's side) owns it until Recycle(), which hands
// it back exactly once; passing it on (SendBuffer) gives it away. The memory
// is the buffer's own clone of the area it was made from, so it stays mapped
// while the buffer lives, even when the original area is deleted; a buffer
// still out when its group is deleted lives on until it is recycled.
class BBuffer {
public:
    BBuffer(const BBuffer&) = delete;
    BBuffer& operator=(const BBuffer&) = delete;

    void* Data();
    size_t SizeAvailable() const;
    size_t SizeUsed() const;
    void SetSizeUsed(size_t size);
    // Valid until Recycle().
    media_header* Header();
    // Returns the buffer to its group. Recycling a buffer that is not out is a
    // programmer error that ends the process with a message, in every build.
    void Recycle();

    media_buffer_id ID() const;
    int32 Flags() const;
    // The buffer's own clone of the area it was made from.
    area_id Area() const;
    size_t Offset() const;

private:
    friend struct kits::media::BufferGroupState;

    BBuffer(const buffer_clone_info& info, area_id clone, uint8* base,
        kits::media::BufferGroupState* group);
    ~BBuffer();

    media_buffer_id id;
    area_id area;
    size_t offset;
    size_t size;
    int32 flags;
    uint8* data;
    media_header header;
    kits::media::BufferGroupState* group;
    // Guarded by the group's lock. Set while the buffer is out, so the group's
    // state outlives a deleted group until every buffer is back.
    std::shared_ptr<kits::media::BufferGroupState> keepAlive;
};

// Owns a buffer until it is passed on (release()), and recycles it otherwise when it goes out of
// scope, whichever way that happens.
struct BufferRecycler {
    void operator()(BBuffer* buffer) const { buffer->Recycle(); }
};
using HeldBuffer = std::unique_ptr<BBuffer, BufferRecycler>;
