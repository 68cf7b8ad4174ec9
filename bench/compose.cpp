// Composition of a full frame against one screen-size opaque copy.
//
// The frame: a 1024x768 back buffer, a background (colour, screen-size image,
// or a 100x100 image tiled), and 50 colour-keyed 64x64 objects with captions.
// ComposeScene's time is reported as "x_copy", its ratio to the time of one
// opaque copy of the whole back buffer, measured in the same run.

#include "app/DesktopApp.h"
#include "platform/PresentTarget.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kObjects = 50;

class DiscardTarget : public PresentTarget {
public:
    void presentFrame(const QImage&) override { }
};

// Composes frames but never opens the splash dialog.
class BenchApp : public CDesktopApp {
public:
    void ShowSplash() override { m_bSplashPending = FALSE; }
    BOOL RestoreSurfaces() override { return FALSE; }
};

IDirectDrawSurface* CreatePlain(CDesktopApp& app, int width, int height)
{
    app.m_ddsd = DDSURFACEDESC {};
    app.m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app.m_ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    app.m_ddsd.dwWidth = DWORD(width);
    app.m_ddsd.dwHeight = DWORD(height);
    app.m_ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* surface = nullptr;
    app.m_pDD->CreateSurface(&app.m_ddsd, &surface, nullptr);
    return surface;
}

// Writes a pattern through Lock: every 7th pixel of an object is the key colour.
void Paint(IDirectDrawSurface* surface, DWORD base, DWORD key)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    if (surface->Lock(nullptr, &desc, 0, nullptr) != DD_OK)
        return;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch);
        for (DWORD x = 0; x < desc.dwWidth; ++x)
            row[x] = (x + y) % 7 == 0 ? key : base + x + (y << 8);
    }
    surface->Unlock(nullptr);
}

class Scene {
public:
    // background: 0 colour only, 1 a screen-size image, 2 a tiled 100x100 image.
    explicit Scene(int background)
    {
        app.m_cxScreen = app.m_cxDesktop = kWidth;
        app.m_cyScreen = app.m_cyDesktop = kHeight;
        app.m_rcScreen = { 0, 0, kWidth, kHeight };
        app.m_nMaxObjects = 51;
        app.CreateDisplay(&target);
        app.CreateColorSurface();
        app.m_dwBackPixel = 0x203040;

        app.m_nObjects = 1 + kObjects;
        DesktopObject& bg = app.m_aObjects[0];
        bg.strName = "Background";
        app.m_aRuntime[0].bVisible = TRUE;
        if (background != 0) {
            const int side = background == 1 ? 0 : 100;
            const int w = side ? side : kWidth;
            const int h = side ? side : kHeight;
            bg.strUpImage = "background.bmp";
            bg.rcObject = { 0, 0, w, h };
            app.m_aRuntime[0].pUp = CreatePlain(app, w, h);
            Paint(app.m_aRuntime[0].pUp, 0x102030, 0x102030);
            app.m_bTile = background == 2;
            app.UpdateTileSurface();
        }

        for (int i = 1; i <= kObjects; ++i) {
            DesktopObject& r = app.m_aObjects[i];
            ObjectRuntime& s = app.m_aRuntime[i];
            const LONG x = 20 + (i - 1) % 10 * 100;
            const LONG y = 20 + (i - 1) / 10 * 140;
            r.strName = CString(std::string("Object ") + std::to_string(i));
            r.strText = "Caption\r\nline two";
            r.crText = 0xFFFFFF;
            r.crHotText = 0x00FFFF;
            r.nJustify = 1089;
            r.lfFont.lfHeight = -12;
            std::strcpy(r.lfFont.lfFaceName, "DejaVu Sans");
            r.rcObject = { x, y, x + 64, y + 64 };
            r.bVisible = TRUE;
            s.bVisible = TRUE;
            s.nState = i % 3 + 1;
            s.pUp = CreatePlain(app, 64, 64);
            Paint(s.pUp, 0x400000 + DWORD(i), app.m_dwColorKeyPixel);
            app.CreateCaptionSurfaces(i);
            // Captions sit below the images so all 50 fit on the screen.
            r.rcText = { x, y + 66, x + (r.rcText.right - r.rcText.left), y + 66 + (r.rcText.bottom - r.rcText.top) };
            app.SetObjectColorKeys(i);
        }
    }
    ~Scene() { app.ReleaseDirectDraw(); }

    BenchApp app;
    DiscardTarget target;
};

// Seconds per opaque screen-size copy, timed outside the benchmark loop.
double OpaqueCopySeconds(Scene& scene)
{
    IDirectDrawSurface* copy = CreatePlain(scene.app, kWidth, kHeight);
    constexpr int kRounds = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kRounds; ++n)
        copy->Blt(nullptr, scene.app.m_pDDSBack, nullptr, 0, nullptr);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    copy->Release();
    return elapsed.count() / kRounds;
}

void BM_ComposeScene(benchmark::State& state)
{
    Scene scene(int(state.range(0)));
    const double copySeconds = OpaqueCopySeconds(scene);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        scene.app.ComposeScene();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["x_copy"] = elapsed.count() / double(state.iterations()) / copySeconds;
    state.SetLabel(state.range(0) == 0 ? "colour" : state.range(0) == 1 ? "image" : "tiled");
}
BENCHMARK(BM_ComposeScene)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_OpaqueScreenCopy(benchmark::State& state)
{
    Scene scene(0);
    IDirectDrawSurface* copy = CreatePlain(scene.app, kWidth, kHeight);
    for (auto _ : state)
        copy->Blt(nullptr, scene.app.m_pDDSBack, nullptr, 0, nullptr);
    copy->Release();
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_OpaqueScreenCopy)->Unit(benchmark::kMicrosecond);

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
