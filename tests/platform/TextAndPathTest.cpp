// Strings, paths and files between desktop files, Qt and the file system: byte strings, Windows-1252 text, Windows
// paths found ignoring case, files that replace their target only when closed, message boxes as plain text; actions run
// as links, application entries, files and command lines.
#include "files/DesktopFile.h"
#include "platform/CFile.h"
#include "platform/CommonDialogs.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Path.h"
#include "platform/QtConversions.h"
#include "platform/ShellExecute.h"
#include "support/Bytes.h"
#include "support/DisplayFixture.h"
#include "support/ScriptedUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    EXPECT_EQ(AfxMessageBox("Unable to find 'Up Image' file:\n\n/pics/<b>Gr\xC3\xBC\xC3\x9F\x80.bmp"), IDOK);
    EXPECT_EQ(shown, u"Unable to find 'Up Image' file:\n\n/pics/<b>Gr\u00FC\u00DF\u20AC.bmp"_qs);
    EXPECT_EQ(format, Qt::PlainText);
}

// A path shows as a file name and keeps its bytes through Qt, UTF-8 or not; in a message the rest is Windows-1252 text.
TEST(Text, PathsKeepEveryByteAndShowAsFileNames)
{
    const std::tuple<const char*, QString, QString> cases[] = {
        { "/d/Gr\xC3\xBC\xC3\x9F.bmp", u"/d/Gr\u00FC\u00DF.bmp"_qs, u"/d/Gr\u00FC\u00DF.bmp"_qs },
        { "/d/Gr\xFC\xDF.bmp", u"/d/Gr\xDCFC\xDCDF.bmp"_qs, u"/d/Gr\u00FC\u00DF.bmp"_qs }, // Latin-1
        { "\xE5\x86\x99 \xF0\x9F\x98\x80", u"\u5199 \U0001F600"_qs, u"\u5199 \U0001F600"_qs },
        // Not UTF-8: an overlong '/', a surrogate, a cut sequence.
        { "\xC0\xAF\xED\xA0\x80\xE5\x86", u"\xDCC0\xDCAF\xDCED\xDCA0\xDC80\xDCE5\xDC86"_qs,
            u"\u00C0\u00AF\u00ED\u00A0\u20AC\u00E5\u2020"_qs },
    };
    for (const auto& [bytes, path, message] : cases) {
        EXPECT_EQ(PathToQString(bytes), path) << bytes;
        EXPECT_EQ(PathFromQString(path).str(), bytes);
        EXPECT_EQ(MessageToQString(bytes), message) << bytes;
    }
    const unsigned seed = 23;
    std::mt19937 random(seed);
    for (int n = 0; n < 2000; ++n) {
        std::string bytes(random() % 12, '\0');
        for (char& b : bytes)
            b = char(random() % 3 ? 0x80 + random() % 0x80 : random() % 0x100);
        ASSERT_EQ(PathFromQString(PathToQString(CString(bytes))).str(), bytes) << "seed " << seed;
    }
    // A picture whose name is Latin-1, as unpacked from an old archive: found, opened, loaded, chosen, edited in a
    // field, saved in a desktop and read back from it.
    QTemporaryDir dir;
    const std::string name = dir.path().toStdString() + "/Gr\xFC\xDF.bmp";
    ASSERT_EQ(std::rename(WriteBitmap(dir.path(), "plain.bmp", 4, 3, Qt::red).c_str(), name.c_str()), 0);
    // Beyond what QTemporaryDir can name to remove.
    const std::unique_ptr<const char, int (*)(const char*)> removal(name.c_str(), std::remove);
    const auto loads = [](LPCSTR path) {
        HGDIOBJ bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        DeleteObject(bitmap);
        return bitmap != nullptr;
    };
    CFileStatus status;
    EXPECT_TRUE(CFile::GetStatus(name.c_str(), status));
    EXPECT_TRUE(loads(name.c_str()));
    CFile file;
    EXPECT_TRUE(file.Open(name.c_str(), CFile::modeRead) && file.Close());
    ScriptedUi ui;
    std::string windows = name;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    ui.onFile = [&](const FileDialogRequest&) { return std::optional(CString(windows)); };
    CFileDialog chooser(TRUE, "*.bmp", nullptr, 0, "Bitmaps (*.bmp)|*.bmp||");
    ASSERT_EQ(chooser.DoModal(), IDOK);
    EXPECT_EQ(chooser.GetPathName().str(), windows);
    QLineEdit line;
    CPathEdit field;
    field.Attach(&line, 1);
    field.SetWindowText(chooser.GetPathName());
    EXPECT_EQ(field.GetWindowText().str(), windows);
    DesktopObject object;
    object.strUpImage = windows.c_str();
    DesktopData desktop;
    desktop.aObjects = { DesktopObject(), object };
    const std::string saved = dir.filePath("saved.orv").toStdString();
    ASSERT_TRUE(WriteDesktopFile(saved.c_str(), desktop));
    ASSERT_TRUE(file.Open(saved.c_str(), CFile::modeRead));
    CArchive ar(&file, CArchive::load);
    DesktopData reread;
    ASSERT_TRUE(ReadDesktop(ar, reread));
    ASSERT_EQ(reread.aObjects.size(), 2u);
    EXPECT_EQ(reread.aObjects[1].strUpImage.str(), windows);
    EXPECT_TRUE(loads(reread.aObjects[1].strUpImage));
    file.Close();
    // Qt cannot name such a file to write it: a save there fails rather than write a file of another name.
    const std::string latin1Desktop = dir.path().toStdString() + "/Gr\xFC\xDF.orv";
    EXPECT_FALSE(file.Open(latin1Desktop.c_str(), CFile::modeCreate | CFile::modeWrite));
    const auto entries = std::filesystem::directory_iterator(dir.path().toStdString());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2); // the picture and saved.orv
}

