#pragma once
// BDiscreteParameter: a parameter choosing among named items, valued by one int32.

#include "kits/media/Parameter.h"

#include <string>
#include <vector>

// Made by BParameterGroup::MakeDiscreteParameter and owned by its group. Items
// are added while the web is built; the value is usually an item's value
// (its position for the nodes this program talks to).
class BDiscreteParameter : public BParameter {
public:
    int32 CountItems() const;
    // Null when `index` is out of range; valid while the parameter lives.
    const char* ItemNameAt(int32 index) const;
    // 0 when `index` is out of range.
    int32 ItemValueAt(int32 index) const;
    status_t AddItem(int32 value, const char* name);
    void MakeEmpty();

private:
    friend class BParameterGroup;

    BDiscreteParameter(int32 id, media_type mediaType, const char* name, const char* kind);

    struct Item {
        int32 value;
        std::string name;
    };
    std::vector<Item> items;
};
