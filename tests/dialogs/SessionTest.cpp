// A whole editing session through the context menu and the real dialogs,
// saved with Save As and started again from that file: the new start shows
// the same desktop, pixel for pixel.

#include "app/DesktopApp.h"
#include "platform/CDialog.h"
#include "res/resource.h"
#include "tests/support/DisplayFixture.h"
#include "tests/support/ScriptedUi.h"
#include "window/MainFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
const QColor kTileLeft(0, 160, 0);
const QColor kTileRight(0, 80, 0);

QRgb Pixel(const QImage& frame, LONG x, LONG y)
{
    return frame.pixel(int(x), int(y)) & 0xFFFFFF;
}

QRgb Rgb(QColor color)
{
    return color.rgb() & 0xFFFFFF;
}

class SessionTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok);
        ASSERT_TRUE(dir.isValid());
        red = WriteBitmap(dir.path(), "red.bmp", 20, 16, Qt::red);
        blue = WriteBitmap(dir.path(), "blue.bmp", 24, 24, Qt::blue);
        yellow = WriteBitmap(dir.path(), "yellow.bmp", 16, 12, Qt::yellow);
        // A tile of two halves, so the tiling shows in the frame.
        QImage tile(30, 20, QImage::Format_RGB32);
        tile.fill(kTileRight);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 15; ++x)
                tile.setPixelColor(x, y, kTileLeft);
        tileFile = WriteBitmap(dir.path(), "tile.bmp", tile);
        saveFile = dir.filePath("session.orv").toStdString();

        // The state start-up leaves with an empty desktop.
        QDir(dir.path()).mkpath("desktops");
        app.m_strAppDir = CString(dir.path().toStdString());
        app.m_strDesktopFile = app.m_strAppDir + "\\desktops\\default.orv";
        app.m_bLocked = TRUE;
        app.m_bSplashPending = FALSE;
        app.m_crLastColor = RGB(255, 255, 255);
        app.m_lfDefault.lfHeight = -11;
        app.m_lfDefault.lfWeight = 400;
        std::strcpy(app.m_lfDefault.lfFaceName, "DejaVu Sans");
        app.m_nObjects = 1;
        app.m_aObjects[0].strName = "Background";
        app.m_aObjects[0].bVisible = TRUE;
        app.m_aRuntime[0] = { FALSE, TRUE, 1, 0 };
        app.m_ptLast = POINT {};
        ui.onMessageBox = [](const CString&, UINT) { return IDOK; };
    }

    // A right click at `pt` choosing `command`.
    void Command(POINT pt, UINT command)
    {
        ui.onMenu = [command](const std::vector<MenuItemState>&) { return command; };
        frame.OnRButtonDown(0, pt);
    }

    // Insert through the menu and the Object Properties dialog.
    void Insert(POINT pt, const char* name, const std::string& image, const char* caption)
    {
        ui.onDialog = [&](CDialog& dlg) {
            dlg.GetDlgItem(IDC_OBJECT_NAME)->SetWindowText(name);
            dlg.GetDlgItem(IDC_UP_IMAGE)->SetWindowText(CString(image));
            dlg.GetDlgItem(IDC_TEXT)->SetWindowText(caption);
            dlg.ClickButton(IDOK);
        };
        Command(pt, ID_OBJECT_INSERT);
    }

    static POINT Centre(const RECT& rc) { return { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 }; }

    std::vector<std::string> Names(const CDesktopApp& desktop) const
    {
        std::vector<std::string> names;
        for (int i = 1; i < desktop.m_nObjects; ++i)
            names.push_back(desktop.m_aObjects[i].strName.str());
        return names;
    }

    CDesktopApp app;
    DisplayFixture display { app, kWidth, kHeight };
    CMainFrame frame;
    ScriptedUi ui;
    QTemporaryDir dir;
    std::string red, blue, yellow, tileFile, saveFile;
};

