// Frames composed from a background, objects in their states, captions and
// the highlight frame, checked at the window.

#include "scene/SceneSupport.h"
#include "support/Faults.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr DWORD kBack = 0x203040;

class CompositionTest : public testing::Test {
protected:
    explicit CompositionTest(int width = 320, int height = 240)
        : display(app, width, height)
    {
        app.m_nObjects = 1;
        app.m_aObjects[0].strName = "Background";
        app.m_aRuntime[0].bVisible = TRUE;
        app.m_dwBackPixel = kBack;
    }
    ~CompositionTest() override { ClearFaults(); }

    // Object i at `rc` with an Up image of one colour, keyed and shown.
    void addObject(RECT rc, DWORD upPixel)
    {
        const int i = app.m_nObjects++;
        app.m_aObjects[i].rcObject = rc;
        app.m_aObjects[i].bVisible = TRUE;
        app.m_aRuntime[i].bVisible = TRUE;
        app.m_aRuntime[i].nState = 1;
        app.m_aRuntime[i].pUp = MakeSurface(app, rc.right - rc.left, rc.bottom - rc.top, upPixel);
        app.SetObjectColorKeys(i);
    }

    bool frameIsUniform(DWORD pixel) const
    {
        const QImage& f = display.target.lastFrame;
        for (int y = 0; y < f.height(); ++y)
            for (int x = 0; x < f.width(); ++x)
                if ((f.pixel(x, y) & 0xFFFFFF) != pixel)
                    return false;
        return true;
    }

    CountingApp app;
    DisplayFixture display;
    ScriptedUi ui;
};

TEST_F(CompositionTest, BackgroundColourFillsTheFrame)
{
    ASSERT_TRUE(display.ok);
    app.m_bTile = TRUE; // no image: nothing to tile
    app.UpdateTileSurface();
    EXPECT_EQ(app.m_pDDSTile, nullptr);

    app.ComposeScene();
    ASSERT_EQ(display.target.presentations, 1);
    EXPECT_EQ(display.target.lastFrame.size(), QSize(320, 240));
    EXPECT_TRUE(frameIsUniform(kBack));
}

TEST_F(CompositionTest, SmallBackgroundImageSitsOverTheColour)
{
    ASSERT_TRUE(display.ok);
    QTemporaryDir dir;
    app.m_aObjects[0].strUpImage = WriteBitmap(dir.path(), "bg.bmp", 50, 40, QColor(0x11, 0x22, 0x33)).c_str();
    app.LoadObjectImages(0);
    app.UpdateTileSurface();
    EXPECT_EQ(app.m_pDDSTile, nullptr);

    app.ComposeScene();
    EXPECT_EQ(Shown(display, 0, 0), 0x112233u);
    EXPECT_EQ(Shown(display, 49, 39), 0x112233u);
    EXPECT_EQ(Shown(display, 50, 39), kBack);
    EXPECT_EQ(Shown(display, 49, 40), kBack);
    EXPECT_EQ(Shown(display, 319, 239), kBack);
}

TEST_F(CompositionTest, ScreenSizeImageIsNeverTiled)
{
    ASSERT_TRUE(display.ok);
    QTemporaryDir dir;
    app.m_aObjects[0].strUpImage = WriteBitmap(dir.path(), "bg.bmp", 320, 240, QColor(0x44, 0x55, 0x66)).c_str();
    app.m_bTile = TRUE;
    app.LoadObjectImages(0);
    app.UpdateTileSurface();
    EXPECT_EQ(app.m_pDDSTile, nullptr);

    app.ComposeScene();
    EXPECT_TRUE(frameIsUniform(0x445566));
}

TEST_F(CompositionTest, TileSurfaceFollowsTheSettings)
{
    ASSERT_TRUE(display.ok);
    QTemporaryDir dir;
    app.m_aObjects[0].strUpImage = WriteBitmap(dir.path(), "bg.bmp", 30, 30, Qt::red).c_str();
    app.LoadObjectImages(0);
    app.m_bTile = TRUE;
    app.UpdateTileSurface();
    EXPECT_NE(app.m_pDDSTile, nullptr);

    app.m_bTile = FALSE;
    app.UpdateTileSurface();
    EXPECT_EQ(app.m_pDDSTile, nullptr);

    // A tile surface that cannot be made leaves the image untiled over the colour.
    app.m_bTile = TRUE;
    FailNextCall(FaultPoint::CreateSurface);
    app.UpdateTileSurface();
    EXPECT_EQ(app.m_pDDSTile, nullptr);
    EXPECT_EQ(ui.messages, std::vector<std::string> { "fail:CreateSurface" });
    app.ComposeScene();
    EXPECT_EQ(Shown(display, 29, 29), 0xFF0000u);
    EXPECT_EQ(Shown(display, 30, 0), kBack);
    EXPECT_EQ(Shown(display, 0, 30), kBack);
}

class TiledCompositionTest : public CompositionTest {
protected:
    TiledCompositionTest()
        : CompositionTest(1024, 768)
    {
    }
};

