// The desktop window: pointer and keys, the context menu and its commands,
// and the window itself (creation, presentation, coordinates, its messages).

#include "platform/FrameWindow.h"
#include "platform/Screen.h"
#include "platform/StringResource.h"
#include "res/resource.h"
#include "support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Names = std::vector<std::string>;

const MenuItemState* FindMenuItem(const std::vector<MenuItemState>& items, UINT id)
{
    for (const MenuItemState& item : items) {
        if (item.id == id)
            return &item;
        if (const MenuItemState* found = FindMenuItem(item.submenu, id))
            return found;
    }
    return nullptr;
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
    bool Enabled(const std::vector<MenuItemState>& items, UINT id)
    {
        const MenuItemState* item = FindMenuItem(items, id);
        EXPECT_NE(item, nullptr) << id;
        return item && item->enabled;
    }
    // Objects 20 pixels apart in a row, with 10x10 images.
    void Row(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            const LONG x = 20 * app.m_nObjects;
            desk.AddObject(name, { x, 10, x + 10, 20 });
        }
    }
    static LONG At(int i) { return 20 * i + 5; }
    const ObjectRuntime& Slot(int i) const { return app.m_aRuntime[i]; }

    TestDesktop desk;
    CDesktopApp& app = desk.app;
    CMainFrame frame;
};

TEST_F(WindowTest, HoverPicksTheTopmostShownObjectAndRedrawsOnlyOnChange)
{
    const int target = desk.AddObject("Target", { 200, 100, 220, 120 }, "", false);
    const int a = desk.AddObject("A", { 10, 10, 60, 60 });
    const int b = desk.AddObject("B", { 40, 40, 90, 90 });
    const int hidden = desk.AddObject("Hidden", { 30, 30, 70, 70 }, "", false);
    // Its rectangle is there, its surface is not.
    const int broken = desk.AddObject("Broken", { 200, 10, 250, 60 });
    app.m_aRuntime[broken].pUp->Release();
    app.m_aRuntime[broken].pUp = nullptr;
    app.m_aRuntime[b].nActivates = target;

    Move(50, 50);
    EXPECT_EQ(app.m_nHoverObject, b);
    EXPECT_EQ(Slot(b).nState, 2);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_EQ(Slot(hidden).nState, 1);
    EXPECT_TRUE(Slot(target).bVisible);
    EXPECT_EQ(desk.frames(), 1);
    // Within the same object nothing changes and nothing is drawn.
    Move(52, 55);
    EXPECT_EQ(desk.frames(), 1);
    EXPECT_EQ(desk.Shown(210, 110), TestDesktop::ColorOf(target).rgb() & 0xFFFFFF);

    // From object to object: the link changes hands in one redraw.
    Move(20, 20);
    EXPECT_EQ(app.m_nHoverObject, a);
    EXPECT_EQ(Slot(b).nState, 1);
    EXPECT_FALSE(Slot(target).bVisible);
    EXPECT_EQ(desk.frames(), 2);

    // A has no Mouse image: leaving it changes its state, not its look.
    Move(220, 20);
    EXPECT_EQ(app.m_nHoverObject, 0);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_EQ(desk.frames(), 2);
}

TEST_F(WindowTest, LockedPressesFollowThePressHitTest)
{
    const int below = desk.AddObject("Below", { 10, 10, 100, 100 });
    // Hidden: its image still takes a press, its caption does not.
    const int hidden = desk.AddObject("Hidden", { 20, 20, 50, 50 }, "Hid", false, { 60, 20, 90, 30 });
    const RECT hiddenText = app.m_aObjects[hidden].rcText;

    Press(hiddenText.left + 1, hiddenText.top + 1);
    EXPECT_EQ(app.m_nPressedImage, below);
    EXPECT_EQ(Slot(below).nState, 3);
    Release(hiddenText.left + 1, hiddenText.top + 1);
    EXPECT_EQ(Slot(below).nState, 2);
    EXPECT_EQ(app.m_nPressedImage, 0);

    Press(30, 30);
    EXPECT_EQ(app.m_nPressedImage, hidden);
    EXPECT_EQ(Slot(below).nState, 2);
    // Given up when the pointer leaves; back over it, hovered, not pressed.
    Move(150, 150);
    EXPECT_EQ(Slot(hidden).nState, 1);
    EXPECT_EQ(app.m_nPressedImage, 0);
    Move(30, 30);
    const int frames = desk.frames();
    Release(30, 30);
    EXPECT_EQ(desk.frames(), frames);
}

