#include "platform/QtConversions.h"

#include <QFile>

#include <array>
#include <cstring>

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves undefined map to
// the control characters of the same value, so that every byte comes back.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

char ToByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c)
            return char(0x80 + i);
    }
    return '?';
}

} // namespace

QString ToQString(const char* text, qsizetype length)
{
    QString result(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        result[i] = QChar(byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte));
    }
    return result;
}

QString ToQString(const char* text)
{
    return ToQString(text, text ? qsizetype(std::strlen(text)) : 0);
}

QString ToQString(const CString& text)
{
    return ToQString(text.str().data(), text.GetLength());
}

CString FromQString(const QString& text)
{
    std::string bytes;
    bytes.reserve(size_t(text.size()));
    for (const QChar c : text) {
        // A character beyond 16 bits is one '?', not two.
        if (!c.isLowSurrogate())
            bytes.push_back(ToByte(c.unicode()));
    }
    return CString(std::move(bytes));
}

QString PathToQString(const CString& path)
{
    return QFile::decodeName(QByteArray(path.str().data(), path.GetLength()));
}

CString PathFromQString(const QString& path)
{
    return CString(QFile::encodeName(path).toStdString());
}
