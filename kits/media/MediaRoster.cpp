#include "kits/media/MediaRoster.h"

#include "kits/media/MediaDevices.h"
#include "kits/media/MediaRosterPrivate.h"

#include <algorithm>
#include <cstring>
#include <vector>

using kits::media::AddClientReference;
using kits::media::CallNode;
using kits::media::Connection;
using kits::media::FindNode;
using kits::media::FindNodeByPort;
using kits::media::InjectedFault;
using kits::media::NodeAccess;
using kits::media::NodeRef;
using kits::media::NodeRegistry;
using kits::media::RosterOperation;
using kits::media::TheRegistry;
using kits::media::WebCopies;

namespace {

template <class Kind>
Kind* NodeAs(const NodeRef& ref)
{
    return ref ? ref.template As<Kind>() : nullptr;
}

// Queues a hook call without waiting, to undo a step whose answer timed out.
void PostToNode(BMediaNode* node, std::function<void()> work)
{
    NodeAccess::Port(node).Post(std::move(work), nullptr);
}

void CopyName(char* to, const char* from)
{
    size_t length = strnlen(from, B_MEDIA_NAME_LENGTH - 1);
    std::memcpy(to, from, length);
    to[length] = '\0';
}

void WakeNodesTimedBy(BTimeSource* timeSource)
{
    std::vector<NodeRef> timed;
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        for (auto& [id, node] : registry.nodes) {
            if (node->TimeSource() == timeSource)
                timed.emplace_back(node->Acquire());
        }
    }
    for (NodeRef& node : timed)
        NodeAccess::Port(node.Get()).Wake();
}

} // namespace

namespace kits::media {

status_t CallNode(BMediaNode* node, std::function<status_t()> work)
{
    return NodeAccess::Port(node).Call(std::move(work), NodeCallTimeout());
}

namespace {

// The controllable node a web's parameters reach: the web's owner for a
// node's own web, else the registered node the copy was made for.
BControllable* ParameterNode(const media_node& node, BControllable* owner, NodeRef& ref)
{
    if (owner != nullptr)
        return owner;
    ref = FindNode(node.node);
    return NodeAs<BControllable>(ref);
}

} // namespace

status_t ReadParameter(const media_node& node, BControllable* owner, int32 id, void* buffer,
    size_t* ioSize, bigtime_t* when)
{
    NodeRef ref;
    BControllable* controllable = ParameterNode(node, owner, ref);
    if (controllable == nullptr)
        return B_MEDIA_BAD_NODE;
    struct Read {
        std::vector<uint8> value;
        size_t size = 0;
        bigtime_t when = 0;
    };
    auto read = std::make_shared<Read>();
    read->value.resize(*ioSize);
    read->size = *ioSize;
    status_t status = CallNode(controllable, [controllable, id, read] {
        return NodeAccess::GetParameterValue(controllable, id, &read->when, read->value.data(),
            &read->size);
    });
    if (status != B_OK)
        return status;
    size_t size = std::min(read->size, *ioSize);
    std::memcpy(buffer, read->value.data(), size);
    *ioSize = size;
    if (when != nullptr)
        *when = read->when;
    return B_OK;
}

status_t WriteParameter(const media_node& node, BControllable* owner, int32 id,
    const void* buffer, size_t size, bigtime_t when)
{
    NodeRef ref;
    BControllable* controllable = ParameterNode(node, owner, ref);
    if (controllable == nullptr)
        return B_MEDIA_BAD_NODE;
    auto* bytes = static_cast<const uint8*>(buffer);
    auto value = std::make_shared<std::vector<uint8>>(bytes, bytes + size);
    return CallNode(controllable, [controllable, id, when, value] {
        NodeAccess::SetParameterValue(controllable, id, when, value->data(), value->size());
        return B_OK;
    });
}

} // namespace kits::media

BMediaRoster::BMediaRoster() = default;

BMediaRoster::~BMediaRoster() = default;

BMediaRoster* BMediaRoster::Roster(status_t* outError)
{
    if (!kits::media::MediaServerRunning()) {
        if (outError != nullptr)
            *outError = B_MEDIA_SYSTEM_FAILURE;
        return nullptr;
    }
    // Never destroyed, like the registry it fronts.
    static BMediaRoster* roster = [] {
        TheRegistry();
        return new BMediaRoster;
    }();
    if (outError != nullptr)
        *outError = B_OK;
    return roster;
}

BMediaRoster* BMediaRoster::CurrentRoster()
{
    return Roster(nullptr);
}

