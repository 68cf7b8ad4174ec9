// Drag clamping and offsets, Mouse Activate links and visibility, and what the undo history keeps of the table.

#include "app/DesktopApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A table without a display: the operations here only read surface pointers, so a non-null dummy stands in for a loaded
// surface.
IDirectDrawSurface* const kPresent = reinterpret_cast<IDirectDrawSurface*>(0x1000);

TEST(TableOperations, ClampedDragKeepsTheSelectionOnTheDesktop)
{
    // The selection, the drag, the drag kept, the selection shown (the highlight follows only a shown one).
    for (auto [s, drag, d, shown] : {
             std::tuple { RECT { 100, 100, 200, 150 }, SIZE { 5, -7 }, SIZE { 5, -7 }, true }, // inside
             { RECT { 10, 10, 110, 60 }, SIZE { -30, 0 }, SIZE { -10, 0 }, true }, // left edge
             { RECT { 10, 10, 110, 60 }, SIZE { -30, 0 }, SIZE { -10, 0 }, false },
             { RECT { 900, 10, 1000, 60 }, SIZE { 50, 0 }, SIZE { 24, 0 }, true }, // right edge, 1024 wide
             { RECT { 10, 20, 60, 80 }, SIZE { 0, -50 }, SIZE { 0, -20 }, true }, // top
             { RECT { 10, 700, 60, 730 }, SIZE { 3, 40 }, SIZE { 3, 10 }, true }, // the work area's bottom
             { RECT { 5, 10, 1100, 60 }, SIZE { -20, 0 }, SIZE { -5, 0 }, true }, // wider: pinned left
             { RECT { 5, 10, 1100, 60 }, SIZE { 20, 0 }, SIZE { -5, 0 }, true }, // even dragged right
             { RECT { 0, 0, 50, 741 }, SIZE { 0, 0 }, SIZE { 0, 0 }, true }, // taller, still: stays put
         }) {
        SCOPED_TRACE(testing::Message() << s.left << "," << s.top << " by " << drag.cx << "," << drag.cy << shown);
        CDesktopApp app;
        app.m_cxDesktop = 1024;
        app.m_cyDesktop = 740;
        app.m_rcSelection = s;
        app.m_sizeDrag = drag;
        app.m_bShowSelection = shown;
        app.m_rcHighlight = { 1, 2, 3, 4 };
        EXPECT_TRUE(app.ClampDragOffset());
        const RECT moved = { s.left + d.cx, s.top + d.cy, s.right + d.cx, s.bottom + d.cy };
        EXPECT_EQ(app.m_sizeDrag, d);
        EXPECT_EQ(app.m_rcSelection, moved);
        EXPECT_EQ(app.m_rcHighlight, (shown ? moved : RECT { 1, 2, 3, 4 }));
    }
}

TEST(TableOperations, OffsetMovesImageAndCaptionByDragKind)
{
    // Has an Up image, a caption; an image or a caption drag; what moves.
    for (auto [image, caption, dragImage, dragText, imageMoves, textMoves] :
        { std::tuple { true, true, true, false, true, true }, { false, true, true, false, false, true },
            { true, false, true, false, true, false }, { true, true, false, true, false, true },
            { true, true, false, false, false, false } }) {
        SCOPED_TRACE(testing::Message() << image << caption << dragImage << dragText);
        CDesktopApp app;
        DesktopObject& r = app.m_aObjects[1];
        r.rcObject = { 50, 60, 114, 124 };
        r.rcText = { 116, 80, 160, 100 };
        app.m_aRuntime[1].pUp = image ? kPresent : nullptr;
        app.m_aRuntime[1].pTextHot = caption ? kPresent : nullptr;
        app.m_sizeDrag = { 7, -3 };
        std::tie(app.m_bDragImage, app.m_bDragText) = std::tuple(dragImage, dragText);
        app.OffsetObject(1);
        EXPECT_EQ(r.rcObject, (imageMoves ? RECT { 57, 57, 121, 121 } : RECT { 50, 60, 114, 124 }));
        EXPECT_EQ(r.rcText, (textMoves ? RECT { 123, 77, 167, 97 } : RECT { 116, 80, 160, 100 }));
    }
}

