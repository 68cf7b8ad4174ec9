// The dialogs: the framework under them, each dialog worked as a user works it, and a session saved and loaded.

#include "bitmaps/DDUtil.h"
#include "dialogs/SplashDlg.h"
#include "files/DesktopFile.h"
#include "platform/CommonDialogs.h"
#include "platform/Font.h"
#include "res/resource.h"
#include "support/Bytes.h"
#include "support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QDialog>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace {

using Strings = std::vector<std::string>;

void Key(QWidget* target, Qt::Key key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
}

const auto Widget = [](CDialog& dlg, int id) { return dlg.GetDlgItem(id)->GetWidget(); };
const auto LineEdit = [](CDialog& dlg, int id) { return qobject_cast<QLineEdit*>(Widget(dlg, id)); };
const auto Rgb = [](QColor color) { return color.rgb() & 0xFFFFFF; };

// The items of a combo box, in order.
Strings Entries(CComboBox& combo)
{
    Strings items(size_t(combo.GetCount()));
    for (int i = 0; i < combo.GetCount(); ++i) {
        CString text;
        combo.GetLBText(i, text);
        items[size_t(i)] = text.str();
    }
    return items;
}

// A file chooser that picks `path`.
std::function<std::optional<CString>(const FileDialogRequest&)> Answer(const std::string& path)
{
    return [path](const FileDialogRequest&) { return std::optional<CString>(CString(path)); };
}

// ---- The framework, on the program's own templates -------------------------

// Sized in dialog units of its font; Enter presses the default button, or the focused one.
TEST(DialogFramework, TemplateSizeAndTitleAndEnterPressesTheDefault)
{
    ScriptedUi ui;
    for (const auto& [focus, result] : { std::pair { IDC_BACKGROUND, IDOK }, std::pair { IDCANCEL, IDCANCEL } }) {
        ui.onDialog = [focus = focus](CDialog& dlg) {
            QWidget* window = DialogWindowOf(dlg);
            const QFontMetrics metrics(window->font());
            const int baseX
                = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
            EXPECT_EQ(window->size(), QSize(342 * baseX / 4, 125 * metrics.height() / 8));
            EXPECT_EQ(window->windowTitle(), "Desktop Settings");
            Widget(dlg, focus)->setFocus(Qt::OtherFocusReason);
            PressEnter(dlg);
        };
        CDialog dlg(IDD_DESKTOP_SETTINGS);
        EXPECT_EQ(dlg.DoModal(), result) << focus;
    }
}

// ---- The program's dialogs on the real desktop -----------------------------

class DialogsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(desk.display.ok); }
    // The next dialog is worked by `script`, then cancelled if left open.
    void OnDialog(std::function<void(CDialog&)> script) { desk.ui.onDialog = std::move(script); }
    TestDesktop desk;
    CDesktopApp& app = desk.app;
};

