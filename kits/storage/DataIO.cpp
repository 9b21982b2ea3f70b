#include "kits/storage/DataIO.h"

BDataIO::~BDataIO() = default;

status_t BDataIO::ReadExactly(void* buffer, size_t size)
{
    auto* bytes = static_cast<uint8*>(buffer);
    while (size > 0) {
        ssize_t done = Read(bytes, size);
        if (done < 0)
            return status_t(done);
        if (done == 0)
            return B_IO_ERROR;
        bytes += done;
        size -= size_t(done);
    }
    return B_OK;
}

status_t BDataIO::WriteExactly(const void* buffer, size_t size)
{
    auto* bytes = static_cast<const uint8*>(buffer);
    while (size > 0) {
        ssize_t done = Write(bytes, size);
        if (done < 0)
            return status_t(done);
        if (done == 0)
            return B_IO_ERROR;
        bytes += done;
        size -= size_t(done);
    }
    return B_OK;
}
