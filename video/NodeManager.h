#pragma once
// NodeManager: the link from the capture card's video output to the program's consumer node.

#include "kits/kernel/Rect.h"
#include "kits/kernel/OS.h"
#include "kits/media/MediaNode.h"
#include "video/NodeErrors.h"

#include <atomic>
#include <functional>
#include <memory>

class BDiscreteParameter;
class BMediaRoster;
class BMessage;
class BParameterWeb;
class BView;
class VideoConsumer;

// Aspect values of the window's "Video format" menu, archived as "_SignalFormat".
enum : int32 {
    FORMAT_4_3 = 0,
    FORMAT_16_9 = 1,
};

// The TV standard classes read from the card's "Video Format" parameter.
enum : int32 {
    SIGNAL_UNKNOWN = 0,
    SIGNAL_625 = 1,
    SIGNAL_525_B = 2,
    SIGNAL_525 = 3,
    SIGNAL_625_B = 4,
};

// De-interlace modes of the preferences.
enum : int32 {
    DEINTERLACE_NONE = 0,
    DEINTERLACE_SINGLE_FIELD = 1,
    DEINTERLACE_DUAL_FIELD = 2,
    DEINTERLACE_MOTION_ADAPTIVE = 3,
};

// What a node manager is built with; the defaults are the program's own.
struct NodeManagerOptions {
    // Sleeps between the archive constructor's tries for the media service, in microseconds.
    std::function<void(bigtime_t)> sleep = [](bigtime_t duration) { snooze(duration); };
    // Makes the consumer StartNodes feeds, drawing into the view; null is a failed creation.
    // Called with the init lock held. Empty: the program's own VideoConsumer.
    std::function<std::unique_ptr<VideoConsumer>(BView* view)> makeConsumer;
};

// Owns the graph from the system's default video input (the capture card) to a VideoConsumer
// drawing into a view: builds, starts, resizes and tears it down, and answers the picture sizes
// for the card's TV standard. The view that shows the picture derives from it.
//
// Locks: "initSem" (count 1) serialises StartNodes, StopNodes, every reconnection and every use
// of the consumer pointer, so a consumer is never used while it is being deleted. It is taken
// with an unbounded wait: its holders wait only on the media roster, whose calls time out, so it
// is always released. It is taken while the caller may hold the view's window lock; the consumer
// takes that window lock only with a 2500 µs time-out, so a roster call waiting for the consumer
// is delayed by a frame at most.
//
// Failures of the start-up are posted to the view's window as MSG_NODE_ERROR with the int32
// "Number" above; the program runs on without a picture.
class NodeManager {
public:
    explicit NodeManager(NodeManagerOptions options = {});
    // Defaults, then "_DeInterlace", "_HalfHeight", "_SignalFormat" and "_Channel" from the
    // nested message "NodeManager" when it is there with command 'NdMg'. Without a media service
    // it waits for one to appear, up to 100 s.
    explicit NodeManager(BMessage* archive, NodeManagerOptions options = {});
    // Stops the graph and deletes the init lock.
    virtual ~NodeManager() = 0;

    NodeManager(const NodeManager&) = delete;
    NodeManager& operator=(const NodeManager&) = delete;

    // Adds the nested message "NodeManager"; "_Channel" is the card's current channel, present
    // only when it can be read. Always B_OK.
    virtual status_t Archive(BMessage* archive, bool deep) const;

    // The pixels an inclusive-edge measure covers (a bounds' width or height, right minus left):
    // every path that asks for a picture size counts with it.
    static int32 PixelCount(float measure);

    // The size last asked for with SetSize, StartNodes or a setter, made even, before the 16:9
    // and single-field adjustments; 0 before the first connection.
    int32 RequestedWidth() const;
    int32 RequestedHeight() const;

    // The card's TV standard class; SIGNAL_UNKNOWN when it cannot be read. Reads the card
    // afresh on every call; takes no lock.
    int32 GetSignalType() const;
    // The picture the user sees, inclusive edges: (0, 0, 767, 575) for a 625-line card in 4:3.
    BRect GetSignalSize() const;
    // The largest frame the card is asked for.
    BRect GetRawSignalSize() const;
    // Fields per second: 59.94 for the 525-line standards, otherwise 50.
    float GetFieldRate() const;

    // The aspect value, and the consumer's crop for it. Nothing changes without a consumer;
    // the requested size follows at the next SetSize or Reconnect.
    void SetSignalFormat(int32 format);
    // Renegotiate the connection at this size (pixels), or at the last size asked for.
    void SetSize(int32 width, int32 height);
    void Reconnect();

    // Builds and starts the graph drawing into `view` (which outlives it). B_OK, the status of
    // the failing step, or -1. A failed start leaves no consumer behind, so a later start works.
    status_t StartNodes(BView* view);
    // Stops, disconnects, unregisters and deletes the consumer, and stops the card if the
    // consumer was connected to it.
    void StopNodes();

    // Setters of the window; each changes nothing while the graph is stopped.
    void Set16bitLimit(bool limit);
    void SetDeInterlace(int32 mode);
    void SetSubtitleFilter(bool on);
    // The consumer's line contrast of the next frame (-1 when none comes within 250 ms);
    // 0 while the graph is stopped.
    int32 GetLineContrast();

protected:
    // The consumer being fed, or null; for tests and the view. Valid while the init lock is
    // held or the graph is not being stopped on another thread.
    VideoConsumer* Consumer() const;
    // Called with the init lock held.
    void ResizeSignal(int32 width, int32 height);

private:
    class InitLock;

    void SetDefaults();
    void WaitForRoster();
    void PostNodeError(int32 number) const;
    status_t Fail(int32 number, status_t result);
    void TearDown();

    // The steps of StartNodes, in order, with the init lock held; each failure tears the graph
    // down and, but for a time source that cannot start, is posted as a node error.
    status_t FindNodes();
    status_t MakeConsumer();
    status_t FindConnectionEnds();
    status_t FindParameters();
    void ConnectAtNaturalSize();
    status_t SetTimeSources();
    status_t StartBothNodes();
    void ApplyStoredSettings();

    // Replaces the connection with one carrying `format`. With the init lock held.
    void ConnectConsumer(const media_format& format);

    const NodeManagerOptions options;
    BView* view = nullptr;
    BParameterWeb* parameterWeb = nullptr;
    // Found by StartNodes and read by the size queries on any thread; the roster keeps the
    // parameters for the life of the process, so an old pointer stays usable.
    std::atomic<BDiscreteParameter*> videoFormatParameter = nullptr;
    std::atomic<BDiscreteParameter*> channelParameter = nullptr;
    // Guarded by initLock.
    std::unique_ptr<VideoConsumer> consumer;
    BMediaRoster* roster = nullptr;
    media_node timeSourceNode;
    media_node videoInputNode;
    // Whether videoInputNode holds a reference this manager took from the roster. Guarded by
    // initLock.
    bool haveVideoInput = false;
    // Whether this manager's consumer is connected to the card now. Guarded by initLock.
    bool cardConnected = false;
    media_input input;
    media_output output;
    bigtime_t startTime = 0;
    sem_id initLock = -1;
    // Guarded by initLock.
    int32 width = 0;
    int32 height = 0;
    bool halfHeight = false;
    int32 signalFormat = FORMAT_4_3;
    bool deInterlace = false;
    // The motion-adaptive filter is to run; never with halfHeight or deInterlace.
    bool motionAdaptive = false;
    bool limit16Bit = true;
    int32 channel = -1;
};