TEST_F(TiledCompositionTest, TilesRepeatFromTheOriginAndCutAtTheEdges)
{
    ASSERT_TRUE(display.ok);
    // Every pixel of the 100 x 100 image differs from its neighbours.
    QImage image(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 2, (x * 7 + y * 3) & 0xFF));
    QTemporaryDir dir;
    app.m_aObjects[0].strUpImage = WriteBitmap(dir.path(), "tile.bmp", image).c_str();
    app.m_bTile = TRUE;
    app.LoadObjectImages(0);
    app.UpdateTileSurface();
    ASSERT_NE(app.m_pDDSTile, nullptr);

    app.ComposeScene();
    const QImage& frame = display.target.lastFrame;
    ASSERT_EQ(frame.size(), QSize(1024, 768));
    int wrong = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            wrong += (frame.pixel(x, y) & 0xFFFFFF) != (image.pixel(x % 100, y % 100) & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
}

TEST_F(CompositionTest, ObjectsShowTheImageAndCaptionOfTheirState)
{
    ASSERT_TRUE(display.ok);
    constexpr DWORD up = 0xAA0000, mouse = 0x00AA00, down = 0x0000AA, text = 0xDDDDDD, hot = 0xEEEE00;
    // Objects 1-3 have every image in states 1, 2, 3; 4-5 have only Up, in states 2 and 3.
    for (int k = 0; k < 5; ++k) {
        const LONG x = 10 + k * 60;
        addObject({ x, 10, x + 40, 50 }, up);
        const int i = app.m_nObjects - 1;
        ObjectRuntime& s = app.m_aRuntime[i];
        s.nState = k < 3 ? k + 1 : k - 1;
        if (k < 3) {
            s.pMouse = MakeSurface(app, 40, 40, mouse);
            s.pDown = MakeSurface(app, 40, 40, down);
        }
        s.pText = MakeSurface(app, 40, 10, text);
        s.pTextHot = MakeSurface(app, 40, 10, hot);
        app.m_aObjects[i].rcText = { x, 60, x + 40, 70 };
        app.SetObjectColorKeys(i);
    }

    app.ComposeScene();
    const DWORD image[] = { up, mouse, down, up, up };
    const DWORD caption[] = { text, hot, hot, hot, hot };
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(Shown(display, 30 + k * 60, 30), image[k]);
        EXPECT_EQ(Shown(display, 30 + k * 60, 65), caption[k]);
    }
}

TEST_F(CompositionTest, HiddenObjectsAndMissingSurfacesDrawNothing)
{
    ASSERT_TRUE(display.ok);
    addObject({ 10, 10, 50, 50 }, 0xAA0000);
    app.m_aRuntime[1].pText = MakeSurface(app, 40, 10, 0xDDDDDD);
    app.m_aObjects[1].rcText = { 10, 60, 50, 70 };
    app.SetObjectColorKeys(1);
    app.m_aRuntime[1].bVisible = FALSE;
    // Shown, in state 2, but with no images and no captions at all.
    app.m_nObjects = 3;
    app.m_aObjects[2].rcObject = { 100, 10, 140, 50 };
    app.m_aRuntime[2].bVisible = TRUE;
    app.m_aRuntime[2].nState = 2;

    app.ComposeScene();
    EXPECT_TRUE(frameIsUniform(kBack));
    EXPECT_NE(app.m_aRuntime[1].pUp, nullptr);

    // Showing it again draws both.
    app.m_aRuntime[1].bVisible = TRUE;
    app.ComposeScene();
    EXPECT_EQ(Shown(display, 30, 30), 0xAA0000u);
    EXPECT_EQ(Shown(display, 30, 65), 0xDDDDDDu);
}

TEST_F(CompositionTest, KeyColourIsTransparentAndOtherSizesAreScaled)
{
    ASSERT_TRUE(display.ok);
    addObject({ 20, 20, 84, 84 }, 0x00FF00);
    // The left half of the Up image is the key colour.
    IDirectDrawSurface* key = MakeSurface(app, 32, 64, app.m_dwColorKeyPixel);
    RECT left = { 0, 0, 32, 64 };
    app.m_aRuntime[1].pUp->Blt(&left, key, nullptr, 0, nullptr);
    key->Release();
    // A 2 x 2 Down image: scaled to the 64 x 64 rectangle, one colour per quadrant.
    IDirectDrawSurface* pDown = MakeSurface(app, 2, 2, 0x000011);
    SetPixelAt(pDown, 1, 0, 0x000022);
    SetPixelAt(pDown, 0, 1, 0x000033);
    SetPixelAt(pDown, 1, 1, app.m_dwColorKeyPixel);
    app.m_aRuntime[1].pDown = pDown;
    app.SetObjectColorKeys(1);
    ASSERT_EQ(app.m_dwColorKeyPixel, PixelOf(kColorKey));

    app.ComposeScene();
    EXPECT_EQ(Shown(display, 20, 50), kBack);
    EXPECT_EQ(Shown(display, 51, 50), kBack);
    EXPECT_EQ(Shown(display, 52, 50), 0x00FF00u);
    EXPECT_EQ(Shown(display, 83, 83), 0x00FF00u);

    app.m_aRuntime[1].nState = 3;
    app.ComposeScene();
    EXPECT_EQ(Shown(display, 20, 20), 0x000011u);
    EXPECT_EQ(Shown(display, 51, 51), 0x000011u);
    EXPECT_EQ(Shown(display, 52, 20), 0x000022u);
    EXPECT_EQ(Shown(display, 20, 52), 0x000033u);
    EXPECT_EQ(Shown(display, 52, 52), kBack);
}

