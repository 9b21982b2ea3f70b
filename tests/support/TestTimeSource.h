#pragma once
// TestTimeSource: a time source double a test can hold still.

#include "kits/media/TimeSource.h"

namespace test_support {

// A time source whose operations publish like the system's, and which a test can hold still.
class TestTimeSource : public BTimeSource {
public:
    TestTimeSource();
    BMediaAddOn* AddOn(int32* internalId) const override;

    // From now on Now() is `performanceTime`; events due later are still dispatched after the
    // real time between, as if the clock ran.
    void Freeze(bigtime_t performanceTime);

protected:
    status_t TimeSourceOp(const time_source_op_info& op, void* reserved) override;
};

} // namespace test_support
