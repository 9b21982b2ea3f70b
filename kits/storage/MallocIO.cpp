#include "kits/storage/MallocIO.h"

#include <algorithm>
#include <climits>
#include <cstring>

ssize_t BMallocIO::ReadAt(off_t at, void* buffer, size_t size)
{
    if (at < 0 || buffer == nullptr)
        return B_BAD_VALUE;
    if (size_t(at) >= data.size())
        return 0;
    size_t count = std::min(size, data.size() - size_t(at));
    std::memcpy(buffer, data.data() + at, count);
    return ssize_t(count);
}

ssize_t BMallocIO::WriteAt(off_t at, const void* buffer, size_t size)
{
    if (at < 0 || buffer == nullptr)
        return B_BAD_VALUE;
    // Writing nothing must not grow the buffer up to the position.
    if (size == 0)
        return 0;
    if (size > size_t(SSIZE_MAX) || uint64(at) > uint64(SSIZE_MAX) - size)
        return B_BAD_VALUE;
    if (data.size() < size_t(at) + size)
        data.resize(size_t(at) + size);
    std::memcpy(data.data() + at, buffer, size);
    return ssize_t(size);
}

off_t BMallocIO::Seek(off_t offset, uint32 seekMode)
{
    off_t base = 0;
    if (seekMode == SEEK_CUR)
        base = position;
    else if (seekMode == SEEK_END)
        base = off_t(data.size());
    else if (seekMode != SEEK_SET)
        return B_BAD_VALUE;
    if (base + offset < 0)
        return B_BAD_VALUE;
    position = base + offset;
    return position;
}

off_t BMallocIO::Position() const
{
    return position;
}

status_t BMallocIO::SetSize(off_t size)
{
    if (size < 0)
        return B_BAD_VALUE;
    data.resize(size_t(size));
    return B_OK;
}

status_t BMallocIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    *size = off_t(data.size());
    return B_OK;
}

const void* BMallocIO::Buffer() const
{
    return data.data();
}

size_t BMallocIO::BufferLength() const
{
    return data.size();
}
