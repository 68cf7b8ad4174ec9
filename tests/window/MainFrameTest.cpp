// The desktop window: creation, presentation, coordinates and its own messages.
#include "window/MainFrame.h"
#include "app/DesktopApp.h"
#include "platform/FrameWindow.h"
#include "platform/Screen.h"
#include "platform/StringResource.h"
#include "res/resource.h"
#include "support/DisplayFixture.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

class WindowTestApp : public CDesktopApp {
public:
    ~WindowTestApp() override { DestroyMainWindow(); }

    void ComposeScene() override
    {
        ++composes;
        if (onCompose)
            onCompose();
    }
    void ReleaseDirectDraw() override
    {
        ++releases;
        CDesktopApp::ReleaseDirectDraw();
    }
    BOOL RestoreSurfaces() override
    {
        ++restores;
        return TRUE;
    }

    int composes = 0;
    int releases = 0;
    int restores = 0;
    std::function<void()> onCompose;
};

// Records what reaches the handlers.
class RecordingFrame : public CFrameWnd {
public:
    void OnLButtonDown(UINT flags, POINT point) override { record("down", flags, point); }
    void OnLButtonUp(UINT flags, POINT point) override { record("up", flags, point); }
    void OnMouseMove(UINT flags, POINT point) override { record("move", flags, point); }
    void OnRButtonDown(UINT flags, POINT point) override { record("right", flags, point); }
    void OnKeyDown(UINT nChar, UINT, UINT) override { keys.push_back(nChar); }

    struct Event {
        std::string what;
        UINT flags;
        POINT point;
    };
    std::vector<Event> events;
    std::vector<UINT> keys;

private:
    void record(const char* what, UINT flags, POINT point) { events.push_back(Event { what, flags, point }); }
};

bool WaitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

QImage Grab(QWindow* window)
{
    return window->screen()->grabWindow(window->winId()).toImage();
}

// A frame whose every pixel differs from its neighbours.
QImage PatternFrame(int width, int height)
{
    QImage frame(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)));
    return frame;
}

void SendMouse(QWindow* window, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, window->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

void SendKey(QWindow* window, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { SetScreenOverride(ScreenOverride { SIZE { 1024, 768 }, RECT { 0, 0, 1024, 768 } }); }
    void TearDown() override { ClearScreenOverride(); }

    CMainFrame* MakeFrame()
    {
        CMainFrame* frame = CMainFrame::CreateObject();
        app.m_pMainWnd = frame;
        EXPECT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_POPUP | WS_SYSMENU, nullptr, nullptr));
        return frame;
    }

    WindowTestApp app;
};

} // namespace

TEST(StringResource, TitleIsTheFirstPieceOfTheFrameString)
{
    CString full;
    ASSERT_TRUE(LoadStringResource(IDR_MAINFRAME, full));
    CString piece;
    EXPECT_TRUE(AfxExtractSubString(piece, full, 0, '\n'));
    EXPECT_EQ(piece, "Orvanta");

    EXPECT_FALSE(LoadStringResource(9999, full));
    EXPECT_TRUE(full.IsEmpty());

    EXPECT_TRUE(AfxExtractSubString(piece, "a\n\nc", 1, '\n'));
    EXPECT_EQ(piece, "");
    EXPECT_TRUE(AfxExtractSubString(piece, "a\n\nc", 2, '\n'));
    EXPECT_EQ(piece, "c");
    EXPECT_FALSE(AfxExtractSubString(piece, "a\n\nc", 3, '\n'));
    EXPECT_EQ(piece, "");
    EXPECT_TRUE(AfxExtractSubString(piece, "whole", 0, '\n'));
    EXPECT_EQ(piece, "whole");
}

TEST_F(MainFrameTest, LoadFrameMakesTitledFramelessWindowOverWholeScreen)
{
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), QStringLiteral("Orvanta"));
    EXPECT_TRUE(window->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_FALSE(window->isVisible()); // start-up shows it once placed
    EXPECT_FALSE(window->icon().isNull());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(frame->m_nIDHelp, UINT(IDR_MAINFRAME));
    // A second creation of the same frame is refused.
    EXPECT_FALSE(frame->Create(nullptr, "again", WS_POPUP));
}