status_t BMediaRoster::GetVideoInput(media_node* outNode)
{
    if (status_t status = InjectedFault(RosterOperation::GetVideoInput); status != B_OK)
        return status;
    if (outNode == nullptr)
        return B_BAD_VALUE;
    status_t status = B_OK;
    NodeRef node = kits::media::DefaultNode(MEDIA_DEFAULT_VIDEO_INPUT, &status);
    if (!node)
        return status;
    AddClientReference(node->ID());
    *outNode = node->Node();
    return B_OK;
}

status_t BMediaRoster::GetAudioOutput(media_node* outNode)
{
    if (status_t status = InjectedFault(RosterOperation::GetAudioOutput); status != B_OK)
        return status;
    if (outNode == nullptr)
        return B_BAD_VALUE;
    status_t status = B_OK;
    NodeRef node = kits::media::DefaultNode(MEDIA_DEFAULT_AUDIO_OUTPUT, &status);
    if (!node)
        return status;
    AddClientReference(node->ID());
    *outNode = node->Node();
    return B_OK;
}

status_t BMediaRoster::GetTimeSource(media_node* outNode)
{
    if (status_t status = InjectedFault(RosterOperation::GetTimeSource); status != B_OK)
        return status;
    return GetSystemTimeSource(outNode);
}

status_t BMediaRoster::GetSystemTimeSource(media_node* outNode)
{
    if (outNode == nullptr)
        return B_BAD_VALUE;
    BTimeSource* clock = kits::media::TheSystemTimeSource();
    AddClientReference(clock->ID());
    *outNode = clock->Node();
    return B_OK;
}

status_t BMediaRoster::GetNodeFor(media_node_id id, media_node* outNode)
{
    if (outNode == nullptr)
        return B_BAD_VALUE;
    NodeRef node = FindNode(id);
    if (!node)
        return B_MEDIA_BAD_NODE;
    AddClientReference(id);
    *outNode = node->Node();
    return B_OK;
}

status_t BMediaRoster::ReleaseNode(const media_node& node)
{
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto found = registry.clientReferences.find(node.node);
    if (found == registry.clientReferences.end() || found->second <= 0)
        return B_MEDIA_BAD_NODE;
    found->second--;
    return B_OK;
}

status_t BMediaRoster::RegisterNode(BMediaNode* node)
{
    if (status_t status = InjectedFault(RosterOperation::RegisterNode, {node}); status != B_OK)
        return status;
    return kits::media::RegisterNodeInternal(node);
}

status_t BMediaRoster::UnregisterNode(BMediaNode* node)
{
    if (status_t status = InjectedFault(RosterOperation::UnregisterNode, {node});
        status != B_OK) {
        return status;
    }
    return kits::media::UnregisterNodeInternal(node);
}

namespace {

// The endpoints (media_output or media_input) of a node that nothing is connected to, of `type`
// (B_MEDIA_UNKNOWN_TYPE: any). The node lists its endpoints on its control thread with `next`
// and `dispose`; `nodeFree` says whether the node itself counts one as free, `isItsConnection`
// whether one of the roster's connections uses it. At most maxCount are stored.
template <typename Endpoint, typename Node, typename Next, typename Dispose, typename NodeFree,
    typename IsItsConnection>
status_t FreeEndpoints(Node* node, Endpoint* outEndpoints, int32 maxCount, int32* outFound,
    media_type type, Next next, Dispose dispose, NodeFree nodeFree,
    IsItsConnection isItsConnection)
{
    auto found = std::make_shared<std::vector<Endpoint>>();
    status_t status = CallNode(node, [node, found, type, next, dispose, nodeFree] {
        // Bounded, in case a node never ends its list.
        constexpr int32 MAX_ENDPOINTS = 1024;
        int32 cookie = 0;
        Endpoint endpoint;
        for (int32 i = 0; i < MAX_ENDPOINTS; i++) {
            if (next(node, &cookie, &endpoint) != B_OK)
                break;
            const bool typeFits = type == B_MEDIA_UNKNOWN_TYPE || endpoint.format.type == type;
            if (nodeFree(endpoint) && typeFits)
                found->push_back(endpoint);
            endpoint = Endpoint();
        }
        dispose(node, cookie);
        return B_OK;
    });
    if (status != B_OK)
        return status;
    // Only now cut to maxCount, so that connected endpoints listed first take no place.
    int32 count = 0;
    for (const Endpoint& endpoint : *found) {
        if (count == maxCount)
            break;
        bool connected = false;
        {
            NodeRegistry& registry = TheRegistry();
            std::lock_guard guard(registry.lock);
            connected = std::any_of(registry.connections.begin(), registry.connections.end(),
                [&](const Connection& c) { return isItsConnection(endpoint, c); });
        }
        if (!connected)
            outEndpoints[count++] = endpoint;
    }
    *outFound = count;
    return B_OK;
}

} // namespace

