#include "tools/MessageFile.h"

#include "kits/app/Message.h"
#include "kits/storage/Entry.h"
#include "kits/storage/File.h"

#include <algorithm>
#include <cstdio>

namespace {

// Gives at most `limit` bytes of a stream, then reports its end.
class LimitedReader : public BDataIO {
public:
    LimitedReader(BDataIO& stream, off_t limit) : stream(stream), left(limit) {}

    ssize_t Read(void* buffer, size_t size) override
    {
        ssize_t done = stream.Read(buffer, size_t(std::min<off_t>(off_t(size), left)));
        if (done > 0)
            left -= done;
        return done;
    }
    ssize_t Write(const void*, size_t) override { return B_NOT_ALLOWED; }

private:
    BDataIO& stream;
    off_t left;
};

}

status_t ReadMessageFile(const std::string& path, BMessage& message, kits::app::ByteOrder* order)
{
    // Checked before opening: a device or a FIFO could feed bytes without end, and opening a
    // FIFO waits for a writer. Should the file be swapped in between, the reader below still
    // stops at the cap.
    BEntry entry(path.c_str(), true);
    if (entry.InitCheck() != B_OK)
        return entry.InitCheck();
    if (!entry.Exists())
        return B_ENTRY_NOT_FOUND;
    if (!entry.IsFile())
        return B_BAD_TYPE;
    BFile file(path.c_str(), B_READ_ONLY);
    if (file.InitCheck() != B_OK)
        return file.InitCheck();
    off_t size = 0;
    if (status_t status = file.GetSize(&size); status != B_OK)
        return status;
    if (size > MAX_MESSAGE_FILE_SIZE)
        return B_NO_MEMORY;
    LimitedReader reader(file, MAX_MESSAGE_FILE_SIZE);
    return kits::app::UnflattenMessage(reader, message, order);
}

std::string MessageFileErrorText(status_t status)
{
    switch (status) {
        case B_BAD_TYPE:
            return "not a regular file";
        case B_NO_MEMORY: {
            char text[64];
            std::snprintf(text, sizeof(text), "larger than any message file (%lld MiB)",
                static_cast<long long>(MAX_MESSAGE_FILE_SIZE >> 20));
            return text;
        }
        case B_NOT_A_MESSAGE:
            return "not a flattened message";
        case B_BAD_DATA:
            return "damaged message";
        default:
            return "cannot open the file";
    }
}
