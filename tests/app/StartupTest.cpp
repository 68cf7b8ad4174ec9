// Start-up from a desktop file, its failures and folders; the display's creation, restore and release.
#include "app/StartOptions.h"
#include "bitmaps/DDUtil.h"
#include "dialogs/SplashDlg.h"
#include "platform/CFrameWnd.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"
#include "platform/SessionEnd.h"
#include "res/resource.h"
#include "support/Bytes.h"
#include "support/Faults.h"
#include "support/TestDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <private/qhighdpiscaling_p.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

QWindow* Window(CDesktopApp& app)
{
    return static_cast<CFrameWnd*>(app.m_pMainWnd)->windowHandle();
}

class Startup : public testing::Test {
protected:
    void TearDown() override
    {
        ClearScreenOverride();
        ClearFaults();
        SetStartDesktopFile(std::nullopt);
    }
    struct Object {
        const char* name;
        POINT at;
        QSize size;
        QColor color;
    };
    // Saves `app` with `objects` (the background first), each shown with a one-colour picture, as the start desktop.
    void WriteStartDesktop(CDesktopApp& app, std::initializer_list<Object> objects)
    {
        app.m_nObjects = int(objects.size());
        for (DesktopObject* o = app.m_aObjects; const Object& object : objects) {
            o->strName = object.name;
            o->strUpImage
                = WriteBitmap(dir.path(), object.name, object.size.width(), object.size.height(), object.color).c_str();
            o->rcObject = { object.at.x, object.at.y, 0, 0 };
            o->lfFont = MakeFont("DejaVu Sans", -12);
            (o++)->bVisible = TRUE;
        }
        app.m_strDesktopFile = dir.filePath("test.orv").toStdString().c_str();
        app.SaveDesktop();
        SetStartDesktopFile(app.m_strDesktopFile);
    }
    QTemporaryDir dir;
    ScriptedUi ui;
};

TEST_F(Startup, BuildsTheDesktopOfItsFileFromTheStartValues)
{
    // A panel along the top and one along the bottom.
    SetScreenOverride(ScreenOverride { SIZE { 1024, 768 }, RECT { 0, 30, 1024, 740 } });
    int splashes = 0;
    ui.onDialog = [&](CDialog& dialog) { splashes += dynamic_cast<CSplashDlg*>(&dialog) != nullptr; };
    const QColor tile(0x33, 0x66, 0x99), button(0xC0, 0x40, 0x20);
    CDesktopApp app;
    // A tiled background, a captioned button whose Mouse Activate link names a second object, and that object.
    app.m_bTile = TRUE;
    app.m_dwBackPixel = 0x010203;
    app.m_aObjects[1].strText = "Hi\r\nthere";
    app.m_aObjects[1].strActivate = "Target";
    WriteStartDesktop(app,
        { { "Background", { 0, 0 }, { 40, 30 }, tile }, { "Button", { 100, 100 }, { 20, 20 }, button },
            { "Target", { 200, 200 }, { 20, 20 }, Qt::green } });
    // Leftovers that start-up must clear.
    std::tie(app.m_bLocked, app.m_nHoverObject, app.m_bRubberBand, app.m_crLastColor)
        = std::tuple(FALSE, 7, TRUE, 0x123456);
    app.m_aRuntime[40].pUp = reinterpret_cast<IDirectDrawSurface*>(0x1000);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app.m_crLastColor, RGB(255, 255, 255));
    EXPECT_TRUE(app.m_bLocked && !app.m_nHoverObject && !app.m_bRubberBand && !app.m_aRuntime[40].pUp);
    // The window covers the work area; the desktop keeps screen coordinates and ends where the work area does.
    EXPECT_EQ(Window(app)->geometry(), QRect(0, 30, 1024, 710));
    EXPECT_EQ(app.m_rcScreen, (RECT { 0, 0, 1024, 768 }));
    EXPECT_EQ((SIZE { app.m_cxDesktop, app.m_cyDesktop }), (SIZE { 1024, 740 }));
    EXPECT_EQ((SIZE { app.m_pDDSBack->width(), app.m_pDDSBack->height() }), (SIZE { 1024, 768 }));
    // The program folder and the paths built on it.
    const CString appDir(QCoreApplication::applicationDirPath().toStdString());
    EXPECT_EQ(app.m_strAppDir, appDir);
    EXPECT_EQ(CString(app.m_szPalettePath), appDir + "\\res\\palette.bmp");
    // Each object built on the display, its caption placed beside its image.
    ASSERT_TRUE(app.m_aRuntime[1].pText && app.m_aRuntime[1].pTextHot);
    const RECT text = app.m_aObjects[1].rcText;
    EXPECT_EQ(text.left, 122);
    // The first paint, then the greeting once: the tile, the keyed caption, the link target hidden.
    auto* frame = static_cast<CFrameWnd*>(app.m_pMainWnd);
    frame->setKeepPresentedFrame(true);
    ASSERT_TRUE(WaitFor([&] { return !frame->presentedFrame().isNull(); }));
    const QImage shown = Window(app)->screen()->grabWindow(Window(app)->winId()).toImage();
    ASSERT_EQ(shown.size(), QSize(1024, 710));
    for (auto [x, y, color] : { std::tuple { 0, 30, tile }, { 45, 35, tile }, { 1023, 739, tile }, { 110, 110, button },
             { 119, 119, button }, { 210, 210, tile }, { text.right - 1, text.top, tile } })
        EXPECT_EQ(QColor(shown.pixel(x, y - 30)), color) << x << "," << y;
    EXPECT_EQ(splashes, 1);
    EXPECT_EQ(app.m_bSplashPending, FALSE);
    app.DestroyMainWindow();
}

