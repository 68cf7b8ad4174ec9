// Desktop files: the bytes written, what loading makes of them, damaged and
// unwritable files, and the text form of orvanta-desktop.

#include "app/DesktopApp.h"
#include "tools/orvanta-desktop/DesktopJson.h"
#include "support/ScriptedUi.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Little-endian bytes, assembled independently of the archive.
struct ByteBuilder {
    Bytes bytes;
    ByteBuilder& u8(unsigned v)
    {
        bytes.push_back((unsigned char)v);
        return *this;
    }
    ByteBuilder& u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back((unsigned char)(v >> (8 * i)));
        return *this;
    }
    ByteBuilder& shortStr(const std::string& s) // below 255 characters
    {
        u8(unsigned(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& rect(RECT rc)
    {
        return u32(DWORD(rc.left)).u32(DWORD(rc.top)).u32(DWORD(rc.right)).u32(DWORD(rc.bottom));
    }
    ByteBuilder& font(const LOGFONT& lf)
    {
        u32(DWORD(lf.lfHeight)).u32(DWORD(lf.lfWidth)).u32(DWORD(lf.lfEscapement)).u32(DWORD(lf.lfOrientation));
        u32(DWORD(lf.lfWeight)).u8(lf.lfItalic).u8(lf.lfUnderline).u8(lf.lfStrikeOut).u8(lf.lfCharSet);
        u8(lf.lfOutPrecision).u8(lf.lfClipPrecision).u8(lf.lfQuality).u8(lf.lfPitchAndFamily);
        return shortStr(lf.lfFaceName);
    }
};

inline LOGFONT MakeFont(const char* face, LONG height, LONG weight)
{
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = 1;
    lf.lfCharSet = 0xEE;
    lf.lfPitchAndFamily = 0x22;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// A scratch folder and an application object whose message boxes are
// answered by the test.
class DesktopFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<CDesktopApp> app = std::make_unique<CDesktopApp>();

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // Background plus objects with something different in every field.
    void FillDesktop(int nObjects)
    {
        app->m_nObjects = nObjects;
        app->m_bTile = 1;
        app->m_dwBackPixel = 0x00123456;
        app->m_crBackground = RGB(1, 2, 3);
        app->m_lfDefault = MakeFont("Tahoma", -13, 700);
        for (int i = 0; i < nObjects; ++i) {
            DesktopObject& o = app->m_aObjects[i];
            o.strName = i == 0 ? CString("Background") : CString(("Object " + std::to_string(i)).c_str());
            o.dwReserved = DWORD(i * 7);
            o.strText = CString("First line\r\nSecond \xE9 line");
            o.rcText = { 10 * i, -5, 100 + i, 200 };
            o.lfFont = MakeFont(i % 2 ? "Arial" : "Courier New", -10 - i, 400);
            o.dwTextPixel = 0xF800u + DWORD(i);
            o.crText = RGB(255, BYTE(i), 0);
            o.dwHotTextPixel = 0x07E0u + DWORD(i);
            o.crHotText = RGB(0, 255, BYTE(i));
            o.nJustify = 1087 + i % 3;
            o.strUpImage = CString(("/opt/images/up" + std::to_string(i) + ".bmp").c_str());
            o.strDownImage = i % 2 ? CString("C:\\Images\\Down.bmp") : CString();
            o.strMouseImage = CString(std::string(300, char('a' + i)));
            o.rcObject = { -20, 30 * i, 44, 30 * i + 32 };
            o.strActivate = i > 1 ? CString("Object 1") : CString();
            o.bVisible = BYTE(i % 2);
            o.bTextOnMouseOver = BYTE(i % 3 == 0);
            o.strAction = CString("run me");
        }
    }
};

namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenMessage = "Desktop file could not be opened!";
constexpr const char* kDamagedMessage = "Desktop file is damaged and could not be loaded!";
constexpr const char* kSaveMessage = "Desktop file could not be saved!";

void Patch32(Bytes& bytes, size_t offset, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + size_t(i)] = (unsigned char)(value >> (8 * i));
}

// Lets writes to regular files fail beyond a size, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved {};
    sighandler_t m_handler;
};

}

