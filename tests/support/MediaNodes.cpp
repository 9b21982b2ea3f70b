#include "tests/support/MediaNodes.h"

#include "kits/media/Buffer.h"
#include "kits/media/MediaRoster.h"

#include <cstring>
#include <vector>

namespace test_support {

int32 CountFreeBuffers(BBufferGroup& group)
{
    std::vector<BBuffer*> taken;
    while (BBuffer* buffer = group.RequestBuffer(0, 0))
        taken.push_back(buffer);
    for (BBuffer* buffer : taken)
        buffer->Recycle();
    return int32(taken.size());
}

media_format RawVideo(color_space space, uint32 width, uint32 lines)
{
    media_format format;
    format.type = B_MEDIA_RAW_VIDEO;
    format.u.raw_video = media_raw_video_format::wildcard;
    format.u.raw_video.display.format = space;
    format.u.raw_video.display.line_width = width;
    format.u.raw_video.display.line_count = lines;
    return format;
}

status_t ConnectFirstFree(const media_node& producer, const media_node& consumer,
    media_format* ioFormat, media_output* outOutput, media_input* outInput)
{
    BMediaRoster* roster = BMediaRoster::Roster();
    media_output freeOutput;
    media_input freeInput;
    int32 outputs = 0;
    int32 inputs = 0;
    if (status_t status = roster->GetFreeOutputsFor(producer, &freeOutput, 1, &outputs,
            B_MEDIA_RAW_VIDEO);
        status != B_OK) {
        return status;
    }
    if (status_t status = roster->GetFreeInputsFor(consumer, &freeInput, 1, &inputs,
            B_MEDIA_RAW_VIDEO);
        status != B_OK) {
        return status;
    }
    if (outputs != 1 || inputs != 1)
        return B_MEDIA_ALREADY_CONNECTED;
    return roster->Connect(freeOutput.source, freeInput.destination, ioFormat, outOutput,
        outInput);
}

BParameter* FindParameter(BParameterWeb* web, const char* name)
{
    for (int32 i = 0; i < web->CountParameters(); i++) {
        if (std::strcmp(web->ParameterAt(i)->Name(), name) == 0)
            return web->ParameterAt(i);
    }
    return nullptr;
}


} // namespace test_support
