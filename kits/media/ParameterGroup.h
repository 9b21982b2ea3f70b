#pragma once
// BParameterGroup: a named group of parameters and sub-groups within a web.

#include "kits/media/MediaDefs.h"

#include <memory>
#include <string>
#include <vector>

class BContinuousParameter;
class BDiscreteParameter;
class BNullParameter;
class BParameter;
class BParameterWeb;

// Owned by its web (or its parent group); owns its parameters and sub-groups.
// The Make functions return observing pointers, valid while the web lives, and
// add the new parameter to the web's list as well. Built on one thread, then
// read-only.
class BParameterGroup {
public:
    ~BParameterGroup();
    BParameterGroup(const BParameterGroup&) = delete;
    BParameterGroup& operator=(const BParameterGroup&) = delete;

    BParameterWeb* Web() const;
    const char* Name() const;
    uint32 Flags() const;
    void SetFlags(uint32 flags);

    BParameterGroup* MakeGroup(const char* name);
    BNullParameter* MakeNullParameter(int32 id, media_type mediaType, const char* name,
        const char* kind);
    BDiscreteParameter* MakeDiscreteParameter(int32 id, media_type mediaType,
        const char* name, const char* kind);
    BContinuousParameter* MakeContinuousParameter(int32 id, media_type mediaType,
        const char* name, const char* kind, const char* unit, float minimum, float maximum,
        float step);

    // This group's own parameters, in the order made; null out of range.
    int32 CountParameters() const;
    BParameter* ParameterAt(int32 index) const;
    // This group's sub-groups, in the order made; null out of range.
    int32 CountGroups() const;
    BParameterGroup* GroupAt(int32 index) const;

private:
    friend class BParameterWeb;

    BParameterGroup(BParameterWeb* web, const char* name);
    BParameter* Adopt(std::unique_ptr<BParameter> parameter);

    BParameterWeb* web;
    std::string name;
    uint32 flags = 0;
    std::vector<std::unique_ptr<BParameter>> parameters;
    std::vector<std::unique_ptr<BParameterGroup>> groups;
};
