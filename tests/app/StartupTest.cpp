// Start-up: the order of its steps, the start values, the window's placement
// and the program folder.
#include "app/DesktopApp.h"
#include "dialogs/SplashDlg.h"
#include "platform/CFrameWnd.h"
#include "platform/Path.h"
#include "platform/Screen.h"
#include "support/Faults.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

inline IDirectDrawSurface* const kStaleSurface = reinterpret_cast<IDirectDrawSurface*>(0x1000);

// Records the steps start-up takes; a step that builds nothing is recorded
// without doing anything, so the order is seen without real desktop content.
class StartupApp : public CDesktopApp {
public:
    ~StartupApp() override { DestroyMainWindow(); }

    void LoadDesktop() override
    {
        log.push_back(m_pDD ? "LoadDesktop with display" : "LoadDesktop");
        if (onLoadDesktop)
            onLoadDesktop();
        else
            CDesktopApp::LoadDesktop();
    }
    void CreateColorSurface() override
    {
        log.push_back(m_pDDSPrimary && m_pDDSBack ? "CreateColorSurface" : "CreateColorSurface without display");
        CDesktopApp::CreateColorSurface();
    }
    void LoadObjectImages(int i) override { log.push_back("LoadObjectImages " + std::to_string(i)); }
    void CreateCaptionSurfaces(int i) override { log.push_back("CreateCaptionSurfaces " + std::to_string(i)); }
    void SetObjectColorKeys(int i) override { log.push_back("SetObjectColorKeys " + std::to_string(i)); }
    void UpdateTileSurface() override { log.push_back("UpdateTileSurface"); }
    void ResolveActivationLinks() override { log.push_back("ResolveActivationLinks"); }
    void ApplyVisibility() override { log.push_back("ApplyVisibility"); }
    void ComposeScene() override { log.push_back("ComposeScene"); }

    std::vector<std::string> log;
    std::function<void()> onLoadDesktop;
};

class StartupTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ClearScreenOverride();
        ClearFaults();
    }
    void UseScreen(SIZE screen, std::optional<RECT> workArea)
    {
        SetScreenOverride(ScreenOverride { screen, workArea });
    }
    QWindow* Window() const { return static_cast<CFrameWnd*>(app.m_pMainWnd)->windowHandle(); }

    ScriptedUi ui;
    StartupApp app;
};

// The program folder as the system names it, independently of start-up.
CString ExpectedAppDir()
{
    return CString(QCoreApplication::applicationDirPath().toStdString());
}

} // namespace

