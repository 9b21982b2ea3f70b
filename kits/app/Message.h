#pragma once
// BMessage: a command code with named, typed fields, and its flattened form.

#include "kits/kernel/Point.h"
#include "kits/kernel/Rect.h"
#include "kits/kernel/SupportDefs.h"
#include "kits/kernel/TypeConstants.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class BDataIO;

class BMessage;

namespace kits::app {
class MessageField;
struct MessageHeader;
struct MessageAccess;

// Marks a message as dropped by a drag at dropPoint (screen coordinates), with the offset of
// that point from the dragged rectangle's top-left; the interface kit calls it on delivery.
void MarkDropped(BMessage& message, BPoint dropPoint, BPoint offset);
}

// A message is a plain value: it has no lock and belongs to whoever holds it. Each field has a
// name, a type and one or more items, and the fields keep the order in which they were first
// added, which is the order they flatten in.
//
// Every Find leaves its output untouched on failure: B_NAME_NOT_FOUND for a missing name,
// B_BAD_TYPE for a field of another type, B_BAD_INDEX for an item that does not exist.
// Pointers handed out by Find, FindData and GetInfo point into the message and stay valid until
// it is next changed or destroyed.
class BMessage {
public:
    BMessage();
    explicit BMessage(uint32 what);
    BMessage(const BMessage& other);
    BMessage(BMessage&& other) noexcept;
    BMessage& operator=(const BMessage& other);
    BMessage& operator=(BMessage&& other) noexcept;
    ~BMessage();

