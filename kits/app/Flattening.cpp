#include "kits/app/Flattening.h"

#include "kits/app/Message.h"
#include "kits/app/MessagePrivate.h"
#include "kits/storage/DataIO.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace kits::app {

namespace {

// 'FOB1' as written by a machine of the same byte order; read the other way round it is
// '1BOF'.
constexpr uint32 FORMAT_TAG = FourCC("FOB1");
constexpr uint32 SWAPPED_FORMAT_TAG = FourCC("1BOF");

// Tag, checksum, total size, command, flags.
constexpr size_t HEADER_SIZE = 17;
constexpr size_t TARGET_BLOCK_SIZE = 4;
constexpr size_t REPLY_BLOCK_SIZE = 16;

constexpr uint8 FIELD_FLAG_VALID = 0x01;
constexpr uint8 FIELD_FLAG_MINI = 0x02;
constexpr uint8 FIELD_FLAG_FIXED = 0x04;
constexpr uint8 FIELD_FLAG_SINGLE = 0x08;
constexpr uint8 FIELD_FLAGS_KNOWN = 0x0F;
constexpr uint8 END_MARK = 0x00;

constexpr size_t MINI_LIMIT = 255;
// Each variable-size item is padded, size prefix included, to a multiple of this.
constexpr size_t ITEM_ALIGNMENT = 8;
constexpr size_t ITEM_SIZE_PREFIX = 4;
// The first read of a stream is at most this big; later ones at most double what arrived.
constexpr size_t FIRST_STREAM_CHUNK = 4096;

bool IsNative(ByteOrder order)
{
    return (order == ByteOrder::BigEndian) == (std::endian::native == std::endian::big);
}

uint32 GetNumber(const uint8* bytes, ByteOrder order)
{
    if (order == ByteOrder::LittleEndian) {
        return uint32(bytes[0]) | (uint32(bytes[1]) << 8) | (uint32(bytes[2]) << 16)
            | (uint32(bytes[3]) << 24);
    }
    return (uint32(bytes[0]) << 24) | (uint32(bytes[1]) << 16) | (uint32(bytes[2]) << 8)
        | uint32(bytes[3]);
}

void PutNumber(uint8* bytes, uint32 value, ByteOrder order)
{
    for (int i = 0; i < 4; i++) {
        int shift = order == ByteOrder::LittleEndian ? 8 * i : 8 * (3 - i);
        bytes[i] = uint8(value >> shift);
    }
}

// The checksum covers header bytes 8 to 16 as they stand: two big-endian words and the flags.
uint32 HeaderChecksum(const uint8* header)
{
    return GetNumber(header + 8, ByteOrder::BigEndian)
        + GetNumber(header + 12, ByteOrder::BigEndian) + header[16];
}

// The width of the numbers an item is made of, which swap between byte orders; 0 when its
// bytes never swap (single bytes, colours, strings, messages, raw and unknown data).
size_t SwapWidth(type_code type, size_t itemSize)
{
    switch (type) {
        case B_INT16_TYPE:
        case B_UINT16_TYPE:
            return 2;
        case B_INT32_TYPE:
        case B_UINT32_TYPE:
        case B_FLOAT_TYPE:
        case B_POINT_TYPE:
        case B_RECT_TYPE:
            return 4;
        case B_INT64_TYPE:
        case B_UINT64_TYPE:
        case B_DOUBLE_TYPE:
            return 8;
        case B_POINTER_TYPE:
            return itemSize;
        default:
            return 0;
    }
}

void SwapItem(uint8* bytes, size_t size, type_code type)
{
    size_t width = SwapWidth(type, size);
    if (width < 2)
        return;
    for (size_t at = 0; at + width <= size; at += width)
        std::reverse(bytes + at, bytes + at + width);
}

size_t Padded(size_t size)
{
    return (size + ITEM_ALIGNMENT - 1) / ITEM_ALIGNMENT * ITEM_ALIGNMENT;
}

// Whether the field is written as fixed-size. Nested messages are kept in their canonical
// form, which may be shorter or longer than the bytes a fixed-size field of a file gave them,
// so items that no longer share one size are written as variable-size: the only form a reader
// accepts for them.
bool IsWrittenFixed(const MessageField& field)
{
    if (!field.fixedSize)
        return false;
    size_t itemSize = field.ItemAt(0).size();
    for (size_t i = 1; i < field.CountItems(); i++) {
        if (field.ItemAt(i).size() != itemSize)
            return false;
    }
    return true;
}

size_t FieldDataSize(const MessageField& field, bool fixed)
{
    size_t size = 0;
    for (size_t i = 0; i < field.CountItems(); i++) {
        size_t itemSize = field.ItemAt(i).size();
        size += fixed ? itemSize : Padded(ITEM_SIZE_PREFIX + itemSize);
    }
    return size;
}

bool IsMini(size_t dataSize, size_t count)
{
    return dataSize <= MINI_LIMIT && count <= MINI_LIMIT;
}

size_t FieldSize(const MessageField& field)
{
    size_t dataSize = FieldDataSize(field, IsWrittenFixed(field));
    size_t count = field.CountItems();
    bool mini = IsMini(dataSize, count);
    size_t countSize = count == 1 ? 0 : (mini ? 1 : 4);
    return 1 + 4 + countSize + (mini ? 1 : 4) + 1 + field.name.size() + dataSize;
}

size_t BlocksSize(uint8 flags)
{
    return ((flags & HEADER_FLAG_TARGET) ? TARGET_BLOCK_SIZE : 0)
        + ((flags & HEADER_FLAG_REPLY) ? REPLY_BLOCK_SIZE : 0);
}

uint8 HeaderFlags(const BMessage& message)
{
    const MessageHeader* header = MessageAccess::Header(message);
    return header != nullptr ? header->flags : HEADER_FLAG_VALID;
}

// Writes into a buffer known to be large enough.
class Writer {
public:
    Writer(uint8* out, ByteOrder order) : out(out), order(order) {}

