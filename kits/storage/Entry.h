#pragma once
// BEntry: a named place in the file system, and get_ref_for_path.

#include "kits/kernel/SupportDefs.h"
#include "kits/storage/EntryRef.h"

#include <string>

class BPath;

// An entry is set from a path whose parent directory exists; the entry itself
// may be missing (Exists() tells). The queries ask the system each time and
// never follow a final symbolic link: only SetTo with traverse = true resolves
// links, making the entry the link's target. Not thread-safe; one thread uses
// an object.
class BEntry {
public:
    BEntry();
    // Like SetTo; InitCheck() tells the result.
    explicit BEntry(const char* path, bool traverse = false);
    explicit BEntry(const entry_ref* ref, bool traverse = false);

    // B_ENTRY_NOT_FOUND when the parent directory is missing, B_NOT_A_DIRECTORY
    // when it is something else, B_LINK_LIMIT for a circle of links, B_BAD_VALUE
    // for a null or empty path, B_NAME_TOO_LONG for names the old platform
    // could not hold. A failure leaves the entry unset.
    status_t SetTo(const char* path, bool traverse = false);
    status_t SetTo(const entry_ref* ref, bool traverse = false);
    void Unset();
    status_t InitCheck() const;

    bool Exists() const;
    bool IsFile() const;
    bool IsDirectory() const;
    bool IsSymLink() const;

    status_t GetRef(entry_ref* ref) const;
    status_t GetPath(BPath* path) const;
    // B_ENTRY_NOT_FOUND for "/", which has no parent.
    status_t GetParent(BEntry* parent) const;
    // Copies the leaf name into buffer, which holds B_FILE_NAME_LENGTH bytes.
    status_t GetName(char* buffer) const;

    // Moves the entry to path (absolute, or relative to the entry's folder) in one step, so
    // that path names either the old file or this one, never neither; the entry follows it.
    // B_FILE_EXISTS when path exists and clobber is false.
    status_t Rename(const char* path, bool clobber = false);
    // Removes the file, link or empty folder; the entry stays set and no longer exists.
    status_t Remove();

private:
    // Normalised, as the program writes it; empty while unset.
    std::string path;
    status_t status = B_NO_INIT;
};

// Fills ref for path, which need not exist; its parent directory must
// (B_ENTRY_NOT_FOUND otherwise). Links are not followed.
status_t get_ref_for_path(const char* path, entry_ref* ref);
