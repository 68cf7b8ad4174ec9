// The pictures drawn for the program: the files orvanta-art writes have the
// layouts their readers expect, and the button faces are keyed so that only
// the drawn shape shows on the desktop.
#include "Artwork.h"

#include "../../tests/support/Bytes.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using artwork::Glyph;
using artwork::Look;

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
    for (const QStringList& wrong : { QStringList {}, QStringList { "--help" }, QStringList { "a", "b" } })
        EXPECT_EQ(RunTool(wrong), 2) << wrong.join(' ').toStdString();
    QTemporaryDir dir;
    // A folder that does not exist yet, as in a fresh build tree.
    const QString out = dir.filePath("generated");
    ASSERT_EQ(RunTool({ out }), 0);

    // The greeting is read as a plain Windows bitmap: 40-byte header, 24 bits, not compressed.
    const QByteArray splash = ReadAll(out + "/splash.bmp");
    ASSERT_GE(splash.size(), 54 + 199 * 97 * 3);
    EXPECT_EQ(splash.left(2), QByteArray("BM"));
    const std::pair<int, quint32> fields[] = { { 14, 40 }, { 18, 199 }, { 22, 97 }, { 30, 0 } };
    for (const auto& [offset, value] : fields)
        EXPECT_EQ(Le<quint32>(splash, offset), value) << offset;
    EXPECT_EQ(Le<quint16>(splash, 28), 24u);

    const QImage icon(out + "/orvanta.png", "PNG");
    ASSERT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(icon.hasAlphaChannel());
    for (const QPoint corner : { QPoint(0, 0), QPoint(63, 0), QPoint(0, 63), QPoint(63, 63) })
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(qAlpha(icon.pixel(32, 32)), 255);
    // The four keys stand out from the ground between them.
    EXPECT_GT(Distance(icon.pixel(20, 20), icon.pixel(32, 32)), 60);
    EXPECT_GT(Distance(icon.pixel(44, 44), icon.pixel(32, 32)), 60);
}

TEST(Artwork, KeyingNeverLeavesAKeyColouredPixelInsideTheShape)
{
    const struct {
        QRgb drawn;
        bool key;
    } cases[] = {
        { qRgba(0, 127, 127, 255), false }, // drawn in exactly the key colour
        { qRgba(200, 10, 10, 100), true }, // mostly uncovered edge
        { qRgba(200, 10, 10, 200), false }, // mostly covered edge
        { qRgba(0, 0, 0, 0), true },
    };
    QImage drawing(4, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 4; ++x)
        drawing.setPixel(x, 0, cases[x].drawn);
    const QImage keyed = artwork::KeyedImage(drawing);
    EXPECT_FALSE(keyed.hasAlphaChannel());
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(IsKey(keyed.pixel(x, 0)), cases[x].key) << x;
    EXPECT_EQ(qRed(keyed.pixel(2, 0)), 200);
}

TEST(Artwork, EveryGlyphShowsOnEveryLookOfAKeyedButton)
{
    const int size = 72;
    for (Glyph glyph : { Glyph::Folder, Glyph::Picture, Glyph::Music, Glyph::Globe, Glyph::Gear, Glyph::Help,
             Glyph::Terminal, Glyph::Mail, Glyph::Trash }) {
        QImage looks[3];
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
            looks[int(look)] = face;
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
        for (int j = 1; j < size; ++j)
            inside = std::max({ inside, Distance(tile.pixel(j - 1, i), tile.pixel(j, i)),
                Distance(tile.pixel(i, j - 1), tile.pixel(i, j)) });
        seam = std::max({ seam, Distance(tile.pixel(size - 1, i), tile.pixel(0, i)),
            Distance(tile.pixel(i, size - 1), tile.pixel(i, 0)) });
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