// An ended session keeps unsaved edits unasked; the next start offers them once; a damaged copy is refused.
TEST_F(Startup, AnEndedSessionKeepsUnsavedEditsAndTheNextStartOffersThemOnce)
{
    const ScopedEnv stateHome("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state")));
    SetScreenOverride(ScreenOverride { SIZE { 320, 240 }, RECT { 0, 0, 320, 240 } });
    const CString start(dir.filePath("test.orv").toStdString()), other(dir.filePath("other.orv").toStdString());
    {
        CDesktopApp writer;
        WriteStartDesktop(
            writer, { { "Background", { 0, 0 }, { 10, 10 }, Qt::blue }, { "A", { 100, 0 }, { 10, 10 }, Qt::blue } });
    }
    const QString recovery = dir.filePath("state/orvanta/recovery.orv");
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    enum End { bySignal, byQuit };
    for (auto [end, edited, damaged, answer] : { std::tuple { bySignal, true, false, IDYES },
             { byQuit, true, false, IDNO }, { bySignal, true, true, 0 }, { byQuit, false, false, 0 } }) {
        SCOPED_TRACE(testing::Message() << end << edited << damaged << answer);
        {
            CDesktopApp app;
            app.m_bKeepRecovery = TRUE;
            ASSERT_TRUE(app.InitInstance());
            if (edited)
                app.m_aObjects[1].rcObject.left = 50, app.m_strDesktopFile = other;
            const CSessionEnd sessionEnd;
            QTimer::singleShot(
                0, [end = end] { end == bySignal ? void(std::raise(SIGTERM)) : QCoreApplication::quit(); });
            QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
            EXPECT_EQ(app.Run(), 0);
        }
        EXPECT_TRUE(ui.messages.empty());
        ASSERT_EQ(QFile::exists(recovery), edited);
        if (damaged)
            WriteAll(recovery, ReadAll(recovery).chopped(3));
        CDesktopApp app;
        app.m_bKeepRecovery = TRUE;
        ui.onMessageBox = [answer = answer](const CString&, UINT type) { return type == MB_YESNO ? answer : IDOK; };
        testing::internal::CaptureStderr();
        ASSERT_TRUE(app.InitInstance());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ui.messages,
            answer ? std::vector<std::string> { "The last session ended with unsaved changes to "
                                                "other.orv. Restore them?" }
                   : std::vector<std::string> {});
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), damaged ? 1 : 0) << errors;
        EXPECT_EQ(app.m_aObjects[1].rcObject.left, answer == IDYES ? 50 : 100);
        EXPECT_EQ(app.m_strDesktopFile, answer == IDYES ? other : start);
        EXPECT_EQ(app.IsDesktopModified(), answer == IDYES);
        EXPECT_FALSE(QFile::exists(recovery));
        app.DestroyMainWindow();
        ui.messages.clear();
    }
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
}