TEST_F(WindowTest, CaptionPressesComeBeforeImagesAndFollowCaptions)
{
    const int a = desk.AddObject("A", { 10, 10, 40, 40 }, "Alpha", true, { 10, 50, 60, 60 });
    const int b = desk.AddObject("B", { 100, 10, 130, 40 }, "Beta", true, { 100, 50, 150, 60 });
    const RECT ta = app.m_aObjects[a].rcText;
    const RECT tb = app.m_aObjects[b].rcText;
    const int c = desk.AddObject("C", { 200, 10, 260, 60 }, "Over", true, { 210, 30, 250, 40 });
    const RECT tc = app.m_aObjects[c].rcText;

    Press(tc.left + 1, tc.top + 1);
    EXPECT_EQ(app.m_nPressedText, c);
    EXPECT_EQ(app.m_nPressedImage, 0);
    Release(tc.left + 1, tc.top + 1);

    Move(ta.left + 1, ta.top + 1);
    Press(ta.left + 1, ta.top + 1);
    EXPECT_EQ(app.m_nPressedText, a);
    Move(tb.left + 1, tb.top + 1);
    EXPECT_EQ(app.m_nPressedText, b);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_EQ(Slot(b).nState, 2);
    // Over an image only: the caption press is dropped.
    Move(110, 20);
    EXPECT_EQ(app.m_nPressedText, 0);
    EXPECT_EQ(app.m_nHoverObject, b);
}

TEST_F(WindowTest, UnlockedDragMovesWhatIsSelectedAndAClickMovesNothing)
{
    app.m_bLocked = FALSE;
    const int i = desk.AddObject("A", { 10, 10, 60, 60 }, "Cap", true, { 5, 66, 70, 75 });
    desk.AddObject("Hidden", { 0, 0, 100, 100 }, "", false);
    const RECT image = app.m_aObjects[i].rcObject;
    const RECT text = app.m_aObjects[i].rcText;

    Press(20, 20);
    Release(20, 20);
    EXPECT_EQ(desk.frames(), 0);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_EQ(app.m_aObjects[i].rcObject, image);

    Press(20, 20);
    EXPECT_TRUE(app.m_bDragImage);
    EXPECT_TRUE(Slot(i).bSelected);
    EXPECT_EQ(app.m_rcSelection, (RECT { 5, 10, std::max<LONG>(60, text.right), text.bottom }));
    Move(25, 18);
    EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { 15, 8, 65, 58 }));
    Move(22, 30);
    EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { 12, 20, 62, 70 }));
    Move(22, 30); // no offset: nothing to draw
    EXPECT_EQ(desk.frames(), 2);
    // A paint during the drag shows the objects where they are.
    app.ComposeScene();
    EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { 12, 20, 62, 70 }));
    Release(22, 30);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { 12, 20, 62, 70 }));
    EXPECT_EQ(desk.Shown(12, 20), TestDesktop::ColorOf(i).rgb() & 0xFFFFFF);

    // A drag begun on the caption moves captions only.
    const RECT moved = app.m_aObjects[i].rcText;
    Drag({ moved.left + 1, moved.top + 1 }, { moved.left + 11, moved.top + 1 });
    EXPECT_EQ(app.m_aObjects[i].rcText.left, moved.left + 10);
    EXPECT_EQ(app.m_aObjects[i].rcObject, (RECT { 12, 20, 62, 70 }));
}