    // Fields and their items.
    // Adds an item to the field `name`, creating the field (with `isFixedSize`) if it does not
    // exist. B_BAD_TYPE: the field has another type. B_BAD_VALUE: an empty or over-long
    // (255 bytes) name, an item whose size does not suit its type or field, a string without
    // its terminating zero, or a message that cannot be read. `count` is a hint of how many
    // items will follow.
    status_t AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
        bool isFixedSize = true, int32 count = 1);
    status_t AddBool(const char* name, bool value);
    status_t AddInt8(const char* name, int8 value);
    status_t AddUInt8(const char* name, uint8 value);
    status_t AddInt16(const char* name, int16 value);
    status_t AddUInt16(const char* name, uint16 value);
    status_t AddInt32(const char* name, int32 value);
    status_t AddUInt32(const char* name, uint32 value);
    status_t AddInt64(const char* name, int64 value);
    status_t AddUInt64(const char* name, uint64 value);
    status_t AddFloat(const char* name, float value);
    status_t AddDouble(const char* name, double value);
    status_t AddString(const char* name, const char* string);
    status_t AddPoint(const char* name, BPoint point);
    status_t AddRect(const char* name, BRect rect);
    // The pointer is stored as it is; it means nothing outside this process.
    status_t AddPointer(const char* name, const void* pointer);
    // Stores a flattened copy; B_BAD_VALUE if the result would nest deeper than a reader
    // accepts.
    status_t AddMessage(const char* name, const BMessage* message);

    // B_ANY_TYPE matches a field of any type. For a string the bytes include the terminating
    // zero; for a message they are its flattened form.
    status_t FindData(const char* name, type_code type, const void** data,
        ssize_t* numBytes) const;
    status_t FindData(const char* name, type_code type, int32 index, const void** data,
        ssize_t* numBytes) const;
    status_t FindBool(const char* name, bool* value) const;
    status_t FindBool(const char* name, int32 index, bool* value) const;
    status_t FindInt8(const char* name, int8* value) const;
    status_t FindInt8(const char* name, int32 index, int8* value) const;
    status_t FindUInt8(const char* name, uint8* value) const;
    status_t FindUInt8(const char* name, int32 index, uint8* value) const;
    status_t FindInt16(const char* name, int16* value) const;
    status_t FindInt16(const char* name, int32 index, int16* value) const;
    status_t FindUInt16(const char* name, uint16* value) const;
    status_t FindUInt16(const char* name, int32 index, uint16* value) const;
    status_t FindInt32(const char* name, int32* value) const;
    status_t FindInt32(const char* name, int32 index, int32* value) const;
    status_t FindUInt32(const char* name, uint32* value) const;
    status_t FindUInt32(const char* name, int32 index, uint32* value) const;
    status_t FindInt64(const char* name, int64* value) const;
    status_t FindInt64(const char* name, int32 index, int64* value) const;
    status_t FindUInt64(const char* name, uint64* value) const;
    status_t FindUInt64(const char* name, int32 index, uint64* value) const;
    status_t FindFloat(const char* name, float* value) const;
    status_t FindFloat(const char* name, int32 index, float* value) const;
    status_t FindDouble(const char* name, double* value) const;
    status_t FindDouble(const char* name, int32 index, double* value) const;
    status_t FindString(const char* name, const char** string) const;
    status_t FindString(const char* name, int32 index, const char** string) const;
    status_t FindString(const char* name, std::string* string) const;
    status_t FindString(const char* name, int32 index, std::string* string) const;
    status_t FindPoint(const char* name, BPoint* point) const;
    status_t FindPoint(const char* name, int32 index, BPoint* point) const;
    status_t FindRect(const char* name, BRect* rect) const;
    status_t FindRect(const char* name, int32 index, BRect* rect) const;
    // B_BAD_DATA for a pointer of another width (one read from a file of another platform).
    status_t FindPointer(const char* name, void** pointer) const;
    status_t FindPointer(const char* name, int32 index, void** pointer) const;
    // B_BAD_DATA if the stored bytes are not a message.
    status_t FindMessage(const char* name, BMessage* message) const;
    status_t FindMessage(const char* name, int32 index, BMessage* message) const;

    bool HasData(const char* name, type_code type, int32 index = 0) const;
    bool HasBool(const char* name, int32 index = 0) const;
    bool HasInt8(const char* name, int32 index = 0) const;
    bool HasUInt8(const char* name, int32 index = 0) const;
    bool HasInt16(const char* name, int32 index = 0) const;
    bool HasUInt16(const char* name, int32 index = 0) const;
    bool HasInt32(const char* name, int32 index = 0) const;
    bool HasUInt32(const char* name, int32 index = 0) const;
    bool HasInt64(const char* name, int32 index = 0) const;
    bool HasUInt64(const char* name, int32 index = 0) const;
    bool HasFloat(const char* name, int32 index = 0) const;
    bool HasDouble(const char* name, int32 index = 0) const;
    bool HasString(const char* name, int32 index = 0) const;
    bool HasPoint(const char* name, int32 index = 0) const;
    bool HasRect(const char* name, int32 index = 0) const;
    bool HasPointer(const char* name, int32 index = 0) const;
    bool HasMessage(const char* name, int32 index = 0) const;

    // Replace an existing item; the same failures as Find, and those of Add for the new value.
    // The type must match exactly.
    status_t ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes);
    status_t ReplaceData(const char* name, type_code type, int32 index, const void* data,
        ssize_t numBytes);
    status_t ReplaceBool(const char* name, bool value);
    status_t ReplaceBool(const char* name, int32 index, bool value);
    status_t ReplaceInt8(const char* name, int8 value);
    status_t ReplaceInt8(const char* name, int32 index, int8 value);
    status_t ReplaceUInt8(const char* name, uint8 value);
    status_t ReplaceUInt8(const char* name, int32 index, uint8 value);
    status_t ReplaceInt16(const char* name, int16 value);
    status_t ReplaceInt16(const char* name, int32 index, int16 value);
    status_t ReplaceUInt16(const char* name, uint16 value);
    status_t ReplaceUInt16(const char* name, int32 index, uint16 value);
    status_t ReplaceInt32(const char* name, int32 value);
    status_t ReplaceInt32(const char* name, int32 index, int32 value);
    status_t ReplaceUInt32(const char* name, uint32 value);
    status_t ReplaceUInt32(const char* name, int32 index, uint32 value);
    status_t ReplaceInt64(const char* name, int64 value);
    status_t ReplaceInt64(const char* name, int32 index, int64 value);
    status_t ReplaceUInt64(const char* name, uint64 value);
    status_t ReplaceUInt64(const char* name, int32 index, uint64 value);
    status_t ReplaceFloat(const char* name, float value);
    status_t ReplaceFloat(const char* name, int32 index, float value);
    status_t ReplaceDouble(const char* name, double value);
    status_t ReplaceDouble(const char* name, int32 index, double value);
    status_t ReplaceString(const char* name, const char* string);
    status_t ReplaceString(const char* name, int32 index, const char* string);
    status_t ReplacePoint(const char* name, BPoint point);
    status_t ReplacePoint(const char* name, int32 index, BPoint point);
    status_t ReplaceRect(const char* name, BRect rect);
    status_t ReplaceRect(const char* name, int32 index, BRect rect);
    status_t ReplacePointer(const char* name, const void* pointer);
    status_t ReplacePointer(const char* name, int32 index, const void* pointer);
    status_t ReplaceMessage(const char* name, const BMessage* message);
    status_t ReplaceMessage(const char* name, int32 index, const BMessage* message);

    // Removing the last item of a field removes the field.
    status_t RemoveData(const char* name, int32 index = 0);
    status_t RemoveName(const char* name);
    status_t MakeEmpty();
    bool IsEmpty() const;

    // Fields of `type` (B_ANY_TYPE: all fields).
    int32 CountNames(type_code type) const;
    // The index-th field of `type` in field order. B_BAD_TYPE: no field has that type;
    // B_BAD_INDEX: fewer fields have it. `nameFound` points into the message and must not be
    // written through. Any output may be null.
    status_t GetInfo(type_code type, int32 index, char** nameFound, type_code* typeFound,
        int32* countFound = nullptr) const;
    status_t GetInfo(const char* name, type_code* typeFound, int32* countFound = nullptr) const;
    status_t GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const;

    // Flattening in the byte layout stored files use, little-endian.
    ssize_t FlattenedSize() const;
    // B_BAD_VALUE if the buffer is smaller than FlattenedSize().
    status_t Flatten(char* buffer, ssize_t size) const;
    // Writes the flattened message; `size`, if given, receives the bytes written.
    status_t Flatten(BDataIO* stream, ssize_t* size = nullptr) const;
    // Reads one flattened message, in either byte order, from the first `size` bytes of
    // `buffer` (bytes after its own total size are ignored), or from `stream`, which is left
    // just after the message. Malformed data gives B_NOT_A_MESSAGE or B_BAD_DATA; on any
    // failure this message is left as it was.
    status_t Unflatten(const char* buffer, size_t size);
    status_t Unflatten(BDataIO* stream);

    // A message delivered by a drag and drop: where it was dropped, in screen coordinates, and
    // (through offset, if given) that point's distance from the top-left of the rectangle that
    // was dragged. The drop marks travel with copies but not with the flattened form.
    bool WasDropped() const;
    BPoint DropPoint(BPoint* offset = nullptr) const;

    uint32 what = 0;

private:
    friend struct kits::app::MessageAccess;
    friend void kits::app::MarkDropped(BMessage&, BPoint, BPoint);

    // Fields in the order first added.
    std::vector<kits::app::MessageField> fields;
    // Where the last look-up ended, so that walking the fields in order costs one step per
    // field: the field's position in the low 32 bits and, in the high 32 bits, how many fields
    // of its type come before it, or all ones when unknown. A hint only, checked before use
    // and reset whenever fields move; atomic so that reading a shared message stays safe.
    mutable std::atomic<uint64> lookupHint;
    // Header flag bits and routing blocks read from a flattened message, kept so that it
    // flattens to the same bytes again; null when there was nothing beyond the usual flags.
    std::unique_ptr<kits::app::MessageHeader> header;
    bool wasDropped = false;
    BPoint dropPoint;
    BPoint dropOffset;
};
