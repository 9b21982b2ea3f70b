#include "kits/storage/File.h"

#include "kits/storage/BootVolumePrivate.h"
#include "kits/storage/Entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

int OpenFlags(uint32 openMode)
{
    int flags = O_CLOEXEC;
    switch (openMode & B_ACCESS_MODE_MASK) {
    case B_WRITE_ONLY: flags |= O_WRONLY; break;
    case B_READ_WRITE: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    if (openMode & B_CREATE_FILE)
        flags |= O_CREAT;
    if (openMode & B_ERASE_FILE)
        flags |= O_TRUNC;
    if ((openMode & B_FAIL_IF_EXISTS) && (openMode & B_CREATE_FILE))
        flags |= O_EXCL;
    // B_OPEN_AT_END is a seek after opening, not O_APPEND: with O_APPEND, Linux
    // would append every WriteAt whatever its offset.
    return flags;
}

ssize_t StatusOfLastCall()
{
    return ssize_t(status_for_errno(errno));
}

} // namespace

BFile::BFile() = default;

BFile::BFile(const char* path, uint32 openMode)
{
    SetTo(path, openMode);
}

BFile::BFile(const entry_ref* ref, uint32 openMode)
{
    SetTo(ref, openMode);
}

BFile::BFile(const BEntry* entry, uint32 openMode)
{
    SetTo(entry, openMode);
}

BFile::~BFile()
{
    Unset();
}

status_t BFile::SetTo(const char* path, uint32 openMode)
{
    Unset();
    if (path == nullptr || path[0] == '\0')
        return status = B_BAD_VALUE;
    if ((openMode & B_ACCESS_MODE_MASK) == B_ACCESS_MODE_MASK)
        return status = B_BAD_VALUE;
    std::string hostPath = kits::storage::HostPath(path);
    int opened;
    do {
        opened = open(hostPath.c_str(), OpenFlags(openMode), 0644);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0)
        return status = status_for_errno(errno);
    fd = opened;
    mode = openMode;

    struct stat info;
    if (fstat(fd, &info) != 0) {
        status_t error = status_for_errno(errno);
        Unset();
        return status = error;
    }
    if (S_ISDIR(info.st_mode)) {
        Unset();
        return status = B_IS_A_DIRECTORY;
    }
    if ((openMode & B_OPEN_AT_END) && lseek(fd, 0, SEEK_END) < 0) {
        status_t error = status_for_errno(errno);
        Unset();
        return status = error;
    }
    return status = B_OK;
}

status_t BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
    if (ref == nullptr) {
        Unset();
        return status = B_BAD_VALUE;
    }
    return SetTo(ref->path.c_str(), openMode);
}

status_t BFile::SetTo(const BEntry* entry, uint32 openMode)
{
    entry_ref ref;
    status_t result = entry != nullptr ? entry->GetRef(&ref) : B_BAD_VALUE;
    if (result != B_OK) {
        Unset();
        return status = result;
    }
    return SetTo(&ref, openMode);
}

void BFile::Unset()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    mode = 0;
    status = B_NO_INIT;
}

status_t BFile::InitCheck() const
{
    return status;
}

bool BFile::IsReadable() const
{
    return fd >= 0 && (mode & B_ACCESS_MODE_MASK) != B_WRITE_ONLY;
}

bool BFile::IsWritable() const
{
    return fd >= 0 && (mode & B_ACCESS_MODE_MASK) != B_READ_ONLY;
}

status_t BFile::CheckReadable() const
{
    if (fd < 0)
        return B_NO_INIT;
    return IsReadable() ? B_OK : B_NOT_ALLOWED;
}

status_t BFile::CheckWritable() const
{
    if (fd < 0)
        return B_NO_INIT;
    return IsWritable() ? B_OK : B_NOT_ALLOWED;
}

ssize_t BFile::Read(void* buffer, size_t size)
{
    if (status_t check = CheckReadable(); check != B_OK)
        return check;
    ssize_t done;
    do {
        done = read(fd, buffer, size);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? StatusOfLastCall() : done;
}

ssize_t BFile::Write(const void* buffer, size_t size)
{
    if (status_t check = CheckWritable(); check != B_OK)
        return check;
    ssize_t done;
    do {
        done = write(fd, buffer, size);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? StatusOfLastCall() : done;
}

ssize_t BFile::ReadAt(off_t position, void* buffer, size_t size)
{
    if (status_t check = CheckReadable(); check != B_OK)
        return check;
    if (position < 0)
        return B_BAD_VALUE;
    ssize_t done;
    do {
        done = pread(fd, buffer, size, position);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? StatusOfLastCall() : done;
}

ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (status_t check = CheckWritable(); check != B_OK)
        return check;
    if (position < 0)
        return B_BAD_VALUE;
    ssize_t done;
    do {
        done = pwrite(fd, buffer, size, position);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? StatusOfLastCall() : done;
}

off_t BFile::Seek(off_t position, uint32 seekMode)
{
    if (fd < 0)
        return B_NO_INIT;
    if (seekMode != SEEK_SET && seekMode != SEEK_CUR && seekMode != SEEK_END)
        return B_BAD_VALUE;
    off_t result = lseek(fd, position, int(seekMode));
    return result < 0 ? off_t(status_for_errno(errno)) : result;
}

off_t BFile::Position() const
{
    if (fd < 0)
        return B_NO_INIT;
    off_t result = lseek(fd, 0, SEEK_CUR);
    return result < 0 ? off_t(status_for_errno(errno)) : result;
}

status_t BFile::SetSize(off_t size)
{
    if (status_t check = CheckWritable(); check != B_OK)
        return check;
    if (size < 0)
        return B_BAD_VALUE;
    int result;
    do {
        result = ftruncate(fd, size);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? status_for_errno(errno) : B_OK;
}

status_t BFile::Sync()
{
    if (fd < 0)
        return B_NO_INIT;
    return fsync(fd) == 0 ? B_OK : status_for_errno(errno);
}

status_t BFile::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    if (fd < 0)
        return B_NO_INIT;
    struct stat info;
    if (fstat(fd, &info) != 0)
        return status_for_errno(errno);
    *size = info.st_size;
    return B_OK;
}
