// The blit loops against SDL2's software surfaces doing the same work in the
// same run, and against memset/memcpy of the same bytes (plain, and with
// non-temporal stores). Run with --benchmark_repetitions=3; the table at the
// end gives medians and ratios.
//
//   fill/WxH      colour fill of a frame
//   copy/WxH      opaque copy of a frame onto another
//   image/WxH     50 keyed 64x64 images (about 40% key pixels) onto a frame
//   caption/WxH   50 keyed 160x48 captions (about 85% key pixels) onto a frame
//   stretch/WxH   50 keyed 48x48 images stretched to 64x64 onto a frame
//   blend/WxH     50 blended 64x64 pictures with soft edges onto a frame,
//                 against SDL2's blended blit (SDL_BLENDMODE_BLEND, of the
//                 same picture with straight alpha, its own format) and
//                 QPainter's source-over of the same premultiplied picture

#include "RatioReporter.h"
#include "StreamingStores.h"

#include "platform/DirectDraw.h"

#include "platform/PixelFormat.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#ifdef ORVANTA_BENCH_SDL2
#include <SDL.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kKey = 0x00FF00FF;
constexpr int kObjects = 50;

struct Size {
    int width;
    int height;
};
constexpr Size kFrames[] = { { 1920, 1080 }, { 3840, 2160 } };

// The pixel of an object at (x, y): the key colour where `keyed` says so,
// otherwise something that varies.
using KeyShape = std::function<bool(int x, int y)>;

bool roundImage(int x, int y)
{
    // A disc of radius 28 in 64x64 leaves about 40% of the pixels keyed.
    const int dx = 2 * x - 63, dy = 2 * y - 63;
    return dx * dx + dy * dy > 4 * 28 * 28;
}

bool captionText(int x, int y)
{
    // About 15% of a caption is strokes of text: short runs in the text rows.
    if (y % 16 < 3 || y % 16 > 13)
        return true;
    const unsigned h = unsigned(x / 2) * 2654435761u ^ unsigned(y) * 40503u;
    return (h >> 16) % 100 >= 19;
}

DWORD objectPixel(int object, int x, int y)
{
    return 0x00102030u + DWORD(object) * 0x010203u + DWORD(x) + (DWORD(y) << 8);
}

// Where the objects sit: a 10x5 grid spread over the frame.
RECT objectPlace(int i, Size frame, Size object)
{
    const LONG x = LONG(i % 10) * (frame.width / 10);
    const LONG y = LONG(i / 10) * (frame.height / 5);
    return { x, y, x + object.width, y + object.height };
}

// A 64x64 picture with soft edges: an opaque disc of radius 26 fading out
// over 4 pixels, transparent outside (about 40% of the square), straight alpha.
QImage softPicture(int object)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double r = std::hypot(x - 31.5, y - 31.5);
            const int alpha = r <= 26 ? 255 : r >= 30 ? 0 : int((30 - r) * 255 / 4);
            const DWORD c = objectPixel(object, x, y);
            image.setPixel(x, y, qRgba(int(c >> 16 & 255), int(c >> 8 & 255), int(c & 255), alpha));
        }
    return image;
}

std::string frameName(Size frame)
{
    return std::to_string(frame.width) + "x" + std::to_string(frame.height);
}

// Orvanta surfaces.

IDirectDraw* display()
{
    static IDirectDraw* dd = [] {
        setenv("ORVANTA_DISPLAY_DEPTH", "32", 1);
        IDirectDraw* created = nullptr;
        DirectDrawCreate(nullptr, &created, nullptr);
        return created;
    }();
    return dd;
}

struct Surface {
    explicit Surface(Size size)
    {
        DDSURFACEDESC desc {};
        desc.dwSize = DDSURFACEDESC_SIZE;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = DWORD(size.width);
        desc.dwHeight = DWORD(size.height);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        display()->CreateSurface(&desc, &surface, nullptr);
    }
    ~Surface() { surface->Release(); }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    void paint(int object, const KeyShape& keyed)
    {
        DDSURFACEDESC desc {};
        desc.dwSize = DDSURFACEDESC_SIZE;
        surface->Lock(nullptr, &desc, 0, nullptr);
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch);
            for (DWORD x = 0; x < desc.dwWidth; ++x)
                row[x] = keyed && keyed(int(x), int(y)) ? kKey : objectPixel(object, int(x), int(y));
        }
        surface->Unlock(nullptr);
        if (keyed) {
            DDCOLORKEY key { kKey, kKey };
            surface->SetColorKey(DDCKEY_SRCBLT, &key);
        }
    }

    IDirectDrawSurface* surface = nullptr;
};