TEST_F(WindowTest, RubberBandSelectsShownObjectsWhollyInsideInEveryDirection)
{
    app.m_bLocked = FALSE;
    const int inside = desk.AddObject("Inside", { 20, 20, 40, 40 });
    const int partial = desk.AddObject("Partial", { 90, 20, 130, 40 });
    const int captionOnly = desk.AddObject("CaptionOnly", {}, "Cap", true, { 20, 60, 60, 70 });
    const int hidden = desk.AddObject("Hidden", { 60, 20, 80, 40 }, "", false);
    const RECT cap = app.m_aObjects[captionOnly].rcText;

    const POINT corners[][2] = { { { 10, 10 }, { 100, 100 } }, { { 100, 100 }, { 10, 10 } },
        { { 100, 10 }, { 10, 100 } }, { { 10, 100 }, { 100, 10 } } };
    for (const auto& corner : corners) {
        Press(corner[0].x, corner[0].y);
        EXPECT_EQ(app.m_rcHighlight, (RECT { corner[0].x, corner[0].y, corner[0].x, corner[0].y }));
        Move(corner[1].x, corner[1].y);
        EXPECT_EQ(app.m_rcHighlight, (RECT { 10, 10, 100, 100 }));
        const int frames = desk.frames();
        Move(corner[1].x, corner[1].y); // the same band
        EXPECT_EQ(desk.frames(), frames);
        Release(corner[1].x, corner[1].y);
        EXPECT_TRUE(app.m_bShowSelection);
        EXPECT_TRUE(Slot(inside).bSelected && Slot(captionOnly).bSelected);
        EXPECT_FALSE(Slot(partial).bSelected || Slot(hidden).bSelected);
        // The frame shrinks to the selection.
        EXPECT_EQ(app.m_rcHighlight, (RECT { 20, 20, std::max<LONG>(40, cap.right), cap.bottom }));
        // Pressing an unselected object adds it to the selection dragged.
        Press(100, 30);
        EXPECT_TRUE(app.m_bDragImage);
        EXPECT_TRUE(Slot(partial).bSelected);
        EXPECT_EQ(app.m_rcHighlight, app.m_rcSelection);
        Release(100, 30);
        EXPECT_FALSE(app.m_bShowSelection);
        for (int i = 1; i < app.m_nObjects; ++i)
            EXPECT_FALSE(Slot(i).bSelected) << i;
    }

    // Nothing inside: no frame remains.
    Drag({ 200, 150 }, { 300, 230 });
    EXPECT_FALSE(app.m_bRubberBand || app.m_bShowSelection);
}

TEST_F(WindowTest, APressOnTheDesktopEndsADragThatLostItsRelease)
{
    app.m_bLocked = FALSE;
    const int i = desk.AddObject("A", { 10, 10, 60, 60 });
    Press(20, 20);
    Move(30, 30);
    Press(200, 200);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_TRUE(app.m_bRubberBand);
}

TEST_F(WindowTest, RightClickEndsTheSelectionThenChoosesTheSubject)
{
    app.m_bLocked = FALSE;
    const int a = desk.AddObject("A", { 20, 20, 40, 40 });
    const int hidden = desk.AddObject("Hidden", { 100, 100, 140, 140 }, "H", false, { 100, 141, 140, 150 });
    const RECT text = app.m_aObjects[hidden].rcText;
    Drag({ 10, 10 }, { 50, 50 });
    ASSERT_TRUE(Slot(a).bSelected);
    const int frames = desk.frames();

    bool frameGoneBeforeMenu = false;
    desk.ui.onMenu = [&](const std::vector<MenuItemState>&) {
        frameGoneBeforeMenu = desk.frames() == frames + 1 && !app.m_bShowSelection;
        return 0u;
    };
    frame.OnRButtonDown(0, { text.left + 1, text.top + 1 });
    EXPECT_TRUE(frameGoneBeforeMenu);
    EXPECT_FALSE(Slot(a).bSelected);
    EXPECT_EQ(app.m_nCurObject, hidden);
    EXPECT_EQ(app.m_ptContext, (POINT { text.left + 1, text.top + 1 }));
    EXPECT_TRUE(frame.m_bCanInsert && frame.m_bCanCopy && frame.m_bCanDelete && frame.m_bCanOrder);

    Menu(300, 10);
    EXPECT_EQ(app.m_nCurObject, 0);
    EXPECT_FALSE(frame.m_bCanCopy || frame.m_bCanDelete || frame.m_bCanOrder);
    EXPECT_EQ(desk.frames(), frames + 1);
}

