#include "app/DesktopApp.h"
#include "support/DisplayFixture.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

TEST(DisplayFixtureTest, PresentsTheBackBuffer)
{
    CDesktopApp app;
    DisplayFixture display(app, 64, 48);
    ASSERT_TRUE(display.ok);
    DDBLTFX fx {};
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = app.m_dwColorKeyPixel;
    ASSERT_EQ(app.m_pDDSBack->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    ASSERT_EQ(app.m_pDDSPrimary->Blt(&app.m_rcScreen, app.m_pDDSBack, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(display.target.presentations, 1);
    ASSERT_EQ(display.target.lastFrame.size(), QSize(64, 48));
    EXPECT_EQ(display.target.lastFrame.pixel(10, 10), qRgb(0, 127, 127));
}