TEST_F(DesktopFileTest, SingleBackgroundDesktopHasTheDocumentedBytes)
{
    app->m_nObjects = 1;
    app->m_bTile = 1;
    app->m_dwBackPixel = 0xA1B2C3D4;
    app->m_crBackground = RGB(9, 8, 7);
    app->m_lfDefault = MakeFont("Arial", -12, 400);
    DesktopObject& bg = app->m_aObjects[0];
    bg.strName = "Background";
    bg.rcText = { 1, -2, 3, -4 };
    bg.lfFont = MakeFont("Times", 20, 700);
    bg.dwTextPixel = 11;
    bg.crText = 12;
    bg.dwHotTextPixel = 13;
    bg.crHotText = 14;
    bg.rcObject = { 5, 6, 7, 8 };
    bg.bVisible = 1;
    app->m_strDesktopFile = CString(Path("one.orv").c_str());
    app->SaveDesktop();

    ByteBuilder expected;
    expected.shortStr("ORVDEMO1.0").u32(1).u32(1).u32(0xA1B2C3D4).u32(0x070809).font(app->m_lfDefault);
    expected.shortStr("Background").u32(0).shortStr("").rect(bg.rcText).font(bg.lfFont);
    expected.u32(11).u32(12).u32(13).u32(14).u32(0).shortStr("").shortStr("").shortStr("");
    expected.rect(bg.rcObject).shortStr("").u32(1).u32(0).shortStr("");
    const Bytes written = ReadBytes(Path("one.orv"));
    EXPECT_EQ(written.size(), 176u);
    EXPECT_EQ(written, expected.bytes);

    // A header with an empty default face name and no records.
    app->m_nObjects = 0;
    app->m_lfDefault = LOGFONT();
    app->SaveDesktop();
    EXPECT_EQ(ReadBytes(Path("one.orv")).size(), 56u);
}

TEST_F(DesktopFileTest, SaveThenLoadRestoresEveryFieldAndWritesTheSameBytes)
{
    FillDesktop(3);
    app->m_strDesktopFile = CString(Path("three.orv").c_str());
    app->SaveDesktop();
    const Bytes first = ReadBytes(Path("three.orv"));
    const Bytes header = { 0x0A, 'O', 'R', 'V', 'D', 'E', 'M', 'O', '1', '.', '0', 3, 0, 0, 0 };
    ASSERT_GT(first.size(), header.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), first.begin()));

    auto loaded = std::make_unique<CDesktopApp>();
    loaded->m_strDesktopFile = app->m_strDesktopFile;
    loaded->LoadDesktop();
    ASSERT_EQ(loaded->m_nObjects, 3);
    EXPECT_EQ(loaded->m_bTile, 1);
    EXPECT_EQ(loaded->m_dwBackPixel, app->m_dwBackPixel);
    EXPECT_EQ(loaded->m_crBackground, app->m_crBackground);
    EXPECT_EQ(std::memcmp(&loaded->m_lfDefault, &app->m_lfDefault, sizeof(LOGFONT)), 0);
    EXPECT_EQ(loaded->m_aObjects[1].strText, CString("First line\r\nSecond \xE9 line"));
    EXPECT_EQ(loaded->m_aObjects[2].rcObject, app->m_aObjects[2].rcObject);

    loaded->m_strDesktopFile = CString(Path("again.orv").c_str());
    loaded->SaveDesktop();
    EXPECT_EQ(ReadBytes(Path("again.orv")), first);
}

