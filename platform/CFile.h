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

    // modeRead, or modeCreate | modeWrite to replace the whole file.
    // FALSE when the file cannot be opened; an existing read-only target or
    // an unwritable folder cannot be opened for writing.
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
