#pragma once
// Byte strings: one byte per character, compared byte-wise as unsigned values.

#include "platform/Types.h"

#include <string>
#include <vector>

class CString {
public:
    CString() = default;
    CString(const char* text)
        : m_text(text ? text : "")
    {
    }
    CString(const char* text, int length)
        : m_text(text, size_t(length))
    {
    }
    explicit CString(std::string text)
        : m_text(std::move(text))
    {
    }

    int GetLength() const { return int(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char operator[](int i) const { return m_text[size_t(i)]; }
    operator LPCSTR() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    // Byte-wise unsigned comparison: <0, 0, >0.
    int Compare(const char* other) const { return m_text.compare(other ? other : ""); }

    int Find(char ch, int start = 0) const;
    int ReverseFind(char ch) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    CString& MakeLower();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { return TrimRight().TrimLeft(); }

    // printf-style formatting.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CString& operator+=(const CString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* other)
    {
        m_text += other;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_text += ch;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == b; }
    friend auto operator<=>(const CString& a, const CString& b) { return a.Compare(b) <=> 0; }
    friend auto operator<=>(const CString& a, const char* b) { return a.Compare(b) <=> 0; }

private:
    std::string m_text;
};

class CStringArray {
public:
    int GetSize() const { return int(m_items.size()); }
    int Add(const CString& s)
    {
        m_items.push_back(s);
        return int(m_items.size()) - 1;
    }
    const CString& GetAt(int i) const { return m_items[size_t(i)]; }
    const CString& operator[](int i) const { return m_items[size_t(i)]; }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
