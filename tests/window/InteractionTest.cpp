// Pointer and keyboard handling of the desktop window.

#include "tests/support/ScriptedUi.h"
#include "tests/window/InteractionTestApp.h"

#include <gtest/gtest.h>

using namespace interaction_test;

namespace {

class InteractionTest : public testing::Test {
protected:
    void Move(LONG x, LONG y) { frame.OnMouseMove(0, { x, y }); }
    void Press(LONG x, LONG y) { frame.OnLButtonDown(0, { x, y }); }
    void Release(LONG x, LONG y) { frame.OnLButtonUp(0, { x, y }); }
    // A right click whose menu is dismissed; returns how often the menu opened.
    int RightClick(LONG x, LONG y)
    {
        int opened = 0;
        ui.onMenu = [&](const std::vector<MenuItemState>&) {
            ++opened;
            return 0u;
        };
        frame.OnRButtonDown(0, { x, y });
        return opened;
    }
    const ObjectRuntime& Slot(int i) const { return app.m_aRuntime[i]; }

    RecordingApp app;
    CMainFrame frame;
    ScriptedUi ui;
};

TEST_F(InteractionTest, HoverPicksTopmostShownObjectWithSurfaces)
{
    const int a = app.AddObject("A", { 10, 10, 60, 60 });
    const int b = app.AddObject("B", { 40, 40, 90, 90 });
    // On top of both, but hidden.
    const int hidden = app.AddObject("Hidden", { 30, 30, 70, 70 }, {}, false);
    // Its image failed to load: the rectangle is there, the surface is not.
    const int broken = app.AddObject("Broken", { 200, 10, 250, 60 });
    app.m_aRuntime[broken].pUp = nullptr;

    Move(50, 50);
    EXPECT_EQ(app.m_nHoverObject, b);
    EXPECT_EQ(Slot(b).nState, 2);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_EQ(Slot(hidden).nState, 1);
    EXPECT_EQ(app.composed, 1);

    Move(220, 20);
    EXPECT_EQ(app.m_nHoverObject, 0);
    EXPECT_EQ(Slot(b).nState, 1);
    EXPECT_EQ(app.composed, 2);

    // Nothing hovered before or now: no redraw.
    Move(300, 200);
    EXPECT_EQ(app.composed, 2);
}

TEST_F(InteractionTest, MovingFromObjectToObjectSwapsMouseActivateTargetsInOneRedraw)
{
    const int target = app.AddObject("Target", { 100, 100, 120, 120 }, {}, false);
    const int a = app.AddObject("A", { 10, 10, 40, 40 });
    const int b = app.AddObject("B", { 41, 10, 70, 40 });
    app.m_aRuntime[a].nActivates = target;

    Move(20, 20);
    EXPECT_TRUE(Slot(target).bVisible);
    EXPECT_EQ(Slot(a).nState, 2);
    EXPECT_EQ(app.composed, 1);

    Move(50, 20);
    EXPECT_EQ(app.m_nHoverObject, b);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_FALSE(Slot(target).bVisible);
    EXPECT_EQ(Slot(b).nState, 2);
    EXPECT_EQ(app.composed, 2);
}

TEST_F(InteractionTest, LockedPressFollowsPressVariantOfHitTest)
{
    const int below = app.AddObject("Below", { 10, 10, 100, 100 });
    // Hidden: its image still takes a press, its caption does not.
    const int hidden = app.AddObject("Hidden", { 20, 20, 50, 50 }, { 60, 20, 90, 30 }, false);

    Press(65, 25);
    EXPECT_EQ(app.m_nPressedImage, below);
    EXPECT_EQ(Slot(below).nState, 3);
    Release(65, 25);
    EXPECT_EQ(Slot(below).nState, 2);
    EXPECT_EQ(app.m_nPressedImage, 0);

    app.ForgetCalls();
    Press(30, 30);
    EXPECT_EQ(app.m_nPressedImage, hidden);
    EXPECT_EQ(Slot(hidden).nState, 3);
    EXPECT_EQ(Slot(below).nState, 2);
    Release(30, 30);
    EXPECT_EQ(Slot(hidden).nState, 2);
    EXPECT_EQ(app.composed, 2);
}

TEST_F(InteractionTest, CaptionIsTestedBeforeItsOwnImage)
{
    const int i = app.AddObject("A", { 10, 10, 60, 60 }, { 20, 50, 50, 70 });

    Press(30, 55);
    EXPECT_EQ(app.m_nPressedText, i);
    EXPECT_EQ(app.m_nPressedImage, 0);
    EXPECT_EQ(Slot(i).nState, 3);
    EXPECT_EQ(app.composed, 1);
}

TEST_F(InteractionTest, ImagePressIsGivenUpWhenPointerLeaves)
{
    const int i = app.AddObject("A", { 10, 10, 60, 60 });

    Press(20, 20);
    Move(25, 25);
    EXPECT_EQ(Slot(i).nState, 3);
    EXPECT_EQ(app.composed, 1);

    Move(100, 100);
    EXPECT_EQ(Slot(i).nState, 1);
    EXPECT_EQ(app.m_nPressedImage, 0);
    EXPECT_EQ(app.composed, 2);

    // Back over it: hovered, not pressed again; the release has nothing to do.
    Move(20, 20);
    EXPECT_EQ(Slot(i).nState, 2);
    EXPECT_EQ(app.composed, 3);
    Release(20, 20);
    EXPECT_EQ(Slot(i).nState, 2);
    EXPECT_EQ(app.composed, 3);
}

TEST_F(InteractionTest, CaptionPressFollowsCaptionsUnderPointer)
{
    const int a = app.AddObject("A", { 10, 10, 40, 40 }, { 10, 41, 40, 50 });
    const int b = app.AddObject("B", { 60, 10, 90, 40 }, { 60, 41, 90, 50 });

    Move(20, 45);
    Press(20, 45);
    EXPECT_EQ(app.m_nPressedText, a);

    Move(70, 45);
    EXPECT_EQ(app.m_nPressedText, b);
    EXPECT_EQ(Slot(a).nState, 1);
    EXPECT_EQ(Slot(b).nState, 2);

    // Over an image only: the caption press is dropped.
    Move(70, 20);
    EXPECT_EQ(app.m_nPressedText, 0);
    EXPECT_EQ(app.m_nHoverObject, b);
}

TEST_F(InteractionTest, UnlockedClickWithoutMovingChangesNothing)
{
    app.m_bLocked = FALSE;
    const int i = app.AddObject("A", { 10, 10, 60, 60 });
    const RECT before = app.m_aObjects[i].rcObject;

    Press(20, 20);
    Release(20, 20);
    EXPECT_EQ(app.composed, 0);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_EQ(Slot(i).nState, 1);
    EXPECT_EQ(app.m_aObjects[i].rcObject, before);
}

TEST_F(InteractionTest, DragStoresOffsetPerMoveAndSelectionMatchesWhatMoves)
{
    app.m_bLocked = FALSE;
    const int i = app.AddObject("A", { 10, 10, 60, 60 }, { 5, 61, 70, 75 });
    app.AddObject("Hidden", { 0, 0, 100, 100 }, {}, false);

    Press(20, 20);
    EXPECT_TRUE(app.m_bDragImage);
    EXPECT_TRUE(Slot(i).bSelected);
    EXPECT_EQ(app.m_rcSelection, (RECT { 5, 10, 70, 75 }));
    EXPECT_EQ(app.composed, 0);

    Move(25, 18);
    EXPECT_EQ(app.m_sizeDrag, (SIZE { 5, -2 }));
    Move(22, 30);
    EXPECT_EQ(app.m_sizeDrag, (SIZE { -3, 12 }));
    EXPECT_EQ(app.m_ptLast, (POINT { 22, 30 }));
    EXPECT_EQ(app.composed, 2);

    Release(22, 30);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_EQ(app.composed, 2);

    // A drag begun on the caption moves captions only.
    Press(30, 70);
    EXPECT_TRUE(app.m_bDragText);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_EQ(app.m_rcSelection, app.m_aObjects[i].rcText);
}

TEST_F(InteractionTest, RubberBandFrameIsTheSameInEveryDirection)
{
    app.m_bLocked = FALSE;
    const RECT expected = { 50, 60, 120, 90 };
    const POINT corners[][2] = { { { 50, 60 }, { 120, 90 } }, { { 120, 90 }, { 50, 60 } }, { { 120, 60 }, { 50, 90 } },
        { { 50, 90 }, { 120, 60 } } };
    for (const auto& corner : corners) {
        Press(corner[0].x, corner[0].y);
        EXPECT_TRUE(app.m_bRubberBand);
        EXPECT_EQ(app.m_rcHighlight, (RECT { corner[0].x, corner[0].y, corner[0].x, corner[0].y }));
        Move(corner[1].x, corner[1].y);
        EXPECT_EQ(app.m_rcHighlight, expected);
        Release(corner[1].x, corner[1].y);
        // Nothing inside: no frame remains.
        EXPECT_FALSE(app.m_bRubberBand);
        EXPECT_FALSE(app.m_bShowSelection);
    }
}

TEST_F(InteractionTest, RubberBandSelectsShownObjectsWhollyInsideAndTheNextDragMovesThem)
{
    app.m_bLocked = FALSE;
    const int inside = app.AddObject("Inside", { 20, 20, 40, 40 }, { 15, 41, 45, 50 });
    const int partial = app.AddObject("Partial", { 90, 20, 130, 40 });
    const int captionOnly = app.AddObject("CaptionOnly", {}, { 20, 60, 60, 70 });
    // Its caption is inside, its image is not: the image decides.
    const int imageOutside = app.AddObject("ImageOutside", { 150, 20, 170, 40 }, { 50, 75, 80, 85 });
    const int hidden = app.AddObject("Hidden", { 60, 20, 80, 40 }, {}, false);

    Press(10, 10);
    Move(100, 100);
    Release(100, 100);
    EXPECT_TRUE(app.m_bShowSelection);
    EXPECT_TRUE(Slot(inside).bSelected);
    EXPECT_TRUE(Slot(captionOnly).bSelected);
    EXPECT_FALSE(Slot(partial).bSelected);
    EXPECT_FALSE(Slot(imageOutside).bSelected);
    EXPECT_FALSE(Slot(hidden).bSelected);
    // The frame shrinks to the selection.
    EXPECT_EQ(app.m_rcHighlight, (RECT { 15, 20, 60, 70 }));
    EXPECT_EQ(app.composed, 2);

    // Pressing an unselected object adds it to the selection being dragged.
    Press(100, 30);
    EXPECT_TRUE(app.m_bDragImage);
    EXPECT_TRUE(Slot(partial).bSelected);
    EXPECT_EQ(app.m_rcSelection, (RECT { 15, 20, 130, 70 }));
    EXPECT_EQ(app.m_rcHighlight, app.m_rcSelection);

    Release(100, 30);
    EXPECT_FALSE(app.m_bShowSelection);
    for (int i = 1; i < app.m_nObjects; ++i)
        EXPECT_FALSE(Slot(i).bSelected) << i;
    EXPECT_EQ(app.composed, 3);
}

TEST_F(InteractionTest, PressOnEmptyDesktopEndsDragThatLostItsRelease)
{
    app.m_bLocked = FALSE;
    const int i = app.AddObject("A", { 10, 10, 60, 60 });
    Press(20, 20);
    // The release happened outside the window; the drag goes on.
    Move(30, 30);
    EXPECT_EQ(app.m_sizeDrag, (SIZE { 10, 10 }));

    Press(200, 200);
    EXPECT_FALSE(app.m_bDragImage);
    EXPECT_FALSE(Slot(i).bSelected);
    EXPECT_TRUE(app.m_bRubberBand);
}

TEST_F(InteractionTest, RightClickEndsSelectionThenChoosesSubject)
{
    app.m_bLocked = FALSE;
    const int a = app.AddObject("A", { 20, 20, 40, 40 });
    const int hidden = app.AddObject("Hidden", { 100, 100, 140, 140 }, { 100, 141, 140, 150 }, false);
    Press(10, 10);
    Move(50, 50);
    Release(50, 50);
    ASSERT_TRUE(Slot(a).bSelected);
    app.ForgetCalls();

    bool frameGoneBeforeMenu = false;
    ui.onMenu = [&](const std::vector<MenuItemState>&) {
        frameGoneBeforeMenu = app.composed == 1 && !app.m_bShowSelection;
        return 0u;
    };
    frame.OnRButtonDown(0, { 120, 145 });
    EXPECT_TRUE(frameGoneBeforeMenu);
    EXPECT_FALSE(Slot(a).bSelected);
    EXPECT_EQ(app.m_nCurObject, hidden);
    EXPECT_EQ(app.m_ptContext, (POINT { 120, 145 }));
    EXPECT_TRUE(frame.m_bCanInsert && frame.m_bCanCopy && frame.m_bCanDelete && frame.m_bCanOrder);
    EXPECT_EQ(app.composed, 1);

    // Empty desktop: the background is the subject; no selection, no redraw.
    EXPECT_EQ(RightClick(300, 10), 1);
    EXPECT_EQ(app.m_nCurObject, 0);
    EXPECT_TRUE(frame.m_bCanInsert);
    EXPECT_FALSE(frame.m_bCanCopy || frame.m_bCanDelete || frame.m_bCanOrder);
    EXPECT_EQ(app.composed, 1);
}

TEST_F(InteractionTest, OnlyF2OfTheseKeysRedraws)
{
    frame.OnKeyDown(VK_F2, 1, 0);
    EXPECT_EQ(app.composed, 1);
    const UINT others[] = { 0x1B, 0x2E, 0x25, 0x26, 0x27, 0x28, 0x70, 0x7A, 'A' };
    for (UINT key : others)
        frame.OnKeyDown(key, 1, 0);
    EXPECT_EQ(app.composed, 1);
}

}
