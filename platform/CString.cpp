#include "platform/CString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {
bool isSpace(char ch)
{
    // The white space that trimming removes: space, tab, LF, VT, FF, CR.
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || size_t(start) >= m_text.size())
        return -1;
    auto pos = m_text.find(ch, size_t(start));
    return pos == std::string::npos ? -1 : int(pos);
}

int CString::ReverseFind(char ch) const
{
    auto pos = m_text.rfind(ch);
    return pos == std::string::npos ? -1 : int(pos);
}

CString CString::Left(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, size_t(count)));
}

CString CString::Mid(int first) const
{
    first = std::clamp(first, 0, GetLength());
    return CString(m_text.substr(size_t(first)));
}

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(size_t(first), size_t(count)));
}

CString CString::Right(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - size_t(count)));
}

CString& CString::MakeLower()
{
    // ASCII only: the text is single-byte and other bytes keep their value.
    for (char& ch : m_text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
    }
    return *this;
}

CString& CString::TrimLeft()
{
    auto it = std::find_if_not(m_text.begin(), m_text.end(), isSpace);
    m_text.erase(m_text.begin(), it);
    return *this;
}

CString& CString::TrimRight()
{
    auto it = std::find_if_not(m_text.rbegin(), m_text.rend(), isSpace);
    m_text.erase(it.base(), m_text.end());
    return *this;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) {
        m_text.clear();
    } else {
        m_text.assign(size_t(length) + 1, '\0');
        std::vsnprintf(m_text.data(), m_text.size(), format, args);
        m_text.resize(size_t(length));
    }
    va_end(args);
}
