#pragma once
// A fresh folder for one test, removed with everything in it at the end.

#include "kits/storage/BootVolumePrivate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ovelin-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path = pattern;
        EXPECT_FALSE(path.empty()) << "no temporary folder could be made";
    }

    ~TemporaryFolder()
    {
        std::error_code error;
        if (!path.empty())
            std::filesystem::remove_all(path, error);
    }

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string Path(const std::string& relative = "") const
    {
        return relative.empty() ? path : path + "/" + relative;
    }

private:
    std::string path;
};

// Points the boot volume at a folder of its own for the test's lifetime.
class BootVolumeTest : public testing::Test {
protected:
    void SetUp() override
    {
        bootRoot = folder.Path("boot");
        setenv("OVELIN_BOOT_ROOT", bootRoot.c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("OVELIN_BOOT_ROOT");
    }

    TemporaryFolder folder;
    std::string bootRoot;
};

// A boot volume whose standard folders exist already, for tests that put files there.
class PreparedBootVolumeTest : public BootVolumeTest {
protected:
    void SetUp() override
    {
        BootVolumeTest::SetUp();
        ASSERT_EQ(kits::storage::BootVolumeRoot(), bootRoot);
    }
};
