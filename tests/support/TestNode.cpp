#include "tests/support/TestNode.h"

#include "kits/media/TimeSource.h"
#include "tests/support/Await.h"

#include <chrono>

namespace test_support {

void Blocker::BlockControlThread(BMediaEventLooper* node)
{
    {
        std::lock_guard guard(lock);
        released = false;
    }
    node->EventQueue()->AddEvent(media_timed_event(node->TimeSource()->Now(), EVENT_BLOCK));
    Await([this] { return Holding(); });
}

void Blocker::Hold()
{
    std::unique_lock guard(lock);
    holding = true;
    changed.notify_all();
    changed.wait_for(guard, std::chrono::seconds(10), [this] { return released; });
    holding = false;
}

void Blocker::Release()
{
    {
        std::lock_guard guard(lock);
        released = true;
    }
    changed.notify_all();
}

bool Blocker::Holding()
{
    std::lock_guard guard(lock);
    return holding;
}

BMediaAddOn* TestNode::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

void TestNode::Note(const std::string& line)
{
    {
        std::lock_guard guard(lock);
        log.push_back(line);
    }
    changed.notify_all();
}

} // namespace test_support
