// Bitmaps from files and from the Qt resource system, and the kernel's
// resource and file calls the loaders use.
#include "platform/Gdi.h"
#include "platform/QtConversions.h"

#include "platform/DeviceContext.h"
#include "platform/Path.h"
#include "platform/ResourceTables.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QImageReader>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
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
// Run-length data may be shorter than the pixels it covers, but not without
// bound: a few bytes must not make the reader fill a huge image.
constexpr qint64 kMaxRunLengthPixelsPerByte = 2048;

// Checks the headers against the file before Qt's reader sees it: the reader
// accepts sides beyond 32767 and pads short pixel data out with zeros, so a
// damaged file of a few bytes could claim a huge image.
bool PlausibleBitmap(const QByteArray& bytes)
{
    const auto byte = [&](qint64 at) { return qint64(uchar(bytes[qsizetype(at)])); };
    const auto u16 = [&](qint64 at) { return byte(at) | byte(at + 1) << 8; };
    const auto u32 = [&](qint64 at) { return u16(at) | u16(at + 2) << 16; };
    constexpr qint64 kFileHeader = 14;
    if (bytes.size() < kFileHeader + 12 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const qint64 offBits = u32(10);
    const qint64 infoSize = u32(kFileHeader);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bitCount = 0;
    qint64 compression = 0;
    if (infoSize == 12) {
        width = u16(18);
        height = u16(20);
        bitCount = u16(24);
    } else if (infoSize >= 40 && bytes.size() >= kFileHeader + 40) {
        width = qint32(quint32(u32(18)));
        height = qint32(quint32(u32(22)));
        bitCount = u16(28);
        compression = u32(30);
    } else {
        return false;
    }
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return false;
    constexpr qint64 kRgb = 0;
    constexpr qint64 kBitFields = 3;
    if (compression == kRgb || compression == kBitFields) {
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        return offBits + rowBytes * height <= bytes.size();
    }
    return width * height <= bytes.size() * kMaxRunLengthPixelsPerByte;
}

// Windows bitmap files only, whatever their name or content claims.
QImage readBitmap(QFile& file)
{
    if (!file.isOpen())
        return {};
    QByteArray bytes = file.readAll();
    if (!PlausibleBitmap(bytes))
        return {};
    // Objects often share their pictures: the same small file is decoded
    // once. Keyed by content, so a file changed on disk is decoded again.
    constexpr qsizetype kMaxCachedBytes = 256 * 1024;
    constexpr qsizetype kMaxCached = 64;
    static QHash<QByteArray, QImage> decoded;
    if (const auto found = decoded.constFind(bytes); found != decoded.cend())
        return *found;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (bytes.size() <= kMaxCachedBytes) {
        if (decoded.size() >= kMaxCached)
            decoded.clear();
        decoded.insert(bytes, image);
    }
    return image;
}

} // namespace

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    if (!name || type != IMAGE_BITMAP)
        return nullptr;
    QImage image;
    if (flags & LR_LOADFROMFILE) {
        QFile file;
        OpenNativeFile(file, NativePath(name));
        image = readBitmap(file);
    } else if (instance == &g_executable) {
        if (const std::optional<QString> path = resourcePath(name)) {
            QFile file(*path);
            file.open(QIODevice::ReadOnly);
            image = readBitmap(file);
        }
    }
    if (image.isNull())
        return nullptr;
    if (cx > 0 || cy > 0)
        image = image.scaled(
            cx > 0 ? cx : image.width(), cy > 0 ? cy : image.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return new GdiObject { image.convertToFormat(QImage::Format_RGB32) };
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
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
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
