#include "tools/MessageDump.h"

#include "kits/app/Flattening.h"
#include "kits/app/Message.h"
#include "kits/storage/File.h"
#include "tools/MessageFile.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

constexpr int INDENT_STEP = 4;

// Four characters when all are printable, else 0x and eight hex digits.
std::string CodeText(uint32 code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char(code >> shift);
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof(hex), "0x%08x", code);
            return hex;
        }
        text += c;
    }
    return text;
}

template<typename T>
T Load(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof(value));
    return value;
}

// The shortest text that reads back as the same number.
template<typename T>
std::string NumberText(T value)
{
    char text[64];
    auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

std::string FloatsText(const void* data, int count)
{
    std::string text = "(";
    for (int i = 0; i < count; i++) {
        if (i > 0)
            text += ", ";
        text += NumberText(Load<float>(static_cast<const uint8*>(data) + 4 * i));
    }
    return text + ")";
}

std::string HexText(const uint8* bytes, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size; i++) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), i == 0 ? "%02x" : " %02x", bytes[i]);
        text += hex;
    }
    return text;
}

std::string ValueText(type_code type, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8*>(data);
    // Items of a known type always have its size here; anything else is shown as bytes.
    size_t expected = 0;
    switch (type) {
        case B_BOOL_TYPE:
        case B_INT8_TYPE:
        case B_UINT8_TYPE:
            expected = 1;
            break;
        case B_INT16_TYPE:
        case B_UINT16_TYPE:
            expected = 2;
            break;
        case B_INT32_TYPE:
        case B_UINT32_TYPE:
        case B_FLOAT_TYPE:
        case B_RGB_COLOR_TYPE:
            expected = 4;
            break;
        case B_INT64_TYPE:
        case B_UINT64_TYPE:
        case B_DOUBLE_TYPE:
        case B_POINT_TYPE:
            expected = 8;
            break;
        case B_RECT_TYPE:
            expected = 16;
            break;
        case B_POINTER_TYPE:
            // Four bytes in a file of the old platform, eight from this machine.
            expected = size == 4 ? 4 : 8;
            break;
        case B_STRING_TYPE: {
            const char* chars = static_cast<const char*>(data);
            return std::string(chars, strnlen(chars, size));
        }
        default:
            break;
    }
    if (expected == 0 || size != expected)
        return HexText(bytes, size);

    switch (type) {
        case B_BOOL_TYPE:
            return bytes[0] != 0 ? "true" : "false";
        case B_INT8_TYPE:
            return NumberText(Load<int8>(data));
        case B_UINT8_TYPE:
            return NumberText(Load<uint8>(data));
        case B_INT16_TYPE:
            return NumberText(Load<int16>(data));
        case B_UINT16_TYPE:
            return NumberText(Load<uint16>(data));
        case B_INT32_TYPE:
            return NumberText(Load<int32>(data));
        case B_UINT32_TYPE:
            return NumberText(Load<uint32>(data));
        case B_INT64_TYPE:
            return NumberText(Load<int64>(data));
        case B_UINT64_TYPE:
            return NumberText(Load<uint64>(data));
        case B_FLOAT_TYPE:
            return NumberText(Load<float>(data));
        case B_DOUBLE_TYPE:
            return NumberText(Load<double>(data));
        case B_POINT_TYPE:
            return FloatsText(data, 2);
        case B_RECT_TYPE:
            return FloatsText(data, 4);
        case B_RGB_COLOR_TYPE: {
            std::string text = "(";
            for (int i = 0; i < 4; i++)
                text += NumberText(bytes[i]) + (i < 3 ? ", " : ")");
            return text;
        }
        case B_POINTER_TYPE: {
            uint64 value = size == 4 ? Load<uint32>(data) : Load<uint64>(data);
            char hex[24];
            std::snprintf(hex, sizeof(hex), "0x%llx", static_cast<unsigned long long>(value));
            return hex;
        }
        default:
            return HexText(bytes, size);
    }
}

// Reads the file's message; on failure writes the one-line error. Files go through the storage
// kit, so the old platform's "/boot/..." paths work as well as host paths.
bool ReadMessage(const std::string& path, BMessage& message, kits::app::ByteOrder& order,
    std::ostream& err)
{
    if (status_t status = ReadMessageFile(path, message, &order); status != B_OK) {
        err << "msgdump: " << path << ": " << MessageFileErrorText(status) << '\n';
        return false;
    }
    return true;
}

int Rewrite(const std::string& inPath, const std::string& outPath, std::ostream& err)
{
    BMessage message;
    kits::app::ByteOrder order = kits::app::ByteOrder::LittleEndian;
    if (!ReadMessage(inPath, message, order, err))
        return 1;
    std::vector<uint8> flat;
    if (kits::app::FlattenMessage(message, order, flat) != B_OK) {
        err << "msgdump: " << inPath << ": cannot flatten the message again\n";
        return 1;
    }
    BFile file(outPath.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
    if (file.InitCheck() != B_OK || file.WriteExactly(flat.data(), flat.size()) != B_OK) {
        err << "msgdump: " << outPath << ": cannot write the file\n";
        return 1;
    }
    return 0;
}

}

void DumpMessage(const BMessage& message, std::ostream& out, int indent)
{
    std::string pad(size_t(indent), ' ');
    out << pad << "what " << CodeText(message.what) << '\n';
    char* name = nullptr;
    type_code type = 0;
    int32 count = 0;
    for (int32 field = 0; message.GetInfo(B_ANY_TYPE, field, &name, &type, &count) == B_OK;
         field++) {
        for (int32 index = 0; index < count; index++) {
            const void* data = nullptr;
            ssize_t size = 0;
            if (message.FindData(name, type, index, &data, &size) != B_OK)
                continue;
            out << pad << name << ' ' << CodeText(type) << ' ' << index;
            BMessage nested;
            if (type == B_MESSAGE_TYPE && message.FindMessage(name, index, &nested) == B_OK) {
                out << '\n';
                DumpMessage(nested, out, indent + INDENT_STEP);
                continue;
            }
            std::string value = ValueText(type, data, size_t(size));
            if (!value.empty())
                out << ' ' << value;
            out << '\n';
        }
    }
}

int RunMsgdump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() == 3 && args[0] == "--rewrite")
        return Rewrite(args[1], args[2], err);
    if (args.size() != 1 || args[0].starts_with("--")) {
        err << "usage: msgdump FILE | msgdump --rewrite IN OUT\n";
        return 2;
    }
    BMessage message;
    kits::app::ByteOrder order = kits::app::ByteOrder::LittleEndian;
    if (!ReadMessage(args[0], message, order, err))
        return 1;
    DumpMessage(message, out);
    return 0;
}
