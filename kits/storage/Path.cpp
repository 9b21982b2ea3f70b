#include "kits/storage/Path.h"

#include "kits/storage/Entry.h"
#include "kits/storage/StorageDefs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

std::string WorkingDirectory(status_t& status)
{
    std::vector<char> buffer(B_PATH_NAME_LENGTH);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            status = status_for_errno(errno);
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    status = B_OK;
    return buffer.data();
}

// Joins, makes absolute and normalises; fails on names too long for the old platform.
status_t Normalise(std::string_view path, std::string_view leaf, std::string& result)
{
    std::string joined;
    if (!path.starts_with('/')) {
        status_t status;
        joined = WorkingDirectory(status);
        if (status != B_OK)
            return status;
        joined += '/';
    }
    joined += path;
    if (!leaf.empty()) {
        joined += '/';
        joined += leaf;
    }

    std::vector<std::string_view> components;
    std::string_view rest(joined);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!components.empty())
                components.pop_back();
            continue;
        }
        if (component.size() >= size_t(B_FILE_NAME_LENGTH))
            return B_NAME_TOO_LONG;
        components.push_back(component);
    }

    std::string normalised;
    for (std::string_view component : components) {
        normalised += '/';
        normalised += component;
    }
    if (normalised.empty())
        normalised.push_back('/');
    if (normalised.size() >= size_t(B_PATH_NAME_LENGTH))
        return B_NAME_TOO_LONG;
    result = std::move(normalised);
    return B_OK;
}

} // namespace

BPath::BPath() = default;

BPath::BPath(const char* path, const char* leaf)
{
    SetTo(path, leaf);
}

BPath::BPath(const entry_ref* ref)
{
    SetTo(ref);
}

BPath::BPath(const BEntry* entry)
{
    SetTo(entry);
}

status_t BPath::SetTo(const char* newPath, const char* leaf)
{
    // Normalised before anything is changed: the arguments may point into this path.
    std::string normalised;
    status_t result = B_BAD_VALUE;
    if (newPath != nullptr && newPath[0] != '\0' && (leaf == nullptr || leaf[0] != '/'))
        result = Normalise(newPath, leaf != nullptr ? leaf : "", normalised);
    Unset();
    if (result == B_OK)
        path = std::move(normalised);
    return status = result;
}

status_t BPath::SetTo(const entry_ref* ref)
{
    if (ref == nullptr || ref->path.empty()) {
        Unset();
        return status = B_BAD_VALUE;
    }
    return SetTo(ref->path.c_str());
}

status_t BPath::SetTo(const BEntry* entry)
{
    entry_ref ref;
    if (entry == nullptr) {
        Unset();
        return status = B_BAD_VALUE;
    }
    if (status_t result = entry->GetRef(&ref); result != B_OK) {
        Unset();
        return status = result;
    }
    return SetTo(&ref);
}

status_t BPath::Append(const char* relativePath)
{
    if (status != B_OK)
        return status;
    if (relativePath == nullptr || relativePath[0] == '/')
        return B_BAD_VALUE;
    std::string normalised;
    if (status_t result = Normalise(path, relativePath, normalised); result != B_OK)
        return result;
    path = std::move(normalised);
    return B_OK;
}

void BPath::Unset()
{
    path.clear();
    status = B_NO_INIT;
}

status_t BPath::InitCheck() const
{
    return status;
}

const char* BPath::Path() const
{
    return status == B_OK ? path.c_str() : nullptr;
}

const char* BPath::Leaf() const
{
    if (status != B_OK)
        return nullptr;
    return path.c_str() + path.rfind('/') + 1;
}

status_t BPath::GetParent(BPath* parent) const
{
    if (parent == nullptr)
        return B_BAD_VALUE;
    if (status != B_OK)
        return status;
    if (path == "/")
        return B_ENTRY_NOT_FOUND;
    size_t slash = path.rfind('/');
    return parent->SetTo(slash == 0 ? "/" : path.substr(0, slash).c_str());
}

bool BPath::operator==(const BPath& other) const
{
    return status == other.status && path == other.path;
}

bool BPath::operator==(const char* other) const
{
    const char* own = Path();
    if (own == nullptr || other == nullptr)
        return own == other;
    return std::strcmp(own, other) == 0;
}