status_t BMediaRoster::GetFreeOutputsFor(const media_node& node, media_output* outOutputs,
    int32 maxCount, int32* outFound, media_type type)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::GetFreeOutputsFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (outOutputs == nullptr || outFound == nullptr || maxCount <= 0)
        return B_BAD_VALUE;
    auto* producer = NodeAs<BBufferProducer>(ref);
    if (producer == nullptr)
        return B_MEDIA_BAD_NODE;
    return FreeEndpoints(producer, outOutputs, maxCount, outFound, type,
        NodeAccess::GetNextOutput,
        [](BBufferProducer* p, int32 cookie) { NodeAccess::DisposeOutputCookie(p, cookie); },
        [](const media_output& o) { return o.destination == media_destination::null; },
        [](const media_output& o, const Connection& c) { return c.source == o.source; });
}

status_t BMediaRoster::GetFreeInputsFor(const media_node& node, media_input* outInputs,
    int32 maxCount, int32* outFound, media_type type)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::GetFreeInputsFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (outInputs == nullptr || outFound == nullptr || maxCount <= 0)
        return B_BAD_VALUE;
    auto* consumer = NodeAs<BBufferConsumer>(ref);
    if (consumer == nullptr)
        return B_MEDIA_BAD_NODE;
    return FreeEndpoints(consumer, outInputs, maxCount, outFound, type,
        NodeAccess::GetNextInput, NodeAccess::DisposeInputCookie,
        [](const media_input& i) { return i.source == media_source::null; },
        [](const media_input& i, const Connection& c) {
            return c.destination == i.destination;
        });
}

namespace {

// Everything the connection hooks touch lives here, so a hook answering after
// its time-out writes into memory that still exists.
struct Negotiation {
    media_source requested;
    media_source source;
    media_destination destination;
    media_format format;
    media_input input;
    char name[B_MEDIA_NAME_LENGTH] = {};
};

// The producer proposes, the consumer accepts and the producer prepares the
// format. On failure nothing stays reserved: a preparation whose answer timed
// out is abandoned should it still happen.
status_t Negotiate(BBufferProducer* producer, BBufferConsumer* consumer,
    const std::shared_ptr<Negotiation>& state)
{
    status_t status = CallNode(producer, [producer, state] {
        return NodeAccess::FormatProposal(producer, state->requested, &state->format);
    });
    if (status != B_OK)
        return status;
    status = CallNode(consumer, [consumer, state] {
        return NodeAccess::AcceptFormat(consumer, state->destination, &state->format);
    });
    if (status != B_OK)
        return status;
    status = CallNode(producer, [producer, state] {
        return NodeAccess::PrepareToConnect(producer, state->requested, state->destination,
            &state->format, &state->source, state->name);
    });
    if (status == B_TIMED_OUT) {
        PostToNode(producer, [producer, state] {
            NodeAccess::Connect(producer, B_TIMED_OUT, state->source, state->destination,
                state->format, state->name);
        });
    }
    return status;
}

// Releases a prepared connection the consumer did not take: the consumer
// forgets it should its answer still come, and the producer hears `failure`.
void AbandonPrepared(BBufferProducer* producer, BBufferConsumer* consumer,
    const std::shared_ptr<Negotiation>& state, status_t failure)
{
    if (failure == B_TIMED_OUT) {
        PostToNode(consumer, [consumer, state] {
            NodeAccess::Disconnected(consumer, state->source, state->destination);
        });
    }
    CallNode(producer, [producer, state, failure] {
        NodeAccess::Connect(producer, failure, state->source, state->destination,
            state->format, state->name);
        return B_OK;
    });
}

// Undoes a recorded connection whose producer did not answer its Connect.
void RollBack(BBufferProducer* producer, BBufferConsumer* consumer, const Connection& connection)
{
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        std::erase_if(registry.connections, [&](const Connection& c) {
            return c.source == connection.source && c.destination == connection.destination;
        });
    }
    PostToNode(producer, [producer, connection] {
        NodeAccess::Disconnect(producer, connection.source, connection.destination);
    });
    PostToNode(consumer, [consumer, connection] {
        NodeAccess::Disconnected(consumer, connection.source, connection.destination);
    });
}

