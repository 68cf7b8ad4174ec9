#pragma once
// Files as the desktop's code opens them. Paths are written the Windows way
// and go through NativePath. A file opened for writing is written beside its
// target and replaces it only when Close succeeds, so a failed save never
// destroys the file it was meant to replace.

#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QFileDevice;

// Opens path (the file system's bytes) for reading only when it is a regular
// file of at most maxBytes, without ever blocking on a FIFO or a device: the
// descriptor, else -1. size, when given, receives the file's size.
int OpenRegularFile(const char* path, std::int64_t maxBytes, std::int64_t* size = nullptr);

struct CFileStatus {
    std::int64_t m_size = 0; // bytes; 0 for anything but a regular file
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,
    };

    CFile();
    virtual ~CFile(); // an unclosed written file is discarded
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // The largest file opened for reading. Files read here are desktop files:
    // 51 records whose strings are names, paths and captions; 64 MiB holds
    // them all with a caption of a megabyte each.
    static constexpr std::int64_t kMaxReadBytes = std::int64_t(64) << 20;

    // modeRead, or modeCreate | modeWrite to replace the whole file.
    // FALSE when the file cannot be opened: for reading, anything but a
    // regular file of at most kMaxReadBytes; for writing, an existing target
    // that is not a regular file (a device or FIFO is never replaced), an
    // existing read-only target or an unwritable folder. A symbolic link
    // stays; its target is replaced.
    BOOL Open(LPCSTR fileName, UINT openFlags);
    // The bytes read, fewer than count at the end of the file or on an error.
    virtual UINT Read(void* buffer, UINT count);
    // FALSE on a write error.
    virtual BOOL Write(const void* buffer, UINT count);
    // Ends the file; a written file now replaces its target, flushed to disk
    // and keeping the target's permissions. FALSE when that failed, and the
    // target is then as it was.
    BOOL Close();
    // Ends the file without replacing the target.
    void Abort();

    // FALSE when nothing exists under fileName.
    static BOOL GetStatus(LPCSTR fileName, CFileStatus& status);
    // Deletes the file; FALSE when it could not be.
    static BOOL Remove(LPCSTR fileName);

private:
    std::unique_ptr<QFileDevice> m_file;
    bool m_writing = false;
    bool m_writeFailed = false;
};

// A file in memory that collects what is written to it, for the bytes a file
// would hold without writing one.
class CMemFile : public CFile {
public:
    BOOL Write(const void* buffer, UINT count) override;
    // What was written; the file is empty afterwards.
    std::vector<BYTE> Detach() { return std::exchange(m_bytes, {}); }

private:
    std::vector<BYTE> m_bytes;
};
