#include "tests/support/TestTimeSource.h"

namespace test_support {

TestTimeSource::TestTimeSource()
    : BMediaNode("Test clock")
{
}

BMediaAddOn* TestTimeSource::AddOn(int32* internalId) const
{
    *internalId = 0;
    return nullptr;
}

void TestTimeSource::Freeze(bigtime_t performanceTime)
{
    PublishTime(performanceTime, RealTime(), 0.0f);
}

status_t TestTimeSource::TimeSourceOp(const time_source_op_info& op, void*)
{
    switch (op.op) {
    case time_source_op_info::B_TIMESOURCE_START:
    case time_source_op_info::B_TIMESOURCE_STOP:
        PublishTime(PerformanceTimeFor(op.real_time), op.real_time, 1.0f);
        return B_OK;
    case time_source_op_info::B_TIMESOURCE_STOP_IMMEDIATELY:
        PublishTime(Now(), RealTime(), 1.0f);
        return B_OK;
    case time_source_op_info::B_TIMESOURCE_SEEK:
        PublishTime(op.performance_time, op.real_time, 1.0f);
        return B_OK;
    }
    return B_BAD_VALUE;
}

} // namespace test_support
