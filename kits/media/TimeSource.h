#pragma once
// BTimeSource: a node that maps real time to a performance time line.

#include "kits/media/MediaNode.h"

#include <mutex>

struct time_source_op_info {
    enum time_source_op : int32 {
        B_TIMESOURCE_START = 1,
        B_TIMESOURCE_STOP = 2,
        B_TIMESOURCE_STOP_IMMEDIATELY = 3,
        B_TIMESOURCE_SEEK = 4,
    };
    time_source_op op = B_TIMESOURCE_START;
    // system_time() at which the operation takes effect.
    bigtime_t real_time = 0;
    // B_TIMESOURCE_SEEK: the performance time at real_time.
    bigtime_t performance_time = 0;
};

// Performance time runs at `drift` performance microseconds per real
// microsecond from the last published anchor (performance, real). A stopped
// time source keeps its performance time still. The conversions may be called
// from any thread; the published state is guarded by an internal lock.
// TimeSourceOp runs on the node's control thread (see BMediaNode).
class BTimeSource : public virtual BMediaNode {
public:
    // The performance time now.
    bigtime_t Now();
    bigtime_t PerformanceTimeFor(bigtime_t realTime);
    // The real time at which `performanceTime` is reached, less `withLatency`.
    // For a stopped time source, as if it ran at drift 1 from where it stands.
    bigtime_t RealTimeFor(bigtime_t performanceTime, bigtime_t withLatency);
    bool IsRunning();
    status_t GetTime(bigtime_t* outPerformanceTime, bigtime_t* outRealTime, float* outDrift);

    // system_time(), microseconds.
    static bigtime_t RealTime();

protected:
    BTimeSource();
    ~BTimeSource() override;

    // Carries out a start, stop or seek; on B_OK the running state follows the
    // operation. The subclass publishes its new time line with PublishTime.
    virtual status_t TimeSourceOp(const time_source_op_info& op, void* reserved) = 0;
    // From real time `realTime` on, performance time is `performanceTime`
    // advancing at `drift` (0 while stopped).
    void PublishTime(bigtime_t performanceTime, bigtime_t realTime, float drift);

private:
    friend struct kits::media::NodeAccess;

    std::mutex lock;
    // Guarded by lock.
    bigtime_t anchorPerformance = 0;
    bigtime_t anchorReal = 0;
    float drift = 0.0f;
    bool running = false;
};
