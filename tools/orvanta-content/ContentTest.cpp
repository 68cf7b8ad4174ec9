// The bundled content: the desktop loads through the program's own reader from
// wherever the program folder is, its pictures are usable where they stand,
// and the palette and greeting picture have the layouts their readers expect.
#include "Artwork.h"
#include "DefaultDesktop.h"

#include "app/DesktopApp.h"
#include "platform/Path.h"
#include "platform/UiScript.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class NoUi : public UiScript {
public:
    std::vector<std::string> messages;
    int answerMessageBox(const CString& text, UINT) override
    {
        messages.push_back(text.str());
        return IDOK;
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>&) override { return 0; }
    void runDialog(CDialog&) override { }
    std::optional<CString> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<COLORREF> chooseColor(COLORREF) override { return std::nullopt; }
    std::optional<LOGFONT> chooseFont(const LOGFONT&) override { return std::nullopt; }
};

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

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BundledDesktop : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // A program folder whose name has capitals, as an installation may.
        programDir = dir.filePath("Opt/Orvanta");
        QString error;
        ASSERT_TRUE(WriteDefaultDesktop(programDir, &error)) << error.toStdString();

        SetUiScript(&ui);
        app = std::make_unique<CDesktopApp>();
        app->m_strAppDir = CString(programDir.toLocal8Bit().constData());
        app->m_strDesktopFile = app->m_strAppDir + "\\desktops\\default.orv";
        app->LoadDesktop();
    }
    void TearDown() override { SetUiScript(nullptr); }

    QImage Picture(const CString& path) const { return QImage(QString::fromStdString(NativePath(path))); }

    QTemporaryDir dir;
    QString programDir;
    NoUi ui;
    std::unique_ptr<CDesktopApp> app;
};

TEST_F(BundledDesktop, LoadsWithEveryPictureInTheProgramFolder)
{
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    ASSERT_GE(app->m_nObjects, 7);
    EXPECT_EQ(app->m_aObjects[0].strName, "Background");
    EXPECT_TRUE(app->m_bTile);

    for (int i = 0; i < app->m_nObjects; ++i) {
        const DesktopObject& object = app->m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        const CString* paths[] = { &object.strUpImage, &object.strDownImage, &object.strMouseImage };
        for (const CString* path : paths) {
            if (path->IsEmpty())
                continue;
            // Rebased into the folder the desktop was read from.
            EXPECT_EQ(path->Left(app->m_strAppDir.GetLength()), app->m_strAppDir);
            EXPECT_FALSE(Picture(*path).isNull()) << path->str();
        }
    }
}

TEST_F(BundledDesktop, ObjectsFitASmallScreenAndKeepTheirSizeInEveryLook)
{
    // The screen check of image loading rejects anything past the screen edge.
    const int cxScreen = 1024, cyScreen = 768;
    QSet<QString> names;
    for (int i = 1; i < app->m_nObjects; ++i) {
        const DesktopObject& object = app->m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        EXPECT_FALSE(names.contains(QString::fromStdString(object.strName.str()).toLower()));
        names.insert(QString::fromStdString(object.strName.str()).toLower());

        const QImage up = Picture(object.strUpImage);
        ASSERT_FALSE(up.isNull());
        EXPECT_LE(object.rcObject.left + up.width(), cxScreen);
        EXPECT_LE(object.rcObject.top + up.height(), cyScreen);
        // Down and Mouse pictures are stretched to the Up picture: same size keeps them crisp.
        for (const CString* path : { &object.strDownImage, &object.strMouseImage }) {
            if (!path->IsEmpty()) {
                EXPECT_EQ(Picture(*path).size(), up.size());
            }
        }
        // Corners are transparent so the background shows round the keys.
        EXPECT_EQ(up.pixel(0, 0) & 0xFFFFFF, artwork::kKeyColor.rgb() & 0xFFFFFF);
    }
}

TEST_F(BundledDesktop, MouseActivateTargetExistsAndStartsHidden)
{
    int links = 0;
    for (int i = 1; i < app->m_nObjects; ++i) {
        const CString& target = app->m_aObjects[i].strActivate;
        if (target.IsEmpty())
            continue;
        ++links;
        int found = 0;
        for (int j = 1; j < app->m_nObjects; ++j)
            if (app->m_aObjects[j].strName == target)
                found = j;
        ASSERT_NE(found, 0) << target.str();
        EXPECT_NE(found, i);
        EXPECT_FALSE(app->m_aObjects[found].bVisible);
    }
    EXPECT_GE(links, 1);
}

TEST_F(BundledDesktop, PaletteHasTheLayoutThePaletteLoaderReads)
{
    const QByteArray bytes = ReadAll(programDir + "/res/palette.bmp");
    ASSERT_GE(bytes.size(), 14 + 40 + 1024);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    // The loader takes the colour table right after a 40-byte info header.
    EXPECT_EQ(Le32(bytes, 14), 40u);
    EXPECT_EQ(Le16(bytes, 14 + 14), 8u);
    const quint32 used = Le32(bytes, 14 + 32);
    EXPECT_TRUE(used == 0 || used == 256) << used;

    QSet<QRgb> table;
    for (int i = 0; i < 256; ++i) {
        const char* q = bytes.constData() + 54 + 4 * i;
        table.insert(qRgb(uchar(q[2]), uchar(q[1]), uchar(q[0])));
    }
    EXPECT_TRUE(table.contains(artwork::kKeyColor.rgb()));
    EXPECT_TRUE(table.contains(qRgb(0, 0, 0)));
    EXPECT_TRUE(table.contains(qRgb(255, 255, 255)));
    // The desktop's own background colour is exact on an 8-bit display.
    const COLORREF back = app->m_crBackground;
    EXPECT_TRUE(table.contains(qRgb(GetRValue(back), GetGValue(back), GetBValue(back))));
}

TEST(Artwork, KeyingNeverLeavesAKeyColouredPixelInsideTheShape)
{
    QImage drawing(3, 1, QImage::Format_ARGB32);
    drawing.setPixel(0, 0, qRgba(0, 127, 127, 255)); // drawn in exactly the key colour
    drawing.setPixel(1, 0, qRgba(200, 10, 10, 100)); // mostly uncovered edge
    drawing.setPixel(2, 0, qRgba(200, 10, 10, 200)); // mostly covered edge
    const QImage keyed = artwork::KeyedImage(drawing);
    const QRgb key = artwork::kKeyColor.rgb();
    EXPECT_NE(keyed.pixel(0, 0), key);
    EXPECT_EQ(keyed.pixel(1, 0), key);
    EXPECT_NE(keyed.pixel(2, 0), key);
    EXPECT_EQ(qRed(keyed.pixel(2, 0)), 200);
}

TEST(Artwork, GreetingPictureIs199By97With24BitsPerPixel)
{
    QTemporaryDir dir;
    const QString generated = dir.filePath("splash.bmp");
    ASSERT_TRUE(artwork::SplashImage().save(generated, "BMP"));
    // Both the picture made now and the copy kept in the sources.
    for (const QString& path : { generated, QString(ORVANTA_SOURCE_DIR "/res/splash.bmp") }) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = ReadAll(path);
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(Le32(bytes, 18), 199u);
        EXPECT_EQ(Le32(bytes, 22), 97u);
        EXPECT_EQ(Le16(bytes, 28), 24u);
    }
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
