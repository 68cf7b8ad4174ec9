// The desktop window: pointer, keys, the context menu, undo, and the real window.

#include "dialogs/DesktopSettingsDlg.h"
#include "platform/DropFiles.h"
#include "platform/FrameWindow.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "platform/ShellExecute.h"
#include "res/resource.h"
#include "support/Bytes.h"
#include "support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QAccessible>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include <sys/stat.h>

namespace {

using Names = std::vector<std::string>;

// The menu as text: "-" after a grayed item, "*" after a checked one, a submenu in brackets.
std::string Describe(const std::vector<MenuItemState>& items)
{
    std::string text;
    for (const MenuItemState& item : items) {
        text += (text.empty() ? "" : "|") + item.text.str() + (item.enabled ? "" : "-") + (item.checked ? "*" : "");
        if (!item.submenu.empty())
            text += "[" + Describe(item.submenu) + "]";
    }
    return text;
}

class WindowTest : public testing::Test {
protected:
    // The pointer rests off every test desktop unless a test moves it: the look follows it after the menu.
    WindowTest() { QCursor::setPos(LogicalPoint({ 5000, 5000 })); }
    void Move(LONG x, LONG y) { frame.OnMouseMove(0, { x, y }); }
    void Press(LONG x, LONG y) { frame.OnLButtonDown(0, { x, y }); }
    void Release(LONG x, LONG y) { frame.OnLButtonUp(0, { x, y }); }
    void Drag(POINT from, POINT to)
    {
        Press(from.x, from.y);
        Move(to.x, to.y);
        Release(to.x, to.y);
    }
    // Opens the context menu at (x, y) and chooses `command` (0: none); returns the menu as it was shown.
    std::vector<MenuItemState> Menu(LONG x, LONG y, UINT command = 0)
    {
        std::vector<MenuItemState> shown;
        desk.ui.onMenu = [&](const std::vector<MenuItemState>& items) {
            shown = items;
            return command;
        };
        frame.OnRButtonDown(0, { x, y });
        return shown;
    }
    // Objects 20 pixels apart in a row, with 10x10 images; At(i) is where the i-th sits.
    void Row(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            desk.AddObject(name, { 20 * app.m_nObjects, 10, 20 * app.m_nObjects + 10, 20 });
    }
    static LONG At(int i) { return 20 * i + 5; }
    // Menu commands in turn: where, which, the answer asked for (0: none), then the drawing order.
    struct Command {
        LONG x, y;
        UINT id;
        int answer;
        const char* names;
    };
    void Commands(std::initializer_list<Command> commands)
    {
        for (const Command& c : commands) {
            const size_t asked = desk.ui.messages.size();
            desk.ui.onMessageBox = [a = c.answer](const CString&, UINT type) { return type == MB_OKCANCEL ? a : IDOK; };
            Menu(c.x, c.y, c.id);
            std::string names;
            for (const std::string& name : desk.Names())
                names += (names.empty() ? "" : "|") + name;
            EXPECT_EQ(names, c.names) << c.id << " at " << c.x << "," << c.y;
            EXPECT_EQ(desk.ui.messages.size() - asked, c.answer ? 1u : 0u) << c.id;
        }
    }
    // A key pressed (and released) with `held` down, as the window delivers it.
    void Key(UINT key, Qt::KeyboardModifiers held = {}, bool release = true)
    {
        QGuiApplicationPrivate::modifier_buttons = held;
        frame.OnKeyDown(key, 1, 0);
        if (release)
            frame.OnKeyUp(key, 1, 0);
        QGuiApplicationPrivate::modifier_buttons = {};
    }
    std::string Focus() const { return app.m_nFocusObject ? app.m_aObjects[app.m_nFocusObject].strName.str() : "-"; }
    // The dotted focus frame one pixel outside `rc`, and the frame shown is a whole redraw's.
    void ExpectFocusFrameAround(const RECT& rc)
    {
        int wrong = 0;
        for (LONG x = rc.left - 1; x <= rc.right; ++x)
            for (LONG y = rc.top - 1; y <= rc.bottom; ++y)
                if ((x == rc.left - 1 || x == rc.right || y == rc.top - 1 || y == rc.bottom)
                    && desk.Shown(x, y) != ((x + y) % 2 == 0 ? 0u : 0xFFFFFFu))
                    ++wrong;
        EXPECT_EQ(wrong, 0);
        const QImage shown = desk.display.target.lastFrame.copy();
        app.ComposeScene();
        EXPECT_EQ(shown, desk.display.target.lastFrame);
    }
    static QRgb ColorOf(int i) { return TestDesktop::ColorOf(i).rgb() & 0xFFFFFF; }
    const ObjectRuntime& Slot(int i) const { return app.m_aRuntime[i]; }
    // Objects as name:state (+ selected, ~ hidden), then hover, pressed image and caption, and what is under way.
    std::string State() const
    {
        std::string text;
        for (int i = 1; i < app.m_nObjects; ++i)
            text += app.m_aObjects[i].strName.str() + ":" + std::to_string(Slot(i).nState)
                + (Slot(i).bSelected ? "+" : "") + (Slot(i).bVisible ? " " : "~ ");
        text += "h:" + std::to_string(app.m_nHoverObject) + " p:" + std::to_string(app.m_nPressedImage)
            + " t:" + std::to_string(app.m_nPressedText);
        for (auto [on, what] : { std::pair { app.m_bDragImage, " drag" }, { app.m_bDragText, " dragtext" },
                 { app.m_bRubberBand, " band" }, { app.m_bShowSelection, " frame" } })
            text += on ? what : "";
        return text;
    }
    TestDesktop desk;
    CDesktopApp& app = desk.app;
    CMainFrame frame;
};

TEST_F(WindowTest, HoverPicksTheTopmostShownObjectAndRedrawsOnlyOnChange)
{
    const int target = desk.AddObject("T", { 200, 100, 220, 120 }, "", false);
    desk.AddObject("A", { 10, 10, 60, 60 });
    const int b = desk.AddObject("B", { 40, 40, 90, 90 });
    desk.AddObject("H", { 30, 30, 70, 70 }, "", false);
    app.m_aRuntime[b].nActivates = target;
    // Nothing is drawn within an object; between objects the link changes hands in one redraw.
    for (auto [x, y, state, frames] :
        { std::tuple { 50, 50, "T:1 A:1 B:2 H:1~ h:3 p:0 t:0", 1 }, { 52, 55, "T:1 A:1 B:2 H:1~ h:3 p:0 t:0", 1 },
            { 20, 20, "T:1~ A:2 B:1 H:1~ h:2 p:0 t:0", 2 }, { 220, 20, "T:1~ A:1 B:1 H:1~ h:0 p:0 t:0", 2 } }) {
        Move(x, y);
        EXPECT_EQ(State(), state) << x << "," << y;
        EXPECT_EQ(desk.frames(), frames) << x << "," << y;
        EXPECT_EQ(desk.Shown(210, 110), Slot(target).bVisible ? ColorOf(target) : desk.Shown(300, 200));
    }
}

// Once the menu, what it opened, or the greeting closes, the object under the pointer is the hovered one.
TEST_F(WindowTest, AfterTheMenuTheHoverFollowsThePointer)
{
    Row({ "A", "B" });
    for (auto [command, pointer, state] : { std::tuple { 0u, POINT { At(2), 15 }, "A:1 B:2 h:2 p:0 t:0" },
             { UINT(ID_OBJECT_PROPERTIES), POINT { At(2), 15 }, "A:1 B:2 h:2 p:0 t:0" },
             { UINT(ID_OBJECT_DELETE), POINT { 300, 200 }, "A:1 B:1 h:0 p:0 t:0" },
             { UINT(ID_OBJECT_LIST), POINT { At(1), 15 }, "A:2 B:1 h:1 p:0 t:0" } }) {
        SCOPED_TRACE(command);
        Move(At(1), 15);
        desk.ui.onDialog = [&](CDialog&) { QCursor::setPos(LogicalPoint(pointer)); };
        desk.ui.onMessageBox = [&](const CString&, UINT) { return QCursor::setPos(LogicalPoint(pointer)), IDCANCEL; };
        desk.ui.onMenu = [&](const std::vector<MenuItemState>&) {
            QCursor::setPos(LogicalPoint(pointer));
            return command;
        };
        frame.OnRButtonDown(0, { At(1), 15 });
        EXPECT_EQ(State(), state);
    }
    // And when the greeting closes.
    CWnd* const mainWindow = std::exchange(app.m_pMainWnd, &frame);
    desk.ui.onDialog = [&](CDialog&) { QCursor::setPos(LogicalPoint({ At(2), 15 })); };
    app.ShowSplash();
    app.m_pMainWnd = mainWindow;
    EXPECT_EQ(State(), "A:1 B:2 h:2 p:0 t:0");
}

TEST_F(WindowTest, LockedPressesFollowThePressHitTestCaptionsFirst)
{
    desk.AddObject("Below", { 10, 10, 100, 100 });
    // Hidden: its image still takes a press, its caption does not.
    const int hidden = desk.AddObject("Hid", { 20, 20, 50, 50 }, "Hid", false, { 60, 20, 90, 30 });
    // A caption over an image is pressed before the image.
    const int c = desk.AddObject("C", { 200, 10, 260, 60 }, "Over", true, { 210, 30, 250, 40 });
    const RECT th = app.m_aObjects[hidden].rcText;
    const RECT tc = app.m_aObjects[c].rcText;
    // Then a press is given up when the pointer leaves; back over it, hovered.
    for (auto [what, x, y, state] : { std::tuple { 'p', th.left + 1, th.top + 1, "Below:3 Hid:1~ C:1 h:0 p:1 t:0" },
             { 'r', th.left + 1, th.top + 1, "Below:2 Hid:1~ C:1 h:0 p:0 t:0" },
             { 'p', tc.left + 1, tc.top + 1, "Below:2 Hid:1~ C:3 h:0 p:0 t:3" },
             { 'r', tc.left + 1, tc.top + 1, "Below:2 Hid:1~ C:2 h:0 p:0 t:0" },
             { 'p', LONG(30), LONG(30), "Below:2 Hid:3~ C:2 h:0 p:2 t:0" },
             { 'm', LONG(150), LONG(150), "Below:2 Hid:1~ C:2 h:0 p:0 t:0" },
             { 'm', LONG(30), LONG(30), "Below:2 Hid:1~ C:2 h:1 p:0 t:0" } }) {
        what == 'p' ? Press(x, y) : what == 'r' ? Release(x, y) : Move(x, y);
        EXPECT_EQ(State(), state) << what << " " << x << "," << y;
    }
}

TEST_F(WindowTest, UnlockedDragMovesWhatIsSelectedAndAClickMovesNothing)
{
    app.m_bLocked = FALSE;
    const int i = desk.AddObject("A", { 10, 10, 60, 60 }, "Cap", true, { 5, 66, 70, 75 });
    desk.AddObject("H", { 0, 0, 100, 100 }, "", false);
    const RECT& image = app.m_aObjects[i].rcObject;
    Press(20, 20);
    Release(20, 20);
    EXPECT_FALSE(desk.frames() || app.m_history.CanUndo());
    Press(20, 20);
    EXPECT_EQ(State(), "A:1+ H:1~ h:0 p:0 t:0 drag");
    Move(22, 30);
    Release(22, 30);
    EXPECT_EQ(State(), "A:1 H:1~ h:0 p:0 t:0");
    EXPECT_EQ(image, (RECT { 12, 20, 62, 70 }));
    EXPECT_EQ(desk.Shown(12, 20), ColorOf(i));
    // A drag begun on the caption moves captions only.
    const RECT moved = app.m_aObjects[i].rcText;
    Drag({ moved.left + 1, moved.top + 1 }, { moved.left + 11, moved.top + 1 });
    EXPECT_EQ(app.m_aObjects[i].rcText.left, moved.left + 10);
    EXPECT_EQ(image, (RECT { 12, 20, 62, 70 }));
}

TEST_F(WindowTest, EachDragIsOneUndoStepUpToTheBoundAndANewDesktopClearsThem)
{
    app.m_bLocked = FALSE;
    Row({ "A" });
    const LONG& left = app.m_aObjects[1].rcObject.left;
    for (int k = 0; k < CEditHistory::kMaxSteps + 5; ++k)
        Drag({ left + 1, 15 }, { left + 2, 15 });
    int undone = 0;
    for (; app.m_history.CanUndo(); ++undone)
        frame.OnEditUndo();
    EXPECT_EQ(undone, CEditHistory::kMaxSteps);
    EXPECT_EQ(left, 25);
    // Undo and redo wait for the drag to end.
    frame.OnEditRedo();
    Press(left + 1, 15), Move(left + 31, 15);
    frame.OnEditUndo(), frame.OnEditRedo();
    EXPECT_EQ(left, 56);
    Release(left + 1, 15);
    // Desktop settings clear the history only when the desktop is replaced.
    app.m_strDesktopFile = desk.Path("w.orv").c_str();
    for (auto [buttons, kept] : { std::pair { std::vector { IDC_SAVE }, true }, { { IDCANCEL }, true },
             { { IDC_REFRESH }, true }, { { IDC_NEW, IDCANCEL }, true }, { { IDC_NEW, IDOK }, false } }) {
        app.SaveDesktop();
        Drag({ left + 1, 15 }, { left + 11, 15 });
        desk.ui.onDialog = [&](CDialog& dlg) {
            for (int id : buttons)
                Click(dlg, id);
        };
        Menu(300, 200, ID_OBJECT_PROPERTIES);
        EXPECT_EQ(app.m_history.CanUndo(), kept) << buttons.front() << " " << buttons.size();
    }
}

TEST_F(WindowTest, RubberBandSelectsShownObjectsWhollyInsideInEveryDirection)
{
    app.m_bLocked = FALSE;
    desk.AddObject("In", { 20, 20, 40, 40 });
    desk.AddObject("Part", { 90, 20, 130, 40 });
    const int captionOnly = desk.AddObject("Cap", {}, "Cap", true, { 20, 60, 60, 70 });
    desk.AddObject("Hid", { 60, 20, 80, 40 }, "", false);
    const RECT cap = app.m_aObjects[captionOnly].rcText;
    const POINT corners[][2] = { { { 10, 10 }, { 100, 100 } }, { { 100, 100 }, { 10, 10 } },
        { { 100, 10 }, { 10, 100 } }, { { 10, 100 }, { 100, 10 } } };
    for (const auto& [from, to] : corners) {
        Press(from.x, from.y);
        Move(to.x, to.y);
        EXPECT_EQ(app.m_rcHighlight, (RECT { 10, 10, 100, 100 }));
        Release(to.x, to.y);
        EXPECT_EQ(State(), "In:1+ Part:1 Cap:1+ Hid:1~ h:0 p:0 t:0 frame");
        // The frame shrinks to the selection, in the highlight colour.
        EXPECT_EQ(app.m_rcHighlight, (RECT { 20, 20, std::max<LONG>(40, cap.right), cap.bottom }));
        EXPECT_EQ(desk.Shown(20, 30), 0xFFFF00u);
        // Pressing an unselected object adds it to the selection dragged.
        Press(100, 30);
        EXPECT_EQ(State(), "In:1+ Part:1+ Cap:1+ Hid:1~ h:0 p:0 t:0 drag frame");
        Release(100, 30);
    }
    // A right click ends the frame.
    Drag({ 10, 10 }, { 100, 100 });
    Menu(300, 200);
    EXPECT_EQ(State(), "In:1 Part:1 Cap:1 Hid:1~ h:0 p:0 t:0");
}

TEST_F(WindowTest, TheMenuOffersWhatItsSubjectAllowsAndGraysWhatItCannotDo)
{
    Row({ "A" });
    EXPECT_EQ(Describe(Menu(200, 200)),
        "&Insert...|&Copy-|&Paste-|&Delete-|P&roperties...|&Order...[Move &up-|Move to &top-|Move &down-|Move to "
        "&bottom-]||&Locked*|Object Li&st...");
    // The order items are grayed at either end of the drawing order.
    Row({ "B", "C" });
    for (auto [object, order] : { std::pair { 3, "Move &up-|Move to &top-|Move &down|Move to &bottom" },
             { 1, "Move &up|Move to &top|Move &down-|Move to &bottom-" },
             { 2, "Move &up|Move to &top|Move &down|Move to &bottom" } }) {
        const auto shown = Menu(At(object), 15);
        EXPECT_EQ(Describe({ shown[1], shown[3], shown[5] }), std::string("&Copy|&Delete|&Order...[") + order + "]");
    }
    // Locked toggles without a redraw and shows next time; a grayed item cannot be chosen.
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_EQ(Describe({ Menu(200, 200, ID_DESKTOP_LOCKED)[7] }), "&Locked");
    EXPECT_TRUE(app.m_bLocked);
    Menu(200, 200, ID_OBJECT_DELETE);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.frames(), 0);
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "C" }));
}

