#pragma once
// BMallocIO: a BPositionIO over a growable block of memory.

#include "kits/storage/PositionIO.h"

#include <vector>

class BMallocIO : public BPositionIO {
public:
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;

    const void* Buffer() const;
    size_t BufferLength() const;

private:
    std::vector<uint8> data;
    off_t position = 0;
};
