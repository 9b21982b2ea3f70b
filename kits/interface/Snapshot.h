#pragma once
// WriteSnapshot: a frame buffer saved as a PNG file, to look at what a window drew.

#include "kits/interface/FrameBuffer.h"

namespace kits::interface {

// Writes the buffer as an 8-bit RGB PNG (the top byte of each pixel is dropped) at a path of
// the host, replacing any file there. B_NO_INIT for an empty buffer, B_BAD_VALUE for a null
// path, an errno status when the file cannot be opened, B_IO_ERROR when encoding or writing
// fails; a failed write leaves no file behind.
[[nodiscard]] status_t WriteSnapshot(const FrameBuffer& buffer, const char* hostPath);

}
