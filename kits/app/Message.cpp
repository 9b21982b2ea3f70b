#include "kits/app/Message.h"

#include "kits/app/Flattening.h"
#include "kits/app/MessagePrivate.h"
#include "kits/storage/DataIO.h"

#include <algorithm>
#include <cstring>
#include <utility>

using kits::app::MessageAccess;
using kits::app::MessageField;
using kits::app::NO_LOOKUP_HINT;
using kits::app::NO_TYPE_INDEX;

namespace {

constexpr size_t MAX_NAME_LENGTH = 255;
// A count hint larger than this reserves no more: fields hold few items.
constexpr int32 MAX_RESERVED_ITEMS = 256;

const MessageField* FindField(const BMessage& message, const char* name)
{
    if (name == nullptr)
        return nullptr;
    const std::vector<MessageField>& fields = MessageAccess::Fields(message);
    // Listing asks for a field's items by name right after GetInfo found it.
    size_t hinted = size_t(MessageAccess::LookupHint(message).load(std::memory_order_relaxed)
        & 0xFFFFFFFF);
    if (hinted < fields.size() && fields[hinted].name == name)
        return &fields[hinted];
    for (const MessageField& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

MessageField* FindField(BMessage& message, const char* name)
{
    return const_cast<MessageField*>(FindField(std::as_const(message), name));
}

status_t CheckItemAccess(const MessageField* field, type_code type, int32 index)
{
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (type != B_ANY_TYPE && type != field->type)
        return B_BAD_TYPE;
    if (index < 0 || size_t(index) >= field->CountItems())
        return B_BAD_INDEX;
    return B_OK;
}

status_t FindItem(const BMessage& message, const char* name, type_code type, int32 index,
    std::span<const uint8>* item)
{
    const MessageField* field = FindField(message, name);
    if (status_t status = CheckItemAccess(field, type, index); status != B_OK)
        return status;
    *item = field->ItemAt(size_t(index));
    return B_OK;
}

// Checks one new item for a field of `type` and makes the bytes to store.
status_t MakeItem(type_code type, bool fixedSize, const void* data, ssize_t numBytes,
    std::vector<uint8>& item)
{
    if (type == B_ANY_TYPE)
        return B_BAD_TYPE;
    if (numBytes < 0 || (data == nullptr && numBytes > 0))
        return B_BAD_VALUE;
    size_t size = size_t(numBytes);
    size_t fixedItemSize = kits::app::FixedItemSize(type);
    if ((fixedItemSize != 0 && size != fixedItemSize) || (fixedSize && size == 0))
        return B_BAD_VALUE;
    const auto* bytes = static_cast<const uint8*>(data);
    if (type == B_STRING_TYPE && (size == 0 || bytes[size - 1] != 0))
        return B_BAD_VALUE;
    if (type == B_MESSAGE_TYPE)
        return kits::app::ReadMessageItem(bytes, size, item);
    item.assign(bytes, bytes + size);
    return B_OK;
}

template<typename T>
status_t FindValue(const BMessage& message, const char* name, type_code type, int32 index,
    T* value)
{
    if (value == nullptr)
        return B_BAD_VALUE;
    std::span<const uint8> item;
    if (status_t status = FindItem(message, name, type, index, &item); status != B_OK)
        return status;
    if (item.size() != sizeof(T))
        return B_BAD_DATA;
    std::memcpy(value, item.data(), sizeof(T));
    return B_OK;
}

std::vector<uint8> FlattenForItem(const BMessage& message)
{
    std::vector<uint8> flat;
    // Only a message too big for the layout fails, and that one MakeItem then refuses.
    if (kits::app::FlattenMessage(message, kits::app::ByteOrder::LittleEndian, flat) != B_OK)
        flat.clear();
    return flat;
}

}

BMessage::BMessage() : lookupHint(NO_LOOKUP_HINT) {}

BMessage::BMessage(uint32 what) : what(what), lookupHint(NO_LOOKUP_HINT) {}

BMessage::BMessage(const BMessage& other)
    : what(other.what),
      fields(other.fields),
      lookupHint(NO_LOOKUP_HINT),
      header(other.header ? std::make_unique<kits::app::MessageHeader>(*other.header) : nullptr),
      wasDropped(other.wasDropped),
      dropPoint(other.dropPoint),
      dropOffset(other.dropOffset)
{
}

BMessage::BMessage(BMessage&& other) noexcept
    : what(other.what),
      fields(std::move(other.fields)),
      lookupHint(NO_LOOKUP_HINT),
      header(std::move(other.header)),
      wasDropped(other.wasDropped),
      dropPoint(other.dropPoint),
      dropOffset(other.dropOffset)
{
    other.lookupHint.store(NO_LOOKUP_HINT, std::memory_order_relaxed);
}

BMessage& BMessage::operator=(const BMessage& other)
{
    if (this != &other)
        *this = BMessage(other);
    return *this;
}

BMessage& BMessage::operator=(BMessage&& other) noexcept
{
    what = other.what;
    fields = std::move(other.fields);
    header = std::move(other.header);
    wasDropped = other.wasDropped;
    dropPoint = other.dropPoint;
    dropOffset = other.dropOffset;
    lookupHint.store(NO_LOOKUP_HINT, std::memory_order_relaxed);
    other.lookupHint.store(NO_LOOKUP_HINT, std::memory_order_relaxed);
    return *this;
}

BMessage::~BMessage() = default;

status_t BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
    bool isFixedSize, int32 count)
{
    MessageField* field = FindField(*this, name);
    if (field != nullptr) {
        if (field->type != type)
            return B_BAD_TYPE;
        if (field->fixedSize && size_t(numBytes) != field->ItemAt(0).size())
            return B_BAD_VALUE;
        std::vector<uint8> item;
        if (status_t status = MakeItem(type, field->fixedSize, data, numBytes, item);
            status != B_OK) {
            return status;
        }
        field->AddItem(item);
        return B_OK;
    }

    if (name == nullptr || name[0] == '\0' || std::strlen(name) > MAX_NAME_LENGTH)
        return B_BAD_VALUE;
    std::vector<uint8> item;
    if (status_t status = MakeItem(type, isFixedSize, data, numBytes, item); status != B_OK)
        return status;
    MessageField newField;
    newField.name = name;
    newField.type = type;
    newField.fixedSize = isFixedSize;
    size_t reserved = size_t(std::clamp(count, int32(1), MAX_RESERVED_ITEMS));
    newField.Reserve(reserved, isFixedSize ? reserved * item.size() : item.size());
    newField.AddItem(item);
    fields.push_back(std::move(newField));
    return B_OK;
}

status_t BMessage::AddBool(const char* name, bool value)
{
    uint8 byte = value ? 1 : 0;
    return AddData(name, B_BOOL_TYPE, &byte, 1);
}

status_t BMessage::AddInt8(const char* name, int8 value)
{
    return AddData(name, B_INT8_TYPE, &value, sizeof(value));
}

status_t BMessage::AddUInt8(const char* name, uint8 value)
{
    return AddData(name, B_UINT8_TYPE, &value, sizeof(value));
}

status_t BMessage::AddInt16(const char* name, int16 value)
{
    return AddData(name, B_INT16_TYPE, &value, sizeof(value));
}

status_t BMessage::AddUInt16(const char* name, uint16 value)
{
    return AddData(name, B_UINT16_TYPE, &value, sizeof(value));
}

status_t BMessage::AddInt32(const char* name, int32 value)
{
    return AddData(name, B_INT32_TYPE, &value, sizeof(value));
}

status_t BMessage::AddUInt32(const char* name, uint32 value)
{
    return AddData(name, B_UINT32_TYPE, &value, sizeof(value));
}

status_t BMessage::AddInt64(const char* name, int64 value)
{
    return AddData(name, B_INT64_TYPE, &value, sizeof(value));
}

status_t BMessage::AddUInt64(const char* name, uint64 value)
{
    return AddData(name, B_UINT64_TYPE, &value, sizeof(value));
}

status_t BMessage::AddFloat(const char* name, float value)
{
    return AddData(name, B_FLOAT_TYPE, &value, sizeof(value));
}

status_t BMessage::AddDouble(const char* name, double value)
{
    return AddData(name, B_DOUBLE_TYPE, &value, sizeof(value));
}

status_t BMessage::AddString(const char* name, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return AddData(name, B_STRING_TYPE, string, ssize_t(std::strlen(string) + 1), false);
}

status_t BMessage::AddPoint(const char* name, BPoint point)
{
    static_assert(sizeof(BPoint) == 8);
    return AddData(name, B_POINT_TYPE, &point, sizeof(point));
}

status_t BMessage::AddRect(const char* name, BRect rect)
{
    static_assert(sizeof(BRect) == 16);
    return AddData(name, B_RECT_TYPE, &rect, sizeof(rect));
}

status_t BMessage::AddPointer(const char* name, const void* pointer)
{
    return AddData(name, B_POINTER_TYPE, &pointer, sizeof(pointer));
}

status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> flat = FlattenForItem(*message);
    return AddData(name, B_MESSAGE_TYPE, flat.data(), ssize_t(flat.size()), false);
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
    ssize_t* numBytes) const
{
    return FindData(name, type, 0, data, numBytes);
}

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
    ssize_t* numBytes) const
{
    if (data == nullptr || numBytes == nullptr)
        return B_BAD_VALUE;
    std::span<const uint8> item;
    if (status_t status = FindItem(*this, name, type, index, &item); status != B_OK)
        return status;
    *data = item.data();
    *numBytes = ssize_t(item.size());
    return B_OK;
}

