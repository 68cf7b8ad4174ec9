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
#include <QRect>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QRect ToQRect(const RECT& r)
{
    return QRect(QPoint(int(r.left), int(r.top)), QPoint(int(r.right) - 1, int(r.bottom) - 1));
}

TEST(BundledDesktop, LoadsFromTheProgramFolderWithUsablePicturesCaptionsClearOfThemAndItsPalette)
{
    QTemporaryDir dir;
    // A program folder whose name has capitals, as an installation may.
    const QString programDir = dir.filePath("Opt/Orvanta");
    QString error;
    ASSERT_TRUE(WriteDefaultDesktop(programDir, &error)) << error.toStdString();
    ScriptedUi ui;
    CDesktopApp app;
    app.m_strAppDir = CString(programDir.toLocal8Bit().constData());
    app.m_strDesktopFile = app.m_strAppDir + "\\desktops\\default.orv";
    app.LoadDesktop();
    ASSERT_GE(app.m_nObjects, 10);
    EXPECT_TRUE(app.m_bTile);
    const auto picture = [](const CString& path) { return QImage(QString::fromStdString(NativePath(path))); };
    // Placed by the program itself on a small screen, whose image loading
    // refuses anything past the screen edge with a message.
    DisplayFixture display(app, 1024, 768);
    ASSERT_TRUE(display.ok);
    QList<std::pair<std::string, QRect>> taken;
    QSet<QString> names;
    int links = 0;
    for (int i = 1; i < app.m_nObjects; ++i) {
        const DesktopObject& object = app.m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        // Rebased into the folder the desktop was read from; Down and Mouse
        // pictures are stretched to the Up picture: the same size keeps them crisp.
        for (const CString* path : { &object.strUpImage, &object.strDownImage, &object.strMouseImage }) {
            if (path->IsEmpty())
                continue;
            EXPECT_EQ(path->Left(app.m_strAppDir.GetLength()), app.m_strAppDir);
            EXPECT_EQ(picture(*path).size(), picture(object.strUpImage).size()) << path->str();
        }
        const QString name = QString::fromStdString(object.strName.str()).toLower(); // a target is found by name
        EXPECT_FALSE(names.contains(name));
        names.insert(name);
        // Corners are transparent so the background shows round the keys.
        EXPECT_EQ(picture(object.strUpImage).pixel(0, 0) & 0xFFFFFF, artwork::kKeyColor.rgb() & 0xFFFFFF);
        // A mouse-over target exists and starts hidden.
        for (int j = 1; j < app.m_nObjects && !object.strActivate.IsEmpty(); ++j)
            if (app.m_aObjects[j].strName == object.strActivate) {
                EXPECT_NE(j, i);
                EXPECT_FALSE(app.m_aObjects[j].bVisible);
                ++links;
            }
        app.LoadObjectImages(i);
        taken.append({ object.strName.str(), ToQRect(object.rcObject) });
    }
    EXPECT_GE(links, 1);
    for (int i = 1; i < app.m_nObjects; ++i) {
        const DesktopObject& object = app.m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        if (object.strText.IsEmpty())
            continue;
        app.CreateCaptionSurfaces(i);
        const QRect caption = ToQRect(object.rcText);
        EXPECT_EQ(caption.left(), object.rcObject.right + 2);
        EXPECT_TRUE(caption.width() > 10 && caption.height() > 10 && QRect(0, 0, 1024, 768).contains(caption));
        for (const auto& [name, rect] : taken)
            EXPECT_FALSE(caption.intersects(rect)) << "covers " << name;
        taken.append({ object.strName.str() + " caption", caption });
        EXPECT_NE(object.crHotText, object.crText); // the mouse-over colour is visibly another one
    }
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();

    // The palette loader takes the colour table right after a 40-byte info
    // header; the key and the desktop's own background colour are exact on an
    // 8-bit display.
    const QByteArray bytes = ReadAll(programDir + "/res/palette.bmp");
    ASSERT_GE(bytes.size(), 14 + 40 + 1024);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(Le<quint32>(bytes, 14), 40u);
    EXPECT_EQ(Le<quint16>(bytes, 14 + 14), 8u);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(Le<quint32>(bytes, 54 + 4 * i) | 0xFF000000);
    const COLORREF back = app.m_crBackground;
    EXPECT_TRUE(table.contains(artwork::kKeyColor.rgb()));
    EXPECT_TRUE(table.contains(qRgb(GetRValue(back), GetGValue(back), GetBValue(back))));
}

} // namespace
