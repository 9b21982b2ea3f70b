#include "video/ReplaceFile.h"

#include "kits/storage/Entry.h"
#include "kits/storage/File.h"

#include <string>

namespace video {

status_t ReplaceFile(const char* path, const std::function<status_t(BFile&)>& write)
{
    const std::string temporary = std::string(path) + ".saving";
    BEntry entry(temporary.c_str());
    if (entry.InitCheck() != B_OK)
        return entry.InitCheck();
    status_t status = B_OK;
    {
        BFile file(temporary.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
        if (file.InitCheck() != B_OK)
            return file.InitCheck();
        status = write(file);
        // Only a file that is on the disk may replace the old one: else a crash of the system
        // could leave an empty file where the old content was.
        if (status == B_OK)
            status = file.Sync();
    }
    if (status == B_OK)
        status = entry.Rename(path, true);
    if (status != B_OK)
        (void)entry.Remove();
    return status;
}

status_t KeepCopy(BPositionIO& source, const char* copyPath)
{
    return ReplaceFile(copyPath, [&](BFile& copy) -> status_t {
        if (source.Seek(0, SEEK_SET) != 0)
            return B_IO_ERROR;
        char buffer[4096];
        for (;;) {
            const ssize_t read = source.Read(buffer, sizeof(buffer));
            if (read < 0)
                return status_t(read);
            if (read == 0)
                return B_OK;
            if (status_t status = copy.WriteExactly(buffer, size_t(read)); status != B_OK)
                return status;
        }
    });
}

}
