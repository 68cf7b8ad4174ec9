// Bitmaps from files and from the Qt resource system, and the kernel's
// resource and file calls the loaders use.
#include "platform/Gdi.h"
#include "platform/QtConversions.h"

#include "platform/CFile.h"
#include "platform/DeviceContext.h"
#include "platform/Path.h"
#include "platform/Pictures.h"
#include "platform/ResourceTables.h"
#include "platform/Screen.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>

struct ModuleInstance { };

struct ResourceData {
    QByteArray bytes;
};

struct ResourceInfo {
    ResourceData data;
};

namespace {

ModuleInstance g_executable;

bool isIntResource(LPCSTR name)
{
    return reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF;
}

// The Qt resource that holds the bitmap resource `name` (a name, or an
// integer id), when there is one.
std::optional<QString> resourcePath(LPCSTR name)
{
    QString path;
    if (isIntResource(name)) {
        const char* bitmap = FindBitmapResource(UINT(reinterpret_cast<std::uintptr_t>(name)));
        if (!bitmap)
            return std::nullopt;
        path = QString::fromLatin1(bitmap);
    } else {
        path = QStringLiteral(":/") + ToQString(name);
    }
    if (!QFile::exists(path))
        return std::nullopt;
    return path;
}

constexpr qint64 kMaxBitmapSide = 32767;
// A picture is refused when its decoded pixels would not fit the largest
// surface the display offers.
constexpr qint64 kMaxDecodedBytes = qint64(1) << 30;
// Headers and colour table come before the pixels; an offset beyond this is
// not a picture.
constexpr qint64 kMaxPixelOffset = 64 * 1024;
// Run-length data may be shorter than the pixels it covers, but not without
// bound: a few bytes must not make the reader fill a huge image.
constexpr qint64 kMaxRunLengthPixelsPerByte = 2048;
constexpr qint64 kFileHeader = 14;
constexpr qint64 kInfoHeader = 40;

// What a Windows bitmap file's headers declare.
struct BitmapHeader {
    qint64 offBits = 0;
    qint64 width = 0;
    qint64 height = 0; // negative for top-down rows
    qint64 bitCount = 0;
    qint64 compression = 0;
    qint64 colorsUsed = 0;

