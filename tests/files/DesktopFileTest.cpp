// Desktop files: the bytes written, what loading makes of them, damaged and unwritable files, and the text form of
// orvanta-desktop.

#include "support/Bytes.h"
#include "support/TestDesktop.h"
#include "tools/orvanta-desktop/DesktopJson.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <signal.h>
#include <span>
#include <sstream>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr const char* kDamaged = "Desktop file is damaged and could not be loaded!";
constexpr const char* kSaved = "Desktop file could not be saved!";

LOGFONT OddFont(const char* face, LONG height, LONG weight)
{
    LOGFONT lf = MakeFont(face, height, weight);
    lf.lfItalic = 1;
    lf.lfCharSet = 0xEE;
    lf.lfPitchAndFamily = 0x22;
    return lf;
}

class DesktopFileTest : public testing::Test {
protected:
    std::string Path(const char* name) const { return desk.Path(name); }
    QByteArray Bytes(const char* name) const { return ReadAll(desk.dir.filePath(name)); }
    void Put(const char* name, const QByteArray& bytes) { ASSERT_TRUE(WriteAll(desk.dir.filePath(name), bytes)); }
    QByteArray Save(const char* name)
    {
        app.m_strDesktopFile = CString(Path(name));
        app.SaveDesktop();
        return Bytes(name);
    }
    void Load(const char* name)
    {
        app.m_strDesktopFile = CString(Path(name));
        app.LoadDesktop();
    }
    // Background plus objects with something different in every field.
    void Fill(int n)
    {
        app.m_nObjects = n;
        app.m_bTile = 1;
        app.m_dwBackPixel = 0x00123456;
        app.m_crBackground = RGB(1, 2, 3);
        app.m_lfDefault = OddFont("Tahoma", -13, 700);
        for (int i = 0; i < n; ++i) {
            const std::string number = std::to_string(i);
            app.m_aObjects[i] = { i == 0 ? CString("Background") : CString("Object " + number), DWORD(i * 7),
                "First line\r\nSecond \xE9 line", { 10 * i, -5, 100 + i, 200 },
                OddFont(i % 2 ? "Arial" : "Courier New", -10 - i, 400), 0xF800u + DWORD(i), RGB(255, BYTE(i), 0),
                0x07E0u + DWORD(i), RGB(0, 255, BYTE(i)), 1087 + i % 3, CString("/opt/images/up" + number + ".bmp"),
                i % 2 ? "C:\\Images\\Down.bmp" : "", CString(std::string(300, char('a' + i))),
                { -20, 30 * i, 44, 30 * i + 32 }, i > 1 ? "Object 1" : "", BYTE(i % 2), BYTE(i % 3 == 0), "run me" };
        }
    }
    // The error line of dumping `name`, empty when it dumps; the JSON in `json`.
    std::string Dump(const char* name, std::string* json = nullptr)
    {
        std::ostringstream out, err;
        const int status = DumpDesktopFile(Path(name).c_str(), out, err);
        EXPECT_EQ(status != 0, !err.str().empty()) << err.str();
        if (json)
            *json = out.str();
        return err.str();
    }
    // The error line of building "built.orv" from `json`, empty when it builds.
    std::string Build(const std::string& json, const char* orv = "built.orv")
    {
        Put("in.json", QByteArray::fromStdString(json));
        std::ostringstream err;
        const int status = BuildDesktopFile(Path("in.json").c_str(), Path(orv).c_str(), err);
        EXPECT_EQ(status != 0, !err.str().empty()) << err.str();
        return err.str();
    }
    TestDesktop desk;
    CDesktopApp& app = desk.app;
};

