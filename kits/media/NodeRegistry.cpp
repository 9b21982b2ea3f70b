#include "kits/media/NodeRegistryPrivate.h"

#include "kits/media/MediaRosterPrivate.h"
#include "kits/media/SystemTimeSourcePrivate.h"

#include <algorithm>

namespace kits::media {

namespace {

bool IsRegistered(const NodeRegistry& registry, const BMediaNode* node)
{
    auto found = registry.nodes.find(node->ID());
    return found != registry.nodes.end() && found->second == node;
}

} // namespace

NodeRegistry& TheRegistry()
{
    static NodeRegistry* registry = [] {
        auto* made = new NodeRegistry;
        auto* clock = new SystemTimeSource;
        made->systemTimeSource = clock;
        clock->Acquire();
        NodeAccess::SetId(clock, made->nextId);
        made->nodes[made->nextId++] = clock;
        // Performance time starts out equal to real time.
        time_source_op_info op;
        op.real_time = system_time();
        op.performance_time = op.real_time;
        op.op = time_source_op_info::B_TIMESOURCE_SEEK;
        NodeAccess::TimeSourceOp(clock, op);
        op.op = time_source_op_info::B_TIMESOURCE_START;
        NodeAccess::TimeSourceOp(clock, op);
        return made;
    }();
    return *registry;
}

void AddClientReference(media_node_id id)
{
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.clientReferences[id]++;
}

NodeRef::NodeRef(BMediaNode* node)
    : node(node)
{
}

NodeRef::NodeRef(NodeRef&& other) noexcept
    : node(other.node)
{
    other.node = nullptr;
}

NodeRef& NodeRef::operator=(NodeRef&& other) noexcept
{
    if (this != &other) {
        if (node != nullptr)
            node->Release();
        node = other.node;
        other.node = nullptr;
    }
    return *this;
}

NodeRef::~NodeRef()
{
    if (node != nullptr)
        node->Release();
}

BMediaNode* NodeRef::Get() const
{
    return node;
}

BMediaNode* NodeRef::operator->() const
{
    return node;
}

NodeRef::operator bool() const
{
    return node != nullptr;
}

NodeRef FindNode(media_node_id id)
{
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto found = registry.nodes.find(id);
    if (found == registry.nodes.end())
        return NodeRef();
    return NodeRef(found->second->Acquire());
}

NodeRef FindNodeByPort(port_id port)
{
    if (port < 0)
        return NodeRef();
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (auto& [id, node] : registry.nodes) {
        if (node->ControlPort() == port)
            return NodeRef(node->Acquire());
    }
    return NodeRef();
}

bool IsConnected(const media_source& source, const media_destination& destination)
{
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    return std::any_of(registry.connections.begin(), registry.connections.end(),
        [&](const Connection& connection) {
            return connection.source == source && connection.destination == destination;
        });
}

void ForgetNode(BMediaNode* node)
{
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (!IsRegistered(registry, node))
        return;
    media_node_id id = node->ID();
    registry.nodes.erase(id);
    registry.clientReferences.erase(id);
    std::erase_if(registry.connections, [id](const Connection& connection) {
        return connection.producer == id || connection.consumer == id;
    });
}

BTimeSource* TheSystemTimeSource()
{
    return TheRegistry().systemTimeSource;
}

status_t RegisterNodeInternal(BMediaNode* node)
{
    if (node == nullptr)
        return B_BAD_VALUE;
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        if (IsRegistered(registry, node))
            return B_MEDIA_NODE_ALREADY_EXISTS;
        media_node_id id = registry.nextId++;
        NodeAccess::SetId(node, id);
        node->Acquire();
        registry.nodes[id] = node;
    }
    NodeAccess::NodeRegistered(node);
    return B_OK;
}

status_t UnregisterNodeInternal(BMediaNode* node)
{
    if (node == nullptr)
        return B_BAD_VALUE;
    std::vector<Connection> broken;
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        if (!IsRegistered(registry, node))
            return B_MEDIA_BAD_NODE;
        media_node_id id = node->ID();
        for (const Connection& connection : registry.connections) {
            if (connection.producer == id || connection.consumer == id)
                broken.push_back(connection);
        }
        std::erase_if(registry.connections, [id](const Connection& connection) {
            return connection.producer == id || connection.consumer == id;
        });
    }
    // Both ends hear of it, so no producer keeps writing into the buffers of
    // a consumer that is about to go.
    for (const Connection& connection : broken) {
        NodeRef producer = connection.producer == node->ID() ? NodeRef(node->Acquire())
                                                             : FindNode(connection.producer);
        NodeRef consumer = connection.consumer == node->ID() ? NodeRef(node->Acquire())
                                                             : FindNode(connection.consumer);
        if (auto* asProducer = producer.As<BBufferProducer>()) {
            CallNode(asProducer, [asProducer, connection] {
                NodeAccess::Disconnect(asProducer, connection.source, connection.destination);
                return B_OK;
            });
        }
        if (auto* asConsumer = consumer.As<BBufferConsumer>()) {
            CallNode(asConsumer, [asConsumer, connection] {
                NodeAccess::Disconnected(asConsumer, connection.source, connection.destination);
                return B_OK;
            });
        }
    }
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        if (!IsRegistered(registry, node))
            return B_OK;
        registry.nodes.erase(node->ID());
        registry.clientReferences.erase(node->ID());
    }
    node->Release();
    return B_OK;
}

} // namespace kits::media