TEST_F(SessionTest, SavedSessionStartsAgainAsLeft)
{
    // Three objects with images and captions.
    Insert({ 20, 20 }, "Red", red, "Red one");
    Insert({ 120, 30 }, "Blue", blue, "Blue\r\ntwo lines");
    Insert({ 40, 150 }, "Yellow", yellow, "Yellow");
    ASSERT_EQ(Names(app), (std::vector<std::string> { "Red", "Blue", "Yellow" }));
    EXPECT_EQ(app.m_aObjects[1].rcObject.right - app.m_aObjects[1].rcObject.left, 20);

    // Unlocked, the red object is dragged by (30, 25).
    Command({ 300, 220 }, ID_DESKTOP_LOCKED);
    ASSERT_FALSE(app.m_bLocked);
    const RECT before = app.m_aObjects[1].rcObject;
    const RECT captionBefore = app.m_aObjects[1].rcText;
    const POINT grip = Centre(before);
    frame.OnLButtonDown(0, grip);
    frame.OnMouseMove(0, { grip.x + 10, grip.y + 5 });
    frame.OnMouseMove(0, { grip.x + 30, grip.y + 25 });
    frame.OnLButtonUp(0, { grip.x + 30, grip.y + 25 });
    EXPECT_EQ(app.m_aObjects[1].rcObject.left, before.left + 30);
    EXPECT_EQ(app.m_aObjects[1].rcObject.top, before.top + 25);
    EXPECT_EQ(app.m_aObjects[1].rcText.left, captionBefore.left + 30);

    // Copy the red object, paste it on empty desktop, then move it to the
    // bottom of the drawing order and delete the blue object.
    Command(Centre(app.m_aObjects[1].rcObject), ID_OBJECT_COPY);
    Command({ 200, 160 }, ID_OBJECT_PASTE);
    ASSERT_EQ(Names(app), (std::vector<std::string> { "Red", "Blue", "Yellow", "Red.1" }));
    EXPECT_EQ(app.m_aObjects[4].rcObject.left, 200);
    Command(Centre(app.m_aObjects[4].rcObject), ID_ORDER_MOVE_TO_BOTTOM);
    ASSERT_EQ(Names(app), (std::vector<std::string> { "Red.1", "Red", "Blue", "Yellow" }));
    ui.messages.clear();
    Command(Centre(app.m_aObjects[3].rcObject), ID_OBJECT_DELETE);
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Are you sure you want to delete 'Blue'?" }));
    ASSERT_EQ(Names(app), (std::vector<std::string> { "Red.1", "Red", "Yellow" }));

    // A tiled background and a colour, then Save As.
    const COLORREF colour = RGB(10, 20, 200);
    ui.onColor = [colour](COLORREF) { return std::optional<COLORREF>(colour); };
    ui.onDialog = [&](CDialog& dlg) {
        dlg.GetDlgItem(IDC_BACKGROUND)->SetWindowText(CString(tileFile));
        dlg.ClickButton(IDC_TILE);
        dlg.ClickButton(IDC_BACK_COLOR);
        dlg.ClickButton(IDOK);
    };
    Command({ 300, 10 }, ID_OBJECT_PROPERTIES);
    EXPECT_TRUE(app.m_bTile);
    EXPECT_EQ(app.m_crBackground, colour);
    ui.onFile = [&](const FileDialogRequest& request) {
        EXPECT_FALSE(request.open);
        return std::optional<CString>(CString(saveFile));
    };
    ui.onDialog = [](CDialog& dlg) { dlg.ClickButton(IDC_SAVE_AS); };
    Command({ 300, 10 }, ID_OBJECT_PROPERTIES);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(saveFile)));

    // The pointer rests on empty desktop for the frame to compare.
    frame.OnMouseMove(0, { 300, 10 });
    app.ComposeScene();
    const QImage left = display.target.lastFrame;
    ASSERT_EQ(left.size(), QSize(kWidth, kHeight));
    // The frame shows the tiled background and the objects where they went.
    for (const POINT pt : { POINT { 300, 10 }, POINT { 310, 200 }, POINT { 5, 230 } })
        EXPECT_EQ(Pixel(left, pt.x, pt.y), Rgb(pt.x % 30 < 15 ? kTileLeft : kTileRight)) << pt.x << "," << pt.y;
    const RECT moved = app.m_aObjects[2].rcObject;
    EXPECT_EQ(Pixel(left, moved.left + 1, moved.top + 1), Rgb(Qt::red));
    const RECT pasted = app.m_aObjects[1].rcObject;
    EXPECT_EQ(Pixel(left, pasted.left + 1, pasted.top + 1), Rgb(Qt::red));
    const RECT third = app.m_aObjects[3].rcObject;
    EXPECT_EQ(Pixel(left, third.left + 1, third.top + 1), Rgb(Qt::yellow));

    // A fresh application on the saved file, loaded and rebuilt as start-up
    // does.
    CDesktopApp again;
    DisplayFixture display2 { again, kWidth, kHeight };
    ASSERT_TRUE(display2.ok);
    again.m_strAppDir = app.m_strAppDir;
    again.m_strDesktopFile = CString(saveFile);
    again.m_bSplashPending = FALSE;
    again.LoadDesktop();
    again.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    again.m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i = 0; i < again.m_nObjects; ++i) {
        again.LoadObjectImages(i);
        again.CreateCaptionSurfaces(i);
        again.SetObjectColorKeys(i);
    }
    again.UpdateTileSurface();
    again.ResolveActivationLinks();
    again.ApplyVisibility();
    EXPECT_EQ(Names(again), Names(app));
    EXPECT_EQ(again.m_crBackground, colour);
    again.ComposeScene();

    const QImage shown = display2.target.lastFrame;
    ASSERT_EQ(shown.size(), left.size());
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differing += Pixel(shown, x, y) != Pixel(left, x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
    // Nothing was said during the session but the one confirmation.
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
