#include "kits/storage/Path.h"

#include "kits/storage/Entry.h"
#include "kits/storage/StorageDefs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

TEST(PathTest, NormalisesDotsAndDoubledSlashesFromTheWorkingDirectory)
{
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof(buffer)), nullptr);
    const std::pair<const char*, std::string> cases[] = {
        {"/boot//home/./config/../config/settings/", "/boot/home/config/settings"},
        {"/a/b/../../..", "/"}, {"/..", "/"}, {"///", "/"},
        {"./Doc//Manual", std::string(buffer) + "/Doc/Manual"}};
    for (const auto& [path, normal] : cases)
        EXPECT_EQ(BPath(path).Path(), normal) << path;
}

TEST(PathTest, AppendAndGetParentWalkTheTree)
{
    BPath path("/boot/apps", "Ovelin");
    EXPECT_STREQ(path.Leaf(), "Ovelin");
    ASSERT_EQ(path.Append("../Doc/Manual"), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/apps/Doc/Manual");
    EXPECT_EQ(path.Append("/absolute"), B_BAD_VALUE);
    EXPECT_STREQ(path.Path(), "/boot/apps/Doc/Manual");

    BPath parent;
    ASSERT_EQ(path.GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/boot/apps/Doc");
    ASSERT_EQ(BPath("/boot").GetParent(&parent), B_OK);
    EXPECT_STREQ(parent.Path(), "/");
    EXPECT_EQ(parent.GetParent(&parent), B_ENTRY_NOT_FOUND);
    EXPECT_STREQ(parent.Leaf(), "");

    // A path may become its own parent.
    ASSERT_EQ(path.GetParent(&path), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/apps/Doc");
    ASSERT_EQ(path.SetTo(path.Path(), "x"), B_OK);
    EXPECT_STREQ(path.Path(), "/boot/apps/Doc/x");
}

TEST(PathTest, BadInputLeavesThePathUnset)
{
    BPath path;
    EXPECT_EQ(path.InitCheck(), B_NO_INIT);
    EXPECT_EQ(path.Path(), nullptr);
    EXPECT_EQ(path.Append("x"), B_NO_INIT);

    EXPECT_EQ(path.SetTo(static_cast<const char*>(nullptr)), B_BAD_VALUE);
    EXPECT_EQ(path.SetTo(""), B_BAD_VALUE);
    EXPECT_EQ(path.SetTo("/boot", "/home"), B_BAD_VALUE);
    entry_ref empty;
    EXPECT_EQ(path.SetTo(&empty), B_BAD_VALUE);
    EXPECT_STREQ(empty.Name(), "");
    EXPECT_EQ(path.Path(), nullptr);
    EXPECT_EQ(path.Leaf(), nullptr);

    std::string longName(B_FILE_NAME_LENGTH, 'n');
    EXPECT_EQ(path.SetTo(("/boot/" + longName).c_str()), B_NAME_TOO_LONG);
    std::string longPath;
    while (longPath.size() < size_t(B_PATH_NAME_LENGTH))
        longPath += "/component";
    EXPECT_EQ(path.SetTo(longPath.c_str()), B_NAME_TOO_LONG);
    EXPECT_EQ(path.InitCheck(), B_NAME_TOO_LONG);
}

TEST(PathTest, ComesFromAnEntryRef)
{
    entry_ref ref;
    ref.path = "/boot/home/config/settings/Media/presets";
    BPath path(&ref);
    EXPECT_STREQ(ref.Name(), "presets");
    EXPECT_EQ(path, BPath("/boot/home/config/settings/Media", "presets"));
    EXPECT_STREQ(path.Path(), "/boot/home/config/settings/Media/presets");
}
