#pragma once
// BPositionIO: a seekable byte stream with a size.

#include "kits/storage/DataIO.h"

#include <cstdio>

class BPositionIO : public BDataIO {
public:
    ssize_t Read(void* buffer, size_t size) override;
    ssize_t Write(const void* buffer, size_t size) override;

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;

    // seekMode is SEEK_SET, SEEK_CUR or SEEK_END; returns the new position or a
    // negative status.
    virtual off_t Seek(off_t position, uint32 seekMode) = 0;
    virtual off_t Position() const = 0;

    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;
};