TEST_F(MainFrameTest, WorkAreaOffsetMapsPresentationAndPointerBothWays)
{
    RecordingFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, "t", WS_POPUP, RECT { 0, 0, 10, 10 }));
    ASSERT_TRUE(frame.SetWindowPos(nullptr, 30, 40, 200, 100, SWP_SHOWWINDOW));
    QWindow* window = frame.windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    EXPECT_EQ(window->size(), QSize(200, 100));

    // Desktop point (x, y) shows at window point (x - 30, y - 40).
    const QImage desktop = PatternFrame(1024, 768);
    frame.setKeepPresentedFrame(true);
    frame.presentFrame(desktop);
    const QImage shown = Grab(window);
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (QPoint p : { QPoint(0, 0), QPoint(5, 6), QPoint(199, 0), QPoint(0, 99), QPoint(199, 99), QPoint(123, 45) })
        EXPECT_EQ(shown.pixel(p), desktop.pixel(p + QPoint(30, 40))) << p.x() << "," << p.y();
    EXPECT_EQ(frame.presentedFrame(), desktop.copy(30, 40, 200, 100));

    // Window point (5, 6) reaches the handlers as desktop point (35, 46).
    SendMouse(window, QEvent::MouseButtonPress, QPoint(5, 6), Qt::LeftButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseMove, QPoint(7, 9), Qt::NoButton, Qt::LeftButton);
    SendMouse(window, QEvent::MouseButtonRelease, QPoint(8, 9), Qt::LeftButton, Qt::NoButton);
    SendMouse(window, QEvent::MouseButtonPress, QPoint(0, 0), Qt::RightButton, Qt::RightButton);
    ASSERT_EQ(frame.events.size(), 4u);
    EXPECT_EQ(frame.events[0].what, "down");
    EXPECT_EQ(frame.events[0].point, (POINT { 35, 46 }));
    EXPECT_EQ(frame.events[0].flags, MK_LBUTTON);
    EXPECT_EQ(frame.events[1].what, "move");
    EXPECT_EQ(frame.events[1].point, (POINT { 37, 49 }));
    EXPECT_EQ(frame.events[2].what, "up");
    EXPECT_EQ(frame.events[2].point, (POINT { 38, 49 }));
    EXPECT_EQ(frame.events[2].flags, 0u);
    EXPECT_EQ(frame.events[3].what, "right");
    EXPECT_EQ(frame.events[3].point, (POINT { 30, 40 }));

    // And a desktop point goes back to where the window system shows it.
    POINT point { 35, 46 };
    frame.ClientToScreen(&point);
    const QPoint global = window->mapToGlobal(QPoint(5, 6));
    EXPECT_EQ(point, (POINT { global.x(), global.y() }));
}

TEST_F(MainFrameTest, KeysArriveAsVirtualKeyCodes)
{
    RecordingFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, "t", WS_POPUP, RECT { 0, 0, 10, 10 }));
    QWindow* window = frame.windowHandle();
    SendKey(window, Qt::Key_F2);
    SendKey(window, Qt::Key_F12);
    SendKey(window, Qt::Key_A);
    SendKey(window, Qt::Key_Escape);
    SendKey(window, Qt::Key_VolumeUp); // no virtual key: not passed on
    EXPECT_EQ(frame.keys, (std::vector<UINT> { VK_F2, VK_F12, 0x41, 0x1B }));
}

TEST_F(MainFrameTest, EveryPaintComposesExactlyOnce)
{
    CMainFrame* frame = MakeFrame();
    frame->SetWindowPos(nullptr, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    QWindow* window = frame->windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    QCoreApplication::processEvents();
    EXPECT_GE(app.composes, 1); // the first exposure painted

    app.composes = 0;
    QExposeEvent small(QRegion(10, 10, 1, 1));
    QCoreApplication::sendEvent(window, &small);
    EXPECT_EQ(app.composes, 1);
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(app.composes, 2);
}

TEST_F(MainFrameTest, PaintWithoutAFrameKeepsWhatWasPresented)
{
    // Until the display exists a paint presents nothing; neither it nor the
    // erase may disturb what the window shows.
    CMainFrame* frame = MakeFrame();
    frame->SetWindowPos(nullptr, 0, 0, 64, 48, SWP_SHOWWINDOW);
    QWindow* window = frame->windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    QImage solid(1024, 768, QImage::Format_RGB32);
    solid.fill(qRgb(12, 200, 34));
    frame->presentFrame(solid);

    EXPECT_TRUE(frame->OnEraseBkgnd());
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &update);
    const QImage shown = Grab(window);
    ASSERT_EQ(shown.size(), QSize(64, 48));
    for (QPoint p : { QPoint(0, 0), QPoint(63, 47), QPoint(30, 20) })
        EXPECT_EQ(shown.pixel(p), qRgb(12, 200, 34));
}

