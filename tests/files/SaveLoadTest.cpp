#include <gtest/gtest.h>
#include "files/DesktopFiles.h"

#include "support/ScriptedUi.h"

#include <QFile>

#include <filesystem>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenMessage = "Desktop file could not be opened!";
constexpr const char* kDamagedMessage = "Desktop file is damaged and could not be loaded!";
constexpr const char* kSaveMessage = "Desktop file could not be saved!";

void ExpectSameObject(const DesktopObject& a, const DesktopObject& b)
{
    EXPECT_EQ(a.strName, b.strName);
    EXPECT_EQ(a.dwReserved, b.dwReserved);
    EXPECT_EQ(a.strText, b.strText);
    EXPECT_EQ(a.rcText, b.rcText);
    EXPECT_EQ(std::memcmp(&a.lfFont, &b.lfFont, sizeof(LOGFONT)), 0) << a.strName.str();
    EXPECT_EQ(a.dwTextPixel, b.dwTextPixel);
    EXPECT_EQ(a.crText, b.crText);
    EXPECT_EQ(a.dwHotTextPixel, b.dwHotTextPixel);
    EXPECT_EQ(a.crHotText, b.crHotText);
    EXPECT_EQ(a.nJustify, b.nJustify);
    EXPECT_EQ(a.strUpImage, b.strUpImage);
    EXPECT_EQ(a.strDownImage, b.strDownImage);
    EXPECT_EQ(a.strMouseImage, b.strMouseImage);
    EXPECT_EQ(a.rcObject, b.rcObject);
    EXPECT_EQ(a.strActivate, b.strActivate);
    EXPECT_EQ(a.bVisible, b.bVisible);
    EXPECT_EQ(a.bTextOnMouseOver, b.bTextOnMouseOver);
    EXPECT_EQ(a.strAction, b.strAction);
}

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
    for (int i = 0; i < 3; ++i)
        ExpectSameObject(loaded->m_aObjects[i], app->m_aObjects[i]);
    EXPECT_EQ(loaded->m_aObjects[1].strText, CString("First line\r\nSecond \xE9 line"));

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
    const auto folderHoldsOnlyTheOldFile = [&] {
        EXPECT_EQ(ReadBytes(Path("keep.orv")), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(Path("")), fs::directory_iterator()), 1);
    };

    // A write that fails part way, as on a full disk.
    {
        FileSizeLimit limit(600);
        app->SaveDesktop();
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    folderHoldsOnlyTheOldFile();

    // A read-only target.
    fs::permissions(Path("keep.orv"), fs::perms::owner_read | fs::perms::group_read);
    app->SaveDesktop();
    ASSERT_EQ(ui.messages.size(), 2u);
    folderHoldsOnlyTheOldFile();

    // A folder that does not exist.
    app->m_strDesktopFile = CString(Path("nowhere/keep.orv").c_str());
    app->SaveDesktop();
    ASSERT_EQ(ui.messages.size(), 3u);
    folderHoldsOnlyTheOldFile();

    EXPECT_EQ(ui.messages, std::vector<std::string>(3, kSaveMessage));
}

TEST_F(DesktopFileTest, SaveIntoReadOnlyFolderFails)
{
    // Refused on the folder's permission bits, for root too.
    ScriptedUi ui;
    FillDesktop(2);
    app->m_strDesktopFile = CString(Path("keep.orv").c_str());
    app->SaveDesktop();
    const Bytes old = ReadBytes(Path("keep.orv"));
    fs::permissions(Path(""), fs::perms::owner_read | fs::perms::owner_exec);
    FillDesktop(4);
    app->SaveDesktop();
    fs::permissions(Path(""), fs::perms::owner_all);
    EXPECT_EQ(ui.messages, std::vector<std::string>(1, kSaveMessage));
    EXPECT_EQ(ReadBytes(Path("keep.orv")), old);
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
