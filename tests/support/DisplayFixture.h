#pragma once
// A working display for a CDesktopApp without a window, for tests.
//
//   CDesktopApp app;
//   DisplayFixture display(app, 320, 240);       // ASSERT_TRUE(display.ok)
//   ... app.ComposeScene(); ...
//   QImage shown = display.target.lastFrame;     // what reached the "window"
//
// The fixture sets the screen and desktop sizes (m_cxScreen, m_cyScreen,
// m_cxDesktop, m_cyDesktop, m_rcScreen), m_nMaxObjects = 51 and the shared
// surface description as start-up does, builds the display through the app's
// own CreateDisplay with `target` as the window, and creates the colour
// surface (so m_dwColorKeyPixel is set). The pixel format is the one chosen
// by ORVANTA_DISPLAY_DEPTH (32 bits unless set; use DisplayDepth to change it
// for one test). The destructor calls ReleaseDirectDraw.
//
// WriteBitmap writes a real .bmp file for image loading tests; SystemIconTheme
// makes a folder of $XDG_DATA_DIRS with a hicolor icon in it.

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
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
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

// Sets ORVANTA_DISPLAY_DEPTH for its lifetime (8, 16 or 32); displays
// created meanwhile take that format.
class DisplayDepth {
public:
    explicit DisplayDepth(int depth)
    {
        if (const char* old = std::getenv("ORVANTA_DISPLAY_DEPTH"))
            m_old = old;
        setenv("ORVANTA_DISPLAY_DEPTH", std::to_string(depth).c_str(), 1);
    }
    ~DisplayDepth()
    {
        if (m_old)
            setenv("ORVANTA_DISPLAY_DEPTH", m_old->c_str(), 1);
        else
            unsetenv("ORVANTA_DISPLAY_DEPTH");
    }
    DisplayDepth(const DisplayDepth&) = delete;
    DisplayDepth& operator=(const DisplayDepth&) = delete;

private:
    std::optional<std::string> m_old;
};

// Writes a `width` x `height` bitmap of one colour to `dir`/`name` and
// returns its path. `format` picks the bit depth written: Format_RGB32 gives
// a 24-bit file, Format_Indexed8 an 8-bit one, Format_Mono a 1-bit one.
inline std::string WriteBitmap(const QString& dir, const QString& name, int width, int height, QColor color,
    QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    if (format != QImage::Format_RGB32)
        image = image.convertToFormat(format);
    const QString path = QDir(dir).filePath(name);
    image.save(path, "BMP");
    return path.toStdString();
}

// A run-length coded 8-bit bitmap file of `bytes` bytes that claims `width`
// x `height` pixels of palette entry `index` (a grey) but codes only its
// first rows: a few kilobytes that decode to a picture of any size.
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

// Writes `image` as a .bmp file to `dir`/`name` and returns its path.
inline std::string WriteBitmap(const QString& dir, const QString& name, const QImage& image)
{
    const QString path = QDir(dir).filePath(name);
    image.save(path, "BMP");
    return path.toStdString();
}

// For its lifetime the only system data folder is `dir`, holding the hicolor
// icon `name`, 48 x 48 of `color`.
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

// "" when every pixel of `image` has expected(x, y)'s RGB, else how many do
// not and the first of them.
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

// The rebuild of start-up: images, captions and colour keys of every record,
// then the tile surface, links and visibility.
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