TEST_F(DesktopFileTest, FlagsReadAnyNonZeroAsTrueAndAreWrittenAsOne)
{
    FillDesktop(2);
    app->m_aObjects[1].strAction = "run me";
    app->m_aObjects[1].bVisible = 1;
    app->m_aObjects[1].bTextOnMouseOver = 1;
    app->m_strDesktopFile = CString(Path("flags.orv").c_str());
    app->SaveDesktop();
    const Bytes clean = ReadBytes(Path("flags.orv"));

    // Tile sits at offset 15; the last record ends with its two flags and
    // the 7-byte action string.
    Bytes odd = clean;
    Patch32(odd, 15, 0xFFFFFFFF);
    Patch32(odd, odd.size() - 15, 0x80000000);
    Patch32(odd, odd.size() - 11, 0x00000100);
    WriteBytes(Path("flags.orv"), odd);

    auto loaded = std::make_unique<CDesktopApp>();
    loaded->m_strDesktopFile = app->m_strDesktopFile;
    loaded->LoadDesktop();
    ASSERT_EQ(loaded->m_nObjects, 2);
    EXPECT_EQ(loaded->m_bTile, 1);
    EXPECT_EQ(loaded->m_aObjects[1].bVisible, 1);
    EXPECT_EQ(loaded->m_aObjects[1].bTextOnMouseOver, 1);
    loaded->SaveDesktop();
    EXPECT_EQ(ReadBytes(Path("flags.orv")), clean);
}

TEST_F(DesktopFileTest, LoadLocksAndResetsTheRuntimeOfLoadedSlots)
{
    FillDesktop(3);
    app->m_strDesktopFile = CString(Path("state.orv").c_str());
    app->SaveDesktop();

    auto* surface = reinterpret_cast<IDirectDrawSurface*>(0x1000);
    for (ObjectRuntime& slot : app->m_aRuntime) {
        slot = { 1, 1, 3, 9 };
        slot.pUp = surface;
    }
    app->m_bLocked = FALSE;
    app->m_nObjects = 0;
    app->LoadDesktop();

    EXPECT_EQ(app->m_bLocked, TRUE);
    for (int i = 0; i < 3; ++i) {
        const ObjectRuntime& slot = app->m_aRuntime[i];
        EXPECT_EQ(slot.bSelected, 0);
        EXPECT_EQ(slot.bVisible, 0);
        EXPECT_EQ(slot.nState, 1);
        EXPECT_EQ(slot.nActivates, 0);
        EXPECT_EQ(slot.pUp, surface); // releasing is the caller's part
    }
    EXPECT_EQ(app->m_aRuntime[3].nState, 3);
    for (ObjectRuntime& slot : app->m_aRuntime)
        slot.pUp = nullptr;
}

TEST_F(DesktopFileTest, CountZeroFileLoadsAnEmptyDesktop)
{
    app->m_nObjects = 0;
    app->m_lfDefault = MakeFont("Arial", -13, 400);
    app->m_strDesktopFile = CString(Path("empty.orv").c_str());
    app->SaveDesktop();
    EXPECT_EQ(ReadBytes(Path("empty.orv")).size(), 61u);

    FillDesktop(2);
    app->LoadDesktop();
    EXPECT_EQ(app->m_nObjects, 0);
    EXPECT_EQ(app->m_bTile, 0);
    EXPECT_STREQ(app->m_lfDefault.lfFaceName, "Arial");
}

TEST_F(DesktopFileTest, ImagePathsUnderTheDevelopmentFolderAreRebased)
{
    struct Case {
        const char* appDir;
        const char* stored;
        const char* loaded;
    };
    const Case cases[] = {
        { "c:\\apps\\desk", "E:\\Projects3\\TAV\\Bitmaps\\Logo.bmp", "c:\\apps\\desk\\Bitmaps\\Logo.bmp" },
        { "c:\\apps\\desk", "e:\\projects3\\tav", "c:\\apps\\desk" },
        { "c:\\apps\\desk", "e:\\projects3\\tavern\\a.bmp", "c:\\apps\\deskern\\a.bmp" },
        { "c:\\apps\\desk", "e:\\projects3\\ta", "e:\\projects3\\ta" },
        { "c:\\apps\\desk", "d:\\projects3\\tav\\a.bmp", "d:\\projects3\\tav\\a.bmp" },
        { "c:\\apps\\desk", "", "" },
        { "/opt/orvanta", "e:\\PROJECTS3\\tav\\Images\\Up.BMP", "/opt/orvanta\\Images\\Up.BMP" },
        { "/opt/orvanta", "/opt/images/e:\\projects3\\tav", "/opt/images/e:\\projects3\\tav" },
    };
    for (const Case& c : cases) {
        FillDesktop(2);
        for (int i = 0; i < 2; ++i) {
            app->m_aObjects[i].strUpImage = c.stored;
            app->m_aObjects[i].strDownImage = c.stored;
            app->m_aObjects[i].strMouseImage = c.stored;
            app->m_aObjects[i].strAction = c.stored;
        }
        app->m_strDesktopFile = CString(Path("rebase.orv").c_str());
        app->SaveDesktop();
        app->m_strAppDir = c.appDir;
        app->LoadDesktop();
        ASSERT_EQ(app->m_nObjects, 2);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(app->m_aObjects[i].strUpImage, CString(c.loaded)) << c.stored;
            EXPECT_EQ(app->m_aObjects[i].strDownImage, CString(c.loaded)) << c.stored;
            EXPECT_EQ(app->m_aObjects[i].strMouseImage, CString(c.loaded)) << c.stored;
            EXPECT_EQ(app->m_aObjects[i].strAction, CString(c.stored));
        }
    }
}