// The consumer takes the prepared connection, the roster records it, and the
// producer completes it; any failure is undone before it is returned.
status_t Commit(BBufferProducer* producer, BBufferConsumer* consumer,
    const std::shared_ptr<Negotiation>& state)
{
    status_t status = CallNode(consumer, [consumer, state] {
        return NodeAccess::Connected(consumer, state->source, state->destination, state->format,
            &state->input);
    });
    if (status != B_OK) {
        AbandonPrepared(producer, consumer, state, status);
        return status;
    }
    // Recorded before the producer hears of it, so it may send at once.
    const Connection connection{state->source, state->destination, producer->ID(),
        consumer->ID()};
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        registry.connections.push_back(connection);
    }
    status = CallNode(producer, [producer, state] {
        NodeAccess::Connect(producer, B_OK, state->source, state->destination, state->format,
            state->name);
        return B_OK;
    });
    if (status != B_OK)
        RollBack(producer, consumer, connection);
    return status;
}

} // namespace

status_t BMediaRoster::Connect(const media_source& from, const media_destination& to,
    media_format* ioFormat, media_output* outOutput, media_input* outInput)
{
    NodeRef producerRef = FindNodeByPort(from.port);
    NodeRef consumerRef = FindNodeByPort(to.port);
    if (status_t status = InjectedFault(RosterOperation::Connect,
            {producerRef.Get(), consumerRef.Get()});
        status != B_OK) {
        return status;
    }
    if (ioFormat == nullptr || outOutput == nullptr || outInput == nullptr)
        return B_BAD_VALUE;
    auto* producer = NodeAs<BBufferProducer>(producerRef);
    if (producer == nullptr)
        return B_MEDIA_BAD_SOURCE;
    auto* consumer = NodeAs<BBufferConsumer>(consumerRef);
    if (consumer == nullptr)
        return B_MEDIA_BAD_DESTINATION;
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        for (const Connection& connection : registry.connections) {
            if (connection.source == from || connection.destination == to)
                return B_MEDIA_ALREADY_CONNECTED;
        }
    }

    auto state = std::make_shared<Negotiation>();
    state->requested = from;
    state->source = from;
    state->destination = to;
    state->format = *ioFormat;
    if (status_t status = Negotiate(producer, consumer, state); status != B_OK)
        return status;
    if (status_t status = Commit(producer, consumer, state); status != B_OK)
        return status;

    media_output output;
    output.node = producer->Node();
    output.source = state->source;
    output.destination = state->destination;
    output.format = state->format;
    CopyName(output.name, state->name);
    media_input input = state->input;
    input.node = consumer->Node();
    input.source = state->source;
    input.destination = state->destination;
    input.format = state->format;
    *outOutput = output;
    *outInput = input;
    *ioFormat = state->format;
    return B_OK;
}

status_t BMediaRoster::Disconnect(media_node_id sourceNode, const media_source& source,
    media_node_id destinationNode, const media_destination& destination)
{
    NodeRef producerRef = FindNode(sourceNode);
    NodeRef consumerRef = FindNode(destinationNode);
    if (status_t status = InjectedFault(RosterOperation::Disconnect,
            {producerRef.Get(), consumerRef.Get()});
        status != B_OK) {
        return status;
    }
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        auto found = std::find_if(registry.connections.begin(), registry.connections.end(),
            [&](const Connection& c) {
                return c.source == source && c.destination == destination
                    && c.producer == sourceNode && c.consumer == destinationNode;
            });
        if (found == registry.connections.end())
            return B_MEDIA_NOT_CONNECTED;
        registry.connections.erase(found);
    }
    status_t result = B_OK;
    if (auto* producer = NodeAs<BBufferProducer>(producerRef)) {
        result = CallNode(producer, [producer, source, destination] {
            NodeAccess::Disconnect(producer, source, destination);
            return B_OK;
        });
    }
    if (auto* consumer = NodeAs<BBufferConsumer>(consumerRef)) {
        status_t status = CallNode(consumer, [consumer, source, destination] {
            NodeAccess::Disconnected(consumer, source, destination);
            return B_OK;
        });
        if (result == B_OK)
            result = status;
    }
    return result;
}

