// One frame of a 50-object desktop: ComposeScene including presentation,
// against the memory floor of the same frame and against the same frame
// composed with SDL2 software surfaces, in the same run. Then the start-up
// work of the desktop's surfaces against decoding its bitmaps with QImage and
// drawing its caption lines with QPainter.
//
// The desktop is written to a temporary folder (.bmp files and a desktop
// file) and built through the program's own load and rebuild operations:
// 64x64 Up, Down and Mouse images (about 40% key colour), three-line captions,
// a 100x100 background tiled over a colour. Run with
// --benchmark_repetitions=3; the table at the end gives medians and ratios.
//
//   frame/WxH     one composed and presented frame
//   startup/WxH   images, captions and colour keys of every object
//   rebuild_one/WxH   one object made again after a composed frame
//   caption_*/WxH     one object's captions, ordinary and 100 large lines
//   frame_alpha/WxH   the frame with PNG pictures with soft edges, blended,
//                     against the same frame with the keyed bitmaps (its
//                     floor: x_floor is blended over keyed)
//   startup_png/WxH   start-up of the PNG desktop against the bitmap one
//                     (its floor)

#include "RatioReporter.h"
#include "StreamingStores.h"

#include "app/DesktopApp.h"
#include "platform/Pictures.h"
#include "platform/QtConversions.h"
#include "platform/UiScript.h"
#include "tests/support/DisplayFixture.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#ifdef ORVANTA_BENCH_SDL2
#include <SDL.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kObjects = 50;
constexpr int kImageSide = 64;
constexpr int kTileSide = 100;

struct Size {
    int width;
    int height;
};
constexpr Size kFrames[] = { { 1920, 1080 }, { 3840, 2160 } };

std::string frameName(Size frame)
{
    return std::to_string(frame.width) + "x" + std::to_string(frame.height);
}

// Answers every message with OK and remembers that one was shown: a desktop
// that shows a message is not the desktop being measured.
class QuietUi : public UiScript {
public:
    QuietUi() { SetUiScript(this); }
    ~QuietUi() override { SetUiScript(nullptr); }
    int answerMessageBox(const CString& text, UINT) override
    {
        std::fprintf(stderr, "message: %s\n", text.str().c_str());
        ++messages;
        return IDOK;
    }

    int messages = 0;
};

QColor keyColor()
{
    return ToQColor(kColorKey);
}

// A round button: outside a disc of radius 28 (about 40% of the square) is
// the key colour. Soft, the disc fades out over its last 4 pixels and
// outside it is transparent.
QImage buttonImage(int object, int look, bool soft = false)
{
    QImage image(kImageSide, kImageSide, soft ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < kImageSide; ++y) {
        for (int x = 0; x < kImageSide; ++x) {
            const int dx = 2 * x - 63, dy = 2 * y - 63;
            const double r = std::sqrt(double(dx * dx + dy * dy)) / 2;
            QColor color((object * 5 + x) & 255, (look * 80 + y) & 255, 90 + look * 40);
            if (soft)
                color.setAlpha(r <= 24 ? 255 : r >= 28 ? 0 : int((28 - r) * 255 / 4));
            image.setPixelColor(x, y, !soft && r > 28 ? keyColor() : color);
        }
    }
    return image;
}

// The picture file of an object's look: a bitmap, or a PNG with soft edges.
std::string writePicture(const QString& dir, const QString& stem, int object, int look, bool soft)
{
    if (!soft)
        return WriteBitmap(dir, stem + ".bmp", buttonImage(object, look));
    const QString path = QDir(dir).filePath(stem + ".png");
    return buttonImage(object, look, true).save(path, "PNG") ? path.toStdString() : std::string();
}

QImage tileImage()
{
    QImage image(kTileSide, kTileSide, QImage::Format_RGB32);
    for (int y = 0; y < kTileSide; ++y) {
        for (int x = 0; x < kTileSide; ++x)
            image.setPixelColor(x, y, QColor(20 + x, 40 + y, 60 + (x ^ y) % 64));
    }
    return image;
}

// Where object i sits: a 10x5 grid over the screen, its caption beside it.
POINT objectOrigin(int i, Size frame)
{
    return { LONG((i - 1) % 10 * (frame.width / 10) + 8), LONG((i - 1) / 10 * (frame.height / 5) + 8) };
}

CString captionText(int i)
{
    return CString(("Object " + std::to_string(i) + "\r\nsecond line\r\nthe third line").c_str());
}

