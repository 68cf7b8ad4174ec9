// The keyed copy of a frame's worth of objects against a plain memcpy of the
// same bytes: 48 keyed 128x128 objects cover exactly 1024x768 pixels.
#include "platform/DirectDraw.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kSide = 128;
constexpr int kObjects = kScreenWidth / kSide * (kScreenHeight / kSide);
constexpr DWORD kKey = 0x007F7F;
constexpr size_t kFrameBytes = size_t(kScreenWidth) * kScreenHeight * 4;

IDirectDrawSurface* makeSurface(IDirectDraw* dd, int width, int height)
{
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC_SIZE;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* surface = nullptr;
    dd->CreateSurface(&desc, &surface, nullptr);
    return surface;
}

// A 32-bit display with a back buffer and 48 objects whose corners (about a
// third of each) are the key colour, like round buttons.
struct Scene {
    Scene()
    {
        setenv("ORVANTA_DISPLAY_DEPTH", "32", 1);
        DirectDrawCreate(nullptr, &dd, nullptr);
        back = makeSurface(dd, kScreenWidth, kScreenHeight);
        for (int i = 0; i < kObjects; ++i) {
            IDirectDrawSurface* object = makeSurface(dd, kSide, kSide);
            DDSURFACEDESC desc;
            desc.dwSize = DDSURFACEDESC_SIZE;
            object->Lock(nullptr, &desc, 0, nullptr);
            for (int y = 0; y < kSide; ++y) {
                auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch);
                for (int x = 0; x < kSide; ++x) {
                    const int dx = x - kSide / 2, dy = y - kSide / 2;
                    row[x] = dx * dx + dy * dy > (kSide / 2) * (kSide / 2) * 2 / 3 ? kKey : DWORD(0x102030 + i);
                }
            }
            object->Unlock(nullptr);
            DDCOLORKEY key { kKey, kKey };
            object->SetColorKey(DDCKEY_SRCBLT, &key);
            objects.push_back(object);
        }
    }
    ~Scene() { dd->Release(); }

    IDirectDraw* dd = nullptr;
    IDirectDrawSurface* back = nullptr;
    std::vector<IDirectDrawSurface*> objects;
};

Scene& scene()
{
    static Scene instance;
    return instance;
}

void blitObjects(benchmark::State& state, DWORD flags)
{
    Scene& s = scene();
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const int x = i % (kScreenWidth / kSide) * kSide, y = i / (kScreenWidth / kSide) * kSide;
            RECT at { x, y, x + kSide, y + kSide };
            s.back->Blt(&at, s.objects[size_t(i)], nullptr, flags, nullptr);
        }
        benchmark::DoNotOptimize(s.back->bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

void BM_KeyedFrame(benchmark::State& state)
{
    blitObjects(state, DDBLT_KEYSRC | DDBLT_WAIT);
}
void BM_OpaqueFrame(benchmark::State& state)
{
    blitObjects(state, DDBLT_WAIT);
}

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<BYTE> from(kFrameBytes, 1), to(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

// Down images drawn into a larger rectangle take the stretching path.
void BM_KeyedStretchedFrame(benchmark::State& state)
{
    Scene& s = scene();
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const int x = i % (kScreenWidth / kSide) * kSide, y = i / (kScreenWidth / kSide) * kSide;
            RECT at { x, y, x + kSide, y + kSide };
            RECT part { 0, 0, kSide - 16, kSide - 16 };
            s.back->Blt(&at, s.objects[size_t(i)], &part, DDBLT_KEYSRC, nullptr);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

} // namespace

BENCHMARK(BM_MemcpyFrame);
BENCHMARK(BM_KeyedFrame);
BENCHMARK(BM_OpaqueFrame);
BENCHMARK(BM_KeyedStretchedFrame);
BENCHMARK_MAIN();
