#include "DefaultDesktop.h"

#include "Artwork.h"
#include "Palette.h"

#include "app/DesktopApp.h"
#include "platform/UiScript.h"

#include <QDir>

#include <cstring>
#include <memory>
#include <utility>

namespace {

using artwork::Glyph;
using artwork::Look;

struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* file; // picture name stem
    Glyph glyph;
    QColor hue;
    const char* action;
};

const ButtonDesign kButtons[] = {
    { "Documents", "Documents", "documents", Glyph::Folder, QColor(214, 150, 40), "xdg-open ~/Documents" },
    { "Pictures", "Pictures", "pictures", Glyph::Picture, QColor(70, 160, 90), "xdg-open ~/Pictures" },
    { "Music", "Music", "music", Glyph::Music, QColor(140, 90, 190), "xdg-open ~/Music" },
    { "Web", "Web\r\nBrowser", "web", Glyph::Globe, QColor(50, 120, 200), "x-www-browser" },
    { "Settings", "Settings", "settings", Glyph::Gear, QColor(110, 120, 135), "" },
    { "Help", "Help", "help", Glyph::Help, QColor(220, 100, 60), "" },
};

constexpr int kButtonSize = 72;
constexpr int kMargin = 28;
constexpr int kRowStep = 92;
constexpr int kTileSize = 128;

const QColor kBackground = artwork::kBackgroundBase;
const QColor kCaption(255, 255, 255);
const QColor kHotCaption(255, 210, 80);
constexpr int kJustifyLeft = 1087;

// Message boxes cannot be answered in a build step: keep their texts.
class CollectingUi : public UiScript {
public:
    QStringList messages;

    int answerMessageBox(const CString& text, UINT) override
    {
        messages.append(QString::fromStdString(text.str()));
        return IDOK;
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>&) override { return 0; }
    void runDialog(CDialog&) override { }
    std::optional<CString> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<COLORREF> chooseColor(COLORREF) override { return std::nullopt; }
    std::optional<LOGFONT> chooseFont(const LOGFONT&) override { return std::nullopt; }
};

COLORREF ToColorRef(const QColor& c)
{
    return RGB(BYTE(c.red()), BYTE(c.green()), BYTE(c.blue()));
}

// The pixel value a 32-bit display stores for the colour.
DWORD ToPixel(const QColor& c)
{
    return c.rgb() & 0xFFFFFFu;
}

CString RelocatablePath(const QString& fileName)
{
    return CString(kRelocatablePrefix) + "\\desktops\\images\\" + fileName.toLatin1().constData();
}

LOGFONT CaptionFont()
{
    LOGFONT font;
    font.lfHeight = -15;
    font.lfWeight = 700;
    font.lfPitchAndFamily = 0x22; // variable pitch, sans serif
    std::strncpy(font.lfFaceName, "DejaVu Sans", LF_FACESIZE - 1);
    return font;
}

bool SaveImage(const QImage& image, const QDir& dir, const QString& fileName, QString* error)
{
    if (image.save(dir.filePath(fileName), "BMP"))
        return true;
    *error = "cannot write " + dir.filePath(fileName);
    return false;
}

DesktopObject Button(const ButtonDesign& design, int x, int y)
{
    DesktopObject object;
    object.strName = design.name;
    object.strText = design.caption;
    object.lfFont = CaptionFont();
    object.crText = ToColorRef(kCaption);
    object.dwTextPixel = ToPixel(kCaption);
    object.crHotText = ToColorRef(kHotCaption);
    object.dwHotTextPixel = ToPixel(kHotCaption);
    object.nJustify = kJustifyLeft;
    const QString stem = design.file;
    object.strUpImage = RelocatablePath(stem + "_up.bmp");
    object.strDownImage = RelocatablePath(stem + "_down.bmp");
    object.strMouseImage = RelocatablePath(stem + "_mouse.bmp");
    object.rcObject = { x, y, x + kButtonSize, y + kButtonSize };
    object.bVisible = 1;
    object.strAction = design.action;
    return object;
}

} // namespace

