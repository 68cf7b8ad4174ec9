// The desktop window: pointer and keys, the context menu and its commands,
// undo, and the window itself (creation, presentation, coordinates, messages).

#include "platform/Screen.h"
#include "platform/StringResource.h"
#include "res/resource.h"
#include "support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

// The menu as text: "-" after a grayed item, "*" after a checked one, a
// submenu in brackets; the command ids go to `ids`.
std::string Describe(const std::vector<MenuItemState>& items, std::vector<UINT>* ids = nullptr)
{
    std::string text;
    for (const MenuItemState& item : items) {
        text += (text.empty() ? "" : "|") + item.text.str() + (item.enabled ? "" : "-") + (item.checked ? "*" : "");
        if (ids)
            ids->push_back(item.id);
        if (!item.submenu.empty())
            text += "[" + Describe(item.submenu, ids) + "]";
    }
    return text;
}

class WindowTest : public testing::Test {
protected:
    void Move(LONG x, LONG y) { frame.OnMouseMove(0, { x, y }); }
    void Press(LONG x, LONG y) { frame.OnLButtonDown(0, { x, y }); }
    void Release(LONG x, LONG y) { frame.OnLButtonUp(0, { x, y }); }
    void Drag(POINT from, POINT to)
    {
        Press(from.x, from.y);
        Move(to.x, to.y);
        Release(to.x, to.y);
    }
    // Opens the context menu at (x, y) and chooses `command` (0: none);
    // returns the menu as it was shown.
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
    // Objects 20 pixels apart in a row, with 10x10 images.
    void Row(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            const LONG x = 20 * app.m_nObjects;
            desk.AddObject(name, { x, 10, x + 10, 20 });
        }
    }
    // Menu commands in turn: where the menu opens, the command, the answer to
    // its question (0: none asked); then the drawing order, joined by '|'.
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
            desk.ui.onMessageBox = [&](const CString&, UINT type) { return type == MB_OKCANCEL ? c.answer : IDOK; };
            Menu(c.x, c.y, c.id);
            std::string names;
            for (const std::string& name : desk.Names())
                names += (names.empty() ? "" : "|") + name;
            EXPECT_EQ(names, c.names) << c.id << " at " << c.x << "," << c.y;
            EXPECT_EQ(desk.ui.messages.size() - asked, c.answer ? 1u : 0u) << c.id;
        }
    }
    static LONG At(int i) { return 20 * i + 5; }
    static QRgb ColorOf(int i) { return TestDesktop::ColorOf(i).rgb() & 0xFFFFFF; }
    const ObjectRuntime& Slot(int i) const { return app.m_aRuntime[i]; }
    // Each object's name and state (1 up, 2 hovered, 3 pressed), "+" when
    // selected, "~" when hidden; the hovered object, the pressed image and
    // caption; and a drag, rubber band or selection frame under way.
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
    // Its rectangle is there, its surface is not.
    const int broken = desk.AddObject("X", { 200, 10, 250, 60 });
    app.m_aRuntime[broken].pUp->Release();
    app.m_aRuntime[broken].pUp = nullptr;
    app.m_aRuntime[b].nActivates = target;
    // Within an object nothing changes or is drawn; from object to object the
    // link changes hands in one redraw; leaving A (no Mouse image) changes its
    // state, not its look.
    for (auto [x, y, state, frames] : { std::tuple { 50, 50, "T:1 A:1 B:2 H:1~ X:1 h:3 p:0 t:0", 1 },
             { 52, 55, "T:1 A:1 B:2 H:1~ X:1 h:3 p:0 t:0", 1 }, { 20, 20, "T:1~ A:2 B:1 H:1~ X:1 h:2 p:0 t:0", 2 },
             { 220, 20, "T:1~ A:1 B:1 H:1~ X:1 h:0 p:0 t:0", 2 } }) {
        Move(x, y);
        EXPECT_EQ(State(), state) << x << "," << y;
        EXPECT_EQ(desk.frames(), frames) << x << "," << y;
        EXPECT_EQ(desk.Shown(210, 110), Slot(target).bVisible ? ColorOf(target) : desk.Shown(300, 200));
    }
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
    for (auto [press, x, y, state] : { std::tuple { true, th.left + 1, th.top + 1, "Below:3 Hid:1~ C:1 h:0 p:1 t:0" },
             { false, th.left + 1, th.top + 1, "Below:2 Hid:1~ C:1 h:0 p:0 t:0" },
             { true, tc.left + 1, tc.top + 1, "Below:2 Hid:1~ C:3 h:0 p:0 t:3" },
             { false, tc.left + 1, tc.top + 1, "Below:2 Hid:1~ C:2 h:0 p:0 t:0" },
             { true, LONG(30), LONG(30), "Below:2 Hid:3~ C:2 h:0 p:2 t:0" } }) {
        press ? Press(x, y) : Release(x, y);
        EXPECT_EQ(State(), state) << press << " " << x << "," << y;
    }
    // Given up when the pointer leaves; back over it, hovered, not pressed.
    Move(150, 150);
    EXPECT_EQ(State(), "Below:2 Hid:1~ C:2 h:0 p:0 t:0");
    Move(30, 30);
    EXPECT_EQ(State(), "Below:2 Hid:1~ C:2 h:1 p:0 t:0");
    const int frames = desk.frames();
    Release(30, 30);
    EXPECT_EQ(desk.frames(), frames);

    // A caption press follows the captions under the pointer, and is dropped
    // over an image.
    const RECT ta
        = app.m_aObjects[desk.AddObject("A", { 110, 110, 140, 140 }, "Alpha", true, { 110, 150, 160, 160 })].rcText;
    const RECT tb
        = app.m_aObjects[desk.AddObject("B", { 200, 110, 230, 140 }, "Beta", true, { 200, 150, 250, 160 })].rcText;
    Move(ta.left + 1, ta.top + 1);
    Press(ta.left + 1, ta.top + 1);
    Move(tb.left + 1, tb.top + 1);
    EXPECT_EQ(State(), "Below:1 Hid:1~ C:2 A:1 B:2 h:5 p:0 t:5");
    Move(210, 120);
    EXPECT_EQ(State(), "Below:1 Hid:1~ C:2 A:1 B:2 h:5 p:0 t:0");
}