TEST_F(DesktopFileTest, OneRecordDesktopHasTheDocumentedBytes)
{
    app.m_bTile = 1;
    app.m_dwBackPixel = 0xA1B2C3D4;
    app.m_crBackground = RGB(9, 8, 7);
    app.m_lfDefault = OddFont("Arial", -12, 400);
    app.m_aObjects[0] = { "Background", 0, "", { 1, -2, 3, -4 }, OddFont("Times", 20, 700), 11, 12, 13, 14, 0, "", "",
        "", { 5, 6, 7, 8 }, "", 1, 0, "" };
    // A string is a length byte and its bytes, a number 32 bits little-endian, a font's flags 8 bits each.
    EXPECT_EQ(Save("one.orv").toHex(),
        QByteArray("0a4f525644454d4f312e30"
                   "0100000001000000d4c3b2a109080700" // magic; count, tile, pixel, colour
                   "f4ffffff00000000000000000000000090010000010000ee0000002205417269616c" // font: Arial
                   "0a4261636b67726f756e6400000000"
                   "0001000000feffffff03000000fcffffff" // name, reserved; text, rect
                   "14000000000000000000000000000000bc020000010000ee000000220554696d6573" // font: Times
                   "0b0000000c0000000d0000000e00000000000000000000" // pixels and colours, justify, three images
                   "0500000006000000070000000800000000010000000000000000")); // rect, activate, flags, action
}

// Loaded into a desktop with nothing in it and saved again, or dumped as JSON and built again: the same bytes, from no
// records to a full table.
TEST_F(DesktopFileTest, SaveLoadSaveAndDumpBuildGiveTheSameBytes)
{
    for (int n : { 0, 1, 4, 51 }) {
        SCOPED_TRACE(n);
        Fill(n);
        app.m_lfDefault.lfHeight = std::numeric_limits<LONG>::min();
        app.m_dwBackPixel = 0xFFFFFFFF;
        if (n > 1) {
            app.m_aObjects[1].strText = CString(std::string("\x01\x7F\x80\xFF\"\\\t", 7) + std::string(70000, 'z'));
            app.m_aObjects[1].nJustify = -5;
        }
        const QByteArray saved = Save("saved.orv");
        const DesktopObject last = app.m_aObjects[std::max(n - 1, 0)];
        const LOGFONT font = app.m_lfDefault;
        for (DesktopObject& o : app.m_aObjects)
            o = DesktopObject();
        app.m_aObjects[kTableSize - 1].strName = "Clipboard";
        app.m_bTile = 0;
        app.m_dwBackPixel = app.m_crBackground = 0;
        app.m_lfDefault = LOGFONT();
        Load("saved.orv");
        ASSERT_EQ(app.m_nObjects, n);
        EXPECT_EQ(std::memcmp(&app.m_lfDefault, &font, sizeof(LOGFONT)), 0);
        EXPECT_EQ(std::tuple(app.m_aObjects[std::max(n - 1, 0)].strText, app.m_aObjects[std::max(n - 1, 0)].crHotText),
            n > 0 ? std::tuple(last.strText, last.crHotText) : std::tuple(CString(), COLORREF(0)));
        EXPECT_EQ(app.m_aObjects[kTableSize - 1].strName, "Clipboard"); // never saved, never loaded
        EXPECT_EQ(Save("again.orv"), saved);
        std::string json;
        ASSERT_EQ(Dump("saved.orv", &json), "");
        ASSERT_EQ(Build(json), "");
        EXPECT_EQ(Bytes("built.orv"), saved);
    }
    EXPECT_TRUE(desk.ui.messages.empty());
}