status_t BMessage::FindBool(const char* name, bool* value) const
{
    return FindBool(name, 0, value);
}

status_t BMessage::FindBool(const char* name, int32 index, bool* value) const
{
    uint8 byte = 0;
    if (value == nullptr)
        return B_BAD_VALUE;
    if (status_t status = FindValue(*this, name, B_BOOL_TYPE, index, &byte); status != B_OK)
        return status;
    *value = byte != 0;
    return B_OK;
}

status_t BMessage::FindInt8(const char* name, int8* value) const
{
    return FindValue(*this, name, B_INT8_TYPE, 0, value);
}

status_t BMessage::FindInt8(const char* name, int32 index, int8* value) const
{
    return FindValue(*this, name, B_INT8_TYPE, index, value);
}

status_t BMessage::FindUInt8(const char* name, uint8* value) const
{
    return FindValue(*this, name, B_UINT8_TYPE, 0, value);
}

status_t BMessage::FindUInt8(const char* name, int32 index, uint8* value) const
{
    return FindValue(*this, name, B_UINT8_TYPE, index, value);
}

status_t BMessage::FindInt16(const char* name, int16* value) const
{
    return FindValue(*this, name, B_INT16_TYPE, 0, value);
}

status_t BMessage::FindInt16(const char* name, int32 index, int16* value) const
{
    return FindValue(*this, name, B_INT16_TYPE, index, value);
}