TEST_F(WindowTest, UnlockedDragMovesWhatIsSelectedAndAClickMovesNothing)
{
    app.m_bLocked = FALSE;
    const int i = desk.AddObject("A", { 10, 10, 60, 60 }, "Cap", true, { 5, 66, 70, 75 });
    desk.AddObject("H", { 0, 0, 100, 100 }, "", false);
    const RECT text = app.m_aObjects[i].rcText;
    const RECT& image = app.m_aObjects[i].rcObject;

    Press(20, 20);
    Release(20, 20);
    EXPECT_EQ(State(), "A:1 H:1~ h:0 p:0 t:0");
    EXPECT_EQ(desk.frames(), 0);
    EXPECT_FALSE(app.m_history.CanUndo());

    Press(20, 20);
    EXPECT_EQ(State(), "A:1+ H:1~ h:0 p:0 t:0 drag");
    EXPECT_EQ(app.m_rcSelection, (RECT { 5, 10, std::max<LONG>(60, text.right), text.bottom }));
    Move(25, 18);
    EXPECT_EQ(image, (RECT { 15, 8, 65, 58 }));
    Move(22, 30);
    Move(22, 30); // no offset: nothing to draw
    EXPECT_EQ(desk.frames(), 2);
    // A paint during the drag shows the objects where they are.
    app.ComposeScene();
    Release(22, 30);
    EXPECT_EQ(State(), "A:1 H:1~ h:0 p:0 t:0");
    EXPECT_EQ(image, (RECT { 12, 20, 62, 70 }));
    EXPECT_EQ(desk.Shown(12, 20), ColorOf(i));

    // A drag begun on the caption moves captions only.
    const RECT moved = app.m_aObjects[i].rcText;
    Drag({ moved.left + 1, moved.top + 1 }, { moved.left + 11, moved.top + 1 });
    EXPECT_EQ(app.m_aObjects[i].rcText.left, moved.left + 10);
    EXPECT_EQ(image, (RECT { 12, 20, 62, 70 }));

    // A press on the desktop ends a drag that lost its release.
    Press(20, 30);
    Move(30, 30);
    Press(200, 200);
    EXPECT_EQ(State(), "A:1 H:1~ h:0 p:0 t:0 band");
}

