#include "kits/storage/Entry.h"

#include "kits/storage/Path.h"
#include "kits/storage/StorageDefs.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

using EntryTest = PreparedBootVolumeTest;

TEST_F(EntryTest, TellsDirectoriesFilesAndMissingEntriesApart)
{
    std::ofstream(bootRoot + "/home/config/settings/Ovelin Prefs") << "x";
    std::ofstream(folder.Path("host.txt")) << "x";
    struct Case {
        std::string path;
        bool exists;
        bool directory;
        bool file;
    };
    // A missing entry in an existing directory initialises, as the old platform did.
    const Case cases[] = {{"/", true, true, false}, {"/boot", true, true, false},
        {"/boot/home/config/settings", true, true, false},
        {"/boot/home/config/settings/Ovelin Prefs", true, false, true},
        {"/boot/home/config/settings/nothing", false, false, false},
        {folder.Path("host.txt"), true, false, true}};
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.path);
        BEntry entry(expected.path.c_str());
        ASSERT_EQ(entry.InitCheck(), B_OK);
        EXPECT_EQ(entry.Exists(), expected.exists);
        EXPECT_EQ(entry.IsDirectory(), expected.directory);
        EXPECT_EQ(entry.IsFile(), expected.file);
        EXPECT_FALSE(entry.IsSymLink());
    }
}

TEST_F(EntryTest, MissingOrFileParentFailsToInitialise)
{
    std::ofstream(bootRoot + "/home/plain") << "x";
    BEntry entry("/boot/home/nowhere/Manual");
    EXPECT_EQ(entry.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_FALSE(entry.Exists());
    EXPECT_EQ(entry.SetTo("/boot/home/plain/Manual"), B_NOT_A_DIRECTORY);
    EXPECT_EQ(entry.SetTo(static_cast<const char*>(nullptr)), B_BAD_VALUE);
    EXPECT_EQ(entry.SetTo(""), B_BAD_VALUE);
    entry_ref ref;
    EXPECT_EQ(entry.GetRef(&ref), B_BAD_VALUE);
    EXPECT_EQ(get_ref_for_path("/boot/home/missing/Manual", &ref), B_ENTRY_NOT_FOUND);
    EXPECT_TRUE(ref.path.empty());
    EXPECT_EQ(get_ref_for_path(nullptr, &ref), B_BAD_VALUE);
    EXPECT_EQ(get_ref_for_path("/boot", nullptr), B_BAD_VALUE);
}

TEST_F(EntryTest, SymLinkIsFollowedOnlyWhenAskedAndACircleIsRefused)
{
    std::ofstream(bootRoot + "/home/Manual.txt") << "manual";
    ASSERT_EQ(symlink("Manual.txt", (bootRoot + "/home/Manual").c_str()), 0);
    ASSERT_EQ(symlink("gone", (bootRoot + "/home/Dangling").c_str()), 0);
    ASSERT_EQ(symlink("b", (bootRoot + "/home/a").c_str()), 0);
    ASSERT_EQ(symlink("a", (bootRoot + "/home/b").c_str()), 0);

    BEntry link("/boot/home/Manual");
    ASSERT_EQ(link.InitCheck(), B_OK);
    EXPECT_TRUE(link.IsSymLink());
    EXPECT_FALSE(link.IsFile());
    BEntry followed("/boot/home/Manual", true);
    ASSERT_EQ(followed.InitCheck(), B_OK);
    EXPECT_TRUE(followed.IsFile());
    EXPECT_FALSE(followed.IsSymLink());
    BPath path;
    ASSERT_EQ(followed.GetPath(&path), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/home/Manual.txt");

    // A dangling link still exists as a link.
    BEntry dangling("/boot/home/Dangling");
    EXPECT_TRUE(dangling.Exists());
    EXPECT_TRUE(dangling.IsSymLink());
    BEntry circle("/boot/home/a", true);
    EXPECT_EQ(circle.InitCheck(), B_LINK_LIMIT);
    EXPECT_EQ(circle.SetTo("/boot/home/a"), B_OK);
    EXPECT_TRUE(circle.IsSymLink());
}

TEST_F(EntryTest, RefNameAndParentKeepTheBootPath)
{
    entry_ref ref;
    ASSERT_EQ(get_ref_for_path("/boot/home/config/settings//Media/presets", &ref), B_OK);
    EXPECT_EQ(ref.path, "/boot/home/config/settings/Media/presets");
    EXPECT_STREQ(ref.Name(), "presets");
    BEntry entry(&ref);
    ASSERT_EQ(entry.InitCheck(), B_OK);
    char name[B_FILE_NAME_LENGTH];
    ASSERT_EQ(entry.GetName(name), B_OK);
    EXPECT_STREQ(name, "presets");
    entry_ref again;
    ASSERT_EQ(entry.GetRef(&again), B_OK);
    EXPECT_EQ(again.path, ref.path);

    BEntry parent;
    ASSERT_EQ(entry.GetParent(&parent), B_OK);
    BPath path;
    ASSERT_EQ(parent.GetPath(&path), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/home/config/settings/Media");
    EXPECT_EQ(BEntry("/").GetParent(&parent), B_ENTRY_NOT_FOUND);
}
