#include "platform/CFile.h"
#include "platform/QtConversions.h"

#include "platform/Path.h"

#include <QFile>
#include <QSaveFile>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A file or folder whose write permission bits are all clear is read-only
// for us too, also when the process could override them (as root can).
bool isReadOnly(const fs::path& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status))
        return false;
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & writable) == fs::perms::none;
}

}

CFile::CFile() = default;

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(LPCSTR fileName, UINT openFlags)
{
    Abort();
    m_writeFailed = false;
    const std::string native = NativePath(fileName);
    const QString path = PathToQString(CString(native));
    m_writing = (openFlags & modeWrite) != 0;
    if (m_writing) {
        // The file is written beside its target, so the folder must be
        // writable too.
        const fs::path target(native);
        // A name Qt cannot spell would be written under another name.
        if (QFile::encodeName(path).toStdString() != native)
            return FALSE;
        if (isReadOnly(target) || isReadOnly(target.parent_path().empty() ? fs::path(".") : target.parent_path()))
            return FALSE;
        auto file = std::make_unique<QSaveFile>(path);
        file->setDirectWriteFallback(false);
        // Unbuffered, so that a short write shows in Write's result: QSaveFile
        // itself would commit a file cut short by a full disk.
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return FALSE;
        m_file = std::move(file);
    } else {
        auto file = std::make_unique<QFile>();
        if (!OpenNativeFile(*file, native))
            return FALSE;
        m_file = std::move(file);
    }
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (!m_file || m_writing)
        return 0;
    const qint64 read = m_file->read(static_cast<char*>(buffer), qint64(count));
    return read > 0 ? UINT(read) : 0;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    if (!m_file || !m_writing)
        return FALSE;
    if (m_writeFailed || m_file->write(static_cast<const char*>(buffer), qint64(count)) != qint64(count))
        m_writeFailed = true;
    return m_writeFailed ? FALSE : TRUE;
}

BOOL CFile::Close()
{
    if (!m_file)
        return FALSE;
    BOOL ok = TRUE;
    if (m_writing) {
        // The data must be on the disk before the rename makes it the file;
        // QSaveFile ignores a failed sync.
        auto* file = static_cast<QSaveFile*>(m_file.get());
        ok = !m_writeFailed && ::fsync(file->handle()) == 0 && file->commit() ? TRUE : FALSE;
    } else
        m_file->close();
    m_file.reset();
    return ok;
}

void CFile::Abort()
{
    // Destroying an uncommitted QSaveFile removes its temporary file.
    m_file.reset();
}

BOOL CFile::GetStatus(LPCSTR fileName, CFileStatus& status)
{
    std::error_code error;
    const fs::path path(NativePath(fileName));
    const fs::file_status found = fs::status(path, error);
    if (error || !fs::exists(found))
        return FALSE;
    status.m_size = fs::is_regular_file(found) ? std::int64_t(fs::file_size(path, error)) : 0;
    if (error)
        status.m_size = 0;
    return TRUE;
}

BOOL CFile::Remove(LPCSTR fileName)
{
    std::error_code error;
    return fs::remove(fs::path(NativePath(fileName)), error) ? TRUE : FALSE;
}

BOOL CMemFile::Write(const void* buffer, UINT count)
{
    const auto* bytes = static_cast<const BYTE*>(buffer);
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    return TRUE;
}
