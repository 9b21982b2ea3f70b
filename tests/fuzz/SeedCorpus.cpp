// unflatten_seeds FOLDER: writes the fuzzer's seed corpus, one small message for every field
// type and flag combination of the layout (fixed and variable size, one and several items,
// short and long size fields, either byte order), nested messages among the types. Each seed
// must read back, or nothing is written and the exit status is 1.

#include "kits/app/Flattening.h"
#include "kits/app/Message.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using kits::app::ByteOrder;
using Bytes = std::vector<uint8>;

constexpr uint8 VALID = 0x01;
constexpr uint8 MINI = 0x02;
constexpr uint8 FIXED = 0x04;
constexpr uint8 SINGLE = 0x08;
constexpr size_t SEVERAL = 3;

// A type code and the size of each item; variable types get items of their own.
struct Type {
    const char* code;
    size_t itemSize;
};

const Type TYPES[] = {{"BOOL", 1}, {"BYTE", 1}, {"UBYT", 1}, {"SHRT", 2}, {"USHT", 2},
    {"LONG", 4}, {"ULNG", 4}, {"LLNG", 8}, {"ULLG", 8}, {"FLOT", 4}, {"DBLE", 8}, {"BPNT", 8},
    {"RECT", 16}, {"RGBC", 4}, {"PNTR", 4}, {"CSTR", 0}, {"MSGG", 0}, {"RAWT", 3}, {"QXYZ", 2}};

void PutNumber(Bytes& out, uint32 value, ByteOrder order)
{
    for (int i = 0; i < 4; i++) {
        int shift = order == ByteOrder::LittleEndian ? 8 * i : 8 * (3 - i);
        out.push_back(uint8(value >> shift));
    }
}

uint32 Code(const char* code)
{
    return (uint32(uint8(code[0])) << 24) | (uint32(uint8(code[1])) << 16)
        | (uint32(uint8(code[2])) << 8) | uint8(code[3]);
}

// A count or size: one byte in the mini form, else four.
void PutSize(Bytes& out, size_t value, uint8 flags, ByteOrder order)
{
    if (flags & MINI)
        out.push_back(uint8(value));
    else
        PutNumber(out, uint32(value), order);
}

void PutField(Bytes& out, uint8 flags, const char* code, const std::string& name,
    const std::vector<Bytes>& items, ByteOrder order)
{
    Bytes data;
    for (const Bytes& item : items) {
        if (!(flags & FIXED))
            PutNumber(data, uint32(item.size()), order);
        data.insert(data.end(), item.begin(), item.end());
        if (!(flags & FIXED))
            data.resize((data.size() + 7) / 8 * 8);
    }
    out.push_back(flags);
    PutNumber(out, Code(code), order);
    if (!(flags & SINGLE))
        PutSize(out, items.size(), flags, order);
    PutSize(out, data.size(), flags, order);
    out.push_back(uint8(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), data.begin(), data.end());
}

Bytes PutMessage(const Bytes& fields, ByteOrder order)
{
    Bytes out;
    PutNumber(out, Code("FOB1"), order);
    size_t checksumAt = out.size();
    PutNumber(out, 0, order);
    PutNumber(out, uint32(17 + fields.size() + 1), order);
    PutNumber(out, Code("SEED"), order);
    out.push_back(VALID);
    uint32 checksum = (uint32(out[8]) << 24 | uint32(out[9]) << 16 | uint32(out[10]) << 8
                          | out[11])
        + (uint32(out[12]) << 24 | uint32(out[13]) << 16 | uint32(out[14]) << 8 | out[15])
        + out[16];
    Bytes sum;
    PutNumber(sum, checksum, order);
    std::copy(sum.begin(), sum.end(), out.begin() + ptrdiff_t(checksumAt));
    out.insert(out.end(), fields.begin(), fields.end());
    out.push_back(0);
    return out;
}

// Item `index` of a field of `type`. Nested messages take turns between the short and the long
// size fields, with names chosen so that both have one size and fit a fixed-size field.
Bytes Item(const Type& type, size_t index, ByteOrder order)
{
    if (std::string(type.code) == "CSTR")
        return {uint8('a' + index), 0};
    if (std::string(type.code) == "MSGG") {
        Bytes fields;
        bool mini = index % 2 == 0;
        PutField(fields, uint8(VALID | FIXED | SINGLE | (mini ? MINI : 0)), "LONG",
            mini ? "abcd" : "a", {{uint8(index), 0, 0, 0}}, order);
        return PutMessage(fields, order);
    }
    return Bytes(type.itemSize, uint8(index + 1));
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: unflatten_seeds FOLDER\n");
        return 2;
    }
    std::vector<std::pair<std::string, Bytes>> seeds;
    for (const Type& type : TYPES) {
        for (uint8 flags = 0; flags < 8; flags++) {
            for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
                uint8 fieldFlags = uint8(VALID | (flags & 1 ? FIXED : 0)
                    | (flags & 2 ? SINGLE : 0) | (flags & 4 ? MINI : 0));
                std::vector<Bytes> items;
                for (size_t i = 0; i < (fieldFlags & SINGLE ? 1 : SEVERAL); i++)
                    items.push_back(Item(type, i, order));
                Bytes fields;
                PutField(fields, fieldFlags, type.code, "f", items, order);
                std::string name = std::string(type.code) + (fieldFlags & FIXED ? "-fixed" : "-var")
                    + (fieldFlags & SINGLE ? "-one" : "-several")
                    + (fieldFlags & MINI ? "-short" : "-long")
                    + (order == ByteOrder::LittleEndian ? "-le" : "-be") + ".msg";
                seeds.emplace_back(name, PutMessage(fields, order));
            }
        }
    }
    for (const auto& [name, bytes] : seeds) {
        BMessage message;
        if (kits::app::UnflattenMessage(bytes.data(), bytes.size(), message) != B_OK) {
            std::fprintf(stderr, "unflatten_seeds: %s does not read back\n", name.c_str());
            return 1;
        }
    }
    for (const auto& [name, bytes] : seeds) {
        std::ofstream file(std::string(argv[1]) + "/" + name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "unflatten_seeds: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
