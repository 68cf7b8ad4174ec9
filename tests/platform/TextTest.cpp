// Text between desktop files, Qt and the file system: Windows-1252 text,
// file names as the file system's bytes, message boxes as plain text.
#include "platform/CommonDialogs.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/QtConversions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(TextTest, DesktopTextIsWindows1252)
{
    const struct {
        const char* bytes;
        QString text;
    } cases[] = {
        { "plain", "plain" },
        { "\x80 5", u"\u20AC 5"_qs },
        { "\x93quoted\x94", u"\u201Cquoted\u201D"_qs },
        { "caf\xE9", u"caf\u00E9"_qs },
        { "\x81\x8D", u"\u0081\u008D"_qs },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToQString(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(FromQString(c.text).str(), c.bytes);
    }
    std::string every;
    for (int b = 1; b < 256; ++b)
        every.push_back(char(b));
    EXPECT_EQ(FromQString(ToQString(CString(every))).str(), every);
    // What the code page cannot hold is one '?' per character.
    EXPECT_EQ(FromQString(u"\u5199\u771F \U0001F600"_qs).str(), "?? ?");
}

TEST(TextTest, ChosenFileNamesKeepTheirBytesAndOpen)
{
    QTemporaryDir dir;
    for (const QString& name : { u"Stra\u00DFe.bmp"_qs, u"\u5199\u771F.bmp"_qs }) {
        const QString path = dir.filePath(name);
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(path, "BMP"));
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr);
            chooser->selectFile(path);
            QMetaObject::invokeMethod(chooser, "accept");
        });
        CFileDialog chooser(TRUE, "*.bmp", nullptr, 0, "Bitmaps (*.bmp)|*.bmp||");
        ASSERT_EQ(chooser.DoModal(), IDOK);
        EXPECT_EQ(chooser.GetPathName().str(), QFile::encodeName(path).replace('/', '\\').toStdString());
        EXPECT_EQ(PathToQString(chooser.GetPathName()), QString(path).replace('/', '\\'));
        HGDIOBJ bitmap = LoadImageA(nullptr, chooser.GetPathName(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        EXPECT_NE(bitmap, nullptr) << path.toStdString();
        DeleteObject(bitmap);
    }
}

TEST(TextTest, MessageBoxesShowTheirTextAsWritten)
{
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(AfxMessageBox("Unable to load: /pics/<b>x\x80.bmp"), IDOK);
    EXPECT_EQ(shown, u"Unable to load: /pics/<b>x\u20AC.bmp"_qs);
    EXPECT_EQ(format, Qt::PlainText);
}

} // namespace