TEST_F(WindowTest, EachDragIsOneUndoStepUpToTheBoundNoneMidDragAndANewDesktopClearsThem)
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
    EXPECT_EQ(desk.Shown(25, 10), ColorOf(1));

    // Undo and redo wait for the drag to end; a new step drops the redo side.
    frame.OnEditRedo();
    Press(left + 1, 15);
    Move(left + 31, 15);
    frame.OnEditUndo();
    frame.OnEditRedo();
    EXPECT_EQ(left, 56);
    Release(left + 1, 15);
    EXPECT_FALSE(app.m_history.CanRedo());
    frame.OnEditUndo();
    EXPECT_EQ(left, 26);

    // Desktop settings clear the history only when the desktop is replaced.
    app.m_strDesktopFile = desk.Path("w.orv").c_str();
    const struct {
        std::vector<int> buttons;
        bool kept;
    } cases[] = { { { IDC_SAVE }, true }, { { IDCANCEL }, true }, { { IDC_REFRESH }, false },
        { { IDC_NEW, IDCANCEL }, false }, { { IDC_NEW, IDOK }, false } };
    for (const auto& c : cases) {
        app.SaveDesktop();
        Drag({ left + 1, 15 }, { left + 11, 15 });
        desk.ui.onDialog = [&](CDialog& dlg) {
            for (int id : c.buttons)
                Click(dlg, id);
        };
        Menu(300, 200, ID_OBJECT_PROPERTIES);
        EXPECT_EQ(app.m_history.CanUndo(), c.kept) << c.buttons.front() << " " << c.buttons.size();
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
        EXPECT_EQ(app.m_rcHighlight, (RECT { from.x, from.y, from.x, from.y }));
        Move(to.x, to.y);
        EXPECT_EQ(app.m_rcHighlight, (RECT { 10, 10, 100, 100 }));
        const int frames = desk.frames();
        Move(to.x, to.y); // the same band
        EXPECT_EQ(desk.frames(), frames);
        Release(to.x, to.y);
        EXPECT_EQ(State(), "In:1+ Part:1 Cap:1+ Hid:1~ h:0 p:0 t:0 frame");
        // The frame shrinks to the selection, in the highlight colour.
        EXPECT_EQ(app.m_rcHighlight, (RECT { 20, 20, std::max<LONG>(40, cap.right), cap.bottom }));
        EXPECT_EQ(desk.Shown(20, 30), 0xFFFF00u);
        // Pressing an unselected object adds it to the selection dragged.
        Press(100, 30);
        EXPECT_EQ(State(), "In:1+ Part:1+ Cap:1+ Hid:1~ h:0 p:0 t:0 drag frame");
        EXPECT_EQ(app.m_rcHighlight, app.m_rcSelection);
        Release(100, 30);
        EXPECT_EQ(State(), "In:1 Part:1 Cap:1 Hid:1~ h:0 p:0 t:0");
    }
    // Nothing inside: no frame remains.
    Drag({ 200, 150 }, { 300, 230 });
    EXPECT_EQ(State(), "In:1 Part:1 Cap:1 Hid:1~ h:0 p:0 t:0");
}

TEST_F(WindowTest, RightClickEndsTheSelectionThenChoosesTheSubject)
{
    app.m_bLocked = FALSE;
    desk.AddObject("A", { 20, 20, 40, 40 });
    const int hidden = desk.AddObject("H", { 100, 100, 140, 140 }, "H", false, { 100, 141, 140, 150 });
    const RECT text = app.m_aObjects[hidden].rcText;
    Drag({ 10, 10 }, { 50, 50 });
    ASSERT_EQ(State(), "A:1+ H:1~ h:0 p:0 t:0 frame");
    const int frames = desk.frames();

    std::string stateAtMenu;
    desk.ui.onMenu = [&](const std::vector<MenuItemState>&) {
        stateAtMenu = State() + " f:" + std::to_string(desk.frames() - frames);
        return 0u;
    };
    frame.OnRButtonDown(0, { text.left + 1, text.top + 1 });
    EXPECT_EQ(stateAtMenu, "A:1 H:1~ h:0 p:0 t:0 f:1");
    EXPECT_EQ(app.m_nCurObject, hidden);
    EXPECT_EQ(app.m_ptContext, (POINT { text.left + 1, text.top + 1 }));

    Menu(300, 10);
    EXPECT_EQ(app.m_nCurObject, 0);
    EXPECT_EQ(desk.frames(), frames + 1);
}

