#pragma once
// VideoConsumer: the program's media node that receives the card's frames, filters and draws them.

#include "kits/kernel/Rect.h"
#include "kits/media/BufferConsumer.h"
#include "kits/media/MediaEventLooper.h"
#include "video/MotionDeInterlace.h"

#include <memory>
#include <vector>

class BBitmap;
class BBuffer;
class BBufferGroup;
class BMediaAddOn;
class BScreen;
class BView;

// A raw-video consumer with one input, "Video Consumer". On connection it makes three bitmaps
// and hands the producer a group of three buffers wrapping their memory, so the card writes
// straight into what is drawn. Each buffer is queued for its start time; when due, the frame path
// measures line contrast on request, runs the subtitle and de-interlace filters while the window
// is visible, and draws the frame scaled into the view when it is within 25 ms of its time,
// cropped for 16:9 as the signal format says. The control thread wakes once a frame: each buffer
// is handed over when due, so it is queued and shown in step with the time source in one go; the
// wait for the retrace sleeps only on a display that has one.
//
// Threads: every node hook (NodeRegistered on the registering thread, the others on the control
// thread, priority 100) and the frame path run without a kit lock. The setters and
// GetLineContrast are called from other threads (the windows, the station scan).
//
// Lock order: the render lock ("renderSem") before the view's window lock, each taken with a
// 2500 µs time-out by the frame path; the setters and GetLineContrast take the render lock alone.
class VideoConsumer : public BMediaEventLooper, public BBufferConsumer {
public:
    // The consumer's crop mode.
    enum SignalFormat : int32 {
        // The whole bitmap.
        SIGNAL_FORMAT_FULL = 0,
        // Lines 72 to (last line - 73) OR 1: 72 lines cut at the top and the bottom of 576.
        SIGNAL_FORMAT_WIDE_625 = 1,
        // Lines 36 to (last line - 38) OR 1: 36 cut at the top and 38 at the bottom of 480.
        SIGNAL_FORMAT_WIDE_525 = 2,
    };

    // What the frame path does about the two fields of a frame.
    enum DeInterlaceFilter : int32 {
        DEINTERLACE_FILTER_OFF = 0,
        // DeInterlace: every line blended with the line below.
        DEINTERLACE_FILTER_BLEND = 1,
        // MotionDeInterlace: both fields where the picture stands still, the later one
        // interpolated where it moves, in the field order of the connection's field rate.
        // Frames of one field (interlace 1) are left alone.
        DEINTERLACE_FILTER_MOTION = 2,
    };

    // view: where frames are drawn, not owned; it outlives the consumer. The screen used to wait
    // for the retrace is that of the view's window.
    VideoConsumer(BView* view, BMediaAddOn* addOn, uint32 internalId);
    // Stops the control thread (which recycles every queued buffer), takes the buffer group back
    // from a producer still connected, then frees the bitmaps, buffers and semaphores.
    ~VideoConsumer() override;

    // Each waits for the render lock (held at most for one frame, so it cannot deadlock), stores
    // and releases it; nothing changes when the lock cannot be had.
    void SetSignalFormat(SignalFormat format);
    void SetSubtitleFilter(bool on);
    void SetDeInterlaceFilter(DeInterlaceFilter filter);
    // DEINTERLACE_FILTER_BLEND when on, DEINTERLACE_FILTER_OFF when off.
    void SetDeInterlaceFilter(bool on);

    // The line contrast (FindContrast) of the next frame to arrive, unfiltered; -1 when none
    // arrives within 250 ms. Blocks the caller that long at most; not for the control thread.
    int32 GetLineContrast();

    // What became of the frames of every consumer of the process since it started, for
    // measurements; any thread.
    struct FrameCounts {
        // Buffers received while running.
        int64 received = 0;
        // Frames drawn into the view.
        int64 drawn = 0;
        // Frames not drawn because they came 25 ms or more from their start time.
        int64 late = 0;
        // Frames not drawn because the render lock or the window lock was busy too long.
        int64 skipped = 0;
    };
    static FrameCounts CountFrames();

    // Called on the control thread (Connected, FormatChanged). Deletes the bitmaps and buffers
    // first; on failure what was made so far stays, with every buffer slot empty.
    [[nodiscard]] status_t CreateBuffers(const media_format& format);
    void DeleteBuffers();

    BMediaAddOn* AddOn(int32* internalId) const override;

