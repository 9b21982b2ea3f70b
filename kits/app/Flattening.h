#pragma once
// Encoder and decoder of the flattened message layout that settings and presets files use.

#include "kits/kernel/SupportDefs.h"

#include <vector>

class BDataIO;
class BMessage;

namespace kits::app {

// The byte order of every number in a flattened message. Files are written little-endian;
// the other order is read, and written on request, so a file can be given back as it came.
enum class ByteOrder { LittleEndian, BigEndian };

// Nested messages deeper than this are refused; the top-level message is depth 0.
constexpr int MAX_MESSAGE_NESTING = 64;

// The same in either byte order.
size_t FlattenedMessageSize(const BMessage& message);

// B_BAD_VALUE: the buffer is smaller than the flattened size, or the message is too big for
// the layout's 32-bit sizes.
[[nodiscard]] status_t FlattenMessage(const BMessage& message, ByteOrder order, uint8* buffer,
    size_t size);
[[nodiscard]] status_t FlattenMessage(const BMessage& message, ByteOrder order,
    std::vector<uint8>& out);

// Reads one message from the first `size` bytes; `order` (if given) receives the order the
// bytes were written in and `used` the message's total size. B_NOT_A_MESSAGE: the buffer does
// not start with a message header; B_BAD_DATA: the message is malformed. `message` is changed
// only on success.
[[nodiscard]] status_t UnflattenMessage(const uint8* buffer, size_t size, BMessage& message,
    ByteOrder* order = nullptr, size_t* used = nullptr);
// Reads exactly one message's bytes from the stream, leaving it just after them. Memory grows
// only as bytes arrive, whatever size the header claims. A stream that ends early gives what
// the bytes it held give from memory (B_NOT_A_MESSAGE within the header, else B_BAD_DATA); a
// stream error comes back as it is.
[[nodiscard]] status_t UnflattenMessage(BDataIO& stream, BMessage& message,
    ByteOrder* order = nullptr);

}