// Writes the desktop's bitmaps and its desktop file into `dir`.
bool writeDesktop(const QString& dir, Size frame, const QString& file, bool soft)
{
    CDesktopApp writer;
    writer.m_strDesktopFile = CString(file.toStdString().c_str());
    writer.m_nObjects = 1 + kObjects;
    writer.m_bTile = TRUE;
    writer.m_crBackground = RGB(30, 60, 90);
    writer.m_dwBackPixel = 0x1E3C5A;
    std::strcpy(writer.m_lfDefault.lfFaceName, "DejaVu Sans");
    writer.m_lfDefault.lfHeight = -12;

    DesktopObject& background = writer.m_aObjects[0];
    background.strName = "Background";
    background.strUpImage = CString(WriteBitmap(dir, "tile.bmp", tileImage()).c_str());
    background.rcObject = { 0, 0, kTileSide, kTileSide };
    background.bVisible = TRUE;

    const char* faces[] = { "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono" };
    const int justifications[] = { 0, 1088, 1089 };
    for (int i = 1; i <= kObjects; ++i) {
        DesktopObject& r = writer.m_aObjects[i];
        const QString stem = QString("object%1").arg(i);
        r.strName = CString(("Object " + std::to_string(i)).c_str());
        r.strText = captionText(i);
        r.crText = RGB(255, 255, 255);
        r.crHotText = RGB(255, 255, 0);
        r.nJustify = justifications[i % 3];
        r.lfFont.lfHeight = -11 - i % 4;
        std::strcpy(r.lfFont.lfFaceName, faces[i % 3]);
        r.strUpImage = CString(writePicture(dir, stem + "up", i, 0, soft).c_str());
        r.strDownImage = CString(writePicture(dir, stem + "down", i, 1, soft).c_str());
        r.strMouseImage = CString(writePicture(dir, stem + "mouse", i, 2, soft).c_str());
        const POINT at = objectOrigin(i, frame);
        r.rcObject = { at.x, at.y, at.x + kImageSide, at.y + kImageSide };
        r.bVisible = TRUE;
    }
    QuietUi ui;
    writer.SaveDesktop();
    return ui.messages == 0;
}

void releaseSurfaces(CDesktopApp& app)
{
    for (int i = 0; i < app.m_nObjects; i++) {
        app.ReleaseObjectImages(i);
        app.ReleaseCaptionSurfaces(i);
    }
    app.ReleaseTileSurface();
}

// A desktop written, loaded and built at one screen size, its pictures
// keyed bitmaps or PNGs with soft edges.
struct Desktop {
    explicit Desktop(Size frame, bool soft = false)
        : display(app, frame.width, frame.height)
    {
        const QString file = QDir(dir.path()).filePath("bench.orv");
        ok = display.ok && writeDesktop(dir.path(), frame, file, soft);
        if (!ok)
            return;
        app.m_strDesktopFile = CString(file.toStdString().c_str());
        app.m_strAppDir = CString(dir.path().toStdString().c_str());
        app.LoadDesktop();
        app.m_bSplashPending = FALSE;
        BuildEveryObject(app);
        // Every look of an object shows: Up, Mouse, Down.
        for (int i = 1; i < app.m_nObjects; ++i)
            app.m_aRuntime[i].nState = i % 3 + 1;
        ok = ui.messages == 0 && app.m_nObjects == 1 + kObjects;
    }

    QuietUi ui;
    QTemporaryDir dir;
    CDesktopApp app;
    DisplayFixture display;
    bool ok = false;
};

// The rectangles the keyed blits of a frame cover.
std::vector<RECT> keyedRects(const CDesktopApp& app)
{
    std::vector<RECT> rects;
    for (int i = 1; i < app.m_nObjects; ++i) {
        rects.push_back(app.m_aObjects[i].rcObject);
        if (app.m_aRuntime[i].pText || app.m_aRuntime[i].pTextHot)
            rects.push_back(app.m_aObjects[i].rcText);
    }
    return rects;
}

void frameOrvanta(benchmark::State& state, Size frame, bool soft = false)
{
    Desktop desktop(frame, soft);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    const int before = desktop.display.target.presentations;
    for (auto _ : state)
        desktop.app.ComposeScene();
    if (desktop.display.target.presentations - before != int(state.iterations()))
        state.SkipWithError("a frame was not presented");
}