TEST(TableOperations, LinksResolveByExactNameAndHideTargets)
{
    CDesktopApp app;
    app.m_nObjects = 1;
    app.m_aObjects[0].strName = "Background";
    const auto add = [&](const char* name, const char* activate, bool visible) {
        DesktopObject& r = app.m_aObjects[app.m_nObjects++];
        std::tie(r.strName, r.strActivate, r.bVisible) = std::tuple(name, activate, visible);
    };
    add("Self", "Self", true); // 1: its own target
    add("Ping", "Pong", true); // 2 and 3 name each other
    add("Pong", "Ping", true);
    add("Lone", "Nobody", true); // 4: unknown name
    add("Case", "lone", true); // 5: names differ in case
    add("Target", " ", true); // 6: named by 7
    add("Src", "Target", false); // 7: hidden itself, stays hidden
    add("Bg", "Background", true); // 8: the background is never a target
    add("", "", true); // 9 and 10: an empty link names no one, not even the unnamed
    add("Empty", "", true);
    app.m_aRuntime[4].nActivates = 9;
    app.m_aObjects[5].bVisible = 7; // any non-zero byte means shown
    // The background slot and slots past the table are left alone.
    app.m_aRuntime[0].bVisible = TRUE;
    app.m_aObjects[0].bVisible = FALSE;
    app.m_aObjects[11].bVisible = TRUE;
    app.ResolveActivationLinks();
    app.ApplyVisibility();
    const int expectedTarget[] = { 0, 1, 3, 2, 0, 0, 0, 6, 0, 0, 0 };
    const bool expectedVisible[] = { false, false, false, false, true, true, false, false, true, true, true };
    for (int i = 1; i < app.m_nObjects; ++i) {
        SCOPED_TRACE(app.m_aObjects[i].strName.str());
        EXPECT_EQ(app.m_aRuntime[i].nActivates, expectedTarget[i]);
        EXPECT_EQ(bool(app.m_aObjects[i].bVisible), expectedVisible[i]);
        EXPECT_EQ(app.m_aRuntime[i].bVisible, expectedVisible[i] ? TRUE : FALSE);
    }
    EXPECT_EQ(app.m_aRuntime[0].bVisible, TRUE);
    EXPECT_EQ(app.m_aRuntime[11].bVisible, FALSE);
}

// A step keeps what its edit changed: a drag of every object, a move to the top and a deletion (which shift every
// record) keep far less than the captions they pass by. Edits of huge captions drop the oldest steps to stay within the
// byte bound, keeping the newest.
TEST(TableOperations, HistoryKeepsWhatEditsChangeWithinItsBounds)
{
    enum { Drag, MoveToTop, DeleteFirst, HugeCaption };
    for (int edit : { Drag, MoveToTop, DeleteFirst, HugeCaption }) {
        SCOPED_TRACE(edit);
        CDesktopApp app;
        const size_t caption = edit == HugeCaption ? 1 << 20 : 6000;
        app.m_nObjects = edit == HugeCaption ? 2 : 51;
        for (int i = 1; i < app.m_nObjects; ++i) {
            app.m_aObjects[i].strName = CString("Object " + std::to_string(i));
            app.m_aObjects[i].strText = CString(std::string(caption, char('a' + i % 26)));
        }
        CEditHistory history;
        history.Clear(app);
        const size_t start = history.HeldBytes();
        for (int k = 1; k <= CEditHistory::kMaxSteps; ++k) {
            DesktopObject* const r = app.m_aObjects;
            if (edit == Drag) {
                for (int i = 1; i < app.m_nObjects; ++i)
                    r[i].rcObject.left += 1, r[i].rcText.top += 1;
            } else if (edit == MoveToTop) {
                std::rotate(r + 1, r + 2, r + app.m_nObjects);
            } else if (edit == DeleteFirst) {
                std::rotate(r + 1, r + 2, r + app.m_nObjects); // the first, now last, gives way to a new one
                r[app.m_nObjects - 1].strName = CString("New " + std::to_string(k));
            } else {
                r[1].strText = CString(std::string(caption, char('b' + k % 24)));
            }
            ASSERT_TRUE(history.RecordEdit(app));
        }
        EXPECT_TRUE(history.CanUndo());
        if (edit == HugeCaption)
            EXPECT_LE(history.HeldBytes(), CEditHistory::kMaxBytes);
        else
            EXPECT_LT((history.HeldBytes() - start) / CEditHistory::kMaxSteps, 50 * caption / 10);
    }
}

} // namespace
