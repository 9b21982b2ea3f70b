#pragma once
// BMediaRoster: the process's media graph — nodes, connections, time sources and parameters.

#include "kits/media/MediaNode.h"

class BParameterWeb;
class BTimeSource;

// One roster per process (Roster()). Its calls may be made from any thread;
// each call that involves a node's hook runs the hook on that node's control
// thread and waits for it at most a few seconds, returning B_TIMED_OUT when
// the node does not answer (a node without a control thread has its hooks run
// on the calling thread). No roster lock is held while a hook runs.
//
// The roster has no devices of its own: the default video input and audio
// output come from factories registered with media_register_default_node
// (kits/media/MediaDevices.h), made on first request and kept for the life
// of the process.
class BMediaRoster {
public:
    // The roster, or null (and B_MEDIA_SYSTEM_FAILURE in *outError) when no
    // media service runs.
    static BMediaRoster* Roster(status_t* outError = nullptr);
    // The roster if the media service runs, without reporting why not.
    static BMediaRoster* CurrentRoster();

    BMediaRoster(const BMediaRoster&) = delete;
    BMediaRoster& operator=(const BMediaRoster&) = delete;

    // The default nodes, made and registered on first request. Each call adds
    // a reference that ReleaseNode drops (the roster keeps its own).
    // B_MEDIA_BAD_NODE when no factory of that kind is registered or none
    // made a node.
    status_t GetVideoInput(media_node* outNode);
    status_t GetAudioOutput(media_node* outNode);
    // The system time source: running from the start, performance time equal
    // to real time until it is seeked.
    status_t GetTimeSource(media_node* outNode);
    status_t GetSystemTimeSource(media_node* outNode);
    // Adds a reference to the node `id`.
    status_t GetNodeFor(media_node_id id, media_node* outNode);
    status_t ReleaseNode(const media_node& node);

    // Gives the node an id and the system time source, holds a reference, and
    // calls its NodeRegistered on this thread.
    status_t RegisterNode(BMediaNode* node);
    // Disconnects the node's connections, forgets it and drops the roster's
    // reference. The node's own hooks may still run until its thread quits.
    status_t UnregisterNode(BMediaNode* node);

    // Outputs (inputs) of the node not connected to anything, of `type`
    // (B_MEDIA_UNKNOWN_TYPE: any type); *outFound of them are stored.
    status_t GetFreeOutputsFor(const media_node& node, media_output* outOutputs, int32 maxCount,
        int32* outFound, media_type type = B_MEDIA_UNKNOWN_TYPE);
    status_t GetFreeInputsFor(const media_node& node, media_input* outInputs, int32 maxCount,
        int32* outFound, media_type type = B_MEDIA_UNKNOWN_TYPE);

    // Negotiates `ioFormat` (producer FormatProposal, consumer AcceptFormat,
    // producer PrepareToConnect) and connects (consumer Connected, producer
    // Connect). On failure a prepared producer is told Connect(error) and
    // nothing stays connected. `ioFormat` receives the final format.
    status_t Connect(const media_source& from, const media_destination& to,
        media_format* ioFormat, media_output* outOutput, media_input* outInput);
    // Tells the producer (Disconnect) and then the consumer (Disconnected).
    // B_MEDIA_NOT_CONNECTED when the two are not connected.
    status_t Disconnect(media_node_id sourceNode, const media_source& source,
        media_node_id destinationNode, const media_destination& destination);

    // A copy of the node's web whose parameters reach the node. The roster
    // owns it and keeps it for the life of the process, so the pointer stays
    // valid; while the node's web is unchanged every call returns the same
    // copy. *outWeb is null (with B_OK) for a controllable node without a web.
    status_t GetParameterWebFor(const media_node& node, BParameterWeb** outWeb);

    status_t SetTimeSourceFor(media_node_id node, media_node_id timeSource);
    // A reference to the node's time source; the caller Release()s it.
    BTimeSource* MakeTimeSourceFor(const media_node& forNode);
    status_t StartTimeSource(const media_node& timeSource, bigtime_t atRealTime);
    status_t SeekTimeSource(const media_node& timeSource, bigtime_t toPerformanceTime,
        bigtime_t atRealTime);
    status_t StopTimeSource(const media_node& timeSource, bigtime_t atRealTime,
        bool immediate = false);

    // The producer's total latency (its GetLatency).
    status_t GetLatencyFor(const media_node& producer, bigtime_t* outLatency);
    status_t GetInitialLatencyFor(const media_node& producer, bigtime_t* outLatency,
        uint32* outFlags = nullptr);
    status_t SetProducerRunModeDelay(const media_node& node, bigtime_t delay,
        BMediaNode::run_mode mode = B_RECORDING);
    status_t SetRunModeNode(const media_node& node, BMediaNode::run_mode mode);
    status_t PrerollNode(const media_node& node);
    // Times are performance times of the node's time source.
    status_t StartNode(const media_node& node, bigtime_t atPerformanceTime);
    status_t StopNode(const media_node& node, bigtime_t atPerformanceTime,
        bool immediate = false);
    status_t SeekNode(const media_node& node, bigtime_t toMediaTime,
        bigtime_t atPerformanceTime = 0);

private:
    BMediaRoster();
    ~BMediaRoster();

    friend struct kits::media::NodeAccess;
};
