#pragma once
// entry_ref: a reference to a file system entry, which need not exist.

#include <string>

// Holds the normalised absolute path as the program writes it (a "/boot" path
// stays one); get_ref_for_path() and BEntry::GetRef() fill it.
struct entry_ref {
    // Empty for a ref that refers to nothing.
    std::string path;

    // The leaf name, "" for "/" and for an empty ref.
    const char* Name() const
    {
        size_t slash = path.rfind('/');
        return path.c_str() + (slash == std::string::npos ? path.size() : slash + 1);
    }

    bool operator==(const entry_ref& other) const = default;
};
