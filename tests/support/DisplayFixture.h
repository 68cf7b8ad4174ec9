#pragma once
// A working display for a CDesktopApp without a window, built through the app's own CreateDisplay as start-up
// builds it (sizes, m_nMaxObjects = 51, colour surface and key pixel), at ORVANTA_DISPLAY_DEPTH bits (DisplayDepth);
// `target` keeps the last frame presented. Also bitmap files, a system icon theme and pixel checks.

#include "app/DesktopApp.h"
#include "platform/Pictures.h"
#include "platform/PresentTarget.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

// Keeps a copy of the last frame presented and counts presentations.
class CapturingTarget : public PresentTarget {
public:
    // Only the changed parts reach the kept frame, as only they reach a window.
    void presentFrame(const QImage& frame, std::span<const RECT> changed) override
    {
        ++presentations;
        if (changed.empty() || lastFrame.size() != frame.size() || lastFrame.format() != frame.format()) {
            lastFrame = frame.copy();
            return;
        }
        // Row by row, so palettized frames keep their indices.
        if (frame.format() == QImage::Format_Indexed8)
            lastFrame.setColorTable(frame.colorTable());
        const int bytes = frame.depth() / 8;
        for (const RECT& r : changed) {
            const QRect part = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top) & frame.rect();
            for (int y = part.top(); y <= part.bottom(); ++y)
                std::memcpy(lastFrame.scanLine(y) + part.left() * bytes, frame.constScanLine(y) + part.left() * bytes,
                    size_t(part.width() * bytes));
        }
        ++partial;
    }
    QImage lastFrame;
    int presentations = 0;
    int partial = 0; // presentations of changed parts only
};

struct DisplayFixture {
    DisplayFixture(CDesktopApp& desktop, int width = 640, int height = 480)
        : app(desktop)
    {
        app.m_nMaxObjects = 51;
        app.m_cxScreen = app.m_cxDesktop = width;
        app.m_cyScreen = app.m_cyDesktop = height;
        app.m_rcScreen = { 0, 0, width, height };
        ok = app.CreateDisplay(&target) == TRUE;
        if (!ok)
            return;
        app.CreateColorSurface();
        app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
        app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    }
    ~DisplayFixture() { app.ReleaseDirectDraw(); }
    DisplayFixture(const DisplayFixture&) = delete;
    DisplayFixture& operator=(const DisplayFixture&) = delete;
    CDesktopApp& app;
    CapturingTarget target;
    bool ok = false;
};

// Sets an environment variable (unsets it when `value` is null) for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_old(qgetenv(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { m_old.isNull() ? qunsetenv(m_name) : qputenv(m_name, m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
};

// Displays created in its lifetime take `depth` bits (8, 16 or 32).
struct DisplayDepth : ScopedEnv {
    explicit DisplayDepth(int depth)
        : ScopedEnv("ORVANTA_DISPLAY_DEPTH", QByteArray::number(depth))
    {
    }
};

// Writes `image` as a .bmp file to `dir`/`name` and returns its path.
inline std::string WriteBitmap(const QString& dir, const QString& name, const QImage& image)
{
    const QString path = QDir(dir).filePath(name);
    image.save(path, "BMP");
    return path.toStdString();
}

// Writes a one-colour bitmap (24-bit, or Indexed8 / Mono for 8 and 1 bits) to `dir`/`name`; returns its path.
inline std::string WriteBitmap(const QString& dir, const QString& name, int width, int height, QColor color,
    QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return WriteBitmap(dir, name, format == QImage::Format_RGB32 ? image : image.convertToFormat(format));
}

// An 8-bit RLE bitmap of `bytes` bytes claiming `width` x `height` of palette entry `index`: a small bomb.
inline QByteArray RunLengthBitmap(int width, int height, int bytes, quint8 index)
{
    constexpr int kOffset = 14 + 40 + 1024;
    QByteArray file(kOffset, '\0');
    const auto put = [&](int at, quint32 value) { qToLittleEndian(value, file.data() + at); };
    file[0] = 'B', file[1] = 'M';
    put(2, quint32(bytes)), put(10, kOffset), put(14, 40), put(18, quint32(width)), put(22, quint32(height));
    put(26, 1 | 8 << 16), put(30, 1); // one plane, 8 bits, BI_RLE8
    for (int i = 0; i < 256; ++i)
        put(54 + 4 * i, quint32(i * 0x010101));
    QByteArray row;
    for (int x = 0; x < width; x += 255)
        row += QByteArray { char(std::min(255, width - x)), char(index) };
    row += QByteArray(2, '\0'); // end of line
    while (file.size() + row.size() + 2 <= bytes)
        file += row;
    file += QByteArray { '\0', '\1' }; // end of picture
    return file + QByteArray(std::max<qsizetype>(0, bytes - file.size()), '\0');
}

// For its lifetime the only system data folder is `dir`, holding the hicolor icon `name`, 48 x 48 of `color`.
class SystemIconTheme {
public:
    SystemIconTheme(const QString& dir, const QString& name, QColor color)
        : m_saved(qgetenv("XDG_DATA_DIRS"))
    {
        QDir(dir).mkpath("icons/hicolor/48x48/apps");
        if (QFile index(dir + "/icons/hicolor/index.theme"); index.open(QIODevice::WriteOnly))
            index.write("[Icon Theme]\nDirectories=48x48/apps\n[48x48/apps]\nSize=48\n");
        QImage icon(48, 48, QImage::Format_RGB32);
        icon.fill(color);
        icon.save(dir + "/icons/hicolor/48x48/apps/" + name + ".png");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir));
        UseFreedesktopIconThemes();
    }
    ~SystemIconTheme()
    {
        qputenv("XDG_DATA_DIRS", m_saved);
        UseFreedesktopIconThemes();
    }

private:
    QByteArray m_saved;
};

// "" when every pixel of `image` has expected(x, y)'s RGB, else how many do not and the first of them.
inline std::string WrongPixels(const QImage& image, const std::function<QRgb(int, int)>& expected)
{
    int wrong = 0;
    std::string first;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb got = image.pixel(x, y) & 0xFFFFFF, want = expected(x, y) & 0xFFFFFF;
            if (got != want && wrong++ == 0)
                first = QString::asprintf(", first (%d,%d) is %06x not %06x", x, y, got, want).toStdString();
        }
    return wrong ? std::to_string(wrong) + " wrong" + first : std::string();
}

// `source`, premultiplied ARGB, over `dest`: each channel c + d * (255 - a)
// / 255, rounded to nearest (never a tie, 255 being odd).
inline QRgb SourceOver(QRgb dest, QRgb source)
{
    const int inverse = 255 - qAlpha(source);
    const auto channel = [&](int s, int d) { return s + (2 * d * inverse + 255) / 510; };
    return qRgb(
        channel(qRed(source), qRed(dest)), channel(qGreen(source), qGreen(dest)), channel(qBlue(source), qBlue(dest)));
}

// Start-up's rebuild: images, captions and keys of every record, then tile, links and visibility.
inline void BuildEveryObject(CDesktopApp& app)
{
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i = 0; i < app.m_nObjects; ++i) {
        app.LoadObjectImages(i);
        app.CreateCaptionSurfaces(i);
        app.SetObjectColorKeys(i);
    }
    app.UpdateTileSurface();
    app.ResolveActivationLinks();
    app.ApplyVisibility();
}
