#include "kits/media/MediaDevices.h"

#include "kits/media/MediaRosterPrivate.h"
#include "kits/media/MediaTestHooks.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

struct Factory {
    int32 kind;
    std::function<BMediaNode*()> make;
    int32 priority;
    int64 order;
};

// Lock order: `making` before `lock`; neither is held while a node's hook
// runs, except that `making` is held while a factory makes and registers its
// node (NodeRegistered), which must not ask for a default node.
struct Devices {
    std::mutex making;
    std::mutex lock;
    // Guarded by lock.
    std::vector<Factory> factories;
    int64 nextOrder = 0;
    // Guarded by lock. The default nodes, each with the creator's reference.
    std::map<int32, BMediaNode*> made;
    bool exitHandlerInstalled = false;
};

Devices& TheDevices()
{
    // Never destroyed; the default nodes are released by an exit handler.
    static Devices* devices = new Devices;
    return *devices;
}

void ReleaseDefaultNodes()
{
    Devices& devices = TheDevices();
    std::lock_guard making(devices.making);
    std::map<int32, BMediaNode*> nodes;
    {
        std::lock_guard guard(devices.lock);
        nodes.swap(devices.made);
    }
    for (auto& [kind, node] : nodes) {
        kits::media::UnregisterNodeInternal(node);
        node->Release();
    }
}

} // namespace

status_t media_register_default_node(int32 kind, std::function<BMediaNode*()> factory,
    int32 priority)
{
    if ((kind != MEDIA_DEFAULT_VIDEO_INPUT && kind != MEDIA_DEFAULT_AUDIO_OUTPUT) || !factory)
        return B_BAD_VALUE;
    Devices& devices = TheDevices();
    std::lock_guard guard(devices.lock);
    devices.factories.push_back(Factory{kind, std::move(factory), priority,
        devices.nextOrder++});
    return B_OK;
}

namespace kits::media {

NodeRef DefaultNode(int32 kind, status_t* outStatus)
{
    Devices& devices = TheDevices();
    std::lock_guard making(devices.making);
    std::vector<Factory> candidates;
    {
        std::lock_guard guard(devices.lock);
        auto found = devices.made.find(kind);
        if (found != devices.made.end()) {
            *outStatus = B_OK;
            return NodeRef(found->second->Acquire());
        }
        for (const Factory& factory : devices.factories) {
            if (factory.kind == kind)
                candidates.push_back(factory);
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Factory& a, const Factory& b) {
        return a.priority != b.priority ? a.priority > b.priority : a.order > b.order;
    });
    for (const Factory& factory : candidates) {
        BMediaNode* node = factory.make();
        if (node == nullptr)
            continue;
        if (RegisterNodeInternal(node) != B_OK) {
            node->Release();
            continue;
        }
        std::lock_guard guard(devices.lock);
        devices.made[kind] = node;
        if (!devices.exitHandlerInstalled) {
            // Quits the default nodes' threads before the statics they may
            // use are destroyed.
            std::atexit(ReleaseDefaultNodes);
            devices.exitHandlerInstalled = true;
        }
        *outStatus = B_OK;
        return NodeRef(node->Acquire());
    }
    *outStatus = B_MEDIA_BAD_NODE;
    return NodeRef();
}

void ResetDefaultNodes()
{
    {
        Devices& devices = TheDevices();
        std::lock_guard guard(devices.lock);
        devices.factories.clear();
    }
    ReleaseDefaultNodes();
}

} // namespace kits::media