// One good file, changed a byte or a few at a time. A damaged file changes nothing in memory, and the dump says where
// it stops making sense; a file that loads takes over the desktop, locked, its runtime slots reset.
TEST_F(DesktopFileTest, ChangedBytesLoadWholeOrChangeNothing)
{
    Fill(3);
    app.m_lfDefault = MakeFont(std::string(31, 'F').c_str(), -13);
    for (int i = 0; i < 3; ++i)
        app.m_aObjects[i].strMouseImage = "m.bmp"; // every cut length is tried: keep it short
    app.m_aObjects[2].bVisible = app.m_aObjects[2].bTextOnMouseOver = 1;
    const QByteArray good = Save("good.orv");
    const int nameAt = 56 + 31; // the first record's name, after the header's face name
    ASSERT_EQ(good[nameAt], 10);
    // The desktop in memory is another one, unlocked, with an image in slot 1.
    desk.AddObject("shown", { 0, 0, 4, 4 });
    IDirectDrawSurface* const image = app.m_aRuntime[1].pUp;
    const auto another = [&] {
        Fill(2);
        app.m_aObjects[1].strName = "Keep me";
        app.m_aObjects[2] = DesktopObject();
        app.m_bTile = 0;
        app.m_bLocked = FALSE;
        for (ObjectRuntime& slot : app.m_aRuntime)
            slot = { 1, 1, 3, 9, slot.pUp };
    };
    const auto expectUntouched = [&] {
        EXPECT_EQ(std::tuple(app.m_nObjects, app.m_aObjects[1].strName.str(), app.m_aObjects[2].strName.str(),
                      app.m_bTile, app.m_bLocked, app.m_aRuntime[1].nState),
            std::tuple(2, "Keep me", "", 0, FALSE, 3));
    };
    // `remove` bytes at `at` (from the end when negative; -1: all) replaced by `insert`.
    struct Case {
        int at, remove;
        QByteArray insert;
        const char* reason; // in the dump's error; none: it loads
    };
    const QByteArray ones = QByteArray::fromHex("ffffffff");
    const Case cases[] = {
        { 11, 4, QByteArray::fromHex("34000000"), "byte 11: object count 52 is outside 0 to 51" },
        { 11, 4, ones, "byte 11: object count -1 " },
        { 11, 4, QByteArray::fromHex("00000080"), "object count -2147483648 " },
        { 11, 4, QByteArray::fromHex("04000000"), "record 3: the file ends" },
        { nameAt, 0, "\xFF\xFE\xFF", "record 0: a string of 16-bit characters" },
        { nameAt, -1, QByteArray("\xFF\xFF\xFF\xF0\xFF\xFF\xFFx", 8), "record 0: the file ends" },
        // Flags read any non-zero value as true; saved again they are 1.
        { 15, 4, ones, nullptr },
        { -15, 8, QByteArray::fromHex("0000008000010000"), nullptr },
        // A face name beyond 31 characters is cut to 31.
        { 55, 1, "\x28" + QByteArray(9, 'F'), nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at << " " << (c.reason ? c.reason : "loads"));
        QByteArray bytes = good;
        const int at = c.at < 0 ? int(good.size()) + c.at : c.at;
        Put("case.orv", bytes.replace(at, c.remove < 0 ? good.size() - at : c.remove, c.insert));
        another();
        desk.ui.messages.clear();
        Load("case.orv");
        const std::string error = Dump("case.orv");
        if (c.reason) {
            EXPECT_EQ(desk.ui.messages, Strings { kDamaged });
            expectUntouched();
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
            continue;
        }
        EXPECT_TRUE(desk.ui.messages.empty());
        EXPECT_EQ(error, "");
        ASSERT_EQ(app.m_nObjects, 3);
        EXPECT_EQ(app.m_bLocked, TRUE);
        for (const ObjectRuntime& slot : std::span(app.m_aRuntime, 4))
            EXPECT_EQ(std::tuple(slot.bSelected, slot.bVisible, slot.nState, slot.nActivates),
                &slot < app.m_aRuntime + 3 ? std::tuple(0, 0, 1, 0) : std::tuple(1, 1, 3, 9));
        EXPECT_EQ(app.m_aRuntime[1].pUp, image); // releasing is the caller's part
        EXPECT_EQ(Save("again.orv"), good);
    }
    // Cut anywhere, the file is damaged.
    another();
    desk.ui.messages.clear();
    for (int length = 0; length < good.size(); ++length) {
        Put("case.orv", good.left(length));
        Load("case.orv");
        ASSERT_EQ(desk.ui.messages.size(), size_t(length + 1)) << "a file cut to " << length << " bytes was accepted";
    }
    expectUntouched();
    // No file, or a folder.
    desk.ui.messages.clear();
    for (const char* name : { "missing.orv", "" }) {
        Load(name);
        expectUntouched();
    }
    EXPECT_EQ(desk.ui.messages, Strings(2, "Desktop file could not be opened!"));
}