TEST_F(WindowTest, OrderCommandsReorderDeleteAsksAndPastesStopAtTheCapacity)
{
    Row({ "A", "B", "C", "D" });
    Commands({ { At(4), 15, ID_ORDER_MOVE_TO_BOTTOM, 0, "D|A|B|C" }, { At(1), 15, ID_ORDER_MOVE_UP, 0, "D|B|A|C" },
        { At(1), 15, ID_ORDER_MOVE_TO_TOP, 0, "D|B|C|A" }, { At(3), 15, ID_ORDER_MOVE_DOWN, 0, "D|C|B|A" },
        { At(1), 15, ID_OBJECT_COPY, 0, "D|C|B|A" }, { At(2), 15, ID_OBJECT_DELETE, IDCANCEL, "D|C|B|A" } });
    EXPECT_EQ(desk.ui.messages.back(), "Are you sure you want to delete 'B'?");
    EXPECT_EQ(desk.frames(), 4);
    // Records keep their places; the rebuilt images follow them.
    Commands({ { At(2), 15, ID_OBJECT_DELETE, IDOK, "D|C|A" } });
    EXPECT_EQ(app.m_aObjects[3].rcObject, (RECT { 20, 10, 30, 20 }));
    EXPECT_EQ(desk.Shown(At(2), 15), desk.Shown(300, 200));
    EXPECT_EQ(desk.Shown(At(1), 15), ColorOf(1));
    // The topmost, then the copy's source: the copy survives, on top.
    Commands({ { At(1), 15, ID_OBJECT_DELETE, IDOK, "D|C" }, { At(4), 15, ID_OBJECT_DELETE, IDOK, "C" },
        { 200, 200, ID_OBJECT_PASTE, 0, "C|A.1" } });
    EXPECT_EQ(desk.Shown(200, 200), ColorOf(1));
    // At capacity a paste is refused and the clipboard kept.
    while (app.m_nObjects < 51)
        desk.AddObject(("O" + std::to_string(app.m_nObjects)).c_str(), { 0, 0, 4, 4 });
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.ui.messages.back(), "Unable to insert new object:\nDesktop contains maximum objects allowed.");
    EXPECT_TRUE(app.m_nObjects == 51 && app.m_bClipboardFull);
}

