#include "kits/app/Message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(MessageTest, FieldsKeepTheirOrderTypesAndStoredBytes)
{
    BMessage message(FourCC("CNLS"));
    const uint8 raw[] = {1, 2, 3};
    ASSERT_EQ(message.AddInt32("Channel", 4), B_OK);
    ASSERT_EQ(message.AddString("Name", "ZDF"), B_OK);
    ASSERT_EQ(message.AddInt32("Channel", 7), B_OK);
    ASSERT_EQ(message.AddData("raw", B_RAW_TYPE, raw, sizeof(raw), false), B_OK);
    ASSERT_EQ(message.AddData("raw", B_RAW_TYPE, raw, 1, false), B_OK);
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), 3);
    EXPECT_EQ(message.CountNames(B_INT32_TYPE), 1);
    EXPECT_EQ(message.CountNames(B_RECT_TYPE), 0);

    struct Field {
        const char* name;
        type_code type;
        int32 count;
        bool fixedSize;
    };
    const Field fields[] = {{"Channel", B_INT32_TYPE, 2, true}, {"Name", B_STRING_TYPE, 1, false},
        {"raw", B_RAW_TYPE, 2, false}};
    for (int32 i = 0; i < 3; i++) {
        char* name = nullptr;
        type_code type = 0;
        int32 count = 0;
        bool fixedSize = !fields[i].fixedSize;
        ASSERT_EQ(message.GetInfo(B_ANY_TYPE, i, &name, &type, &count), B_OK);
        EXPECT_STREQ(name, fields[i].name);
        EXPECT_EQ(type, fields[i].type);
        EXPECT_EQ(count, fields[i].count);
        ASSERT_EQ(message.GetInfo(name, &type, &fixedSize), B_OK);
        EXPECT_EQ(fixedSize, fields[i].fixedSize) << name;
    }

    int32 value = 0;
    ASSERT_EQ(message.FindInt32("Channel", 1, &value), B_OK);
    EXPECT_EQ(value, 7);
    const void* data = nullptr;
    ssize_t size = 0;
    ASSERT_EQ(message.FindData("raw", B_RAW_TYPE, 0, &data, &size), B_OK);
    ASSERT_EQ(size, 3);
    EXPECT_EQ(std::memcmp(data, raw, 3), 0);
    ASSERT_EQ(message.FindData("raw", B_ANY_TYPE, 1, &data, &size), B_OK);
    EXPECT_EQ(size, 1);
    ASSERT_EQ(message.FindData("Name", B_STRING_TYPE, &data, &size), B_OK);
    EXPECT_EQ(size, 4);
    EXPECT_STREQ(static_cast<const char*>(data), "ZDF");
    EXPECT_TRUE(message.HasString("Name"));
    EXPECT_FALSE(message.HasString("Name", 1));
    EXPECT_FALSE(message.HasInt32("Name"));
    EXPECT_TRUE(message.HasData("raw", B_ANY_TYPE, 1));
}

TEST(MessageTest, FailedFindLeavesOutputAlone)
{
    BMessage message;
    ASSERT_EQ(message.AddInt32("number", 5), B_OK);
    ASSERT_EQ(message.AddInt32("number", 6), B_OK);
    ASSERT_EQ(message.AddString("text", "abc"), B_OK);
    struct Case {
        const char* name;
        int32 index;
        status_t status;
    };
    for (auto [name, index, status] : {Case{"absent", 0, B_NAME_NOT_FOUND},
             Case{nullptr, 0, B_NAME_NOT_FOUND}, Case{"text", 0, B_BAD_TYPE},
             Case{"number", 2, B_BAD_INDEX}, Case{"number", -1, B_BAD_INDEX}}) {
        SCOPED_TRACE(name != nullptr ? name : "null");
        int32 value = 42;
        EXPECT_EQ(message.FindInt32(name, index, &value), status);
        EXPECT_EQ(value, 42);
        const void* data = &value;
        ssize_t size = 123;
        EXPECT_EQ(message.FindData(name, B_INT32_TYPE, index, &data, &size), status);
        EXPECT_EQ(data, &value);
        EXPECT_EQ(size, 123);
    }
    // The Finds that do not share FindInt32's path check the type and keep the output too.
    std::string string = "before";
    EXPECT_EQ(message.FindString("number", &string), B_BAD_TYPE);
    EXPECT_EQ(string, "before");
    const char* chars = "untouched";
    EXPECT_EQ(message.FindString("absent", &chars), B_NAME_NOT_FOUND);
    EXPECT_STREQ(chars, "untouched");
    bool flag = true;
    EXPECT_EQ(message.FindBool("text", &flag), B_BAD_TYPE);
    EXPECT_TRUE(flag);
    BMessage nested(FourCC("keep"));
    EXPECT_EQ(message.FindMessage("absent", &nested), B_NAME_NOT_FOUND);
    EXPECT_EQ(nested.what, FourCC("keep"));
}

