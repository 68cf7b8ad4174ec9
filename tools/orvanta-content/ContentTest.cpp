// The bundled content: the desktop loads through the program's own reader from wherever the program folder is, its PNG
// pictures and its theme icon are usable where they stand, its captions sit clear of every picture, and the palette has
// the layout its reader expects.
#include "Artwork.h"
#include "DefaultDesktop.h"

#include "../../tests/support/Bytes.h"
#include "../../tests/support/DisplayFixture.h"
#include "../../tests/support/ScriptedUi.h"
#include "app/DesktopApp.h"
#include "platform/Path.h"
#include "platform/Pictures.h"

#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

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
    const auto picture = [](const CString& path) { return QImage(QString::fromStdString(NativePath(path))); };
    // Placed by the program itself on a small screen, whose image loading refuses anything past the screen edge with a
    // message.
    DisplayFixture display(app, 1024, 768);
    ASSERT_TRUE(display.ok);
    QList<std::pair<std::string, QRect>> taken;
    int links = 0, themed = 0;
    for (int i = 1; i < app.m_nObjects; ++i) {
        const DesktopObject& object = app.m_aObjects[i];
        SCOPED_TRACE(object.strName.str());
        if (IsThemeIconName(object.strUpImage.str())) {
            // The user's theme draws it, or the program's own copy: one look.
            themed += 1;
            EXPECT_TRUE(ThemeIconExists(object.strUpImage));
            EXPECT_TRUE(object.strDownImage.IsEmpty() && object.strMouseImage.IsEmpty());
        } else {
            // PNG pictures rebased into the folder the desktop was read from; Down and Mouse pictures are stretched to
            // the Up picture: the same size keeps them crisp.
            for (const CString* path : { &object.strUpImage, &object.strDownImage, &object.strMouseImage }) {
                if (path->IsEmpty())
                    continue;
                EXPECT_EQ(path->Left(app.m_strAppDir.GetLength()), app.m_strAppDir);
                EXPECT_EQ(ReadAll(QString::fromStdString(NativePath(*path))).left(4), "\x89PNG") << path->str();
                EXPECT_EQ(picture(*path).size(), picture(object.strUpImage).size()) << path->str();
            }
            // Corners are transparent so the background shows round the keys.
            EXPECT_EQ(qAlpha(picture(object.strUpImage).pixel(0, 0)), 0);
        }
        // A mouse-over target exists by that name and starts hidden.
        const DesktopObject *begin = app.m_aObjects + 1, *end = app.m_aObjects + app.m_nObjects;
        const DesktopObject* target
            = std::find_if(begin, end, [&](const DesktopObject& o) { return o.strName == object.strActivate; });
        EXPECT_TRUE(object.strActivate.IsEmpty() || (target != end && target != &object && !target->bVisible));
        links += !object.strActivate.IsEmpty();
        app.LoadObjectImages(i);
        taken.append({ object.strName.str(), ToQRect(object.rcObject) });
    }
    EXPECT_GE(links, 1);
    EXPECT_EQ(themed, 1);
    for (int i = 1; i < app.m_nObjects; ++i) {
        const DesktopObject& object = app.m_aObjects[i];
        if (object.strText.IsEmpty())
            continue;
        SCOPED_TRACE(object.strName.str());
        app.CreateCaptionSurfaces(i);
        const QRect caption = ToQRect(object.rcText);
        EXPECT_EQ(caption.left(), object.rcObject.right + 2);
        EXPECT_TRUE(caption.width() > 10 && caption.height() > 10 && QRect(0, 0, 1024, 768).contains(caption));
        for (const auto& [name, rect] : taken)
            EXPECT_FALSE(caption.intersects(rect)) << "covers " << name;
        taken.append({ object.strName.str() + " caption", caption });
    }
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    // The palette loader takes the colour table right after a 40-byte info header; the key and the desktop's own
    // background colour are exact on an 8-bit display.
    const QByteArray bytes = ReadAll(programDir + "/res/palette.bmp");
    ASSERT_GE(bytes.size(), 14 + 40 + 1024);
    EXPECT_TRUE(bytes.startsWith("BM") && Le<quint32>(bytes, 14) == 40u && Le<quint16>(bytes, 28) == 8u);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table.append(Le<quint32>(bytes, 54 + 4 * i) | 0xFF000000);
    const COLORREF back = app.m_crBackground;
    EXPECT_TRUE(table.contains(artwork::kKeyColor.rgb()));
    EXPECT_TRUE(table.contains(qRgb(GetRValue(back), GetGValue(back), GetBValue(back))));
}

} // namespace