TEST_F(MainFrameTest, MinimisedPaintAsksThenComposes)
{
    ScriptedUi ui;
    int composesWhenAsked = -1;
    ui.onMessageBox = [&](const CString&, UINT type) {
        EXPECT_EQ(type, MB_OK);
        composesWhenAsked = app.composes;
        return IDOK;
    };
    CMainFrame* frame = MakeFrame();
    frame->SetWindowPos(nullptr, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    QWindow* window = frame->windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    QCoreApplication::processEvents();
    ASSERT_TRUE(ui.messages.empty());

    app.composes = 0;
    window->setWindowStates(Qt::WindowMinimized);
    ASSERT_TRUE(frame->IsIconic());
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Yeah, guess what!" }));
    EXPECT_EQ(composesWhenAsked, 0);
    EXPECT_EQ(app.composes, 1);

    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(ui.messages.size(), 2u); // once per paint
    EXPECT_EQ(app.composes, 2);

    window->setWindowStates(Qt::WindowNoState);
    EXPECT_FALSE(frame->IsIconic());
    QCoreApplication::sendEvent(window, &update);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(app.composes, 3);
}

TEST_F(MainFrameTest, DestroyReleasesTheDisplayOnce)
{
    CMainFrame* frame = MakeFrame();
    ASSERT_EQ(DirectDrawCreate(nullptr, &app.m_pDD, nullptr), DD_OK);
    EXPECT_TRUE(frame->DestroyWindow());
    EXPECT_EQ(app.releases, 1);
    EXPECT_EQ(app.m_pDD, nullptr);
    EXPECT_EQ(frame->windowHandle(), nullptr);
    EXPECT_FALSE(frame->DestroyWindow());
    EXPECT_FALSE(frame->PostMessage(WM_CLOSE));
    EXPECT_EQ(app.releases, 1);
    // Presenting into a destroyed window is harmless.
    frame->presentFrame(PatternFrame(4, 4));
}

TEST_F(MainFrameTest, F12EndsTheProgramWithStatusZeroAndF2Recomposes)
{
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    CMainFrame* frame = MakeFrame();
    frame->SetWindowPos(nullptr, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    QWindow* window = frame->windowHandle();
    ASSERT_TRUE(WaitFor([&] { return window->isExposed(); }));
    QCoreApplication::processEvents();

    int composesBeforeF2 = 0;
    int composesAfterF2 = 0;
    QTimer::singleShot(0, window, [&] {
        composesBeforeF2 = app.composes;
        SendKey(window, Qt::Key_F2);
        composesAfterF2 = app.composes;
        SendKey(window, Qt::Key_F12);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    const int status = app.Run();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(composesAfterF2, composesBeforeF2 + 1);
    EXPECT_EQ(app.releases, 1);
    EXPECT_EQ(app.m_pMainWnd, nullptr); // Run deleted the window
}

TEST_F(MainFrameTest, ActivationRealisesThePaletteOnlyOnAnEightBitDisplay)
{
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    for (int depth : { 32, 16, 8 }) {
        DisplayDepth displayDepth(depth);
        ASSERT_EQ(DirectDrawCreate(nullptr, &app.m_pDD, nullptr), DD_OK);
        app.restores = 0;
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(window, &activate);
        // Without a palette the surfaces are still restored.
        EXPECT_EQ(app.restores, depth == 8 ? 1 : 0) << depth;
        app.CDesktopApp::ReleaseDirectDraw();
    }
}

TEST_F(MainFrameTest, ScreenGeometryChangeLosesTheSurfaces)
{
    CMainFrame* frame = MakeFrame();
    QWindow* window = frame->windowHandle();
    ASSERT_EQ(DirectDrawCreate(nullptr, &app.m_pDD, nullptr), DD_OK);
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ASSERT_EQ(app.m_pDD->CreateSurface(&desc, &app.m_pDDSPrimary, nullptr), DD_OK);
    ASSERT_FALSE(app.m_pDDSPrimary->isLost());

    QScreen* screen = window->screen();
    emit screen->geometryChanged(screen->geometry());
    EXPECT_TRUE(app.m_pDDSPrimary->isLost());
}

TEST_F(MainFrameTest, PaletteRealisationAttachesTheDesktopPaletteAgain)
{
    DisplayDepth depth(8);
    DisplayFixture display(app, 16, 8);
    ASSERT_TRUE(display.ok);
    PALETTEENTRY ours[256];
    PALETTEENTRY other[256];
    for (int i = 0; i < 256; ++i) {
        ours[i] = PALETTEENTRY { BYTE(i), 0, 0, 0 };
        other[i] = PALETTEENTRY { 0, BYTE(i), 0, 0 };
    }
    IDirectDrawPalette* pOther = nullptr;
    ASSERT_EQ(app.m_pDD->CreatePalette(DDPCAPS_8BIT, ours, &app.m_pDDPal, nullptr), DD_OK);
    ASSERT_EQ(app.m_pDD->CreatePalette(DDPCAPS_8BIT, other, &pOther, nullptr), DD_OK);
    // Another palette has taken the display meanwhile.
    app.m_pDDSPrimary->SetPalette(pOther);
    pOther->Release();

    CMainFrame frame;
    frame.OnQueryNewPalette();
    EXPECT_EQ(app.restores, 1);
    app.m_pDDSPrimary->Blt(&app.m_rcScreen, app.m_pDDSBack, nullptr, DDBLT_WAIT, nullptr);
    const QImage& shown = display.target.lastFrame;
    ASSERT_EQ(shown.format(), QImage::Format_Indexed8);
    ASSERT_EQ(shown.colorCount(), 256);
    EXPECT_EQ(shown.colorTable()[200], qRgb(200, 0, 0));
}
