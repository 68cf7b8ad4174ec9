#include "DefaultDesktop.h"

#include "Artwork.h"
#include "Palette.h"

#include "app/DesktopApp.h"
#include "files/DesktopFile.h"

#include <QDir>
#include <QPoint>

#include <cstring>
#include <memory>
#include <utility>

namespace {

using artwork::Glyph;
using artwork::Look;

// How a caption looks: its font and its two colours.
struct CaptionStyle {
    const char* face;
    int pixelHeight;
    int weight;
    QColor color;
    QColor hotColor;
};

constexpr int kJustifyLeft = 1087;
constexpr int kJustifyRight = 1088;
constexpr int kJustifyCentre = 1089;

const CaptionStyle kPlain { "DejaVu Sans", 15, 700, QColor(255, 255, 255), QColor(255, 210, 80) };
const CaptionStyle kSerif { "DejaVu Serif", 16, 700, QColor(255, 240, 200), QColor(255, 170, 90) };
const CaptionStyle kSmall { "DejaVu Sans", 13, 400, QColor(200, 230, 255), QColor(120, 220, 255) };
const CaptionStyle kMono { "DejaVu Sans Mono", 14, 700, QColor(150, 250, 150), QColor(220, 255, 220) };
const CaptionStyle kRose { "DejaVu Serif", 15, 400, QColor(255, 200, 220), QColor(255, 120, 170) };

// One button of the bundled desktop. Together they show what an object can
// do: three looks, captions of one and several lines in each justification,
// several fonts and colours, a caption only on mouse over, and a button that
// shows another object while the pointer is over it.
struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* file; // picture name stem
    Glyph glyph;
    QColor hue;
    const CaptionStyle& style;
    int justify;
    QPoint position;
    const char* action;
    bool textOnMouseOver = false;
};

constexpr int kButtonSize = 72;
constexpr int kColumnA = 28;
constexpr int kColumnB = 260;
constexpr int kRowStep = 92;
constexpr int kTileSize = 128;

constexpr int Row(int n)
{
    return 28 + n * kRowStep;
}

const ButtonDesign kButtons[] = {
    { "Documents", "Documents", "documents", Glyph::Folder, QColor(214, 150, 40), kPlain, kJustifyLeft,
        { kColumnA, Row(0) }, "~/Documents" },
    { "Pictures", "Pictures\r\nand photos", "pictures", Glyph::Picture, QColor(70, 160, 90), kSerif, kJustifyCentre,
        { kColumnA, Row(1) }, "~/Pictures" },
    { "Music", "Music\r\nPlaylists\r\nand radio", "music", Glyph::Music, QColor(140, 90, 190), kSmall, kJustifyRight,
        { kColumnA, Row(2) }, "~/Music" },
    { "Web", "Web\r\nBrowser", "web", Glyph::Globe, QColor(50, 120, 200), kPlain, kJustifyLeft, { kColumnA, Row(3) },
        "https://www.debian.org/" },
    { "Settings", "Desktop\r\nSettings", "settings", Glyph::Gear, QColor(110, 120, 135), kMono, kJustifyRight,
        { kColumnA, Row(4) }, "orvanta:settings" },
    { "Help", "Help", "help", Glyph::Help, QColor(220, 100, 60), kPlain, kJustifyLeft, { kColumnA, Row(5) },
        "x-terminal-emulator -e man orvanta" },
    { "Terminal", "Terminal", "terminal", Glyph::Terminal, QColor(60, 70, 80), kMono, kJustifyCentre,
        { kColumnB, Row(0) }, "x-terminal-emulator" },
    { "Mail", "Mail", "mail", Glyph::Mail, QColor(200, 70, 110), kRose, kJustifyRight, { kColumnB, Row(1) },
        "mailto:" },
    { "Trash", "Trash\r\nis empty", "trash", Glyph::Trash, QColor(90, 140, 150), kSmall, kJustifyCentre,
        { kColumnB, Row(2) }, "", true },
};

const QColor kBackground = artwork::kBackgroundBase;

// The button drawn by the user's icon theme instead of a picture of ours, at
// the theme's size, centred across its place and level with the row's top (a
// scaled screen's larger icon grows to the right and down, as far as the
// next row's key); the program carries a hicolor copy for themes without it.
constexpr char kThemeIconButton[] = "Terminal";
constexpr char kThemeIcon[] = "utilities-terminal";
constexpr int kThemeIconSize = 48;

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

LOGFONT CaptionFont(const CaptionStyle& style)
{
    LOGFONT font;
    font.lfHeight = -style.pixelHeight;
    font.lfWeight = style.weight;
    const bool mono = std::strstr(style.face, "Mono") != nullptr;
    const bool serif = !mono && std::strstr(style.face, "Serif") != nullptr;
    // Pitch and family as the font dialog records them: fixed or variable pitch, and the family.
    font.lfPitchAndFamily = mono ? 0x31 : serif ? 0x12 : 0x22;
    std::strncpy(font.lfFaceName, style.face, LF_FACESIZE - 1);
    return font;
}

