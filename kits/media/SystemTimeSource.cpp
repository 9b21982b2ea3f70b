#include "kits/media/SystemTimeSourcePrivate.h"

namespace kits::media {

SystemTimeSource::SystemTimeSource()
    : BMediaNode("System clock")
{
}

BMediaAddOn* SystemTimeSource::AddOn(int32* internalId) const
{
    if (internalId != nullptr)
        *internalId = 0;
    return nullptr;
}

status_t SystemTimeSource::TimeSourceOp(const time_source_op_info& op, void*)
{
    switch (op.op) {
    case time_source_op_info::B_TIMESOURCE_START:
    case time_source_op_info::B_TIMESOURCE_STOP:
        PublishTime(PerformanceTimeFor(op.real_time), op.real_time, 1.0f);
        return B_OK;
    case time_source_op_info::B_TIMESOURCE_STOP_IMMEDIATELY: {
        bigtime_t now = RealTime();
        PublishTime(PerformanceTimeFor(now), now, 1.0f);
        return B_OK;
    }
    case time_source_op_info::B_TIMESOURCE_SEEK:
        PublishTime(op.performance_time, op.real_time, 1.0f);
        return B_OK;
    }
    return B_BAD_VALUE;
}

} // namespace kits::media
