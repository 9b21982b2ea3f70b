#pragma once
// BMediaNode: the base of every media node, with its control port, time source and references.

#include "kits/media/MediaDefs.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class BMediaAddOn;
class BMediaRoster;
class BTimeSource;

namespace kits::media {
class NodePort;
struct NodeAccess;
}

// A node has a control port from construction: an in-process request queue.
// Once the node's control thread serves it (BMediaEventLooper::Run), every hook
// below runs on that thread, one at a time, called by the roster through the
// port; before that the roster calls hooks directly on the calling thread.
// NodeRegistered runs on the thread that called BMediaRoster::RegisterNode.
// No kit lock is held while a hook runs.
//
// References: the creator holds the first one; the roster holds another while
// the node is registered. Release() dropping the last calls DeleteHook, which
// deletes the node. A creator may instead delete its node directly once it is
// unregistered (and its control thread has quit); nothing else may use it then.
class BMediaNode {
public:
    using run_mode = media_run_mode;
    using enum media_run_mode;

    BMediaNode(const BMediaNode&) = delete;
    BMediaNode& operator=(const BMediaNode&) = delete;

    BMediaNode* Acquire();
    // Returns null when this dropped the last reference (the node is gone).
    BMediaNode* Release();

    const char* Name() const;
    // -1 until the node is registered.
    media_node_id ID() const;
    uint64 Kinds() const;
    media_node Node() const;
    run_mode RunMode() const;
    // The node's time source: the system time source unless the roster was told
    // otherwise. Valid while the node lives; not an added reference.
    BTimeSource* TimeSource() const;
    port_id ControlPort() const;

    // The add-on that made this node and the node's id within it; null for
    // nodes an application creates itself.
    virtual BMediaAddOn* AddOn(int32* internalId) const = 0;

protected:
    explicit BMediaNode(const char* name);
    // Removes the node from the roster if it is still registered and closes its port.
    virtual ~BMediaNode();

    // Messages outside the node protocol. Returns B_OK when the message was
    // understood; the default understands none.
    virtual status_t HandleMessage(int32 message, const void* data, size_t size);
    // For a message no class understood: it is dropped.
    void HandleBadMessage(int32 message, const void* data, size_t size);
    void AddNodeKind(uint64 kind);

    virtual void Preroll();
    virtual status_t RequestCompleted(const media_request_info& info);
    // Called when the last reference goes; the default deletes the node.
    virtual status_t DeleteHook(BMediaNode* node);
    virtual void NodeRegistered();

    // Transport hooks, called on the control thread; the defaults do nothing.
    // Times are performance times of the node's time source (microseconds).
    virtual void Start(bigtime_t performanceTime);
    virtual void Stop(bigtime_t performanceTime, bool immediate);
    virtual void Seek(bigtime_t mediaTime, bigtime_t performanceTime);
    virtual void SetRunMode(run_mode mode);
    virtual void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime);
    // Tells the node its time source changed; TimeSource() already returns it.
    virtual void SetTimeSource(BTimeSource* timeSource);

    // The control port; the event looper serves it.
    kits::media::NodePort& Port() const;

private:
    friend struct kits::media::NodeAccess;

    std::string name;
    std::shared_ptr<kits::media::NodePort> port;
    std::atomic<int32> references{1};
    std::atomic<media_node_id> id{-1};
    std::atomic<uint64> kinds{0};
    std::atomic<run_mode> runMode{B_INCREASE_LATENCY};
    mutable std::mutex timeSourceLock;
    // Guarded by timeSourceLock. A reference is held on it.
    BTimeSource* timeSource = nullptr;
};