status_t BMediaRoster::GetParameterWebFor(const media_node& node, BParameterWeb** outWeb)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::GetParameterWebFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (outWeb == nullptr)
        return B_BAD_VALUE;
    auto* controllable = NodeAs<BControllable>(ref);
    if (controllable == nullptr)
        return B_MEDIA_BAD_NODE;
    media_node_id id = ref->ID();
    uint32 generation = NodeAccess::WebGeneration(controllable);
    {
        NodeRegistry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        auto found = registry.webs.find(id);
        if (found != registry.webs.end() && found->second.generation == generation) {
            *outWeb = found->second.current;
            return B_OK;
        }
    }
    struct Copy {
        std::unique_ptr<BParameterWeb> web;
        uint32 generation = 0;
    };
    auto copy = std::make_shared<Copy>();
    media_node media = ref->Node();
    status_t status = CallNode(controllable, [controllable, copy, media] {
        copy->web = NodeAccess::CopyWeb(controllable, media, &copy->generation);
        return B_OK;
    });
    if (status != B_OK)
        return status;
    NodeRegistry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    WebCopies& copies = registry.webs[id];
    copies.generation = copy->generation;
    copies.current = copy->web.get();
    if (copy->web)
        copies.all.push_back(std::move(copy->web));
    *outWeb = copies.current;
    return B_OK;
}

status_t BMediaRoster::SetTimeSourceFor(media_node_id node, media_node_id timeSource)
{
    NodeRef ref = FindNode(node);
    if (status_t status = InjectedFault(RosterOperation::SetTimeSourceFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (!ref)
        return B_MEDIA_BAD_NODE;
    NodeRef clockRef = FindNode(timeSource);
    auto* clock = NodeAs<BTimeSource>(clockRef);
    if (clock == nullptr)
        return B_MEDIA_BAD_NODE;
    NodeAccess::StoreTimeSource(ref.Get(), clock);
    BMediaNode* target = ref.Get();
    status_t status = CallNode(target, [target, clock] {
        NodeAccess::SetTimeSource(target, clock);
        return B_OK;
    });
    // Its queued events now fall due at other real times.
    NodeAccess::Port(target).Wake();
    return status;
}

BTimeSource* BMediaRoster::MakeTimeSourceFor(const media_node& forNode)
{
    NodeRef ref = FindNode(forNode.node);
    if (!ref)
        return nullptr;
    BTimeSource* clock = ref->TimeSource();
    clock->Acquire();
    return clock;
}

namespace {

status_t TimeSourceOperation(const media_node& node, RosterOperation operation,
    const time_source_op_info& op)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(operation, {ref.Get()}); status != B_OK)
        return status;
    auto* clock = NodeAs<BTimeSource>(ref);
    if (clock == nullptr)
        return B_MEDIA_BAD_NODE;
    status_t status = CallNode(clock, [clock, op] { return NodeAccess::TimeSourceOp(clock, op); });
    WakeNodesTimedBy(clock);
    return status;
}

} // namespace

status_t BMediaRoster::StartTimeSource(const media_node& timeSource, bigtime_t atRealTime)
{
    time_source_op_info op;
    op.op = time_source_op_info::B_TIMESOURCE_START;
    op.real_time = atRealTime;
    return TimeSourceOperation(timeSource, RosterOperation::StartTimeSource, op);
}

status_t BMediaRoster::SeekTimeSource(const media_node& timeSource,
    bigtime_t toPerformanceTime, bigtime_t atRealTime)
{
    time_source_op_info op;
    op.op = time_source_op_info::B_TIMESOURCE_SEEK;
    op.real_time = atRealTime;
    op.performance_time = toPerformanceTime;
    return TimeSourceOperation(timeSource, RosterOperation::SeekTimeSource, op);
}

status_t BMediaRoster::StopTimeSource(const media_node& timeSource, bigtime_t atRealTime,
    bool immediate)
{
    time_source_op_info op;
    op.op = immediate ? time_source_op_info::B_TIMESOURCE_STOP_IMMEDIATELY
                      : time_source_op_info::B_TIMESOURCE_STOP;
    op.real_time = atRealTime;
    return TimeSourceOperation(timeSource, RosterOperation::StopTimeSource, op);
}