// A missing Up picture takes clicks only as a placeholder while unlocked; a refused one keeps its rectangle.
TEST_F(WindowTest, MissingPicturesTakeClicksOnlyAsPlaceholdersWhileUnlocked)
{
    desk.AddObject("Under", { 0, 0, 300, 200 });
    const int gone = desk.AddObject("Gone", {});
    app.m_aObjects[gone].rcObject = { 20, 20, 80, 70 };
    app.m_aObjects[gone].strUpImage = desk.Path("missing.bmp").c_str();
    const int wide = desk.AddObject("Wide", { 100, 100, 500, 110 }); // refused: a 64-pixel box
    EXPECT_EQ(app.m_aObjects[wide].rcObject, (RECT { 100, 100, 500, 110 }));
    for (POINT pt : { POINT { 30, 30 }, POINT { 120, 120 }, POINT { 200, 105 } }) {
        Menu(pt.x, pt.y);
        EXPECT_EQ(app.m_nCurObject, 1) << pt.x;
        Press(pt.x, pt.y);
        EXPECT_EQ(State(), "Under:3 Gone:1 Wide:1 h:0 p:1 t:0") << pt.x;
        Release(pt.x, pt.y);
    }
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_EQ(desk.Shown(20, 20), 0xFFFFFFu);
    for (auto [x, y, subject] : { std::tuple { 30, 30, gone }, { 120, 120, wide }, { 200, 105, 1 } }) {
        Menu(x, y);
        EXPECT_EQ(app.m_nCurObject, subject) << x;
    }
    Drag({ 30, 30 }, { 40, 45 });
    EXPECT_EQ(app.m_aObjects[gone].rcObject, (RECT { 30, 35, 90, 85 }));
    EXPECT_EQ(desk.Shown(30, 35), 0xFFFFFFu);
    EXPECT_EQ(desk.Shown(20, 20), ColorOf(1));
    Drag({ 95, 210 }, { 170, 95 });
    EXPECT_EQ(State(), "Under:2 Gone:1 Wide:1+ h:0 p:0 t:0 frame");
    EXPECT_EQ(app.m_rcHighlight, (RECT { 100, 100, 164, 164 }));
    Release(0, 0);
    Commands({ { 120, 120, ID_OBJECT_DELETE, IDOK, "Under|Gone" } });
}

// Rectangles at the ends of the 32-bit range neither overflow nor move.
TEST_F(WindowTest, RectanglesAtTheEndsOfTheRangeNeitherOverflowNorMove)
{
    app.m_bLocked = FALSE;
    const int far = desk.AddObject("Far", {});
    app.m_aObjects[far].rcObject = { 2147483600, 0, 0, 0 };
    app.m_aObjects[far].strUpImage = desk.Bitmap(100, 100, Qt::red).c_str();
    app.LoadObjectImages(far);
    EXPECT_EQ(app.m_aObjects[far].rcObject, (RECT { 2147483600, 0, INT32_MAX, 100 }));
    EXPECT_EQ(app.m_aRuntime[far].pUp, nullptr);
    // An inverted caption rectangle holds nothing, so no band selects it.
    const int inverted = desk.AddObject("Inv", {}, "Inv");
    app.m_aObjects[inverted].rcText = { 60, 60, 40, 40 };
    Drag({ 10, 200 }, { 300, 30 });
    EXPECT_EQ(State(), "Far:1 Inv:1 h:0 p:0 t:0");
    const int all = desk.AddObject("All", { 10, 10, 30, 30 }, "All");
    const RECT range = { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX };
    app.m_aObjects[all].rcText = range;
    const int frames = desk.frames();
    Move(100, 100);
    EXPECT_EQ(State(), "Far:1 Inv:1 All:2 h:3 p:0 t:0");
    EXPECT_EQ(desk.frames(), frames + 1);
    Drag({ 100, 100 }, { 95, 103 });
    EXPECT_EQ(app.m_aObjects[all].rcText, range);
    EXPECT_EQ(app.m_aObjects[all].rcObject, (RECT { 10, 10, 30, 30 }));
    Drag({ 20, 20 }, { 30, 20 });
    EXPECT_EQ(app.m_aObjects[all].rcObject, (RECT { 10, 10, 30, 30 }));
}