TEST_F(DesktopFileTest, WindowsStylePathsFindFoldersIgnoringCase)
{
    fs::create_directory(Path("desktops"));
    FillDesktop(2);
    app->m_strDesktopFile = CString((Path("") + "\\DeskTops\\New.orv").c_str());
    app->SaveDesktop();
    EXPECT_TRUE(fs::exists(Path("desktops/New.orv")));

    app->m_nObjects = 0;
    app->m_strDesktopFile = CString((Path("") + "\\DESKTOPS\\new.ORV").c_str());
    app->LoadDesktop();
    EXPECT_EQ(app->m_nObjects, 2);
}

TEST_F(DesktopFileTest, UnopenableFilesShowTheOpenMessageAndChangeNothing)
{
    ScriptedUi ui;
    FillDesktop(3);
    app->m_bLocked = FALSE;
    for (const std::string& path : { Path("missing.orv"), Path("") }) {
        app->m_strDesktopFile = CString(path.c_str());
        app->LoadDesktop();
        EXPECT_EQ(app->m_nObjects, 3);
        EXPECT_EQ(app->m_bLocked, FALSE);
        EXPECT_EQ(app->m_aObjects[2].strName, CString("Object 2"));
    }
    EXPECT_EQ(ui.messages, std::vector<std::string>(2, kOpenMessage));
}

TEST_F(DesktopFileTest, DamagedFilesAreRejectedWholeAndChangeNothing)
{
    FillDesktop(3);
    for (int i = 0; i < 3; ++i)
        app->m_aObjects[i].strMouseImage = "m.bmp"; // every cut length is tried: keep it short
    app->m_strDesktopFile = CString(Path("good.orv").c_str());
    app->SaveDesktop();
    const Bytes good = ReadBytes(Path("good.orv"));

    // The desktop in memory is a different one, unlocked.
    FillDesktop(2);
    app->m_aObjects[2] = DesktopObject();
    app->m_aObjects[1].strName = "Keep me";
    app->m_bTile = 0;
    app->m_bLocked = FALSE;
    app->m_aRuntime[1].nState = 3;
    app->m_strDesktopFile = CString(Path("damaged.orv").c_str());
    const auto expectUntouched = [&](const std::string& what) {
        EXPECT_EQ(app->m_nObjects, 2) << what;
        EXPECT_EQ(app->m_aObjects[1].strName, CString("Keep me")) << what;
        EXPECT_EQ(app->m_aObjects[2].strName, CString()) << what;
        EXPECT_EQ(app->m_bTile, 0) << what;
        EXPECT_EQ(app->m_bLocked, FALSE) << what;
        EXPECT_EQ(app->m_aRuntime[1].nState, 3) << what;
    };

    ScriptedUi ui;
    for (size_t length = 0; length < good.size(); ++length) {
        WriteBytes(Path("damaged.orv"), Bytes(good.begin(), good.begin() + std::ptrdiff_t(length)));
        app->LoadDesktop();
        ASSERT_EQ(ui.messages.size(), length + 1) << "a file cut to " << length << " bytes was accepted";
        expectUntouched("cut to " + std::to_string(length));
    }

    // Counts beyond the table, below zero, and above the records present.
    for (DWORD count : { DWORD(52), DWORD(0xFFFFFFFF), DWORD(0x80000000), DWORD(4) }) {
        Bytes bad = good;
        Patch32(bad, 11, count);
        WriteBytes(Path("damaged.orv"), bad);
        app->LoadDesktop();
        expectUntouched("count " + std::to_string(count));
    }

    // The first record's name announced as a string of 16-bit characters.
    const size_t nameAt = 11 + 16 + 28 + 1 + 6;
    ASSERT_EQ(good[nameAt], 10);
    Bytes wide = good;
    wide.insert(wide.begin() + std::ptrdiff_t(nameAt), { 0xFF, 0xFE, 0xFF });
    WriteBytes(Path("damaged.orv"), wide);
    app->LoadDesktop();
    expectUntouched("16-bit string");

    // A string length far beyond the end of the file.
    Bytes huge = good;
    huge.resize(nameAt);
    ByteBuilder tail;
    tail.u8(0xFF).u8(0xFF).u8(0xFF).u32(0xFFFFFFF0).u8('x');
    huge.insert(huge.end(), tail.bytes.begin(), tail.bytes.end());
    WriteBytes(Path("damaged.orv"), huge);
    app->LoadDesktop();
    expectUntouched("huge string");

    for (const std::string& message : ui.messages)
        EXPECT_EQ(message, kDamagedMessage);
    EXPECT_EQ(ui.messages.size(), good.size() + 6);

    // The whole file still loads.
    WriteBytes(Path("damaged.orv"), good);
    app->LoadDesktop();
    EXPECT_EQ(app->m_nObjects, 3);
    EXPECT_EQ(ui.messages.size(), good.size() + 6);
}

