// The bundled content: the desktop loads through the program's own reader from
// wherever the program folder is, its pictures are usable where they stand,
// its captions sit clear of every picture, and the palette has the layout its
// reader expects.
#include "Artwork.h"
#include "DefaultDesktop.h"

#include "../../tests/support/Bytes.h"
#include "../../tests/support/DisplayFixture.h"
#include "../../tests/support/ScriptedUi.h"
#include "app/DesktopApp.h"
#include "platform/Path.h"

#include <QImage>
#include <QMap>
#include <QRect>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

// The caption's lines as the caption builder splits them: at LF, a CR before
// it dropped, no empty last line.
QStringList CaptionLines(const CString& text)
{
    QStringList lines = QString::fromLatin1(text.str()).split('\n');
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

QRect ToQRect(const RECT& r)
{
    return QRect(QPoint(int(r.left), int(r.top)), QPoint(int(r.right) - 1, int(r.bottom) - 1));
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
        app = std::make_unique<CDesktopApp>();
        app->m_strAppDir = CString(programDir.toLocal8Bit().constData());
        app->m_strDesktopFile = app->m_strAppDir + "\\desktops\\default.orv";
        app->LoadDesktop();
    }
    QImage Picture(const CString& path) const { return QImage(QString::fromStdString(NativePath(path))); }

    QTemporaryDir dir;
    QString programDir;
    ScriptedUi ui;
    std::unique_ptr<CDesktopApp> app;
};

TEST_F(BundledDesktop, EveryObjectLoadsFromTheProgramFolderAndKeepsItsSizeInEveryLook)
{
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    // The background and about ten objects.
    ASSERT_GE(app->m_nObjects, 10);
    EXPECT_EQ(app->m_aObjects[0].strName, "Background");
    EXPECT_TRUE(app->m_bTile);
    QSet<QString> names;
    int links = 0;
    for (int i = 0; i < app->m_nObjects; ++i) {
        const DesktopObject& object = app->m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        for (const CString* path : { &object.strUpImage, &object.strDownImage, &object.strMouseImage }) {
            if (path->IsEmpty())
                continue;
            // Rebased into the folder the desktop was read from.
            EXPECT_EQ(path->Left(app->m_strAppDir.GetLength()), app->m_strAppDir);
            // Down and Mouse pictures are stretched to the Up picture: same size keeps them crisp.
            EXPECT_FALSE(Picture(*path).isNull()) << path->str();
            EXPECT_EQ(Picture(*path).size(), Picture(object.strUpImage).size()) << path->str();
        }
        if (i == 0)
            continue;
        const QString name = QString::fromStdString(object.strName.str()).toLower();
        EXPECT_FALSE(names.contains(name));
        names.insert(name);
        const QImage up = Picture(object.strUpImage);
        ASSERT_FALSE(up.isNull());
        // Corners are transparent so the background shows round the keys.
        EXPECT_EQ(up.pixel(0, 0) & 0xFFFFFF, artwork::kKeyColor.rgb() & 0xFFFFFF);
        // A mouse-over target exists and starts hidden.
        if (object.strActivate.IsEmpty())
            continue;
        ++links;
        int found = 0;
        for (int j = 1; j < app->m_nObjects; ++j)
            if (app->m_aObjects[j].strName == object.strActivate)
                found = j;
        ASSERT_NE(found, 0) << object.strActivate.str();
        EXPECT_NE(found, i);
        EXPECT_FALSE(app->m_aObjects[found].bVisible);
    }
    EXPECT_GE(links, 1);
}

TEST_F(BundledDesktop, CaptionsOfEveryKindSitBesideTheirPicturesAndCoverNoOtherObject)
{
    // Loaded and placed by the program itself on a small screen, whose image
    // loading refuses anything past the screen edge with a message.
    DisplayFixture display(*app, 1024, 768);
    ASSERT_TRUE(display.ok);
    QList<std::pair<std::string, QRect>> taken;
    int allLooks = 0;
    for (int i = 1; i < app->m_nObjects; ++i) {
        const DesktopObject& object = app->m_aObjects[i];
        // Left unplaced, so that it follows the picture in any font.
        EXPECT_EQ(object.rcText.left, 0) << object.strName.str();
        EXPECT_EQ(object.rcText.top, 0) << object.strName.str();
        app->LoadObjectImages(i);
        taken.append({ object.strName.str(), ToQRect(object.rcObject) });
        allLooks += !object.strDownImage.IsEmpty() && !object.strMouseImage.IsEmpty();
    }
    EXPECT_GE(allLooks, 8);
    QMap<int, QSet<int>> lineCounts; // justification -> line counts seen with it
    QSet<QString> faces;
    QSet<COLORREF> colors;
    int onlyOnMouseOver = 0;
    for (int i = 1; i < app->m_nObjects; ++i) {
        const DesktopObject& object = app->m_aObjects[i];
        if (object.strText.IsEmpty())
            continue;
        SCOPED_TRACE(object.strName.str());
        app->CreateCaptionSurfaces(i);
        const QRect caption = ToQRect(object.rcText);
        EXPECT_EQ(caption.left(), object.rcObject.right + 2);
        EXPECT_GT(caption.width(), 10);
        EXPECT_GT(caption.height(), 10);
        EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(caption));
        for (const auto& [name, rect] : taken)
            EXPECT_FALSE(caption.intersects(rect)) << "covers " << name;
        taken.append({ object.strName.str() + " caption", caption });

        const QStringList lines = CaptionLines(object.strText);
        for (const QString& line : lines)
            EXPECT_FALSE(line.trimmed().isEmpty());
        lineCounts[object.nJustify].insert(std::min(int(lines.size()), 2));
        faces.insert(QString::fromLatin1(object.lfFont.lfFaceName).toLower());
        colors.insert(object.crText);
        // The mouse-over colour is visibly another one.
        EXPECT_NE(object.crHotText, object.crText);
        onlyOnMouseOver += object.bTextOnMouseOver;
    }
    for (int justify : { 1087, 1088, 1089 }) {
        EXPECT_TRUE(lineCounts[justify].contains(1)) << justify << ": no one-line caption";
        EXPECT_TRUE(lineCounts[justify].contains(2)) << justify << ": no caption of several lines";
    }
    EXPECT_GE(faces.size(), 3);
    EXPECT_GE(colors.size(), 4);
    EXPECT_GE(onlyOnMouseOver, 1);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
}

TEST_F(BundledDesktop, PaletteHasTheLayoutThePaletteLoaderReads)
{
    const QByteArray bytes = ReadAll(programDir + "/res/palette.bmp");
    ASSERT_GE(bytes.size(), 14 + 40 + 1024);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    // The loader takes the colour table right after a 40-byte info header.
    EXPECT_EQ(Le<quint32>(bytes, 14), 40u);
    EXPECT_EQ(Le<quint16>(bytes, 14 + 14), 8u);
    const quint32 used = Le<quint32>(bytes, 14 + 32);
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

} // namespace
