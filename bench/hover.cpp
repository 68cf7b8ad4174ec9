// Pointer moves against one composition.
//
// The desktop: 1920x1080 or 3840x2160, a tiled 100x100 background and 50 objects with Up
// and Mouse images and two-line captions, written as bitmaps and a desktop
// file to a temporary folder, then loaded and rebuilt as start-up does. A
// hover step moves the pointer from one object onto another through the
// window's mouse handler; it must cost one composition and nothing more. A
// still step moves it within one object, where nothing changes: it must
// cost no composition. A drag step moves one selected object by three
// pixels. "x_compose" is a step's time over that of
// ComposeScene alone, measured in the same run (both in thread CPU time, so
// that other load on the machine does not tilt it); "compositions" is the
// number of frames presented per step.

#include "app/DesktopApp.h"
#include "platform/PresentTarget.h"
#include "tests/support/DisplayFixture.h"
#include "window/MainFrame.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>

namespace {

constexpr int kObjects = 50;

// Counts the frames presented and throws them away.
class DiscardTarget : public PresentTarget {
public:
    void presentFrame(const QImage&, std::span<const RECT>) override { ++presented; }
    long presented = 0;
};

CString WriteImage(const QTemporaryDir& dir, const QString& name, int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    // A key-coloured border, as object images have.
    for (int x = 0; x < width; ++x)
        image.setPixelColor(x, 0, QColor(0, 127, 127));
    const QString path = dir.filePath(name);
    image.save(path, "BMP");
    return CString(path.toStdString());
}

struct Screen {
    int width;
    int height;
};

Screen ScreenOf(const benchmark::State& state)
{
    return { int(state.range(0)), int(state.range(1)) };
}

void SetScreen(CDesktopApp& app, Screen screen)
{
    const int kWidth = screen.width;
    const int kHeight = screen.height;
    app.m_nMaxObjects = kTableSize - 1;
    app.m_cxScreen = app.m_cxDesktop = kWidth;
    app.m_cyScreen = app.m_cyDesktop = kHeight;
    app.m_rcScreen = { 0, 0, kWidth, kHeight };
}

// Writes the bitmaps and the desktop file; returns the file's path.
CString WriteDesktop(const QTemporaryDir& dir, Screen screen)
{
    CDesktopApp writer;
    SetScreen(writer, screen);
    writer.m_bTile = TRUE;
    writer.m_crBackground = RGB(32, 48, 64);
    writer.m_nObjects = 1 + kObjects;
    DesktopObject& back = writer.m_aObjects[0];
    back.strName = "Background";
    back.strUpImage = WriteImage(dir, "tile.bmp", 100, 100, QColor(40, 60, 90));
    back.bVisible = TRUE;

    const CString up = WriteImage(dir, "up.bmp", 64, 64, QColor(200, 40, 40));
    const CString mouse = WriteImage(dir, "mouse.bmp", 64, 64, QColor(240, 200, 40));
    for (int i = 1; i <= kObjects; ++i) {
        DesktopObject& r = writer.m_aObjects[i];
        const LONG x = 40 + (i - 1) % 10 * (screen.width - 80) / 10;
        const LONG y = 40 + (i - 1) / 10 * (screen.height - 80) / 5;
        r.strName = CString("Object " + std::to_string(i));
        r.strText = "Caption\r\nline two";
        r.crText = RGB(255, 255, 255);
        r.crHotText = RGB(255, 255, 0);
        r.nJustify = 1089;
        r.lfFont.lfHeight = -12;
        std::strcpy(r.lfFont.lfFaceName, "DejaVu Sans");
        r.strUpImage = up;
        r.strMouseImage = mouse;
        r.rcObject = { x, y, 0, 0 };
        r.bVisible = TRUE;
    }
    writer.m_strDesktopFile = CString(dir.filePath("bench.orv").toStdString());
    writer.SaveDesktop();
    return writer.m_strDesktopFile;
}

// The desktop loaded and rebuilt through the program's own operations.
class Desktop {
public:
    explicit Desktop(Screen screen)
        : file(WriteDesktop(dir, screen))
    {
        SetScreen(app, screen);
        app.m_strDesktopFile = file;
        app.m_bSplashPending = FALSE;
        app.LoadDesktop();
        ok = app.CreateDisplay(&target) == TRUE;
        if (!ok)
            return;
        app.CreateColorSurface();
        BuildEveryObject(app);
        ok = app.m_nObjects == 1 + kObjects && app.m_pDDSTile && app.m_aRuntime[kObjects].pMouse;
    }
    ~Desktop() { app.ReleaseDirectDraw(); }

