// The pictures drawn for the program: the files orvanta-art writes have the layouts their readers expect, and the
// button faces show only their shape and its soft shadow.
#include "Artwork.h"

#include "../../tests/support/Bytes.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

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
    // The greeting is read as a plain Windows bitmap: 40-byte header, 199 x 97, 24 bits, not compressed; for scaled
    // screens the same picture at twice the size.
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
    // The program's icon, and the theme icons it carries for the bundled desktop, each at its directory's size, in a
    // hicolor theme Qt can read.
    for (const auto& [name, side] :
        { std::pair("orvanta.png", 64), std::pair("icons/hicolor/48x48/apps/utilities-terminal.png", 48),
            std::pair("icons/hicolor/96x96/apps/utilities-terminal.png", 96) }) {
        SCOPED_TRACE(name);
        const QImage icon(dir.filePath(QString("generated/") + name), "PNG");
        ASSERT_EQ(icon.size(), QSize(side, side));
        EXPECT_TRUE(qAlpha(icon.pixel(0, side - 1)) == 0 && qAlpha(icon.pixel(side / 2, side / 2)) == 255);
    }
    EXPECT_TRUE(ReadAll(dir.filePath("generated/icons/hicolor/index.theme")).contains("[96x96/apps]\nSize=96\n"));
}

TEST(Artwork, FacesShowTheirShapeOverASoftShadowAndNothingElse)
{
    // A square lifted one pixel: itself unchanged, a partly transparent black shadow just below it, nothing far from
    // it.
    QImage shape(16, 16, QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    for (int y = 5; y < 9; ++y)
        for (int x = 6; x < 10; ++x)
            shape.setPixel(x, y, qRgb(200, 10, 10));
    const QImage shadowed = artwork::WithShadow(shape, 1, 1);
    EXPECT_EQ(shadowed.pixel(7, 8), qRgb(200, 10, 10));
    const QRgb below = shadowed.pixel(7, 10);
    EXPECT_TRUE(qAlpha(below) > 0 && qAlpha(below) < 255 && (below & 0xFFFFFF) == 0) << std::hex << below;
    EXPECT_GT(qAlpha(shadowed.pixel(7, 10)), qAlpha(shadowed.pixel(7, 4))); // it falls downwards
    EXPECT_EQ(std::pair(shadowed.pixel(0, 0), shadowed.pixel(15, 15)), std::pair(0u, 0u));
    // Every glyph shows on every look, with transparent corners and a shadow under the key.
    const int size = 72;
    for (int glyph = int(artwork::Glyph::Folder); glyph <= int(artwork::Glyph::Trash); ++glyph) {
        QImage looks[3];
        for (artwork::Look look : { artwork::Look::Up, artwork::Look::Down, artwork::Look::Mouse }) {
            SCOPED_TRACE(glyph * 10 + int(look));
            const QImage face = artwork::ButtonImage(artwork::Glyph(glyph), QColor(50, 120, 200), look, size);
            ASSERT_EQ(face.size(), QSize(size, size));
            EXPECT_TRUE(face.hasAlphaChannel());
            EXPECT_EQ(std::pair(qAlpha(face.pixel(0, 0)), qAlpha(face.pixel(size - 1, 0))), std::pair(0, 0));
            EXPECT_EQ(qAlpha(face.pixel(size / 2, size / 6)), 255);
            int soft = 0;
            for (int y = size * 3 / 4; y < size; ++y)
                soft += qAlpha(face.pixel(size / 2, y)) > 0 && qAlpha(face.pixel(size / 2, y)) < 255;
            EXPECT_GE(soft, 1);
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
