#pragma once
// How the roster calls nodes, for the kit's own classes: faults, time-outs and access to hooks.

#include "kits/media/BufferConsumer.h"
#include "kits/media/BufferProducer.h"
#include "kits/media/Controllable.h"
#include "kits/media/MediaNodePrivate.h"
#include "kits/media/MediaTestHooks.h"
#include "kits/media/NodeRegistryPrivate.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>

namespace kits::media {

// How long a marshalled hook call may take, microseconds.
bigtime_t NodeCallTimeout();
// Whether Roster() hands out the roster (tests can pretend the service is down).
bool MediaServerRunning();
// B_OK, or the status a test asked `operation` to fail with for one of
// `nodes` (null entries are skipped).
status_t InjectedFault(RosterOperation operation,
    std::initializer_list<const BMediaNode*> nodes = {});

// The default node of a media_default_node_kind, made on first request.
NodeRef DefaultNode(int32 kind, status_t* outStatus);

// Runs `work` on `node`'s control thread with the roster's time-out.
status_t CallNode(BMediaNode* node, std::function<status_t()> work);

// Reads or writes a parameter of `node`'s web on its control thread.
status_t ReadParameter(const media_node& node, BControllable* owner, int32 id, void* buffer,
    size_t* ioSize, bigtime_t* when);
status_t WriteParameter(const media_node& node, BControllable* owner, int32 id,
    const void* buffer, size_t size, bigtime_t when);

// Reaches the protected parts of nodes for the roster and the kit's classes.
struct NodeAccess {
    static NodePort& Port(BMediaNode* node) { return *node->port; }
    static void SetId(BMediaNode* node, media_node_id id) { node->id = id; }
    static void StoreRunMode(BMediaNode* node, BMediaNode::run_mode mode)
    {
        node->runMode = mode;
    }
    static void StoreTimeSource(BMediaNode* node, BTimeSource* timeSource);
    static void NodeRegistered(BMediaNode* node) { node->NodeRegistered(); }
    static void Start(BMediaNode* node, bigtime_t time) { node->Start(time); }
    static void Stop(BMediaNode* node, bigtime_t time, bool immediate)
    {
        node->Stop(time, immediate);
    }
    static void Seek(BMediaNode* node, bigtime_t mediaTime, bigtime_t time)
    {
        node->Seek(mediaTime, time);
    }
    static void SetRunMode(BMediaNode* node, BMediaNode::run_mode mode)
    {
        node->SetRunMode(mode);
    }
    static void Preroll(BMediaNode* node) { node->Preroll(); }
    static void SetTimeSource(BMediaNode* node, BTimeSource* timeSource)
    {
        node->SetTimeSource(timeSource);
    }

    static status_t AcceptFormat(BBufferConsumer* consumer, const media_destination& where,
        media_format* format)
    {
        return consumer->AcceptFormat(where, format);
    }
    static status_t GetNextInput(BBufferConsumer* consumer, int32* cookie, media_input* input)
    {
        return consumer->GetNextInput(cookie, input);
    }
    static void DisposeInputCookie(BBufferConsumer* consumer, int32 cookie)
    {
        consumer->DisposeInputCookie(cookie);
    }
    static void BufferReceived(BBufferConsumer* consumer, BBuffer* buffer)
    {
        consumer->BufferReceived(buffer);
    }
    static void ProducerDataStatus(BBufferConsumer* consumer, const media_destination& where,
        int32 status, bigtime_t time)
    {
        consumer->ProducerDataStatus(where, status, time);
    }
    static status_t GetLatencyFor(BBufferConsumer* consumer, const media_destination& where,
        bigtime_t* latency, media_node_id* timeSource)
    {
        return consumer->GetLatencyFor(where, latency, timeSource);
    }
    static status_t Connected(BBufferConsumer* consumer, const media_source& source,
        const media_destination& where, const media_format& format, media_input* input)
    {
        return consumer->Connected(source, where, format, input);
    }
    static void Disconnected(BBufferConsumer* consumer, const media_source& source,
        const media_destination& where)
    {
        consumer->Disconnected(source, where);
    }
    static status_t FormatChanged(BBufferConsumer* consumer, const media_source& source,
        const media_destination& where, int32 tag, const media_format& format)
    {
        return consumer->FormatChanged(source, where, tag, format);
    }

    static status_t FormatProposal(BBufferProducer* producer, const media_source& output,
        media_format* format)
    {
        return producer->FormatProposal(output, format);
    }
    static status_t GetNextOutput(BBufferProducer* producer, int32* cookie,
        media_output* output)
    {
        return producer->GetNextOutput(cookie, output);
    }
    static status_t DisposeOutputCookie(BBufferProducer* producer, int32 cookie)
    {
        return producer->DisposeOutputCookie(cookie);
    }
    static status_t SetBufferGroup(BBufferProducer* producer, const media_source& source,
        BBufferGroup* group)
    {
        return producer->SetBufferGroup(source, group);
    }
    static status_t PrepareToConnect(BBufferProducer* producer, const media_source& what,
        const media_destination& where, media_format* format, media_source* source, char* name)
    {
        return producer->PrepareToConnect(what, where, format, source, name);
    }
    static void Connect(BBufferProducer* producer, status_t error, const media_source& source,
        const media_destination& where, const media_format& format, char* name)
    {
        producer->Connect(error, source, where, format, name);
    }
    static void Disconnect(BBufferProducer* producer, const media_source& what,
        const media_destination& where)
    {
        producer->Disconnect(what, where);
    }
    static void LateNoticeReceived(BBufferProducer* producer, const media_source& what,
        bigtime_t howMuch, bigtime_t time)
    {
        producer->LateNoticeReceived(what, howMuch, time);
    }
    static status_t GetLatency(BBufferProducer* producer, bigtime_t* latency)
    {
        return producer->GetLatency(latency);
    }
    static status_t GetInitialLatency(BBufferProducer* producer, bigtime_t* latency,
        uint32* flags)
    {
        return producer->GetInitialLatency(latency, flags);
    }
    static void StoreRunModeDelay(BBufferProducer* producer, bigtime_t delay)
    {
        producer->runModeDelay = delay;
    }

    static status_t GetParameterValue(BControllable* node, int32 id, bigtime_t* when,
        void* value, size_t* ioSize)
    {
        return node->GetParameterValue(id, when, value, ioSize);
    }
    static void SetParameterValue(BControllable* node, int32 id, bigtime_t when,
        const void* value, size_t size)
    {
        node->SetParameterValue(id, when, value, size);
    }
    static uint32 WebGeneration(BControllable* node);
    // A copy of the node's web for `media`, and the web's generation; null
    // when the node has no web. Runs on the node's control thread.
    static std::unique_ptr<BParameterWeb> CopyWeb(BControllable* node, const media_node& media,
        uint32* generation);

    // Carries out a time source operation and updates its running state.
    static status_t TimeSourceOp(BTimeSource* timeSource, const time_source_op_info& op);
};

} // namespace kits::media