TEST_F(WindowTest, FocusKeysGoInReadingOrderAndShowTheMouseLookAndADottedFrame)
{
    const int t = desk.AddObject("T", { 200, 150, 210, 160 }, "", false);
    const int a = desk.AddObject("A", { 70, 50, 80, 60 });
    desk.AddObject("C", { 60, 10, 70, 20 });
    desk.AddObject("B", { 20, 50, 30, 60 });
    desk.AddObject("E", { 20, 100, 30, 110 });
    desk.AddObject("H", { 120, 10, 130, 20 }, "", false);
    app.m_aRuntime[a].nActivates = t;
    constexpr auto shift = Qt::ShiftModifier;
    // Round the reading order, to either end, then by direction; with nothing that way the focus stays.
    for (auto [key, held, focus] : { std::tuple { VK_TAB, Qt::KeyboardModifiers {}, "C" }, { VK_TAB, {}, "B" },
             { VK_TAB, {}, "A" }, { VK_TAB, {}, "E" }, { VK_TAB, {}, "C" }, { VK_TAB, shift, "E" },
             { VK_HOME, {}, "C" }, { VK_END, {}, "E" }, { VK_UP, {}, "B" }, { VK_RIGHT, {}, "A" }, { VK_LEFT, {}, "B" },
             { VK_UP, {}, "C" }, { VK_DOWN, {}, "A" }, { VK_DOWN, {}, "E" }, { VK_LEFT, {}, "E" } }) {
        SCOPED_TRACE(testing::Message() << key << " -> " << focus);
        Key(key, held);
        ASSERT_EQ(Focus(), focus);
        const int f = app.m_nFocusObject;
        EXPECT_TRUE(app.m_nHoverObject == f && Slot(f).nState == 2);
        // A's target shows while A has the focus, and is not a stop itself.
        EXPECT_EQ(bool(Slot(t).bVisible), f == a);
        ExpectFocusFrameAround(app.m_aObjects[f].rcObject);
        EXPECT_EQ(desk.Shown(app.m_aObjects[f].rcObject.left, app.m_aObjects[f].rcObject.top), ColorOf(f));
    }
    // An arrow held for seconds against the edge draws nothing more.
    const int frames = desk.frames();
    for (int k = 0; k < 500; ++k)
        frame.OnKeyDown(VK_LEFT, 1, 0x4000);
    EXPECT_EQ(desk.frames(), frames);
    EXPECT_EQ(Focus(), "E");
}

TEST_F(WindowTest, TheFocusGoesWithThePointerAndWhereItsObjectWent)
{
    // Nothing to reach: an empty desktop, then only a hidden object.
    for (UINT key : { VK_TAB, VK_END, VK_RIGHT, VK_RETURN, VK_DELETE })
        Key(key);
    desk.AddObject("Hid", { 10, 10, 20, 20 }, "", false);
    for (UINT key : { VK_TAB, VK_HOME, VK_DOWN, VK_SPACE })
        Key(key);
    EXPECT_TRUE(Focus() == "-" && desk.frames() == 0 && desk.ui.messages.empty());
    Row({ "A", "B", "C" });
    app.m_history.Clear(app);
    // The pointer takes the focus with it; a move over empty desktop ends it until the next Tab.
    for (auto [what, x, focus] :
        { std::tuple { 'm', At(3), "B" }, { 'k', 0, "C" }, { 'm', 300, "-" }, { 'k', 0, "A" } }) {
        what == 'm' ? Move(x, 15) : Key(VK_TAB);
        EXPECT_EQ(Focus(), focus) << what << " " << x;
        EXPECT_EQ(app.m_nHoverObject, app.m_nFocusObject);
    }
    // Delete asks, then the focus takes the deleted object's place in the reading order; Cancel keeps both.
    Key(VK_RIGHT);
    desk.ui.onMessageBox = [](const CString&, UINT) { return IDCANCEL; };
    Key(VK_DELETE);
    desk.ui.onMessageBox = nullptr;
    Key(VK_DELETE);
    EXPECT_EQ(
        desk.ui.messages, (Names { "Are you sure you want to delete 'B'?", "Are you sure you want to delete 'B'?" }));
    EXPECT_EQ(desk.Names(), (Names { "Hid", "A", "C" }));
    EXPECT_EQ(Focus(), "C");
    ExpectFocusFrameAround(app.m_aObjects[3].rcObject);
    // Undo brings B back under the focus's index: the focus goes, with its frame.
    Key('Z', Qt::ControlModifier);
    EXPECT_EQ(desk.Names(), (Names { "Hid", "A", "B", "C" }));
    EXPECT_EQ(Focus(), "-");
    EXPECT_EQ(desk.Shown(At(4) - 6, 15), desk.Shown(300, 200));
    // An object hidden while it has the focus loses it at the next redraw.
    Key(VK_END);
    app.m_aRuntime[app.m_nFocusObject].bVisible = FALSE;
    Key(VK_F2);
    EXPECT_EQ(Focus(), "-");
    EXPECT_EQ(desk.Shown(At(4) + 6, 15), desk.Shown(300, 200));
}

TEST_F(WindowTest, KeysPressTheFocusAndWorkTheMenuAtItWhileKeysWaitForTheMenu)
{
    Row({ "A", "B" });
    Key(VK_TAB);
    // Down while Enter or Space is held, the Mouse look once released; a press the focus leaves is given up.
    frame.OnKeyDown(VK_RETURN, 1, 0);
    frame.OnKeyDown(VK_RETURN, 1, 0x4000);
    EXPECT_EQ(State(), "A:3 B:1 h:1 p:0 t:0");
    frame.OnKeyUp(VK_RETURN, 1, 0);
    EXPECT_EQ(State(), "A:2 B:1 h:1 p:0 t:0");
    frame.OnKeyDown(VK_SPACE, 1, 0);
    Key(VK_TAB);
    frame.OnKeyUp(VK_SPACE, 1, 0);
    EXPECT_EQ(State(), "A:1 B:2 h:2 p:0 t:0");
    Key(VK_TAB);
    // Shift+F10 and the Menu key open the focus's menu at its picture's centre; keys meanwhile do nothing.
    std::string shown;
    desk.ui.onMenu = [&](const std::vector<MenuItemState>& items) {
        shown = Describe({ items[1] });
        for (UINT key : { VK_DELETE, VK_TAB, VK_RETURN })
            Key(key);
        Key('V', Qt::ControlModifier);
        return UINT(ID_OBJECT_COPY);
    };
    Key(VK_F10, Qt::ShiftModifier);
    EXPECT_EQ(shown, "&Copy");
    EXPECT_EQ(app.m_ptContext, (POINT { 25, 15 }));
    EXPECT_TRUE(app.m_bClipboardFull && desk.ui.messages.empty());
    EXPECT_EQ(State(), "A:2 B:1 h:1 p:0 t:0");
    // Ctrl+V pastes at the focus, which goes to the copy; Ctrl+C copies.
    Key('V', Qt::ControlModifier);
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "A.1" }));
    EXPECT_EQ(Focus(), "A.1");
    EXPECT_EQ(app.m_aObjects[3].rcObject, (RECT { 25, 15, 35, 25 }));
    Key(VK_RIGHT);
    Key('C', Qt::ControlModifier);
    Key('V', Qt::ControlModifier);
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "A.1", "B.1" }));
    // A menu command that reorders keeps the focus on its object.
    Key(VK_HOME);
    desk.ui.onMenu = [&](const std::vector<MenuItemState>& items) {
        shown = Describe({ items[1] });
        return UINT(ID_ORDER_MOVE_TO_TOP);
    };
    Key(VK_APPS);
    EXPECT_EQ(desk.Names(), (Names { "B", "A.1", "B.1", "A" }));
    EXPECT_EQ(Focus(), "A");
    // Without a focus the menu is the desktop's.
    Move(300, 200);
    Key(VK_APPS);
    EXPECT_EQ(shown, "&Copy-");
    EXPECT_EQ(Focus(), "-");
}