    void Byte(uint8 value) { out[position++] = value; }
    void Number(uint32 value)
    {
        PutNumber(out + position, value, order);
        position += 4;
    }
    void Bytes(const void* data, size_t size)
    {
        if (size > 0)
            std::memcpy(out + position, data, size);
        position += size;
    }
    void Zeros(size_t size)
    {
        std::memset(out + position, 0, size);
        position += size;
    }
    uint8* Here() { return out + position; }
    void Skip(size_t size) { position += size; }

private:
    uint8* out;
    ByteOrder order;
    size_t position = 0;
};

status_t WriteItem(Writer& writer, type_code type, std::span<const uint8> item, ByteOrder order)
{
    if (type == B_MESSAGE_TYPE && order != ByteOrder::LittleEndian) {
        // Stored little-endian; a nested message follows the order of its container.
        BMessage nested;
        if (status_t status = UnflattenMessage(item.data(), item.size(), nested);
            status != B_OK) {
            return status;
        }
        if (status_t status = FlattenMessage(nested, order, writer.Here(), item.size());
            status != B_OK) {
            return status;
        }
        writer.Skip(item.size());
        return B_OK;
    }
    uint8* start = writer.Here();
    writer.Bytes(item.data(), item.size());
    if (!IsNative(order))
        SwapItem(start, item.size(), type);
    return B_OK;
}

status_t WriteField(Writer& writer, const MessageField& field, ByteOrder order)
{
    bool fixed = IsWrittenFixed(field);
    size_t dataSize = FieldDataSize(field, fixed);
    size_t count = field.CountItems();
    bool mini = IsMini(dataSize, count);
    uint8 flags = FIELD_FLAG_VALID;
    if (mini)
        flags |= FIELD_FLAG_MINI;
    if (fixed)
        flags |= FIELD_FLAG_FIXED;
    if (count == 1)
        flags |= FIELD_FLAG_SINGLE;

    writer.Byte(flags);
    writer.Number(field.type);
    if (count != 1) {
        if (mini)
            writer.Byte(uint8(count));
        else
            writer.Number(uint32(count));
    }
    if (mini)
        writer.Byte(uint8(dataSize));
    else
        writer.Number(uint32(dataSize));
    writer.Byte(uint8(field.name.size()));
    writer.Bytes(field.name.data(), field.name.size());

    for (size_t i = 0; i < field.CountItems(); i++) {
        std::span<const uint8> item = field.ItemAt(i);
        if (!fixed)
            writer.Number(uint32(item.size()));
        if (status_t status = WriteItem(writer, field.type, item, order); status != B_OK)
            return status;
        if (!fixed)
            writer.Zeros(Padded(ITEM_SIZE_PREFIX + item.size()) - ITEM_SIZE_PREFIX - item.size());
    }
    return B_OK;
}

// Reads from a bounded range; every read checks what is left first.
class Reader {
public:
    Reader(const uint8* data, size_t size, ByteOrder order) : data(data), size(size), order(order)
    {
    }