// Memory floor: a fill of the frame, a copy of the frame for the tile and one
// for the presentation, and a copy of the bytes the keyed blits cover.
struct Frame {
    explicit Frame(Size size)
        : size(size)
        , bytes(size_t(size.width) * size_t(size.height) * 4)
    {
        for (auto& buffer : buffers) {
            buffer.reset(static_cast<BYTE*>(std::aligned_alloc(64, bytes)));
            std::memset(buffer.get(), 1, bytes);
        }
    }
    struct Free {
        void operator()(BYTE* p) const { std::free(p); }
    };
    Size size;
    size_t bytes;
    std::unique_ptr<BYTE, Free> buffers[3]; // back, tile, presented
};

void frameFloor(benchmark::State& state, Size size, bool stream)
{
    std::vector<RECT> rects;
    {
        Desktop desktop(size);
        if (!desktop.ok)
            return state.SkipWithError("the desktop could not be built");
        rects = keyedRects(desktop.app);
    }
    Frame frame(size);
    BYTE* back = frame.buffers[0].get();
    BYTE* tile = frame.buffers[1].get();
    BYTE* shown = frame.buffers[2].get();
    const size_t pitch = size_t(size.width) * 4;
    size_t keyedBytes = 0;
    for (const RECT& r : rects)
        keyedBytes += size_t(r.right - r.left) * 4 * size_t(r.bottom - r.top);
    std::vector<BYTE> objects(keyedBytes, 2); // the keyed blits' sources, end to end
    for (auto _ : state) {
        if (stream) {
            StreamFill(back, 0x1E3C5A, frame.bytes);
            StreamCopy(back, tile, frame.bytes);
        } else {
            std::memset(back, 0x1E, frame.bytes);
            std::memcpy(back, tile, frame.bytes);
        }
        size_t from = 0;
        for (const RECT& r : rects) {
            const size_t rowBytes = size_t(r.right - r.left) * 4;
            for (LONG y = r.top; y < r.bottom; ++y) {
                std::memcpy(back + size_t(y) * pitch + size_t(r.left) * 4, objects.data() + from, rowBytes);
                from += rowBytes;
            }
        }
        if (stream)
            StreamCopy(shown, back, frame.bytes);
        else
            std::memcpy(shown, back, frame.bytes);
        benchmark::ClobberMemory();
    }
}

#ifdef ORVANTA_BENCH_SDL2

SDL_Surface* sdlSurface(int width, int height)
{
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
}

// A copy of an Orvanta surface, with its colour key when it has one.
SDL_Surface* sdlCopy(IDirectDrawSurface* surface)
{
    DDSURFACEDESC desc {};
    desc.dwSize = DDSURFACEDESC_SIZE;
    if (!surface || surface->Lock(nullptr, &desc, 0, nullptr) != DD_OK)
        return nullptr;
    SDL_Surface* copy = sdlSurface(int(desc.dwWidth), int(desc.dwHeight));
    for (DWORD y = 0; y < desc.dwHeight; ++y)
        std::memcpy(static_cast<Uint8*>(copy->pixels) + y * DWORD(copy->pitch),
            static_cast<const BYTE*>(desc.lpSurface) + y * DWORD(desc.lPitch), desc.dwWidth * 4);
    surface->Unlock(nullptr);
    // Only keyed surfaces describe a key; the key colour is never black here.
    if (desc.ddckCKSrcBlt.dwColorSpaceLowValue)
        SDL_SetColorKey(copy, SDL_TRUE, desc.ddckCKSrcBlt.dwColorSpaceLowValue);
    return copy;
}

