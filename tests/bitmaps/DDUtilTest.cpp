// Bitmap and palette loading onto surfaces, colour matching and keys.
#include "bitmaps/DDUtil.h"
#include "platform/DeviceContext.h"
#include "platform/Pictures.h"
#include "support/Bytes.h"
#include "support/Faults.h"
#include "support/SurfaceTest.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QIcon>
#include <QImageWriter>
#include <QTemporaryDir>

#include <climits>
#include <malloc.h>
#include <sys/stat.h>
#include <zlib.h>

namespace {

// The file and info headers of a bitmap file: "BM", then little-endian 32-bit fields at their offsets (bfSize 2,
// bfOffBits 10, biSize 14, biWidth 18, biHeight 22, biPlanes and biBitCount 26, biClrUsed 46).
QByteArray Headers(std::initializer_list<std::pair<int, qint32>> fields)
{
    QByteArray bytes(54, '\0');
    bytes[0] = 'B', bytes[1] = 'M';
    for (const auto& [offset, value] : fields)
        qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

// kColors[(x + 3 * y) % colours] at (x, y) of a 3 x 2 bitmap of the given depth, bottom-up or top-down.
constexpr QRgb kColors[6]
    = { qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 255, 255) };

QByteArray HandWrittenBitmap(int bits, bool topDown)
{
    const int colours = bits == 1 ? 2 : 6, tableSize = bits <= 8 ? 1 << bits : 0, rowBytes = (3 * bits + 31) / 32 * 4;
    QByteArray table(tableSize * 4, '\0'), pixels(rowBytes * 2 + 4, '\0');
    for (int i = 0; i < std::min(tableSize, colours); ++i)
        qToLittleEndian<quint32>(kColors[i] & 0xFFFFFF, table.data() + 4 * i);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const int index = (x + 3 * y) % colours;
            const QRgb c = kColors[index];
            char* row = pixels.data() + (topDown ? y : 1 - y) * rowBytes;
            if (bits <= 8) // packed from the high bits down
                row[x * bits / 8] = char(row[x * bits / 8] | index << (8 - bits - x * bits % 8));
            else // little-endian, the next pixel overwriting the spare high bytes
                qToLittleEndian<quint32>(
                    bits == 16 ? (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3 : c & 0xFFFFFF,
                    row + x * bits / 8);
        }
    pixels.chop(4);
    return Headers({ { 2, 54 + table.size() + pixels.size() }, { 10, 54 + table.size() }, { 14, 40 }, { 18, 3 },
               { 22, topDown ? -2 : 2 }, { 26, 1 | bits << 16 } })
        + table + pixels;
}

// `image` written by Qt in `format` (quality 100: lossless WebP).
QByteArray Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    return bytes;
}

QByteArray Gzipped(const QByteArray& bytes)
{
    z_stream stream {};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// A PNG whose header declares width x height, its checksum made right.
QByteArray PngDeclaring(quint32 width, quint32 height)
{
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(Qt::red);
    QByteArray png = Encoded(one, "png");
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17)), png.data() + 29);
    return png;
}

// A GIF of `frames` 3 x 2 frames, index 3 transparent, frame k's (x, y) at index (x + y + k) % 4.
QByteArray Gif(int frames)
{
    QByteArray gif = "GIF89a" + QByteArray::fromHex("03000200a10000"); // 3 x 2, a 4-entry table
    for (QRgb c : { kColors[0], kColors[1], kColors[2], kColors[3] })
        gif += char(qRed(c)), gif += char(qGreen(c)), gif += char(qBlue(c));
    for (int k = 0; k < frames; ++k) {
        gif += QByteArray::fromHex("21f90401000003002c00000000030002000002"); // index 3 transparent; a 3 x 2 frame
        std::vector<int> codes;
        for (int i = 0; i < 6; ++i) {
            if (i % 2 == 0)
                codes.push_back(4);
            codes.push_back((i % 3 + i / 3 + k) % 4);
        }
        codes.push_back(5);
        QByteArray data;
        int bits = 0, used = 0;
        for (int code : codes) {
            bits |= code << used;
            used += 3;
            for (; used >= 8; used -= 8, bits >>= 8)
                data += char(bits & 0xFF);
        }
        if (used)
            data += char(bits & 0xFF);
        gif += char(data.size()) + data + '\0';
    }
    return gif + ';';
}