    bool runLength() const { return compression != 0 && compression != 3; } // not RGB, not bit fields
};

std::optional<BitmapHeader> ParseBitmapHeader(const QByteArray& bytes)
{
    const auto byte = [&](qint64 at) { return qint64(uchar(bytes[qsizetype(at)])); };
    const auto u16 = [&](qint64 at) { return byte(at) | byte(at + 1) << 8; };
    const auto u32 = [&](qint64 at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < kFileHeader + 12 || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    BitmapHeader header;
    header.offBits = u32(10);
    const qint64 infoSize = u32(kFileHeader);
    if (infoSize == 12) {
        header.width = u16(18);
        header.height = u16(20);
        header.bitCount = u16(24);
    } else if (infoSize >= kInfoHeader && bytes.size() >= kFileHeader + kInfoHeader) {
        header.width = qint32(quint32(u32(18)));
        header.height = qint32(quint32(u32(22)));
        header.bitCount = u16(28);
        header.compression = u32(30);
        header.colorsUsed = u32(46);
    } else {
        return std::nullopt;
    }
    const qint64 height = header.height < 0 ? -header.height : header.height;
    if (header.width <= 0 || height <= 0 || header.width > kMaxBitmapSide || height > kMaxBitmapSide
        || header.width * height * 4 > kMaxDecodedBytes || header.offBits > kMaxPixelOffset)
        return std::nullopt;
    if (header.bitCount <= 8 && header.colorsUsed > 256)
        return std::nullopt;
    return header;
}

// The most bytes a file with these headers can need: the pixels after their
// offset, uncompressed or run-length coded at worst (a run per pixel and an
// end of line per row).
qint64 JustifiedFileSize(const BitmapHeader& header)
{
    const qint64 height = header.height < 0 ? -header.height : header.height;
    if (header.runLength())
        return header.offBits + (2 * header.width + 2) * height + 2;
    return header.offBits + (header.width * header.bitCount + 31) / 32 * 4 * height;
}

// Checks the headers against the file before Qt's reader sees it: the reader
// accepts sides beyond 32767 and pads short pixel data out with zeros, so a
// damaged file of a few bytes could claim a huge image.
bool PlausibleBitmap(const QByteArray& bytes)
{
    const std::optional<BitmapHeader> header = ParseBitmapHeader(bytes);
    if (!header)
        return false;
    if (!header->runLength())
        return JustifiedFileSize(*header) <= bytes.size();
    const qint64 height = header->height < 0 ? -header->height : header->height;
    return header->width * height <= bytes.size() * kMaxRunLengthPixelsPerByte;
}

// Pictures in other formats are read whole, up to this size.
constexpr qint64 kMaxPictureFileBytes = qint64(64) << 20;

// A picture file's bytes, read only from a regular file (a FIFO or a device
// would block or never end) and only as far as its headers justify. The
// format comes from the first bytes, whatever the name says.
QByteArray ReadPictureFile(const std::string& native, PictureFormat& format)
{
    std::int64_t size = 0;
    const int fd = OpenRegularFile(native.c_str(), std::numeric_limits<std::int64_t>::max(), &size);
    format = PictureFormat::NotAPicture;
    if (fd < 0) {
        SetPictureFailure(PictureFailure::CannotOpen);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        SetPictureFailure(PictureFailure::CannotOpen);
        return {};
    }
    QByteArray bytes = file.read(kFileHeader + kInfoHeader);
    format = SniffPictureFormat(bytes);
    if (format != PictureFormat::Bmp) {
        if (size > kMaxPictureFileBytes) {
            SetPictureFailure(PictureFailure::TooLarge);
            return {};
        }
        if (format != PictureFormat::NotAPicture && format != PictureFormat::Unsupported)
            bytes += file.read(size - bytes.size());
        return bytes;
    }
    const std::optional<BitmapHeader> header = ParseBitmapHeader(bytes);
    if (!header)
        return {};
    const qint64 wanted = std::min<qint64>(size, JustifiedFileSize(*header));
    if (wanted > bytes.size())
        bytes += file.read(wanted - bytes.size());
    return bytes;
}

// Qt reads a 32-bit bitmap without bit fields as opaque, but its fourth
// byte is the alpha such bitmaps carry (straight, as in icons). Most write
// it all zero, or all opaque: then it means nothing and the picture stays
// opaque, colours untouched, even when scaled.
QImage WithBitmapAlpha(QImage image, const QByteArray& bytes, const BitmapHeader& header)
{
    const qint64 height = header.height < 0 ? -header.height : header.height;
    const qint64 stride = header.width * 4;
    if (header.bitCount != 32 || header.compression != 0 || image.format() != QImage::Format_RGB32
        || image.width() != header.width || image.height() != height || header.offBits + stride * height > bytes.size())
        return image;
    const auto* pixels = reinterpret_cast<const uchar*>(bytes.constData() + header.offBits);
    bool clear = true, opaque = true;
    for (qint64 i = 3; i < stride * height && (clear || opaque); i += 4) {
        clear = clear && pixels[i] == 0;
        opaque = opaque && pixels[i] == 255;
    }
    if (clear || opaque)
        return image;
    image.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const qint64 fileRow = header.height < 0 ? y : height - 1 - y;
        const uchar* in = pixels + fileRow * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = (out[x] & 0x00FFFFFF) | QRgb(in[4 * x + 3]) << 24;
    }
    return image;
}

// Windows bitmap files only, whatever their name or content claims.
QImage readBitmap(QByteArray bytes)
{
    if (!PlausibleBitmap(bytes))
        return {};
    // Decoded anew each time: a cache made no difference to start-up, and
    // a small run-length file can decode to a large picture.
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    return WithBitmapAlpha(std::move(image), bytes, *ParseBitmapHeader(bytes));
}

} // namespace

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    if (!name || type != IMAGE_BITMAP)
        return nullptr;
    QImage image;
    bool bitmap = true;
    if (flags & LR_LOADFROMFILE) {
        // Failures below say why; a bitmap that does not read is damaged.
        SetPictureFailure(PictureFailure::None);
        if (IsThemeIconName(name)) {
            image = ReadThemeIcon(name, PrimaryScreenScale());
            bitmap = false;
        } else {
            PictureFormat format = PictureFormat::NotAPicture;
            QByteArray bytes = ReadPictureFile(NativePath(name), format);
            bitmap = format == PictureFormat::Bmp;
            if (bitmap)
                image = readBitmap(std::move(bytes));
            else if (LastPictureFailure() == PictureFailure::None)
                image = ReadPicture(std::move(bytes), PrimaryScreenScale());
        }
        if (image.isNull() && LastPictureFailure() == PictureFailure::None)
            SetPictureFailure(PictureFailure::Unreadable);
    } else if (instance == &g_executable) {
        if (const std::optional<QString> path = resourcePath(name)) {
            QFile file(*path);
            if (file.open(QIODevice::ReadOnly))
                image = readBitmap(file.readAll());
        }
    }
    if (image.isNull())
        return nullptr;
    if (cx > 0 || cy > 0)
        image = image.scaled(
            cx > 0 ? cx : image.width(), cy > 0 ? cy : image.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // Conversion needs memory of its own: a null result is a failed load.
    image = WithMeaningfulAlpha(std::move(image), bitmap);
    if (image.isNull()) {
        if (flags & LR_LOADFROMFILE)
            SetPictureFailure(PictureFailure::TooLarge);
        return nullptr;
    }
    return new (std::nothrow) GdiObject { std::move(image) };
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    return name ? nullptr : &g_executable;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if ((module && module != &g_executable) || type != RT_BITMAP || !name)
        return nullptr;
    const std::optional<QString> path = resourcePath(name);
    if (!path)
        return nullptr;
    // Resources live as long as the program, as a module's do.
    static std::map<QString, std::unique_ptr<ResourceInfo>> loaded;
    std::unique_ptr<ResourceInfo>& info = loaded[*path];
    if (!info) {
        QFile file(*path);
        if (!file.open(QIODevice::ReadOnly))
            return nullptr;
        info = std::make_unique<ResourceInfo>();
        // A bitmap resource is the file without its 14-byte file header,
        // in memory of its own so that its headers are aligned.
        const QByteArray bytes = file.readAll();
        const qsizetype skip = bytes.startsWith("BM") ? std::min<qsizetype>(14, bytes.size()) : 0;
        info->data.bytes = QByteArray(bytes.constData() + skip, bytes.size() - skip);
        // Readers take the header and colour table from it without knowing
        // its size: pad it so a short one reads zeros, not past the end.
        info->data.bytes.append(QByteArray(40 + 256 * 4, '\0'));
    }
    return info.get();
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    return resource ? &resource->data : nullptr;
}

LPVOID LockResource(HGLOBAL data)
{
    return data ? static_cast<LPVOID>(data->bytes.data()) : nullptr;
}

HFILE _lopen(LPCSTR path, int mode)
{
    if (!path || mode != OF_READ)
        return HFILE_ERROR;
    const int fd = OpenRegularFile(NativePath(path).c_str(), std::numeric_limits<std::int64_t>::max());
    return fd < 0 ? HFILE_ERROR : fd;
}

UINT _lread(HFILE file, LPVOID buffer, UINT bytes)
{
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < bytes) {
        const ssize_t got = ::read(file, out + done, bytes - done);
        if (got < 0)
            return UINT(HFILE_ERROR);
        if (got == 0)
            break;
        done += UINT(got);
    }
    return done;
}

HFILE _lclose(HFILE file)
{
    return ::close(file) == 0 ? 0 : HFILE_ERROR;
}