// The same frame with SDL2: fill, background image, tile, each object's
// image and caption for its state, then the copy into the window's image.
void frameSdl(benchmark::State& state, Size frame)
{
    Desktop desktop(frame);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    CDesktopApp& app = desktop.app;
    std::vector<SDL_Surface*> owned;
    auto keep = [&](IDirectDrawSurface* surface) {
        SDL_Surface* copy = sdlCopy(surface);
        if (copy)
            owned.push_back(copy);
        return copy;
    };
    // The object surfaces carry their keys already; the tile copy of the
    // desktop is the program's own.
    SDL_Surface* back = sdlSurface(frame.width, frame.height);
    owned.push_back(back);
    SDL_Surface* background = keep(app.m_aRuntime[0].pUp);
    SDL_Surface* tile = keep(app.m_pDDSTile);
    struct Drawn {
        SDL_Surface* image;
        SDL_Rect imageAt;
        SDL_Surface* caption;
        SDL_Rect captionAt;
    };
    std::vector<Drawn> drawn;
    for (int i = 1; i < app.m_nObjects; ++i) {
        const ObjectRuntime& s = app.m_aRuntime[i];
        const DesktopObject& r = app.m_aObjects[i];
        IDirectDrawSurface* image = s.nState == 3 && s.pDown ? s.pDown : s.nState == 2 && s.pMouse ? s.pMouse : s.pUp;
        IDirectDrawSurface* caption = (s.nState == 3 || s.nState == 2) && s.pTextHot ? s.pTextHot : s.pText;
        drawn.push_back({ keep(image),
            { int(r.rcObject.left), int(r.rcObject.top), int(r.rcObject.right - r.rcObject.left),
                int(r.rcObject.bottom - r.rcObject.top) },
            keep(caption),
            { int(r.rcText.left), int(r.rcText.top), int(r.rcText.right - r.rcText.left),
                int(r.rcText.bottom - r.rcText.top) } });
    }
    QImage window(frame.width, frame.height, QImage::Format_RGB32);
    const Uint32 backPixel = app.m_dwBackPixel;
    for (auto _ : state) {
        SDL_FillRect(back, nullptr, backPixel);
        SDL_Rect at { 0, 0, kTileSide, kTileSide };
        SDL_BlitSurface(background, nullptr, back, &at);
        SDL_BlitSurface(tile, nullptr, back, nullptr);
        for (Drawn& d : drawn) {
            SDL_BlitSurface(d.image, nullptr, back, &d.imageAt);
            if (d.caption)
                SDL_BlitSurface(d.caption, nullptr, back, &d.captionAt);
        }
        window = QImage(static_cast<const uchar*>(back->pixels), back->w, back->h, back->pitch, QImage::Format_RGB32)
                     .copy();
        benchmark::DoNotOptimize(window.constBits());
    }
    for (SDL_Surface* surface : owned)
        SDL_FreeSurface(surface);
}

#endif

// The picture files of every object, in the order start-up loads them.
std::vector<std::string> imagePaths(const CDesktopApp& app)
{
    std::vector<std::string> paths;
    for (int i = 0; i < app.m_nObjects; ++i) {
        const DesktopObject& r = app.m_aObjects[i];
        for (const CString* path : { &r.strUpImage, &r.strDownImage, &r.strMouseImage }) {
            if (path->Compare(" ") > 0)
                paths.push_back(path->str());
        }
    }
    return paths;
}

// Start-up: the surfaces of every object, built from the loaded desktop.
// Start-up decodes its pictures ahead from the moment it has read the
// desktop file; here the decoding starts only as the building does, so the
// display's creation that it overlaps in the program is not counted.
void startupOrvanta(benchmark::State& state, Size frame, bool soft = false)
{
    Desktop desktop(frame, soft);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    const std::vector<std::string> paths = imagePaths(desktop.app);
    for (auto _ : state) {
        state.PauseTiming();
        releaseSurfaces(desktop.app);
        state.ResumeTiming();
        const PicturePrefetch prefetch(paths);
        BuildEveryObject(desktop.app);
    }
    if (desktop.ui.messages)
        state.SkipWithError("rebuilding showed a message");
}

// The same bitmaps decoded by QImage, and the same caption lines, in both
// colours, drawn by QPainter into images the size of each line.
void startupQt(benchmark::State& state, Size frame)
{
    Desktop desktop(frame);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    const CDesktopApp& app = desktop.app;
    struct Caption {
        QFont font;
        QStringList lines;
        QColor colors[2];
    };
    std::vector<QString> files;
    for (const std::string& path : imagePaths(app))
        files.push_back(QString::fromStdString(path));
    std::vector<Caption> captions;
    for (int i = 0; i < app.m_nObjects; ++i) {
        const DesktopObject& r = app.m_aObjects[i];
        if (r.strText.Compare(" ") > 0) {
            QFont font(QString::fromLatin1(r.lfFont.lfFaceName));
            font.setPixelSize(std::abs(int(r.lfFont.lfHeight)));
            font.setStyleStrategy(QFont::NoAntialias);
            captions.push_back({ font, QString::fromStdString(r.strText.str()).remove('\r').split('\n'),
                { ToQColor(r.crText), ToQColor(r.crHotText) } });
        }
    }
    for (auto _ : state) {
        for (const QString& file : files) {
            QImage image(file);
            benchmark::DoNotOptimize(image.constBits());
        }
        for (const Caption& caption : captions) {
            const QFontMetrics metrics(caption.font);
            for (const QColor& color : caption.colors) {
                for (const QString& line : caption.lines) {
                    QImage image(std::max(1, metrics.horizontalAdvance(line)), metrics.height(), QImage::Format_RGB32);
                    image.fill(keyColor());
                    QPainter painter(&image);
                    painter.setFont(caption.font);
                    painter.setPen(color);
                    painter.drawText(0, metrics.ascent(), line);
                }
            }
        }
    }
}