    size_t Remaining() const { return size - position; }
    bool Byte(uint8& value)
    {
        if (Remaining() < 1)
            return false;
        value = data[position++];
        return true;
    }
    bool Number(uint32& value)
    {
        if (Remaining() < 4)
            return false;
        value = GetNumber(data + position, order);
        position += 4;
        return true;
    }
    // A number that must lie in 0 ... INT32_MAX, as the layout's sizes and counts are int32.
    bool Size(size_t& value)
    {
        uint32 number = 0;
        if (!Number(number) || number > uint32(std::numeric_limits<int32>::max()))
            return false;
        value = number;
        return true;
    }
    bool Bytes(size_t count, const uint8*& bytes)
    {
        if (Remaining() < count)
            return false;
        bytes = data + position;
        position += count;
        return true;
    }

private:
    const uint8* data;
    size_t size;
    ByteOrder order;
    size_t position = 0;
};

status_t ParseMessage(const uint8* data, size_t size, int depth, BMessage& message,
    ByteOrder& order, size_t& used);

status_t ParseItem(const uint8* data, size_t size, type_code type, ByteOrder order, int depth,
    std::vector<uint8>& item)
{
    size_t fixedItemSize = FixedItemSize(type);
    if (type == B_POINTER_TYPE) {
        // Either width: the old platform's pointers had four bytes.
        if (size != 4 && size != 8)
            return B_BAD_DATA;
    } else if (fixedItemSize != 0 && size != fixedItemSize) {
        return B_BAD_DATA;
    }
    if (type == B_STRING_TYPE && (size == 0 || data[size - 1] != 0))
        return B_BAD_DATA;

    if (type == B_MESSAGE_TYPE) {
        if (depth + 1 > MAX_MESSAGE_NESTING)
            return B_BAD_DATA;
        BMessage nested;
        ByteOrder nestedOrder = ByteOrder::LittleEndian;
        size_t nestedSize = 0;
        if (ParseMessage(data, size, depth + 1, nested, nestedOrder, nestedSize) != B_OK
            || nestedSize != size) {
            return B_BAD_DATA;
        }
        return FlattenMessage(nested, ByteOrder::LittleEndian, item);
    }

    item.assign(data, data + size);
    if (!IsNative(order))
        SwapItem(item.data(), item.size(), type);
    return B_OK;
}

// `names` holds the names of the fields read so far; a set keeps a file of many fields from
// costing quadratic time.
status_t ParseField(Reader& reader, uint8 flags, ByteOrder order, int depth,
    std::vector<MessageField>& fields, std::unordered_set<std::string>& names)
{
    if ((flags & FIELD_FLAG_VALID) == 0 || (flags & ~FIELD_FLAGS_KNOWN) != 0)
        return B_BAD_DATA;
    bool mini = (flags & FIELD_FLAG_MINI) != 0;

    uint32 type = 0;
    if (!reader.Number(type))
        return B_BAD_DATA;
    size_t count = 1;
    uint8 byte = 0;
    if ((flags & FIELD_FLAG_SINGLE) == 0) {
        if (mini ? !reader.Byte(byte) : !reader.Size(count))
            return B_BAD_DATA;
        if (mini)
            count = byte;
    }
    size_t dataSize = 0;
    if (mini ? !reader.Byte(byte) : !reader.Size(dataSize))
        return B_BAD_DATA;
    if (mini)
        dataSize = byte;
    uint8 nameLength = 0;
    const uint8* name = nullptr;
    if (count == 0 || !reader.Byte(nameLength) || nameLength == 0
        || !reader.Bytes(nameLength, name)) {
        return B_BAD_DATA;
    }
    // A zero inside a name would make it unreachable by the C-string API.
    if (std::memchr(name, 0, nameLength) != nullptr)
        return B_BAD_DATA;
    std::string fieldName(reinterpret_cast<const char*>(name), nameLength);
    if (names.contains(fieldName))
        return B_BAD_DATA;
    const uint8* data = nullptr;
    if (!reader.Bytes(dataSize, data))
        return B_BAD_DATA;

    MessageField field;
    field.name = std::move(fieldName);
    field.type = type;
    field.fixedSize = (flags & FIELD_FLAG_FIXED) != 0;
    std::vector<uint8> item;
    if (field.fixedSize) {
        // A count above the data size leaves an item size of 0 and is refused here, so the
        // reservation below never exceeds the bytes present.
        if (dataSize % count != 0 || dataSize / count == 0)
            return B_BAD_DATA;
        size_t itemSize = dataSize / count;
        field.Reserve(count, dataSize);
        for (size_t i = 0; i < count; i++) {
            if (status_t status = ParseItem(data + i * itemSize, itemSize, type, order, depth,
                    item);
                status != B_OK) {
                return status;
            }
            field.AddItem(item);
        }
    } else {
        // Every item takes at least one aligned unit.
        if (count > dataSize / ITEM_ALIGNMENT)
            return B_BAD_DATA;
        field.Reserve(count, dataSize);
        Reader items(data, dataSize, order);
        for (size_t i = 0; i < count; i++) {
            size_t itemSize = 0;
            const uint8* itemData = nullptr;
            const uint8* padding = nullptr;
            if (!items.Size(itemSize) || !items.Bytes(itemSize, itemData))
                return B_BAD_DATA;
            size_t paddingSize = Padded(ITEM_SIZE_PREFIX + itemSize) - ITEM_SIZE_PREFIX - itemSize;
            if (!items.Bytes(paddingSize, padding))
                return B_BAD_DATA;
            if (status_t status = ParseItem(itemData, itemSize, type, order, depth, item);
                status != B_OK) {
                return status;
            }
            field.AddItem(item);
        }
        if (items.Remaining() != 0)
            return B_BAD_DATA;
    }
    names.insert(field.name);
    fields.push_back(std::move(field));
    return B_OK;
}

// Reads exactly `size` bytes; `endStatus` when the stream ends first, a stream error as it is.
status_t ReadFromStream(BDataIO& stream, uint8* bytes, size_t size, status_t endStatus)
{
    while (size > 0) {
        ssize_t done = stream.Read(bytes, size);
        if (done < 0)
            return status_t(done);
        if (done == 0)
            return endStatus;
        bytes += done;
        size -= size_t(done);
    }
    return B_OK;
}

// The byte order a header's tag announces; false when it is no message header.
bool ReadTag(const uint8* header, ByteOrder& order)
{
    uint32 tag = GetNumber(header, ByteOrder::LittleEndian);
    if (tag == FORMAT_TAG)
        order = ByteOrder::LittleEndian;
    else if (tag == SWAPPED_FORMAT_TAG)
        order = ByteOrder::BigEndian;
    else
        return false;
    return true;
}

status_t ParseMessage(const uint8* data, size_t size, int depth, BMessage& message,
    ByteOrder& order, size_t& used)
{
    if (size < HEADER_SIZE || !ReadTag(data, order))
        return B_NOT_A_MESSAGE;
    // The checksum is not checked: nothing depends on it, and the structure checks catch
    // damage.
    uint32 totalSize = GetNumber(data + 8, order);
    if (totalSize <= HEADER_SIZE || totalSize > size)
        return B_BAD_DATA;

    Reader reader(data + 12, totalSize - 12, order);
    BMessage result;
    uint8 flags = 0;
    if (!reader.Number(result.what) || !reader.Byte(flags))
        return B_BAD_DATA;
    if (flags != HEADER_FLAG_VALID) {
        auto header = std::make_unique<MessageHeader>();
        header->flags = flags;
        uint32 number = 0;
        if ((flags & HEADER_FLAG_TARGET) != 0) {
            if (!reader.Number(number))
                return B_BAD_DATA;
            header->targetToken = int32(number);
        }
        if ((flags & HEADER_FLAG_REPLY) != 0) {
            const uint8* replyFlags = nullptr;
            uint32 port = 0;
            uint32 token = 0;
            uint32 team = 0;
            if (!reader.Number(port) || !reader.Number(token) || !reader.Number(team)
                || !reader.Bytes(header->replyFlags.size(), replyFlags)) {
                return B_BAD_DATA;
            }
            header->replyPort = int32(port);
            header->replyToken = int32(token);
            header->replyTeam = int32(team);
            std::copy_n(replyFlags, header->replyFlags.size(), header->replyFlags.begin());
        }
        MessageAccess::Header(result) = std::move(header);
    }

    std::vector<MessageField>& fields = MessageAccess::Fields(result);
    std::unordered_set<std::string> names;
    while (true) {
        uint8 fieldFlags = 0;
        if (!reader.Byte(fieldFlags))
            return B_BAD_DATA;
        if (fieldFlags == END_MARK)
            break;
        if (status_t status = ParseField(reader, fieldFlags, order, depth, fields, names);
            status != B_OK) {
            return status;
        }
    }
    // The end mark is the message's last byte.
    if (reader.Remaining() != 0)
        return B_BAD_DATA;
    message = std::move(result);
    used = totalSize;
    return B_OK;
}

}