TEST_F(WindowTest, TheMenuOffersWhatItsSubjectAllows)
{
    Row({ "A" });
    std::vector<UINT> ids;
    EXPECT_EQ(Describe(Menu(200, 200), &ids),
        "&Insert...|&Copy-|&Paste-|&Delete-|P&roperties...|&Order...[Move &up-|Move to &top-|Move &down-|Move to "
        "&bottom-]||&Locked*|Object Li&st...");
    EXPECT_EQ(ids,
        (std::vector<UINT> { ID_OBJECT_INSERT, ID_OBJECT_COPY, ID_OBJECT_PASTE, ID_OBJECT_DELETE, ID_OBJECT_PROPERTIES,
            0, ID_ORDER_MOVE_UP, ID_ORDER_MOVE_TO_TOP, ID_ORDER_MOVE_DOWN, ID_ORDER_MOVE_TO_BOTTOM, 0,
            ID_DESKTOP_LOCKED, ID_OBJECT_LIST }));

    // The order items are grayed at either end of the drawing order.
    Row({ "B", "C" });
    for (auto [object, order] : { std::pair { 3, "Move &up-|Move to &top-|Move &down|Move to &bottom" },
             { 1, "Move &up|Move to &top|Move &down-|Move to &bottom-" },
             { 2, "Move &up|Move to &top|Move &down|Move to &bottom" } }) {
        const auto shown = Menu(At(object), 15);
        EXPECT_EQ(Describe(shown[5].submenu), order) << object;
        EXPECT_EQ(Describe({ shown[1], shown[3] }), "&Copy|&Delete");
    }

    // Locked toggles without a redraw and shows next time.
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_FALSE(app.m_bLocked);
    EXPECT_EQ(Describe({ Menu(200, 200)[7] }), "&Locked");
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_TRUE(app.m_bLocked);
    EXPECT_EQ(desk.frames(), 0);

    // A grayed item cannot be chosen.
    Menu(200, 200, ID_OBJECT_DELETE);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "C" }));
}

TEST_F(WindowTest, DialogCommandsOpenTheirDialogForTheSubject)
{
    Row({ "Cat", "Ant", "Bee" });
    int button = IDCANCEL;
    Names opened;
    desk.ui.onDialog = [&](CDialog& dialog) {
        std::string what = DialogWindowOf(dialog)->windowTitle().toStdString();
        if (CControl* name = dialog.GetDlgItem(IDC_OBJECT_NAME))
            what += " " + name->GetWindowText().str();
        opened.push_back(what);
        if (dialog.GetDlgItem(IDC_OBJECT_LIST)) {
            auto& list = Item<CListBox>(dialog, IDC_OBJECT_LIST);
            for (int k = 0; k < list.GetCount(); ++k) {
                CString text;
                list.GetText(k, text);
                if (text == "Bee")
                    list.SetCurSel(k);
            }
            Click(dialog, button);
        }
    };
    Menu(At(2), 15, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_INSERT);
    // The object list opens the properties of its pick and empties the clipboard.
    Menu(At(1), 15, ID_OBJECT_COPY);
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_TRUE(app.m_bClipboardFull);
    button = IDOK;
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_EQ(opened,
        (Names { "Object Properties Ant", "Desktop Settings", "Object Properties object1", "Objects", "Objects",
            "Object Properties Bee" }));
    EXPECT_EQ(app.m_nCurObject, 3);
    EXPECT_FALSE(app.m_bClipboardFull);
    EXPECT_EQ(desk.Names(), (Names { "Cat", "Ant", "Bee" }));
}

