#pragma once
// BArchivable: an object that can be stored in a message and rebuilt from one.

#include "kits/kernel/SupportDefs.h"

class BMessage;

// An archivable object writes itself into an archive message with Archive; a class that can be
// rebuilt offers a static Instantiate and an archive constructor. The archive's "class" string
// names the class; instantiate_object finds the class's function in a process-wide registry,
// since our programs cannot look a symbol up in an add-on image. Archive and Instantiate run on
// the caller's thread; an object in a looper is archived with its looper locked.
class BArchivable {
public:
    BArchivable() = default;
    // The archive constructor: an archive names what to rebuild; the base class reads nothing.
    explicit BArchivable(BMessage* archive);
    virtual ~BArchivable() = default;

    // Adds the string "class" with the name of the object's own class (its C++ name with its
    // namespaces), unless a "class" item names it already: a class that adds its own name before
    // calling its base keeps it first. deep asks for the objects this one owns too.
    // B_BAD_VALUE for a null archive.
    virtual status_t Archive(BMessage* archive, bool deep = true) const;
    // A plain BArchivable holds nothing worth rebuilding: always null.
    static BArchivable* Instantiate(BMessage* archive);
};

// Builds an object from an archive; null when the archive is not for the function's class or
// cannot be read. The caller owns the result.
typedef BArchivable* (*instantiation_func)(BMessage*);

// Records the function that rebuilds className. B_BAD_VALUE for an empty name or a null
// function; a second registration of the same name replaces the first. Any thread.
status_t register_instantiation_func(const char* className, instantiation_func func);
// The function registered for className, or null. Any thread.
instantiation_func find_instantiation_func(const char* className);
// Rebuilds the object the archive's first "class" item names; null when there is no archive,
// no "class", no function for it, or the function fails. The caller owns the result.
BArchivable* instantiate_object(BMessage* archive);
// True when an item of the archive's "class" field names className.
bool validate_instantiation(BMessage* archive, const char* className);