status_t BMessage::FindUInt16(const char* name, uint16* value) const
{
    return FindValue(*this, name, B_UINT16_TYPE, 0, value);
}

status_t BMessage::FindUInt16(const char* name, int32 index, uint16* value) const
{
    return FindValue(*this, name, B_UINT16_TYPE, index, value);
}

status_t BMessage::FindInt32(const char* name, int32* value) const
{
    return FindValue(*this, name, B_INT32_TYPE, 0, value);
}

status_t BMessage::FindInt32(const char* name, int32 index, int32* value) const
{
    return FindValue(*this, name, B_INT32_TYPE, index, value);
}

status_t BMessage::FindUInt32(const char* name, uint32* value) const
{
    return FindValue(*this, name, B_UINT32_TYPE, 0, value);
}

status_t BMessage::FindUInt32(const char* name, int32 index, uint32* value) const
{
    return FindValue(*this, name, B_UINT32_TYPE, index, value);
}

status_t BMessage::FindInt64(const char* name, int64* value) const
{
    return FindValue(*this, name, B_INT64_TYPE, 0, value);
}

status_t BMessage::FindInt64(const char* name, int32 index, int64* value) const
{
    return FindValue(*this, name, B_INT64_TYPE, index, value);
}

status_t BMessage::FindUInt64(const char* name, uint64* value) const
{
    return FindValue(*this, name, B_UINT64_TYPE, 0, value);
}