TEST_F(WindowTest, PastesStackOnTopUnderNumberedNamesUpToTheCapacity)
{
    Row({ "Button", "BUTTON.1", " Lamp", "lamp.1 " });
    // Names are unique ignoring case and surrounding white space.
    Commands({ { At(1), 15, ID_OBJECT_COPY, 0, "Button|BUTTON.1| Lamp|lamp.1 " },
        { 100, 100, ID_OBJECT_PASTE, 0, "Button|BUTTON.1| Lamp|lamp.1 |Button.2" },
        { 150, 120, ID_OBJECT_PASTE, 0, "Button|BUTTON.1| Lamp|lamp.1 |Button.2|Button.3" },
        { 200, 50, ID_OBJECT_PASTE, 0, "Button|BUTTON.1| Lamp|lamp.1 |Button.2|Button.3|Button.4" },
        { At(3), 15, ID_OBJECT_COPY, 0, "Button|BUTTON.1| Lamp|lamp.1 |Button.2|Button.3|Button.4" },
        { 250, 200, ID_OBJECT_PASTE, 0, "Button|BUTTON.1| Lamp|lamp.1 |Button.2|Button.3|Button.4| Lamp.2" } });
    for (auto [i, x, y] : { std::tuple { 5, 100, 100 }, { 6, 150, 120 }, { 7, 200, 50 } }) {
        EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { x, y, x + 10, y + 10 }));
        EXPECT_EQ(desk.Shown(x, y), ColorOf(1));
    }
    EXPECT_EQ(desk.frames(), 4);
    // The clipboard record holds no surface.
    EXPECT_EQ(Slot(51).pUp, nullptr);

    // At capacity a paste is refused and the clipboard kept.
    while (app.m_nObjects < 51)
        desk.AddObject(("O" + std::to_string(app.m_nObjects)).c_str(), { 0, 0, 4, 4 });
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.ui.messages, (Names { "Unable to insert new object:\nDesktop contains maximum objects allowed." }));
    EXPECT_EQ(app.m_nObjects, 51);
    EXPECT_EQ(app.m_aObjects[51].strName.str(), " Lamp");
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_EQ(desk.frames(), 4);
}

TEST_F(WindowTest, OrderCommandsReorderAndDeleteAsksThenMovesEverythingAboveDown)
{
    Row({ "A", "B", "C", "D" });
    // At(i) is where the i-th object of the row sits.
    Commands({ { At(4), 15, ID_ORDER_MOVE_TO_BOTTOM, 0, "D|A|B|C" }, { At(1), 15, ID_ORDER_MOVE_UP, 0, "D|B|A|C" },
        { At(1), 15, ID_ORDER_MOVE_TO_TOP, 0, "D|B|C|A" }, { At(3), 15, ID_ORDER_MOVE_DOWN, 0, "D|C|B|A" } });
    EXPECT_EQ(desk.frames(), 4);
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 80, 10, 90, 20 }));
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(desk.Shown(At(i), 15), ColorOf(i)) << i;

    Commands({ { At(1), 15, ID_OBJECT_COPY, 0, "D|C|B|A" }, { At(2), 15, ID_OBJECT_DELETE, IDCANCEL, "D|C|B|A" } });
    EXPECT_EQ(desk.ui.messages.back(), "Are you sure you want to delete 'B'?");
    EXPECT_EQ(desk.frames(), 4);
    Commands({ { At(2), 15, ID_OBJECT_DELETE, IDOK, "D|C|A" } });
    // Records keep their places; the rebuilt images follow them.
    EXPECT_EQ(app.m_aObjects[3].rcObject, (RECT { 20, 10, 30, 20 }));
    EXPECT_EQ(Slot(4).pUp, nullptr);
    EXPECT_EQ(desk.Shown(At(2), 15), desk.Shown(300, 200));
    EXPECT_EQ(desk.Shown(At(1), 15), ColorOf(1));
    EXPECT_EQ(desk.frames(), 5);
    // The topmost, then the copy's source: the copy survives.
    Commands({ { At(1), 15, ID_OBJECT_DELETE, IDOK, "D|C" }, { At(4), 15, ID_OBJECT_DELETE, IDOK, "C" },
        { 200, 200, ID_OBJECT_PASTE, 0, "C|A.1" } });
}

