// The pictures drawn for the program: the files orvanta-art writes have the
// layouts their readers expect, and the button faces are keyed so that only
// the drawn shape shows on the desktop.
#include "Artwork.h"

#include "../../tests/support/Bytes.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool IsKey(QRgb pixel)
{
    return (pixel | 0xFF000000) == artwork::kKeyColor.rgb();
}

TEST(ArtTool, WritesA24BitGreetingAndAnIconWithTransparentCorners)
{
    QTemporaryDir dir;
    QProcess tool;
    // A folder that does not exist yet, as in a fresh build tree.
    for (const QStringList& args : { QStringList { "--help" }, QStringList { dir.filePath("generated") } }) {
        tool.start(ORVANTA_ART_TOOL, args);
        ASSERT_TRUE(tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit);
        EXPECT_EQ(tool.exitCode(), args[0] == "--help" ? 2 : 0);
    }
    // The greeting is read as a plain Windows bitmap: 40-byte header, 199 x 97, 24 bits, not compressed; for
    // scaled screens the same picture at twice the size.
    for (const int scale : { 1, 2 }) {
        const QByteArray splash
            = ReadAll(dir.filePath(scale == 1 ? "generated/splash.bmp" : "generated/splash@2x.bmp"));
        ASSERT_GE(splash.size(), 54 + 199 * 97 * 3 * scale * scale);
        EXPECT_TRUE(splash.startsWith("BM") && Le<quint32>(splash, 14) == 40 && Le<quint32>(splash, 18) == 199u * scale
            && Le<quint32>(splash, 22) == 97u * scale && Le<quint16>(splash, 28) == 24 && Le<quint32>(splash, 30) == 0)
            << scale;
    }
    const QImage small(dir.filePath("generated/splash.bmp"));
    const QImage halved = QImage(dir.filePath("generated/splash@2x.bmp"))
                              .scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    qint64 difference = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            for (const int shift : { 16, 8, 0 })
                difference
                    += std::abs(int(small.pixel(x, y) >> shift & 0xFF) - int(halved.pixel(x, y) >> shift & 0xFF));
    EXPECT_LT(difference / (small.width() * small.height() * 3), 8) << "the large greeting is another picture";
    const QImage icon(dir.filePath("generated/orvanta.png"), "PNG");
    ASSERT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(qAlpha(icon.pixel(0, 63)) == 0 && qAlpha(icon.pixel(32, 32)) == 255);
}

TEST(Artwork, KeyedFacesShowOnlyTheirShapeAndTheTileHasNoSeams)
{
    // Keying: drawn in exactly the key colour, a mostly uncovered edge, a
    // mostly covered one, nothing. No key-coloured pixel stays inside the shape.
    const QRgb drawn[] = { qRgba(0, 127, 127, 255), qRgba(200, 10, 10, 100), qRgba(200, 10, 10, 200), 0 };
    QImage drawing(4, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 4; ++x)
        drawing.setPixel(x, 0, drawn[x]);
    const QImage keyed = artwork::KeyedImage(drawing);
    EXPECT_FALSE(keyed.hasAlphaChannel());
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(IsKey(keyed.pixel(x, 0)), x % 2 == 1) << x;
    EXPECT_EQ(qRed(keyed.pixel(2, 0)), 200);

    // Every glyph shows in white on every look of a keyed button.
    const int size = 72;
    for (int glyph = int(artwork::Glyph::Folder); glyph <= int(artwork::Glyph::Trash); ++glyph) {
        QImage looks[3];
        for (artwork::Look look : { artwork::Look::Up, artwork::Look::Down, artwork::Look::Mouse }) {
            SCOPED_TRACE(glyph * 10 + int(look));
            const QImage face = artwork::ButtonImage(artwork::Glyph(glyph), QColor(50, 120, 200), look, size);
            ASSERT_EQ(face.size(), QSize(size, size));
            EXPECT_TRUE(IsKey(face.pixel(0, 0)) && IsKey(face.pixel(size - 1, size - 1)));
            EXPECT_FALSE(IsKey(face.pixel(size / 2, size / 6)));
            looks[int(look)] = face;
        }
        EXPECT_TRUE(looks[0] != looks[1] && looks[0] != looks[2]);
    }
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