// Properties OK on one object after a composed frame: its images, captions
// and keys made again (the frame that follows is frame/WxH).
void rebuildOneOrvanta(benchmark::State& state, Size frame)
{
    Desktop desktop(frame);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    CDesktopApp& app = desktop.app;
    const int c = kObjects / 2;
    for (auto _ : state) {
        state.PauseTiming();
        app.ComposeScene();
        state.ResumeTiming();
        app.ReleaseObjectImages(c);
        app.LoadObjectImages(c);
        app.ReleaseCaptionSurfaces(c);
        app.CreateCaptionSurfaces(c);
        app.SetObjectColorKeys(c);
    }
    if (desktop.ui.messages)
        state.SkipWithError("rebuilding showed a message");
}

// One object's captions: the desktop's three-line caption, or 100 lines of
// 129 characters in a 200-pixel font. Reports the caption's pixels.
void captionOrvanta(benchmark::State& state, Size frame, bool large)
{
    Desktop desktop(frame);
    if (!desktop.ok)
        return state.SkipWithError("the desktop could not be built");
    CDesktopApp& app = desktop.app;
    const int c = kObjects / 2;
    if (large) {
        std::string text;
        for (int j = 0; j < 100; ++j)
            text += std::string(129, char('A' + j % 26)) + "\r\n";
        app.m_aObjects[c].strText = CString(text.c_str());
        app.m_aObjects[c].lfFont.lfHeight = -200;
    }
    for (auto _ : state) {
        state.PauseTiming();
        app.ReleaseCaptionSurfaces(c);
        state.ResumeTiming();
        app.CreateCaptionSurfaces(c);
    }
    const IDirectDrawSurface* caption = app.m_aRuntime[c].pTextHot;
    state.counters["pixels"] = caption ? double(caption->width()) * caption->height() : 0;
    if (desktop.ui.messages)
        state.SkipWithError("building showed a message");
}

template<typename F> void add(const std::string& name, Size frame, F run)
{
    benchmark::RegisterBenchmark(name.c_str(), [frame, run](benchmark::State& state) {
        run(state, frame);
    })->Unit(benchmark::kMicrosecond);
}

void registerAll()
{
    for (const Size frame : kFrames) {
        const std::string f = frameName(frame);
        add("frame/" + f + "/orvanta", frame, [](benchmark::State& s, Size z) { frameOrvanta(s, z); });
        add("frame/" + f + "/floor_plain", frame, [](benchmark::State& s, Size z) { frameFloor(s, z, false); });
        add("frame/" + f + "/floor_stream", frame, [](benchmark::State& s, Size z) { frameFloor(s, z, true); });
#ifdef ORVANTA_BENCH_SDL2
        add("frame/" + f + "/sdl2", frame, frameSdl);
#endif
    }
    // The Qt reference is this group's floor: startup's x_floor is the ratio
    // to decoding and drawing the same content with Qt.
    const Size large = kFrames[1];
    add("startup/" + frameName(large) + "/orvanta", large, [](benchmark::State& s, Size z) { startupOrvanta(s, z); });
    // The same desktop with PNG pictures blended, against the keyed bitmaps.
    add("frame_alpha/" + frameName(large) + "/orvanta", large,
        [](benchmark::State& s, Size z) { frameOrvanta(s, z, true); });
    add("frame_alpha/" + frameName(large) + "/floor_keyed", large,
        [](benchmark::State& s, Size z) { frameOrvanta(s, z, false); });
    add("startup_png/" + frameName(large) + "/orvanta", large,
        [](benchmark::State& s, Size z) { startupOrvanta(s, z, true); });
    add("startup_png/" + frameName(large) + "/floor_bmp", large,
        [](benchmark::State& s, Size z) { startupOrvanta(s, z, false); });
    add("startup/" + frameName(large) + "/floor_qt", large, startupQt);
    add("rebuild_one/" + frameName(large) + "/orvanta", large, rebuildOneOrvanta);
    add("caption_ordinary/" + frameName(large) + "/orvanta", large,
        [](benchmark::State& s, Size z) { captionOrvanta(s, z, false); });
    add("caption_100x129x200px/" + frameName(large) + "/orvanta", large,
        [](benchmark::State& s, Size z) { captionOrvanta(s, z, true); });
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("ORVANTA_DISPLAY_DEPTH", "32", 1);
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