TEST_F(WindowTest, OnlyF2OfTheseKeysRedraws)
{
    frame.OnKeyDown(VK_F2, 1, 0);
    EXPECT_EQ(desk.frames(), 1);
    for (UINT key : { 0x1Bu, 0x2Eu, 0x25u, 0x26u, 0x27u, 0x28u, 0x70u, 0x7Au, UINT('A') })
        frame.OnKeyDown(key, 1, 0);
    EXPECT_EQ(desk.frames(), 1);
}

TEST_F(WindowTest, TheMenuOffersWhatItsSubjectAllows)
{
    Row({ "A" });
    const auto items = Menu(200, 200);
    struct Expected {
        const char* text;
        UINT id;
        bool enabled;
    };
    const Expected expected[] = { { "&Insert...", ID_OBJECT_INSERT, true }, { "&Copy", ID_OBJECT_COPY, false },
        { "&Paste", ID_OBJECT_PASTE, false }, { "&Delete", ID_OBJECT_DELETE, false },
        { "P&roperties...", ID_OBJECT_PROPERTIES, true }, { "&Order...", 0, true }, { "", 0, true },
        { "&Locked", ID_DESKTOP_LOCKED, true }, { "Object Li&st...", ID_OBJECT_LIST, true } };
    ASSERT_EQ(items.size(), std::size(expected));
    for (size_t k = 0; k < items.size(); ++k) {
        EXPECT_EQ(items[k].text.str(), expected[k].text) << k;
        EXPECT_EQ(items[k].id, expected[k].id) << k;
        EXPECT_EQ(items[k].enabled, expected[k].enabled) << k;
        EXPECT_EQ(items[k].checked, k == 7) << k;
    }
    const Expected order[] = { { "Move &up", ID_ORDER_MOVE_UP, false }, { "Move to &top", ID_ORDER_MOVE_TO_TOP, false },
        { "Move &down", ID_ORDER_MOVE_DOWN, false }, { "Move to &bottom", ID_ORDER_MOVE_TO_BOTTOM, false } };
    ASSERT_EQ(items[5].submenu.size(), std::size(order));
    for (size_t k = 0; k < std::size(order); ++k) {
        EXPECT_EQ(items[5].submenu[k].text.str(), order[k].text);
        EXPECT_EQ(items[5].submenu[k].id, order[k].id);
        EXPECT_FALSE(items[5].submenu[k].enabled);
    }

    // The order items are grayed at either end of the drawing order.
    Row({ "B", "C" });
    struct OrderCase {
        int object;
        bool up, down;
    };
    for (OrderCase c : { OrderCase { 3, false, true }, OrderCase { 1, true, false }, OrderCase { 2, true, true } }) {
        const auto shown = Menu(At(c.object), 15);
        EXPECT_EQ(Enabled(shown, ID_ORDER_MOVE_UP), c.up) << c.object;
        EXPECT_EQ(Enabled(shown, ID_ORDER_MOVE_TO_TOP), c.up) << c.object;
        EXPECT_EQ(Enabled(shown, ID_ORDER_MOVE_DOWN), c.down) << c.object;
        EXPECT_EQ(Enabled(shown, ID_ORDER_MOVE_TO_BOTTOM), c.down) << c.object;
        EXPECT_TRUE(Enabled(shown, ID_OBJECT_COPY) && Enabled(shown, ID_OBJECT_DELETE));
    }

    // Locked toggles without a redraw and shows next time.
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_FALSE(app.m_bLocked);
    EXPECT_FALSE(FindMenuItem(Menu(200, 200), ID_DESKTOP_LOCKED)->checked);
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_TRUE(FindMenuItem(Menu(200, 200), ID_DESKTOP_LOCKED)->checked);
    EXPECT_EQ(desk.frames(), 0);

    // A grayed item cannot be chosen.
    Menu(200, 200, ID_OBJECT_DELETE);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "C" }));
}

TEST_F(WindowTest, DialogCommandsOpenTheirDialogForTheSubject)
{
    Row({ "A", "B" });
    std::vector<std::string> opened;
    desk.ui.onDialog = [&](CDialog& dialog) {
        std::string what = DialogWindowOf(dialog)->windowTitle().toStdString();
        if (CControl* name = dialog.GetDlgItem(IDC_OBJECT_NAME))
            what += " " + name->GetWindowText().str();
        opened.push_back(what);
    };
    Menu(At(2), 15, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_INSERT);
    EXPECT_EQ(opened, (Names { "Object Properties B", "Desktop Settings", "Object Properties object1" }));
    EXPECT_EQ(desk.Names(), (Names { "A", "B" }));
}

