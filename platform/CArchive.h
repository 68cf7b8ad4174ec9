#pragma once
// A buffered byte stream over a CFile: little-endian integers and counted
// strings. Nothing is thrown: a read past the end, a malformed string prefix
// or a write error makes the archive fail, and once failed it reads only zeros
// and empty strings and writes nothing.

#include "platform/CString.h"
#include "platform/Types.h"

#include <cstdint>
#include <vector>

class CFile;

class CArchive {
public:
    enum Mode : UINT { store = 0, load = 1 };
    enum class Failure { none, endOfFile, unsupportedString, writeError };

    CArchive(CFile* file, UINT mode, int bufferSize = 4096);
    ~CArchive(); // closes a storing archive
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }

    // Writes what is buffered to the file; the file itself stays open.
    void Close();

    bool Failed() const { return m_failure != Failure::none; }
    Failure GetFailure() const { return m_failure; }
    // Bytes taken from or given to the stream so far; on a failure, where the
    // value that failed starts.
    std::uint64_t GetPosition() const { return m_failure != Failure::none ? m_failedAt : m_position; }

    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);

    CArchive& operator<<(BYTE value);
    CArchive& operator<<(WORD value);
    CArchive& operator<<(DWORD value);
    CArchive& operator<<(LONG value);
    // The counted string: a one-byte length below 0xFF, else 0xFF and a WORD
    // length below 0xFFFE, else 0xFF 0xFFFF and a DWORD length.
    CArchive& operator<<(const CString& value);

    CArchive& operator>>(BYTE& value);
    CArchive& operator>>(WORD& value);
    CArchive& operator>>(DWORD& value);
    CArchive& operator>>(LONG& value);
    // The prefix 0xFF 0xFFFE (a string of 16-bit characters) is not read: the
    // archive fails with Failure::unsupportedString.
    CArchive& operator>>(CString& value);

private:
    bool fill();
    void flush();
    void fail(Failure failure, std::uint64_t at);
    template<typename T> T readLittleEndian();
    template<typename T> void writeLittleEndian(T value);

    CFile* m_file;
    UINT m_mode;
    std::vector<BYTE> m_buffer;
    size_t m_next = 0; // load: next byte to take; store: bytes buffered
    size_t m_end = 0; // load: bytes in the buffer
    std::uint64_t m_position = 0;
    std::uint64_t m_failedAt = 0;
    Failure m_failure = Failure::none;
};
