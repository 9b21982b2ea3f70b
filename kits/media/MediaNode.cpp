#include "kits/media/MediaNode.h"

#include "kits/media/MediaRosterPrivate.h"

using kits::media::NodePort;

BMediaNode::BMediaNode(const char* name)
    : name(name != nullptr ? name : ""),
      port(std::make_shared<NodePort>(kits::media::NewPortId()))
{
}

BMediaNode::~BMediaNode()
{
    kits::media::ForgetNode(this);
    port->Close();
    BTimeSource* held = nullptr;
    {
        std::lock_guard guard(timeSourceLock);
        held = timeSource;
        timeSource = nullptr;
    }
    if (held != nullptr)
        held->Release();
}

BMediaNode* BMediaNode::Acquire()
{
    references.fetch_add(1);
    return this;
}

BMediaNode* BMediaNode::Release()
{
    int32 left = references.fetch_sub(1) - 1;
    if (left > 0)
        return this;
    DeleteHook(this);
    return nullptr;
}

const char* BMediaNode::Name() const
{
    return name.c_str();
}

media_node_id BMediaNode::ID() const
{
    return id;
}

uint64 BMediaNode::Kinds() const
{
    return kinds;
}

media_node BMediaNode::Node() const
{
    media_node node;
    node.node = id;
    node.port = port->Id();
    node.kind = uint32(kinds.load());
    return node;
}

BMediaNode::run_mode BMediaNode::RunMode() const
{
    return runMode;
}

BTimeSource* BMediaNode::TimeSource() const
{
    {
        std::lock_guard guard(timeSourceLock);
        if (timeSource != nullptr)
            return timeSource;
    }
    return kits::media::TheSystemTimeSource();
}

port_id BMediaNode::ControlPort() const
{
    return port->Id();
}

status_t BMediaNode::HandleMessage(int32, const void*, size_t)
{
    return B_ERROR;
}

void BMediaNode::HandleBadMessage(int32, const void*, size_t)
{
}

void BMediaNode::AddNodeKind(uint64 kind)
{
    kinds.fetch_or(kind);
}

void BMediaNode::Preroll()
{
}

status_t BMediaNode::RequestCompleted(const media_request_info&)
{
    return B_OK;
}

status_t BMediaNode::DeleteHook(BMediaNode* node)
{
    // The one place a node is deleted through the reference count.
    delete node;
    return B_OK;
}

void BMediaNode::NodeRegistered()
{
}

void BMediaNode::Start(bigtime_t)
{
}

void BMediaNode::Stop(bigtime_t, bool)
{
}

void BMediaNode::Seek(bigtime_t, bigtime_t)
{
}

void BMediaNode::SetRunMode(run_mode)
{
}

void BMediaNode::TimeWarp(bigtime_t, bigtime_t)
{
}

void BMediaNode::SetTimeSource(BTimeSource*)
{
}

NodePort& BMediaNode::Port() const
{
    return *port;
}

namespace kits::media {

void NodeAccess::StoreTimeSource(BMediaNode* node, BTimeSource* timeSource)
{
    timeSource->Acquire();
    BTimeSource* previous = nullptr;
    {
        std::lock_guard guard(node->timeSourceLock);
        previous = node->timeSource;
        node->timeSource = timeSource;
    }
    if (previous != nullptr)
        previous->Release();
}

} // namespace kits::media
