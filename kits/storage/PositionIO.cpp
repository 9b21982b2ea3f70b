#include "kits/storage/PositionIO.h"

ssize_t BPositionIO::Read(void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return ssize_t(position);
    ssize_t done = ReadAt(position, buffer, size);
    if (done > 0)
        Seek(position + done, SEEK_SET);
    return done;
}

ssize_t BPositionIO::Write(const void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return ssize_t(position);
    ssize_t done = WriteAt(position, buffer, size);
    if (done > 0)
        Seek(position + done, SEEK_SET);
    return done;
}

status_t BPositionIO::SetSize(off_t)
{
    return B_ERROR;
}

status_t BPositionIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    // Seek is not const; measuring through a copy of the position keeps it.
    auto* self = const_cast<BPositionIO*>(this);
    off_t position = self->Position();
    off_t end = self->Seek(0, SEEK_END);
    self->Seek(position, SEEK_SET);
    if (end < 0)
        return status_t(end);
    *size = end;
    return B_OK;
}
