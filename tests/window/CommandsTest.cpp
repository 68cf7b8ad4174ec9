// The context menu's states and the object commands.

#include "dialogs/ObjectListDlg.h"
#include "res/resource.h"
#include "tests/support/ScriptedUi.h"
#include "tests/window/InteractionTestApp.h"

#include <gtest/gtest.h>

using namespace interaction_test;

namespace {

using Names = std::vector<std::string>;

class CommandsTest : public testing::Test {
protected:
    // Opens the context menu at (x, y) and chooses `command` (0: none); returns
    // the menu as it was shown.
    std::vector<MenuItemState> Menu(LONG x, LONG y, UINT command = 0)
    {
        std::vector<MenuItemState> shown;
        ui.onMenu = [&](const std::vector<MenuItemState>& items) {
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
    // Objects 20 pixels apart in a row, named as given, with 10x10 images.
    void Row(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            const LONG x = 20 * app.m_nObjects;
            app.AddObject(name, { x, 10, x + 10, 20 });
        }
    }
    static LONG At(int i) { return 20 * i + 5; }

    RecordingApp app;
    CMainFrame frame;
    ScriptedUi ui;
};

TEST_F(CommandsTest, EmptyDesktopMenuOffersOnlyWhatNeedsNoSubject)
{
    Row({ "A" });
    const auto items = Menu(200, 200);

    ASSERT_EQ(items.size(), 9u);
    const char* texts[] = { "&Insert...", "&Copy", "&Paste", "&Delete", "P&roperties...", "&Order...", "", "&Locked",
        "Object Li&st..." };
    const UINT ids[] = { ID_OBJECT_INSERT, ID_OBJECT_COPY, ID_OBJECT_PASTE, ID_OBJECT_DELETE, ID_OBJECT_PROPERTIES, 0,
        0, ID_DESKTOP_LOCKED, ID_OBJECT_LIST };
    const bool enabled[] = { true, false, false, false, true, true, true, true, true };
    for (size_t k = 0; k < items.size(); ++k) {
        EXPECT_EQ(items[k].text.str(), texts[k]) << k;
        EXPECT_EQ(items[k].id, ids[k]) << k;
        EXPECT_EQ(items[k].enabled, enabled[k]) << k;
        EXPECT_EQ(items[k].checked, k == 7) << k;
    }

    const auto& order = items[5].submenu;
    ASSERT_EQ(order.size(), 4u);
    const char* orderTexts[] = { "Move &up", "Move to &top", "Move &down", "Move to &bottom" };
    const UINT orderIds[] = { ID_ORDER_MOVE_UP, ID_ORDER_MOVE_TO_TOP, ID_ORDER_MOVE_DOWN, ID_ORDER_MOVE_TO_BOTTOM };
    for (size_t k = 0; k < order.size(); ++k) {
        EXPECT_EQ(order[k].text.str(), orderTexts[k]);
        EXPECT_EQ(order[k].id, orderIds[k]);
        EXPECT_FALSE(order[k].enabled);
    }
}

TEST_F(CommandsTest, OrderItemsAreGrayedAtEitherEndOfTheDrawingOrder)
{
    Row({ "A" });
    auto items = Menu(At(1), 15);
    for (UINT id : { ID_ORDER_MOVE_UP, ID_ORDER_MOVE_TO_TOP, ID_ORDER_MOVE_DOWN, ID_ORDER_MOVE_TO_BOTTOM })
        EXPECT_FALSE(Enabled(items, id)) << "single object " << id;
    EXPECT_TRUE(Enabled(items, ID_OBJECT_COPY));
    EXPECT_TRUE(Enabled(items, ID_OBJECT_DELETE));

    Row({ "B", "C" });
    items = Menu(At(3), 15);
    EXPECT_FALSE(Enabled(items, ID_ORDER_MOVE_UP));
    EXPECT_FALSE(Enabled(items, ID_ORDER_MOVE_TO_TOP));
    EXPECT_TRUE(Enabled(items, ID_ORDER_MOVE_DOWN));
    EXPECT_TRUE(Enabled(items, ID_ORDER_MOVE_TO_BOTTOM));

    items = Menu(At(1), 15);
    EXPECT_TRUE(Enabled(items, ID_ORDER_MOVE_UP));
    EXPECT_TRUE(Enabled(items, ID_ORDER_MOVE_TO_TOP));
    EXPECT_FALSE(Enabled(items, ID_ORDER_MOVE_DOWN));
    EXPECT_FALSE(Enabled(items, ID_ORDER_MOVE_TO_BOTTOM));

    items = Menu(At(2), 15);
    for (UINT id : { ID_ORDER_MOVE_UP, ID_ORDER_MOVE_TO_TOP, ID_ORDER_MOVE_DOWN, ID_ORDER_MOVE_TO_BOTTOM })
        EXPECT_TRUE(Enabled(items, id)) << "middle object " << id;
}

TEST_F(CommandsTest, LockedTogglesWithoutRedrawAndShowsNextTime)
{
    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_FALSE(app.m_bLocked);
    EXPECT_EQ(app.composed, 0);
    EXPECT_FALSE(FindMenuItem(Menu(200, 200), ID_DESKTOP_LOCKED)->checked);

    Menu(200, 200, ID_DESKTOP_LOCKED);
    EXPECT_TRUE(app.m_bLocked);
    EXPECT_TRUE(FindMenuItem(Menu(200, 200), ID_DESKTOP_LOCKED)->checked);
}

TEST_F(CommandsTest, GrayedItemCannotBeChosen)
{
    Row({ "A" });
    // Delete is grayed on empty desktop: no confirmation, no change.
    Menu(200, 200, ID_OBJECT_DELETE);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app.Names(), (Names { "A" }));
}

TEST_F(CommandsTest, PropertiesOpensTheDialogForTheSubject)
{
    Row({ "A", "B" });
    Menu(At(2), 15, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_PROPERTIES);
    Menu(200, 200, ID_OBJECT_INSERT);
    EXPECT_EQ(
        app.calls, (std::vector<std::string> { "EditObjectProperties 2", "EditDesktopSettings", "InsertObject" }));
}

TEST_F(CommandsTest, PastesStackOnTopUnderNumberedNames)
{
    Row({ "Button", "BUTTON.1" });
    Menu(At(1), 15, ID_OBJECT_COPY);
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_EQ(app.composed, 0);
    EXPECT_EQ(app.Names(), (Names { "Button", "BUTTON.1" }));

    const POINT points[] = { { 100, 100 }, { 150, 120 }, { 200, 50 } };
    for (POINT pt : points)
        Menu(pt.x, pt.y, ID_OBJECT_PASTE);

    EXPECT_EQ(app.Names(), (Names { "Button", "BUTTON.1", "Button.2", "Button.3", "Button.4" }));
    for (int k = 0; k < 3; ++k) {
        const DesktopObject& pasted = app.m_aObjects[3 + k];
        EXPECT_EQ(pasted.rcObject, (RECT { points[k].x, points[k].y, points[k].x + 10, points[k].y + 10 }));
        EXPECT_EQ(app.m_aRuntime[3 + k].nState, 1);
        EXPECT_NE(app.m_aRuntime[3 + k].pUp, nullptr);
    }
    EXPECT_EQ(app.composed, 3);
    EXPECT_TRUE(app.m_bClipboardFull);
    // The clipboard record is never part of the desktop.
    EXPECT_EQ(app.WithSurfaces(), (std::set<int> { 1, 2, 3, 4, 5 }));
}

TEST_F(CommandsTest, CopyNamesIgnoreCaseAndSurroundingWhiteSpace)
{
    // Stored as typed, but unique ignoring surrounding white space: the copy
    // must not become a second "Lamp.1".
    Row({ " Lamp", "lamp.1 ", "x" });
    Menu(At(1), 15, ID_OBJECT_COPY);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(app.m_aObjects[4].strName.str(), " Lamp.2");

    // The number always goes on the full name, even when that is free.
    Menu(At(3), 15, ID_OBJECT_COPY);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(app.m_aObjects[5].strName.str(), "x.1");
}

TEST_F(CommandsTest, PasteAtCapacityIsRefusedAndKeepsClipboard)
{
    for (int i = 1; i <= 50; ++i)
        app.AddObject(("O" + std::to_string(i)).c_str(), { 0, 0, 4, 4 });
    ASSERT_EQ(app.m_nObjects, 51);
    Menu(2, 2, ID_OBJECT_COPY);
    ui.acceptMessages();
    app.ForgetCalls();

    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(ui.messages,
        (std::vector<std::string> { "Unable to insert new object:\nDesktop contains maximum objects allowed." }));
    EXPECT_EQ(app.m_nObjects, 51);
    EXPECT_EQ(app.m_aObjects[51].strName.str(), "O50");
    EXPECT_TRUE(app.m_bClipboardFull);
    EXPECT_TRUE(app.loaded.empty());
    EXPECT_EQ(app.composed, 0);
}

TEST_F(CommandsTest, DeleteAsksFirstAndCancelChangesNothing)
{
    Row({ "A", "B" });
    UINT type = 0;
    ui.onMessageBox = [&](const CString&, UINT t) {
        type = t;
        return IDCANCEL;
    };
    Menu(At(1), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Are you sure you want to delete 'A'?" }));
    EXPECT_EQ(type, MB_OKCANCEL);
    EXPECT_EQ(app.Names(), (Names { "A", "B" }));
    EXPECT_EQ(app.composed, 0);
}

TEST_F(CommandsTest, DeleteMovesEverythingAboveDownAndRebuildsIt)
{
    Row({ "A", "B", "C", "D" });
    ui.acceptMessages();
    app.ForgetCalls();

    Menu(At(2), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(app.m_nObjects, 4);
    EXPECT_EQ(app.Names(), (Names { "A", "C", "D" }));
    EXPECT_EQ(app.loaded, (std::set<int> { 2, 3 }));
    EXPECT_EQ(app.WithSurfaces(), (std::set<int> { 1, 2, 3 }));
    // Records keep their positions; the rebuilt images follow them.
    EXPECT_EQ(app.m_aObjects[2].rcObject, (RECT { 60, 10, 70, 20 }));
    EXPECT_EQ(app.composed, 1);

    // The topmost object: nothing else moves, its surfaces go.
    app.ForgetCalls();
    Menu(At(4), 15, ID_OBJECT_DELETE);
    EXPECT_EQ(app.Names(), (Names { "A", "C" }));
    EXPECT_TRUE(app.loaded.empty());
    EXPECT_EQ(app.WithSurfaces(), (std::set<int> { 1, 2 }));
    EXPECT_EQ(app.composed, 1);
}

TEST_F(CommandsTest, CopySurvivesDeletingItsSourceAndPastesUnderNumberedName)
{
    Row({ "A", "B" });
    ui.acceptMessages();
    Menu(At(1), 15, ID_OBJECT_COPY);
    Menu(At(1), 15, ID_OBJECT_DELETE);
    Menu(200, 200, ID_OBJECT_PASTE);
    EXPECT_EQ(app.Names(), (Names { "B", "A.1" }));
}

TEST_F(CommandsTest, OrderCommandsMoveWithinDrawingOrder)
{
    Row({ "A", "B", "C", "D" });
    app.ForgetCalls();
    Menu(At(4), 15, ID_ORDER_MOVE_TO_BOTTOM);
    EXPECT_EQ(app.Names(), (Names { "D", "A", "B", "C" }));
    EXPECT_EQ(app.loaded, (std::set<int> { 1, 2, 3, 4 }));
    EXPECT_EQ(app.composed, 1);
    // Every object keeps its own place on the desktop.
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 80, 10, 90, 20 }));