bool WriteDefaultDesktop(const QString& programDir, QString* error)
{
    const QDir root(programDir);
    if (!root.mkpath("res") || !root.mkpath("desktops/images")) {
        *error = "cannot create the folders under " + programDir;
        return false;
    }
    const QDir res(root.filePath("res"));
    const QDir images(root.filePath("desktops/images"));

    // Pictures.
    if (!SaveImage(artwork::BackgroundTile(kTileSize), images, "background.bmp", error))
        return false;
    const std::pair<Look, const char*> looks[]
        = { { Look::Up, "_up.bmp" }, { Look::Down, "_down.bmp" }, { Look::Mouse, "_mouse.bmp" } };
    for (const ButtonDesign& design : kButtons) {
        for (const auto& [look, suffix] : looks) {
            const QImage face = artwork::ButtonImage(design.glyph, design.hue, look, kButtonSize);
            if (!SaveImage(face, images, QString(design.file) + suffix, error))
                return false;
        }
    }
    const QImage tip = artwork::BalloonImage(
        { "Right-click anywhere for the menu.", "Unlock it there to move buttons.", "F2 redraws, F12 quits." },
        QSize(262, 72));
    if (!SaveImage(tip, images, "tip.bmp", error))
        return false;

    // Palette: the cube and greys, then the tones the pictures are made of.
    QList<QRgb> tones;
    const QColor spot = artwork::kBackgroundSpot;
    for (int i = 0; i < 8; ++i)
        tones.append(qRgb(kBackground.red() + (spot.red() - kBackground.red()) * i / 7,
            kBackground.green() + (spot.green() - kBackground.green()) * i / 7,
            kBackground.blue() + (spot.blue() - kBackground.blue()) * i / 7));
    tones += { kHotCaption.rgb(), QColor(255, 246, 204).rgb(), QColor(60, 48, 20).rgb() };
    for (const ButtonDesign& design : kButtons)
        tones.append(design.hue.rgb());
    if (!SaveImage(PaletteImage(tones), res, "palette.bmp", error))
        return false;

    // The desktop file, through the program's own writer.
    auto app = std::make_unique<CDesktopApp>();
    app->m_bTile = 1;
    app->m_crBackground = ToColorRef(kBackground);
    app->m_dwBackPixel = ToPixel(kBackground);
    app->m_lfDefault = CaptionFont();

    DesktopObject& background = app->m_aObjects[0];
    background.strName = "Background";
    background.strUpImage = RelocatablePath("background.bmp");
    background.rcObject = { 0, 0, kTileSize, kTileSize };
    background.bVisible = 1;

    int n = 1;
    for (const ButtonDesign& design : kButtons) {
        app->m_aObjects[n] = Button(design, kMargin, kMargin + (n - 1) * kRowStep);
        ++n;
    }
    // The tip balloon beside Help, shown only while the pointer is over Help.
    DesktopObject& help = app->m_aObjects[n - 1];
    help.strActivate = "Tip";
    DesktopObject& tipObject = app->m_aObjects[n];
    tipObject.strName = "Tip";
    tipObject.strUpImage = RelocatablePath("tip.bmp");
    tipObject.rcObject = { 160, help.rcObject.top - 2, 160 + tip.width(), help.rcObject.top - 2 + tip.height() };
    tipObject.lfFont = CaptionFont();
    tipObject.nJustify = kJustifyLeft;
    // Hidden in the file as well: a link target starts hidden after every load.
    tipObject.bVisible = 0;
    app->m_nObjects = n + 1;

    const QString desktopFile = QDir::toNativeSeparators(root.filePath("desktops/default.orv"));
    app->m_strDesktopFile = CString(desktopFile.toLocal8Bit().constData());
    CollectingUi ui;
    SetUiScript(&ui);
    app->SaveDesktop();
    SetUiScript(nullptr);
    if (!ui.messages.isEmpty()) {
        *error = ui.messages.join('\n');
        return false;
    }
    if (!QFileInfo(desktopFile).isFile()) {
        *error = "nothing was written to " + desktopFile;
        return false;
    }
    return true;
}
