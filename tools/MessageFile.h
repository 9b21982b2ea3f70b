#pragma once
// Reading a flattened message file for the tools, within a size no message file comes near.

#include "kits/app/Flattening.h"
#include "kits/kernel/SupportDefs.h"

#include <string>

class BMessage;

// The largest file read as a message: far above any settings, presets or replicant archive the
// programs write, and small enough to hold at once, so a wrong path never fills the memory.
constexpr off_t MAX_MESSAGE_FILE_SIZE = off_t(16) << 20;

// Reads the message at the start of the regular file at `path` (a host path or a "/boot/..."
// path), stopping where its header says it ends; `order`, if given, receives its byte order.
// Failures: the open error; B_BAD_TYPE for what is not a regular file (a device, a FIFO);
// B_NO_MEMORY for a file larger than MAX_MESSAGE_FILE_SIZE; B_NOT_A_MESSAGE for a file that
// does not start with a message header, an empty one included; B_BAD_DATA for a damaged or
// cut-short message. `message` is changed only on success.
[[nodiscard]] status_t ReadMessageFile(const std::string& path, BMessage& message,
    kits::app::ByteOrder* order = nullptr);

// The failure of ReadMessageFile as a few words for an error line.
std::string MessageFileErrorText(status_t status);
