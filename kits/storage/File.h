#pragma once
// BFile: a regular file opened for reading and writing.

#include "kits/storage/EntryRef.h"
#include "kits/storage/PositionIO.h"
#include "kits/storage/StorageDefs.h"

class BEntry;

// Owns one open file descriptor, closed by Unset(), SetTo() and the destructor.
// openMode is B_READ_ONLY, B_WRITE_ONLY or B_READ_WRITE or-ed with B_CREATE_FILE
// (create when missing, permissions 0644 less the umask), B_ERASE_FILE (cut to
// zero bytes), B_FAIL_IF_EXISTS (with B_CREATE_FILE: B_FILE_EXISTS when present)
// and B_OPEN_AT_END (start at the end; WriteAt still writes where it is told).
// Not thread-safe; one thread uses an object.
class BFile : public BPositionIO {
public:
    BFile();
    // Like SetTo; InitCheck() tells the result.
    BFile(const char* path, uint32 openMode);
    BFile(const entry_ref* ref, uint32 openMode);
    BFile(const BEntry* entry, uint32 openMode);
    ~BFile() override;

    BFile(const BFile&) = delete;
    BFile& operator=(const BFile&) = delete;

    // A failure leaves the object unset with the status in InitCheck().
    status_t SetTo(const char* path, uint32 openMode);
    status_t SetTo(const entry_ref* ref, uint32 openMode);
    status_t SetTo(const BEntry* entry, uint32 openMode);
    void Unset();
    // B_OK, B_NO_INIT before any SetTo, or the failure of the last one.
    status_t InitCheck() const;

    bool IsReadable() const;
    bool IsWritable() const;

    // Reading a file opened write-only, or writing one opened read-only, gives
    // B_NOT_ALLOWED; any call on an unset file gives B_NO_INIT.
    ssize_t Read(void* buffer, size_t size) override;
    ssize_t Write(const void* buffer, size_t size) override;
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
    off_t Seek(off_t position, uint32 seekMode) override;
    off_t Position() const override;
    // Cuts or extends (with zero bytes) the file; the position stays where it is.
    status_t SetSize(off_t size) override;
    status_t GetSize(off_t* size) const override;
    // Waits until what was written is on the disk.
    status_t Sync();

private:
    status_t CheckReadable() const;
    status_t CheckWritable() const;

    int fd = -1;
    uint32 mode = 0;
    status_t status = B_NO_INIT;
};
