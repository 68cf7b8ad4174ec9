#include "platform/QtConversions.h"

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

namespace {

// The length of the UTF-8 sequence that starts text[i], or 0 when the bytes
// there are not one (a stray byte, an overlong form, a surrogate, a cut end).
size_t Utf8Length(const std::string& text, size_t i)
{
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                 ? 3
        : lead >= 0xF0 && lead <= 0xF4                 ? 4
                                                       : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((at(k) & 0xC0) != 0x80)
            return 0;
    }
    const unsigned char second = at(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90)
        || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// A byte that is not part of UTF-8 stands in a path as a lone low surrogate,
// which no UTF-8 text decodes to, so that it comes back as the same byte.
constexpr char16_t kEscapedByte = 0xDC00;

// Valid UTF-8 decoded as such; every other byte through `other`.
template<typename OtherByte> QString DecodeMixed(const CString& bytes, OtherByte other)
{
    const std::string& text = bytes.str();
    QString result;
    result.reserve(qsizetype(text.size()));
    for (size_t i = 0; i < text.size();) {
        if (const size_t length = Utf8Length(text, i)) {
            result += QString::fromUtf8(text.data() + i, qsizetype(length));
            i += length;
        } else {
            result += other(static_cast<unsigned char>(text[i++]));
        }
    }
    return result;
}

} // namespace

QString PathToQString(const CString& path)
{
    return DecodeMixed(path, [](unsigned char byte) { return QChar(char16_t(kEscapedByte + byte)); });
}

CString PathFromQString(const QString& path)
{
    std::string bytes;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < path.size() && path[i + 1].isLowSurrogate();
        if (!pair && c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF)
            bytes.push_back(char(c - kEscapedByte));
        else
            bytes += QString(path.constData() + i, pair ? 2 : 1).toStdString();
        i += pair ? 1 : 0;
    }
    return CString(std::move(bytes));
}

QString MessageToQString(const CString& text)
{
    return DecodeMixed(text, [](unsigned char byte) {
        const char one = char(byte);
        return ToQString(&one, 1);
    });
}
