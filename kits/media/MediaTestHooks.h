#pragma once
// Fault injection and resets for tests of code that uses the media kit.

#include "kits/media/MediaDefs.h"

#include <string>

namespace kits::media {

enum class RosterOperation {
    GetVideoInput,
    GetAudioOutput,
    GetTimeSource,
    RegisterNode,
    UnregisterNode,
    GetFreeOutputsFor,
    GetFreeInputsFor,
    Connect,
    Disconnect,
    GetParameterWebFor,
    SetTimeSourceFor,
    GetLatencyFor,
    GetInitialLatencyFor,
    SetProducerRunModeDelay,
    StartTimeSource,
    SeekTimeSource,
    StopTimeSource,
    StartNode,
    StopNode,
};

// Makes `operation` fail with `status` before it does anything. With a node
// id (not -1) or a node name (not empty) only calls about that node fail: for
// Connect and Disconnect either end, for SetTimeSourceFor the node being set,
// for RegisterNode the name only. `times` limits how many calls fail (-1: all).
// A later fault for the same operation replaces the earlier one.
void FailRosterOperation(RosterOperation operation, status_t status,
    media_node_id node = -1, const std::string& nodeName = std::string(), int32 times = -1);
// Makes BMediaRoster::Roster() report that no media service runs.
void SetMediaServerRunning(bool running);
// How long the roster waits for a node's hook, microseconds (default 3 s).
void SetNodeCallTimeout(bigtime_t timeout);
// Clears every fault, restores the media service and the call time-out.
void ResetMediaFaults();
// Buffers of every buffer group that have not been deleted yet: 0 once every group is gone
// and every buffer handed out has come back.
int32 LiveBufferCount();
// Forgets the default-node factories and releases the default nodes made so far.
void ResetDefaultNodes();

} // namespace kits::media