status_t BMessage::FindUInt64(const char* name, int32 index, uint64* value) const
{
    return FindValue(*this, name, B_UINT64_TYPE, index, value);
}

status_t BMessage::FindFloat(const char* name, float* value) const
{
    return FindValue(*this, name, B_FLOAT_TYPE, 0, value);
}

status_t BMessage::FindFloat(const char* name, int32 index, float* value) const
{
    return FindValue(*this, name, B_FLOAT_TYPE, index, value);
}

status_t BMessage::FindDouble(const char* name, double* value) const
{
    return FindValue(*this, name, B_DOUBLE_TYPE, 0, value);
}

status_t BMessage::FindDouble(const char* name, int32 index, double* value) const
{
    return FindValue(*this, name, B_DOUBLE_TYPE, index, value);
}

status_t BMessage::FindString(const char* name, const char** string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, const char** string) const
{
    if (string == nullptr)
        return B_BAD_VALUE;
    std::span<const uint8> item;
    if (status_t status = FindItem(*this, name, B_STRING_TYPE, index, &item); status != B_OK)
        return status;
    *string = reinterpret_cast<const char*>(item.data());
    return B_OK;
}

status_t BMessage::FindString(const char* name, std::string* string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, std::string* string) const
{
    if (string == nullptr)
        return B_BAD_VALUE;
    std::span<const uint8> item;
    if (status_t status = FindItem(*this, name, B_STRING_TYPE, index, &item); status != B_OK)
        return status;
    // A string ends at its first zero, as it does for the const char* form.
    const char* chars = reinterpret_cast<const char*>(item.data());
    string->assign(chars, strnlen(chars, item.size()));
    return B_OK;
}

status_t BMessage::FindPoint(const char* name, BPoint* point) const
{
    return FindValue(*this, name, B_POINT_TYPE, 0, point);
}

status_t BMessage::FindPoint(const char* name, int32 index, BPoint* point) const
{
    return FindValue(*this, name, B_POINT_TYPE, index, point);
}

status_t BMessage::FindRect(const char* name, BRect* rect) const
{
    return FindValue(*this, name, B_RECT_TYPE, 0, rect);
}

status_t BMessage::FindRect(const char* name, int32 index, BRect* rect) const
{
    return FindValue(*this, name, B_RECT_TYPE, index, rect);
}

status_t BMessage::FindPointer(const char* name, void** pointer) const
{
    return FindValue(*this, name, B_POINTER_TYPE, 0, pointer);
}

status_t BMessage::FindPointer(const char* name, int32 index, void** pointer) const
{
    return FindValue(*this, name, B_POINTER_TYPE, index, pointer);
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
    return FindMessage(name, 0, message);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::span<const uint8> item;
    if (status_t status = FindItem(*this, name, B_MESSAGE_TYPE, index, &item); status != B_OK)
        return status;
    if (kits::app::UnflattenMessage(item.data(), item.size(), *message) != B_OK)
        return B_BAD_DATA;
    return B_OK;
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
    return CheckItemAccess(FindField(*this, name), type, index) == B_OK;
}

bool BMessage::HasBool(const char* name, int32 index) const
{
    return HasData(name, B_BOOL_TYPE, index);
}