size_t FixedItemSize(type_code type)
{
    switch (type) {
        case B_BOOL_TYPE:
        case B_INT8_TYPE:
        case B_UINT8_TYPE:
            return 1;
        case B_INT16_TYPE:
        case B_UINT16_TYPE:
            return 2;
        case B_INT32_TYPE:
        case B_UINT32_TYPE:
        case B_FLOAT_TYPE:
        case B_RGB_COLOR_TYPE:
            return 4;
        case B_INT64_TYPE:
        case B_UINT64_TYPE:
        case B_DOUBLE_TYPE:
        case B_POINT_TYPE:
            return 8;
        case B_RECT_TYPE:
            return 16;
        case B_POINTER_TYPE:
            return sizeof(void*);
        default:
            return 0;
    }
}

status_t ReadMessageItem(const uint8* data, size_t size, std::vector<uint8>& canonical)
{
    if (data == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> item;
    if (ParseItem(data, size, B_MESSAGE_TYPE, ByteOrder::LittleEndian, 0, item) != B_OK)
        return B_BAD_VALUE;
    canonical = std::move(item);
    return B_OK;
}

size_t FlattenedMessageSize(const BMessage& message)
{
    size_t size = HEADER_SIZE + BlocksSize(HeaderFlags(message));
    for (const MessageField& field : MessageAccess::Fields(message))
        size += FieldSize(field);
    return size + 1;
}

status_t FlattenMessage(const BMessage& message, ByteOrder order, uint8* buffer, size_t size)
{
    size_t totalSize = FlattenedMessageSize(message);
    if (buffer == nullptr || size < totalSize
        || totalSize > size_t(std::numeric_limits<int32>::max())) {
        return B_BAD_VALUE;
    }

    Writer writer(buffer, order);
    uint8 flags = HeaderFlags(message);
    writer.Number(FORMAT_TAG);
    writer.Number(0);
    writer.Number(uint32(totalSize));
    writer.Number(message.what);
    writer.Byte(flags);
    PutNumber(buffer + 4, HeaderChecksum(buffer), order);

    if (const MessageHeader* header = MessageAccess::Header(message); header != nullptr) {
        if ((flags & HEADER_FLAG_TARGET) != 0)
            writer.Number(uint32(header->targetToken));
        if ((flags & HEADER_FLAG_REPLY) != 0) {
            writer.Number(uint32(header->replyPort));
            writer.Number(uint32(header->replyToken));
            writer.Number(uint32(header->replyTeam));
            writer.Bytes(header->replyFlags.data(), header->replyFlags.size());
        }
    }
    for (const MessageField& field : MessageAccess::Fields(message)) {
        if (status_t status = WriteField(writer, field, order); status != B_OK)
            return status;
    }
    writer.Byte(END_MARK);
    return B_OK;
}

status_t FlattenMessage(const BMessage& message, ByteOrder order, std::vector<uint8>& out)
{
    std::vector<uint8> flat(FlattenedMessageSize(message));
    if (status_t status = FlattenMessage(message, order, flat.data(), flat.size());
        status != B_OK) {
        return status;
    }
    out = std::move(flat);
    return B_OK;
}

status_t UnflattenMessage(const uint8* buffer, size_t size, BMessage& message, ByteOrder* order,
    size_t* used)
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    ByteOrder foundOrder = ByteOrder::LittleEndian;
    size_t foundSize = 0;
    if (status_t status = ParseMessage(buffer, size, 0, message, foundOrder, foundSize);
        status != B_OK) {
        return status;
    }
    if (order != nullptr)
        *order = foundOrder;
    if (used != nullptr)
        *used = foundSize;
    return B_OK;
}

