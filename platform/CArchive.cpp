#include "platform/CArchive.h"

#include "platform/CFile.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

CArchive::CArchive(CFile* file, UINT mode, int bufferSize)
    : m_file(file)
    , m_mode(mode)
    , m_buffer(size_t(std::max(bufferSize, 16)))
{
}

CArchive::~CArchive()
{
    Close();
}

void CArchive::Close()
{
    if (IsStoring())
        flush();
}

void CArchive::fail(Failure failure, std::uint64_t at)
{
    if (m_failure != Failure::none)
        return;
    m_failure = failure;
    m_failedAt = at;
}

bool CArchive::fill()
{
    m_next = 0;
    m_end = m_file ? m_file->Read(m_buffer.data(), UINT(m_buffer.size())) : 0;
    return m_end > 0;
}

void CArchive::flush()
{
    if (m_next == 0 || Failed())
        return;
    if (!m_file || !m_file->Write(m_buffer.data(), UINT(m_next)))
        fail(Failure::writeError, m_position - m_next);
    m_next = 0;
}

UINT CArchive::Read(void* buffer, UINT count)
{
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (!Failed() && IsLoading() && done < count) {
        if (m_next == m_end && !fill())
            break;
        const size_t take = std::min(size_t(count - done), m_end - m_next);
        std::memcpy(out + done, m_buffer.data() + m_next, take);
        m_next += take;
        done += UINT(take);
    }
    m_position += done;
    return done;
}

void CArchive::Write(const void* buffer, UINT count)
{
    const auto* in = static_cast<const BYTE*>(buffer);
    while (!Failed() && IsStoring() && count > 0) {
        if (m_next == m_buffer.size())
            flush();
        const size_t put = std::min(size_t(count), m_buffer.size() - m_next);
        std::memcpy(m_buffer.data() + m_next, in, put);
        m_next += put;
        m_position += put;
        in += put;
        count -= UINT(put);
    }
}

template<typename T> T CArchive::readLittleEndian()
{
    const std::uint64_t start = m_position;
    BYTE bytes[sizeof(T)] = {};
    if (Read(bytes, sizeof(T)) != sizeof(T)) {
        fail(Failure::endOfFile, start);
        return 0;
    }
    std::make_unsigned_t<T> value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= std::make_unsigned_t<T>(bytes[i]) << (8 * i);
    return T(value);
}

template<typename T> void CArchive::writeLittleEndian(T value)
{
    const auto bits = std::make_unsigned_t<T>(value);
    BYTE bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = BYTE(bits >> (8 * i));
    Write(bytes, sizeof(T));
}

CArchive& CArchive::operator<<(BYTE value)
{
    writeLittleEndian(value);
    return *this;
}

CArchive& CArchive::operator<<(WORD value)
{
    writeLittleEndian(value);
    return *this;
}

CArchive& CArchive::operator<<(DWORD value)
{
    writeLittleEndian(value);
    return *this;
}

CArchive& CArchive::operator<<(LONG value)
{
    writeLittleEndian(value);
    return *this;
}

CArchive& CArchive::operator<<(const CString& value)
{
    const auto length = DWORD(value.GetLength());
    if (length < 0xFF) {
        *this << BYTE(length);
    } else if (length < 0xFFFE) {
        *this << BYTE(0xFF) << WORD(length);
    } else {
        *this << BYTE(0xFF) << WORD(0xFFFF) << length;
    }
    Write(value.str().data(), length);
    return *this;
}

CArchive& CArchive::operator>>(BYTE& value)
{
    value = readLittleEndian<BYTE>();
    return *this;
}

CArchive& CArchive::operator>>(WORD& value)
{
    value = readLittleEndian<WORD>();
    return *this;
}

CArchive& CArchive::operator>>(DWORD& value)
{
    value = readLittleEndian<DWORD>();
    return *this;
}

CArchive& CArchive::operator>>(LONG& value)
{
    value = readLittleEndian<LONG>();
    return *this;
}

CArchive& CArchive::operator>>(CString& value)
{
    value.Empty();
    if (Failed())
        return *this;
    const std::uint64_t start = m_position;
    BYTE shortLength = 0;
    *this >> shortLength;
    DWORD length = shortLength;
    if (shortLength == 0xFF) {
        WORD wordLength = 0;
        *this >> wordLength;
        length = wordLength;
        if (wordLength == 0xFFFE) {
            fail(Failure::unsupportedString, start);
            return *this;
        }
        if (wordLength == 0xFFFF)
            *this >> length;
    }
    if (Failed()) {
        m_failedAt = start;
        return *this;
    }

    // Taken in pieces, so a length that runs past the end of the file never
    // allocates more than the file holds.
    std::string text;
    char piece[4096];
    while (length > 0) {
        const UINT want = UINT(std::min<DWORD>(length, sizeof piece));
        const UINT got = Read(piece, want);
        text.append(piece, got);
        if (got != want) {
            fail(Failure::endOfFile, start);
            return *this;
        }
        length -= got;
    }
    value = CString(std::move(text));
    return *this;
}
