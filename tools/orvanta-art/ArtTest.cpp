// The pictures drawn for the program: the files orvanta-art writes have the
// layouts their readers expect, and the button faces are keyed so that only
// the drawn shape shows on the desktop.
#include "Artwork.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using artwork::Glyph;
using artwork::Look;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 Le32(const QByteArray& bytes, int offset)
{
    quint32 value = 0;
    std::memcpy(&value, bytes.constData() + offset, 4);
    return value;
}

quint16 Le16(const QByteArray& bytes, int offset)
{
    quint16 value = 0;
    std::memcpy(&value, bytes.constData() + offset, 2);
    return value;
}

int RunTool(const QStringList& args)
{
    QProcess tool;
    tool.start(ORVANTA_ART_TOOL, args);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    return tool.exitCode();
}

bool IsKey(QRgb pixel)
{
    return (pixel & 0xFFFFFFu) == (artwork::kKeyColor.rgb() & 0xFFFFFFu);
}

int Distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TEST(ArtTool, WritesA24BitGreetingAndAnIconWithTransparentCorners)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder that does not exist yet, as in a fresh build tree.
    const QString out = dir.filePath("generated");
    ASSERT_EQ(RunTool({ out }), 0);

    // The greeting is read as a plain Windows bitmap: 40-byte header, 24 bits.
    const QByteArray splash = ReadAll(out + "/splash.bmp");
    ASSERT_GE(splash.size(), 54 + 199 * 97 * 3);
    EXPECT_EQ(splash.left(2), QByteArray("BM"));
    EXPECT_EQ(Le32(splash, 14), 40u);
    EXPECT_EQ(Le32(splash, 18), 199u);
    EXPECT_EQ(Le32(splash, 22), 97u);
    EXPECT_EQ(Le16(splash, 28), 24u);
    EXPECT_EQ(Le32(splash, 30), 0u); // not compressed

    const QImage icon(out + "/orvanta.png", "PNG");
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(icon.hasAlphaChannel());
    for (const QPoint corner : { QPoint(0, 0), QPoint(63, 0), QPoint(0, 63), QPoint(63, 63) })
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(qAlpha(icon.pixel(32, 32)), 255);
    // The four keys stand out from the ground between them.
    EXPECT_GT(Distance(icon.pixel(20, 20), icon.pixel(32, 32)), 60);
    EXPECT_GT(Distance(icon.pixel(44, 44), icon.pixel(32, 32)), 60);
}

TEST(ArtTool, RefusesAnythingButOneFolder)
{
    EXPECT_EQ(RunTool({}), 2);
    EXPECT_EQ(RunTool({ "--help" }), 2);
    EXPECT_EQ(RunTool({ "a", "b" }), 2);
}

TEST(Artwork, KeyingNeverLeavesAKeyColouredPixelInsideTheShape)
{
    QImage drawing(4, 1, QImage::Format_ARGB32);
    drawing.setPixel(0, 0, qRgba(0, 127, 127, 255)); // drawn in exactly the key colour
    drawing.setPixel(1, 0, qRgba(200, 10, 10, 100)); // mostly uncovered edge
    drawing.setPixel(2, 0, qRgba(200, 10, 10, 200)); // mostly covered edge
    drawing.setPixel(3, 0, qRgba(0, 0, 0, 0));
    const QImage keyed = artwork::KeyedImage(drawing);
    EXPECT_FALSE(keyed.hasAlphaChannel());
    EXPECT_FALSE(IsKey(keyed.pixel(0, 0)));
    EXPECT_TRUE(IsKey(keyed.pixel(1, 0)));
    EXPECT_FALSE(IsKey(keyed.pixel(2, 0)));
    EXPECT_EQ(qRed(keyed.pixel(2, 0)), 200);
    EXPECT_TRUE(IsKey(keyed.pixel(3, 0)));
}

TEST(Artwork, EveryGlyphShowsOnEveryLookOfAKeyedButton)
{
    const int size = 72;
    for (Glyph glyph : { Glyph::Folder, Glyph::Picture, Glyph::Music, Glyph::Globe, Glyph::Gear, Glyph::Help,
             Glyph::Terminal, Glyph::Mail, Glyph::Trash }) {
        QImage looks[3];
        int i = 0;
        for (Look look : { Look::Up, Look::Down, Look::Mouse }) {
            SCOPED_TRACE(int(glyph) * 10 + int(look));
            const QImage face = artwork::ButtonImage(glyph, QColor(50, 120, 200), look, size);
            ASSERT_EQ(face.size(), QSize(size, size));
            EXPECT_TRUE(IsKey(face.pixel(0, 0)));
            EXPECT_TRUE(IsKey(face.pixel(size - 1, size - 1)));
            EXPECT_FALSE(IsKey(face.pixel(size / 2, size / 6)));
            // The glyph is drawn in white on the coloured key.
            int white = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    white += (face.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu;
            EXPECT_GT(white, size * size / 100);
            looks[i++] = face;
        }
        EXPECT_NE(looks[0], looks[1]);
        EXPECT_NE(looks[0], looks[2]);
    }
}

TEST(Artwork, BackgroundTileHasNoSeams)
{
    const int size = 128;
    const QImage tile = artwork::BackgroundTile(size);
    ASSERT_EQ(tile.size(), QSize(size, size));
    // Across the edge where one tile meets the next, neighbours differ no more
    // than neighbours inside the tile do.
    int inside = 0, seam = 0;
    for (int i = 0; i < size; ++i) {
        for (int x = 1; x < size; ++x)
            inside = std::max(inside, Distance(tile.pixel(x - 1, i), tile.pixel(x, i)));
        for (int y = 1; y < size; ++y)
            inside = std::max(inside, Distance(tile.pixel(i, y - 1), tile.pixel(i, y)));
        seam = std::max(seam, Distance(tile.pixel(size - 1, i), tile.pixel(0, i)));
        seam = std::max(seam, Distance(tile.pixel(i, size - 1), tile.pixel(i, 0)));
    }
    EXPECT_LE(seam, inside + 1);
    // And it is not flat: the spots are there.
    EXPECT_GT(Distance(tile.pixel(size / 2, size / 2), tile.pixel(size / 2, 0)), 10);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
