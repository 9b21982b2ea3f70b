#pragma once
// Seams for tests of the node manager: the wait for the media service and the consumer it makes.

#include "kits/kernel/OS.h"

#include <functional>

class BView;
class VideoConsumer;

namespace video {

using SleepFunction = std::function<void(bigtime_t)>;
using ConsumerFactory = std::function<VideoConsumer*(BView*)>;

// Replaces the sleep between the archive constructor's tries for the media roster; an empty
// function restores snooze().
void SetRosterWaitSleep(SleepFunction sleep);
// Replaces how StartNodes makes its consumer (a null result is a failed creation); an empty
// function restores the plain VideoConsumer.
void SetConsumerFactory(ConsumerFactory factory);

}