TEST(MessageTest, AddRefusesWhatCouldNotBeFlattenedOrReadBack)
{
    BMessage message;
    int32 value = 0;
    EXPECT_EQ(message.AddInt32("", 1), B_BAD_VALUE);
    EXPECT_EQ(message.AddInt32(nullptr, 1), B_BAD_VALUE);
    EXPECT_EQ(message.AddInt32(std::string(256, 'n').c_str(), 1), B_BAD_VALUE);
    EXPECT_EQ(message.AddInt32(std::string(255, 'n').c_str(), 1), B_OK);
    // A known fixed type must have its own size.
    EXPECT_EQ(message.AddData("short", B_INT32_TYPE, &value, 3), B_BAD_VALUE);
    // A string must carry its terminating zero.
    EXPECT_EQ(message.AddData("text", B_STRING_TYPE, "abc", 3, false), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("empty", B_RAW_TYPE, "", 0, true), B_BAD_VALUE);
    EXPECT_EQ(message.AddData("any", B_ANY_TYPE, &value, 4), B_BAD_TYPE);
    EXPECT_EQ(message.AddData("message", B_MESSAGE_TYPE, "not a message", 14, false),
        B_BAD_VALUE);
    EXPECT_EQ(message.AddString("text", nullptr), B_BAD_VALUE);
    EXPECT_EQ(message.AddMessage("nested", nullptr), B_BAD_VALUE);
    // Items of a fixed-size field keep the field's item size.
    ASSERT_EQ(message.AddData("raw", B_RAW_TYPE, "ab", 2, true), B_OK);
    EXPECT_EQ(message.AddData("raw", B_RAW_TYPE, "abc", 3, true), B_BAD_VALUE);
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), 2);

    // Variable-size raw data may be empty.
    EXPECT_EQ(message.AddData("blob", B_RAW_TYPE, nullptr, 0, false), B_OK);

    // A name holds one type.
    EXPECT_EQ(message.AddFloat("raw", 1.0f), B_BAD_TYPE);
    EXPECT_EQ(message.AddString("raw", "x"), B_BAD_TYPE);
    int32 count = 0;
    type_code type = 0;
    ASSERT_EQ(message.GetInfo("raw", &type, &count), B_OK);
    EXPECT_EQ(type, B_RAW_TYPE);
    EXPECT_EQ(count, 1);
}

TEST(MessageTest, ReplaceAndRemoveTouchOnlyTheChosenItem)
{
    BMessage message;
    ASSERT_EQ(message.AddString("names", "one"), B_OK);
    ASSERT_EQ(message.AddString("names", "two"), B_OK);
    ASSERT_EQ(message.AddString("names", "three"), B_OK);
    ASSERT_EQ(message.AddInt32("number", 1), B_OK);

    ASSERT_EQ(message.ReplaceString("names", 1, "a much longer second name"), B_OK);
    ASSERT_EQ(message.ReplaceInt32("number", 2), B_OK);
    EXPECT_EQ(message.ReplaceInt32("missing", 1), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.ReplaceInt64("number", 1), B_BAD_TYPE);
    EXPECT_EQ(message.ReplaceInt32("number", 1, 5), B_BAD_INDEX);
    int32 number = 0;
    EXPECT_EQ(message.ReplaceData("number", B_INT32_TYPE, 0, &number, 2), B_BAD_VALUE);
    ASSERT_EQ(message.FindInt32("number", &number), B_OK);
    EXPECT_EQ(number, 2);
    std::string name;
    for (const char* expected : {"one", "a much longer second name", "three"}) {
        ASSERT_EQ(message.FindString("names", 0, &name), B_OK);
        EXPECT_EQ(name, expected);
        ASSERT_EQ(message.RemoveData("names", 0), B_OK);
    }
    // Removing the last item removes the field, and the name can come back with another type.
    EXPECT_FALSE(message.HasString("names"));
    EXPECT_EQ(message.GetInfo("names", nullptr), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.RemoveData("names"), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.RemoveData("number", 1), B_BAD_INDEX);
    ASSERT_EQ(message.AddInt32("names", 3), B_OK);
    char* first = nullptr;
    ASSERT_EQ(message.GetInfo(B_ANY_TYPE, 1, &first, nullptr), B_OK);
    EXPECT_STREQ(first, "names");

    EXPECT_EQ(message.RemoveName("number"), B_OK);
    EXPECT_EQ(message.RemoveName("number"), B_NAME_NOT_FOUND);
    EXPECT_FALSE(message.IsEmpty());
    ASSERT_EQ(message.MakeEmpty(), B_OK);
    EXPECT_TRUE(message.IsEmpty());
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), 0);
}