status_t UnflattenMessage(BDataIO& stream, BMessage& message, ByteOrder* order)
{
    std::vector<uint8> buffer(HEADER_SIZE);
    // A stream that ends early gets the answer the same bytes get from memory.
    if (status_t status = ReadFromStream(stream, buffer.data(), HEADER_SIZE, B_NOT_A_MESSAGE);
        status != B_OK) {
        return status;
    }
    ByteOrder headerOrder = ByteOrder::LittleEndian;
    if (!ReadTag(buffer.data(), headerOrder))
        return B_NOT_A_MESSAGE;
    uint32 totalSize = GetNumber(buffer.data() + 8, headerOrder);
    if (totalSize <= HEADER_SIZE || totalSize > uint32(std::numeric_limits<int32>::max()))
        return B_BAD_DATA;

    // Grow with what arrives, not with what the header claims.
    while (buffer.size() < totalSize) {
        size_t chunk = std::min(size_t(totalSize) - buffer.size(),
            std::max(FIRST_STREAM_CHUNK, buffer.size()));
        size_t start = buffer.size();
        buffer.resize(start + chunk);
        if (status_t status = ReadFromStream(stream, buffer.data() + start, chunk, B_BAD_DATA);
            status != B_OK) {
            return status;
        }
    }
    return UnflattenMessage(buffer.data(), buffer.size(), message, order);
}

}