constexpr char kSvg[] = R"(<?xml version="1.0"?>
<svg xmlns="http://www.w3.org/2000/svg" width="4" height="2" viewBox="0 0 4 2">
  <rect x="0" y="0" width="2" height="2" fill="#ff0000"/>
  <rect x="2" y="0" width="2" height="2" fill="#0000ff" fill-opacity="0.5"/>
</svg>)";

// An SVG of `width` x 2 whose body is `body`.
QByteArray Svg(const QByteArray& body, int width = 4, const QByteArray& prologue = {})
{
    return prologue + "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
        + QByteArray::number(width) + "\" height=\"2\">" + body + "</svg>";
}

class BitmapUtilities : public SurfaceTest {
protected:
    IDirectDrawSurface* load(const QByteArray& bytes)
    {
        EXPECT_TRUE(WriteAll(path, bytes));
        return DDLoadBitmap(dd, path.toLatin1(), 0, 0);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("file.bmp");
};

TEST_F(BitmapUtilities, FilesOfEveryDepthLoadInEitherRowOrderAtTheSizeAsked)
{
    for (int bits : { 1, 4, 8, 16, 24, 32 })
        for (bool topDown : { false, true }) {
            SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown);
            IDirectDrawSurface* s = load(HandWrittenBitmap(bits, topDown));
            ASSERT_NE(s, nullptr);
            // Five-bit components widen by a shift, as GDI does: 31 becomes 248.
            const DWORD mask = bits == 16 ? 0xF8F8F8 : 0xFFFFFF;
            expectPixels(s, [&](int x, int y) { return kColors[(x + 3 * y) % (bits == 1 ? 2 : 6)] & mask; });
            s->Release();
        }
    IDirectDrawSurface* wide = DDLoadBitmap(dd, path.toLatin1(), 6, 4);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->height(), 4);
    expectPixels(wide, [](int x, int y) { return kColors[x / 2 + 3 * (y / 2)] & 0xFFFFFF; });
    // A resource is found by its name before any file.
    IDirectDrawSurface* splash = DDLoadBitmap(dd, "splash.bmp", 0, 0);
    ASSERT_NE(splash, nullptr);
    EXPECT_GT(splash->width(), 1);
    EXPECT_EQ(dd->liveSurfaceCount(), 2u);
    // On an 8-bit display each pixel is the nearest entry.
    open(8);
    IDirectDrawSurface* s
        = DDLoadBitmap(dd, WriteBitmap(dir.path(), "red.bmp", 2, 2, QColor(250, 10, 0)).c_str(), 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(at(s, 1, 1), 224u);
}

TEST_F(BitmapUtilities, DamagedOrHugeFilesAreRefused)
{
    const QByteArray good = HandWrittenBitmap(24, false);
    // Every cut of the file, headers or pixels, is refused.
    for (qsizetype length = 0; length < good.size(); ++length)
        EXPECT_EQ(load(good.left(length)), nullptr) << "cut to " << length << " bytes";
    // Not "BM", an info header of no known size, no width, and sides beyond 32767 even when the data would cover them.
    const std::tuple<int, qint32, int> cases[] = { { 0, 'X' | 'M' << 8, 0 }, { 14, 20, 0 }, { 18, 0, 0 },
        { 22, 32768, 12 * 32768 }, { 22, -32768, 12 * 32768 } };
    for (const auto& [offset, value, extra] : cases) {
        QByteArray bad = good + QByteArray(extra, '\0');
        qToLittleEndian(value, bad.data() + offset);
        EXPECT_EQ(load(bad), nullptr) << offset << ": " << value;
    }
    // A height of INT_MIN, no planes, and a colour table of 2^31 entries.
    for (const auto& [bits, offset, value] :
        { std::tuple { 24, 22, INT_MIN }, { 24, 26, 24 << 16 }, { 8, 46, INT_MIN } }) {
        QByteArray bad = HandWrittenBitmap(bits, false);
        qToLittleEndian(value, bad.data() + offset);
        EXPECT_EQ(load(bad), nullptr) << offset << ": " << value;
    }
    EXPECT_EQ(DDLoadBitmap(dd, (dir.path() + "/missing.bmp").toLatin1(), 0, 0), nullptr);
    EXPECT_EQ(dd->liveSurfaceCount(), 0u);
    ASSERT_NE(load(good), nullptr);
}