bool BMessage::HasInt8(const char* name, int32 index) const
{
    return HasData(name, B_INT8_TYPE, index);
}

bool BMessage::HasUInt8(const char* name, int32 index) const
{
    return HasData(name, B_UINT8_TYPE, index);
}

bool BMessage::HasInt16(const char* name, int32 index) const
{
    return HasData(name, B_INT16_TYPE, index);
}

bool BMessage::HasUInt16(const char* name, int32 index) const
{
    return HasData(name, B_UINT16_TYPE, index);
}

bool BMessage::HasInt32(const char* name, int32 index) const
{
    return HasData(name, B_INT32_TYPE, index);
}

bool BMessage::HasUInt32(const char* name, int32 index) const
{
    return HasData(name, B_UINT32_TYPE, index);
}

bool BMessage::HasInt64(const char* name, int32 index) const
{
    return HasData(name, B_INT64_TYPE, index);
}

bool BMessage::HasUInt64(const char* name, int32 index) const
{
    return HasData(name, B_UINT64_TYPE, index);
}

bool BMessage::HasFloat(const char* name, int32 index) const
{
    return HasData(name, B_FLOAT_TYPE, index);
}

bool BMessage::HasDouble(const char* name, int32 index) const
{
    return HasData(name, B_DOUBLE_TYPE, index);
}

bool BMessage::HasString(const char* name, int32 index) const
{
    return HasData(name, B_STRING_TYPE, index);
}

bool BMessage::HasPoint(const char* name, int32 index) const
{
    return HasData(name, B_POINT_TYPE, index);
}

bool BMessage::HasRect(const char* name, int32 index) const
{
    return HasData(name, B_RECT_TYPE, index);
}

bool BMessage::HasPointer(const char* name, int32 index) const
{
    return HasData(name, B_POINTER_TYPE, index);
}

bool BMessage::HasMessage(const char* name, int32 index) const
{
    return HasData(name, B_MESSAGE_TYPE, index);
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data,
    ssize_t numBytes)
{
    return ReplaceData(name, type, 0, data, numBytes);
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
    ssize_t numBytes)
{
    MessageField* field = FindField(*this, name);
    if (field != nullptr && type == B_ANY_TYPE)
        return B_BAD_TYPE;
    if (status_t status = CheckItemAccess(field, type, index); status != B_OK)
        return status;
    if (field->fixedSize && size_t(numBytes) != field->ItemAt(0).size())
        return B_BAD_VALUE;
    std::vector<uint8> item;
    if (status_t status = MakeItem(type, field->fixedSize, data, numBytes, item); status != B_OK)
        return status;
    field->ReplaceItem(size_t(index), item);
    return B_OK;
}

status_t BMessage::ReplaceBool(const char* name, bool value)
{
    return ReplaceBool(name, 0, value);
}

status_t BMessage::ReplaceBool(const char* name, int32 index, bool value)
{
    uint8 byte = value ? 1 : 0;
    return ReplaceData(name, B_BOOL_TYPE, index, &byte, 1);
}