// PNG keeps the pictures' soft edges; the palette stays a Windows bitmap.
bool SaveImage(const QImage& image, const QDir& dir, const QString& fileName, QString* error)
{
    if (image.save(dir.filePath(fileName), fileName.endsWith(".bmp") ? "BMP" : "PNG"))
        return true;
    *error = "cannot write " + dir.filePath(fileName);
    return false;
}

DesktopObject Button(const ButtonDesign& design)
{
    DesktopObject object;
    object.strName = design.name;
    object.strText = design.caption;
    object.lfFont = CaptionFont(design.style);
    object.crText = ToColorRef(design.style.color);
    object.dwTextPixel = ToPixel(design.style.color);
    object.crHotText = ToColorRef(design.style.hotColor);
    object.dwHotTextPixel = ToPixel(design.style.hotColor);
    object.nJustify = design.justify;
    const QString stem = design.file;
    QPoint at = design.position;
    if (std::strcmp(design.name, kThemeIconButton) == 0) {
        // One look: the caption's colour shows the pointer and the press.
        object.strUpImage = kThemeIcon;
        at.rx() += (kButtonSize - kThemeIconSize) / 2;
    } else {
        object.strUpImage = RelocatablePath(stem + "_up.png");
        object.strDownImage = RelocatablePath(stem + "_down.png");
        object.strMouseImage = RelocatablePath(stem + "_mouse.png");
    }
    object.rcObject = { at.x(), at.y(), at.x() + kButtonSize, at.y() + kButtonSize };
    object.bVisible = 1;
    object.bTextOnMouseOver = design.textOnMouseOver;
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
    if (!SaveImage(artwork::BackgroundTile(kTileSize), images, "background.png", error))
        return false;
    const std::pair<Look, const char*> looks[]
        = { { Look::Up, "_up.png" }, { Look::Down, "_down.png" }, { Look::Mouse, "_mouse.png" } };
    for (const ButtonDesign& design : kButtons) {
        if (std::strcmp(design.name, kThemeIconButton) == 0)
            continue;
        for (const auto& [look, suffix] : looks) {
            const QImage face = artwork::ButtonImage(design.glyph, design.hue, look, kButtonSize);
            if (!SaveImage(face, images, QString(design.file) + suffix, error))
                return false;
        }
    }
    const QImage tip
        = artwork::BalloonImage({ "A click runs what a button names.", "Right-click or Shift+F10: the menu.",
                                    "Unlock it there to move buttons.", "Tab moves, F2 redraws, F12 quits." },
            QSize(262, 90));
    if (!SaveImage(tip, images, "tip.png", error))
        return false;

    // Palette: the cube and greys, then the tones the pictures are made of.
    QList<QRgb> tones;
    const QColor spot = artwork::kBackgroundSpot;
    for (int i = 0; i < 8; ++i)
        tones.append(qRgb(kBackground.red() + (spot.red() - kBackground.red()) * i / 7,
            kBackground.green() + (spot.green() - kBackground.green()) * i / 7,
            kBackground.blue() + (spot.blue() - kBackground.blue()) * i / 7));
    tones += { kPlain.hotColor.rgb(), QColor(255, 246, 204).rgb(), QColor(60, 48, 20).rgb() };
    for (const ButtonDesign& design : kButtons)
        tones.append(design.hue.rgb());
    if (!SaveImage(PaletteImage(tones), res, "palette.bmp", error))
        return false;

    // The desktop file, through the program's own writer.
    DesktopData desktop;
    desktop.bTile = 1;
    desktop.crBackground = ToColorRef(kBackground);
    desktop.dwBackPixel = ToPixel(kBackground);
    desktop.lfDefault = CaptionFont(kPlain);

    DesktopObject background;
    background.strName = "Background";
    background.strUpImage = RelocatablePath("background.png");
    background.rcObject = { 0, 0, kTileSize, kTileSize };
    background.bVisible = 1;
    desktop.aObjects.push_back(background);

    size_t help = 0;
    for (const ButtonDesign& design : kButtons) {
        if (std::strcmp(design.name, "Help") == 0)
            help = desktop.aObjects.size();
        desktop.aObjects.push_back(Button(design));
    }
    // The tip balloon beside Help, shown only while the pointer is over Help.
    const RECT helpRect = desktop.aObjects[help].rcObject;
    desktop.aObjects[help].strActivate = "Tip";
    DesktopObject tipObject;
    tipObject.strName = "Tip";
    tipObject.strUpImage = RelocatablePath("tip.png");
    tipObject.rcObject = { 160, helpRect.top - 2, 160 + tip.width(), helpRect.top - 2 + tip.height() };
    tipObject.lfFont = CaptionFont(kPlain);
    tipObject.nJustify = kJustifyLeft;
    // Hidden in the file as well: a link target starts hidden after every load.
    tipObject.bVisible = 0;
    desktop.aObjects.push_back(tipObject);

    const QString desktopFile = QDir::toNativeSeparators(root.filePath("desktops/default.orv"));
    if (!WriteDesktopFile(desktopFile.toLocal8Bit().constData(), desktop)) {
        *error = "Desktop file could not be saved to " + desktopFile;
        return false;
    }
    return true;
}