// A small picture claiming 5600 x 5600 under a tight address-space limit is a message wherever memory runs out.
TEST_F(Startup, PicturesBeyondTheMemoryLeftAreAMessageNotAnAbort)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space limit";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SetScreenOverride(ScreenOverride { SIZE { 640, 480 }, RECT { 0, 0, 640, 480 } });
    const std::string huge = dir.filePath("huge.bmp").toStdString();
    ASSERT_TRUE(WriteAll(QString::fromStdString(huge), RunLengthBitmap(5600, 5600, 17 * 1024, 200)));
    CDesktopApp app;
    app.m_nObjects = 2;
    app.m_aObjects[1].strName = "Huge";
    app.m_aObjects[1].strUpImage = huge.c_str();
    app.m_strDesktopFile = dir.filePath("huge.orv").toStdString().c_str();
    app.SaveDesktop();
    SetStartDesktopFile(app.m_strDesktopFile);
    ui.onDialog = [&](CDialog& dialog) {
        if (dialog.GetDlgItem(IDC_UP_IMAGE)) {
            SetText(dialog, IDC_OBJECT_NAME, "Again");
            SetText(dialog, IDC_UP_IMAGE, huge);
            Click(dialog, IDOK);
        }
    };
    const auto startAndInsertUnder = [&](long headroom) {
        long used = 0;
        std::ifstream("/proc/self/statm") >> used;
        const rlim_t limit = rlim_t(used) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(headroom) << 20);
        const rlimit bound { limit, limit };
        setrlimit(RLIMIT_AS, &bound);
        const bool started = app.InitInstance();
        app.InsertObject();
        for (const std::string& message : ui.messages)
            std::cerr << message << "\n";
        // The reason line depends on where the memory ran out.
        const bool shown = ui.messages.size() == 2
            && std::all_of(ui.messages.begin(), ui.messages.end(),
                [&](const std::string& m) { return m.starts_with("Unable to load: " + huge); });
        std::_Exit(started && shown && app.m_nObjects == 3 && !app.m_aRuntime[1].pUp && !app.m_aRuntime[2].pUp ? 0 : 1);
    };
    // Memory runs out decoding the picture, converting it, or making its surface.
    for (const long headroom : { 20L, 100L, 220L })
        EXPECT_EXIT(startAndInsertUnder(headroom), testing::ExitedWithCode(0), "") << headroom << " MiB";
}

// Without a work area nothing is read (display failures: the Display tests).
TEST_F(Startup, FailsWithoutAWorkArea)
{
    SetStartDesktopFile(CString(dir.filePath("missing.orv").toStdString()));
    SetScreenOverride(ScreenOverride { SIZE { 640, 480 }, std::nullopt });
    CDesktopApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(ui.messages, std::vector<std::string> { "Unable to get workarea dimensions" });
    EXPECT_TRUE(!app.m_pDD && !app.m_pDDSPrimary && !app.m_pDDSBack);
    app.DestroyMainWindow();
}