TEST_F(WindowTest, MouseActivateLinksFollowReordersAndPastes)
{
    Row({ "A", "B", "C" });
    const int target = desk.AddObject("T", { 200, 200, 210, 210 }, "", false);
    app.m_aObjects[2].strActivate = "T";
    app.ResolveActivationLinks();
    app.ApplyVisibility();
    Menu(At(1), 15, ID_OBJECT_COPY);
    Move(At(2), 15);
    ASSERT_EQ(State(), "A:1 B:2 C:1 T:1 h:2 p:0 t:0");
    // A reorder ends the hover and leaves the moved object in the clipboard.
    Menu(At(2), 15, ID_ORDER_MOVE_UP);
    EXPECT_EQ(State(), "A:1 C:1 B:1 T:1~ h:0 p:0 t:0");
    EXPECT_EQ(Slot(3).nActivates, target);
    // The pasted copy's link works at once.
    Menu(100, 100, ID_OBJECT_PASTE);
    Move(105, 105);
    EXPECT_EQ(State(), "A:1 C:1 B:1 T:1 B.1:2 h:5 p:0 t:0");
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
    CMainFrame* MakeFrame(bool shown = true)
    {
        CMainFrame* frame = CMainFrame::CreateObject();
        desk.app.m_pMainWnd = frame;
        EXPECT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr));
        if (shown) {
            frame->SetWindowPos(nullptr, 0, 0, 1024, 768, SWP_SHOWWINDOW);
            EXPECT_TRUE(WaitFor([&] { return frame->windowHandle()->isExposed(); }));
            QCoreApplication::processEvents();
        }
        return frame;
    }

    TestDesktop desk { 64, 48 };
};

TEST(StringResource, TheTitleIsTheFirstPieceOfTheFrameString)
{
    CString full;
    EXPECT_FALSE(LoadStringResource(9999, full));
    EXPECT_TRUE(full.IsEmpty());
    ASSERT_TRUE(LoadStringResource(IDR_MAINFRAME, full));
    CString piece;
    for (auto [text, index, found, expected] :
        { std::tuple { full.str().c_str(), 0, true, "Orvanta" }, { "a\n\nc", 1, true, "" }, { "a\n\nc", 2, true, "c" },
            { "a\n\nc", 3, false, "" }, { "whole", 0, true, "whole" } }) {
        EXPECT_EQ(AfxExtractSubString(piece, text, index, '\n'), found) << text << index;
        EXPECT_EQ(piece, expected);
    }
}

TEST_F(MainWindowTest, LoadFrameMakesTheWindowAScreenChangeLosesSurfacesDestroyReleases)
{
    CMainFrame* frame = MakeFrame(false);
    QWindow* window = frame->windowHandle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), QStringLiteral("Orvanta"));
    EXPECT_TRUE(window->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_FALSE(window->isVisible() || window->icon().isNull()); // start-up shows it once placed
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(frame->m_nIDHelp, UINT(IDR_MAINFRAME));
    EXPECT_FALSE(frame->Create(nullptr, "again", WS_POPUP));

    // Activation realises the palette, and restores, on an 8-bit display only.
    emit window->screen()->geometryChanged(window->screen()->geometry());
    EXPECT_TRUE(desk.app.m_pDDSPrimary->isLost() && desk.app.m_pDDSBack->isLost());
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
    EXPECT_TRUE(desk.app.m_pDDSPrimary->isLost());
    frame->OnQueryNewPalette();
    EXPECT_FALSE(desk.app.m_pDDSPrimary->isLost() || desk.app.m_pDDSBack->isLost());

    desk.AddObject("A", { 0, 0, 4, 4 });
    EXPECT_TRUE(frame->DestroyWindow());
    EXPECT_EQ(desk.app.m_pDD, nullptr);
    EXPECT_EQ(desk.app.m_aRuntime[1].pUp, nullptr);
    EXPECT_EQ(frame->windowHandle(), nullptr);
    EXPECT_FALSE(frame->DestroyWindow() || frame->PostMessage(WM_CLOSE));
    frame->presentFrame(QImage(4, 4, QImage::Format_RGB32), {});
    // Made without a class or from a rectangle, it still covers the screen.
    CMainFrame other;
    ASSERT_TRUE(other.Create(nullptr, "t", WS_POPUP, RECT { 0, 0, 10, 10 }));
    EXPECT_EQ(other.windowHandle()->geometry(), QRect(0, 0, 1024, 768));
}