TEST_F(WindowTest, PastesStackOnTopUnderNumberedNames)
{
    Row({ "Button", "BUTTON.1", " Lamp", "lamp.1 " });
    Menu(At(1), 15, ID_OBJECT_COPY);
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_EQ(desk.frames(), 0);

    const POINT points[] = { { 100, 100 }, { 150, 120 }, { 200, 50 } };
    for (POINT pt : points)
        Menu(pt.x, pt.y, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.Names(), (Names { "Button", "BUTTON.1", " Lamp", "lamp.1 ", "Button.2", "Button.3", "Button.4" }));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(
            app.m_aObjects[5 + k].rcObject, (RECT { points[k].x, points[k].y, points[k].x + 10, points[k].y + 10 }));
        EXPECT_NE(Slot(5 + k).pUp, nullptr);
        EXPECT_EQ(desk.Shown(points[k].x, points[k].y), TestDesktop::ColorOf(1).rgb() & 0xFFFFFF);
    }
    EXPECT_EQ(desk.frames(), 3);
    // The clipboard record holds no surface.
    EXPECT_EQ(Slot(51).pUp, nullptr);

    // Names are unique ignoring case and surrounding white space.
    Menu(At(3), 15, ID_OBJECT_COPY);
    Menu(250, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(app.m_aObjects[8].strName.str(), " Lamp.2");
}

TEST_F(WindowTest, PasteAtCapacityIsRefusedAndKeepsTheClipboard)
{
    for (int i = 1; i <= 50; ++i)
        desk.AddObject(("O" + std::to_string(i)).c_str(), { 0, 0, 4, 4 });
    Menu(2, 2, ID_OBJECT_COPY);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.ui.messages, (Names { "Unable to insert new object:\nDesktop contains maximum objects allowed." }));
    EXPECT_EQ(app.m_nObjects, 51);
    EXPECT_EQ(app.m_aObjects[51].strName.str(), "O50");
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_EQ(desk.frames(), 0);
}

TEST_F(WindowTest, DeleteAsksFirstThenMovesEverythingAboveDown)
{
    Row({ "A", "B", "C", "D" });
    UINT type = 0;
    desk.ui.onMessageBox = [&](const CString&, UINT t) {
        type = t;
        return IDCANCEL;
    };
    Menu(At(1), 15, ID_OBJECT_COPY);
    Menu(At(2), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(desk.ui.messages, (Names { "Are you sure you want to delete 'B'?" }));
    EXPECT_EQ(type, UINT(MB_OKCANCEL));
    EXPECT_EQ(desk.Names(), (Names { "A", "B", "C", "D" }));
    EXPECT_EQ(desk.frames(), 0);

    desk.ui.onMessageBox = nullptr;
    Menu(At(2), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(desk.Names(), (Names { "A", "C", "D" }));
    // Records keep their places; the rebuilt images follow them.
    EXPECT_EQ(app.m_aObjects[2].rcObject, (RECT { 60, 10, 70, 20 }));
    EXPECT_NE(Slot(3).pUp, nullptr);
    EXPECT_EQ(Slot(4).pUp, nullptr);
    EXPECT_EQ(desk.Shown(45, 15), desk.Shown(300, 200));
    EXPECT_EQ(desk.frames(), 1);

    // The topmost, then the copy's source: the copy survives.
    Menu(At(4), 15, ID_OBJECT_DELETE);
    Menu(At(1), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(desk.Names(), (Names { "C" }));
    EXPECT_EQ(Slot(2).pUp, nullptr);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(desk.Names(), (Names { "C", "A.1" }));
}

TEST_F(WindowTest, OrderCommandsMoveWithinTheDrawingOrderOnly)
{
    Row({ "A", "B", "C", "D" });
    struct Step {
        int at;
        UINT command;
        Names names;
    };
    const Step steps[]
        = { { 4, ID_ORDER_MOVE_TO_BOTTOM, { "D", "A", "B", "C" } }, { 1, ID_ORDER_MOVE_UP, { "D", "B", "A", "C" } },
              { 1, ID_ORDER_MOVE_TO_TOP, { "D", "B", "C", "A" } }, { 3, ID_ORDER_MOVE_DOWN, { "D", "C", "B", "A" } } };
    for (const Step& step : steps) {
        // Positions are where each object sits; `at` names its first place.
        Menu(At(step.at), 15, step.command);
        EXPECT_EQ(desk.Names(), step.names);
    }
    EXPECT_EQ(desk.frames(), 4);
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 80, 10, 90, 20 }));
    for (int i = 1; i <= 4; ++i)
        EXPECT_NE(Slot(i).pUp, nullptr) << i;
}

