#include "kits/media/BufferGroup.h"

#include "kits/media/BufferGroupPrivate.h"
#include "kits/media/FatalPrivate.h"

#include <algorithm>
#include <chrono>

using kits::media::BufferGroupState;

namespace {

using Clock = std::chrono::steady_clock;

// How long ReclaimAllBuffers waits for buffers still out.
constexpr bigtime_t RECLAIM_TIMEOUT = 1000000;

} // namespace

namespace kits::media {

BufferGroupState::~BufferGroupState()
{
    for (BBuffer* buffer : buffers)
        DeleteBuffer(buffer);
}

std::atomic<int32> liveBuffers{0};

BBuffer* BufferGroupState::MakeBuffer(const buffer_clone_info& info, area_id clone,
    uint8* base)
{
    liveBuffers++;
    return new BBuffer(info, clone, base, this);
}

void BufferGroupState::DeleteBuffer(BBuffer* buffer)
{
    if (buffer != nullptr)
        liveBuffers--;
    delete buffer;
}

void BufferGroupState::HandOut(BBuffer* buffer)
{
    buffer->keepAlive = shared_from_this();
    buffer->header = media_header();
    buffer->header.buffer = buffer->id;
    buffer->header.owner = buffer->area;
}

void BufferGroupState::Recycle(BBuffer* buffer)
{
    std::shared_ptr<BufferGroupState> self;
    bool deleteBuffer = false;
    {
        std::lock_guard guard(lock);
        // Taking the buffer back twice would hand it to two owners at once.
        FatalUnless(buffer->keepAlive != nullptr,
            "a media buffer was recycled although it was not out");
        self = std::move(buffer->keepAlive);
        if (groupDeleted) {
            buffers.erase(std::find(buffers.begin(), buffers.end(), buffer));
            deleteBuffer = true;
        } else {
            free.push_back(buffer);
        }
    }
    returned.notify_all();
    if (deleteBuffer)
        DeleteBuffer(buffer);
}

} // namespace kits::media

BBufferGroup::BBufferGroup()
    : state(std::make_shared<BufferGroupState>())
{
}

BBufferGroup::BBufferGroup(size_t size, int32 count, uint32 placement, uint32 lock)
    : state(std::make_shared<BufferGroupState>())
{
    if (size == 0 || count <= 0) {
        initStatus = B_BAD_VALUE;
        return;
    }
    size_t stride = (size + B_PAGE_SIZE - 1) / B_PAGE_SIZE * B_PAGE_SIZE;
    void* address = nullptr;
    area_id area = create_area("buffer group", &address, placement, stride * size_t(count),
        lock, B_READ_AREA | B_WRITE_AREA);
    if (area < 0) {
        initStatus = area == B_BAD_VALUE ? B_BAD_VALUE : B_NO_MEMORY;
        return;
    }
    for (int32 i = 0; i < count && initStatus == B_OK; i++) {
        buffer_clone_info info;
        info.area = area;
        info.offset = stride * size_t(i);
        info.size = size;
        initStatus = AddBuffer(info);
    }
    // Every buffer holds a clone, which keeps the memory.
    delete_area(area);
}

BBufferGroup::~BBufferGroup()
{
    std::vector<BBuffer*> unused;
    {
        std::lock_guard guard(state->lock);
        state->groupDeleted = true;
        unused.assign(state->free.begin(), state->free.end());
        state->free.clear();
        for (BBuffer* buffer : unused)
            state->buffers.erase(std::find(state->buffers.begin(), state->buffers.end(), buffer));
    }
    for (BBuffer* buffer : unused)
        BufferGroupState::DeleteBuffer(buffer);
    // Buffers still out keep the state; each is deleted when it is recycled.
    state->returned.notify_all();
}

status_t BBufferGroup::InitCheck() const
{
    return initStatus;
}

status_t BBufferGroup::AddBuffer(const buffer_clone_info& info, BBuffer** outBuffer)
{
    if (info.size == 0)
        return B_BAD_VALUE;
    void* address = nullptr;
    area_id clone = clone_area("media buffer", &address, B_ANY_ADDRESS,
        B_READ_AREA | B_WRITE_AREA, info.area);
    if (clone < 0)
        return B_BAD_VALUE;
    area_info areaInfo;
    if (get_area_info(clone, &areaInfo) != B_OK || info.offset > areaInfo.size
        || info.size > areaInfo.size - info.offset) {
        delete_area(clone);
        return B_BAD_VALUE;
    }
    BBuffer* buffer = state->MakeBuffer(info, clone, static_cast<uint8*>(address));
    {
        std::lock_guard guard(state->lock);
        state->buffers.push_back(buffer);
        state->free.push_back(buffer);
    }
    state->returned.notify_all();
    if (outBuffer != nullptr)
        *outBuffer = buffer;
    return B_OK;
}

BBuffer* BBufferGroup::RequestBuffer(size_t size, bigtime_t timeout)
{
    std::unique_lock guard(state->lock);
    bool fits = std::any_of(state->buffers.begin(), state->buffers.end(),
        [&](BBuffer* buffer) { return buffer->SizeAvailable() >= size; });
    if (!fits)
        return nullptr;
    auto freeFitting = [&] {
        return std::find_if(state->free.begin(), state->free.end(),
            [&](BBuffer* buffer) { return buffer->SizeAvailable() >= size; });
    };
    auto available = [&] { return freeFitting() != state->free.end(); };
    if (timeout == B_INFINITE_TIMEOUT) {
        // The caller chose to wait for good: a buffer of this group comes
        // back when its holder recycles it.
        state->returned.wait(guard, available);
    } else {
        bigtime_t wait = std::clamp<bigtime_t>(timeout, 0, bigtime_t(1) << 50);
        state->returned.wait_until(guard, Clock::now() + std::chrono::microseconds(wait),
            available);
    }
    auto found = freeFitting();
    if (found == state->free.end())
        return nullptr;
    BBuffer* buffer = *found;
    state->free.erase(found);
    state->HandOut(buffer);
    return buffer;
}

status_t BBufferGroup::CountBuffers(int32* outCount) const
{
    if (outCount == nullptr)
        return B_BAD_VALUE;
    std::lock_guard guard(state->lock);
    *outCount = int32(state->buffers.size());
    return B_OK;
}

status_t BBufferGroup::GetBufferList(int32 count, BBuffer** outList) const
{
    if (count <= 0 || outList == nullptr)
        return B_BAD_VALUE;
    std::lock_guard guard(state->lock);
    for (int32 i = 0; i < count; i++)
        outList[i] = size_t(i) < state->buffers.size() ? state->buffers[size_t(i)] : nullptr;
    return B_OK;
}

status_t BBufferGroup::ReclaimAllBuffers()
{
    std::unique_lock guard(state->lock);
    bool back = state->returned.wait_for(guard, std::chrono::microseconds(RECLAIM_TIMEOUT),
        [&] { return state->free.size() == state->buffers.size(); });
    return back ? B_OK : B_TIMED_OUT;
}