// Paths split at their last backslash or '/'; a chosen file is shown as the file system names it.
TEST_F(DialogsTest, FileChoosersStartFromTheFieldOrTheDesktopFile)
{
    const std::string longDir = "C:\\" + std::string(300, 'd');
    struct Case {
        int button, field; // no field: the desktop file
        std::string typed; // with no field, the desktop file
        const char *dir, *file;
        std::optional<CString> answer;
        std::string after; // the field once the chooser is gone; with no field, the Desktop field
    };
    const Case cases[] = {
        { IDC_LOAD, 0, "C:\\x\\desktops\\default.orv", "C:\\x\\desktops", "default.orv", {}, "default.orv" },
        { IDC_LOAD, 0, "/home/u/desk.top/mine.orv", "/home/u/desk.top", "mine.orv", {}, "mine.orv" },
        { IDC_SAVE_AS, 0, "/home/u\\odd/mine.orv", "/home/u\\odd", "mine.orv", {}, "mine.orv" },
        { IDC_BROWSE_BACKGROUND, IDC_BACKGROUND, "/home/u/pics/sky.bmp", "/home/u/pics", "sky.bmp",
            CString("/usr/lib/orvanta/res/a b.bmp"), "/usr/lib/orvanta/res/a b.bmp" },
        { IDC_BROWSE_UP, IDC_UP_IMAGE, " /pics\\x/a.bmp", "/pics\\x", "a.bmp", {}, " /pics\\x/a.bmp" },
        { IDC_BROWSE_BACKGROUND, IDC_BACKGROUND, "", "", "*.bmp", {}, "" },
        { IDC_BROWSE_BACKGROUND, IDC_BACKGROUND, "sky.bmp", "", "", {}, "sky.bmp" },
        { IDC_BROWSE_BACKGROUND, IDC_BACKGROUND, " C:\\pics\\sky.bmp ", "C:\\pics", "sky.bmp", {},
            " C:\\pics\\sky.bmp " },
        { IDC_BROWSE_DOWN, IDC_DOWN_IMAGE, "\\a.bmp", "", "", CString("/tmp/pics/b.bmp"), "/tmp/pics/b.bmp" },
        { IDC_BROWSE_MOUSE, IDC_MOUSE_IMAGE, "/a.bmp", "", "", {}, "/a.bmp" },
        { IDC_BROWSE_MOUSE, IDC_MOUSE_IMAGE, longDir + "\\c.bmp", "", "c.bmp", {}, longDir + "\\c.bmp" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        std::vector<FileDialogRequest> requests;
        desk.ui.onFile = [&](const FileDialogRequest& r) { return requests.push_back(r), c.answer; };
        app.m_strDesktopFile = c.field ? "C:\\x\\desktops\\default.orv" : c.typed.c_str();
        OnDialog([&](CDialog& dlg) {
            if (c.field)
                SetText(dlg, c.field, c.typed);
            Click(dlg, c.button);
            EXPECT_TRUE(IsOpen(dlg));
            EXPECT_EQ(Text(dlg, c.field ? c.field : IDC_DESKTOP), c.after);
        });
        const int frames = desk.frames();
        const bool settings = c.field == 0 || c.field == IDC_BACKGROUND;
        settings ? app.EditDesktopSettings() : app.InsertObject();
        ASSERT_EQ(requests.size(), 1u);
        const FileDialogRequest& r = requests[0];
        EXPECT_EQ(std::tuple(r.open, r.initialDir.str(), r.fileName.str(), r.defaultExtension.str(), r.filter.str()),
            c.field ? std::tuple(true, c.dir, c.file, "*.bmp",
                "Pictures (*.bmp *.png *.jpg *.jpeg *.gif *.webp *.tif *.tiff *.ico *.svg *.svgz)|*.bmp;*.png;*.jpg;"
                "*.jpeg;*.gif;*.webp;*.tif;*.tiff;*.ico;*.svg;*.svgz|Bitmap Files (*.bmp)|*.bmp||")
                    : std::tuple(c.button == IDC_LOAD, c.dir, c.file, "*.orv", "Desktop Files (*.orv)|*.orv||"));
        // Settings compose once when closed, even cancelled; a cancelled insert does nothing.
        EXPECT_EQ(std::tuple(desk.frames(), app.m_nObjects), std::tuple(frames + (settings ? 1 : 0), 1));
    }
}

// A saved default.orv with two objects, then object one renamed "unsaved" in memory only, as a step to undo.
void EditedDesktop(TestDesktop& desk)
{
    CDesktopApp& app = desk.app;
    QDir(desk.dir.path()).mkpath("desktops");
    app.m_strAppDir = CString(desk.dir.path().toStdString());
    app.m_strDesktopFile = app.m_strAppDir + "\\desktops\\default.orv";
    desk.AddObject("one", { 10, 10, 30, 30 }, "One");
    desk.AddObject("two", { 50, 10, 70, 30 }, "Two");
    app.m_crBackground = RGB(1, 2, 3);
    app.SaveDesktop();
    app.m_history.Clear(app);
    app.m_aObjects[1].strName = "unsaved";
    app.m_history.RecordEdit(app);
}

// Undoes every step; the names then.
Strings UndoAll(TestDesktop& desk)
{
    while (desk.app.m_history.Undo(desk.app)) { }
    return desk.Names();
}

// Settings held while object two is dragged, then a button: OK and saves apply them, the rest drop them.
TEST(DesktopSettingsButtons, ApplyOrDropTheHeldEditsAndKeepTheDesktopInMemory)
{
    const std::string missing = "Unable to find 'Background Image' file:\n\nnowhere.bmp";
    const std::string damaged = "Desktop file is damaged and could not be loaded!";
    struct Case {
        bool fresh; // New first
        int button;
        bool found; // the typed picture is there
        const char* chosen; // by Save As or Load, in the desktops folder
        const char* file; // the current one afterwards; "=": the chosen one
        Strings messages;
    };
    const Case cases[] = {
        { false, IDC_SAVE, true, "", "default.orv", {} },
        { false, IDC_SAVE_AS, true, "copy.orv", "=", {} },
        { false, IDC_SAVE_AS, true, "gone/copy.orv", "default.orv", { "Desktop file could not be saved!" } },
        { false, IDC_SAVE, false, "", "default.orv", { missing } },
        { false, IDC_SAVE_AS, false, "copy.orv", "default.orv", { missing } },
        { false, IDC_REFRESH, true, "", "default.orv", {} },
        { false, IDC_LOAD, true, "empty.orv", "default.orv", { damaged } },
        { false, IDC_LOAD, true, "cut.orv", "default.orv", { damaged } },
        { false, IDC_LOAD, true, "folder.orv", "default.orv", { "Desktop file could not be opened!" } },
        { false, IDC_LOAD, true, "good.orv", "=", {} },
        { true, IDCANCEL, true, "", "default.orv", {} },
        { true, IDC_NEW, true, "", "default.orv", {} }, // a second New, then Cancel
        { true, IDC_SAVE, true, "", "new.orv", {} },
        { true, IDC_SAVE_AS, true, "copy.orv", "=", {} },
        { true, IDC_REFRESH, true, "", "new.orv", {} },
        { true, IDC_LOAD, true, "empty.orv", "new.orv", { damaged } },
        { true, IDOK, true, "", "new.orv", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fresh << " " << c.button << " " << c.chosen << " " << c.found);
        TestDesktop desk;
        CDesktopApp& app = desk.app;
        EditedDesktop(desk);
        const QString desktops = desk.dir.filePath("desktops/");
        const QByteArray saved = ReadAll(desktops + "default.orv");
        ASSERT_TRUE(WriteAll(desktops + "empty.orv", {}) && WriteAll(desktops + "cut.orv", saved.left(200))
            && WriteAll(desktops + "good.orv", saved) && QDir(desktops).mkdir("folder.orv"));
        const std::string chosen = (desktops + c.chosen).toStdString(), sky = desk.Bitmap(8, 8, Qt::cyan);
        desk.ui.onFile = Answer(chosen);
        desk.ui.onColor = [](COLORREF) { return std::optional<COLORREF>(RGB(99, 99, 99)); };
        app.m_bLocked = FALSE;
        CMainFrame frame;
        frame.OnLButtonDown(MK_LBUTTON, { 60, 20 });
        frame.OnMouseMove(MK_LBUTTON, { 70, 20 });
        bool open = false;
        desk.ui.onDialog = [&](CDialog& dlg) {
            if (c.fresh) {
                Click(dlg, IDC_NEW);
                EXPECT_EQ(Text(dlg, IDC_DESKTOP) + Text(dlg, IDC_BACKGROUND), "new.orv");
            }
            SetText(dlg, IDC_BACKGROUND, c.found ? sky : "nowhere.bmp");
            Click(dlg, IDC_TILE);
            Click(dlg, IDC_BACK_COLOR);
            Click(dlg, c.button);
            open = IsOpen(dlg);
        };
        app.EditDesktopSettings();
        frame.OnMouseMove(MK_LBUTTON, { 80, 20 });
        frame.OnLButtonUp(0, { 80, 20 });
        const bool saving = c.button == IDC_SAVE || c.button == IDC_SAVE_AS;
        const bool applied = c.found && (saving || c.button == IDOK);
        const bool loaded = c.button == IDC_LOAD && c.messages.empty();
        const bool kept = !loaded && (!c.fresh || c.button == IDCANCEL || c.button == IDC_NEW);
        const std::string file
            = c.file == std::string("=") ? chosen : (app.m_strAppDir + "\\desktops\\" + c.file).str();
        EXPECT_EQ(desk.ui.messages, c.messages);
        EXPECT_EQ(open, !c.found || c.button == IDC_NEW);
        EXPECT_EQ(desk.Names(), (kept ? Strings { "unsaved", "two" } : loaded ? Strings { "one", "two" } : Strings {}));
        EXPECT_EQ(std::tuple(app.m_aObjects[0].strName.str(), app.m_aObjects[0].strUpImage.str(), app.m_bTile,
                      app.m_crBackground, app.m_strDesktopFile.str(), app.m_bLocked),
            std::tuple(
                "Background", applied ? sky : "", applied, applied ? RGB(99, 99, 99) : RGB(1, 2, 3), file, loaded));
        // The drag goes on unless New or Load ended it.
        if (kept || loaded) {
            EXPECT_EQ(app.m_aObjects[2].rcObject.left, loaded ? 50 : c.fresh ? 60 : 70);
        }
        // What was written: the desktop as shown, the picture's path in the program folder's form.
        DesktopData written;
        if (saving && c.messages.empty()) {
            ASSERT_TRUE(ReadDesktopFile(
                CString(c.file == std::string("=") ? chosen : desktops.toStdString() + c.file), written));
            EXPECT_EQ(int(written.aObjects.size()), app.m_nObjects);
            EXPECT_EQ(std::tuple(written.aObjects[0].strUpImage.str(), written.bTile, written.crBackground),
                std::tuple("e:\\projects3\\tav" + sky.substr(desk.dir.path().size()), 1, RGB(99, 99, 99)));
        }
        EXPECT_EQ(ReadAll(desktops + "default.orv") == saved, c.fresh || c.button != IDC_SAVE || !c.found);
        // Undo goes back through the unsaved rename, unless New or Load forgot it.
        EXPECT_EQ(app.m_history.CanUndo(), kept);
        EXPECT_EQ(UndoAll(desk), (kept || loaded ? Strings { "one", "two" } : Strings {}));
        EXPECT_EQ(app.m_aObjects[0].strUpImage.str(), applied && !kept ? sky : "");
    }
}

// Also the controls: the combo sorts and finds names exactly, and Enter in the caption is CR LF, not OK.
TEST_F(DialogsTest, InsertWritesTheNewRecordAtTheContextPointAndShowsIt)
{
    for (const char* name : { " object2 ", "OBJECT1", "zeta", "Zeta" })
        desk.AddObject(name, {});
    app.m_ptContext = { 40, 50 };
    app.m_crLastColor = RGB(10, 20, 30);
    app.m_bClipboardFull = TRUE;
    const std::string up = desk.Bitmap(4, 4, Qt::red);
    OnDialog([&](CDialog& dlg) {
        // The first free name, against the stored names trimmed and in any case.
        EXPECT_EQ(DialogWindowOf(dlg)->focusWidget(), LineEdit(dlg, IDC_OBJECT_NAME));
        EXPECT_EQ(LineEdit(dlg, IDC_OBJECT_NAME)->selectedText(), "object3");
        EXPECT_EQ(
            std::tuple(Item<CButton>(dlg, IDC_VISIBLE).GetCheck(), Item<CButton>(dlg, IDC_JUSTIFY_LEFT).GetCheck()),
            std::tuple(BST_CHECKED, BST_CHECKED));
        auto& combo = Item<CComboBox>(dlg, IDC_ACTIVATE);
        EXPECT_EQ(Entries(combo), (Strings { " ", " object2 ", "OBJECT1", "zeta", "Zeta" }));
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
        // Exact but ignoring case, searching after the given item and wrapping.
        for (const auto& [after, name, found] : { std::tuple { 3, "ZETA", 4 }, { 4, "ZETA", 3 }, { 0, "zet", CB_ERR } })
            EXPECT_EQ(combo.FindStringExact(after, name), found) << after << " " << name;
        // The action is typed or browsed for among application entries.
        EXPECT_TRUE(
            dlg.GetDlgItem(IDC_ACTION)->IsWindowEnabled() && dlg.GetDlgItem(IDC_BROWSE_ACTION)->IsWindowEnabled());
        std::vector<FileDialogRequest> requests;
        desk.ui.onFile = [&](const FileDialogRequest& r) {
            requests.push_back(r);
            return std::optional<CString>(requests.size() == 1 ? "/opt/my tools/run" : "");
        };
        Click(dlg, IDC_BROWSE_ACTION);
        Click(dlg, IDC_BROWSE_ACTION);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(std::tuple(requests[0].initialDir.str(), requests[0].fileName.str(), requests[0].filter.str()),
            std::tuple("/usr/share/applications", "",
                "Application Entries (*.desktop)|*.desktop|Programs and All Files (*)|*||"));
        EXPECT_EQ(
            std::tuple(requests[1].initialDir.str(), requests[1].fileName.str()), std::tuple("/opt/my tools", "run"));
        SetText(dlg, IDC_OBJECT_NAME, " Lamp ");
        SetText(dlg, IDC_UP_IMAGE, up);
        SetText(dlg, IDC_TEXT, "");
        QWidget* text = Widget(dlg, IDC_TEXT);
        text->setFocus(Qt::OtherFocusReason);
        Key(text, Qt::Key_A, "A");
        PressEnter(dlg);
        Key(text, Qt::Key_B, "B");
        EXPECT_TRUE(IsOpen(dlg));
        Click(dlg, IDC_JUSTIFY_CENTER);
        Click(dlg, IDC_TEXT_ON_MOUSE_OVER);
        combo.SetCurSel(combo.FindStringExact(-1, "ZETA"));
        Click(dlg, IDOK);
    });
    const int frames = desk.frames();
    app.InsertObject();
    ASSERT_EQ(app.m_nObjects, 6);
    const DesktopObject& r = app.m_aObjects[5];
    EXPECT_EQ(std::tuple(r.strName.str(), r.strUpImage.str(), r.strText.str(), r.strActivate.str(), r.strAction.str()),
        std::tuple(" Lamp ", up, "A\r\nB", "zeta", "/opt/my tools/run"));
    EXPECT_EQ(std::tuple(r.nJustify, r.bTextOnMouseOver, r.bVisible, r.rcObject.left, r.rcObject.top),
        std::tuple(IDC_JUSTIFY_CENTER, 1, 1, 40, 50));
    EXPECT_EQ(
        std::tuple(r.crText, r.dwTextPixel), std::tuple(RGB(10, 20, 30), DDColorMatch(app.m_pDDSColor, r.crText)));
    EXPECT_EQ(std::memcmp(&r.lfFont, &app.m_lfDefault, sizeof(LOGFONT)), 0);
    EXPECT_EQ(std::tuple(app.m_aRuntime[5].nActivates, app.m_bInserting, app.m_bClipboardFull), std::tuple(3, 0, 0));
    EXPECT_NE(app.m_aRuntime[5].pTextHot, nullptr);
    EXPECT_EQ(desk.frames(), frames + 1);
    EXPECT_EQ(desk.Shown(41, 51), Rgb(Qt::red));
}

// Fields typed and OK pressed: each check with its own message, or stored as typed and shown again.
TEST(DialogFields, CheckedOnOkThenStoredAsTyped)
{
    QTemporaryDir dir;
    const std::string down = WriteBitmap(dir.path(), "down.bmp", 2, 2, Qt::blue);
    const std::string photo = WriteBitmap(dir.path(), QStringLiteral("Straße 写真.bmp"), 2, 2, Qt::red);
    const SystemIconTheme icons(dir.path(), "orvanta-lamp", Qt::green);
    const std::map<int, CString DesktopObject::*> stored = { { IDC_OBJECT_NAME, &DesktopObject::strName },
        { IDC_UP_IMAGE, &DesktopObject::strUpImage }, { IDC_DOWN_IMAGE, &DesktopObject::strDownImage },
        { IDC_MOUSE_IMAGE, &DesktopObject::strMouseImage }, { IDC_BACKGROUND, &DesktopObject::strUpImage } };
    const auto exists = [](const CString& path) {
        return QFile::exists(QString::fromStdString(path.str())) || ThemeIconExists(path);
    };
    enum Dialog { Insert, Edit, Settings };
    struct Case {
        Dialog dialog; // Edit works on "lamp"
        std::vector<std::pair<int, std::string>> typed;
        Strings messages;
        bool stored;
    };
    const std::string taken = "' already exists.\n\nPlease select another name";
    const Case cases[] = {
        { Insert,
            { { IDC_OBJECT_NAME, "   " }, { IDC_UP_IMAGE, "  missing.bmp " }, { IDC_DOWN_IMAGE, down },
                { IDC_MOUSE_IMAGE, "/no/such/mouse.bmp" } },
            { "Object must have a name", "Unable to find 'Up Image' file:\n\nmissing.bmp",
                "Unable to find 'Mouse Image' file:\n\n/no/such/mouse.bmp" },
            false },
        { Insert, { { IDC_OBJECT_NAME, " BACKGROUND" } }, { "The name ' BACKGROUND" + taken }, false },
        { Insert, { { IDC_OBJECT_NAME, "Lamp " } }, { "The name 'Lamp " + taken }, false },
        { Insert, { { IDC_OBJECT_NAME, "shade" } }, { "The name 'shade" + taken }, false },
        { Edit, { { IDC_OBJECT_NAME, "SHADE" } }, { "The name 'SHADE" + taken }, false },
        { Settings, { { IDC_BACKGROUND, "nowhere.bmp" } }, { "Unable to find 'Background Image' file:\n\nnowhere.bmp" },
            false },
        // A path of spaces only passes; the loader is not as lenient.
        { Insert, { { IDC_OBJECT_NAME, " Lamp2 " }, { IDC_UP_IMAGE, "   " }, { IDC_DOWN_IMAGE, down } },
            { "Unable to load:    \nThe file cannot be opened." }, true },
        { Edit, { { IDC_OBJECT_NAME, "LAMP" }, { IDC_MOUSE_IMAGE, photo } }, {}, true }, // its own name
        { Settings, { { IDC_BACKGROUND, photo } }, {}, true },
        // A bare name is a theme icon: one the theme has passes.
        { Insert,
            { { IDC_OBJECT_NAME, "Lamp3" }, { IDC_UP_IMAGE, "orvanta-lamp" }, { IDC_MOUSE_IMAGE, "no-such-icon" } },
            { "Unable to find 'Mouse Image' file:\n\nno-such-icon" }, false },
        { Settings, { { IDC_BACKGROUND, "orvanta-lamp" } }, {}, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed[0].second);
        TestDesktop desk;
        CDesktopApp& app = desk.app;
        desk.AddObject("lamp", {});
        desk.AddObject(" Shade ", {});
        app.m_nCurObject = 1;
        bool open = false;
        desk.ui.onDialog = [&](CDialog& dlg) {
            for (const auto& [id, text] : c.typed)
                LineEdit(dlg, id)->setText(QString::fromStdString(text));
            Click(dlg, IDOK);
            open = IsOpen(dlg);
        };
        if (c.dialog == Settings)
            app.EditDesktopSettings();
        else
            c.dialog == Edit ? app.EditObjectProperties() : app.InsertObject();
        EXPECT_EQ(desk.ui.messages, c.messages);
        EXPECT_EQ(open, !c.stored);
        if (!c.stored) {
            EXPECT_EQ(desk.Names(), (Strings { "lamp", " Shade " }));
            EXPECT_EQ(app.m_aObjects[0].strUpImage, "");
            continue;
        }
        const int k = c.dialog == Settings ? 0 : c.dialog == Edit ? 1 : 3;
        ASSERT_EQ(app.m_nObjects, c.dialog == Insert ? 4 : 3);
        const DesktopObject& o = app.m_aObjects[k];
        for (const auto& [id, text] : c.typed)
            EXPECT_EQ(o.*stored.at(id), text.c_str()) << id;
        // Every image whose file is there was loaded.
        const ObjectRuntime& images = app.m_aRuntime[k];
        EXPECT_EQ(std::tuple(images.pUp != nullptr, images.pDown != nullptr, images.pMouse != nullptr),
            std::tuple(exists(o.strUpImage), exists(o.strDownImage), exists(o.strMouseImage)));
        app.m_nCurObject = k;
        desk.ui.onDialog = [&](CDialog& dlg) {
            for (const auto& [id, text] : c.typed)
                EXPECT_EQ(LineEdit(dlg, id)->text(), QString::fromStdString(text)) << id;
        };
        c.dialog == Settings ? app.EditDesktopSettings() : app.EditObjectProperties();
    }
}

TEST_F(DialogsTest, ColourAndFontChoicesOutliveCancelAndOkShowsThem)
{
    const int i = desk.AddObject("Lamp", {});
    app.m_aObjects[i].crText = RGB(1, 1, 1);
    app.m_aObjects[i].crHotText = RGB(2, 2, 2);
    app.m_aObjects[i].lfFont = MakeFont("DejaVu Sans", 24); // a cell height
    app.m_nCurObject = i;
    const int drawn = FontFromLogFont(app.m_aObjects[i].lfFont).pixelSize();
    ASSERT_LT(drawn, 24);
    std::vector<COLORREF> offered;
    desk.ui.onColor = [&](COLORREF initial) {
        offered.push_back(initial);
        return std::optional<COLORREF>(initial == RGB(1, 1, 1) ? RGB(250, 0, 0) : RGB(0, 0, 200));
    };
    desk.ui.onFont = [&](const LOGFONT& initial) {
        EXPECT_EQ(initial.lfHeight, -drawn); // the chooser starts at the drawn size
        return std::optional<LOGFONT>(MakeFont("DejaVu Serif", -20));
    };
    OnDialog([](CDialog& dlg) {
        for (int button : { IDC_TEXT_COLOR, IDC_HOT_TEXT_COLOR, IDC_FONT, IDCANCEL })
            Click(dlg, button);
    });
    app.EditObjectProperties();
    EXPECT_EQ(offered, (std::vector<COLORREF> { RGB(1, 1, 1), RGB(2, 2, 2) }));
    // The mouse-over colour does not count as the last colour; the record is as it was.
    EXPECT_EQ(std::tuple(app.m_crLastColor, app.m_aObjects[i].crText, app.m_bTextChanged, desk.frames()),
        std::tuple(RGB(250, 0, 0), RGB(1, 1, 1), FALSE, 0));
    EXPECT_EQ(std::string(app.m_lfDefault.lfFaceName) + app.m_aObjects[i].lfFont.lfFaceName, "DejaVu SerifDejaVu Sans");
    QColor swatch;
    desk.ui.onFont = [](const LOGFONT& initial) { return std::optional<LOGFONT>(initial); };
    OnDialog([&](CDialog& dlg) {
        Click(dlg, IDC_TEXT_COLOR);
        Click(dlg, IDC_FONT);
        swatch = DialogWindowOf(dlg)->grab().toImage().pixelColor(Widget(dlg, IDC_TEXT_SWATCH)->geometry().center());
        Click(dlg, IDOK);
    });
    app.EditObjectProperties();
    EXPECT_EQ(swatch, QColor(250, 0, 0));
    EXPECT_EQ(std::tuple(app.m_aObjects[i].crText, app.m_aObjects[i].dwTextPixel),
        std::tuple(RGB(250, 0, 0), DDColorMatch(app.m_pDDSColor, RGB(250, 0, 0))));
    EXPECT_EQ(FontFromLogFont(app.m_aObjects[i].lfFont).pixelSize(), drawn);
}
// The real font chooser starts on the font asked for, and its Sample box shows it.
TEST(FontChooser, SampleShowsTheChosenFont)
{
    struct Case {
        const char* face;
        LONG weight;
        BYTE italic;
    };
    for (const Case& c :
        { Case { "DejaVu Sans", 400, 0 }, Case { "DejaVu Serif", 700, 0 }, Case { "DejaVu Sans", 400, 1 } }) {
        SCOPED_TRACE(std::string(c.face) + std::to_string(c.weight) + std::to_string(c.italic));
        LOGFONT lf = MakeFont(c.face, -20, c.weight);
        lf.lfItalic = c.italic;
        CFontDialog dlg;
        dlg.m_cf.lpLogFont = &lf;
        dlg.m_cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(chooser);
            const QList<QGroupBox*> groups = chooser->findChildren<QGroupBox*>();
            const auto sample = std::find_if(groups.begin(), groups.end(), [](QGroupBox* g) { return g->isVisible(); });
            ASSERT_NE(sample, groups.end());
            const QLineEdit* edit = (*sample)->findChild<QLineEdit*>();
            ASSERT_TRUE(edit);
            EXPECT_FALSE(edit->text().isEmpty());
            EXPECT_GE(edit->height(), QFontMetrics(edit->font()).height());
            EXPECT_EQ(std::tuple(edit->font().family().toStdString(), edit->font().weight(), edit->font().italic()),
                std::tuple(std::string(c.face), c.weight, c.italic != 0));
            chooser->reject();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
}

TEST_F(DialogsTest, SplashPaintsThePictureAndClosesOnEnter)
{
    const QImage picture(QStringLiteral(":/splash.bmp"));
    ASSERT_FALSE(picture.isNull());
    QImage shown;
    int stillOpen = -1;
    OnDialog([&](CDialog& dlg) {
        shown = DialogWindowOf(dlg)->grab().toImage();
        PressEnter(dlg);
        stillOpen = IsOpen(dlg);
    });
    CSplashDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(stillOpen, 0);
    ASSERT_GE(shown.width(), 3 + 199);
    // The picture's 199 x 97 at (3, 3), pixel for pixel.
    EXPECT_EQ(WrongPixels(shown.copy(3, 3, 199, 97), [&](int x, int y) { return picture.pixel(x, y); }), "");
}

// A desktop edited in the settings dialog, saved and loaded into a fresh application: the same, pixel for pixel.
TEST_F(DialogsTest, SavedDesktopLoadsAgainAsLeft)
{
    desk.AddObject("Red", { 20, 20, 40, 36 }, "Red one");
    desk.AddObject("Blue", { 120, 30, 144, 54 }, "Blue\r\ntwo lines");
    desk.AddObject("Hidden", { 40, 150, 56, 162 }, "Hidden", false);
    // A tile of two halves, so the tiling shows in the frame.
    QImage tile(30, 20, QImage::Format_RGB32);
    tile.fill(QColor(0, 80, 0));
    QPainter(&tile).fillRect(0, 0, 15, 20, QColor(0, 160, 0));
    const std::string tileFile = WriteBitmap(desk.dir.path(), "tile.bmp", tile);
    const COLORREF colour = RGB(10, 20, 200), before = app.m_crBackground;
    desk.ui.onColor = [colour](COLORREF) { return std::optional<COLORREF>(colour); };
    OnDialog([&](CDialog& dlg) {
        SetText(dlg, IDC_BACKGROUND, tileFile);
        Click(dlg, IDC_TILE);
        Click(dlg, IDC_BACK_COLOR);
        EXPECT_EQ(app.m_crBackground, before); // held until OK
        Click(dlg, IDOK);
    });
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_dwBackPixel, DDColorMatch(app.m_pDDSColor, colour));
    // OK with the same path: the image in memory stays.
    WriteBitmap(desk.dir.path(), "tile.bmp", 30, 20, Qt::magenta);
    const std::string saveFile = desk.Path("session.orv");
    desk.ui.onFile = Answer(saveFile);
    OnDialog([](CDialog& dlg) { Click(dlg, IDOK); });
    app.EditDesktopSettings();
    for (const POINT pt : { POINT { 300, 10 }, POINT { 310, 200 }, POINT { 41, 151 } })
        EXPECT_EQ(desk.Shown(pt.x, pt.y), pt.x % 30 < 15 ? 0x00A000u : 0x005000u) << pt.x << "," << pt.y;
    EXPECT_EQ(desk.Shown(21, 21), Rgb(TestDesktop::ColorOf(1)));
    EXPECT_EQ(desk.Shown(121, 31), Rgb(TestDesktop::ColorOf(2)));
    WriteBitmap(desk.dir.path(), "tile.bmp", tile);
    OnDialog([](CDialog& dlg) { Click(dlg, IDC_SAVE_AS); });
    app.EditDesktopSettings();
    ASSERT_TRUE(QFile::exists(QString::fromStdString(saveFile)));
    const QImage left = desk.display.target.lastFrame;
    // Load refuses a file that is not there and stays open.
    TestDesktop again;
    std::string answer = again.Path("missing.orv");
    again.ui.onFile = [&](const FileDialogRequest&) { return std::optional<CString>(CString(answer)); };
    again.ui.onDialog = [&](CDialog& dlg) {
        Click(dlg, IDC_LOAD);
        EXPECT_TRUE(IsOpen(dlg));
        answer = saveFile;
        Click(dlg, IDC_LOAD);
        EXPECT_FALSE(IsOpen(dlg));
    };
    again.app.EditDesktopSettings();
    EXPECT_EQ(again.ui.messages, (Strings { "Unable to find 'desktop' file:\n\n" + again.Path("missing.orv") }));
    EXPECT_EQ(again.app.m_strDesktopFile, saveFile.c_str());
    EXPECT_EQ(again.Names(), desk.Names());
    EXPECT_EQ(again.app.m_crBackground, colour);
    EXPECT_TRUE(again.display.target.lastFrame == left);
    EXPECT_TRUE(desk.ui.messages.empty());
}

} // namespace
