// Strings, paths and files between desktop files, Qt and the file system:
// byte strings, Windows-1252 text, Windows paths found ignoring case, files
// that replace their target only when closed, message boxes as plain text.
#include "platform/CFile.h"
#include "platform/CommonDialogs.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Path.h"
#include "platform/QtConversions.h"
#include "support/Bytes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Text, DesktopTextIsWindows1252AndMessageBoxesShowItAsWritten)
{
    const std::pair<const char*, QString> cases[]
        = { { "plain", "plain" }, { "\x80 5", u"\u20AC 5"_qs }, { "\x93quoted\x94", u"\u201Cquoted\u201D"_qs },
              { "caf\xE9", u"caf\u00E9"_qs }, { "\x81\x8D", u"\u0081\u008D"_qs } };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(ToQString(bytes), text) << bytes;
        EXPECT_EQ(FromQString(text).str(), bytes);
    }
    std::string every;
    for (int b = 1; b < 256; ++b)
        every.push_back(char(b));
    EXPECT_EQ(FromQString(ToQString(CString(every))).str(), every);
    // What the code page cannot hold is one '?' per character.
    EXPECT_EQ(FromQString(u"\u5199\u771F \U0001F600"_qs).str(), "?? ?");

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

TEST(Text, ChosenFileNamesKeepTheirBytesAndOpen)
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
        EXPECT_EQ(chooser.GetPathName().str(), QFile::encodeName(path).toStdString());
        EXPECT_EQ(PathToQString(chooser.GetPathName()), path);
        HGDIOBJ bitmap = LoadImageA(nullptr, chooser.GetPathName(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        EXPECT_NE(bitmap, nullptr) << path.toStdString();
        DeleteObject(bitmap);
    }
}

TEST(Paths, ComponentsAndFilesAreFoundIgnoringCaseAndAWrittenFileReplacesItsTargetOnlyWhenClosed)
{
    // A program folder: Program/Desktops/Default.ORV and Program/res/palette.bmp.
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const auto add = [&](const QString& file) {
        QDir(dir.path()).mkpath(QFileInfo(file).path());
        ASSERT_TRUE(WriteAll(dir.filePath(file), "abcdef"));
    };
    const auto expectPaths = [&](const std::vector<std::pair<std::string, std::string>>& cases) {
        for (const auto& [path, expected] : cases)
            EXPECT_EQ(NativePath((root + path).c_str()), root + expected) << path;
    };
    for (const char* file : { "Program/Desktops/Default.ORV", "Program/res/palette.bmp" })
        add(file);
    // Existing components are found, with their case; a new file in an
    // existing folder keeps its name; once a component is missing, the rest is
    // not looked up.
    expectPaths({ { "\\Program\\res\\palette.bmp", "/Program/res/palette.bmp" },
        { "\\program\\desktops\\default.orv", "/Program/Desktops/Default.ORV" },
        { "/PROGRAM/RES/Palette.Bmp", "/Program/res/palette.bmp" },
        { "\\program\\.\\RES\\..\\desktops", "/Program/./res/../Desktops" },
        { "\\program\\desktops\\New.orv", "/Program/Desktops/New.orv" },
        { "\\program\\Missing\\res\\X", "/Program/Missing/res/X" } });
    // An exact match wins; when none is exact, the first in byte order.
    add("Program/RES/other.bmp");
    expectPaths({ { "\\Program\\RES\\other.bmp", "/Program/RES/other.bmp" },
        { "\\Program\\res\\Palette.bmp", "/Program/res/palette.bmp" },
        { "\\Program\\Res\\X.bmp", "/Program/RES/X.bmp" } });

    const std::string path = root + "\\program\\desktops\\default.orv";
    const QString target = dir.filePath("Program/Desktops/Default.ORV");
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_TRUE(file.Write("new!", 4));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadAll(target), "new!");
    EXPECT_EQ(QDir(dir.filePath("Program/Desktops")).entryList(QDir::Files | QDir::Hidden),
        QStringList { "Default.ORV" }); // no temporary left
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    char bytes[8] = {};
    EXPECT_EQ(file.Read(bytes, sizeof bytes), 4u);
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_TRUE(file.Close());
}

} // namespace