    // A is drawn at index 2 now but still sits where it was.
    Menu(At(1), 15, ID_ORDER_MOVE_UP);
    EXPECT_EQ(app.Names(), (Names { "D", "B", "A", "C" }));

    Menu(At(1), 15, ID_ORDER_MOVE_TO_TOP);
    EXPECT_EQ(app.Names(), (Names { "D", "B", "C", "A" }));

    Menu(At(3), 15, ID_ORDER_MOVE_DOWN);
    EXPECT_EQ(app.Names(), (Names { "D", "C", "B", "A" }));
    EXPECT_EQ(app.WithSurfaces(), (std::set<int> { 1, 2, 3, 4 }));
}

TEST_F(CommandsTest, ReorderEndsHoverAndLeavesMovedObjectInClipboard)
{
    Row({ "A", "B", "C" });
    const int target = app.AddObject("Target", { 200, 200, 210, 210 }, {}, false);
    app.m_aObjects[2].strActivate = "Target";
    app.ResolveActivationLinks();
    app.ApplyVisibility();

    Menu(At(1), 15, ID_OBJECT_COPY);
    frame.OnMouseMove(0, { At(2), 15 });
    ASSERT_TRUE(app.m_aRuntime[target].bVisible);

    Menu(At(2), 15, ID_ORDER_MOVE_UP);
    EXPECT_EQ(app.Names(), (Names { "A", "C", "B", "Target" }));
    EXPECT_EQ(app.m_nHoverObject, 0);
    EXPECT_EQ(app.m_aRuntime[3].nState, 1);
    EXPECT_FALSE(app.m_aRuntime[target].bVisible);
    EXPECT_EQ(app.m_aRuntime[3].nActivates, target);

    // Paste now copies the moved object, not the one copied before.
    Menu(200, 100, ID_OBJECT_PASTE);
    EXPECT_EQ(app.m_aObjects[5].strName.str(), "B.1");
}

