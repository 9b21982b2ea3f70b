#pragma once
// SystemTimeSource: the time source every node follows until it is given another.

#include "kits/media/TimeSource.h"

namespace kits::media {

// Performance time equals real time until the roster is told to start, stop
// or seek it. It has no control thread: its operations run on the caller's.
// The registry makes the one instance, which lives as long as the process.
class SystemTimeSource : public BTimeSource {
public:
    SystemTimeSource();

    BMediaAddOn* AddOn(int32* internalId) const override;

protected:
    status_t TimeSourceOp(const time_source_op_info& op, void* reserved) override;
};

} // namespace kits::media