// Saved from one program folder and loaded in another, through Windows-style paths whose folders differ in case: paths
// under the development folder are rebased on loading, and paths inside the program's folder are saved in that form, so
// that they follow the folder; other paths stay as they are.
TEST_F(DesktopFileTest, ImagePathsFollowTheProgramFolder)
{
    ASSERT_TRUE(QDir(desk.dir.path()).mkdir("desktops"));
    const std::string folder = desk.dir.path().toStdString();
    struct Case {
        const char *saveDir, *path, *loadDir, *loaded;
    };
    const Case cases[] = {
        { "", "E:\\Projects3\\TAV\\Bitmaps\\Logo.bmp", "c:\\apps\\desk", "c:\\apps\\desk\\Bitmaps\\Logo.bmp" },
        { "", "e:\\projects3\\tavern\\a.bmp", "c:\\apps\\desk", "c:\\apps\\deskern\\a.bmp" },
        { "", "d:\\projects3\\tav\\a.bmp", "c:\\apps\\desk", "d:\\projects3\\tav\\a.bmp" },
        { "", "e:\\PROJECTS3\\tav\\Images\\Up.BMP", "/opt/orvanta", "/opt/orvanta\\Images\\Up.BMP" },
        { "", "/opt/images/e:\\projects3\\tav", "/opt/orvanta", "/opt/images/e:\\projects3\\tav" },
        { "/opt/orvanta", "/opt/orvanta\\desktops\\Up.bmp", "/srv/copy", "/srv/copy\\desktops\\Up.bmp" },
        { "/opt/orvanta", "/opt/orvanta/images/Up.BMP", "/srv/copy", "/srv/copy/images/Up.BMP" },
        { "/opt/orvanta", "\\opt\\orvanta\\Up.bmp", "/srv/copy", "/srv/copy\\Up.bmp" },
        { "/opt/orvanta", "/opt/orvanta2/a.bmp", "/srv/copy", "/opt/orvanta2/a.bmp" },
        { "/opt/orvanta", "/OPT/orvanta/a.bmp", "/srv/copy", "/OPT/orvanta/a.bmp" },
        { "/opt/orvanta", "orvanta/a.bmp", "/srv/copy", "orvanta/a.bmp" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Fill(2);
        for (DesktopObject& o : std::span(app.m_aObjects, 2))
            o.strUpImage = o.strDownImage = o.strMouseImage = o.strAction = c.path;
        app.m_strAppDir = c.saveDir;
        app.m_strDesktopFile = CString(folder + "\\DeskTops\\Rebase.orv");
        app.SaveDesktop();
        EXPECT_EQ(app.m_aObjects[1].strUpImage, c.path); // only the file holds the other form
        app.m_strAppDir = c.loadDir;
        app.m_strDesktopFile = CString(folder + "\\DESKTOPS\\rebase.ORV");
        app.LoadDesktop();
        ASSERT_EQ(app.m_nObjects, 2);
        for (const DesktopObject& o : std::span(app.m_aObjects, 2))
            EXPECT_EQ(std::tuple(o.strUpImage.str(), o.strDownImage.str(), o.strMouseImage.str(), o.strAction.str()),
                std::tuple(c.loaded, c.loaded, c.loaded, c.path));
    }
}

// A write that fails part way as on a full disk, a read-only target, and a read-only folder (refused on its permission
// bits, for root too): the old file stays, with nothing beside it.
TEST_F(DesktopFileTest, FailedSavesShowTheSaveMessageAndKeepTheOldFile)
{
    Fill(3);
    const QByteArray old = Save("keep.orv");
    Fill(5);
    const auto readOnly = [&](const std::string& path, fs::perms perms) {
        fs::permissions(path, perms);
        app.SaveDesktop();
        fs::permissions(path, fs::perms::owner_all);
    };
    const std::function<void()> failures[] = {
        [&] {
            rlimit saved {}, limit {};
            getrlimit(RLIMIT_FSIZE, &saved);
            limit = { 600, saved.rlim_max };
            const sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            app.SaveDesktop();
            setrlimit(RLIMIT_FSIZE, &saved);
            signal(SIGXFSZ, handler);
        },
        [&] { readOnly(Path("keep.orv"), fs::perms::owner_read | fs::perms::group_read); },
        [&] { readOnly(Path(""), fs::perms::owner_read | fs::perms::owner_exec); },
    };
    for (size_t k = 0; k < std::size(failures); ++k) {
        SCOPED_TRACE(k);
        failures[k]();
        EXPECT_EQ(desk.ui.messages, Strings(k + 1, kSaved));
        EXPECT_EQ(Bytes("keep.orv"), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(Path("")), fs::directory_iterator()), 1);
    }
    // A save that works replaces the file, keeping its permissions.
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(Path("keep.orv"), perms);
    EXPECT_GT(Save("keep.orv").size(), old.size());
    EXPECT_EQ(fs::status(Path("keep.orv")).permissions() & fs::perms::all, perms);
}

} // namespace
