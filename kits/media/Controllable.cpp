#include "kits/media/Controllable.h"

#include "kits/media/MediaRosterPrivate.h"

BControllable::BControllable()
{
    AddNodeKind(B_CONTROLLABLE);
}

BControllable::~BControllable() = default;

BParameterWeb* BControllable::Web()
{
    std::lock_guard guard(webLock);
    return web.get();
}

status_t BControllable::SetParameterWeb(BParameterWeb* newWeb)
{
    // Ownership arrives as a raw pointer and is wrapped at once.
    std::unique_ptr<BParameterWeb> adopted(newWeb);
    if (adopted)
        adopted->owner = this;
    // The previous web is deleted outside the lock.
    std::unique_ptr<BParameterWeb> previous;
    {
        std::lock_guard guard(webLock);
        previous = std::move(web);
        web = std::move(adopted);
        webGeneration++;
    }
    return B_OK;
}

namespace kits::media {

uint32 NodeAccess::WebGeneration(BControllable* node)
{
    std::lock_guard guard(node->webLock);
    return node->webGeneration;
}

std::unique_ptr<BParameterWeb> NodeAccess::CopyWeb(BControllable* node, const media_node& media,
    uint32* generation)
{
    std::lock_guard guard(node->webLock);
    *generation = node->webGeneration;
    if (node->web == nullptr)
        return nullptr;
    return node->web->Copy(media);
}

} // namespace kits::media