TEST_F(WindowTest, MouseActivateLinksFollowReordersAndPastes)
{
    Row({ "A", "B", "C" });
    const int target = desk.AddObject("Target", { 200, 200, 210, 210 }, "", false);
    app.m_aObjects[2].strActivate = "Target";
    app.ResolveActivationLinks();
    app.ApplyVisibility();
    Menu(At(1), 15, ID_OBJECT_COPY);
    Move(At(2), 15);
    ASSERT_TRUE(Slot(target).bVisible);

    // A reorder ends the hover and leaves the moved object in the clipboard.
    Menu(At(2), 15, ID_ORDER_MOVE_UP);
    EXPECT_EQ(desk.Names(), (Names { "A", "C", "B", "Target" }));
    EXPECT_EQ(app.m_nHoverObject, 0);
    EXPECT_FALSE(Slot(target).bVisible);
    EXPECT_EQ(Slot(3).nActivates, target);

    // The pasted copy's link works at once.
    Menu(100, 100, ID_OBJECT_PASTE);
    const int pasted = app.m_nObjects - 1;
    EXPECT_EQ(app.m_aObjects[pasted].strName.str(), "B.1");
    EXPECT_EQ(Slot(pasted).nActivates, target);
    Move(105, 105);
    EXPECT_EQ(app.m_nHoverObject, pasted);
    EXPECT_TRUE(Slot(target).bVisible);
}

TEST_F(WindowTest, ObjectListOpensThePropertiesOfThePickAndEmptiesTheClipboard)
{
    Row({ "Cat", "Ant", "Bee" });
    Menu(At(1), 15, ID_OBJECT_COPY);
    int button = IDCANCEL;
    std::vector<std::string> opened;
    desk.ui.onDialog = [&](CDialog& dialog) {
        if (CControl* name = dialog.GetDlgItem(IDC_OBJECT_NAME)) {
            opened.push_back(name->GetWindowText().str());
            return;
        }
        auto& list = Item<CListBox>(dialog, IDC_OBJECT_LIST);
        for (int k = 0; k < list.GetCount(); ++k) {
            CString text;
            list.GetText(k, text);
            if (text == "Bee")
                list.SetCurSel(k);
        }
        Click(dialog, button);
    };
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(app.m_bClipboardFull);

    button = IDOK;
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_EQ(opened, (Names { "Bee" }));
    EXPECT_EQ(app.m_nCurObject, 3);
    EXPECT_FALSE(app.m_bClipboardFull);
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

// Records what reaches the handlers.
class RecordingFrame : public CFrameWnd {
public:
    void OnLButtonDown(UINT flags, POINT point) override { record("down", flags, point); }
    void OnLButtonUp(UINT flags, POINT point) override { record("up", flags, point); }
    void OnMouseMove(UINT flags, POINT point) override { record("move", flags, point); }
    void OnRButtonDown(UINT flags, POINT point) override { record("right", flags, point); }
    void OnKeyDown(UINT nChar, UINT, UINT) override { keys.push_back(nChar); }

    std::vector<std::string> events;
    std::vector<UINT> keys;

private:
    void record(const char* what, UINT flags, POINT point)
    {
        events.push_back(std::string(what) + " " + std::to_string(flags) + " " + std::to_string(point.x) + ","
            + std::to_string(point.y));
    }
};

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
    ASSERT_TRUE(LoadStringResource(IDR_MAINFRAME, full));
    CString piece;
    EXPECT_TRUE(AfxExtractSubString(piece, full, 0, '\n'));
    EXPECT_EQ(piece, "Orvanta");
    EXPECT_FALSE(LoadStringResource(9999, full));
    EXPECT_TRUE(full.IsEmpty());
    struct Case {
        const char* text;
        int index;
        bool found;
        const char* piece;
    };
    for (Case c : { Case { "a\n\nc", 1, true, "" }, Case { "a\n\nc", 2, true, "c" }, Case { "a\n\nc", 3, false, "" },
             Case { "whole", 0, true, "whole" } }) {
        EXPECT_EQ(AfxExtractSubString(piece, c.text, c.index, '\n'), c.found) << c.text << c.index;
        EXPECT_EQ(piece, c.piece);
    }
}