TEST_F(CommandsTest, PastedObjectsMouseActivateLinkWorksAtOnce)
{
    Row({ "Switch" });
    const int lamp = app.AddObject("Lamp", { 200, 200, 210, 210 });
    app.m_aObjects[1].strActivate = "Lamp";
    Menu(At(1), 15, ID_OBJECT_COPY);
    // Unresolved so far: the lamp is still shown.
    ASSERT_TRUE(app.m_aRuntime[lamp].bVisible);

    Menu(100, 100, ID_OBJECT_PASTE);
    const int pasted = app.m_nObjects - 1;
    EXPECT_EQ(app.m_aRuntime[pasted].nActivates, lamp);
    EXPECT_FALSE(app.m_aRuntime[lamp].bVisible);

    frame.OnMouseMove(0, { 105, 105 });
    EXPECT_EQ(app.m_nHoverObject, pasted);
    EXPECT_TRUE(app.m_aRuntime[lamp].bVisible);
}

TEST_F(CommandsTest, ObjectListOpensPropertiesOfThePickAndEmptiesClipboard)
{
    Row({ "Cat", "Ant", "Bee" });
    Menu(At(1), 15, ID_OBJECT_COPY);
    int button = IDOK;
    ui.onDialog = [&](CDialog& dialog) {
        auto* list = dynamic_cast<CListBox*>(dialog.GetDlgItem(IDC_OBJECT_LIST));
        ASSERT_NE(list, nullptr);
        for (int k = 0; k < list->GetCount(); ++k) {
            CString text;
            list->GetText(k, text);
            if (text == "Bee")
                list->SetCurSel(k);
        }
        dialog.ClickButton(button);
    };

    button = IDCANCEL;
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_TRUE(app.calls.empty());
    EXPECT_EQ(app.m_nCurObject, 0);
    EXPECT_TRUE(app.m_bClipboardFull);

    button = IDOK;
    Menu(At(1), 15, ID_OBJECT_LIST);
    EXPECT_EQ(app.calls, (std::vector<std::string> { "EditObjectProperties 3" }));
    EXPECT_FALSE(app.m_bClipboardFull);
}

}
