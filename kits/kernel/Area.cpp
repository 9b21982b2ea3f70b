#include "kits/kernel/OS.h"

#include <sys/mman.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

// The memory of an area and its clones; unmapped when the last one is deleted.
struct Mapping {
    void* address = nullptr;
    size_t size = 0;

    ~Mapping()
    {
        if (address != nullptr)
            munmap(address, size);
    }
};

struct Area {
    std::string name;
    std::shared_ptr<Mapping> mapping;
};

std::mutex areaLock;
// Guarded by areaLock. Never destroyed, so areas freed during exit stay safe.
auto& areas = *new std::map<area_id, Area>;
area_id nextAreaId = 1;

} // namespace

area_id create_area(const char* name, void** address, uint32 addressSpec, size_t size,
    uint32, uint32)
{
    if (address == nullptr || addressSpec != B_ANY_ADDRESS || size == 0
        || size % B_PAGE_SIZE != 0) {
        return B_BAD_VALUE;
    }
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
        -1, 0);
    if (memory == MAP_FAILED)
        return B_NO_MEMORY;
    auto mapping = std::make_shared<Mapping>();
    mapping->address = memory;
    mapping->size = size;
    std::lock_guard guard(areaLock);
    area_id id = nextAreaId++;
    areas.emplace(id, Area{name != nullptr ? name : "", std::move(mapping)});
    *address = memory;
    return id;
}

area_id clone_area(const char* name, void** address, uint32 addressSpec, uint32,
    area_id source)
{
    if (address == nullptr || addressSpec != B_ANY_ADDRESS)
        return B_BAD_VALUE;
    std::lock_guard guard(areaLock);
    auto found = areas.find(source);
    if (found == areas.end())
        return B_BAD_VALUE;
    area_id id = nextAreaId++;
    std::shared_ptr<Mapping> mapping = found->second.mapping;
    *address = mapping->address;
    areas.emplace(id, Area{name != nullptr ? name : "", std::move(mapping)});
    return id;
}

status_t delete_area(area_id id)
{
    std::shared_ptr<Mapping> last;
    {
        std::lock_guard guard(areaLock);
        auto found = areas.find(id);
        if (found == areas.end())
            return B_BAD_VALUE;
        // Unmapped outside the lock, when this was the last reference.
        last = std::move(found->second.mapping);
        areas.erase(found);
    }
    return B_OK;
}

area_id area_for(const void* address)
{
    auto* byte = static_cast<const uint8*>(address);
    std::lock_guard guard(areaLock);
    // The original is the lowest id of a mapping, and ids grow with creation.
    for (const auto& [id, area] : areas) {
        auto* start = static_cast<const uint8*>(area.mapping->address);
        if (byte >= start && byte < start + area.mapping->size)
            return id;
    }
    return B_ERROR;
}

status_t get_area_info(area_id id, area_info* info)
{
    if (info == nullptr)
        return B_BAD_VALUE;
    std::lock_guard guard(areaLock);
    auto found = areas.find(id);
    if (found == areas.end())
        return B_BAD_VALUE;
    info->area = id;
    std::strncpy(info->name, found->second.name.c_str(), sizeof(info->name) - 1);
    info->name[sizeof(info->name) - 1] = '\0';
    info->size = found->second.mapping->size;
    info->address = found->second.mapping->address;
    return B_OK;
}