void fillOrvanta(benchmark::State& state, Size frame)
{
    Surface back(frame);
    DDBLTFX fx {};
    fx.dwSize = DDBLTFX_SIZE;
    fx.dwFillColor = 0x203040;
    for (auto _ : state) {
        back.surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        benchmark::ClobberMemory();
    }
}

void copyOrvanta(benchmark::State& state, Size frame)
{
    Surface back(frame), source(frame);
    source.paint(0, nullptr);
    back.paint(1, nullptr);
    for (auto _ : state) {
        back.surface->Blt(nullptr, source.surface, nullptr, DDBLT_WAIT, nullptr);
        benchmark::ClobberMemory();
    }
}

// Keyed objects of `object` size drawn at `drawn` size (stretching when the
// sizes differ).
void keyedOrvanta(benchmark::State& state, Size frame, Size object, Size drawn, const KeyShape& keyed)
{
    Surface back(frame);
    back.paint(0, nullptr);
    std::vector<std::unique_ptr<Surface>> objects;
    for (int i = 0; i < kObjects; ++i) {
        objects.push_back(std::make_unique<Surface>(object));
        objects.back()->paint(i + 1, keyed);
    }
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            RECT at = objectPlace(i, frame, drawn);
            back.surface->Blt(&at, objects[size_t(i)]->surface, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr);
        }
        benchmark::ClobberMemory();
    }
}

// Blended pictures: surfaces of premultiplied ARGB, as pictures with their
// own transparency are loaded.
void blendOrvanta(benchmark::State& state, Size frame)
{
    Surface back(frame);
    back.paint(0, nullptr);
    std::vector<IDirectDrawSurface*> pictures;
    for (int i = 0; i < kObjects; ++i) {
        const QImage picture = softPicture(i + 1).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        DDSURFACEDESC desc {};
        desc.dwSize = DDSURFACEDESC_SIZE;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = desc.dwHeight = 64;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.ddpfPixelFormat = PremultipliedAlphaFormat();
        IDirectDrawSurface* surface = nullptr;
        display()->CreateSurface(&desc, &surface, nullptr);
        DDSURFACEDESC locked {};
        locked.dwSize = DDSURFACEDESC_SIZE;
        surface->Lock(nullptr, &locked, 0, nullptr);
        for (int y = 0; y < 64; ++y)
            std::memcpy(static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch, picture.constScanLine(y), 64 * 4);
        surface->Unlock(nullptr);
        pictures.push_back(surface);
    }
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            RECT at = objectPlace(i, frame, { 64, 64 });
            back.surface->Blt(&at, pictures[size_t(i)], nullptr, DDBLT_ALPHASRC | DDBLT_WAIT, nullptr);
        }
        benchmark::ClobberMemory();
    }
    for (IDirectDrawSurface* surface : pictures)
        surface->Release();
}

void blendQt(benchmark::State& state, Size frame)
{
    QImage back(frame.width, frame.height, QImage::Format_RGB32);
    back.fill(0x102030);
    std::vector<QImage> pictures;
    for (int i = 0; i < kObjects; ++i)
        pictures.push_back(softPicture(i + 1).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QPainter painter(&back);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const RECT at = objectPlace(i, frame, { 64, 64 });
            painter.drawImage(QPoint(int(at.left), int(at.top)), pictures[size_t(i)]);
        }
        benchmark::DoNotOptimize(back.constBits());
        benchmark::ClobberMemory();
    }
}

// Memory floors.

