// Bitmaps from files and from the Qt resource system, and the kernel's
// resource and file calls the loaders use.
#include "platform/Gdi.h"

#include "platform/DeviceContext.h"
#include "platform/Path.h"

#include <QFile>
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

constexpr int kSplashResource = 152;

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
        if (reinterpret_cast<std::uintptr_t>(name) != kSplashResource)
            return std::nullopt;
        path = QStringLiteral(":/splash.bmp");
    } else {
        path = QStringLiteral(":/") + QString::fromLatin1(name);
    }
    if (!QFile::exists(path))
        return std::nullopt;
    return path;
}

// Windows bitmap files only, whatever their name or content claims.
QImage readBitmap(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file, "bmp");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    if (!name || type != IMAGE_BITMAP)
        return nullptr;
    QImage image;
    if (flags & LR_LOADFROMFILE) {
        image = readBitmap(QString::fromStdString(NativePath(name)));
    } else if (instance == &g_executable) {
        if (const std::optional<QString> path = resourcePath(name))
            image = readBitmap(*path);
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
