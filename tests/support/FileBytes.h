#pragma once
// The bytes of stored files, for tests that write them, compare them with golden data or damage
// them.

#include "kits/app/Message.h"
#include "kits/storage/BootVolumePrivate.h"
#include "kits/storage/MallocIO.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace test_support {

// Every byte of the file at a "/boot/..." or host path; empty when there is none.
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream file(kits::storage::HostPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Makes the file at a "/boot/..." or host path hold exactly bytes, making its folders.
inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    const std::filesystem::path host = kits::storage::HostPath(path);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
}

// The golden file at a path under tests/data.
inline std::string GoldenBytes(const std::string& relative)
{
    const char* data = std::getenv("OVELIN_TEST_DATA");
    return ReadBytes(std::string(data != nullptr ? data : "tests/data") + "/" + relative);
}

// The message as a file holds it.
inline std::string Flat(const BMessage& message)
{
    BMallocIO bytes;
    EXPECT_EQ(message.Flatten(&bytes), B_OK);
    return std::string(static_cast<const char*>(bytes.Buffer()), bytes.BufferLength());
}

} // namespace test_support
