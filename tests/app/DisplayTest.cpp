#include "app/DesktopApp.h"
#include "bitmaps/DDUtil.h"
#include "support/DisplayFixture.h"
#include "support/Faults.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Records the calls the display makes into the rest of the application.
class RecordingApp : public CDesktopApp {
public:
    std::vector<std::string> calls;

    void ReleaseObjectImages(int i) override
    {
        calls.push_back("ReleaseObjectImages " + std::to_string(i));
        CDesktopApp::ReleaseObjectImages(i);
    }
    void ReleaseCaptionSurfaces(int i) override
    {
        calls.push_back("ReleaseCaptionSurfaces " + std::to_string(i));
        CDesktopApp::ReleaseCaptionSurfaces(i);
    }
    void CreateCaptionSurfaces(int i) override { calls.push_back("CreateCaptionSurfaces " + std::to_string(i)); }
    void SetObjectColorKeys(int i) override { calls.push_back("SetObjectColorKeys " + std::to_string(i)); }
    void UpdateTileSurface() override { calls.push_back("UpdateTileSurface"); }
    void ReleaseTileSurface() override
    {
        calls.push_back("ReleaseTileSurface");
        CDesktopApp::ReleaseTileSurface();
    }
};

DWORD firstPixel(IDirectDrawSurface* s)
{
    DWORD value = 0;
    std::memcpy(&value, s->bits(), size_t(s->bitsPerPixel() / 8));
    return value;
}

TEST(DisplayCreation, BuildsAClippedPrimaryAndAScreenSizeBackBuffer)
{
    ScriptedUi ui;
    CDesktopApp app;
    DisplayFixture display(app, 64, 48);
    ASSERT_TRUE(display.ok);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app.m_pDDSBack->width(), 64);
    EXPECT_EQ(app.m_pDDSBack->height(), 48);
    EXPECT_EQ(app.m_pClipper->window(), &display.target);
    EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);

    DDBLTFX fx {};
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = app.m_dwColorKeyPixel;
    ASSERT_EQ(app.m_pDDSBack->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    ASSERT_EQ(app.m_pDDSPrimary->Blt(&app.m_rcScreen, app.m_pDDSBack, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(display.target.presentations, 1);
    ASSERT_EQ(display.target.lastFrame.size(), QSize(64, 48));
    EXPECT_EQ(display.target.lastFrame.pixel(63, 47), qRgb(0, 127, 127));
}

struct StepFault {
    FaultPoint point;
    int nth;
    const char* message;
};

class DisplayCreationFailure : public testing::TestWithParam<StepFault> { };

TEST_P(DisplayCreationFailure, ShowsTheStepThenReleasesEverything)
{
    ScriptedUi ui;
    CDesktopApp app;
    app.m_cxScreen = 32;
    app.m_cyScreen = 16;
    FailNextCall(GetParam().point, GetParam().nth);
    CapturingTarget window;
    EXPECT_EQ(app.CreateDisplay(&window), FALSE);
    ClearFaults();
    EXPECT_EQ(ui.messages, (std::vector<std::string> { GetParam().message, "DirectDraw Init FAILED" }));
    // Nothing is left behind (the sanitizer build also checks the memory).
    EXPECT_EQ(app.m_pDD, nullptr);
    EXPECT_EQ(app.m_pDDSPrimary, nullptr);
    EXPECT_EQ(app.m_pDDSBack, nullptr);
    EXPECT_EQ(app.m_pClipper, nullptr);
}

INSTANTIATE_TEST_SUITE_P(EachStep, DisplayCreationFailure,
    testing::Values(StepFault { FaultPoint::DirectDrawCreate, 1, "fail:DirectDrawCreate" },
        StepFault { FaultPoint::CreateSurface, 1, "fail:CreateSurface" },
        StepFault { FaultPoint::CreateSurface, 2, "fail:CreateSurface" },
        StepFault { FaultPoint::CreateClipper, 1, "fail:CreateClipper" },
        StepFault { FaultPoint::SetHWnd, 1, "fail:SetHwnd" },
        StepFault { FaultPoint::SetClipper, 1, "fail:SetClipper" }));

TEST(DisplayRelease, GoesInItsOrderAndClearsEveryField)
{
    RecordingApp app;
    DisplayFixture display(app, 8, 8);
    ASSERT_TRUE(display.ok);
    app.m_nObjects = 2;
    app.m_pDDPal = DDLoadPalette(app.m_pDD, nullptr);
    app.ReleaseDirectDraw();
    EXPECT_EQ(app.calls,
        (std::vector<std::string> { "ReleaseObjectImages 0", "ReleaseCaptionSurfaces 0", "ReleaseObjectImages 1",
            "ReleaseCaptionSurfaces 1", "ReleaseTileSurface" }));
    EXPECT_EQ(app.m_pDD, nullptr);
    EXPECT_EQ(app.m_pDDSColor, nullptr);
    EXPECT_EQ(app.m_pDDPal, nullptr);
    EXPECT_EQ(app.m_pClipper, nullptr);
    app.ReleaseDirectDraw(); // nothing left to do, nothing to crash on
}

TEST(ColorSurface, FailureKeepsTheOldKeyPixel)
{
    ScriptedUi ui;
    CDesktopApp app;
    DisplayFixture display(app, 8, 8);
    ASSERT_TRUE(display.ok);
    app.ReleaseColorSurface();
    app.m_dwColorKeyPixel = 12345;
    FailNextCall(FaultPoint::CreateSurface);
    app.CreateColorSurface();
    EXPECT_EQ(ui.messages, std::vector<std::string> { "fail:CreateColor" });
    EXPECT_EQ(app.m_pDDSColor, nullptr);
    EXPECT_EQ(app.m_dwColorKeyPixel, 12345u);
    app.CreateColorSurface();
    EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);
}

TEST(ColorSurface, KeyPixelFollowsTheDisplayDepth)
{
    DisplayDepth depth(16);
    CDesktopApp app;
    DisplayFixture display(app, 8, 8);
    ASSERT_TRUE(display.ok);
    EXPECT_EQ(app.m_dwColorKeyPixel, DWORD((127 >> 2) << 5 | (127 >> 3)));
}

class Restoring : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok);
        up = WriteBitmap(dir.path(), "up.bmp", 4, 4, QColor(10, 20, 30));
        app.m_nObjects = 2;
        app.m_aObjects[1].strUpImage = CString(up.c_str());
        app.m_aObjects[1].strDownImage = "missing.bmp"; // its surface never loaded
        app.m_aRuntime[1].pUp = DDLoadBitmap(app.m_pDD, up.c_str(), 0, 0);
        ASSERT_NE(app.m_aRuntime[1].pUp, nullptr);
        app.m_aRuntime[1].pText = DDLoadBitmap(app.m_pDD, up.c_str(), 0, 0);
    }

    QTemporaryDir dir;
    std::string up;
    RecordingApp app;
    DisplayFixture display { app, 16, 16 };
};

