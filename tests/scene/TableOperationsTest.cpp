// Drag clamping and offsets, Mouse Activate links and visibility.

#include "app/DesktopApp.h"

#include <gtest/gtest.h>

namespace {

// A table without a display: the operations here only read surface pointers,
// so a non-null dummy stands in for a loaded surface.
IDirectDrawSurface* const kPresent = reinterpret_cast<IDirectDrawSurface*>(0x1000);

class TableOperationsTest : public testing::Test {
protected:
    TableOperationsTest()
    {
        app.m_nMaxObjects = 51;
        app.m_cxDesktop = 1024;
        app.m_cyDesktop = 740;
    }
    ~TableOperationsTest() override
    {
        for (ObjectRuntime& s : app.m_aRuntime)
            s = ObjectRuntime {};
    }

    void addObject(const char* name, const char* activate, bool visible)
    {
        const int i = app.m_nObjects++;
        app.m_aObjects[i].strName = name;
        app.m_aObjects[i].strActivate = activate;
        app.m_aObjects[i].bVisible = visible;
    }

    CDesktopApp app;
};

struct ClampCase {
    RECT selection;
    SIZE drag;
    SIZE expectedDrag;
};

class ClampDragOffsetTest : public TableOperationsTest, public testing::WithParamInterface<ClampCase> { };

TEST_P(ClampDragOffsetTest, KeepsSelectionOnDesktop)
{
    const ClampCase c = GetParam();
    app.m_rcSelection = c.selection;
    app.m_sizeDrag = c.drag;
    app.m_bShowSelection = TRUE;

    EXPECT_TRUE(app.ClampDragOffset());

    const SIZE d = c.expectedDrag;
    const RECT moved
        = { c.selection.left + d.cx, c.selection.top + d.cy, c.selection.right + d.cx, c.selection.bottom + d.cy };
    EXPECT_EQ(app.m_sizeDrag, d);
    EXPECT_EQ(app.m_rcSelection, moved);
    EXPECT_EQ(app.m_rcHighlight, moved);
}

INSTANTIATE_TEST_SUITE_P(Edges, ClampDragOffsetTest,
    testing::Values(
        // Inside: unchanged.
        ClampCase { { 100, 100, 200, 150 }, { 5, -7 }, { 5, -7 } },
        // Past the left edge: stops at 0.
        ClampCase { { 10, 10, 110, 60 }, { -30, 0 }, { -10, 0 } },
        // Past the right edge of a 1024-wide desktop.
        ClampCase { { 900, 10, 1000, 60 }, { 50, 0 }, { 24, 0 } },
        // Past the top, and past the bottom (the work area's, not the screen's).
        ClampCase { { 10, 20, 60, 80 }, { 0, -50 }, { 0, -20 } },
        ClampCase { { 10, 700, 60, 730 }, { 3, 40 }, { 3, 10 } },
        // Wider than the desktop: pinned at the left edge it would cross.
        ClampCase { { 5, 10, 1100, 60 }, { -20, 0 }, { -5, 0 } }));

TEST_F(TableOperationsTest, HighlightFollowsOnlyWhenShown)
{
    app.m_rcSelection = { 10, 10, 110, 60 };
    app.m_sizeDrag = { -30, 0 };
    app.m_rcHighlight = { 1, 2, 3, 4 };
    app.m_bShowSelection = FALSE;
    app.ClampDragOffset();
    EXPECT_EQ(app.m_rcHighlight, (RECT { 1, 2, 3, 4 }));
    EXPECT_EQ(app.m_rcSelection, (RECT { 0, 10, 100, 60 }));
}

TEST_F(TableOperationsTest, OffsetMovesImageAndCaptionByDragKind)
{
    app.m_nObjects = 4;
    const RECT image = { 50, 60, 114, 124 };
    const RECT caption = { 116, 80, 160, 100 };
    for (int i = 1; i < 4; ++i) {
        app.m_aObjects[i].rcObject = image;
        app.m_aObjects[i].rcText = caption;
    }
    // 1: image and caption; 2: caption only (no Up image); 3: image only (no caption).
    app.m_aRuntime[1].pUp = kPresent;
    app.m_aRuntime[1].pTextHot = kPresent;
    app.m_aRuntime[2].pTextHot = kPresent;
    app.m_aRuntime[3].pUp = kPresent;
    app.m_sizeDrag = { 7, -3 };
    const auto moved = [](RECT rc) { return RECT { rc.left + 7, rc.top - 3, rc.right + 7, rc.bottom - 3 }; };

    app.m_bDragImage = TRUE;
    for (int i = 1; i < 4; ++i)
        app.OffsetObject(i);
    EXPECT_EQ(app.m_aObjects[1].rcObject, moved(image));
    EXPECT_EQ(app.m_aObjects[1].rcText, moved(caption));
    EXPECT_EQ(app.m_aObjects[2].rcObject, image);
    EXPECT_EQ(app.m_aObjects[2].rcText, moved(caption));
    EXPECT_EQ(app.m_aObjects[3].rcObject, moved(image));
    EXPECT_EQ(app.m_aObjects[3].rcText, caption);

    // A caption drag leaves the image where it is.
    app.m_bDragImage = FALSE;
    app.m_bDragText = TRUE;
    app.OffsetObject(1);
    EXPECT_EQ(app.m_aObjects[1].rcObject, moved(image));
    EXPECT_EQ(app.m_aObjects[1].rcText, moved(moved(caption)));

    // No drag: nothing moves.
    app.m_bDragText = FALSE;
    app.OffsetObject(1);
    EXPECT_EQ(app.m_aObjects[1].rcText, moved(moved(caption)));
}

TEST_F(TableOperationsTest, LinksResolveByExactNameAndHideTargets)
{
    app.m_nObjects = 1;
    addObject("Self", "Self", true); // 1: its own target
    addObject("Ping", "Pong", true); // 2 and 3 name each other
    addObject("Pong", "Ping", true);
    addObject("Lone", "Nobody", true); // 4: unknown name
    addObject("Case", "lone", true); // 5: names differ in case
    addObject("Target", " ", true); // 6: named by 7
    addObject("Src", "Target", false); // 7: hidden itself, stays hidden
    app.m_aObjects[0].strName = "Background";
    addObject("Bg", "Background", true); // 8: the background is never a target
    app.m_aRuntime[4].nActivates = 9;
    app.m_aObjects[5].bVisible = 7; // any non-zero byte means shown
    // The background slot and slots past the table are left alone.
    app.m_aRuntime[0].bVisible = TRUE;
    app.m_aObjects[0].bVisible = FALSE;
    app.m_aObjects[9].bVisible = TRUE;

    app.ResolveActivationLinks();
    app.ApplyVisibility();

    const int expectedTarget[] = { 0, 1, 3, 2, 0, 0, 0, 6, 0 };
    const bool expectedVisible[] = { false, false, false, false, true, true, false, false, true };
    for (int i = 1; i < app.m_nObjects; ++i) {
        SCOPED_TRACE(app.m_aObjects[i].strName.str());
        EXPECT_EQ(app.m_aRuntime[i].nActivates, expectedTarget[i]);
        EXPECT_EQ(bool(app.m_aObjects[i].bVisible), expectedVisible[i]);
        EXPECT_EQ(app.m_aRuntime[i].bVisible, expectedVisible[i] ? TRUE : FALSE);
    }
    EXPECT_EQ(app.m_aRuntime[0].bVisible, TRUE);
    EXPECT_EQ(app.m_aRuntime[9].bVisible, FALSE);
}

} // namespace
