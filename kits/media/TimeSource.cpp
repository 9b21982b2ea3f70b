#include "kits/media/TimeSource.h"

#include "kits/media/MediaRosterPrivate.h"

#include <cmath>

BTimeSource::BTimeSource()
{
    AddNodeKind(B_TIME_SOURCE);
}

BTimeSource::~BTimeSource() = default;

bigtime_t BTimeSource::Now()
{
    return PerformanceTimeFor(RealTime());
}

bigtime_t BTimeSource::PerformanceTimeFor(bigtime_t realTime)
{
    std::lock_guard guard(lock);
    if (!running)
        return anchorPerformance;
    return anchorPerformance + bigtime_t(std::llround(double(realTime - anchorReal) * drift));
}

bigtime_t BTimeSource::RealTimeFor(bigtime_t performanceTime, bigtime_t withLatency)
{
    std::lock_guard guard(lock);
    if (!running) {
        // Counted from now, as if the time source started at once.
        return RealTime() + (performanceTime - anchorPerformance) - withLatency;
    }
    double rate = drift > 0.0f ? drift : 1.0;
    return anchorReal + bigtime_t(std::llround(double(performanceTime - anchorPerformance) / rate))
        - withLatency;
}

bool BTimeSource::IsRunning()
{
    std::lock_guard guard(lock);
    return running;
}

status_t BTimeSource::GetTime(bigtime_t* outPerformanceTime, bigtime_t* outRealTime,
    float* outDrift)
{
    if (outPerformanceTime == nullptr || outRealTime == nullptr || outDrift == nullptr)
        return B_BAD_VALUE;
    std::lock_guard guard(lock);
    *outPerformanceTime = anchorPerformance;
    *outRealTime = anchorReal;
    *outDrift = drift;
    return B_OK;
}

bigtime_t BTimeSource::RealTime()
{
    return system_time();
}

void BTimeSource::PublishTime(bigtime_t performanceTime, bigtime_t realTime, float newDrift)
{
    std::lock_guard guard(lock);
    anchorPerformance = performanceTime;
    anchorReal = realTime;
    drift = newDrift;
}

namespace kits::media {

status_t NodeAccess::TimeSourceOp(BTimeSource* timeSource, const time_source_op_info& op)
{
    if (status_t status = timeSource->TimeSourceOp(op, nullptr); status != B_OK)
        return status;
    std::lock_guard guard(timeSource->lock);
    switch (op.op) {
    case time_source_op_info::B_TIMESOURCE_START:
        timeSource->running = true;
        break;
    case time_source_op_info::B_TIMESOURCE_STOP:
    case time_source_op_info::B_TIMESOURCE_STOP_IMMEDIATELY:
        timeSource->running = false;
        break;
    case time_source_op_info::B_TIMESOURCE_SEEK:
        break;
    }
    return B_OK;
}

} // namespace kits::media