TEST_F(MainWindowTest, LoadFrameMakesATitledFramelessWindowOverTheWholeScreen)
{
    CMainFrame* frame = MakeFrame(false);
    QWindow* window = frame->windowHandle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), QStringLiteral("Orvanta"));
    EXPECT_TRUE(window->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_FALSE(window->isVisible()); // start-up shows it once placed
    EXPECT_FALSE(window->icon().isNull());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(frame->m_nIDHelp, UINT(IDR_MAINFRAME));
    EXPECT_FALSE(frame->Create(nullptr, "again", WS_POPUP));
}

TEST_F(MainWindowTest, TheWorkAreaOffsetMapsPresentationAndPointerBothWays)
{
    RecordingFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, "t", WS_POPUP, RECT { 0, 0, 10, 10 }));
    ASSERT_TRUE(frame.SetWindowPos(nullptr, 30, 40, 200, 100, SWP_SHOWWINDOW));
    QWindow* window = frame.windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));

    // Desktop point (x, y) shows at window point (x - 30, y - 40).
    QImage desktop(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < desktop.height(); ++y)
        for (int x = 0; x < desktop.width(); ++x)
            desktop.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    frame.setKeepPresentedFrame(true);
    frame.presentFrame(desktop, {});
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (QPoint p : { QPoint(0, 0), QPoint(199, 0), QPoint(0, 99), QPoint(199, 99), QPoint(123, 45) })
        EXPECT_EQ(shown.pixel(p), desktop.pixel(p + QPoint(30, 40))) << p.x() << "," << p.y();
    EXPECT_EQ(frame.presentedFrame(), desktop.copy(30, 40, 200, 100));
    // Only a changed rectangle reaches the window.
    QImage white = desktop;
    white.fill(Qt::white);
    const RECT changed[] = { { 40, 50, 60, 70 } };
    frame.presentFrame(white, changed);
    const QImage after = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(after.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(after.pixel(29, 29), qRgb(255, 255, 255));
    for (QPoint p : { QPoint(9, 9), QPoint(30, 30), QPoint(123, 45) })
        EXPECT_EQ(after.pixel(p), desktop.pixel(p + QPoint(30, 40))) << p.x() << "," << p.y();
    EXPECT_EQ(frame.presentedFrame(), after);

    SendMouse(window, QEvent::MouseButtonPress, QPoint(5, 6), Qt::LeftButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseMove, QPoint(7, 9), Qt::NoButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseButtonRelease, QPoint(8, 9), Qt::LeftButton, Qt::NoButton);
    SendMouse(window, QEvent::MouseButtonPress, QPoint(0, 0), Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(frame.events, (Names { "down 1 35,46", "move 1 37,49", "up 0 38,49", "right 2 30,40" }));
    POINT point { 35, 46 };
    frame.ClientToScreen(&point);
    const QPoint global = window->mapToGlobal(QPoint(5, 6));
    EXPECT_EQ(point, (POINT { global.x(), global.y() }));

    for (int key : { Qt::Key_F2, Qt::Key_F12, Qt::Key_A, Qt::Key_Escape, Qt::Key_VolumeUp })
        SendKey(window, key);
    EXPECT_EQ(frame.keys, (std::vector<UINT> { VK_F2, VK_F12, 0x41 }));
}

TEST_F(MainWindowTest, EveryPaintComposesOnceAndAMinimisedPaintAsksFirst)
{
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    EXPECT_GE(desk.frames(), 1); // the first exposure painted
    EXPECT_TRUE(frame->OnEraseBkgnd());

    int frames = desk.frames();
    QExposeEvent small(QRegion(10, 10, 1, 1));
    QCoreApplication::sendEvent(window, &small);
    EXPECT_EQ(desk.frames(), frames + 1);
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
}

TEST_F(MainWindowTest, DestroyReleasesTheDisplay)
{
    CMainFrame* frame = MakeFrame(false);
    desk.AddObject("A", { 0, 0, 4, 4 });
    EXPECT_TRUE(frame->DestroyWindow());
    EXPECT_EQ(desk.app.m_pDD, nullptr);
    EXPECT_EQ(desk.app.m_aRuntime[1].pUp, nullptr);
    EXPECT_EQ(frame->windowHandle(), nullptr);
    EXPECT_FALSE(frame->DestroyWindow());
    EXPECT_FALSE(frame->PostMessage(WM_CLOSE));
    frame->presentFrame(QImage(4, 4, QImage::Format_RGB32), {});
}

TEST_F(MainWindowTest, F12EndsTheProgramWithStatusZeroAndF2Recomposes)
{
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    int framesBeforeF2 = 0;
    int framesAfterF2 = 0;
    QTimer::singleShot(0, window, [&] {
        framesBeforeF2 = desk.frames();
        SendKey(window, Qt::Key_F2);
        framesAfterF2 = desk.frames();
        SendKey(window, Qt::Key_F12);
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    const int status = desk.app.Run();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(framesAfterF2, framesBeforeF2 + 1);
    EXPECT_EQ(desk.app.m_pDD, nullptr);
    EXPECT_EQ(desk.app.m_pMainWnd, nullptr);
}

TEST_F(MainWindowTest, AScreenChangeLosesTheSurfacesAndActivationRestoresThem)
{
    CMainFrame* frame = MakeFrame(false);
    QWindow* window = frame->windowHandle();
    QScreen* screen = window->screen();
    emit screen->geometryChanged(screen->geometry());
    EXPECT_TRUE(desk.app.m_pDDSPrimary->isLost());
    EXPECT_TRUE(desk.app.m_pDDSBack->isLost());
    // Activation realises the palette, and restores, on an 8-bit display only.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
    EXPECT_TRUE(desk.app.m_pDDSPrimary->isLost());
    frame->OnQueryNewPalette();
    EXPECT_FALSE(desk.app.m_pDDSPrimary->isLost());
    EXPECT_FALSE(desk.app.m_pDDSBack->isLost());
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

// The context menu as a real Qt popup, worked with the keyboard: types keys
// into the next popup that opens; one still open after two seconds is closed.
class PopupKeys {
public:
    explicit PopupKeys(std::vector<int> keys)
        : m_keys(std::move(keys))
    {
        QTimer::singleShot(0, &m_context, [this] { Type(); });
        QTimer::singleShot(2000, &m_context, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
    }
    bool opened = false;

private:
    void Type()
    {
        QWidget* popup = QApplication::activePopupWidget();
        opened = popup != nullptr;
        for (int key : m_keys) {
            if (!popup)
                return;
            QKeyEvent press(
                QEvent::KeyPress, key, Qt::NoModifier, key < 0x100 ? QString(QChar(key)).toLower() : QString());
            QApplication::sendEvent(popup, &press);
            popup = QApplication::activePopupWidget();
        }
    }
    std::vector<int> m_keys;
    QObject m_context;
};

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
        bool clipboard, locked;
    };
    // "&Locked"; "&Copy" grayed on the desktop; "&Copy" on an object.
    const Case cases[] = { { { 20, 20 }, { Qt::Key_L }, false, false },
        { { 200, 200 }, { Qt::Key_C, Qt::Key_Escape }, false, false }, { { 20, 20 }, { Qt::Key_C }, true, false } };
    for (const Case& c : cases) {
        {
            PopupKeys keys(c.keys);
            frame.OnRButtonDown(0, c.at);
            EXPECT_TRUE(keys.opened);
        }
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_EQ(bool(app.m_bClipboardFull), c.clipboard);
        EXPECT_EQ(bool(app.m_bLocked), c.locked);
    }
    EXPECT_EQ(app.m_aObjects[51].strName.str(), "A");
    SetUiScript(&desk->ui);
}

}
