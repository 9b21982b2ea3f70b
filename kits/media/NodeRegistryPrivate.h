#pragma once
// NodeRegistry: the registered nodes, the connections between them and the web copies handed out.

#include "kits/media/MediaNode.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace kits::media {

struct Connection {
    media_source source;
    media_destination destination;
    media_node_id producer;
    media_node_id consumer;
};

// The copies of one node's web handed out so far; all are kept, since callers
// hold on to them for the life of the process.
struct WebCopies {
    uint32 generation = 0;
    BParameterWeb* current = nullptr;
    std::vector<std::unique_ptr<BParameterWeb>> all;
};

// Lock order: `lock` is taken on its own; no hook runs and no port is waited
// for while it is held.
struct NodeRegistry {
    std::mutex lock;
    // Guarded by lock. Each registered node with the registry's reference.
    std::map<media_node_id, BMediaNode*> nodes;
    media_node_id nextId = 1;
    std::vector<Connection> connections;
    // References handed out by the roster's Get functions, balanced by ReleaseNode.
    std::map<media_node_id, int32> clientReferences;
    std::map<media_node_id, WebCopies> webs;
    BTimeSource* systemTimeSource = nullptr;
};

// The one registry, made on first use with the system time source registered and running.
// Never destroyed: node threads may outlive static destruction.
NodeRegistry& TheRegistry();

// A counted reference on a node, dropped when the NodeRef goes.
class NodeRef {
public:
    NodeRef() = default;
    // Takes over a reference the caller already acquired.
    explicit NodeRef(BMediaNode* node);
    NodeRef(NodeRef&& other) noexcept;
    NodeRef& operator=(NodeRef&& other) noexcept;
    ~NodeRef();

    BMediaNode* Get() const;
    BMediaNode* operator->() const;
    explicit operator bool() const;
    // The node as a producer, consumer, controllable or time source; null if it is not one.
    template <class Kind>
    Kind* As() const
    {
        return dynamic_cast<Kind*>(node);
    }

private:
    BMediaNode* node = nullptr;
};

// Registered nodes only; an empty reference when there is none.
NodeRef FindNode(media_node_id id);
NodeRef FindNodeByPort(port_id port);
// Counts a reference handed to a client of the roster.
void AddClientReference(media_node_id id);
// Whether the roster connected `source` to `destination`.
bool IsConnected(const media_source& source, const media_destination& destination);
// Called by a node's destructor: forgets it if it is still registered.
void ForgetNode(BMediaNode* node);
// Registration without fault injection, for the roster and its own default nodes.
status_t RegisterNodeInternal(BMediaNode* node);
// Tells both ends of each of the node's connections, then drops the registry's reference.
status_t UnregisterNodeInternal(BMediaNode* node);
// The system time source, which lives as long as the process.
BTimeSource* TheSystemTimeSource();

} // namespace kits::media
