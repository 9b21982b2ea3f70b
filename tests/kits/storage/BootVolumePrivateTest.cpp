#include "kits/storage/BootVolumePrivate.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using kits::storage::BootVolumeRoot;
using kits::storage::HostPath;

using BootVolumePrivateTest = BootVolumeTest;

TEST_F(BootVolumePrivateTest, OnlyBootPathsMoveUnderTheConfiguredRoot)
{
    const std::pair<const char*, std::string> cases[] = {{"/boot", bootRoot},
        {"/boot/", bootRoot + "/"},
        {"/boot/home/config/settings/Ovelin Prefs",
            bootRoot + "/home/config/settings/Ovelin Prefs"},
        {"/bootstrap/file", "/bootstrap/file"}, {"/tmp/boot/file", "/tmp/boot/file"},
        {"boot/file", "boot/file"}, {"/", "/"}};
    for (const auto& [path, hostPath] : cases)
        EXPECT_EQ(HostPath(path), hostPath) << path;
}

TEST_F(BootVolumePrivateTest, FirstUseCreatesTheStandardSettingsFolders)
{
    EXPECT_FALSE(std::filesystem::exists(bootRoot));
    EXPECT_EQ(BootVolumeRoot(), bootRoot);
    EXPECT_TRUE(std::filesystem::is_directory(bootRoot + "/home/config/settings/Media"));
}

TEST_F(BootVolumePrivateTest, DefaultRootFollowsTheDataHome)
{
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome != nullptr ? oldHome : "";
    unsetenv("OVELIN_BOOT_ROOT");
    std::string dataHome = folder.Path("data");
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    EXPECT_EQ(BootVolumeRoot(), dataHome + "/ovelin/boot");

    // A relative data home is invalid and falls back to the home folder.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    std::string home = folder.Path("home");
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(BootVolumeRoot(), home + "/.local/share/ovelin/boot");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.local/share/ovelin/boot/home/config"));
    unsetenv("XDG_DATA_HOME");
    if (oldHome != nullptr)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
}
