// A desktop file and its pictures from one input, started as start-up starts
// a desktop on a 320 x 240 screen: the file read, the display made, every
// object's images, captions and colour keys built, and a frame composed and
// presented, at 32, 16 and 8 bits.
//
// The input: a 32-bit little-endian length and that many bytes of desktop
// file, then up to 8 pictures, each an 8-bit name length, the name, a 32-bit
// length and the picture's bytes. A name is a path below the program folder
// ("bitmaps/back.bmp"), where the desktop's development-prefix paths lead.
#include "app/DesktopApp.h"
#include "bitmaps/DDUtil.h"
#include "platform/PresentTarget.h"
#include "platform/Screen.h"
#include "platform/UiScript.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kMaxPictures = 8;

class AnswerOk : public UiScript {
public:
    int answerMessageBox(const CString&, UINT) override { return IDOK; }
    UINT chooseMenuCommand(const std::vector<MenuItemState>&) override { return 0; }
    void runDialog(CDialog&) override { }
    std::optional<CString> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<COLORREF> chooseColor(COLORREF) override { return std::nullopt; }
    std::optional<LOGFONT> chooseFont(const LOGFONT&) override { return std::nullopt; }
};

// The window: every frame must cover the screen in the display's format.
class CheckedTarget : public PresentTarget {
public:
    void presentFrame(const QImage& frame, std::span<const RECT>) override
    {
        if (frame.width() != kWidth || frame.height() != kHeight)
            std::abort();
        ++frames;
    }
    int frames = 0;
};

// Reads the input from its front.
struct Reader {
    std::string_view rest;
    std::uint32_t number(int bytes)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes && !rest.empty(); ++i) {
            value |= std::uint32_t(std::uint8_t(rest.front())) << (8 * i);
            rest.remove_prefix(1);
        }
        return value;
    }
    std::string_view bytes(std::uint32_t count)
    {
        const std::string_view taken = rest.substr(0, count);
        rest.remove_prefix(taken.size());
        return taken;
    }
};

// A relative path of plain components, or nothing.
std::optional<std::filesystem::path> PictureName(std::string_view name)
{
    std::filesystem::path path;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string_view::npos)
            return std::nullopt;
        path /= std::string(part);
        start = end + 1;
    }
    return path;
}

void Write(const std::filesystem::path& path, std::string_view bytes)
{
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// Start-up's steps from the paths on, with `target` as the window.
void StartAndCompose(const std::string& folder, const std::string& desktop)
{
    CheckedTarget target;
    auto app = std::make_unique<CDesktopApp>();
    app->m_strAppDir = folder.c_str();
    app->m_strDesktopFile = desktop.c_str();
    const CString palette = app->m_strAppDir + "\\res\\palette.bmp";
    if (palette.GetLength() < int(sizeof app->m_szPalettePath))
        std::memcpy(app->m_szPalettePath, LPCSTR(palette), size_t(palette.GetLength()) + 1);
    app->m_nMaxObjects = kTableSize - 1;
    app->m_cxScreen = app->m_cxDesktop = GetSystemMetrics(SM_CXSCREEN);
    app->m_cyScreen = app->m_cyDesktop = GetSystemMetrics(SM_CYSCREEN);
    app->m_rcScreen = RECT { 0, 0, app->m_cxScreen, app->m_cyScreen };
    app->m_bLocked = TRUE;
    app->m_bSplashPending = FALSE;

    app->LoadDesktop();
    if (!app->CreateDisplay(&target))
        return;
    if (IDirectDrawPalette* pPalette = DDLoadPalette(app->m_pDD, app->m_szPalettePath)) {
        app->m_pDDPal = pPalette;
        app->m_pDDSPrimary->SetPalette(app->m_pDDPal);
    }
    app->CreateColorSurface();
    app->m_ddsd.dwSize = DDSURFACEDESC_SIZE;
    app->m_ddsd.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    for (int i = 0; i < app->m_nObjects; i++) {
        app->LoadObjectImages(i);
        app->CreateCaptionSurfaces(i);
        app->SetObjectColorKeys(i);
    }
    app->UpdateTileSurface();
    app->ResolveActivationLinks();
    app->ApplyVisibility();
    app->m_history.Clear(*app);
    RECT workArea {};
    SystemParametersInfo(SPI_GETWORKAREA, 0, &workArea, 0);
    app->m_cxDesktop = workArea.right;
    app->m_cyDesktop = workArea.bottom;

    // A lost surface restores instead of showing; the next frame shows.
    for (int attempt = 0; attempt < 3 && target.frames == 0; ++attempt)
        app->ComposeScene();
    if (target.frames == 0)
        std::abort();
    app->ReleaseDirectDraw();
}

std::string g_folder;

} // namespace

// Qt's font database keeps fontconfig's patterns for every face it has
// matched, out of the leak checker's sight.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: Qt's clean-up at exit would run after the statics it uses are gone.
    new QApplication(*argc, *argv);
    // Keep single inputs quick; the loader's own limits are the tests'.
    QImageReader::setAllocationLimit(64);
    SetScreenOverride(ScreenOverride { SIZE { kWidth, kHeight }, RECT { 0, 0, kWidth, kHeight } });
    static AnswerOk ui;
    SetUiScript(&ui);
    static QTemporaryDir dir;
    g_folder = dir.path().toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::filesystem::path root = std::filesystem::path(g_folder) / "program";
    std::error_code error;
    std::filesystem::remove_all(root, error);
    std::filesystem::create_directories(root, error);

    Reader in { std::string_view(reinterpret_cast<const char*>(data), size) };
    const std::string desktop = (root / "desktop.orv").string();
    Write(desktop, in.bytes(in.number(4)));
    for (int n = 0; n < kMaxPictures && !in.rest.empty(); ++n) {
        const std::optional<std::filesystem::path> name = PictureName(in.bytes(in.number(1)));
        const std::string_view picture = in.bytes(in.number(4));
        if (name)
            Write(root / *name, picture);
    }

    for (const char* depth : { "32", "16", "8" }) {
        setenv("ORVANTA_DISPLAY_DEPTH", depth, 1);
        StartAndCompose(root.string(), desktop);
    }
    return 0;
}
