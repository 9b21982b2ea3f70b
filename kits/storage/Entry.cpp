#include "kits/storage/Entry.h"

#include "kits/storage/BootVolumePrivate.h"
#include "kits/storage/Path.h"
#include "kits/storage/StorageDefs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int MAX_LINKS = 40;

std::string ParentOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

status_t Normalise(const char* path, std::string& normalised)
{
    BPath parsed(path);
    if (parsed.InitCheck() != B_OK)
        return parsed.InitCheck();
    normalised = parsed.Path();
    return B_OK;
}

bool LinkStatus(const std::string& path, struct stat& info)
{
    return lstat(kits::storage::HostPath(path).c_str(), &info) == 0;
}

status_t CheckParent(const std::string& path)
{
    if (path == "/")
        return B_OK;
    struct stat info;
    if (stat(kits::storage::HostPath(ParentOf(path)).c_str(), &info) != 0)
        return status_for_errno(errno);
    return S_ISDIR(info.st_mode) ? B_OK : B_NOT_A_DIRECTORY;
}

// Follows links until path names something that is not one (or nothing).
status_t Traverse(std::string& path)
{
    for (int hop = 0; hop < MAX_LINKS; hop++) {
        struct stat info;
        if (!LinkStatus(path, info) || !S_ISLNK(info.st_mode))
            return B_OK;
        std::vector<char> target(std::max(size_t(info.st_size) + 1, size_t(B_PATH_NAME_LENGTH)));
        ssize_t length = readlink(kits::storage::HostPath(path).c_str(), target.data(),
            target.size() - 1);
        if (length < 0)
            return status_for_errno(errno);
        std::string next(target.data(), size_t(length));
        if (next.empty())
            return B_ENTRY_NOT_FOUND;
        if (next[0] != '/')
            next = ParentOf(path) + "/" + next;
        if (status_t status = Normalise(next.c_str(), path); status != B_OK)
            return status;
    }
    return B_LINK_LIMIT;
}

} // namespace

BEntry::BEntry() = default;

BEntry::BEntry(const char* newPath, bool traverse)
{
    SetTo(newPath, traverse);
}

BEntry::BEntry(const entry_ref* ref, bool traverse)
{
    SetTo(ref, traverse);
}

status_t BEntry::SetTo(const char* newPath, bool traverse)
{
    std::string normalised;
    status_t result = Normalise(newPath, normalised);
    if (result == B_OK && traverse)
        result = Traverse(normalised);
    if (result == B_OK)
        result = CheckParent(normalised);
    Unset();
    if (result == B_OK)
        path = std::move(normalised);
    return status = result;
}

status_t BEntry::SetTo(const entry_ref* ref, bool traverse)
{
    if (ref == nullptr) {
        Unset();
        return status = B_BAD_VALUE;
    }
    return SetTo(ref->path.c_str(), traverse);
}

void BEntry::Unset()
{
    path.clear();
    status = B_NO_INIT;
}

status_t BEntry::InitCheck() const
{
    return status;
}

bool BEntry::Exists() const
{
    struct stat info;
    return status == B_OK && LinkStatus(path, info);
}

bool BEntry::IsFile() const
{
    struct stat info;
    return status == B_OK && LinkStatus(path, info) && S_ISREG(info.st_mode);
}

bool BEntry::IsDirectory() const
{
    struct stat info;
    return status == B_OK && LinkStatus(path, info) && S_ISDIR(info.st_mode);
}

bool BEntry::IsSymLink() const
{
    struct stat info;
    return status == B_OK && LinkStatus(path, info) && S_ISLNK(info.st_mode);
}

status_t BEntry::GetRef(entry_ref* ref) const
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    ref->path = path;
    return B_OK;
}

status_t BEntry::GetPath(BPath* result) const
{
    if (result == nullptr)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    return result->SetTo(path.c_str());
}

status_t BEntry::GetParent(BEntry* parent) const
{
    if (parent == nullptr)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    if (path == "/")
        return B_ENTRY_NOT_FOUND;
    return parent->SetTo(ParentOf(path).c_str());
}

status_t BEntry::GetName(char* buffer) const
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    // Normalising has already refused leaves longer than the buffer.
    std::strcpy(buffer, path.c_str() + path.rfind('/') + 1);
    return B_OK;
}

status_t BEntry::Rename(const char* newPath, bool clobber)
{
    if (newPath == nullptr || *newPath == '\0')
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    const std::string target = newPath[0] == '/' ? std::string(newPath)
        : ParentOf(path) + "/" + newPath;
    std::string normalised;
    if (status_t result = Normalise(target.c_str(), normalised); result != B_OK)
        return result;
    if (status_t result = CheckParent(normalised); result != B_OK)
        return result;
    const std::string from = kits::storage::HostPath(path);
    const std::string to = kits::storage::HostPath(normalised);
    // The system refuses an existing target itself, so no other program slips in between.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), clobber ? 0 : RENAME_NOREPLACE)
        != 0) {
        return status_for_errno(errno);
    }
    path = std::move(normalised);
    return B_OK;
}

status_t BEntry::Remove()
{
    if (status != B_OK)
        return status;
    const std::string hostPath = kits::storage::HostPath(path);
    struct stat info;
    if (!LinkStatus(path, info))
        return status_for_errno(errno);
    const int result = S_ISDIR(info.st_mode) ? rmdir(hostPath.c_str()) : unlink(hostPath.c_str());
    return result == 0 ? B_OK : status_for_errno(errno);
}

status_t get_ref_for_path(const char* path, entry_ref* ref)
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    BEntry entry(path);
    return entry.GetRef(ref);
}