TEST_F(Restoring, ReloadsImagesAndRebuildsCaptions)
{
    app.m_pDD->loseAllSurfaces();
    WriteBitmap(dir.path(), "up.bmp", 4, 4, QColor(90, 80, 70)); // changed on disk meanwhile
    ASSERT_EQ(app.RestoreSurfaces(), TRUE);
    EXPECT_FALSE(app.m_pDDSPrimary->isLost());
    EXPECT_FALSE(app.m_pDDSBack->isLost());
    EXPECT_FALSE(app.m_aRuntime[1].pUp->isLost());
    EXPECT_EQ(firstPixel(app.m_aRuntime[1].pUp), 0x5A5046u);
    EXPECT_EQ(app.calls,
        (std::vector<std::string> { "SetObjectColorKeys 0", "ReleaseCaptionSurfaces 1", "CreateCaptionSurfaces 1",
            "SetObjectColorKeys 1", "UpdateTileSurface" }));
}

TEST_F(Restoring, FailsWhenAnImageCannotBeReloaded)
{
    QFile::remove(QString::fromStdString(up));
    EXPECT_EQ(app.RestoreSurfaces(), FALSE);
    FailNextCall(FaultPoint::Restore);
    EXPECT_EQ(app.RestoreSurfaces(), FALSE);
}

TEST_F(Restoring, FailedPrimaryOrBackBufferEndsIt)
{
    for (int nth : { 1, 2 }) {
        app.calls.clear();
        FailNextCall(FaultPoint::Restore, nth);
        EXPECT_EQ(app.RestoreSurfaces(), FALSE);
        EXPECT_TRUE(app.calls.empty());
    }
}

TEST_F(Restoring, AuxiliarySurfaceThatCannotBeRestoredIsDropped)
{
    ScriptedUi ui;
    // Primary, back buffer, then the colour surface (no tile or text work).
    FailNextCall(FaultPoint::Restore, 3);
    app.m_dwColorKeyPixel = 0;
    ASSERT_EQ(app.RestoreSurfaces(), TRUE);
    // Made again, so colour matching keeps working.
    ASSERT_NE(app.m_pDDSColor, nullptr);
    // Primary, back buffer, colour and the Up image (captions are rebuilt by a stand-in here).
    EXPECT_EQ(app.m_pDD->liveSurfaceCount(), 4u);
    EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