// A completed locked click, Enter or Space runs the action; failures say why; another user's desktop asks once.
TEST_F(WindowTest, LockedClicksRunTheActionAndADesktopOfAnotherUserAsksOnce)
{
    Row({ "Run", "Bad", "Nul", "Cmd", "Oops", "None" });
    app.m_aObjects[1].strAction = " true --flag ";
    app.m_aObjects[2].strAction = CString(std::string(70000, 'x'));
    app.m_aObjects[3].strAction = CString(std::string("true\0rm ~", 9));
    app.m_aObjects[4].strAction = "orvanta:settings";
    app.m_aObjects[5].strAction = "orvanta:format";
    const std::string run
        = QStandardPaths::findExecutable("true").toStdString() + " [--flag] @ " + QDir::homePath().toStdString();
    std::string opened;
    desk.ui.onDialog = [&](CDialog& dlg) { opened += dynamic_cast<CDesktopSettingsDlg*>(&dlg) ? "settings;" : "?;"; };
    const auto click = [&](int i) { Press(At(i), 15), Release(At(i), 15); };
    const auto expect = [&](const char* what, std::vector<std::string> launches, std::vector<std::string> messages) {
        EXPECT_EQ(desk.ui.launches, launches) << what;
        EXPECT_EQ(desk.ui.messages, messages) << what;
        desk.ui.launches.clear();
        desk.ui.messages.clear();
    };
    click(1);
    expect("a click", { run }, {});
    Press(At(1), 15), Move(At(2), 15), Release(At(2), 15);
    expect("a press given up", {}, {});
    Key(VK_TAB);
    Key(VK_RETURN);
    Key(VK_SPACE);
    expect("Enter and Space", { run, run }, {});
    click(2);
    expect("a missing program, shown short", {},
        { "Orvanta could not run: " + std::string(300, 'x') + "...\n\n" + ShellExecuteErrorText(SE_ERR_FNF) });
    click(3);
    expect("a NUL byte", {},
        { std::string("Orvanta could not run: true rm ~\n\n") + ShellExecuteErrorText(ERROR_BAD_FORMAT) });
    click(4);
    click(6);
    EXPECT_EQ(opened, "settings;");
    click(5);
    expect("the desktop's own commands", {},
        { "Orvanta could not run: orvanta:format\n\nThe desktop's own commands are settings, list, lock, undo and "
          "redo." });
    app.m_bLocked = FALSE;
    click(1);
    Key(VK_RETURN);
    expect("unlocked", {}, {});
    app.m_bLocked = TRUE;
    // Group-writable, world-writable, then the user's own.
    const std::string question = "This desktop was not made by you. Run its actions?\n\ntrue --flag";
    for (const auto& [name, mode, answer, launches, messages] :
        { std::tuple { "group.orv", 0664, IDNO, std::vector<std::string> {}, std::vector { question } },
            { "others.orv", 0646, IDYES, { run, run }, { question } }, { "own.orv", 0644, IDNO, { run, run }, {} } }) {
        const std::string path = desk.Path(name);
        ASSERT_TRUE(WriteAll(QString::fromStdString(path), "x"));
        ::chmod(path.c_str(), mode_t(mode));
        app.m_strDesktopFile = path.c_str();
        desk.ui.onMessageBox = [a = answer](const CString&, UINT type) { return type == MB_YESNO ? a : IDOK; };
        click(1);
        click(1);
        expect(name, launches, messages);
    }
}

// Dropped items become objects at the drop point, one step to undo; a full table takes the first that fit.
TEST_F(WindowTest, DroppedItemsBecomeObjectsAtTheDropPointAsOneStepToUndo)
{
    desk.AddObject(" Notes.TXT", {});
    const QString dir = desk.dir.path();
    ASSERT_TRUE(WriteAll(dir + "/notes.txt", "n") && QDir(dir).mkdir("Folder"));
    const std::string icon = desk.Bitmap(8, 8, Qt::green);
    ASSERT_TRUE(WriteAll(dir + "/viewer.desktop",
        QByteArray("[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\nIcon=") + icon.c_str()));
    app.m_history.Clear(app);
    const std::string d = dir.toStdString();
    DROPFILES drop { { 100, 50 },
        { (d + "/notes.txt").c_str(), (d + "/Folder").c_str(), "https://example.org/page?q=1",
            (d + "/viewer.desktop").c_str(), (d + "/missing").c_str() } };
    frame.OnDropFiles(&drop);
    std::string objects;
    for (int i = 2; i < app.m_nObjects; ++i) {
        const DesktopObject& r = app.m_aObjects[i];
        objects += r.strName.str() + "|" + r.strText.str() + "|"
            + r.strAction.str().substr(r.strAction.str().find_last_of('/') + 1) + "|" + std::to_string(r.rcObject.left)
            + "," + std::to_string(r.rcObject.top) + ";";
    }
    EXPECT_EQ(objects,
        "notes.txt.1|notes.txt|notes.txt|100,50;Folder|Folder|Folder|116,66;"
        "example.org|example.org|page?q=1|132,82;Viewer|Viewer|viewer.desktop|148,98;");
    // An entry's own picture; icons the theme lacks are left out, unasked.
    EXPECT_EQ(app.m_aObjects[5].strUpImage.str(), icon);
    EXPECT_NE(app.m_aRuntime[5].pUp, nullptr);
    frame.OnEditUndo();
    EXPECT_EQ(desk.Names(), (Names { " Notes.TXT" }));
    frame.OnEditRedo();
    EXPECT_EQ(app.m_nObjects, 6);
    while (app.m_nObjects < app.m_nMaxObjects - 1)
        desk.AddObject(("o" + std::to_string(app.m_nObjects)).c_str(), {});
    frame.OnDropFiles(&drop);
    EXPECT_EQ(app.m_nObjects, app.m_nMaxObjects);
    EXPECT_EQ(app.m_aObjects[app.m_nMaxObjects - 1].strName.str(), "notes.txt.2");
    EXPECT_EQ(desk.ui.messages, (Names { "Unable to insert new object:\nDesktop contains maximum objects allowed." }));
    // Locked, onto an object with an action: the items are its arguments.
    app.m_aObjects[5].strAction = "true --x";
    DROPFILES onto { { 150, 100 }, { (d + "/a b").c_str(), (d + "/it's").c_str() } };
    frame.OnDropFiles(&onto);
    EXPECT_EQ(desk.ui.launches,
        (Names { QStandardPaths::findExecutable("true").toStdString() + " [--x] [" + d + "/a b] [" + d + "/it's] @ "
            + QDir::homePath().toStdString() }));
    EXPECT_EQ(app.m_nObjects, app.m_nMaxObjects);
}

