#pragma once
// Registration of the factories that make the default video input and audio output.

#include "kits/media/MediaNode.h"

#include <functional>

enum media_default_node_kind : int32 {
    MEDIA_DEFAULT_VIDEO_INPUT = 1,
    MEDIA_DEFAULT_AUDIO_OUTPUT = 2,
};

// Registers `factory` for `kind`. On the first GetVideoInput (GetAudioOutput)
// the roster calls the factory of the highest priority (the latest of equal
// ones), falling back to the next when one returns null; it owns the node it
// gets (the creator's reference), registers it and keeps it for the life of
// the process. The factory runs on the requesting thread and must not ask the
// roster for a default node. B_BAD_VALUE for an unknown kind or empty factory.
status_t media_register_default_node(int32 kind, std::function<BMediaNode*()> factory,
    int32 priority);
