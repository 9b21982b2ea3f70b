#include "kits/app/Archivable.h"

#include "kits/app/Message.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

namespace {

// The registry of rebuildable classes, alive for the whole process so that objects can still be
// rebuilt while static objects go away.
struct Registry {
    std::mutex lock;
    // Guarded by lock.
    std::map<std::string, instantiation_func, std::less<>> functions;
};

Registry& Functions()
{
    static Registry* registry = new Registry;
    return *registry;
}

}

BArchivable::BArchivable(BMessage*)
{
}

status_t BArchivable::Archive(BMessage* archive, bool) const
{
    if (archive == nullptr)
        return B_BAD_VALUE;
    const char* mangled = typeid(*this).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    const char* className = status == 0 && demangled ? demangled.get() : mangled;
    // A class that named itself before calling its base is not named twice.
    if (validate_instantiation(archive, className))
        return B_OK;
    return archive->AddString("class", className);
}

BArchivable* BArchivable::Instantiate(BMessage*)
{
    return nullptr;
}

status_t register_instantiation_func(const char* className, instantiation_func func)
{
    if (className == nullptr || *className == '\0' || func == nullptr)
        return B_BAD_VALUE;
    Registry& registry = Functions();
    std::lock_guard guard(registry.lock);
    registry.functions[className] = func;
    return B_OK;
}

instantiation_func find_instantiation_func(const char* className)
{
    if (className == nullptr)
        return nullptr;
    Registry& registry = Functions();
    std::lock_guard guard(registry.lock);
    auto found = registry.functions.find(std::string_view(className));
    return found == registry.functions.end() ? nullptr : found->second;
}

BArchivable* instantiate_object(BMessage* archive)
{
    const char* className = nullptr;
    if (archive == nullptr || archive->FindString("class", &className) != B_OK)
        return nullptr;
    // Called without the registry's lock: the function may build children that look up
    // functions of their own.
    instantiation_func func = find_instantiation_func(className);
    return func != nullptr ? func(archive) : nullptr;
}

bool validate_instantiation(BMessage* archive, const char* className)
{
    if (archive == nullptr || className == nullptr)
        return false;
    const char* archived = nullptr;
    for (int32 i = 0; archive->FindString("class", i, &archived) == B_OK; i++) {
        if (std::strcmp(archived, className) == 0)
            return true;
    }
    return false;
}