status_t BMediaRoster::GetLatencyFor(const media_node& producerNode, bigtime_t* outLatency)
{
    NodeRef ref = FindNode(producerNode.node);
    if (status_t status = InjectedFault(RosterOperation::GetLatencyFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (outLatency == nullptr)
        return B_BAD_VALUE;
    auto* producer = NodeAs<BBufferProducer>(ref);
    if (producer == nullptr)
        return B_MEDIA_BAD_NODE;
    auto latency = std::make_shared<bigtime_t>(0);
    status_t status = CallNode(producer, [producer, latency] {
        return NodeAccess::GetLatency(producer, latency.get());
    });
    if (status == B_OK)
        *outLatency = *latency;
    return status;
}

status_t BMediaRoster::GetInitialLatencyFor(const media_node& producerNode,
    bigtime_t* outLatency, uint32* outFlags)
{
    NodeRef ref = FindNode(producerNode.node);
    if (status_t status = InjectedFault(RosterOperation::GetInitialLatencyFor, {ref.Get()});
        status != B_OK) {
        return status;
    }
    if (outLatency == nullptr)
        return B_BAD_VALUE;
    auto* producer = NodeAs<BBufferProducer>(ref);
    if (producer == nullptr)
        return B_MEDIA_BAD_NODE;
    struct Answer {
        bigtime_t latency = 0;
        uint32 flags = 0;
    };
    auto answer = std::make_shared<Answer>();
    status_t status = CallNode(producer, [producer, answer] {
        return NodeAccess::GetInitialLatency(producer, &answer->latency, &answer->flags);
    });
    if (status != B_OK)
        return status;
    *outLatency = answer->latency;
    if (outFlags != nullptr)
        *outFlags = answer->flags;
    return B_OK;
}

status_t BMediaRoster::SetProducerRunModeDelay(const media_node& node, bigtime_t delay,
    BMediaNode::run_mode mode)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::SetProducerRunModeDelay, {ref.Get()});
        status != B_OK) {
        return status;
    }
    auto* producer = NodeAs<BBufferProducer>(ref);
    if (producer == nullptr)
        return B_MEDIA_BAD_NODE;
    if (mode < B_OFFLINE || mode > B_RECORDING)
        return B_BAD_VALUE;
    NodeAccess::StoreRunModeDelay(producer, delay);
    NodeAccess::StoreRunMode(producer, mode);
    return CallNode(producer, [producer, mode] {
        NodeAccess::SetRunMode(producer, mode);
        return B_OK;
    });
}

status_t BMediaRoster::SetRunModeNode(const media_node& node, BMediaNode::run_mode mode)
{
    NodeRef ref = FindNode(node.node);
    if (!ref)
        return B_MEDIA_BAD_NODE;
    if (mode < B_OFFLINE || mode > B_RECORDING)
        return B_BAD_VALUE;
    BMediaNode* target = ref.Get();
    NodeAccess::StoreRunMode(target, mode);
    return CallNode(target, [target, mode] {
        NodeAccess::SetRunMode(target, mode);
        return B_OK;
    });
}

status_t BMediaRoster::PrerollNode(const media_node& node)
{
    NodeRef ref = FindNode(node.node);
    if (!ref)
        return B_MEDIA_BAD_NODE;
    BMediaNode* target = ref.Get();
    return CallNode(target, [target] {
        NodeAccess::Preroll(target);
        return B_OK;
    });
}

status_t BMediaRoster::StartNode(const media_node& node, bigtime_t atPerformanceTime)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::StartNode, {ref.Get()}); status != B_OK)
        return status;
    if (!ref)
        return B_MEDIA_BAD_NODE;
    BMediaNode* target = ref.Get();
    return CallNode(target, [target, atPerformanceTime] {
        NodeAccess::Start(target, atPerformanceTime);
        return B_OK;
    });
}

status_t BMediaRoster::StopNode(const media_node& node, bigtime_t atPerformanceTime,
    bool immediate)
{
    NodeRef ref = FindNode(node.node);
    if (status_t status = InjectedFault(RosterOperation::StopNode, {ref.Get()}); status != B_OK)
        return status;
    if (!ref)
        return B_MEDIA_BAD_NODE;
    BMediaNode* target = ref.Get();
    return CallNode(target, [target, atPerformanceTime, immediate] {
        NodeAccess::Stop(target, atPerformanceTime, immediate);
        return B_OK;
    });
}

status_t BMediaRoster::SeekNode(const media_node& node, bigtime_t toMediaTime,
    bigtime_t atPerformanceTime)
{
    NodeRef ref = FindNode(node.node);
    if (!ref)
        return B_MEDIA_BAD_NODE;
    BMediaNode* target = ref.Get();
    return CallNode(target, [target, toMediaTime, atPerformanceTime] {
        NodeAccess::Seek(target, toMediaTime, atPerformanceTime);
        return B_OK;
    });
}
