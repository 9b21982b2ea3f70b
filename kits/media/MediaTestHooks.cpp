#include "kits/media/MediaTestHooks.h"

#include "kits/media/BufferGroupPrivate.h"
#include "kits/media/MediaRosterPrivate.h"

#include <map>

namespace kits::media {

namespace {

// Long enough for a loaded machine, short enough that a hung node only costs
// a few seconds.
constexpr bigtime_t DEFAULT_CALL_TIMEOUT = 3000000;

struct Fault {
    status_t status;
    media_node_id node;
    std::string nodeName;
    int32 times;
};

struct FaultTable {
    std::mutex lock;
    // Guarded by lock.
    std::map<RosterOperation, Fault> faults;
    bool serverRunning = true;
    bigtime_t callTimeout = DEFAULT_CALL_TIMEOUT;
};

FaultTable& Faults()
{
    // Never destroyed: nodes may still call the roster while statics go away.
    static FaultTable* table = new FaultTable;
    return *table;
}

bool Matches(const Fault& fault, const BMediaNode* node)
{
    if (fault.node != -1 && (node == nullptr || node->ID() != fault.node))
        return false;
    return fault.nodeName.empty() || (node != nullptr && fault.nodeName == node->Name());
}

} // namespace

int32 LiveBufferCount()
{
    return liveBuffers;
}

void FailRosterOperation(RosterOperation operation, status_t status, media_node_id node,
    const std::string& nodeName, int32 times)
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    table.faults[operation] = Fault{status, node, nodeName, times};
}

void SetMediaServerRunning(bool running)
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    table.serverRunning = running;
}

void SetNodeCallTimeout(bigtime_t timeout)
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    table.callTimeout = timeout;
}

void ResetMediaFaults()
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    table.faults.clear();
    table.serverRunning = true;
    table.callTimeout = DEFAULT_CALL_TIMEOUT;
}

bigtime_t NodeCallTimeout()
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    return table.callTimeout;
}

bool MediaServerRunning()
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    return table.serverRunning;
}

status_t InjectedFault(RosterOperation operation, std::initializer_list<const BMediaNode*> nodes)
{
    FaultTable& table = Faults();
    std::lock_guard guard(table.lock);
    auto found = table.faults.find(operation);
    if (found == table.faults.end() || found->second.times == 0)
        return B_OK;
    Fault& fault = found->second;
    bool filtered = fault.node != -1 || !fault.nodeName.empty();
    bool hit = !filtered;
    for (const BMediaNode* node : nodes)
        hit = hit || Matches(fault, node);
    if (!hit)
        return B_OK;
    if (fault.times > 0)
        fault.times--;
    return fault.status;
}

} // namespace kits::media
