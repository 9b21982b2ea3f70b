#include "kits/app/Flattening.h"

#include "kits/app/Message.h"
#include "kits/storage/MallocIO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

// The largest single allocation made by this thread while tracking is on, to show that a
// claimed size or count never turns into an allocation of its own.
namespace {
thread_local bool trackAllocations = false;
thread_local size_t largestAllocation = 0;
}

// Not inlined, so the compiler sees matching new and delete calls, not malloc against delete.
[[gnu::noinline]] void* operator new(size_t size)
{
    if (trackAllocations)
        largestAllocation = std::max(largestAllocation, size);
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr)
        std::abort();
    return memory;
}

[[gnu::noinline]] void operator delete(void* memory) noexcept
{
    std::free(memory);
}

[[gnu::noinline]] void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}

namespace {

using kits::app::ByteOrder;
using Bytes = std::vector<uint8>;

class AllocationTracker {
public:
    AllocationTracker()
    {
        largestAllocation = 0;
        trackAllocations = true;
    }
    ~AllocationTracker() { trackAllocations = false; }
    size_t Largest() const { return largestAllocation; }
};

Bytes ReadFile(const std::string& name)
{
    const char* root = std::getenv("OVELIN_TEST_DATA");
    std::string path = std::string(root != nullptr ? root : "tests/data") + "/kits/app/" + name;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* const GOLDEN_FILES[] = {"settings.msg", "presets.msg", "nested.msg", "routing.msg",
    "bigendian.msg", "fixed-nested.msg"};

Bytes Flatten(const BMessage& message, ByteOrder order = ByteOrder::LittleEndian)
{
    Bytes flat;
    EXPECT_EQ(kits::app::FlattenMessage(message, order, flat), B_OK);
    return flat;
}

status_t Unflatten(const Bytes& bytes, BMessage& message, ByteOrder* order = nullptr)
{
    return kits::app::UnflattenMessage(bytes.data(), bytes.size(), message, order);
}

// Builds message bytes by the layout, for inputs the encoder would never write.
class Builder {
public:
    Builder& U8(uint8 value)
    {
        bytes.push_back(value);
        return *this;
    }
    Builder& U32(uint32 value)
    {
        for (int i = 0; i < 4; i++)
            bytes.push_back(uint8(value >> (8 * i)));
        return *this;
    }
    // A four-character code, little-endian: its characters backwards.
    Builder& Code(const char (&code)[5]) { return U32(FourCC(code)); }
    Builder& Text(const std::string& text)
    {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Builder& Raw(const Bytes& more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    // Wraps the bytes so far as the fields of a message, adding header and end mark.
    Bytes Message(uint32 what = 0) const
    {
        Builder message;
        uint32 total = uint32(17 + bytes.size() + 1);
        message.Code("FOB1").U32(0).U32(total).U32(what).U8(0x01).Raw(bytes).U8(0);
        return message.bytes;
    }

    Bytes bytes;
};

BMessage NodeManagerArchive()
{
    BMessage nodeManager(FourCC("NdMg"));
    EXPECT_EQ(nodeManager.AddBool("_HalfHeight", false), B_OK);
    EXPECT_EQ(nodeManager.AddInt32("_SignalFormat", 1), B_OK);
    return nodeManager;
}

TEST(FlatteningTest, MessagesFlattenToGoldenBytesIntoBuffersAndStreams)
{
    BMessage settings(FourCC("CNLS"));
    ASSERT_EQ(settings.AddBool("chkDblRefresh", true), B_OK);
    ASSERT_EQ(settings.AddInt32("rdoResolution", 2), B_OK);
    ASSERT_EQ(settings.AddPoint("window_pos", BPoint(100, 50)), B_OK);
    BMessage presets(FourCC("CNLS"));
    ASSERT_EQ(presets.AddInt32("Channel", 4), B_OK);
    ASSERT_EQ(presets.AddString("Name", "ZDF"), B_OK);
    ASSERT_EQ(presets.AddInt32("Channel", 7), B_OK);
    ASSERT_EQ(presets.AddString("Name", "Arte"), B_OK);
    ASSERT_EQ(presets.AddString("VALUE", "ab"), B_OK);
    ASSERT_EQ(presets.AddString("VALUE", "hello"), B_OK);
    ASSERT_EQ(presets.AddInt32("COUNT", 5), B_OK);
    BMessage archive;
    BMessage nodeManager = NodeManagerArchive();
    ASSERT_EQ(archive.AddString("class", "TVView"), B_OK);
    ASSERT_EQ(archive.AddMessage("NodeManager", &nodeManager), B_OK);

    for (auto [message, name] : {std::pair{&settings, "settings.msg"},
             std::pair{&presets, "presets.msg"}, std::pair{&archive, "nested.msg"}}) {
        SCOPED_TRACE(name);
        Bytes golden = ReadFile(name);
        EXPECT_EQ(message->FlattenedSize(), ssize_t(golden.size()));
        Bytes flat(golden.size());
        auto* buffer = reinterpret_cast<char*>(flat.data());
        ASSERT_EQ(message->Flatten(buffer, ssize_t(flat.size())), B_OK);
        EXPECT_EQ(flat, golden);
        EXPECT_EQ(message->Flatten(buffer, ssize_t(flat.size()) - 1), B_BAD_VALUE);
        BMallocIO stream;
        ssize_t written = 0;
        ASSERT_EQ(message->Flatten(&stream, &written), B_OK);
        EXPECT_EQ(written, ssize_t(golden.size()));
        const auto* streamed = static_cast<const uint8*>(stream.Buffer());
        EXPECT_EQ(Bytes(streamed, streamed + stream.BufferLength()), golden);
    }
}

// What each file holds, numbers swapped from the other order and unknown types included, is
// compared item by item with a listing in MessageDumpTest.
TEST(FlatteningTest, GoldenFilesReadAndCopiesWriteBackInTheirOwnOrder)
{
    for (const char* name : GOLDEN_FILES) {
        SCOPED_TRACE(name);
        Bytes golden = ReadFile(name);
        BMessage read;
        ByteOrder order = ByteOrder::LittleEndian;
        ASSERT_EQ(Unflatten(golden, read, &order), B_OK);
        EXPECT_EQ(order == ByteOrder::BigEndian, std::string(name) == "bigendian.msg");
        // Its nested messages differ in size, so they are written in another form.
        if (std::string(name) != "fixed-nested.msg") {
            EXPECT_EQ(Flatten(BMessage(read), order), golden);
        }
    }
}

TEST(FlatteningTest, EveryTypeSurvivesARoundTripInBothByteOrders)
{
    BMessage message(FourCC("ALL!"));
    const uint8 colour[] = {10, 20, 30, 255};
    const uint8 raw[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    EXPECT_EQ(message.AddBool("bool", true), B_OK);
    EXPECT_EQ(message.AddBool("bool", false), B_OK);
    EXPECT_EQ(message.AddInt8("int8", -100), B_OK);
    EXPECT_EQ(message.AddUInt8("uint8", 250), B_OK);
    EXPECT_EQ(message.AddInt16("int16", -12345), B_OK);
    EXPECT_EQ(message.AddUInt16("uint16", 54321), B_OK);
    EXPECT_EQ(message.AddInt32("int32", -123456789), B_OK);
    EXPECT_EQ(message.AddUInt32("uint32", 0xDEADBEEF), B_OK);
    EXPECT_EQ(message.AddInt64("int64", -1234567890123LL), B_OK);
    EXPECT_EQ(message.AddUInt64("uint64", 0x0102030405060708ULL), B_OK);
    EXPECT_EQ(message.AddFloat("float", -0.125f), B_OK);
    EXPECT_EQ(message.AddDouble("double", 1e300), B_OK);
    EXPECT_EQ(message.AddString("string", ""), B_OK);
    EXPECT_EQ(message.AddString("string", "eight ch"), B_OK);
    EXPECT_EQ(message.AddPoint("point", BPoint(-1.5f, 2.5f)), B_OK);
    EXPECT_EQ(message.AddRect("rect", BRect(1, 2, 3, 4)), B_OK);
    EXPECT_EQ(message.AddData("colour", B_RGB_COLOR_TYPE, colour, 4), B_OK);
    EXPECT_EQ(message.AddPointer("pointer", &message), B_OK);
    EXPECT_EQ(message.AddData("raw fixed", B_RAW_TYPE, raw, 2), B_OK);
    EXPECT_EQ(message.AddData("raw fixed", B_RAW_TYPE, raw + 2, 2), B_OK);
    EXPECT_EQ(message.AddData("raw", B_RAW_TYPE, raw, 5, false), B_OK);
    EXPECT_EQ(message.AddData("raw", B_RAW_TYPE, raw, 0, false), B_OK);
    EXPECT_EQ(message.AddData("int32 variable", B_INT32_TYPE, raw, 4, false), B_OK);
    BMessage nested = NodeManagerArchive();
    EXPECT_EQ(message.AddMessage("message", &nested), B_OK);

    // Equal bytes in this machine's order mean equal items, so every value came back.
    Bytes little = Flatten(message);
    EXPECT_EQ(little.size(), size_t(message.FlattenedSize()));
    Bytes big = Flatten(message, ByteOrder::BigEndian);
    ASSERT_EQ(big.size(), little.size());
    EXPECT_NE(big, little);

    for (const Bytes* flat : {&little, &big}) {
        BMessage read;
        ASSERT_EQ(Unflatten(*flat, read), B_OK);
        EXPECT_EQ(Flatten(read), little);
    }
}

TEST(FlatteningTest, FixedSizeFieldOfNestedMessagesIsWrittenAsReadersAcceptIt)
{
    // Two nested messages of 33 bytes each, the second with long size fields: read back, they
    // flatten to 33 and 30 bytes, which no fixed-size field can hold.
    Bytes stored = ReadFile("fixed-nested.msg");
    BMessage message;
    ASSERT_EQ(Unflatten(stored, message), B_OK);
    for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
        Bytes flat = Flatten(message, order);
        EXPECT_EQ(flat.size(), size_t(message.FlattenedSize()));
        BMessage again;
        ASSERT_EQ(Unflatten(flat, again), B_OK);
        EXPECT_EQ(Flatten(again), Flatten(message));
    }
    // Nested messages of one size keep the fixed-size form stored files have.
    ASSERT_EQ(message.RemoveData("m", 1), B_OK);
    EXPECT_EQ(Flatten(message)[17], 0x0F);
}

TEST(FlatteningTest, LargeFieldsUseFullSizesAndCounts)
{
    // 300 items: neither count nor data size fits the one-byte form.
    BMessage message;
    for (int32 i = 0; i < 300; i++)
        ASSERT_EQ(message.AddInt16("v", int16(i)), B_OK);

    Builder fields;
    fields.U8(0x05).Code("SHRT").U32(300).U32(600).U8(1).Text("v");
    for (int32 i = 0; i < 300; i++)
        fields.U8(uint8(i)).U8(uint8(i >> 8));
    Bytes expected = fields.Message();
    // Checksum: total size 17 + 615 + 1 = 633 = 0x279, bytes 79 02 00 00, command 0, flags 1.
    uint32 checksum = 0x79020000 + 1;
    std::memcpy(expected.data() + 4, &checksum, 4);
    EXPECT_EQ(Flatten(message), expected);

    BMessage read;
    ASSERT_EQ(Unflatten(expected, read), B_OK);
    int16 last = 0;
    ASSERT_EQ(read.FindInt16("v", 299, &last), B_OK);
    EXPECT_EQ(last, 299);
}

void ExpectRejected(const Bytes& bytes, const char* what)
{
    BMessage message(FourCC("keep"));
    ASSERT_EQ(message.AddInt32("kept", 1), B_OK);
    EXPECT_NE(Unflatten(bytes, message), B_OK) << what;
    EXPECT_EQ(message.what, FourCC("keep")) << what;
    EXPECT_TRUE(message.HasInt32("kept")) << what;
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), 1) << what;
}

// A stream that hands out one byte per read, as a pipe might.
class TricklingStream : public BDataIO {
public:
    explicit TricklingStream(Bytes bytes) : bytes(std::move(bytes)) {}
    ssize_t Read(void* buffer, size_t size) override
    {
        if (position == bytes.size() || size == 0)
            return 0;
        *static_cast<uint8*>(buffer) = bytes[position++];
        return 1;
    }
    ssize_t Write(const void*, size_t) override { return B_NOT_ALLOWED; }

    Bytes bytes;
    size_t position = 0;
};

TEST(FlatteningTest, EveryPrefixOfAMessageIsRejectedFromMemoryAndFromAStream)
{
    for (const char* name : GOLDEN_FILES) {
        Bytes golden = ReadFile(name);
        for (size_t length = 0; length < golden.size(); length++) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(length));
            Bytes prefix(golden.begin(), golden.begin() + ptrdiff_t(length));
            ExpectRejected(prefix, name);
            TricklingStream stream(prefix);
            BMessage message(FourCC("keep"));
            BMessage fromMemory;
            EXPECT_EQ(message.Unflatten(&stream),
                kits::app::UnflattenMessage(golden.data(), length, fromMemory));
            EXPECT_EQ(message.what, FourCC("keep"));
        }
    }
    // Whole, a message that arrives one byte at a time reads as it does from memory.
    Bytes golden = ReadFile("nested.msg");
    TricklingStream stream(golden);
    BMessage message;
    ASSERT_EQ(message.Unflatten(&stream), B_OK);
    EXPECT_EQ(Flatten(message), golden);
}