// A screen change shows what a fresh start at the new size shows; pictures that do not fit are one message.
TEST_F(Startup, AScreenChangeShowsWhatAFreshStartAtTheNewSizeShows)
{
    CDesktopApp desk;
    desk.m_bTile = TRUE;
    WriteStartDesktop(desk,
        { { "0", { 0, 0 }, { 40, 30 }, QColor::fromHsv(0, 200, 200) },
            { "1", { 700, 20 }, { 30, 20 }, QColor::fromHsv(80, 200, 200) },
            { "2", { 20, 500 }, { 30, 20 }, QColor::fromHsv(160, 200, 200) },
            { "3", { 900, 40 }, { 30, 20 }, QColor::fromHsv(240, 200, 200) } });
    const ScreenOverride large { SIZE { 1024, 768 }, RECT { 0, 0, 1024, 740 } };
    const ScreenOverride small { SIZE { 640, 480 }, RECT { 0, 20, 640, 480 } };
    const std::string tooLarge = "Image dimensions exceed screen margins\nrelative to position:\n\n"
        + desk.m_aObjects[1].strUpImage.str() + "\n\nPlease check display and image dimensions.\n\n"
        + "2 other objects do not fit on this screen either.";
    const auto frameOf = [](CDesktopApp& app) {
        auto* frame = static_cast<CFrameWnd*>(app.m_pMainWnd);
        frame->setKeepPresentedFrame(true);
        app.ComposeScene();
        return frame->presentedFrame();
    };
    // A paint inside a start-up message box shows nothing; the first frame and greeting come after start-up.
    const auto fresh = [&](const ScreenOverride& screen) {
        SetScreenOverride(screen);
        ui.messages.clear();
        CDesktopApp app;
        int paintedInBox = 0, splashes = 0;
        ui.onMessageBox = [&](const CString&, UINT) {
            static_cast<CFrameWnd*>(app.m_pMainWnd)->setKeepPresentedFrame(true);
            QEvent update(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(Window(app), &update);
            paintedInBox += !static_cast<CFrameWnd*>(app.m_pMainWnd)->presentedFrame().isNull();
            return IDOK;
        };
        ui.onDialog = [&](CDialog& dialog) { splashes += dynamic_cast<CSplashDlg*>(&dialog) != nullptr; };
        EXPECT_TRUE(app.InitInstance());
        EXPECT_TRUE(WaitFor([&] { return splashes == 1; }));
        EXPECT_EQ(paintedInBox, 0);
        ui.onMessageBox = nullptr;
        ui.onDialog = nullptr;
        const QImage shown = frameOf(app);
        app.DestroyMainWindow();
        return std::pair { shown, ui.messages };
    };
    const auto [freshLarge, largeMessages] = fresh(large);
    const auto [freshSmall, smallMessages] = fresh(small);
    EXPECT_TRUE(largeMessages.empty());
    EXPECT_EQ(smallMessages, std::vector { tooLarge });
    ASSERT_EQ(freshSmall.size(), QSize(640, 460));
    SetScreenOverride(large);
    ui.messages.clear();
    CDesktopApp app;
    ASSERT_TRUE(app.InitInstance());
    const std::vector<BYTE> saved = app.DesktopBytes();
    auto* frame = static_cast<CFrameWnd*>(app.m_pMainWnd);
    for (const auto& [screen, expected, messages] : { std::tuple { small, freshSmall, smallMessages },
             { large, freshLarge, largeMessages }, { small, freshSmall, smallMessages } }) {
        SetScreenOverride(screen);
        ui.messages.clear();
        frame->OnDisplayChange(32, screen.screen.cx, screen.screen.cy);
        const RECT work = *screen.workArea;
        EXPECT_EQ(frame->windowHandle()->geometry(),
            QRect(work.left, work.top, work.right - work.left, work.bottom - work.top));
        EXPECT_EQ(ui.messages, messages);
        EXPECT_EQ(frameOf(app), expected) << screen.screen.cx;
        EXPECT_EQ(app.DesktopBytes(), saved);
    }
    // The screen changing again while the report is open adds no second box.
    bool changedAgain = false;
    ui.onMessageBox = [&](const CString&, UINT) {
        if (!std::exchange(changedAgain, true))
            frame->OnDisplayChange(32, small.screen.cx, small.screen.cy);
        return IDOK;
    };
    ui.messages.clear();
    frame->OnDisplayChange(32, small.screen.cx, small.screen.cy);
    EXPECT_TRUE(changedAgain);
    EXPECT_EQ(ui.messages, smallMessages);
    EXPECT_EQ(frameOf(app), freshSmall);
    app.DestroyMainWindow();
}

// The desktop is the screen's size in device pixels at any scale factor.
TEST_F(Startup, TheScreenIsMeasuredInDevicePixelsAtEveryScale)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const SIZE device { GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    ASSERT_GT(device.cx, 0);
    for (const qreal scale : { 1.25, 1.5, 1.8, 3.0 }) {
        SCOPED_TRACE(scale);
        QHighDpiScaling::setScreenFactor(screen, scale);
        EXPECT_EQ(screen->devicePixelRatio(), scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), device.cx);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), device.cy);
        RECT work {};
        ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
        EXPECT_TRUE(work.left == 0 && work.top == 0 && work.right == device.cx && work.bottom == device.cy);
    }
    QHighDpiScaling::setScreenFactor(screen, 1);
}