struct Buffer {
    explicit Buffer(size_t size)
        : bytes(size)
        , data(static_cast<BYTE*>(std::aligned_alloc(64, (size + 63) & ~size_t(63))))
    {
        std::memset(data, 1, bytes);
    }
    ~Buffer() { std::free(data); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    size_t bytes;
    BYTE* data;
};

void fillFloor(benchmark::State& state, Size frame, bool stream)
{
    Buffer to(size_t(frame.width) * size_t(frame.height) * 4);
    for (auto _ : state) {
        if (stream)
            StreamFill(to.data, 0x20202020, to.bytes);
        else
            std::memset(to.data, 0x20, to.bytes);
        benchmark::ClobberMemory();
    }
}

void copyFloor(benchmark::State& state, Size frame, bool stream)
{
    Buffer from(size_t(frame.width) * size_t(frame.height) * 4), to(from.bytes);
    for (auto _ : state) {
        if (stream)
            StreamCopy(to.data, from.data, to.bytes);
        else
            std::memcpy(to.data, from.data, to.bytes);
        benchmark::ClobberMemory();
    }
}

// A row-by-row memcpy of the rectangles the keyed objects cover.
void keyedFloor(benchmark::State& state, Size frame, Size drawn)
{
    const size_t pitch = size_t(frame.width) * 4, rowBytes = size_t(drawn.width) * 4;
    Buffer back(pitch * size_t(frame.height));
    std::vector<std::unique_ptr<Buffer>> objects;
    for (int i = 0; i < kObjects; ++i)
        objects.push_back(std::make_unique<Buffer>(rowBytes * size_t(drawn.height)));
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const RECT at = objectPlace(i, frame, drawn);
            for (int y = 0; y < drawn.height; ++y)
                std::memcpy(back.data + size_t(at.top + y) * pitch + size_t(at.left) * 4,
                    objects[size_t(i)]->data + size_t(y) * rowBytes, rowBytes);
        }
        benchmark::ClobberMemory();
    }
}

#ifdef ORVANTA_BENCH_SDL2

struct SdlSurface {
    explicit SdlSurface(Size size)
        : surface(SDL_CreateRGBSurfaceWithFormat(0, size.width, size.height, 32, SDL_PIXELFORMAT_RGB888))
    {
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
    }
    ~SdlSurface() { SDL_FreeSurface(surface); }
    SdlSurface(const SdlSurface&) = delete;
    SdlSurface& operator=(const SdlSurface&) = delete;

    void paint(int object, const KeyShape& keyed)
    {
        for (int y = 0; y < surface->h; ++y) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
            for (int x = 0; x < surface->w; ++x)
                row[x] = keyed && keyed(x, y) ? kKey : objectPixel(object, x, y);
        }
        if (keyed)
            SDL_SetColorKey(surface, SDL_TRUE, kKey);
    }

    SDL_Surface* surface;
};

void fillSdl(benchmark::State& state, Size frame)
{
    SdlSurface back(frame);
    for (auto _ : state) {
        SDL_FillRect(back.surface, nullptr, 0x203040);
        benchmark::ClobberMemory();
    }
}

void copySdl(benchmark::State& state, Size frame)
{
    SdlSurface back(frame), source(frame);
    source.paint(0, nullptr);
    back.paint(1, nullptr);
    for (auto _ : state) {
        SDL_BlitSurface(source.surface, nullptr, back.surface, nullptr);
        benchmark::ClobberMemory();
    }
}

void blendSdl(benchmark::State& state, Size frame)
{
    SdlSurface back(frame);
    back.paint(0, nullptr);
    std::vector<SDL_Surface*> pictures;
    for (int i = 0; i < kObjects; ++i) {
        const QImage picture = softPicture(i + 1);
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_ARGB8888);
        for (int y = 0; y < 64; ++y)
            std::memcpy(static_cast<Uint8*>(surface->pixels) + y * surface->pitch, picture.constScanLine(y), 64 * 4);
        SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_BLEND);
        pictures.push_back(surface);
    }
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const RECT at = objectPlace(i, frame, { 64, 64 });
            SDL_Rect d { int(at.left), int(at.top), 64, 64 };
            SDL_BlitSurface(pictures[size_t(i)], nullptr, back.surface, &d);
        }
        benchmark::ClobberMemory();
    }
    for (SDL_Surface* surface : pictures)
        SDL_FreeSurface(surface);
}

