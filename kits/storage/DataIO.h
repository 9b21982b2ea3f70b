#pragma once
// BDataIO: a stream of bytes that can be read and written.

#include "kits/kernel/SupportDefs.h"

class BDataIO {
public:
    virtual ~BDataIO();

    // Each returns the number of bytes moved (possibly fewer than asked at the
    // end of the data) or a negative status.
    virtual ssize_t Read(void* buffer, size_t size) = 0;
    virtual ssize_t Write(const void* buffer, size_t size) = 0;

    // Loop until every byte is moved. A stream that ends early gives B_IO_ERROR,
    // a stream error its own status.
    status_t ReadExactly(void* buffer, size_t size);
    status_t WriteExactly(const void* buffer, size_t size);
};