// Only regular files are read, and no further than their headers justify; palettes come from none of the others.
TEST_F(BitmapUtilities, OnlyRegularFilesAreReadAndOnlyAsFarAsTheirHeaders)
{
    const QString fifo = dir.filePath("fifo.bmp");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    IDirectDrawPalette* defaults = DDLoadPalette(dd, nullptr);
    for (const QString& special : { fifo, dir.path(), QString("/dev/zero") }) {
        EXPECT_EQ(DDLoadBitmap(dd, special.toLatin1(), 0, 0), nullptr) << special.toStdString();
        IDirectDrawPalette* palette = DDLoadPalette(dd, special.toLatin1());
        EXPECT_EQ(std::memcmp(palette->entries(), defaults->entries(), 256 * sizeof(PALETTEENTRY)), 0);
        palette->Release();
    }
    const qint64 huge = qint64(4) << 30;
    for (const bool picture : { true, false }) {
        ASSERT_TRUE(WriteAll(path, picture ? HandWrittenBitmap(24, false) : QByteArray(64, '\0')));
        ASSERT_TRUE(QFile::resize(path, huge));
        IDirectDrawSurface* s = DDLoadBitmap(dd, path.toLatin1(), 0, 0);
        EXPECT_EQ(s != nullptr, picture);
        if (s)
            expectPixels(s, [&](int x, int y) { return kColors[(x + 3 * y) % 6] & 0xFFFFFF; });
    }
}

// Released pictures leave no decoded copies behind, however large the pictures that small files decode to.
TEST_F(BitmapUtilities, ReleasedPicturesLeaveNoDecodedCopies)
{
    const auto heapInUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return qint64(m.uordblks + m.hblkhd);
    };
    // Nor does a picture decoded ahead that no load took.
    QImage large(2400, 2400, QImage::Format_ARGB32);
    large.fill(QColor(10, 20, 30, 40));
    const std::string png = dir.filePath("large.png").toStdString();
    ASSERT_TRUE(large.save(QString::fromStdString(png), "PNG"));
    const qint64 before = heapInUse();
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(WriteAll(path, RunLengthBitmap(2400, 2400, 4096, quint8(i))));
        HGDIOBJ bitmap = LoadImageA(nullptr, path.toLatin1(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        ASSERT_NE(bitmap, nullptr);
        DeleteObject(bitmap);
        PicturePrefetch prefetch({ png });
        prefetch.WaitForDone();
    }
    EXPECT_LT(heapInUse() - before, qint64(16) << 20);
}

