#include "kits/storage/Entry.h"

#include "kits/storage/Path.h"
#include "kits/storage/StorageDefs.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

using EntryTest = PreparedBootVolumeTest;

TEST_F(EntryTest, TellsDirectoriesFilesAndMissingEntriesApart)
{
    std::ofstream(bootRoot + "/home/config/settings/Ovelin Prefs") << "x";

    BEntry directory("/boot/home/config/settings");
    ASSERT_EQ(directory.InitCheck(), B_OK);
    EXPECT_TRUE(directory.Exists());
    EXPECT_TRUE(directory.IsDirectory());
    EXPECT_FALSE(directory.IsFile());

    BEntry file("/boot/home/config/settings/Ovelin Prefs");
    ASSERT_EQ(file.InitCheck(), B_OK);
    EXPECT_TRUE(file.IsFile());
    EXPECT_FALSE(file.IsDirectory());
    EXPECT_FALSE(file.IsSymLink());

    // A missing entry in an existing directory initialises, as the old platform did.
    BEntry missing("/boot/home/config/settings/nothing");
    EXPECT_EQ(missing.InitCheck(), B_OK);
    EXPECT_FALSE(missing.Exists());
    EXPECT_FALSE(missing.IsFile());
    EXPECT_FALSE(missing.IsDirectory());
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
}

TEST_F(EntryTest, SymLinkIsFollowedOnlyWhenAsked)
{
    std::string target = bootRoot + "/home/Manual.txt";
    std::ofstream(target) << "manual";
    ASSERT_EQ(symlink("Manual.txt", (bootRoot + "/home/Manual").c_str()), 0);

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
    ASSERT_EQ(symlink("gone", (bootRoot + "/home/Dangling").c_str()), 0);
    BEntry dangling("/boot/home/Dangling");
    EXPECT_TRUE(dangling.Exists());
    EXPECT_TRUE(dangling.IsSymLink());
}

TEST_F(EntryTest, CircleOfLinksIsRefusedWhenTraversing)
{
    ASSERT_EQ(symlink("b", (bootRoot + "/home/a").c_str()), 0);
    ASSERT_EQ(symlink("a", (bootRoot + "/home/b").c_str()), 0);
    BEntry entry("/boot/home/a", true);
    EXPECT_EQ(entry.InitCheck(), B_LINK_LIMIT);
    EXPECT_EQ(entry.SetTo("/boot/home/a"), B_OK);
    EXPECT_TRUE(entry.IsSymLink());
}

TEST_F(EntryTest, RefPathAndParentKeepTheBootPath)
{
    BEntry entry("/boot/home/config/settings/Media/presets");
    entry_ref ref;
    ASSERT_EQ(entry.GetRef(&ref), B_OK);
    EXPECT_EQ(ref.path, "/boot/home/config/settings/Media/presets");
    char name[B_FILE_NAME_LENGTH];
    ASSERT_EQ(entry.GetName(name), B_OK);
    EXPECT_STREQ(name, "presets");

    BEntry parent;
    ASSERT_EQ(entry.GetParent(&parent), B_OK);
    BPath path;
    ASSERT_EQ(parent.GetPath(&path), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/home/config/settings/Media");

    BEntry root("/");
    EXPECT_TRUE(root.IsDirectory());
    EXPECT_EQ(root.GetParent(&parent), B_ENTRY_NOT_FOUND);

    BEntry boot("/boot");
    EXPECT_TRUE(boot.IsDirectory());
    BEntry fromRef(&ref);
    EXPECT_EQ(fromRef.InitCheck(), B_OK);
}

TEST_F(EntryTest, GetRefForPathNeedsOnlyTheParent)
{
    entry_ref ref;
    ASSERT_EQ(get_ref_for_path("/boot/home/config/settings//Ovelin Prefs", &ref), B_OK);
    EXPECT_EQ(ref.path, "/boot/home/config/settings/Ovelin Prefs");
    EXPECT_STREQ(ref.Name(), "Ovelin Prefs");

    entry_ref untouched;
    EXPECT_EQ(get_ref_for_path("/boot/home/missing/Manual", &untouched), B_ENTRY_NOT_FOUND);
    EXPECT_TRUE(untouched.path.empty());
    EXPECT_EQ(get_ref_for_path(nullptr, &untouched), B_BAD_VALUE);
    EXPECT_EQ(get_ref_for_path("/boot", nullptr), B_BAD_VALUE);
}

TEST_F(EntryTest, HostPathsOutsideTheBootVolumeWork)
{
    std::ofstream(folder.Path("host.txt")) << "x";
    BEntry entry(folder.Path("host.txt").c_str());
    EXPECT_TRUE(entry.IsFile());
}