TEST_F(WindowTest, CtrlArrowsMoveTheSelectionOrTheFocusAsADragAndEscapePutsADragBack)
{
    Row({ "A", "B" });
    const RECT& a = app.m_aObjects[1].rcObject;
    constexpr auto ctrl = Qt::ControlModifier;
    app.m_history.Clear(app);
    Key(VK_TAB);
    // Locked, nothing moves and the focus stays.
    Key(VK_RIGHT, ctrl);
    Key('A', ctrl);
    EXPECT_EQ(State(), "A:2 B:1 h:1 p:0 t:0");
    EXPECT_EQ(a, (RECT { 20, 10, 30, 20 }));
    // A run of moves is one step to undo, kept when Ctrl is let go.
    app.m_bLocked = FALSE;
    for (int k = 0; k < 3; ++k)
        Key(VK_RIGHT, ctrl);
    Key(VK_DOWN, ctrl | Qt::ShiftModifier);
    EXPECT_EQ(a, (RECT { 23, 20, 33, 30 }));
    EXPECT_FALSE(app.m_history.CanUndo());
    frame.OnKeyUp(VK_CONTROL, 1, 0);
    frame.OnEditUndo();
    EXPECT_EQ(a, (RECT { 20, 10, 30, 20 }));
    EXPECT_FALSE(app.m_history.CanUndo());
    // Held against the edge, it stays on the work area; another key ends the run.
    Key(VK_HOME);
    for (int k = 0; k < 300; ++k)
        Key(k % 2 ? VK_LEFT : VK_UP, ctrl | Qt::ShiftModifier);
    EXPECT_EQ(a, (RECT { 0, 0, 10, 10 }));
    Key(VK_F2);
    EXPECT_TRUE(app.m_history.CanUndo());
    frame.OnEditUndo();
    EXPECT_FALSE(app.m_history.CanUndo());
    // Escape puts a drag back, and ends a rubber band leaving no selection.
    Press(At(1), 15);
    Move(At(1) + 30, 45);
    Key(VK_ESCAPE);
    EXPECT_EQ(a, (RECT { 20, 10, 30, 20 }));
    EXPECT_EQ(desk.Shown(At(1), 15), ColorOf(1));
    Release(At(1) + 30, 45);
    Press(300, 200);
    Move(10, 5);
    Key(VK_ESCAPE);
    Release(10, 5);
    EXPECT_EQ(State(), "A:1 B:1 h:0 p:0 t:0");
    EXPECT_EQ(desk.Shown(10, 100), desk.Shown(300, 200));
    EXPECT_FALSE(app.m_history.CanUndo());
    // Ctrl+A selects every shown object and Ctrl+arrow moves them all; one wider than the screen stays put.
    desk.AddObject("Hid", { 100, 100, 110, 110 }, "", false);
    Key('A', ctrl);
    EXPECT_EQ(State(), "A:1+ B:1+ Hid:1~ h:0 p:0 t:0 frame");
    Key(VK_RIGHT, ctrl | Qt::ShiftModifier);
    EXPECT_EQ(app.m_rcHighlight, (RECT { 30, 10, 60, 20 }));
    EXPECT_EQ(desk.Shown(30, 15), 0xFFFF00u);
    Release(300, 200);
    desk.AddObject("Big", { 0, 0, 320, 240 });
    Key('A', ctrl);
    Key(VK_RIGHT, ctrl);
    Key(VK_DOWN, ctrl);
    EXPECT_EQ(app.m_aObjects[4].rcObject, (RECT { 0, 0, 320, 240 }));
    EXPECT_EQ(a, (RECT { 30, 10, 40, 20 }));
}

// The real window.