TEST(Display, CreationClipsToTheWindowKeysByDepthAndShowsEachFailedStep)
{
    for (const int bits : { 32, 16 }) {
        const DisplayDepth depth(bits);
        TestDesktop desk(8, 8);
        EXPECT_EQ(desk.app.m_pClipper->window(), &desk.display.target);
        EXPECT_EQ(desk.app.m_dwColorKeyPixel, bits == 32 ? 0x007F7Fu : DWORD((127 >> 2) << 5 | (127 >> 3)));
    }
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

// Lost surfaces come back reloaded and the next frame is whole; an unrestorable picture is reported once.
TEST(Display, RestoreBringsBackWhatTheFramesShowAndReleaseEndsIt)
{
    const QColor back(0x10, 0x80, 0x40), object(0xC0, 0x20, 0x30), later(0x20, 0x30, 0xC0);
    // The nth Restore fails (primary, back, tile, text work, colour, background), or A's picture file is gone.
    for (auto [nth, removed, restored] : { std::tuple { 0, false, true }, { 1, false, false }, { 2, false, false },
             { 3, false, true }, { 4, false, true }, { 5, false, true }, { 6, false, true }, { 0, true, true } }) {
        SCOPED_TRACE(testing::Message() << "failing " << nth << (removed ? " removed" : ""));
        // A tiled 10 x 10 background, a captioned 8 x 8 object and a later one.
        TestDesktop desk(64, 48);
        CDesktopApp& app = desk.app;
        app.m_bTile = TRUE;
        app.m_aObjects[0].strUpImage = desk.Bitmap(10, 10, Qt::darkBlue).c_str();
        app.LoadObjectImages(0);
        app.UpdateTileSurface();
        desk.AddObject("A", { 4, 4, 12, 12 }, "Hi\r\nthere");
        desk.AddObject("B", { 48, 4, 56, 12 });
        app.ComposeScene();
        const auto surfaces = [&] {
            return std::array { app.m_pDDSPrimary, app.m_pDDSBack, app.m_pDDSTile, app.m_pDDSTextWork, app.m_pDDSColor,
                app.m_aRuntime[0].pUp, app.m_aRuntime[1].pUp, app.m_aRuntime[1].pText, app.m_aRuntime[1].pTextHot,
                app.m_aRuntime[2].pUp };
        };
        const auto repaint = [&](int i, int size, QColor color) {
            const QString file = QString::fromStdString(app.m_aObjects[i].strUpImage.str());
            WriteBitmap(desk.dir.path(), QFileInfo(file).fileName(), size, size, color);
        };
        const size_t live = app.m_pDD->liveSurfaceCount();
        app.m_pDD->loseAllSurfaces();
        repaint(0, 10, back);
        if (removed)
            QFile::remove(app.m_aObjects[1].strUpImage.str().c_str());
        else
            repaint(1, 8, object);
        repaint(2, 8, later);
        if (nth)
            FailNextCall(FaultPoint::Restore, nth);
        if (nth == 5)
            app.m_dwColorKeyPixel = 0; // made again, so matched again
        const BOOL result = app.RestoreSurfaces();
        ClearFaults();
        ASSERT_EQ(result, restored ? TRUE : FALSE);
        if (!restored)
            continue;
        // The background's picture (no reason known) or A's (its file is gone) did not come back.
        const int gone = nth == 6 ? 0 : removed ? 1 : -1;
        const std::vector<std::string> reported = gone < 0
            ? std::vector<std::string> {}
            : std::vector { "Unable to load: " + app.m_aObjects[gone].strUpImage.str()
                  + (gone == 1 ? "\nThe file cannot be opened." : "") };
        EXPECT_EQ(desk.ui.messages, reported);
        EXPECT_EQ(app.RestoreSurfaces(), TRUE);
        EXPECT_EQ(desk.ui.messages, reported); // once
        const auto restoredSurfaces = surfaces();
        for (size_t k = 0; k < restoredSurfaces.size(); ++k) {
            const bool without = (gone == 0 && (k == 2 || k == 5)) || (gone == 1 && k == 6); // the tile goes too
            EXPECT_EQ(restoredSurfaces[k] == nullptr, without) << k;
            EXPECT_TRUE(!restoredSurfaces[k] || !restoredSurfaces[k]->isLost()) << k;
        }
        EXPECT_EQ(app.m_pDD->liveSurfaceCount(), live - (gone == 0 ? 2 : gone == 1 ? 1 : 0));
        EXPECT_EQ(app.m_dwColorKeyPixel, 0x007F7Fu);
        app.ComposeScene();
        const RECT& text = app.m_aObjects[1].rcText;
        if (gone != 0) {
            EXPECT_EQ(desk.Shown(40, 40), back.rgb() & 0xFFFFFF);
            EXPECT_EQ(desk.Shown(text.right - 1, text.bottom - 1), back.rgb() & 0xFFFFFF); // keyed
        }
        EXPECT_EQ(desk.Shown(5, 5), (gone == 1 ? desk.Shown(40, 40) : object.rgb()) & 0xFFFFFF);
        EXPECT_EQ(desk.Shown(49, 5), later.rgb() & 0xFFFFFF);
        // Realising the palette reloads the pictures without a loss: a pointer step's frame after it is whole too.
        repaint(2, 8, object);
        app.RestoreSurfaces();
        app.m_bPartialFrame = TRUE;
        app.ComposeScene();
        EXPECT_EQ(desk.Shown(49, 5), object.rgb() & 0xFFFFFF);
        // Release then clears every field, a second time without harm.
        app.m_pDDPal = DDLoadPalette(app.m_pDD, nullptr);
        app.ReleaseDirectDraw();
        app.ReleaseDirectDraw();
        EXPECT_TRUE(std::ranges::count(surfaces(), nullptr) == 10 && !app.m_pDD && !app.m_pDDPal && !app.m_pClipper);
    }
}

// Desktops live in the program folder when writable, else under XDG_DATA_HOME (or HOME), seeded once.
TEST(DesktopsFolder, TheProgramsWhenWritableElseTheUsersOwn)
{
    const QTemporaryDir dir;
    const QString program = dir.filePath("program"), home = dir.filePath("home");
    const QByteArray installed = "installed desktop", damaged = "damaged";
    ASSERT_TRUE(QDir().mkpath(program + "/desktops") && WriteAll(program + "/desktops/default.orv", installed)
        && WriteAll(dir.filePath("file"), ""));
    const bool root = ::geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    for (auto [writable, dataHome, damagedDefault, expected] :
        { std::tuple { true, "/data", false, "/program/desktops" }, { false, "/data", false, "/data/orvanta/desktops" },
            { false, nullptr, false, "/home/.local/share/orvanta/desktops" },
            { false, "", false, "/home/.local/share/orvanta/desktops" },
            { false, "data", false, "/home/.local/share/orvanta/desktops" },
            { false, "/file/data", false, "/program/desktops" }, { false, "/data", true, "/data/orvanta/desktops" } }) {
        SCOPED_TRACE(std::string(dataHome ? dataHome : "(unset)") + (writable ? " writable" : ""));
        QDir(dir.filePath("data")).removeRecursively();
        QDir(home).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(dir.filePath("data")));
        if (damagedDefault) {
            ASSERT_TRUE(QDir().mkpath(dir.filePath("data/orvanta/desktops"))
                && WriteAll(dir.filePath("data/orvanta/desktops/default.orv"), damaged));
        }
        // The user owns home and data; the program folder is root's or read-only.
        for (const QString& path : { dir.path(), program, program + "/desktops" })
            ::chmod(QFile::encodeName(path), writable ? 0777 : 0755);
        if (root)
            for (const char* path :
                { "home", "data", "data/orvanta", "data/orvanta/desktops", "data/orvanta/desktops/default.orv" })
                [[maybe_unused]] const int ignored = ::chown(QFile::encodeName(dir.filePath(path)), kNobody, kNobody);
        else if (!writable)
            ::chmod(QFile::encodeName(program + "/desktops"), 0555);
        int result[2];
        ASSERT_EQ(::pipe(result), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(result[0]);
            if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(3);
            ::setenv("HOME", QFile::encodeName(home).constData(), 1);
            if (dataHome)
                ::setenv("XDG_DATA_HOME",
                    (dataHome[0] == '/' ? dir.path().toStdString() + dataHome : std::string(dataHome)).c_str(), 1);
            else
                ::unsetenv("XDG_DATA_HOME");
            CDesktopApp app;
            app.m_strAppDir = CString(program.toStdString());
            app.FindDesktopsFolder();
            const std::string found = app.DesktopsFolder().str();
            const bool written = ::write(result[1], found.data(), found.size()) == ssize_t(found.size());
            ::_exit(written ? 0 : 4);
        }
        ::close(result[1]);
        QFile reader;
        ASSERT_TRUE(reader.open(result[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        const QString found = QString::fromUtf8(reader.readAll()).replace('\\', '/');
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(found, dir.path() + expected);
        // The first start's copy, or the user's own file untouched.
        const QString userDefault = found + "/default.orv";
        if (found.startsWith(program))
            EXPECT_EQ(ReadAll(program + "/desktops/default.orv"), installed);
        else
            EXPECT_EQ(ReadAll(userDefault), damagedDefault ? damaged : installed);
        EXPECT_EQ(QFile::exists(dir.filePath("data/orvanta")),
            !writable && dataHome && dataHome[0] == '/' && std::string(dataHome) != "/file/data");
    }
}

} // namespace