TEST_F(StartupTest, BuildsEverythingInOrderFromItsStartValues)
{
    UseScreen(SIZE { 1024, 768 }, RECT { 0, 0, 1024, 740 });
    // Leftovers that start-up must clear.
    app.m_bLocked = FALSE;
    app.m_nHoverObject = 7;
    app.m_bRubberBand = TRUE;
    app.m_crLastColor = 0x123456;
    app.m_aRuntime[40].pUp = kStaleSurface;
    app.m_aRuntime[51].pTextHot = kStaleSurface;
    CStringArray seenLines;

    app.onLoadDesktop = [&] {
        // The start values are in place before the desktop is read.
        EXPECT_EQ(app.m_nMaxObjects, 51);
        EXPECT_EQ(app.m_cxScreen, 1024);
        EXPECT_EQ(app.m_cyScreen, 768);
        EXPECT_EQ(app.m_cxDesktop, 1024);
        EXPECT_EQ(app.m_cyDesktop, 768);
        EXPECT_EQ(app.m_rcScreen, (RECT { 0, 0, 1024, 768 }));
        EXPECT_EQ(app.m_bLocked, TRUE);
        EXPECT_EQ(app.m_nHoverObject, 0);
        EXPECT_EQ(app.m_bRubberBand, FALSE);
        EXPECT_EQ(app.m_crLastColor, RGB(255, 255, 255));
        EXPECT_EQ(app.m_bSplashPending, TRUE);
        EXPECT_EQ(app.m_aRuntime[40].pUp, nullptr);
        EXPECT_EQ(app.m_aRuntime[51].pTextHot, nullptr);
        // The window is up, over the work area.
        ASSERT_NE(app.m_pMainWnd, nullptr);
        EXPECT_TRUE(Window()->isVisible());
        EXPECT_EQ(Window()->geometry(), QRect(0, 0, 1024, 740));
        app.m_nObjects = 3;
    };

    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(ui.messages.empty());
    const std::vector<std::string> expected { "LoadDesktop", "CreateColorSurface", "LoadObjectImages 0",
        "CreateCaptionSurfaces 0", "SetObjectColorKeys 0", "LoadObjectImages 1", "CreateCaptionSurfaces 1",
        "SetObjectColorKeys 1", "LoadObjectImages 2", "CreateCaptionSurfaces 2", "SetObjectColorKeys 2",
        "UpdateTileSurface", "ResolveActivationLinks", "ApplyVisibility" };
    EXPECT_EQ(app.log, expected);
    EXPECT_EQ(app.m_ddsd.dwSize, DDSURFACEDESC_SIZE);
    EXPECT_EQ(app.m_ddsd.dwFlags, DDSD_HEIGHT | DDSD_WIDTH);

    // The screen keeps its size; the desktop ends where the work area does.
    EXPECT_EQ(app.m_cxScreen, 1024);
    EXPECT_EQ(app.m_cyScreen, 768);
    EXPECT_EQ(app.m_cxDesktop, 1024);
    EXPECT_EQ(app.m_cyDesktop, 740);
    EXPECT_NE(app.m_pDDSColor, nullptr);
    ASSERT_NE(app.m_pDDSBack, nullptr);
    EXPECT_EQ(app.m_pDDSBack->width(), 1024);
    EXPECT_EQ(app.m_pDDSBack->height(), 768);

    // The program folder and the paths built on it.
    const CString dir = ExpectedAppDir();
    EXPECT_EQ(app.m_strAppDir, dir);
    EXPECT_EQ(app.m_strDesktopFile, dir + "\\desktops\\default.orv");
    EXPECT_EQ(CString(app.m_szPalettePath), dir + "\\res\\palette.bmp");
}

TEST_F(StartupTest, WorkAreaAwayFromTheCornerPlacesTheWindowThere)
{
    // A panel along the top: the window starts below it and no taller than
    // the work area; the desktop keeps screen coordinates.
    UseScreen(SIZE { 1024, 768 }, RECT { 0, 30, 1024, 768 });
    app.onLoadDesktop = [] {};
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(Window()->geometry(), QRect(0, 30, 1024, 738));
    EXPECT_EQ(app.m_cyDesktop, 768);
}

TEST_F(StartupTest, WithoutAWorkAreaStartUpFails)
{
    UseScreen(SIZE { 1024, 768 }, std::nullopt);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Unable to get workarea dimensions" }));
    EXPECT_TRUE(app.log.empty());
    EXPECT_EQ(app.m_pDD, nullptr);
}

TEST_F(StartupTest, DisplayFailureEndsStartUpWithNothingBuilt)
{
    UseScreen(SIZE { 640, 480 }, RECT { 0, 0, 640, 480 });
    app.onLoadDesktop = [&] { app.m_nObjects = 2; };
    FailNextCall(FaultPoint::CreateClipper);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "fail:CreateClipper", "DirectDraw Init FAILED" }));
    EXPECT_EQ(app.log, (std::vector<std::string> { "LoadDesktop" }));
    EXPECT_EQ(app.m_pDD, nullptr);
    EXPECT_EQ(app.m_pDDSPrimary, nullptr);
    EXPECT_EQ(app.m_pDDSBack, nullptr);
}

TEST_F(StartupTest, MissingDefaultDesktopStillStarts)
{
    UseScreen(SIZE { 640, 480 }, RECT { 0, 0, 640, 480 });
    if (QFile::exists(QString::fromStdString(NativePath(ExpectedAppDir() + "\\desktops\\default.orv"))))
        GTEST_SKIP() << "a default desktop lies beside the test program";
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Desktop file could not be opened!" }));
    EXPECT_EQ(app.m_nObjects, 0);
    EXPECT_NE(app.m_pDDSPrimary, nullptr);
    EXPECT_TRUE(Window()->isVisible());
}