TEST_F(BitmapUtilities, ReloadScalesToTheSurfaceRestoresItAndReportsFailures)
{
    const std::string file = WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(10, 20, 30));
    IDirectDrawSurface* s = make(5, 3);
    s->markLost();
    ASSERT_EQ(DDReloadBitmap(s, file.c_str()), DD_OK);
    EXPECT_FALSE(s->isLost());
    expectPixels(s, [](int, int) { return 0x0A141Eu; });
    WriteBitmap(dir.path(), "one.bmp", 2, 2, QColor(90, 80, 70));
    testing::internal::CaptureStderr();
    EXPECT_EQ(DDReloadBitmap(s, (dir.path() + "/gone.bmp").toLatin1()), E_FAIL);
    FailNextCall(FaultPoint::GetDC);
    EXPECT_NE(DDReloadBitmap(s, file.c_str()), DD_OK);
    FailNextCall(FaultPoint::CreateCompatibleDC);
    EXPECT_EQ(DDReloadBitmap(s, file.c_str()), E_FAIL);
    EXPECT_EQ(at(s, 2, 1), 0x0A141Eu); // none of these copied anything
    EXPECT_EQ(DDCopyBitmap(nullptr, nullptr, 0, 0, 0, 0), E_FAIL);
    // A colour match gives the stored value and leaves the pixel; a colour key leaves that colour out.
    IDirectDrawSurface* dest = make(5, 3);
    RECT first { 0, 0, 1, 1 };
    fill(s, &first, 0xC80000);
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), 0x090909u);
    EXPECT_EQ(DDColorMatch(s, CLR_INVALID), 0xC80000u);
    ASSERT_EQ(DDSetColorKey(s, RGB(10, 20, 30)), DD_OK);
    ASSERT_EQ(dest->Blt(nullptr, s, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
    expectPixels(dest, [](int x, int y) { return x + y == 0 ? 0xC80000u : 0u; });
    s->markLost();
    EXPECT_EQ(DDColorMatch(s, RGB(9, 9, 9)), CLR_INVALID);
}

TEST_F(BitmapUtilities, PalettesComeFromTheFilesColourTableOrTheDefault)
{
    IDirectDrawPalette* defaults = DDLoadPalette(dd, nullptr);
    ASSERT_NE(defaults, nullptr);
    const auto same = [](const PALETTEENTRY& a, const PALETTEENTRY& b) { return std::memcmp(&a, &b, 4) == 0; };
    QByteArray tail;
    for (int i = 0; i < 1024; ++i)
        tail.append(char(i * 7 + 3));
    // Entries below `swapped` come red-blue swapped, below `raw` as read, the rest from the default palette.
    const struct {
        qint32 biSize, bitCount, clrUsed, length, swapped, raw;
        const char* name = nullptr;
    } cases[] = { { 40, 8, 0, 1078, 256, 256 }, { 40, 4, 0, 218, 16, 41 }, { 40, 8, 3, 218, 3, 41 },
        { 40, 8, 100000, 1078, 256, 256 }, { 40, 24, 0, 1078, 0, 256 }, { 108, 8, 0, 1078, 0, 256 },
        { 12, 8, 0, 1078, 0, 256 }, { 40, 8, 0, 30, 0, 0 }, { 0, 0, 0, 0, 0, 0, "no/such/palette.bmp" },
        { 0, 0, 0, 0, 0, 0, "splash.bmp" } };
    for (const auto& c : cases) {
        const QByteArray bytes = Headers({ { 14, c.biSize }, { 26, 1 | c.bitCount << 16 }, { 46, c.clrUsed } }) + tail;
        ASSERT_TRUE(WriteAll(path, bytes.left(c.length)));
        IDirectDrawPalette* palette = DDLoadPalette(dd, c.name ? c.name : path.toLatin1().constData());
        ASSERT_NE(palette, nullptr);
        for (int i = 0; i < 256; ++i) {
            const auto q = [&](int k) { return BYTE(tail[4 * i + k]); };
            const PALETTEENTRY expected = i < c.swapped ? PALETTEENTRY { q(2), q(1), q(0), q(3) }
                : i < c.raw                             ? PALETTEENTRY { q(0), q(1), q(2), q(3) }
                                                        : defaults->entries()[i];
            ASSERT_TRUE(same(palette->entries()[i], expected)) << c.biSize << "/" << c.bitCount << ": " << i;
        }
        palette->Release();
    }
}

// The picture a file loads to, as LoadImage keeps it, why it failed, and whether start-up decodes it ahead.
struct Loaded {
    QImage image;
    PictureFailure failure = PictureFailure::None;
    bool ahead = false;
};

Loaded LoadOnce(const std::string& name)
{
    HGDIOBJ bitmap = LoadImageA(nullptr, name.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    Loaded loaded { {}, LastPictureFailure() };
    if (bitmap) {
        loaded.image = std::get<QImage>(bitmap->value);
        DeleteObject(bitmap);
    }
    return loaded;
}

// Loaded, then loaded again as start-up does after decoding it ahead, which must give the same.
Loaded LoadPicture(const std::string& name)
{
    Loaded loaded = LoadOnce(name);
    PicturePrefetch prefetch({ name });
    prefetch.WaitForDone();
    const PrefetchedPicture offered(name.c_str());
    const Loaded ahead = LoadOnce(name);
    loaded.ahead = bool(offered);
    EXPECT_EQ(ahead.failure, loaded.failure) << name;
    EXPECT_EQ(ahead.image.format(), loaded.image.format()) << name;
    EXPECT_TRUE(ahead.image == loaded.image) << name;
    return loaded;
}

// Channels within `tolerance` of each other (lossy formats, antialiasing).
bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qAlpha(a) - qAlpha(b)) <= tolerance && std::abs(qRed(a) - qRed(b)) <= tolerance
        && std::abs(qGreen(a) - qGreen(b)) <= tolerance && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Pictures of each format load by content whatever their name, premultiplied only when not opaque.
TEST_F(BitmapUtilities, PicturesOfEachFormatLoadByContentWithTheirAlpha)
{
    constexpr int kAlpha[6] = { 255, 128, 0, 255, 64, 200 };
    QImage soft(3, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            soft.setPixel(x, y, (kColors[x + 3 * y] & 0xFFFFFF) | QRgb(kAlpha[x + 3 * y]) << 24);
    QImage flat(16, 16, QImage::Format_RGB32);
    flat.fill(QColor(200, 100, 50));
    const auto softPixel = [&](int x, int y) { return qPremultiply(soft.pixel(x, y)); };
    const auto gifPixel = [](int x, int y) { return (x + y) % 4 == 3 ? 0u : kColors[(x + y) % 4]; };
    const auto svgPixel = [](int x, int) { return x < 2 ? 0xFFFF0000 : 0x80000080; };
    const struct {
        const char* what;
        QByteArray bytes;
        QSize size;
        std::function<QRgb(int, int)> pixel;
        bool alpha;
        int tolerance;
        bool ahead; // decoded ahead at start-up: what Qt's image readers read
    } cases[] = {
        { "png", Encoded(soft, "png"), { 3, 2 }, softPixel, true, 0, true },
        { "tiff", Encoded(soft, "tiff"), { 3, 2 }, softPixel, true, 0, true },
        { "webp", Encoded(soft, "webp"), { 3, 2 }, softPixel, true, 0, true },
        { "ico", Encoded(soft, "ico"), { 3, 2 }, softPixel, true, 0, true },
        { "opaque png", Encoded(flat, "png"), { 16, 16 }, [](int, int) { return qRgb(200, 100, 50); }, false, 0, true },
        { "jpeg", Encoded(flat, "jpeg"), { 16, 16 }, [](int, int) { return qRgb(200, 100, 50); }, false, 3, true },
        { "gif, first frame", Gif(3), { 3, 2 }, gifPixel, true, 0, true },
        { "svg", kSvg, { 4, 2 }, svgPixel, true, 1, false },
        { "svgz", Gzipped(kSvg), { 4, 2 }, svgPixel, true, 1, false },
        { "bitmap", HandWrittenBitmap(24, false), { 3, 2 }, [](int x, int y) { return kColors[x + 3 * y]; }, false, 0,
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteAll(path, c.bytes)); // named .bmp
        const Loaded loaded = LoadPicture(path.toStdString());
        ASSERT_EQ(loaded.image.size(), c.size) << int(loaded.failure);
        EXPECT_EQ(loaded.failure, PictureFailure::None);
        EXPECT_EQ(loaded.ahead, c.ahead);
        EXPECT_EQ(loaded.image.format(), c.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        for (int y = 0; y < c.size.height(); ++y)
            for (int x = 0; x < c.size.width(); ++x)
                ASSERT_TRUE(Near(loaded.image.pixel(x, y), c.pixel(x, y), c.tolerance))
                    << x << "," << y << ": " << std::hex << loaded.image.pixel(x, y) << " not " << c.pixel(x, y);
    }
    // On a surface, as a bitmap would be; decoded ahead from a file since changed, as the file is now.
    ASSERT_TRUE(WriteAll(path, Encoded(soft, "png")));
    std::optional<PicturePrefetch> prefetch(std::in_place, std::vector { path.toStdString() });
    prefetch->WaitForDone();
    ASSERT_TRUE(WriteAll(path, Encoded(flat, "png")));
    IDirectDrawSurface* s = DDLoadBitmap(dd, path.toLatin1(), 0, 0);
    ASSERT_NE(s, nullptr);
    expectPixels(s, [](int, int) { return 0xC86432u; });
    s->Release();
    prefetch.reset();
    // On a surface: premultiplied at every depth; reloaded onto a surface without alpha, keyed (less than half
    // covered takes the key colour).
    QImage opaque(3, 2, QImage::Format_RGB32);
    opaque.fill(Qt::gray);
    for (const int depth : { 32, 16 }) {
        SCOPED_TRACE(depth);
        open(depth);
        ASSERT_TRUE(WriteAll(path, Encoded(soft, "png")));
        IDirectDrawSurface* blended = DDLoadBitmap(dd, path.toLatin1(), 0, 0);
        ASSERT_NE(blended, nullptr);
        expectPixels(blended, [&](int x, int y) {
            const QRgb c = kColors[x + 3 * y];
            return DWORD(qPremultiply(qRgba(qRed(c), qGreen(c), qBlue(c), kAlpha[x + 3 * y])));
        });
        blended->Release();
        ASSERT_TRUE(WriteAll(path, Encoded(opaque, "png")));
        IDirectDrawSurface* keyed = DDLoadBitmap(dd, path.toLatin1(), 0, 0);
        ASSERT_NE(keyed, nullptr);
        ASSERT_TRUE(WriteAll(path, Encoded(soft, "png")));
        ASSERT_EQ(DDReloadBitmap(keyed, path.toLatin1()), DD_OK);
        const auto value = [&](QRgb c) {
            return depth == 32 ? DWORD(c & 0xFFFFFF)
                               : DWORD((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3);
        };
        expectPixels(keyed,
            [&](int x, int y) { return value(kAlpha[x + 3 * y] >= 128 ? kColors[x + 3 * y] : qRgb(0, 127, 127)); });
        keyed->Release();
    }
}

// Refused before decoding, each with its reason, in bounded time; nothing outside the named file is read.
TEST_F(BitmapUtilities, PicturesThatCannotBeReadSayWhy)
{
    const QString secret = dir.filePath("secret.png");
    QImage red(2, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(WriteAll(secret, Encoded(red, "png")));
    const QByteArray secretUrl = QUrl::fromLocalFile(secret).toEncoded();
    // Mostly scan data, so that the cut falls within it.
    QImage photo(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            photo.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 0xFF));
    const QByteArray jpeg = Encoded(photo, "jpeg");
    const QByteArray bomb = Svg(QByteArray(17 << 20, ' '));
    const struct {
        const char* what;
        QByteArray bytes;
        PictureFailure failure;
        bool ahead = false; // refused on a thread at start-up
    } cases[] = {
        { "text", "hello, world", PictureFailure::NotAPicture },
        { "xml that is not svg", "<?xml version=\"1.0\"?><html/>", PictureFailure::NotAPicture },
        { "another kind of picture", QByteArray("8BPS") + QByteArray(40, '\0'), PictureFailure::Unreadable },
        { "png of 100000 x 100000", PngDeclaring(100000, 100000), PictureFailure::TooLarge, true },
        { "decompression bomb", PngDeclaring(20000, 20000), PictureFailure::TooLarge, true },
        { "truncated jpeg", jpeg.left(jpeg.size() * 3 / 4), PictureFailure::Unreadable, true },
        { "png of no pixels", PngDeclaring(0, 5), PictureFailure::Unreadable, true },
        { "svg image from a file", Svg("<image width=\"2\" height=\"2\" xlink:href=\"" + secretUrl + "\"/>"),
            PictureFailure::OutsideReference },
        { "svg image by a relative name", Svg("<image width=\"2\" height=\"2\" href=\"secret.png\"/>"),
            PictureFailure::OutsideReference },
        { "svg style sheet", Svg("<style>@import url(other.css);</style>"), PictureFailure::OutsideReference },
        { "svg fill from another file", Svg("<rect width=\"2\" height=\"2\" fill=\"url(other.svg#g)\"/>"),
            PictureFailure::OutsideReference },
        { "svg entities", Svg("<text>&a;</text>", 4, "<!DOCTYPE svg [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;\">]>"),
            PictureFailure::OutsideReference },
        { "svg wider than a surface", Svg("", 40000), PictureFailure::TooLarge },
        { "svgz inflating without bound", Gzipped(bomb), PictureFailure::TooLarge },
        { "svgz of something else", Gzipped("hello"), PictureFailure::NotAPicture },
        { "damaged svgz", Gzipped(kSvg).left(30), PictureFailure::Unreadable },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteAll(path, c.bytes));
        QElapsedTimer timer;
        timer.start();
        const Loaded loaded = LoadPicture(path.toStdString());
        EXPECT_TRUE(loaded.image.isNull());
        EXPECT_EQ(loaded.failure, c.failure);
        EXPECT_EQ(loaded.ahead, c.ahead);
        EXPECT_LT(timer.elapsed(), 4000);
    }
    // A local reference and an inline picture are the document's own.
    ASSERT_TRUE(WriteAll(path,
        Svg("<defs><linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"red\"/></linearGradient></defs>"
            "<rect width=\"4\" height=\"2\" fill=\"url(#g)\"/>"
            "<image width=\"1\" height=\"1\" href=\"data:image/png;base64,"
            + Encoded(red, "png").toBase64() + "\"/>")));
    EXPECT_EQ(LoadPicture(path.toStdString()).failure, PictureFailure::None);
    // Ten thousand frames: the first is read.
    ASSERT_TRUE(WriteAll(path, Gif(10000)));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(LoadPicture(path.toStdString()).image.pixel(2, 1), 0u);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(LoadPicture(dir.filePath("missing.png").toStdString()).failure, PictureFailure::CannotOpen);
    EXPECT_EQ(CString(PictureFailureLine()).str(), "\nThe file cannot be opened.");
}

// A bare name is a theme icon at 48 pixels; one with a folder or "..", or no theme has, is not loaded.
TEST_F(BitmapUtilities, BareNamesAreIconsOfTheTheme)
{
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    ASSERT_TRUE(QDir(dir.path()).mkpath("icons/test/scalable/apps"));
    ASSERT_TRUE(WriteAll(dir.filePath("icons/test/index.theme"),
        "[Icon Theme]\nName=test\nDirectories=scalable/apps\n\n[scalable/apps]\nSize=48\nMinSize=8\nMaxSize=512\n"
        "Type=Scalable\n"));
    ASSERT_TRUE(WriteAll(dir.filePath("icons/test/scalable/apps/orvanta-test.svg"),
        Svg("<rect width=\"4\" height=\"2\" fill=\"#00ff00\"/>", 4).replace("height=\"2\">", "height=\"4\">")));
    QIcon::setThemeSearchPaths({ dir.filePath("icons") });
    QIcon::setThemeName("test");
    const Loaded icon = LoadPicture("orvanta-test");
    ASSERT_EQ(icon.image.size(), QSize(48, 48));
    EXPECT_EQ(icon.image.pixel(24, 12), 0xFF00FF00u); // the upper half, scaled
    EXPECT_EQ(icon.image.pixel(24, 36), 0u);
    EXPECT_EQ(LoadPicture("no-such-icon").failure, PictureFailure::NoSuchIcon);
    EXPECT_EQ(LoadPicture("../orvanta-test").failure, PictureFailure::CannotOpen);
    EXPECT_EQ(LoadPicture("apps/orvanta-test").failure, PictureFailure::CannotOpen);
    QIcon::setThemeName("no-such-theme");
    EXPECT_EQ(LoadPicture("orvanta-test").failure, PictureFailure::NoSuchIcon);
    // The system's data folders, found even when the session names no theme; user themes fall back to hicolor.
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName("");
    {
        const SystemIconTheme system(dir.path(), "orvanta-hicolor", Qt::blue);
        for (const auto& [theme, name, failure] : {
                 std::tuple("", "orvanta-hicolor", PictureFailure::None),
                 std::tuple("test", "orvanta-hicolor", PictureFailure::None),
                 std::tuple("test", "orvanta-test", PictureFailure::None),
                 std::tuple("", "orvanta-test", PictureFailure::NoSuchIcon),
                 std::tuple("", "../icons/hicolor/48x48/apps/orvanta-hicolor", PictureFailure::CannotOpen),
             }) {
            SCOPED_TRACE(std::string(theme) + " " + name);
            if (*theme)
                QIcon::setThemeName(theme);
            EXPECT_EQ(LoadPicture(name).failure, failure);
            EXPECT_EQ(ThemeIconExists(name), failure == PictureFailure::None);
            QIcon::setThemeName("hicolor");
        }
    }
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(theme);
}

} // namespace