TEST_F(MainWindowTest, TheWorkAreaOffsetMapsPresentationPointerAndKeys)
{
    CMainFrame* frame = MakeFrame(false);
    ASSERT_TRUE(frame->SetWindowPos(nullptr, 30, 40, 200, 100, SWP_SHOWWINDOW));
    QWindow* window = frame->windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));

    // Desktop point (x, y) shows at window point (x - 30, y - 40).
    QImage desktop(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < desktop.height(); ++y)
        for (int x = 0; x < desktop.width(); ++x)
            desktop.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    frame->setKeepPresentedFrame(true);
    frame->presentFrame(desktop, {});
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (QPoint p : { QPoint(0, 0), QPoint(199, 0), QPoint(0, 99), QPoint(199, 99), QPoint(123, 45) })
        EXPECT_EQ(shown.pixel(p), desktop.pixel(p + QPoint(30, 40))) << p.x() << "," << p.y();
    EXPECT_EQ(frame->presentedFrame(), desktop.copy(30, 40, 200, 100));
    // Only a changed rectangle reaches the window.
    QImage white = desktop;
    white.fill(Qt::white);
    const RECT changed[] = { { 40, 50, 60, 70 } };
    frame->presentFrame(white, changed);
    const QImage after = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    for (QPoint p : { QPoint(10, 10), QPoint(29, 29) })
        EXPECT_EQ(after.pixel(p), qRgb(255, 255, 255));
    for (QPoint p : { QPoint(9, 9), QPoint(30, 30), QPoint(123, 45) })
        EXPECT_EQ(after.pixel(p), desktop.pixel(p + QPoint(30, 40))) << p.x() << "," << p.y();
    EXPECT_EQ(frame->presentedFrame(), after);

    // Window point (5, 6) is desktop point (35, 46): a drag there moves A.
    CDesktopApp& app = desk.app;
    app.m_bLocked = FALSE;
    const int a = desk.AddObject("A", { 32, 42, 40, 47 });
    SendMouse(window, QEvent::MouseButtonPress, QPoint(5, 6), Qt::LeftButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseMove, QPoint(6, 5), Qt::NoButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseButtonRelease, QPoint(6, 5), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(app.m_aObjects[a].rcObject, (RECT { 33, 41, 41, 46 }));
    SendMouse(window, QEvent::MouseButtonPress, QPoint(4, 3), Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(app.m_ptContext, (POINT { 34, 43 }));
    EXPECT_EQ(app.m_nCurObject, a);
    POINT point { 35, 46 };
    frame->ClientToScreen(&point);
    const QPoint global = window->mapToGlobal(QPoint(5, 6));
    EXPECT_EQ(point, (POINT { global.x(), global.y() }));

    // F2 redraws; keys the program has no use for do nothing.
    const int frames = desk.frames();
    for (int key :
        { Qt::Key_F2, Qt::Key_F1, Qt::Key_A, Qt::Key_Escape, Qt::Key_Delete, Qt::Key_Left, Qt::Key_VolumeUp })
        SendKey(window, key);
    EXPECT_EQ(desk.frames(), frames + 1);
}

TEST_F(MainWindowTest, EveryPaintComposesOnceAMinimisedPaintAsksFirstAndF12Ends)
{
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    EXPECT_GE(desk.frames(), 1); // the first exposure painted
    EXPECT_TRUE(frame->OnEraseBkgnd());

    int frames = desk.frames();
    QExposeEvent small(QRegion(10, 10, 1, 1));
    QCoreApplication::sendEvent(window, &small);
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(desk.frames(), frames + 2);
    EXPECT_TRUE(desk.ui.messages.empty());

    int framesWhenAsked = -1;
    desk.ui.onMessageBox = [&](const CString&, UINT type) {
        EXPECT_EQ(type, UINT(MB_OK));
        framesWhenAsked = desk.frames();
        return IDOK;
    };
    frames = desk.frames();
    window->setWindowStates(Qt::WindowMinimized);
    ASSERT_TRUE(frame->IsIconic());
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(desk.ui.messages, (Names { "Yeah, guess what!" }));
    EXPECT_EQ(framesWhenAsked, frames);
    EXPECT_EQ(desk.frames(), frames + 1);
    window->setWindowStates(Qt::WindowNoState);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(desk.ui.messages.size(), 1u);

    // F12 ends the program with status 0, releasing the display.
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, window, [&] { SendKey(window, Qt::Key_F12); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(desk.app.Run(), 0);
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    EXPECT_EQ(desk.app.m_pDD, nullptr);
    EXPECT_EQ(desk.app.m_pMainWnd, nullptr);
}

TEST(MainWindowPalette, RealisationAttachesTheDesktopPaletteAgain)
{
    DisplayDepth depth(8);
    TestDesktop desk(16, 8);
    CDesktopApp& app = desk.app;
    ASSERT_TRUE(desk.display.ok);
    PALETTEENTRY ours[256];
    PALETTEENTRY other[256];
    for (int i = 0; i < 256; ++i) {
        ours[i] = PALETTEENTRY { BYTE(i), 0, 0, 0 };
        other[i] = PALETTEENTRY { 0, BYTE(i), 0, 0 };
    }
    IDirectDrawPalette* pOther = nullptr;
    ASSERT_EQ(app.m_pDD->CreatePalette(DDPCAPS_8BIT, ours, &app.m_pDDPal, nullptr), DD_OK);
    ASSERT_EQ(app.m_pDD->CreatePalette(DDPCAPS_8BIT, other, &pOther, nullptr), DD_OK);
    app.m_pDDSPrimary->SetPalette(pOther);
    pOther->Release();

    CMainFrame frame;
    frame.OnQueryNewPalette();
    app.m_pDDSPrimary->Blt(&app.m_rcScreen, app.m_pDDSBack, nullptr, DDBLT_WAIT, nullptr);
    const QImage& shown = desk.display.target.lastFrame;
    ASSERT_EQ(shown.format(), QImage::Format_Indexed8);
    ASSERT_EQ(shown.colorCount(), 256);
    EXPECT_EQ(shown.colorTable()[200], qRgb(200, 0, 0));
}

// The context menu as a real Qt popup, worked with the keyboard: "&Locked";
// "&Copy" grayed on the desktop; "&Copy" on an object. A popup still open
// after two seconds is closed.
TEST(ContextMenuPopup, OpensInitialisedAndDeliversTheChosenCommand)
{
    auto desk = std::make_unique<TestDesktop>();
    desk->AddObject("A", { 10, 10, 30, 30 });
    CDesktopApp& app = desk->app;
    SetUiScript(nullptr);
    CMainFrame frame;
    struct Case {
        POINT at;
        std::vector<int> keys;
        bool clipboard;
    };
    for (const Case& c : { Case { { 20, 20 }, { Qt::Key_L }, false },
             Case { { 200, 200 }, { Qt::Key_C, Qt::Key_Escape }, false }, Case { { 20, 20 }, { Qt::Key_C }, true } }) {
        bool opened = false;
        QObject context;
        QTimer::singleShot(0, &context, [&] {
            QWidget* popup = QApplication::activePopupWidget();
            opened = popup != nullptr;
            for (int key : c.keys) {
                if (!popup)
                    return;
                QKeyEvent press(
                    QEvent::KeyPress, key, Qt::NoModifier, key < 0x100 ? QString(QChar(key)).toLower() : QString());
                QApplication::sendEvent(popup, &press);
                popup = QApplication::activePopupWidget();
            }
        });
        QTimer::singleShot(2000, &context, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        frame.OnRButtonDown(0, c.at);
        EXPECT_TRUE(opened);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_EQ(bool(app.m_bClipboardFull), c.clipboard);
        EXPECT_FALSE(app.m_bLocked);
    }
    EXPECT_EQ(app.m_aObjects[51].strName.str(), "A");
    SetUiScript(&desk->ui);
}

} // namespace
