#pragma once
// BParameterWeb: the description of a node's parameters, in groups.

#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/NullParameter.h"
#include "kits/media/Parameter.h"
#include "kits/media/ParameterGroup.h"

#include <memory>
#include <vector>

class BControllable;

namespace kits::media {
struct NodeAccess;
}

// Built by a controllable node, which then owns it (SetParameterWeb). Other
// threads work on a copy from BMediaRoster::GetParameterWebFor, whose
// parameters reach the same node. Building is done on one thread; afterwards
// the web is read-only and may be read from any thread.
class BParameterWeb {
public:
    BParameterWeb();
    ~BParameterWeb();
    BParameterWeb(const BParameterWeb&) = delete;
    BParameterWeb& operator=(const BParameterWeb&) = delete;

    // The node whose parameters this web describes; media_node::null before
    // the web is given to a node.
    media_node Node() const;

    // Top-level groups, in the order made; observing pointers.
    BParameterGroup* MakeGroup(const char* name);
    int32 CountGroups() const;
    BParameterGroup* GroupAt(int32 index) const;

    // Every parameter of every group, in the order they were made.
    int32 CountParameters() const;
    BParameter* ParameterAt(int32 index) const;

private:
    friend class BControllable;
    friend class BParameter;
    friend class BParameterGroup;
    friend struct kits::media::NodeAccess;

    // A deep copy that reaches `node` through the roster.
    std::unique_ptr<BParameterWeb> Copy(const media_node& node) const;

    std::vector<std::unique_ptr<BParameterGroup>> groups;
    std::vector<BParameter*> parameters;
    // The owning node, for the node's own web; its Node() is read when needed,
    // since it gets its id only when registered.
    BControllable* owner = nullptr;
    // For a copy: the node it describes.
    media_node node;
};
