#include "kits/storage/File.h"

#include "kits/storage/Entry.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr const char* PREFS = "/boot/home/config/settings/Ovelin Prefs";

class FileTest : public PreparedBootVolumeTest {
protected:
    std::string HostPrefs() const { return bootRoot + "/home/config/settings/Ovelin Prefs"; }

    std::string Contents() const
    {
        std::ifstream stream(HostPrefs(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), {});
    }
};

TEST_F(FileTest, CreateEraseAndFailIfExistsModes)
{
    BFile file(PREFS, B_READ_WRITE);
    EXPECT_EQ(file.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(file.Read(nullptr, 0), B_NO_INIT);
    EXPECT_FALSE(std::filesystem::exists(HostPrefs()));

    ASSERT_EQ(file.SetTo(PREFS, B_READ_WRITE | B_CREATE_FILE), B_OK);
    EXPECT_TRUE(file.IsReadable());
    EXPECT_TRUE(file.IsWritable());
    off_t size = -1;
    ASSERT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(file.Write("old contents", 12), 12);
    file.Unset();
    EXPECT_EQ(file.InitCheck(), B_NO_INIT);
    EXPECT_EQ(Contents(), "old contents");

    EXPECT_EQ(file.SetTo(PREFS, B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS), B_FILE_EXISTS);
    ASSERT_EQ(file.SetTo(PREFS, B_READ_WRITE | B_CREATE_FILE), B_OK);
    ASSERT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 12);
    ASSERT_EQ(file.SetTo(PREFS, B_WRITE_ONLY | B_ERASE_FILE), B_OK);
    ASSERT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);
}

TEST_F(FileTest, BadPathsAndModesAreRefused)
{
    BFile file;
    EXPECT_EQ(file.SetTo("/boot/home/missing/file", B_READ_WRITE | B_CREATE_FILE),
        B_ENTRY_NOT_FOUND);
    EXPECT_EQ(file.SetTo(static_cast<const char*>(nullptr), B_READ_ONLY), B_BAD_VALUE);
    EXPECT_EQ(file.SetTo("/boot/home", B_READ_ONLY), B_IS_A_DIRECTORY);
    EXPECT_EQ(file.SetTo(PREFS, B_CREATE_FILE | 3), B_BAD_VALUE);
    BEntry unset;
    EXPECT_EQ(file.SetTo(&unset, B_READ_ONLY), B_NO_INIT);
    EXPECT_EQ(file.SetTo(static_cast<const entry_ref*>(nullptr), B_READ_ONLY), B_BAD_VALUE);
}

TEST_F(FileTest, ReadOnlyAndWriteOnlyFilesRefuseTheOtherWayAndReadNothingPastTheEnd)
{
    std::ofstream(HostPrefs()) << "keep";
    BFile file(PREFS, B_READ_ONLY);
    ASSERT_EQ(file.InitCheck(), B_OK);
    EXPECT_FALSE(file.IsWritable());
    EXPECT_EQ(file.Write("x", 1), B_NOT_ALLOWED);
    EXPECT_EQ(file.WriteAt(0, "x", 1), B_NOT_ALLOWED);
    EXPECT_EQ(file.SetSize(0), B_NOT_ALLOWED);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 4);
    EXPECT_STREQ(buffer, "keep");
    // Past the end there is nothing, and no position before the start.
    EXPECT_EQ(file.ReadAt(1, buffer, sizeof(buffer)), 3);
    EXPECT_EQ(file.ReadAt(100, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(file.Seek(10, SEEK_END), 14);
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(file.ReadExactly(buffer, 1), B_IO_ERROR);
    EXPECT_EQ(file.Seek(-20, SEEK_CUR), B_BAD_VALUE);
    EXPECT_EQ(file.Seek(0, 7), B_BAD_VALUE);
    EXPECT_EQ(file.ReadAt(-1, buffer, 1), B_BAD_VALUE);

    BFile writeOnly(PREFS, B_WRITE_ONLY);
    EXPECT_FALSE(writeOnly.IsReadable());
    EXPECT_EQ(writeOnly.Read(buffer, 1), B_NOT_ALLOWED);
    EXPECT_EQ(Contents(), "keep");
}

TEST_F(FileTest, OpenAtEndAppendsAndTruncateSeekAndWriteLeavesNoOldBytes)
{
    std::ofstream(HostPrefs()) << "0123";
    entry_ref ref;
    ASSERT_EQ(get_ref_for_path(PREFS, &ref), B_OK);
    BFile file(&ref, B_READ_WRITE | B_OPEN_AT_END);
    EXPECT_EQ(file.Position(), 4);
    EXPECT_EQ(file.Write("45", 2), 2);
    EXPECT_EQ(file.WriteAt(0, "A", 1), 1);
    EXPECT_EQ(Contents(), "A12345");

    BEntry entry(PREFS);
    ASSERT_EQ(file.SetTo(&entry, B_READ_WRITE), B_OK);
    char buffer[5];
    ASSERT_EQ(file.Read(buffer, sizeof(buffer)), 5);
    ASSERT_EQ(file.SetSize(0), B_OK);
    EXPECT_EQ(file.Position(), 5);
    ASSERT_EQ(file.Seek(0, SEEK_SET), 0);
    ASSERT_EQ(file.WriteExactly("new", 3), B_OK);
    off_t size = 0;
    ASSERT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(Contents(), "new");
}

} // namespace
