// Bitmap and palette loading onto surfaces, colour matching and keys.
#include "bitmaps/DDUtil.h"
#include "support/Bytes.h"
#include "support/Faults.h"
#include "support/SurfaceTest.h"

#include <QTemporaryDir>

#include <climits>
#include <malloc.h>
#include <sys/stat.h>

namespace {

// The file and info headers of a bitmap file: "BM", then little-endian 32-bit
// fields at their offsets (bfSize 2, bfOffBits 10, biSize 14, biWidth 18,
// biHeight 22, biPlanes and biBitCount 26, biClrUsed 46).
QByteArray Headers(std::initializer_list<std::pair<int, qint32>> fields)
{
    QByteArray bytes(54, '\0');
    bytes[0] = 'B', bytes[1] = 'M';
    for (const auto& [offset, value] : fields)
        qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

// kColors[(x + 3 * y) % colours] at (x, y) of a 3 x 2 Windows bitmap of the
// given depth, written byte by byte, bottom-up or top-down.
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
    // Not "BM", an info header of no known size, no width, and sides beyond
    // 32767 even when the data would cover them.
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

// Only regular files are read, and only as far as their headers justify: a
// FIFO, a folder and a device are refused at once, a 4 GiB file is read no
// further than the picture it declares, and palettes come from none of them.
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

// Released pictures leave no decoded copies behind, however large the
// pictures that small run-length files decode to.
TEST_F(BitmapUtilities, ReleasedPicturesLeaveNoDecodedCopies)
{
    const auto heapInUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return qint64(m.uordblks + m.hblkhd);
    };
    const qint64 before = heapInUse();
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(WriteAll(path, RunLengthBitmap(2400, 2400, 4096, quint8(i))));
        HGDIOBJ bitmap = LoadImageA(nullptr, path.toLatin1(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        ASSERT_NE(bitmap, nullptr);
        DeleteObject(bitmap);
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

    // A colour match gives the stored value and leaves the pixel; a key set
    // by colour leaves that colour out of keyed copies.
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
    // Files of `length` bytes: entries below `swapped` come from the table
    // with red and blue swapped, those below `raw` as read, the rest are the
    // default. biClrUsed limits the swapped entries but never reaches past the
    // table; deep or odd headers swap nothing; a file too short for its
    // headers has no colours; a missing file or a bitmap resource without a
    // colour table gives the default.
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

} // namespace