    POINT Centre(int i) const
    {
        const RECT& rc = app.m_aObjects[i].rcObject;
        return { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
    }

    QTemporaryDir dir;
    // Written before the application object exists: the writer is one too.
    CString file;
    CDesktopApp app;
    DiscardTarget target;
    CMainFrame frame;
    bool ok = false;
};

double ThreadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Seconds per ComposeScene, timed outside the benchmark loop.
double ComposeSeconds(Desktop& desktop)
{
    constexpr int kRounds = 200;
    const double start = ThreadSeconds();
    for (int n = 0; n < kRounds; ++n)
        desktop.app.ComposeScene();
    return (ThreadSeconds() - start) / kRounds;
}

// Moves the pointer between `points` with `flags` held, one move per
// iteration, and reports compositions and time per step.
void MeasureSteps(
    benchmark::State& state, Desktop& desktop, double composeSeconds, UINT flags, const POINT (&points)[2])
{
    const long presentedBefore = desktop.target.presented;
    int next = 0;
    const double start = ThreadSeconds();
    for (auto _ : state) {
        desktop.frame.OnMouseMove(flags, points[next]);
        next ^= 1;
    }
    const double elapsed = ThreadSeconds() - start;

    const double steps = double(state.iterations());
    state.counters["compositions"] = double(desktop.target.presented - presentedBefore) / steps;
    state.counters["x_compose"] = elapsed / steps / composeSeconds;
}

// The pointer from one object onto its neighbour in the middle row and back.
void BM_HoverStep(benchmark::State& state)
{
    Desktop desktop(ScreenOf(state));
    if (!desktop.ok) {
        state.SkipWithError("the desktop could not be built");
        return;
    }
    const double composeSeconds = ComposeSeconds(desktop);
    const POINT points[2] = { desktop.Centre(25), desktop.Centre(26) };
    desktop.frame.OnMouseMove(0, points[1]);
    MeasureSteps(state, desktop, composeSeconds, 0, points);
    if (desktop.app.m_nHoverObject != (state.iterations() % 2 ? 25 : 26))
        state.SkipWithError("the pointer did not hover the objects");
}
BENCHMARK(BM_HoverStep)->Args({ 1920, 1080 })->Args({ 3840, 2160 })->Unit(benchmark::kMicrosecond);

// The pointer within one object, where nothing changes.
void BM_PointerStill(benchmark::State& state)
{
    Desktop desktop(ScreenOf(state));
    if (!desktop.ok) {
        state.SkipWithError("the desktop could not be built");
        return;
    }
    const double composeSeconds = ComposeSeconds(desktop);
    const POINT centre = desktop.Centre(25);
    const POINT points[2] = { centre, { centre.x + 3, centre.y + 2 } };
    desktop.frame.OnMouseMove(0, points[1]);
    MeasureSteps(state, desktop, composeSeconds, 0, points);
    if (desktop.app.m_nHoverObject != 25)
        state.SkipWithError("the pointer did not stay over the object");
}
BENCHMARK(BM_PointerStill)->Args({ 1920, 1080 })->Args({ 3840, 2160 })->Unit(benchmark::kNanosecond);

// One selected object dragged back and forth by three pixels.
void BM_DragStep(benchmark::State& state)
{
    Desktop desktop(ScreenOf(state));
    if (!desktop.ok) {
        state.SkipWithError("the desktop could not be built");
        return;
    }
    const double composeSeconds = ComposeSeconds(desktop);
    desktop.app.m_bLocked = FALSE;
    const POINT centre = desktop.Centre(25);
    desktop.frame.OnLButtonDown(0, centre);
    const POINT points[2] = { { centre.x + 3, centre.y }, centre };
    MeasureSteps(state, desktop, composeSeconds, MK_LBUTTON, points);
    if (!desktop.app.m_bDragImage)
        state.SkipWithError("the object was not dragged");
}
BENCHMARK(BM_DragStep)->Args({ 1920, 1080 })->Args({ 3840, 2160 })->Unit(benchmark::kMicrosecond);

void BM_ComposeSceneAlone(benchmark::State& state)
{
    Desktop desktop(ScreenOf(state));
    if (!desktop.ok) {
        state.SkipWithError("the desktop could not be built");
        return;
    }
    for (auto _ : state)
        desktop.app.ComposeScene();
}
BENCHMARK(BM_ComposeSceneAlone)->Args({ 1920, 1080 })->Args({ 3840, 2160 })->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
