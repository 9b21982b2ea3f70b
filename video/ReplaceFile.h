#pragma once
// Writing a stored file so that a crash or a full disk never leaves half of it, and keeping a
// copy of one that cannot be read before it is written over.

#include "kits/kernel/SupportDefs.h"

#include <functional>

class BFile;
class BPositionIO;

namespace video {

// Writes a file through `write` under a name beside `path` (".saving" added), makes sure it is
// on the disk, and puts it in place of `path` in one step, so that `path` always holds either
// the old content or the whole new one. On failure (a full disk, say, or `write`'s own) the old
// file is untouched and the partial one removed.
[[nodiscard]] status_t ReplaceFile(const char* path, const std::function<status_t(BFile&)>& write);
// Copies every byte of `file` to `copyPath` the same way, so a file that could not be read is
// never lost by writing over it. The position of `file` is left anywhere.
[[nodiscard]] status_t KeepCopy(BPositionIO& file, const char* copyPath);

}