status_t BMessage::ReplaceInt8(const char* name, int8 value)
{
    return ReplaceData(name, B_INT8_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceInt8(const char* name, int32 index, int8 value)
{
    return ReplaceData(name, B_INT8_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt8(const char* name, uint8 value)
{
    return ReplaceData(name, B_UINT8_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt8(const char* name, int32 index, uint8 value)
{
    return ReplaceData(name, B_UINT8_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceInt16(const char* name, int16 value)
{
    return ReplaceData(name, B_INT16_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceInt16(const char* name, int32 index, int16 value)
{
    return ReplaceData(name, B_INT16_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt16(const char* name, uint16 value)
{
    return ReplaceData(name, B_UINT16_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt16(const char* name, int32 index, uint16 value)
{
    return ReplaceData(name, B_UINT16_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceInt32(const char* name, int32 value)
{
    return ReplaceData(name, B_INT32_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceInt32(const char* name, int32 index, int32 value)
{
    return ReplaceData(name, B_INT32_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt32(const char* name, uint32 value)
{
    return ReplaceData(name, B_UINT32_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt32(const char* name, int32 index, uint32 value)
{
    return ReplaceData(name, B_UINT32_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceInt64(const char* name, int64 value)
{
    return ReplaceData(name, B_INT64_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceInt64(const char* name, int32 index, int64 value)
{
    return ReplaceData(name, B_INT64_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt64(const char* name, uint64 value)
{
    return ReplaceData(name, B_UINT64_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceUInt64(const char* name, int32 index, uint64 value)
{
    return ReplaceData(name, B_UINT64_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceFloat(const char* name, float value)
{
    return ReplaceData(name, B_FLOAT_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceFloat(const char* name, int32 index, float value)
{
    return ReplaceData(name, B_FLOAT_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceDouble(const char* name, double value)
{
    return ReplaceData(name, B_DOUBLE_TYPE, 0, &value, sizeof(value));
}

status_t BMessage::ReplaceDouble(const char* name, int32 index, double value)
{
    return ReplaceData(name, B_DOUBLE_TYPE, index, &value, sizeof(value));
}

status_t BMessage::ReplaceString(const char* name, const char* string)
{
    return ReplaceString(name, 0, string);
}

status_t BMessage::ReplaceString(const char* name, int32 index, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return ReplaceData(name, B_STRING_TYPE, index, string, ssize_t(std::strlen(string) + 1));
}

status_t BMessage::ReplacePoint(const char* name, BPoint point)
{
    return ReplaceData(name, B_POINT_TYPE, 0, &point, sizeof(point));
}

status_t BMessage::ReplacePoint(const char* name, int32 index, BPoint point)
{
    return ReplaceData(name, B_POINT_TYPE, index, &point, sizeof(point));
}

status_t BMessage::ReplaceRect(const char* name, BRect rect)
{
    return ReplaceData(name, B_RECT_TYPE, 0, &rect, sizeof(rect));
}

status_t BMessage::ReplaceRect(const char* name, int32 index, BRect rect)
{
    return ReplaceData(name, B_RECT_TYPE, index, &rect, sizeof(rect));
}

status_t BMessage::ReplacePointer(const char* name, const void* pointer)
{
    return ReplaceData(name, B_POINTER_TYPE, 0, &pointer, sizeof(pointer));
}

status_t BMessage::ReplacePointer(const char* name, int32 index, const void* pointer)
{
    return ReplaceData(name, B_POINTER_TYPE, index, &pointer, sizeof(pointer));
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
    return ReplaceMessage(name, 0, message);
}

status_t BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> flat = FlattenForItem(*message);
    return ReplaceData(name, B_MESSAGE_TYPE, index, flat.data(), ssize_t(flat.size()));
}

status_t BMessage::RemoveData(const char* name, int32 index)
{
    MessageField* field = FindField(*this, name);
    if (status_t status = CheckItemAccess(field, B_ANY_TYPE, index); status != B_OK)
        return status;
    if (field->CountItems() == 1)
        return RemoveName(name);
    field->RemoveItem(size_t(index));
    return B_OK;
}

status_t BMessage::RemoveName(const char* name)
{
    MessageField* field = FindField(*this, name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    fields.erase(fields.begin() + (field - fields.data()));
    lookupHint.store(NO_LOOKUP_HINT, std::memory_order_relaxed);
    return B_OK;
}

bool BMessage::WasDropped() const
{
    return wasDropped;
}

BPoint BMessage::DropPoint(BPoint* offset) const
{
    if (offset != nullptr)
        *offset = dropOffset;
    return dropPoint;
}

namespace kits::app {

void MarkDropped(BMessage& message, BPoint dropPoint, BPoint offset)
{
    message.wasDropped = true;
    message.dropPoint = dropPoint;
    message.dropOffset = offset;
}

}

status_t BMessage::MakeEmpty()
{
    fields.clear();
    lookupHint.store(NO_LOOKUP_HINT, std::memory_order_relaxed);
    return B_OK;
}

bool BMessage::IsEmpty() const
{
    return fields.empty();
}

int32 BMessage::CountNames(type_code type) const
{
    return int32(std::count_if(fields.begin(), fields.end(), [type](const MessageField& field) {
        return type == B_ANY_TYPE || field.type == type;
    }));
}

status_t BMessage::GetInfo(type_code type, int32 index, char** nameFound, type_code* typeFound,
    int32* countFound) const
{
    if (index < 0)
        return CountNames(type) == 0 ? B_BAD_TYPE : B_BAD_INDEX;
    size_t position = 0;
    uint64 matches = 0;
    if (type == B_ANY_TYPE) {
        if (fields.empty())
            return B_BAD_TYPE;
        if (size_t(index) >= fields.size())
            return B_BAD_INDEX;
        position = size_t(index);
    } else {
        // Resume from the last match of this type when it lies at or before the one asked
        // for: a message's fields listed in order cost one step each.
        uint64 hint = lookupHint.load(std::memory_order_relaxed);
        size_t hinted = size_t(hint & 0xFFFFFFFF);
        uint64 hintedIndex = hint >> 32;
        if (hintedIndex != NO_TYPE_INDEX && hintedIndex <= uint64(index)
            && hinted < fields.size() && fields[hinted].type == type) {
            position = hinted;
            matches = hintedIndex;
        }
        for (;; position++) {
            if (position == fields.size())
                return matches == 0 ? B_BAD_TYPE : B_BAD_INDEX;
            if (fields[position].type != type)
                continue;
            if (matches == uint64(index))
                break;
            matches++;
        }
    }
    lookupHint.store(kits::app::MakeLookupHint(position,
                         type == B_ANY_TYPE ? NO_TYPE_INDEX : uint64(index)),
        std::memory_order_relaxed);
    const MessageField& field = fields[position];
    if (nameFound != nullptr)
        *nameFound = const_cast<char*>(field.name.c_str());
    if (typeFound != nullptr)
        *typeFound = field.type;
    if (countFound != nullptr)
        *countFound = int32(field.CountItems());
    return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
    const MessageField* field = FindField(*this, name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (typeFound != nullptr)
        *typeFound = field->type;
    if (countFound != nullptr)
        *countFound = int32(field->CountItems());
    return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
    const MessageField* field = FindField(*this, name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (typeFound != nullptr)
        *typeFound = field->type;
    if (fixedSize != nullptr)
        *fixedSize = field->fixedSize;
    return B_OK;
}

ssize_t BMessage::FlattenedSize() const
{
    return ssize_t(kits::app::FlattenedMessageSize(*this));
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
    if (buffer == nullptr || size < 0)
        return B_BAD_VALUE;
    return kits::app::FlattenMessage(*this, kits::app::ByteOrder::LittleEndian,
        reinterpret_cast<uint8*>(buffer), size_t(size));
}

status_t BMessage::Flatten(BDataIO* stream, ssize_t* size) const
{
    if (stream == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> flat;
    if (status_t status = kits::app::FlattenMessage(*this, kits::app::ByteOrder::LittleEndian,
            flat);
        status != B_OK) {
        return status;
    }
    if (status_t status = stream->WriteExactly(flat.data(), flat.size()); status != B_OK)
        return status;
    if (size != nullptr)
        *size = ssize_t(flat.size());
    return B_OK;
}

status_t BMessage::Unflatten(const char* buffer, size_t size)
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    return kits::app::UnflattenMessage(reinterpret_cast<const uint8*>(buffer), size, *this);
}

status_t BMessage::Unflatten(BDataIO* stream)
{
    if (stream == nullptr)
        return B_BAD_VALUE;
    return kits::app::UnflattenMessage(*stream, *this);
}