TEST_F(CompositionTest, HighlightFrameIsOnePixelWideOnTop)
{
    ASSERT_TRUE(display.ok);
    addObject({ 0, 0, 200, 200 }, 0x00AA00);
    const RECT h = { 10, 20, 110, 70 };
    app.m_rcHighlight = h;
    for (int flag = 0; flag < 2; ++flag) {
        app.m_bRubberBand = flag == 0;
        app.m_bShowSelection = flag == 1;
        app.ComposeScene();
        int wrong = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 200; ++x) {
                const bool inside = x >= h.left && x < h.right && y >= h.top && y < h.bottom;
                const bool band = inside && (x == h.left || x == h.right - 1 || y == h.top || y == h.bottom - 1);
                wrong += Shown(display, x, y) != (band ? 0xFFFF00u : 0x00AA00u);
            }
        }
        EXPECT_EQ(wrong, 0) << "flag " << flag;
    }
    app.m_bShowSelection = FALSE;
    app.ComposeScene();
    EXPECT_EQ(Shown(display, 10, 20), 0x00AA00u);
}

TEST_F(CompositionTest, EmptyTableDrawsOnlyTheHighlight)
{
    ASSERT_TRUE(display.ok);
    DDBLTFX fx;
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = 0x010203;
    app.m_pDDSBack->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    app.m_nObjects = 0;
    app.m_bRubberBand = TRUE;
    app.m_rcHighlight = { 0, 0, 5, 5 };

    app.ComposeScene();
    EXPECT_EQ(Shown(display, 0, 0), 0xFFFF00u);
    EXPECT_EQ(Shown(display, 2, 2), 0x010203u);
    EXPECT_EQ(Shown(display, 300, 200), 0x010203u);
}

TEST_F(CompositionTest, PendingDragMovesTheSelectionOnce)
{
    ASSERT_TRUE(display.ok);
    addObject({ 10, 10, 30, 30 }, 0xAA0000);
    addObject({ 100, 10, 120, 30 }, 0x00AA00);
    addObject({ 200, 10, 220, 30 }, 0x0000AA);
    app.m_aRuntime[1].bSelected = TRUE;
    app.m_aRuntime[2].bSelected = TRUE;
    app.m_rcSelection = { 10, 10, 120, 30 };
    app.m_bDragImage = TRUE;
    app.m_sizeDrag = { -25, 5 }; // clamped to -10 at the left edge

    app.ComposeScene();
    EXPECT_EQ(app.m_sizeDrag, (SIZE {})); // spent
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 0, 15, 20, 35 }));
    EXPECT_EQ(app.m_aObjects[2].rcObject, (RECT { 90, 15, 110, 35 }));
    EXPECT_EQ(app.m_aObjects[3].rcObject, (RECT { 200, 10, 220, 30 }));
    EXPECT_EQ(Shown(display, 0, 34), 0xAA0000u);
    EXPECT_EQ(Shown(display, 10, 12), kBack);

    // Composed again during the drag: nothing moves twice.
    app.ComposeScene();
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 0, 15, 20, 35 }));
}

TEST_F(CompositionTest, SplashFollowsTheFirstPresentedFrameOnly)
{
    ASSERT_TRUE(display.ok);
    app.m_bSplashPending = TRUE;

    // A lost surface: restored, nothing presented, no splash yet.
    app.m_pDD->loseAllSurfaces();
    app.ComposeScene();
    EXPECT_EQ(app.restores, 1);
    EXPECT_EQ(app.splashes, 0);
    EXPECT_EQ(display.target.presentations, 0);

    for (int n = 0; n < 3; ++n)
        app.ComposeScene();
    EXPECT_EQ(app.restores, 1);
    EXPECT_EQ(app.splashes, 1);
    EXPECT_EQ(display.target.presentations, 3);
    EXPECT_TRUE(frameIsUniform(kBack));
}

TEST(CompositionWithoutDisplay, DoesNothing)
{
    CountingApp app;
    app.m_nObjects = 1;
    app.m_bSplashPending = TRUE;
    app.m_bDragImage = TRUE;
    app.m_sizeDrag = { -5, 0 };
    app.ComposeScene();
    EXPECT_EQ(app.splashes, 0);
    EXPECT_EQ(app.m_sizeDrag, (SIZE { -5, 0 }));
}

} // namespace