TEST_F(StartupTest, FirstPaintShowsTheDesktopThenTheGreetingOnce)
{
    // A desktop of only a background colour, composed for real.
    class PaintingApp : public StartupApp {
    public:
        void ComposeScene() override { CDesktopApp::ComposeScene(); }
    };
    ScriptedUi script;
    int splashes = 0;
    script.onDialog = [&](CDialog& dialog) { splashes += dynamic_cast<CSplashDlg*>(&dialog) != nullptr; };
    PaintingApp painting;
    UseScreen(SIZE { 320, 240 }, RECT { 0, 0, 320, 240 });
    const QColor background(0x33, 0x66, 0x99);
    painting.onLoadDesktop = [&] {
        painting.m_nObjects = 1;
        painting.m_aObjects[0].strName = "Background";
        painting.m_aObjects[0].rcObject = RECT { 0, 0, 320, 240 };
        painting.m_crBackground = RGB(0x33, 0x66, 0x99);
        painting.m_dwBackPixel = background.rgb() & 0xFFFFFF; // 32-bit display pixel
    };
    ASSERT_TRUE(painting.InitInstance());
    auto* frame = static_cast<CFrameWnd*>(painting.m_pMainWnd);
    frame->setKeepPresentedFrame(true);
    ASSERT_TRUE(WaitFor([&] { return !frame->presentedFrame().isNull(); }));
    const QImage shown = frame->windowHandle()->screen()->grabWindow(frame->windowHandle()->winId()).toImage();
    ASSERT_EQ(shown.size(), QSize(320, 240));
    for (QPoint p : { QPoint(0, 0), QPoint(319, 239), QPoint(160, 120) })
        EXPECT_EQ(QColor(shown.pixel(p)), background);
    EXPECT_EQ(splashes, 1);
    EXPECT_EQ(painting.m_bSplashPending, FALSE);

    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(frame->windowHandle(), &update);
    EXPECT_EQ(splashes, 1);
}

// The program folder keeps its case, and a palette path too long for its
// buffer is dropped in favour of the built-in palette. Both need the program
// to run from such a folder: the test runs a link to this test program there.
TEST(StartupFolder, LongMixedCaseFolderKeepsCaseAndFallsBackToBuiltInPalette)
{
    QTemporaryDir base(QCoreApplication::applicationDirPath() + "/startup-XXXXXX");
    ASSERT_TRUE(base.isValid());
    QString folder = base.path() + "/Program Files/Orvanta Desk";
    while (folder.size() < 260)
        folder += "/Deeper Folder";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::filesystem::path self = QCoreApplication::applicationFilePath().toStdString();
    const std::filesystem::path copy = (folder + "/orvanta_tests").toStdString();
    std::error_code error;
    std::filesystem::create_hard_link(self, copy, error);
    if (error)
        std::filesystem::copy_file(self, copy, error);
    ASSERT_FALSE(error) << error.message();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVANTA_STARTUP_FOLDER", folder);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QString::fromStdString(copy.string()), { "--gtest_filter=StartupInFolder.*" });
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Runs only as the child of the test above.
TEST(StartupInFolder, Run)
{
    const char* folder = std::getenv("ORVANTA_STARTUP_FOLDER");
    if (!folder)
        GTEST_SKIP() << "runs from a prepared folder only";
    ScriptedUi ui;
    StartupApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.m_strAppDir, folder);
    EXPECT_EQ(app.m_strDesktopFile, CString(folder) + "\\desktops\\default.orv");
    EXPECT_EQ(app.m_szPalettePath[0], '\0');
    EXPECT_NE(app.m_pDDPal, nullptr); // the built-in palette
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Desktop file could not be opened!" }));
    EXPECT_EQ(app.m_nObjects, 0);
}
