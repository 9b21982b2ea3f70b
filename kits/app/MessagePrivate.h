#pragma once
// The inside of a BMessage, shared by Message.cpp and the flattening code of this kit only.

#include "kits/app/Message.h"

#include <array>
#include <span>

namespace kits::app {

// One named field. Items of a fixed-size field all have the same size.
class MessageField {
public:
    std::string name;
    type_code type = 0;
    bool fixedSize = true;

    size_t CountItems() const { return itemEnds.size(); }
    std::span<const uint8> ItemAt(size_t index) const
    {
        size_t start = index == 0 ? 0 : itemEnds[index - 1];
        return {data.data() + start, itemEnds[index] - start};
    }
    void AddItem(std::span<const uint8> item)
    {
        data.insert(data.end(), item.begin(), item.end());
        itemEnds.push_back(data.size());
    }
    void ReplaceItem(size_t index, std::span<const uint8> item)
    {
        std::vector<uint8> bytes(item.begin(), item.end());
        size_t start = index == 0 ? 0 : itemEnds[index - 1];
        size_t oldSize = itemEnds[index] - start;
        data.erase(data.begin() + ptrdiff_t(start), data.begin() + ptrdiff_t(start + oldSize));
        data.insert(data.begin() + ptrdiff_t(start), bytes.begin(), bytes.end());
        for (size_t i = index; i < itemEnds.size(); i++)
            itemEnds[i] = itemEnds[i] - oldSize + bytes.size();
    }
    void RemoveItem(size_t index)
    {
        size_t start = index == 0 ? 0 : itemEnds[index - 1];
        size_t oldSize = itemEnds[index] - start;
        data.erase(data.begin() + ptrdiff_t(start), data.begin() + ptrdiff_t(start + oldSize));
        itemEnds.erase(itemEnds.begin() + ptrdiff_t(index));
        for (size_t i = index; i < itemEnds.size(); i++)
            itemEnds[i] -= oldSize;
    }
    void Reserve(size_t items, size_t bytes)
    {
        itemEnds.reserve(items);
        data.reserve(bytes);
    }

private:
    // Item bytes back to back, in this machine's byte order; item i ends at itemEnds[i]. A
    // message item holds a complete little-endian flattened message that this kit has read
    // back once, so it is always well formed. One block rather than one per item keeps a
    // field of many small items near the size of its flattened form.
    std::vector<uint8> data;
    std::vector<size_t> itemEnds;
};

// Message flag bits of the flattened header.
constexpr uint8 HEADER_FLAG_VALID = 0x01;
constexpr uint8 HEADER_FLAG_TARGET = 0x02;
constexpr uint8 HEADER_FLAG_REPLY = 0x04;

// What a flattened header held beyond the bare flags every writer sets.
struct MessageHeader {
    uint8 flags = HEADER_FLAG_VALID;
    // With HEADER_FLAG_TARGET.
    int32 targetToken = 0;
    // With HEADER_FLAG_REPLY.
    int32 replyPort = 0;
    int32 replyToken = 0;
    int32 replyTeam = 0;
    std::array<uint8, 4> replyFlags{};
};

// The size items of `type` must have, 0 when the type does not fix one. A pointer is
// answered with this machine's width, though a file may hold the other one.
size_t FixedItemSize(type_code type);

// Reads `size` bytes as one nested message item (depth 1) that must fill them exactly, and
// gives its canonical little-endian flattening. B_BAD_VALUE if the bytes are no such message.
[[nodiscard]] status_t ReadMessageItem(const uint8* data, size_t size,
    std::vector<uint8>& canonical);

struct MessageAccess {
    static std::vector<MessageField>& Fields(BMessage& message) { return message.fields; }
    static const std::vector<MessageField>& Fields(const BMessage& message)
    {
        return message.fields;
    }
    static std::unique_ptr<MessageHeader>& Header(BMessage& message) { return message.header; }
    static const MessageHeader* Header(const BMessage& message) { return message.header.get(); }
    static std::atomic<uint64>& LookupHint(const BMessage& message)
    {
        return message.lookupHint;
    }
};

// A lookup hint for the field at `position`, `typeIndex` fields of its type coming before it.
constexpr uint64 NO_TYPE_INDEX = 0xFFFFFFFF;
constexpr uint64 MakeLookupHint(size_t position, uint64 typeIndex)
{
    return (typeIndex << 32) | uint64(position & 0xFFFFFFFF);
}
constexpr uint64 NO_LOOKUP_HINT = MakeLookupHint(0, NO_TYPE_INDEX);

}