TEST_F(DesktopFileTest, FullTableLoadsAndLongFaceNamesAreCut)
{
    FillDesktop(51);
    app->m_strDesktopFile = CString(Path("full.orv").c_str());
    app->SaveDesktop();
    app->m_aObjects[kTableSize - 1].strName = "Clipboard";
    app->m_nObjects = 0;
    app->LoadDesktop();
    EXPECT_EQ(app->m_nObjects, 51);
    EXPECT_EQ(app->m_aObjects[50].strName, CString("Object 50"));
    EXPECT_EQ(app->m_aObjects[kTableSize - 1].strName, CString("Clipboard"));

    const std::string longFace(40, 'F');
    ByteBuilder file;
    file.shortStr("ORVDEMO1.0").u32(0).u32(0).u32(0).u32(0);
    for (int i = 0; i < 7; ++i)
        file.u32(0);
    file.shortStr(longFace);
    WriteBytes(Path("face.orv"), file.bytes);
    app->m_strDesktopFile = CString(Path("face.orv").c_str());
    app->LoadDesktop();
    EXPECT_EQ(app->m_nObjects, 0);
    EXPECT_EQ(std::string(app->m_lfDefault.lfFaceName), longFace.substr(0, 31));
}

TEST_F(DesktopFileTest, FailedSavesShowTheSaveMessageAndKeepTheOldFile)
{
    ScriptedUi ui;
    FillDesktop(3);
    app->m_strDesktopFile = CString(Path("keep.orv").c_str());
    app->SaveDesktop();
    const Bytes old = ReadBytes(Path("keep.orv"));
    ASSERT_GT(old.size(), 1000u);
    FillDesktop(5);

    // A write that fails part way as on a full disk, a read-only target, a
    // read-only folder (refused on its permission bits, for root too), and a
    // folder that does not exist.
    const std::function<void()> failures[] = {
        [&] {
            FileSizeLimit limit(600);
            app->SaveDesktop();
        },
        [&] {
            fs::permissions(Path("keep.orv"), fs::perms::owner_read | fs::perms::group_read);
            app->SaveDesktop();
            fs::permissions(Path("keep.orv"), fs::perms::owner_read | fs::perms::owner_write);
        },
        [&] {
            fs::permissions(Path(""), fs::perms::owner_read | fs::perms::owner_exec);
            app->SaveDesktop();
            fs::permissions(Path(""), fs::perms::owner_all);
        },
        [&] {
            const CString target = app->m_strDesktopFile;
            app->m_strDesktopFile = CString(Path("nowhere/keep.orv").c_str());
            app->SaveDesktop();
            app->m_strDesktopFile = target;
        },
    };
    for (size_t k = 0; k < std::size(failures); ++k) {
        failures[k]();
        EXPECT_EQ(ui.messages, std::vector<std::string>(k + 1, kSaveMessage)) << k;
        EXPECT_EQ(ReadBytes(Path("keep.orv")), old) << k;
        EXPECT_EQ(std::distance(fs::directory_iterator(Path("")), fs::directory_iterator()), 1) << k;
    }
}

