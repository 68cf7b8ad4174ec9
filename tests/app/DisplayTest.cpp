// The display: creation and its failures, the colour surface, release, and
// the restore of lost surfaces seen in the frames that follow.
#include "bitmaps/DDUtil.h"
#include "support/Faults.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(Display, CreationClipsToTheWindowAndMatchesTheKeyPixel)
{
    TestDesktop desk(8, 8);
    CDesktopApp& app = desk.app;
    EXPECT_EQ(app.m_pClipper->window(), &desk.display.target);
    EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);
    // A colour surface that cannot be made keeps the old key pixel.
    app.ReleaseColorSurface();
    app.m_dwColorKeyPixel = 12345;
    FailNextCall(FaultPoint::CreateSurface);
    app.CreateColorSurface();
    EXPECT_EQ(desk.ui.messages, std::vector<std::string> { "fail:CreateColor" });
    EXPECT_EQ(app.m_pDDSColor, nullptr);
    EXPECT_EQ(app.m_dwColorKeyPixel, 12345u);
    // The key pixel follows the display's depth.
    DisplayDepth depth(16);
    TestDesktop desk16(8, 8);
    EXPECT_EQ(desk16.app.m_dwColorKeyPixel, DWORD((127 >> 2) << 5 | (127 >> 3)));
}

TEST(Display, EachFailedStepIsShownAndNothingIsLeft)
{
    for (auto [point, nth, message] : { std::tuple { FaultPoint::DirectDrawCreate, 1, "fail:DirectDrawCreate" },
             { FaultPoint::CreateSurface, 1, "fail:CreateSurface" },
             { FaultPoint::CreateSurface, 2, "fail:CreateSurface" },
             { FaultPoint::CreateClipper, 1, "fail:CreateClipper" }, { FaultPoint::SetHWnd, 1, "fail:SetHwnd" },
             { FaultPoint::SetClipper, 1, "fail:SetClipper" } }) {
        SCOPED_TRACE(message + std::to_string(nth));
        ScriptedUi ui;
        CDesktopApp app;
        app.m_cxScreen = 32;
        app.m_cyScreen = 16;
        FailNextCall(point, nth);
        CapturingTarget window;
        EXPECT_EQ(app.CreateDisplay(&window), FALSE);
        ClearFaults();
        EXPECT_EQ(ui.messages, (std::vector<std::string> { message, "DirectDraw Init FAILED" }));
        // The sanitizer build also checks the memory.
        EXPECT_TRUE(!app.m_pDD && !app.m_pDDSPrimary && !app.m_pDDSBack && !app.m_pClipper);
    }
}

// A 64 x 48 desktop: a tiled 10 x 10 background and a captioned 8 x 8 object,
// both pictures from files.
struct Desk : TestDesktop {
    Desk()
        : TestDesktop(64, 48)
    {
        app.m_bTile = TRUE;
        app.m_aObjects[0].strUpImage = Bitmap(10, 10, Qt::darkBlue).c_str();
        app.LoadObjectImages(0);
        app.UpdateTileSurface();
        AddObject("A", { 4, 4, 12, 12 }, "Hi\r\nthere");
    }
    ~Desk() { ClearFaults(); }
    // Rewrites object i's picture of `size` in `color`.
    void Repaint(int i, int size, QColor color)
    {
        WriteBitmap(dir.path(), QFileInfo(app.m_aObjects[i].strUpImage.str().c_str()).fileName(), size, size, color);
    }
    IDirectDrawSurface* Surfaces(int k) const
    {
        IDirectDrawSurface* all[]
            = { app.m_pDDSPrimary, app.m_pDDSBack, app.m_pDDSTile, app.m_pDDSTextWork, app.m_pDDSColor,
                  app.m_aRuntime[0].pUp, app.m_aRuntime[1].pUp, app.m_aRuntime[1].pText, app.m_aRuntime[1].pTextHot };
        return all[k];
    }
};

// Lost surfaces come back (the pictures reloaded from their files, which
// changed meanwhile, the captions rebuilt and keyed, the tile rebuilt); one
// of the tile, text work and colour surfaces that cannot be restored is made
// anew; a failure anywhere else fails the restore. Release ends it all.
TEST(Display, RestoreBringsBackWhatTheFramesShowAndReleaseEndsIt)
{
    const QColor back(0x10, 0x80, 0x40), object(0xC0, 0x20, 0x30);
    // The nth Restore fails: primary, back buffer, tile, text work, colour,
    // background picture; or the object's picture file is gone.
    for (auto [nth, removed, restored] : { std::tuple { 0, false, true }, { 1, false, false }, { 2, false, false },
             { 3, false, true }, { 4, false, true }, { 5, false, true }, { 6, false, false }, { 0, true, false } }) {
        SCOPED_TRACE(testing::Message() << "failing " << nth << (removed ? " removed" : ""));
        Desk desk;
        CDesktopApp& app = desk.app;
        const size_t live = app.m_pDD->liveSurfaceCount();
        app.m_pDD->loseAllSurfaces();
        desk.Repaint(0, 10, back);
        if (removed)
            QFile::remove(app.m_aObjects[1].strUpImage.str().c_str());
        else
            desk.Repaint(1, 8, object);
        if (nth)
            FailNextCall(FaultPoint::Restore, nth);
        if (nth == 5)
            app.m_dwColorKeyPixel = 0; // made again, so matched again
        ASSERT_EQ(app.RestoreSurfaces(), restored ? TRUE : FALSE);
        ClearFaults();
        if (!restored) {
            EXPECT_EQ(app.m_aRuntime[1].pUp->isLost(), !removed); // nothing after the failure restored
            continue;
        }
        for (int k = 0; k < 9; ++k)
            EXPECT_TRUE(desk.Surfaces(k) && !desk.Surfaces(k)->isLost()) << k;
        EXPECT_EQ(app.m_pDD->liveSurfaceCount(), live);
        EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);
        EXPECT_TRUE(desk.ui.messages.empty());

        app.ComposeScene();
        const RECT& text = app.m_aObjects[1].rcText;
        EXPECT_EQ(desk.Shown(40, 40), back.rgb() & 0xFFFFFF);
        EXPECT_EQ(desk.Shown(5, 5), object.rgb() & 0xFFFFFF);
        for (auto [x, y] : { std::pair { text.right - 1, text.top }, { text.right - 1, text.bottom - 1 } })
            EXPECT_EQ(desk.Shown(x, y), back.rgb() & 0xFFFFFF) << "keyed at " << x << "," << y;

        // Release then clears every field, a second time without harm.
        app.m_pDDPal = DDLoadPalette(app.m_pDD, nullptr);
        app.ReleaseDirectDraw();
        app.ReleaseDirectDraw();
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(desk.Surfaces(k), nullptr) << k;
        EXPECT_TRUE(!app.m_pDD && !app.m_pDDPal && !app.m_pClipper);
    }
}

} // namespace
