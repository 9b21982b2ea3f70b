#include "kits/storage/BootVolumePrivate.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <vector>

namespace kits::storage {

namespace {

constexpr std::string_view BOOT_PREFIX = "/boot";

// Folders that every boot volume of the old platform had; the settings and
// presets files are written into them without creating them first.
constexpr const char* STANDARD_FOLDERS[] = {
    "home/config/settings/Media",
};

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return home;
    passwd entry;
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0
        && found != nullptr && found->pw_dir != nullptr)
        return found->pw_dir;
    // Without any home the working directory is the only place left to write.
    return ".";
}

std::string ConfiguredRoot()
{
    if (const char* root = std::getenv("OVELIN_BOOT_ROOT"); root != nullptr && root[0] != '\0')
        return root;
    // Relative values of XDG_DATA_HOME are invalid and must be ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return std::string(data) + "/ovelin/boot";
    return HomeDirectory() + "/.local/share/ovelin/boot";
}

void PrepareOnce(const std::string& root)
{
    static std::mutex lock;
    // Guarded by lock. Roots whose standard folders exist; never destroyed, as
    // file operations may run while statics go away.
    static auto& prepared = *new std::set<std::string>;
    std::lock_guard guard(lock);
    if (!prepared.insert(root).second)
        return;
    for (const char* folder : STANDARD_FOLDERS) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(root) / folder, error);
    }
}

} // namespace

std::string BootVolumeRoot()
{
    std::string root = ConfiguredRoot();
    PrepareOnce(root);
    return root;
}

std::string HostPath(const std::string& path)
{
    std::string_view view(path);
    if (!view.starts_with(BOOT_PREFIX))
        return path;
    std::string_view rest = view.substr(BOOT_PREFIX.size());
    if (!rest.empty() && rest.front() != '/')
        return path;
    return BootVolumeRoot() + std::string(rest);
}

} // namespace kits::storage