TEST(MessageTest, CopiesAndNestedMessagesAreIndependentOfTheirSource)
{
    BMessage original(FourCC("orig"));
    ASSERT_EQ(original.AddInt32("value", 1), B_OK);
    BMessage copy(original);
    BMessage assigned;
    assigned = original;
    BMessage outer;
    ASSERT_EQ(outer.AddMessage("nested", &original), B_OK);
    ASSERT_EQ(copy.ReplaceInt32("value", 2), B_OK);
    ASSERT_EQ(assigned.AddInt32("value", 3), B_OK);
    ASSERT_EQ(original.AddInt32("value", 4), B_OK);

    BMessage nested;
    ASSERT_EQ(outer.FindMessage("nested", &nested), B_OK);
    EXPECT_EQ(nested.what, FourCC("orig"));
    EXPECT_FALSE(nested.HasInt32("value", 1));
    int32 value = 0;
    ASSERT_EQ(original.FindInt32("value", &value), B_OK);
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(original.HasInt32("value", 2));
    EXPECT_EQ(copy.what, FourCC("orig"));
    BMessage moved(std::move(copy));
    ASSERT_EQ(moved.FindInt32("value", &value), B_OK);
    EXPECT_EQ(value, 2);

    BMessage replacement(FourCC("repl"));
    ASSERT_EQ(outer.ReplaceMessage("nested", &replacement), B_OK);
    ASSERT_EQ(outer.FindMessage("nested", &nested), B_OK);
    EXPECT_EQ(nested.what, FourCC("repl"));
    EXPECT_TRUE(nested.IsEmpty());
}

TEST(MessageTest, AddMessageRefusesNestingDeeperThanAReaderAccepts)
{
    // 64 levels below the top are allowed; a 65th would make the result unreadable.
    BMessage chain(FourCC("deep"));
    for (int level = 1; level <= 64; level++) {
        BMessage outer(FourCC("deep"));
        ASSERT_EQ(outer.AddMessage("inner", &chain), B_OK) << level;
        chain = std::move(outer);
    }
    BMessage tooDeep;
    EXPECT_EQ(tooDeep.AddMessage("inner", &chain), B_BAD_VALUE);
    EXPECT_TRUE(tooDeep.IsEmpty());

    std::vector<char> flat(size_t(chain.FlattenedSize()));
    ASSERT_EQ(chain.Flatten(flat.data(), ssize_t(flat.size())), B_OK);
    BMessage read;
    EXPECT_EQ(read.Unflatten(flat.data(), flat.size()), B_OK);
}

TEST(MessageTest, CountHintDoesNotLimitTheItems)
{
    BMessage message;
    int32 value = 1;
    ASSERT_EQ(message.AddData("values", B_INT32_TYPE, &value, 4, true, 1 << 30), B_OK);
    for (value = 2; value <= 300; value++)
        ASSERT_EQ(message.AddInt32("values", value), B_OK);
    int32 count = 0;
    ASSERT_EQ(message.GetInfo("values", nullptr, &count), B_OK);
    EXPECT_EQ(count, 300);
    ASSERT_EQ(message.FindInt32("values", 299, &value), B_OK);
    EXPECT_EQ(value, 300);
}

}

TEST(MessageTest, ListingManyFieldsByTypeOrInOrderFindsEachOnce)
{
    // Strings and numbers take turns; msgdump lists this way, by index and then by name.
    constexpr int32 PAIRS = 2000;
    BMessage message;
    for (int32 i = 0; i < PAIRS; i++) {
        const std::string number = std::to_string(i);
        ASSERT_EQ(message.AddString(("s" + number).c_str(), "x"), B_OK);
        ASSERT_EQ(message.AddInt32(("n" + number).c_str(), i), B_OK);
    }
    char* name = nullptr;
    type_code type = 0;
    int32 value = -1;
    for (int32 i = 0; i < 2 * PAIRS; i++) {
        ASSERT_EQ(message.GetInfo(B_ANY_TYPE, i, &name, &type), B_OK);
        ASSERT_EQ(type, i % 2 == 0 ? B_STRING_TYPE : B_INT32_TYPE);
        ASSERT_TRUE(message.HasData(name, type));
    }
    EXPECT_EQ(message.GetInfo(B_ANY_TYPE, 2 * PAIRS, &name, &type), B_BAD_INDEX);
    for (int32 i : {0, 1, 2, PAIRS - 1, 5, 4, PAIRS - 2}) {
        ASSERT_EQ(message.GetInfo(B_INT32_TYPE, i, &name, &type), B_OK);
        ASSERT_EQ(message.FindInt32(name, &value), B_OK);
        EXPECT_EQ(value, i);
    }
    EXPECT_EQ(message.GetInfo(B_INT32_TYPE, PAIRS, &name, &type), B_BAD_INDEX);
    EXPECT_EQ(message.GetInfo(B_RECT_TYPE, 0, &name, &type), B_BAD_TYPE);

    // Fields that move make the last place found meaningless.
    BMessage moving;
    ASSERT_EQ(moving.AddString("s", "x"), B_OK);
    for (const char* number : {"a", "b", "c"})
        ASSERT_EQ(moving.AddInt32(number, 1), B_OK);
    ASSERT_EQ(moving.GetInfo(B_INT32_TYPE, 1, &name, &type), B_OK);
    EXPECT_STREQ(name, "b");
    ASSERT_EQ(moving.RemoveName("s"), B_OK);
    ASSERT_EQ(moving.GetInfo(B_INT32_TYPE, 1, &name, &type), B_OK);
    EXPECT_STREQ(name, "b");
    BMessage other;
    ASSERT_EQ(other.AddInt32("only", 1), B_OK);
    message = other;
    EXPECT_EQ(message.GetInfo(B_INT32_TYPE, 1, &name, &type), B_BAD_INDEX);
}