TEST_F(DesktopFileTest, SaveReplacesTheFileKeepingItsPermissions)
{
    FillDesktop(2);
    app->m_strDesktopFile = CString(Path("perm.orv").c_str());
    WriteBytes(Path("perm.orv"), Bytes(5000, 0xAB));
    fs::permissions(Path("perm.orv"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    app->SaveDesktop();
    EXPECT_EQ(fs::status(Path("perm.orv")).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const Bytes written = ReadBytes(Path("perm.orv"));
    ASSERT_GT(written.size(), 11u);
    EXPECT_EQ(written[0], 0x0A);
    EXPECT_LT(written.size(), 5000u);
}

namespace {

class DesktopJsonTest : public DesktopFileTest {
protected:
    // Saves the desktop in memory and dumps it; the JSON text.
    std::string SaveAndDump(const char* orv)
    {
        app->m_strDesktopFile = CString(Path(orv).c_str());
        app->SaveDesktop();
        std::ostringstream out, err;
        EXPECT_EQ(DumpDesktopFile(Path(orv).c_str(), out, err), 0) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    }

    int Build(const std::string& json, std::string* error = nullptr)
    {
        QFile file(QString::fromStdString(Path("in.json")));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(json.data(), qint64(json.size()));
        file.close();
        std::ostringstream err;
        const int status = BuildDesktopFile(Path("in.json").c_str(), Path("out.orv").c_str(), err);
        if (error)
            *error = err.str();
        return status;
    }

    QJsonObject Parse(const std::string& json)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    }
    std::string Text(const QJsonObject& object) { return QJsonDocument(object).toJson().toStdString(); }
};

}

TEST_F(DesktopJsonTest, DumpThenBuildGivesTheSameBytes)
{
    for (int n : { 0, 1, 4, 51 }) {
        FillDesktop(n);
        app->m_lfDefault.lfHeight = std::numeric_limits<LONG>::min();
        app->m_dwBackPixel = 0xFFFFFFFF;
        if (n > 1) {
            app->m_aObjects[1].strText = CString(std::string("\x01\x7F\x80\xFF\"\\\t", 7) + std::string(70000, 'z'));
            app->m_aObjects[1].nJustify = -5;
        }
        const std::string json = SaveAndDump("source.orv");
        std::string error;
        ASSERT_EQ(Build(json, &error), 0) << error;
        EXPECT_EQ(ReadBytes(Path("out.orv")), ReadBytes(Path("source.orv"))) << n << " records";
    }
}

TEST_F(DesktopJsonTest, DumpShowsTheStoredValues)
{
    FillDesktop(2);
    app->m_aObjects[1].strUpImage = "E:\\Projects3\\TAV\\\xE9t\xE9.bmp";
    const QJsonObject root = Parse(SaveAndDump("show.orv"));

    EXPECT_EQ(root["magic"].toString(), "ORVDEMO1.0");
    EXPECT_EQ(root["count"].toInteger(), 2);
    EXPECT_EQ(root["tile"].toBool(), true);
    EXPECT_EQ(root["backPixel"].toInteger(), 0x123456);
    EXPECT_EQ(root["defaultFont"]["faceName"].toString(), "Tahoma");
    const QJsonObject object = root["objects"].toArray()[1].toObject();
    // Not rebased; each byte is the character of the same number.
    EXPECT_EQ(object["upImage"].toString(), QString::fromUtf8("E:\\Projects3\\TAV\\\u00e9t\u00e9.bmp"));
    EXPECT_EQ(object["text"].toString(), QString::fromUtf8("First line\r\nSecond \u00e9 line"));
    EXPECT_EQ(object["objectRect"].toArray(), (QJsonArray { -20, 30, 44, 62 }));
    EXPECT_EQ(object["justify"].toInteger(), 1088);
    EXPECT_EQ(object["visible"].toBool(), true);
}

TEST_F(DesktopJsonTest, DamagedFilesAreNotDumped)
{
    FillDesktop(2);
    SaveAndDump("cut.orv");
    Bytes bytes = ReadBytes(Path("cut.orv"));
    bytes.resize(bytes.size() - 3);
    WriteBytes(Path("cut.orv"), bytes);
    std::ostringstream out, err;
    EXPECT_EQ(DumpDesktopFile(Path("cut.orv").c_str(), out, err), 1);
    EXPECT_EQ(out.str(), "");
    const std::string line = err.str();
    EXPECT_NE(line.find("record 1: the file ends"), std::string::npos) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);

    ByteBuilder badCount;
    badCount.shortStr("ORVDEMO1.0").u32(60);
    WriteBytes(Path("count.orv"), badCount.bytes);
    std::ostringstream out2, err2;
    EXPECT_EQ(DumpDesktopFile(Path("count.orv").c_str(), out2, err2), 1);
    EXPECT_NE(err2.str().find("byte 11: object count 60"), std::string::npos) << err2.str();

    std::ostringstream out3, err3;
    EXPECT_EQ(DumpDesktopFile(Path("none.orv").c_str(), out3, err3), 1);
}

TEST_F(DesktopJsonTest, BuildRejectsJsonThatDescribesNoDesktop)
{
    FillDesktop(2);
    const QJsonObject good = Parse(SaveAndDump("good.orv"));
    const auto edited = [&](auto edit) {
        QJsonObject root = good;
        edit(root);
        return Text(root);
    };
    const auto editObject = [&](auto edit) {
        return edited([&](QJsonObject& root) {
            QJsonArray objects = root["objects"].toArray();
            QJsonObject object = objects[1].toObject();
            edit(object);
            objects[1] = object;
            root["objects"] = objects;
        });
    };

    struct Case {
        std::string json;
        const char* reason;
    };
    const Case cases[] = {
        { "{\"magic\": ", "not JSON" },
        { "[1, 2]", "expected a JSON object" },
        { edited([](QJsonObject& r) { r["count"] = 3; }), "count: 3 differs from the 2 objects" },
        { edited([](QJsonObject& r) { r["magic"] = "ORVDEMO2.0"; }), "magic" },
        { edited([](QJsonObject& r) { r.remove("tile"); }), "missing key \"tile\"" },
        { edited([](QJsonObject& r) { r["extra"] = 1; }), "unknown key \"extra\"" },
        { edited([](QJsonObject& r) { r["backPixel"] = 4294967296.0; }), "backPixel: expected a whole number" },
        { edited([](QJsonObject& r) { r["tile"] = 1; }), "tile: expected true or false" },
        { editObject([](QJsonObject& o) { o["reserved"] = 1.5; }), "objects[1].reserved: expected a whole number" },
        { editObject([](QJsonObject& o) { o["name"] = QString::fromUtf8("\u20ac"); }),
            "objects[1].name: holds a character above U+00FF" },
        { editObject([](QJsonObject& o) {
             QJsonObject font = o["font"].toObject();
             font["faceName"] = QString(32, 'F');
             o["font"] = font;
         }),
            "objects[1].font.faceName" },
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Build(c.json, &error), 1) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("out.orv")))) << c.reason;
    }

    // The unedited JSON still builds.
    EXPECT_EQ(Build(Text(good)), 0);
    EXPECT_EQ(ReadBytes(Path("out.orv")), ReadBytes(Path("good.orv")));
}

TEST_F(DesktopJsonTest, BuildReportsAFailedSave)
{
    FillDesktop(1);
    const std::string json = SaveAndDump("good.orv");
    QFile file(QString::fromStdString(Path("in.json")));
    file.open(QIODevice::WriteOnly);
    file.write(json.data(), qint64(json.size()));
    file.close();
    std::ostringstream err;
    EXPECT_EQ(BuildDesktopFile(Path("in.json").c_str(), Path("missing/out.orv").c_str(), err), 1);
    EXPECT_NE(err.str().find("Desktop file could not be saved!"), std::string::npos) << err.str();
}
