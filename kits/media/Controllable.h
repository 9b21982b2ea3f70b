#pragma once
// BControllable: a node whose parameters are described by a parameter web.

#include "kits/media/MediaNode.h"

#include <memory>
#include <mutex>

class BParameterWeb;

// GetParameterValue and SetParameterValue run on the node's control thread
// (see BMediaNode), called when a parameter of a web handed out by the roster,
// or of the node's own web, is read or written. No kit lock is held.
class BControllable : public virtual BMediaNode {
public:
    // The node's own web; owned by the node, valid until it is replaced. Other
    // threads get a copy from BMediaRoster::GetParameterWebFor instead.
    BParameterWeb* Web();

protected:
    BControllable();
    ~BControllable() override;

    // Takes ownership of `web` (null removes it), deleting the previous one.
    // Called before Run() or on the control thread.
    status_t SetParameterWeb(BParameterWeb* web);

    // Copies the value of parameter `id` into `value`, whose capacity is
    // *ioSize bytes, and sets *ioSize to the bytes written and *lastChange to
    // the time of the last change.
    virtual status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
        size_t* ioSize) = 0;
    // Sets parameter `id` to `size` bytes of `value`, as of time `when`.
    virtual void SetParameterValue(int32 id, bigtime_t when, const void* value,
        size_t size) = 0;

private:
    friend struct kits::media::NodeAccess;

    std::mutex webLock;
    // Guarded by webLock.
    std::unique_ptr<BParameterWeb> web;
    // Guarded by webLock. Counts replacements of the web, so copies handed out
    // can tell that they are out of date.
    uint32 webGeneration = 0;
};
