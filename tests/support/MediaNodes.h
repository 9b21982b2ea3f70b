#pragma once
// The media-node doubles every test uses (a consumer that records each frame, a producer that
// sends painted frames, a time source that can be held still) and helpers for raw-video graphs.

#include "kits/media/BufferGroup.h"
#include "kits/media/MediaDefs.h"
#include "kits/media/ParameterWeb.h"
#include "tests/support/TestConsumer.h"
#include "tests/support/TestProducer.h"
#include "tests/support/TestTimeSource.h"

namespace test_support {

// Takes every buffer of `group` that is free at once and gives it back: how many were free.
int32 CountFreeBuffers(BBufferGroup& group);

// Raw video with every field a wildcard but these.
media_format RawVideo(color_space space = B_NO_COLOR_SPACE, uint32 width = 0, uint32 lines = 0);

// Connects the first free raw-video output of `producer` to the first free input of `consumer`
// at `*ioFormat`, which receives the format agreed; BMediaRoster::Connect's status, or
// B_MEDIA_ALREADY_CONNECTED when either has no free end.
status_t ConnectFirstFree(const media_node& producer, const media_node& consumer,
    media_format* ioFormat, media_output* outOutput, media_input* outInput);

// The parameter of `web` named `name`, or null.
BParameter* FindParameter(BParameterWeb* web, const char* name);

} // namespace test_support