// Accepted damage must still be a message that flattens and reads back to itself.
void ExpectRejectedOrSelfConsistent(const Bytes& bytes)
{
    BMessage message;
    ByteOrder order = ByteOrder::LittleEndian;
    if (Unflatten(bytes, message, &order) != B_OK)
        return;
    Bytes again = Flatten(message, order);
    BMessage reread;
    ASSERT_EQ(Unflatten(again, reread), B_OK);
    EXPECT_EQ(Flatten(reread, order), again);
}

TEST(FlatteningTest, EverySingleByteChangeIsRejectedOrSelfConsistent)
{
    // Bytes no change of which can be told from damage: tag, total size, field flags, name
    // lengths, data sizes and end mark of one file; two counts and an item size of another.
    const std::map<std::string, std::set<size_t>> structural = {
        {"settings.msg", {0, 1, 2, 3, 8, 9, 10, 11, 17, 38, 62, 23, 44, 68, 22, 43, 67, 87}},
        {"presets.msg", {22, 45, 52}}};
    for (const char* name : GOLDEN_FILES) {
        Bytes golden = ReadFile(name);
        auto found = structural.find(name);
        for (size_t at = 0; at < golden.size(); at++) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(at));
            bool mustReject = found != structural.end() && found->second.count(at) != 0;
            Bytes damaged = golden;
            for (int value = 0; value < 256; value++) {
                if (value == golden[at])
                    continue;
                damaged[at] = uint8(value);
                if (mustReject)
                    ExpectRejected(damaged, "structural byte");
                else
                    ExpectRejectedOrSelfConsistent(damaged);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(FlatteningTest, ChangedTypeCodeOfAFixedTypeIsRejectedUnlessTheCodeIsUnknown)
{
    // Unknown codes are kept as raw data, so only a change to another known code can be told
    // apart from a message that really holds such a field.
    Bytes settings = ReadFile("settings.msg");
    const type_code known[] = {B_BOOL_TYPE, B_INT8_TYPE, B_UINT8_TYPE, B_INT16_TYPE,
        B_UINT16_TYPE, B_INT32_TYPE, B_UINT32_TYPE, B_INT64_TYPE, B_UINT64_TYPE, B_FLOAT_TYPE,
        B_DOUBLE_TYPE, B_POINT_TYPE, B_RECT_TYPE, B_RGB_COLOR_TYPE, B_POINTER_TYPE,
        B_STRING_TYPE, B_MESSAGE_TYPE};
    int knownChanges = 0;
    for (size_t start : {18, 39, 63}) {
        for (size_t at = start; at < start + 4; at++) {
            Bytes damaged = settings;
            for (int value = 0; value < 256; value++) {
                if (value == settings[at])
                    continue;
                damaged[at] = uint8(value);
                type_code code = 0;
                std::memcpy(&code, damaged.data() + start, 4);
                if (std::find(std::begin(known), std::end(known), code) != std::end(known)) {
                    knownChanges++;
                    ExpectRejected(damaged, "known type code");
                    continue;
                }
                BMessage message;
                ASSERT_EQ(Unflatten(damaged, message), B_OK);
                EXPECT_EQ(message.CountNames(code), 1);
                EXPECT_EQ(Flatten(message), damaged);
            }
        }
    }
    // Some neighbours are known: 'LONG' and 'LLNG' differ in one byte.
    EXPECT_GT(knownChanges, 0);
}

// A message of one field with one-byte counts and sizes, given as they stand after the type.
Bytes ShortField(uint8 flags, const char (&code)[5], const Bytes& sizes, const std::string& name,
    const Bytes& data)
{
    Builder field;
    field.U8(flags).Code(code).Raw(sizes).U8(uint8(name.size())).Text(name).Raw(data);
    return field.Message();
}

TEST(FlatteningTest, MalformedMessagesAreRejected)
{
    // The same fields are accepted when well formed.
    const Bytes accepted[] = {ShortField(0x0F, "LONG", {4}, "n", {1, 0, 0, 0}),
        ShortField(0x0F, "PNTR", {4}, "p", {1, 0, 0, 0}),
        ShortField(0x0F, "PNTR", {8}, "p", Bytes(8)),
        ShortField(0x03, "CSTR", {1, 8}, "s", {2, 0, 0, 0, 'a', 0, 0, 0}),
        ShortField(0x07, "LONG", {2, 8}, "n", Bytes(8))};
    for (const Bytes& bytes : accepted) {
        BMessage message;
        EXPECT_EQ(Unflatten(bytes, message), B_OK);
    }

    // A changed tag or total size is ChangedStructuralBytesAreRejected's case.
    Bytes settings = ReadFile("settings.msg");
    Bytes damaged = settings;
    std::memcpy(damaged.data() + 45, "chkDblRefresh", 13);
    ExpectRejected(damaged, "duplicate name");
    damaged = settings;
    damaged.pop_back();
    damaged[8] = 87;
    ExpectRejected(damaged, "no end mark");
    damaged = settings;
    damaged.push_back(0);
    damaged[8] = 89;
    ExpectRejected(damaged, "bytes between the end mark and the total size");

    const std::pair<Bytes, const char*> rejected[] = {
        {ShortField(0x0F, "BOOL", {2}, "b", {1, 0}), "bool of two bytes"},
        {ShortField(0x0F, "RECT", {8}, "r", Bytes(8)), "rect of eight bytes"},
        {ShortField(0x0F, "PNTR", {6}, "p", Bytes(6)), "pointer of six bytes"},
        {ShortField(0x0F, "RAWT", {0}, "r", {}), "zero-size item in a fixed field"},
        {ShortField(0x0F, "LONG", {4}, "", Bytes(4)), "empty name"},
        {ShortField(0x0F, "LONG", {4}, std::string("a\0b", 3), Bytes(4)), "zero in a name"},
        {ShortField(0x0E, "LONG", {4}, "n", Bytes(4)), "field flags without valid"},
        {ShortField(0x1F, "LONG", {4}, "n", Bytes(4)), "unknown field flag"},
        {ShortField(0x8F, "LONG", {4}, "n", Bytes(4)), "unknown high field flag"},
        {ShortField(0x03, "CSTR", {1, 8}, "s", {2, 0, 0, 0, 'a', 'b', 0, 0}),
            "string without its zero"},
        {ShortField(0x03, "CSTR", {1, 8}, "s", Bytes(8)), "empty string item"},
        {ShortField(0x03, "CSTR", {1, 8}, "s", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}),
            "negative item size"},
        {ShortField(0x03, "CSTR", {1, 8}, "s", {5, 0, 0, 0, 'a', 'b', 'c', 0}),
            "item past the field"},
        {ShortField(0x03, "CSTR", {1, 6}, "s", {2, 0, 0, 0, 'a', 0}), "padding past the field"},
        {ShortField(0x03, "CSTR", {0, 0}, "s", {}), "count of 0"},
        {ShortField(0x03, "CSTR", {2, 8}, "s", {2, 0, 0, 0, 'a', 0, 0, 0}),
            "fewer items than counted"},
        {ShortField(0x03, "CSTR", {1, 16}, "s", {2, 0, 0, 0, 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
            "data after the last item"},
        {ShortField(0x07, "LONG", {3, 8}, "n", Bytes(8)), "size not divisible by the count"},
        {ShortField(0x07, "LONG", {1, 8}, "n", Bytes(8)), "wrong item size for the type"},
        {ShortField(0x07, "LONG", {0, 8}, "n", Bytes(8)), "fixed count of 0"}};
    for (const auto& [bytes, what] : rejected)
        ExpectRejected(bytes, what);
}

TEST(FlatteningTest, DuplicateNameAmongManyFieldsIsRejected)
{
    // The duplicate check must not cost time quadratic in the number of fields.
    Builder fields;
    for (int i = 0; i < 20000; i++) {
        std::string name = std::to_string(i);
        fields.U8(0x0F).Code("UBYT").U8(1).U8(uint8(name.size())).Text(name).U8(uint8(i));
    }
    BMessage message;
    ASSERT_EQ(Unflatten(fields.Message(), message), B_OK);
    EXPECT_EQ(message.CountNames(B_UINT8_TYPE), 20000);
    fields.U8(0x0F).Code("UBYT").U8(1).U8(5).Text("12345").U8(0);
    ExpectRejected(fields.Message(), "duplicate of an early name");
}

// Wraps flattened message bytes as the only field of another message.
Bytes Wrap(const Bytes& inner)
{
    size_t dataSize = (4 + inner.size() + 7) / 8 * 8;
    Builder field;
    field.U8(0x09).Code("MSGG").U32(uint32(dataSize)).U8(1).Text("m");
    field.U32(uint32(inner.size())).Raw(inner).Raw(Bytes(dataSize - 4 - inner.size()));
    return field.Message();
}

TEST(FlatteningTest, NestedMessageMustFillItsItemAndStayWithinTheNestingLimit)
{
    Bytes inner = Builder().Message(FourCC("in  "));
    BMessage message;
    ASSERT_EQ(Unflatten(Wrap(inner), message), B_OK);
    Bytes longer = inner;
    longer.push_back(0);
    ExpectRejected(Wrap(longer), "item longer than its message");
    Bytes damaged = inner;
    damaged[0] = 'X';
    ExpectRejected(Wrap(damaged), "item that is no message");

    Bytes chain = Builder().Message();
    for (int level = 1; level <= kits::app::MAX_MESSAGE_NESTING; level++)
        chain = Wrap(chain);
    ASSERT_EQ(Unflatten(chain, message), B_OK);
    ExpectRejected(Wrap(chain), "nesting 65 deep");
}

TEST(FlatteningTest, HugeCountsAndSizesAreRejectedWithoutLargeAllocations)
{
    auto field = [](uint32 count, uint32 size, uint8 flags) {
        Builder field;
        field.U8(flags).Code("LONG").U32(count).U32(size).U8(1).Text("n").Raw(Bytes(8));
        return field.Message();
    };
    Bytes huge = ReadFile("settings.msg");
    huge[8] = 0xF0;
    huge[11] = 0x7F;
    AllocationTracker tracker;
    for (uint8 flags : {0x01, 0x05}) {
        ExpectRejected(field(0x7FFFFFFF, 8, flags), "huge count");
        ExpectRejected(field(0xFFFFFFFF, 8, flags), "negative count");
        ExpectRejected(field(2, 0x7FFFFFF8, flags), "huge data size");
        ExpectRejected(field(2, 0xFFFFFFF8, flags), "negative data size");
    }
    ExpectRejected(huge, "huge total size");
    EXPECT_LT(tracker.Largest(), size_t(4096));

    // A stream claiming the same grows only with the data that comes.
    huge.resize(100000, 0xAB);
    TricklingStream stream(huge);
    BMessage message;
    EXPECT_NE(message.Unflatten(&stream), B_OK);
    EXPECT_EQ(stream.position, huge.size());
    EXPECT_LT(tracker.Largest(), size_t(4 * huge.size()));
}

TEST(FlatteningTest, ReaderStopsJustAfterTheEndMark)
{
    Bytes first = ReadFile("settings.msg");
    Bytes second = ReadFile("bigendian.msg");
    BMallocIO stream;
    ASSERT_EQ(stream.WriteExactly(first.data(), first.size()), B_OK);
    ASSERT_EQ(stream.WriteExactly(second.data(), second.size()), B_OK);
    ASSERT_EQ(stream.WriteExactly("tail", 4), B_OK);
    ASSERT_EQ(stream.Seek(0, SEEK_SET), 0);
    BMessage fromMemory;
    size_t used = 0;
    const auto* bytes = static_cast<const uint8*>(stream.Buffer());
    ASSERT_EQ(kits::app::UnflattenMessage(bytes, stream.BufferLength(), fromMemory, nullptr,
                  &used), B_OK);
    EXPECT_EQ(used, first.size());
    EXPECT_EQ(Flatten(fromMemory), first);

    BMessage message;
    ASSERT_EQ(message.Unflatten(&stream), B_OK);
    EXPECT_EQ(stream.Position(), off_t(first.size()));
    EXPECT_TRUE(message.HasPoint("window_pos"));
    ASSERT_EQ(message.Unflatten(&stream), B_OK);
    EXPECT_EQ(stream.Position(), off_t(first.size() + second.size()));
    EXPECT_TRUE(message.HasMessage("NodeManager"));
    char tail[4] = {};
    ASSERT_EQ(stream.ReadExactly(tail, 4), B_OK);
    EXPECT_EQ(std::memcmp(tail, "tail", 4), 0);

    EXPECT_NE(message.Unflatten(&stream), B_OK);
    EXPECT_TRUE(message.HasMessage("NodeManager"));
}

TEST(FlatteningTest, PointerOfAnotherWidthIsKeptButNotFound)
{
    Bytes bytes = ShortField(0x0F, "PNTR", {4}, "p", {0x34, 0x12, 0, 0});
    BMessage message;
    ASSERT_EQ(Unflatten(bytes, message), B_OK);
    void* pointer = &message;
    EXPECT_EQ(message.FindPointer("p", &pointer), B_BAD_DATA);
    EXPECT_EQ(pointer, &message);
    Bytes again = Flatten(message);
    EXPECT_EQ(Bytes(again.begin() + 8, again.end()), Bytes(bytes.begin() + 8, bytes.end()));
}

}