void SendMouse(QWindow* window, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, window->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

void SendKey(QWindow* window, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { SetScreenOverride(ScreenOverride { SIZE { 1024, 768 }, RECT { 0, 0, 1024, 768 } }); }
    void TearDown() override
    {
        desk.app.DestroyMainWindow();
        ClearScreenOverride();
    }
    TestDesktop desk { 64, 48 };
};

// One window through its life: shown at an offset, painted, taking input, losing its screen, minimised, ended.
TEST_F(MainWindowTest, TheWindowPresentsAtTheWorkAreaOffsetTakesPointerAndKeysAndF12Ends)
{
    CDesktopApp& app = desk.app;
    CMainFrame* frame = CMainFrame::CreateObject();
    app.m_pMainWnd = frame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr));
    QWindow* window = frame->windowHandle();
    EXPECT_EQ(window->title(), QStringLiteral("Orvanta"));
    EXPECT_TRUE(window->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_FALSE(window->isVisible() || window->icon().isNull()); // start-up shows it once placed
    ASSERT_TRUE(frame->SetWindowPos(nullptr, 30, 40, 200, 100, SWP_SHOWWINDOW));
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    QCoreApplication::processEvents();
    // Every paint composes once.
    int frames = desk.frames();
    QExposeEvent small(QRegion(10, 10, 1, 1));
    QCoreApplication::sendEvent(window, &small);
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(desk.frames(), frames + 2);
    // Desktop point (x, y) shows at window point (x - 30, y - 40); only a changed rectangle reaches the window.
    QImage desktop(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < desktop.height(); ++y)
        for (int x = 0; x < desktop.width(); ++x)
            desktop.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    frame->setKeepPresentedFrame(true);
    frame->presentFrame(desktop, {});
    QImage white = desktop;
    white.fill(Qt::white);
    const RECT changed[] = { { 40, 50, 60, 70 } };
    frame->presentFrame(white, changed);
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (QPoint p : { QPoint(10, 10), QPoint(29, 29), QPoint(9, 9), QPoint(30, 30), QPoint(0, 0), QPoint(199, 99) })
        EXPECT_EQ(
            shown.pixel(p), QRect(10, 10, 20, 20).contains(p) ? qRgb(255, 255, 255) : desktop.pixel(p + QPoint(30, 40)))
            << p.x() << "," << p.y();
    EXPECT_EQ(frame->presentedFrame(), shown);
    // Exposed again while its store holds that whole frame, the window shows
    // it without a new one; after a resize an expose paints.
    frames = desk.frames();
    QCoreApplication::sendEvent(window, &small);
    EXPECT_EQ(desk.frames(), frames);
    QResizeEvent resized(QSize(200, 100), QSize(200, 100));
    QCoreApplication::sendEvent(window, &resized);
    QCoreApplication::sendEvent(window, &small);
    EXPECT_EQ(desk.frames(), frames + 1);

    // Window point (5, 6) is desktop point (35, 46): a drag there moves A.
    app.m_bLocked = FALSE;
    const int a = desk.AddObject("A", { 32, 42, 40, 47 });
    SendMouse(window, QEvent::MouseButtonPress, QPoint(5, 6), Qt::LeftButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseMove, QPoint(6, 5), Qt::NoButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseButtonRelease, QPoint(6, 5), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(app.m_aObjects[a].rcObject, (RECT { 33, 41, 41, 46 }));
    // A link dropped at window (50, 20) is an object at desktop (80, 60); text without links is refused.
    QMimeData text;
    text.setText("just text");
    QDragEnterEvent refused(QPoint(50, 20), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QMimeData links;
    links.setUrls({ QUrl("https://example.org/") });
    QDropEvent dropped(QPointF(50, 20), Qt::CopyAction, &links, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    ASSERT_TRUE(WaitFor([&] { return app.m_nObjects == a + 2; }));
    EXPECT_EQ(std::tuple(app.m_aObjects[a + 1].strName.str(), app.m_aObjects[a + 1].rcObject.left,
                  app.m_aObjects[a + 1].rcObject.top),
        std::tuple("example.org", 80, 60));
    // The real popup, by keyboard: Copy is grayed on the desktop and copies on A; one left open is closed.
    SetUiScript(nullptr);
    for (auto [at, keys, copied] : { std::tuple { QPoint(90, 80), std::vector { Qt::Key_C, Qt::Key_Escape }, false },
             { QPoint(5, 6), { Qt::Key_C }, true } }) {
        QObject context;
        QTimer::singleShot(0, &context, [&] {
            for (QWidget* popup = QApplication::activePopupWidget(); popup && !keys.empty(); keys.erase(keys.begin())) {
                QKeyEvent press(QEvent::KeyPress, keys.front(), Qt::NoModifier, keys.front() == Qt::Key_C ? "c" : "");
                QApplication::sendEvent(popup, &press);
                popup = QApplication::activePopupWidget();
            }
        });
        QTimer::singleShot(2000, &context, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        SendMouse(window, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        EXPECT_TRUE(keys.empty() && QApplication::activePopupWidget() == nullptr);
        EXPECT_EQ(bool(app.m_bClipboardFull), copied);
    }
    SetUiScript(&desk.ui);
    EXPECT_EQ(app.m_ptContext, (POINT { 35, 46 }));
    // F2 redraws; keys the program has no use for do nothing. Tab and Shift+Tab reach the one object.
    frame->OnMouseMove(0, { 500, 500 });
    QGuiApplicationPrivate::modifier_buttons = Qt::ShiftModifier;
    SendKey(window, Qt::Key_Backtab);
    QGuiApplicationPrivate::modifier_buttons = {};
    EXPECT_EQ(app.m_nFocusObject, a);
    frame->OnMouseMove(0, { 500, 500 });
    frames = desk.frames();
    for (int key : { Qt::Key_F2, Qt::Key_F1, Qt::Key_A, Qt::Key_Escape, Qt::Key_Delete, Qt::Key_VolumeUp })
        SendKey(window, key);
    EXPECT_EQ(desk.frames(), frames + 1);
    // A screen change loses the surfaces; activation restores them on 8 bits only, palette realisation always.
    emit window->screen()->geometryChanged(window->screen()->geometry());
    EXPECT_TRUE(app.m_pDDSPrimary->isLost() && app.m_pDDSBack->isLost());
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
    EXPECT_TRUE(app.m_pDDSPrimary->isLost());
    frame->OnQueryNewPalette();
    EXPECT_FALSE(app.m_pDDSPrimary->isLost() || app.m_pDDSBack->isLost());
    // Minimised, a paint asks first, and once.
    int framesWhenAsked = -1;
    desk.ui.onMessageBox = [&](const CString&, UINT) { return framesWhenAsked = desk.frames(), IDOK; };
    frames = desk.frames();
    window->setWindowStates(Qt::WindowMinimized);
    ASSERT_TRUE(frame->IsIconic());
    QCoreApplication::sendEvent(window, &update);
    window->setWindowStates(Qt::WindowNoState);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(desk.ui.messages, (Names { "Yeah, guess what!" }));
    EXPECT_EQ(framesWhenAsked, frames);
    // F12 asks about the unsaved edits, then ends the program with status 0, releasing the display.
    app.m_strDesktopFile = desk.Path("f12.orv").c_str();
    desk.ui.onMessageBox = [](const CString&, UINT type) { return type == MB_YESNOCANCEL ? IDNO : IDOK; };
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, window, [&] { SendKey(window, Qt::Key_F12); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(app.Run(), 0);
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    EXPECT_EQ(desk.ui.messages.back(), "Save changes to f12.orv?");
    EXPECT_TRUE(app.m_pDD == nullptr && app.m_pMainWnd == nullptr && app.m_aRuntime[a].pUp == nullptr);
    // A frame made from a rectangle still covers the screen; once destroyed it neither posts nor presents.
    CMainFrame other;
    ASSERT_TRUE(other.Create(nullptr, "t", WS_POPUP, RECT { 0, 0, 10, 10 }));
    EXPECT_EQ(other.windowHandle()->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_TRUE(other.DestroyWindow());
    EXPECT_FALSE(other.windowHandle() || other.DestroyWindow() || other.PostMessage(WM_CLOSE));
    other.presentFrame(QImage(4, 4, QImage::Format_RGB32), {});
}

// Closing asks only about unsaved edits; a session end asks nothing and keeps them in a recovery file.
TEST_F(MainWindowTest, ClosingAsksAboutUnsavedEditsAndKeepsTheWindowUnlessTheyAreSavedOrDiscarded)
{
    QTemporaryDir state;
    const ScopedEnv stateHome("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const QString recovery = state.filePath("orvanta/recovery.orv");
    enum Edit { none, added, undone };
    for (auto [edit, answer, writable, closes] :
        { std::tuple { added, IDCANCEL, true, false }, { added, IDYES, false, false }, { added, IDYES, true, true },
            { added, IDNO, true, true }, { none, 0, true, true }, { undone, 0, true, true } }) {
        SCOPED_TRACE(testing::Message() << edit << " " << answer << " " << writable);
        TestDesktop d(64, 48);
        CDesktopApp& app = d.app;
        d.AddObject("A", { 4, 4, 12, 12 });
        const QString file = d.dir.filePath("w.orv");
        app.m_strDesktopFile = file.toStdString().c_str();
        app.SaveDesktop();
        const QByteArray saved = ReadAll(file);
        CMainFrame* frame = CMainFrame::CreateObject();
        app.m_pMainWnd = frame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr));
        if (edit == added)
            d.AddObject("B", { 20, 4, 28, 12 });
        if (edit == undone) {
            app.m_history.Clear(app);
            // An edit, then undone.
            app.m_aObjects[1].rcObject.left += 5;
            app.m_history.RecordEdit(app);
            frame->OnEditUndo();
        }
        if (!writable)
            QFile::setPermissions(d.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        d.ui.onMessageBox = [a = answer](const CString&, UINT type) { return type == MB_YESNOCANCEL ? a : IDOK; };
        EXPECT_TRUE(frame->OnQueryEndSession());
        EXPECT_TRUE(d.ui.messages.empty());
        EXPECT_EQ(QFile::exists(recovery), edit == added);
        ASSERT_TRUE(frame->PostMessage(WM_CLOSE));
        QCoreApplication::processEvents();
        QFile::setPermissions(d.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Names expected;
        if (answer)
            expected.push_back("Save changes to w.orv?");
        if (!writable)
            expected.push_back("Desktop file could not be saved!");
        EXPECT_EQ(d.ui.messages, expected);
        EXPECT_EQ(frame->windowHandle() == nullptr, closes);
        EXPECT_EQ(ReadAll(file) == saved, answer != IDYES || !writable);
        EXPECT_EQ(app.IsDesktopModified(), answer == IDYES ? !writable : edit == added);
        EXPECT_EQ(QFile::exists(recovery), edit == added && !closes);
        app.DestroyMainWindow();
    }
}

// What assistive technology was told, as "event name;".
std::string g_announced;
void Announced(QAccessibleEvent* event)
{
    const std::map<QAccessible::Event, const char*> names { { QAccessible::Focus, "focus" },
        { QAccessible::ObjectShow, "show" }, { QAccessible::ObjectHide, "hide" }, { QAccessible::ObjectCreated, "new" },
        { QAccessible::NameChanged, "name" } };
    const auto name = names.find(event->type());
    g_announced += (name != names.end() ? name->second : "other") + std::string(" ")
        + event->accessibleInterface()->text(QAccessible::Name).toStdString() + ";";
}

// The accessible tree: a button per object in the desktop's states, changes announced, press clicks its middle.
TEST_F(MainWindowTest, TheAccessibleTreeFollowsTheDesktopAndPressesAsAClick)
{
    struct Frame : CMainFrame {
        std::string log;
        void OnLButtonDown(UINT f, POINT p) override
        {
            CMainFrame::OnLButtonDown(f, p);
            log += "down " + std::to_string(p.x) + "," + std::to_string(p.y) + ":"
                + std::to_string(DesktopApp()->m_nPressedImage) + ";";
        }
        void OnLButtonUp(UINT f, POINT p) override { CMainFrame::OnLButtonUp(f, p), log += "up;"; }
    };
    CDesktopApp& app = desk.app;
    desk.AddObject("A", { 4, 4, 14, 14 }, "first");
    const int b = desk.AddObject("B", { 20, 4, 30, 14 }, "second");
    const int t = desk.AddObject("T", { 40, 4, 50, 14 }, "", false);
    app.m_aRuntime[b].nActivates = t;
    app.m_aObjects[1].strAction = "true --go";
    QCursor::setPos(LogicalPoint({ 5000, 5000 }));
    auto* frame = new Frame;
    app.m_pMainWnd = frame;
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr));
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(frame->windowHandle());
    ASSERT_TRUE(root && frame->windowHandle()->accessibleRoot() == root);
    EXPECT_EQ(root->role(), QAccessible::Window);
    EXPECT_EQ(root->text(QAccessible::Name), QStringLiteral("Orvanta"));
    // Each child as name(description), * focused, ! pressed, + selected, ~ hidden, ? not a button of this window.
    const auto tree = [&] {
        std::string text;
        for (int i = 0; i < root->childCount(); ++i) {
            QAccessibleInterface* c = root->child(i);
            const QAccessible::State s = c->state();
            const bool bButton = c->role() == QAccessible::Button && c->parent() == root && root->indexOfChild(c) == i;
            text += c->text(QAccessible::Name).toStdString() + "(" + c->text(QAccessible::Description).toStdString()
                + ")" + (s.focused ? "*" : "") + (s.pressed ? "!" : "") + (s.selected ? "+" : "")
                + (s.invisible ? "~" : "") + (bButton ? " " : "? ");
        }
        return text;
    };
    EXPECT_EQ(tree(), "A(first) B(second) T()~ ");
    EXPECT_EQ(root->child(0)->rect(), QRect(4, 4, 10, 10));
    EXPECT_TRUE(root->childAt(25, 9) == root->child(1) && !root->childAt(45, 9));
    // As when a screen reader listens.
    QPlatformAccessibility* listener = QGuiApplicationPrivate::platformIntegration()->accessibility();
    ASSERT_TRUE(listener);
    listener->setActive(true);
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(Announced);
    const std::pair<std::function<void()>, const char*> steps[] = {
        { [&] {
             frame->OnMouseMove(0, { 25, 9 });
         },
            "A(first) B(second)* T() |show T;focus B;" },
        // The focus goes with the pointer: nothing more to announce.
        { [&] { app.m_nFocusObject = b, app.ComposeScene(); }, "A(first) B(second)* T() |" },
        { [&] {
             frame->OnLButtonDown(0, { 9, 9 });
         },
            "A(first)! B(second)* T() |" },
        { [&] {
             frame->OnLButtonUp(0, { 9, 9 }), app.m_bLocked = FALSE, frame->OnLButtonDown(0, { 9, 9 });
         },
            "A(first)+ B(second)* T() |" },
        { [&] {
             frame->OnLButtonUp(0, { 9, 9 }), app.m_bLocked = TRUE, frame->OnMouseMove(0, { 300, 300 });
         },
            "A(first) B(second) T()~ |hide T;" },
        { [&] {
             app.m_aObjects[2].strName = "B2", desk.AddObject("C", { 60, 4, 70, 14 }), app.ComposeScene();
         },
            "A(first) B2(second) T()~ C() |name B2;new C;" },
        { [&] { app.m_nFocusObject = 0, app.ComposeScene(); }, "A(first) B2(second) T()~ C() |" },
    };
    for (const auto& [step, expected] : steps) {
        g_announced.clear();
        step();
        EXPECT_EQ(tree() + "|" + g_announced, expected);
    }
    QAccessible::installUpdateHandler(previous);
    listener->setActive(false);
    // A's action is described by its command and clicks its middle; a hidden object is not pressed.
    QAccessibleActionInterface* press = root->child(0)->actionInterface();
    ASSERT_TRUE(press && root->child(2)->actionInterface());
    EXPECT_EQ(press->actionNames(), QStringList { QAccessibleActionInterface::pressAction() });
    EXPECT_EQ(press->localizedActionDescription(QAccessibleActionInterface::pressAction()), "true --go");
    frame->log.clear();
    press->doAction(QAccessibleActionInterface::pressAction());
    root->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(frame->log, "down 9,9:1;up;");
    EXPECT_EQ(tree(), "A(first) B2(second) T()~ C() ");
    EXPECT_EQ(app.m_nHoverObject, 0);
}

// Every field of the dialogs is named by its label, a group box or the dialog's caption, and a button by its text.
TEST_F(WindowTest, DialogControlsAreNamedForScreenReaders)
{
    desk.AddObject("A", { 10, 10, 20, 20 });
    std::string names;
    desk.ui.onDialog = [&](CDialog& dlg) {
        for (QWidget* w : DialogWindowOf(dlg)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QAccessibleInterface* control = QAccessible::queryAccessibleInterface(w);
            if (control && (w->focusPolicy() & Qt::TabFocus))
                names += control->text(QAccessible::Name).toStdString() + "|";
        }
        names += "\n";
        Click(dlg, IDCANCEL);
    };
    for (UINT command : { ID_OBJECT_PROPERTIES, ID_OBJECT_LIST })
        Menu(15, 15, command);
    Menu(300, 200, ID_OBJECT_PROPERTIES);
    EXPECT_EQ(names,
        "Name|Action|Browse...|Up Image|Browse...|Visible|Down Image|Browse...|Mouse Image|Browse...|Mouse "
        "Activate|Text|Left|Right|Center|Text Color|Color...|Mouse Over Color|Color...|Font...|Show text only on "
        "mouse over|OK|Cancel|\n"
        "Objects|OK|Cancel|\n"
        "Desktop|Background Image|Browse...|Tile Background|Background Color|Color...|OK|Cancel|New|Load...|Save|Save "
        "As...|Refresh|\n");
}

// Bursts of screen changes reach the frame once settled, and at a bounded interval while they go on.
TEST(DisplayChange, BurstsOfScreenChangesReachTheFrameCoalesced)
{
    struct Frame : CFrameWnd {
        void OnDisplayChange(UINT, int cx, int cy) override { sizes.push_back({ cx, cy }); }
        std::vector<std::pair<int, int>> sizes;
    } frame;
    ASSERT_TRUE(frame.Create(nullptr, "d", WS_POPUP));
    auto* window = dynamic_cast<FrameWindow*>(frame.windowHandle());
    ASSERT_NE(window, nullptr);
    SetScreenOverride(ScreenOverride { SIZE { 640, 480 }, RECT { 0, 0, 640, 480 } });
    for (int i = 0; i < 50; ++i)
        window->displayChanged();
    EXPECT_TRUE(frame.sizes.empty());
    ASSERT_TRUE(WaitFor([&] { return !frame.sizes.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.sizes, (std::vector<std::pair<int, int>> { { 640, 480 } }));
    // A change every 50 ms for 1.6 s: reported at most every second, the last state after it ends.
    frame.sizes.clear();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1600) {
        window->displayChanged();
        QElapsedTimer step;
        step.start();
        while (step.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    SetScreenOverride(ScreenOverride { SIZE { 800, 600 }, RECT { 0, 0, 800, 600 } });
    window->displayChanged();
    ASSERT_TRUE(WaitFor([&] { return frame.sizes.size() >= 2 && frame.sizes.back().first == 800; }));
    EXPECT_LE(frame.sizes.size(), 3u);
    ClearScreenOverride();
    frame.DestroyWindow();
}

} // namespace