void keyedSdl(benchmark::State& state, Size frame, Size object, Size drawn, const KeyShape& keyed)
{
    SdlSurface back(frame);
    back.paint(0, nullptr);
    std::vector<std::unique_ptr<SdlSurface>> objects;
    for (int i = 0; i < kObjects; ++i) {
        objects.push_back(std::make_unique<SdlSurface>(object));
        objects.back()->paint(i + 1, keyed);
    }
    const bool stretched = object.width != drawn.width || object.height != drawn.height;
    for (auto _ : state) {
        for (int i = 0; i < kObjects; ++i) {
            const RECT at = objectPlace(i, frame, drawn);
            SDL_Rect d { int(at.left), int(at.top), drawn.width, drawn.height };
            if (stretched)
                SDL_BlitScaled(objects[size_t(i)]->surface, nullptr, back.surface, &d);
            else
                SDL_BlitSurface(objects[size_t(i)]->surface, nullptr, back.surface, &d);
        }
        benchmark::ClobberMemory();
    }
}

#endif

template<typename F> void add(const std::string& name, Size frame, F run)
{
    benchmark::RegisterBenchmark(name.c_str(), [frame, run](benchmark::State& state) {
        run(state, frame);
    })->Unit(benchmark::kMicrosecond);
}

void registerAll()
{
    constexpr Size kImage { 64, 64 }, kCaption { 160, 48 }, kDown { 48, 48 };
    for (const Size frame : kFrames) {
        const std::string f = frameName(frame);
        const auto bytes = [frame](benchmark::State& state) {
            state.SetBytesProcessed(int64_t(state.iterations()) * frame.width * frame.height * 4);
        };

        add("fill/" + f + "/orvanta", frame, [bytes](benchmark::State& s, Size z) { fillOrvanta(s, z), bytes(s); });
        add("fill/" + f + "/floor_memset", frame,
            [bytes](benchmark::State& s, Size z) { fillFloor(s, z, false), bytes(s); });
        add("fill/" + f + "/floor_stream", frame,
            [bytes](benchmark::State& s, Size z) { fillFloor(s, z, true), bytes(s); });
        add("copy/" + f + "/orvanta", frame, [bytes](benchmark::State& s, Size z) { copyOrvanta(s, z), bytes(s); });
        add("copy/" + f + "/floor_memcpy", frame,
            [bytes](benchmark::State& s, Size z) { copyFloor(s, z, false), bytes(s); });
        add("copy/" + f + "/floor_stream", frame,
            [bytes](benchmark::State& s, Size z) { copyFloor(s, z, true), bytes(s); });

        struct Keyed {
            const char* group;
            Size object;
            Size drawn;
            bool (*shape)(int, int);
        };
        const Keyed keyedKinds[] = {
            { "image/", kImage, kImage, roundImage },
            { "caption/", kCaption, kCaption, captionText },
            { "stretch/", kDown, kImage, roundImage },
        };
        for (const Keyed& k : keyedKinds) {
            add(k.group + f + "/orvanta", frame,
                [k](benchmark::State& s, Size z) { keyedOrvanta(s, z, k.object, k.drawn, k.shape); });
            add(k.group + f + "/floor_memcpy", frame, [k](benchmark::State& s, Size z) { keyedFloor(s, z, k.drawn); });
#ifdef ORVANTA_BENCH_SDL2
            add(k.group + f + "/sdl2", frame,
                [k](benchmark::State& s, Size z) { keyedSdl(s, z, k.object, k.drawn, k.shape); });
#endif
        }
        add("blend/" + f + "/orvanta", frame, blendOrvanta);
        add("blend/" + f + "/qt", frame, blendQt);
        add("blend/" + f + "/floor_memcpy", frame, [](benchmark::State& s, Size z) { keyedFloor(s, z, { 64, 64 }); });
#ifdef ORVANTA_BENCH_SDL2
        add("blend/" + f + "/sdl2", frame, blendSdl);
        add("fill/" + f + "/sdl2", frame, [bytes](benchmark::State& s, Size z) { fillSdl(s, z), bytes(s); });
        add("copy/" + f + "/sdl2", frame, [bytes](benchmark::State& s, Size z) { copySdl(s, z), bytes(s); });
#endif
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