    // The frame path's arithmetic, apart so it can be checked on its own.
    // Whether a frame due at startTime is drawn at performance time now: strictly within
    // 25000 µs either side.
    static bool IsOnTime(bigtime_t startTime, bigtime_t now);
    // Where a frame is drawn in a view of these bounds: (0, 0, w, (h - 1) OR 1), w and h being the
    // bounds' width and height rounded up.
    static BRect DestinationFor(BRect viewBounds);
    // The part of a bitmap of these bounds that is drawn in the crop mode; the whole bitmap for
    // SIGNAL_FORMAT_FULL.
    static BRect SourceFor(BRect bitmapBounds, SignalFormat format);
    // Divides every grey byte by 8 (0..31), a whole 32-bit word at a time, for a screen that
    // cannot draw grey bitmaps; bytes past the last whole word are left alone.
    static void ScaleGreyLevels(void* bits, size_t length);

protected:
    void NodeRegistered() override;
    status_t HandleMessage(int32 message, const void* data, size_t size) override;
    status_t RequestCompleted(const media_request_info& info) override;
    status_t DeleteHook(BMediaNode* node) override;
    void Start(bigtime_t performanceTime) override;
    void Stop(bigtime_t performanceTime, bool immediate) override;
    void Seek(bigtime_t mediaTime, bigtime_t performanceTime) override;
    void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime) override;

    void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent = false) override;

    status_t AcceptFormat(const media_destination& destination, media_format* format) override;
    status_t GetNextInput(int32* cookie, media_input* outInput) override;
    void DisposeInputCookie(int32 cookie) override;
    void BufferReceived(BBuffer* buffer) override;
    void ProducerDataStatus(const media_destination& forWhom, int32 status,
        bigtime_t atPerformanceTime) override;
    status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
        media_node_id* outTimeSource) override;
    status_t Connected(const media_source& producer, const media_destination& where,
        const media_format& withFormat, media_input* outInput) override;
    void Disconnected(const media_source& producer, const media_destination& where) override;
    status_t FormatChanged(const media_source& producer, const media_destination& consumer,
        int32 changeTag, const media_format& format) override;

private:
    // Owns a semaphore: deleted with its owner or when replaced.
    class Semaphore {
    public:
        Semaphore(int32 count, const char* name);
        ~Semaphore();
        Semaphore(const Semaphore&) = delete;
        Semaphore& operator=(const Semaphore&) = delete;

        // Negative when creation failed.
        sem_id Id() const { return id; }
        // Deletes the semaphore and makes a new one.
        void Reset(int32 count, const char* name);

    private:
        sem_id id;
    };

    // Steps of the frame path, on the control thread; the buffer is recycled by HandleBuffer.
    void HandleBuffer(BBuffer* buffer);
    void FilterAndDraw(BBitmap* bitmap, bigtime_t startTime);
    // Tells the producer to write into the current group, then frees the groups it used before.
    void HandOverBuffers();

    BView* view;
    std::unique_ptr<BScreen> screen;
    BMediaAddOn* addOn;
    // The rest up to renderLock is touched on the control thread only (and by the destructor
    // once that thread has ended).
    media_input input;
    // Never assigned: the producer is found from the source.
    media_destination bufferDestination;
    std::unique_ptr<BBitmap> bitmaps[3];
    // Frames of buffers not from our group are copied here, out of the producer's reach; made
    // when the first such buffer comes.
    std::unique_ptr<BBitmap> copyBitmap;
    bigtime_t myLatency;
    std::unique_ptr<BBufferGroup> bufferGroup;
    // Groups a producer may still write into after a format change: kept until it has been
    // handed the new group or is disconnected.
    std::vector<std::unique_ptr<BBufferGroup>> retiredGroups;
    // The frame before, for the motion filter: dropped with the bitmaps (so on every
    // reconnection and format change) and whenever a frame goes by without that filter.
    MotionDeInterlaceState motionDeInterlace;
    bool ourBuffer;
    uint32 internalId;
    // buffers[i] wraps the memory of bitmaps[i]; only compared, never dereferenced.
    BBuffer* buffers[3];
    // Guarded by renderLock. Negative: a measurement is requested.
    int32 lineContrast;
    DeInterlaceFilter deInterlace;
    bool subtitleContrast;
    SignalFormat signalFormat;
    Semaphore renderLock;
    // Replaced under renderLock; released by the frame path when a requested measurement is in.
    Semaphore lineContrastSignal;
};