TEST(Text, ChosenFileNamesKeepTheirBytesAndOpen)
{
    QTemporaryDir dir;
    for (const QString& name : { u"Stra\u00DFe.bmp"_qs, u"\u5199\u771F.bmp"_qs }) {
        const QString path = QString::fromStdString(WriteBitmap(dir.path(), name, 4, 3, Qt::red));
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
    // Existing components are found, with their case; a new file in an existing folder keeps its name; once a component
    // is missing, the rest is not looked up.
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

// Folders of the suite's own for everything an action looks up: home, PATH, application entries and their defaults.
// They are set before GIO first reads them, which it does once per process.
class Actions : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        const QString root = s_dir->path();
        for (const char* name :
            { "HOME", "PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS" })
            s_saved.emplace_back(name, qgetenv(name));
        for (const char* folder :
            { "home/folder", "home/closed", "home/Dokumente", "bin", "sys/applications", "data", "config", "etc" })
            QDir(root).mkpath(folder);
        WriteAll(root + "/config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
        // Writes where it ran and its open descriptors into the file $1.
        const char* tool = "#!/bin/sh\n{ pwd; ls /proc/$$/fd; } > \"$1.part\" && mv \"$1.part\" \"$1\"\n";
        for (const char* file : { "bin/orvanta-test-tool", "home/tool" }) {
            WriteAll(root + "/" + file, tool);
            ::chmod(QFile::encodeName(root + "/" + file).constData(), 0755);
        }
        WriteAll(root + "/home/notes.txt", "notes\n");
        const auto entry = [&](const char* name, const QString& lines) {
            WriteAll(root + "/sys/applications/" + name,
                ("[Desktop Entry]\nType=Application\nName=Test\n" + lines).toUtf8());
        };
        entry("orvanta-test-browser.desktop", "Exec=orvanta-test-tool %u\nMimeType=x-scheme-handler/https;\n");
        entry("orvanta-test-editor.desktop", "Exec=orvanta-test-tool %F\nMimeType=text/plain;inode/directory;\n");
        entry("orvanta-test-hidden.desktop", "Exec=orvanta-test-tool\nHidden=true\n");
        entry("orvanta-test-tryexec.desktop", "Exec=orvanta-test-tool\nTryExec=no-such-program-orvanta\n");
        entry("orvanta-test-writer.desktop", "Exec=orvanta-test-tool " + root + "/entry-ran %f\n");
        WriteAll(root + "/damaged.desktop", QByteArray("[Desktop Entry\nType=Appl\x01\xff\nExec=", 30));
        WriteAll(root + "/config/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/https=orvanta-test-browser.desktop\n"
            "text/plain=orvanta-test-editor.desktop\ninode/directory=orvanta-test-editor.desktop\n");
        qputenv("HOME", QFile::encodeName(root + "/home"));
        qputenv("PATH", QFile::encodeName(root + "/bin:") + s_saved[1].second);
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
        // The system's own folder too, for its file types.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(root + "/sys:/usr/share"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root + "/etc"));
    }
    static void TearDownTestSuite()
    {
        for (const auto& [name, value] : s_saved)
            qputenv(name, value);
        s_saved.clear();
        delete s_dir;
        s_dir = nullptr;
    }
    static QString Root() { return s_dir->path(); }
    inline static QTemporaryDir* s_dir = nullptr;
    inline static std::vector<std::pair<const char*, QByteArray>> s_saved;
};

TEST_F(Actions, LinksEntriesFilesAndCommandLinesRunByTheirRulesAndFailWithAReason)
{
    const std::string root = Root().toStdString();
    const std::string home = root + "/home";
    const std::string apps = root + "/sys/applications/";
    const std::string tool = root + "/bin/orvanta-test-tool";
    const std::string at = " @ " + home;
    const std::string editor = "app " + apps + "orvanta-test-editor.desktop ";
    ::chmod((home + "/closed").c_str(), 0);
    const bool bRoot = ::geteuid() == 0; // permissions do not hold for root
    struct Case {
        std::string action;
        const char* parameters;
        INT_PTR result; // 0: started
        std::string launch;
    };
    const Case cases[] = {
        // Links go to their scheme's default application; file links are files.
        { "https://example.org/a?b=c", nullptr, 0,
            "app " + apps + "orvanta-test-browser.desktop [https://example.org/a?b=c]" + at },
        { "orvanta-test-none:x", nullptr, SE_ERR_NOASSOC, "" },
        { "file://" + home + "/notes.txt", nullptr, 0, editor + "[file://" + home + "/notes.txt]" + at },
        // Entries by id from the data folders or by file; the files they open.
        { "orvanta-test-browser.desktop", nullptr, 0, "app " + apps + "orvanta-test-browser.desktop" + at },
        { apps + "orvanta-test-editor.desktop", "~/notes.txt 'b c'", 0,
            editor + "[file://" + home + "/notes.txt] [file://" + home + "/b%20c]" + at },
        { "orvanta-test-hidden.desktop", nullptr, SE_ERR_ASSOCINCOMPLETE, "" },
        { "orvanta-test-tryexec.desktop", nullptr, SE_ERR_ASSOCINCOMPLETE, "" },
        { "orvanta-test-missing.desktop", nullptr, SE_ERR_ASSOCINCOMPLETE, "" },
        { root + "/damaged.desktop", nullptr, SE_ERR_ASSOCINCOMPLETE, "" },
        { "~/missing.desktop", nullptr, SE_ERR_FNF, "" },
        { "orvanta-test-tool orvanta-test-browser.desktop", nullptr, 0, tool + " [orvanta-test-browser.desktop]" + at },
        // Files and folders open with their type's default; programs run.
        { "  ~/notes.txt ", nullptr, 0, editor + "[file://" + home + "/notes.txt]" + at },
        { "~/folder", nullptr, 0, editor + "[file://" + home + "/folder]" + at },
        { "~/Documents", nullptr, 0, editor + "[file://" + home + "/Dokumente]" + at }, // a translated system's
        { "~/Music", nullptr, SE_ERR_FNF, "" },
        { "~/closed", nullptr, bRoot ? 0 : SE_ERR_ACCESSDENIED,
            bRoot ? editor + "[file://" + home + "/closed]" + at : "" },
        { "~/tool", "x", 0, home + "/tool [x]" + at },
        // Command lines: split as a shell would, nothing expanded, no shell.
        { "orvanta-test-tool \"two words\" 'it''s' back\\ slash $HOME *.txt ~ a|wc", nullptr, 0,
            tool + " [two words] [its] [back slash] [$HOME] [*.txt] [~] [a|wc]" + at },
        { "orvanta-test-tool 'unbalanced", nullptr, ERROR_BAD_FORMAT, "" },
        { "no-such-program-orvanta --x", nullptr, SE_ERR_FNF, "" },
        { "~/notes.txt.missing --x", nullptr, SE_ERR_FNF, "" },
        { "C:\\Program Files\\app.exe", nullptr, SE_ERR_PNF, "" },
        { std::string(65536, 'x'), nullptr, SE_ERR_FNF, "" },
        { "   ", nullptr, SE_ERR_FNF, "" },
    };
    ScriptedUi ui;
    for (const Case& c : cases) {
        ui.launches.clear();
        const INT_PTR nResult = ShellExecute(nullptr, "open", c.action.c_str(), c.parameters, nullptr, SW_SHOWNORMAL);
        EXPECT_EQ(nResult > 32 ? 0 : nResult, c.result) << c.action.substr(0, 80);
        EXPECT_EQ(ui.launches, c.launch.empty() ? std::vector<std::string> {} : std::vector { c.launch })
            << c.action.substr(0, 80);
        if (nResult <= 32) {
            EXPECT_GT(std::strlen(ShellExecuteErrorText(nResult)), 10u);
        }
    }
    ::chmod((home + "/closed").c_str(), 0755);
    // Only a file of the user's that no one else may write is theirs.
    const std::string file = root + "/home/notes.txt";
    for (const auto& [mode, owned] : { std::pair { 0644, TRUE }, { 0600, TRUE }, { 0664, FALSE }, { 0646, FALSE } }) {
        ::chmod(file.c_str(), mode_t(mode));
        EXPECT_EQ(IsFileOwnedByUser(file.c_str()), owned) << std::oct << mode;
    }
    EXPECT_FALSE(IsFileOwnedByUser((root + "/none").c_str()));
    // The system's own files are no other user's.
    EXPECT_TRUE(IsFileOwnedByUser("/etc/passwd"));
}

// Really started: a program and an entry run detached in the home folder, without the caller's descriptors, and leave
// no child to reap.
TEST_F(Actions, StartedProgramsRunDetachedInTheHomeFolderWithoutInheritedDescriptors)
{
    constexpr int kLeaked = 99;
    const int fd = ::open("/dev/null", O_RDONLY);
    ASSERT_EQ(::dup2(fd, kLeaked), kLeaked);
    ::close(fd);
    const QString program = Root() + "/program-ran";
    const QString entry = Root() + "/entry-ran";
    EXPECT_GT(ShellExecute(nullptr, nullptr, QFile::encodeName("orvanta-test-tool " + program).constData(), nullptr,
                  nullptr, SW_SHOWNORMAL),
        32);
    EXPECT_GT(ShellExecute(nullptr, "open", "orvanta-test-writer.desktop", nullptr, nullptr, SW_SHOWNORMAL), 32);
    for (const QString& file : { program, entry }) {
        ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(file); })) << file.toStdString();
        const QStringList lines = QString::fromUtf8(ReadAll(file)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.front(), Root() + "/home") << file.toStdString();
        EXPECT_FALSE(lines.contains(QString::number(kLeaked))) << lines.join(' ').toStdString();
    }
    EXPECT_LE(::waitpid(-1, nullptr, WNOHANG), 0);
    ::close(kLeaked);
}

} // namespace
