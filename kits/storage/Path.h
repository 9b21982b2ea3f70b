#pragma once
// BPath: an absolute, normalised path name.

#include "kits/kernel/SupportDefs.h"

#include <string>

struct entry_ref;
class BEntry;

// A path is kept as the program writes it: a "/boot" path stays one (the boot
// volume is mapped only where the kit calls the system). Normalising is purely
// lexical and needs no file to exist: "." and empty components go, ".." takes
// the previous component away (and stays at "/"), a relative path is taken
// from the working directory. Not thread-safe; one thread uses an object.
class BPath {
public:
    BPath();
    // Like SetTo; InitCheck() tells the result.
    explicit BPath(const char* path, const char* leaf = nullptr);
    explicit BPath(const entry_ref* ref);
    explicit BPath(const BEntry* entry);

    status_t SetTo(const char* path, const char* leaf = nullptr);
    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const BEntry* entry);
    // Adds a relative path to this one. An absolute one is refused with
    // B_BAD_VALUE and the path stays as it was.
    status_t Append(const char* relativePath);
    void Unset();

    // B_OK, B_NO_INIT before any SetTo, or the failure of the last one.
    status_t InitCheck() const;
    // Null while not initialised.
    const char* Path() const;
    // The last component: "" for "/", null while not initialised.
    const char* Leaf() const;
    // B_ENTRY_NOT_FOUND for "/", which has no parent.
    status_t GetParent(BPath* parent) const;

    bool operator==(const BPath& other) const;
    bool operator==(const char* path) const;

private:
    std::string path;
    status_t status = B_NO_INIT;
};
