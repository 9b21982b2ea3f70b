#include "kits/media/Buffer.h"

#include "kits/media/BufferGroupPrivate.h"

#include <atomic>

namespace {

media_buffer_id NewBufferId()
{
    static std::atomic<media_buffer_id> next{1};
    return next.fetch_add(1);
}

} // namespace

BBuffer::BBuffer(const buffer_clone_info& info, area_id clone, uint8* base,
    kits::media::BufferGroupState* group)
    : id(NewBufferId()),
      area(clone),
      offset(info.offset),
      size(info.size),
      flags(info.flags),
      data(base + info.offset),
      group(group)
{
    header.buffer = id;
    header.owner = area;
}

BBuffer::~BBuffer()
{
    delete_area(area);
}

void* BBuffer::Data()
{
    return data;
}

size_t BBuffer::SizeAvailable() const
{
    return size;
}

size_t BBuffer::SizeUsed() const
{
    return header.size_used;
}

void BBuffer::SetSizeUsed(size_t used)
{
    header.size_used = uint32(used < size ? used : size);
}

media_header* BBuffer::Header()
{
    return &header;
}

void BBuffer::Recycle()
{
    // May delete this buffer (its group is gone) and the group's state.
    group->Recycle(this);
}

media_buffer_id BBuffer::ID() const
{
    return id;
}

int32 BBuffer::Flags() const
{
    return flags;
}

area_id BBuffer::Area() const
{
    return area;
}

size_t BBuffer::Offset() const
{
    return offset;
}
