// Caption surfaces: texts without one, placement, the mouse-over caption, the failure paths; then lines, limits,
// justification and both colours against a slow reference: every line drawn on a whole screen-size 32-bit image with
// QPainter, as a device context over the whole work surface draws it, then reduced to the display's depth by Qt's
// conversion or the nearest palette entry, so that no depth's drawing is its own reference.

#include "bitmaps/DDUtil.h"
#include "platform/Font.h"
#include "platform/PixelFormat.h"
#include "support/Faults.h"
#include "support/TestDesktop.h"

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

struct CaptionDesk : TestDesktop {
    explicit CaptionDesk(QSize screen = { 320, 240 })
        : TestDesktop(screen.width(), screen.height())
    {
        app.m_nObjects = 2;
        r.lfFont = MakeFont("DejaVu Sans", -16);
        r.crText = RGB(250, 250, 250);
        r.crHotText = RGB(200, 30, 90);
        r.nJustify = 1087;
    }
    ~CaptionDesk() { ClearFaults(); }
    // The extent of `text` in the object's font.
    SIZE measure(const char* text) const
    {
        const QFontMetrics metrics(FontFromLogFont(r.lfFont));
        return { metrics.horizontalAdvance(text), metrics.height() };
    }
    // Builds object 1's captions from `text`; no line may be left over.
    void build(const char* text)
    {
        r.strText = text;
        app.CreateCaptionSurfaces(1);
        EXPECT_EQ(app.m_astrCaptionLines.GetSize(), 0);
    }
    DesktopObject& r = app.m_aObjects[1];
    ObjectRuntime& s = app.m_aRuntime[1];
};

// Texts without a caption release the surfaces there were and move nothing.
TEST(Captions, TextsWithoutCaptionReleaseSurfacesAndAMouseOverCaptionStays)
{
    CaptionDesk desk;
    const RECT placed = { 40, 50, 90, 70 };
    for (const char* text : { "", " ", "\r\nA", "\x1fZ" }) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        for (IDirectDrawSurface** surface : { &desk.s.pText, &desk.s.pTextHot })
            *surface = DDLoadBitmap(desk.app.m_pDD, desk.Bitmap(4, 4, Qt::black).c_str(), 0, 0);
        desk.r.rcText = placed;
        desk.build(text);
        EXPECT_TRUE(!desk.s.pText && !desk.s.pTextHot && desk.r.rcText == placed);
    }
    EXPECT_TRUE(desk.ui.messages.empty());
    // A mouse-over caption has no normal one; one there already is neither redrawn nor moved for the normal one.
    desk.r.bTextOnMouseOver = TRUE;
    desk.build("Hover");
    EXPECT_TRUE(!desk.s.pText && desk.s.pTextHot);
    desk.app.ReleaseCaptionSurfaces(1);
    desk.r.bTextOnMouseOver = FALSE;
    IDirectDrawSurface* hot = desk.s.pTextHot
        = DDLoadBitmap(desk.app.m_pDD, desk.Bitmap(3, 3, QColor(0x123456)).c_str(), 0, 0);
    desk.r.rcText = { 5, 6, 8, 9 };
    desk.build("Caption");
    EXPECT_EQ(desk.s.pTextHot, hot);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(hot->bits()) & 0xFFFFFF, 0x123456u);
    EXPECT_TRUE(desk.s.pText && desk.r.rcText == (RECT { 5, 6, 8, 9 }));
}

// Beside the image, where it was (its centre kept), or at the context point; never above the screen. Rectangles from a
// file may hold any 32-bit coordinates: the caption keeps its size and is placed where its rectangle still fits; an
// inverted rectangle has no height to centre on.
TEST(Captions, PlacedWithoutOverflowFromAnyRectangle)
{
    constexpr LONG kMin = std::numeric_limits<LONG>::min(), kMax = std::numeric_limits<LONG>::max();
    struct Case {
        const char* what;
        RECT image, before;
        POINT at; // expected top left, with W and H the caption's size; kMax: kMax - W or kMax - H
    };
    CaptionDesk probe;
    const LONG W = probe.measure("Cap").cx, H = 2 * probe.measure("Cap").cy; // two lines
    for (const Case c : { Case { "beside the image", { 236, 100, 300, 164 }, {}, { 302, 100 + (64 - H) / 2 } },
             Case { "never above the screen", { 0, 0, 10, 4 }, {}, { 12, 0 } },
             Case { "no image: the context point", { 10, 10, 0, 0 }, {}, { 77, 88 } },
             Case { "placed before: its centre kept", { 0, 0, 50, 50 }, { 150, 100, 200, 140 }, { 150, 120 - H / 2 } },
             Case {
                 "dragged to the top left corner: kept there", { 0, 0, 50, 50 }, { 0, 0, 10, 40 }, { 0, 20 - H / 2 } },
             Case { "the whole coordinate range", {}, { kMin, kMin, kMax, kMax }, { kMin, 0 } },
             Case { "at the largest corner", {}, { kMax - 1, kMax - 1, kMax, kMax }, { kMax, kMax } },
             Case { "beside an image at the largest corner", { 0, kMax - 10, kMax, kMax }, {}, { kMax, kMax } },
             Case { "beside an image over the whole range", { 0, kMin, 100, kMax }, {}, { 102, 0 } },
             Case { "inverted: centred on its top", {}, { 50, 100, 10, 40 }, { 50, 100 - H / 2 } } }) {
        SCOPED_TRACE(c.what);
        CaptionDesk desk;
        desk.app.m_ptContext = { 77, 88 };
        desk.r.rcObject = c.image;
        desk.r.rcText = c.before;
        desk.build("Cap\r\nCap");
        const LONG left = c.at.x == kMax ? kMax - W : c.at.x, top = c.at.y == kMax ? kMax - H : c.at.y;
        EXPECT_EQ(desk.r.rcText, (RECT { left, top, left + W, top + H }));
    }
    // Fonts and texts of any size make a caption no larger than the screen, or none at all when not one line fits.
    for (const LONG height : { kMin, kMax, LONG(-1), LONG(-12) }) {
        SCOPED_TRACE(height);
        CaptionDesk desk;
        desk.r.lfFont = MakeFont("DejaVu Sans", height, kMin);
        std::string text;
        for (int j = 0; j < 100; ++j)
            text += std::string(10000, j % 2 ? 'W' : 'i') + "\r\n";
        desk.r.strText = text.c_str();
        desk.app.CreateCaptionSurfaces(1);
        if (!desk.s.pText) {
            EXPECT_EQ(desk.ui.messages.front(), "fail:CreateTextSurface");
            continue;
        }
        EXPECT_TRUE(desk.ui.messages.empty());
        EXPECT_LE(desk.s.pText->width(), 320);
        EXPECT_LE(desk.s.pText->height(), 240);
        EXPECT_EQ(desk.r.rcText.right - desk.r.rcText.left, desk.s.pText->width());
    }
}

TEST(Captions, FailedSurfacesAreReportedAndNothingMoves)
{
    CaptionDesk desk;
    // Without the work surface no line is drawn, so there is no caption.
    FailNextCall(FaultPoint::CreateSurface, 1);
    desk.build("A");
    EXPECT_EQ(desk.ui.messages, (std::vector<std::string> { "fail:CreateSurface", "fail:CreateTextSurface" }));
    EXPECT_TRUE(!desk.s.pText && !desk.s.pTextHot && !desk.app.m_pDDSTextWork);
    // The next caption makes the work surface; the surface after it fails: first the normal caption (none is made),
    // then the mouse-over one (the normal one stays). The caption is not placed.
    const RECT placed = { 40, 50, 90, 70 };
    desk.r.rcText = placed;
    for (bool second : { false, true }) {
        SCOPED_TRACE(second);
        desk.ui.messages.clear();
        desk.app.ReleaseCaptionSurfaces(1);
        FailNextCall(FaultPoint::CreateSurface, 2);
        desk.build("Caption");
        EXPECT_EQ(desk.ui.messages, std::vector<std::string> { "fail:CreateTextSurface" });
        EXPECT_TRUE(desk.app.m_pDDSTextWork && !desk.s.pTextHot && desk.r.rcText == placed);
        EXPECT_EQ(desk.s.pText != nullptr, second);
    }
}

const QColor kKey(0, 127, 127);

struct CaptionCase {
    std::vector<std::string> lines; // as drawn
    const char* face;
    LONG height, weight;
    bool italic, underline;
    int justify;
    std::string text = {}; // the caption when not the lines, each ended by CR LF
    QSize screen = { 320, 240 };
};

QImage Canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kKey);
    return image;
}

// Every pixel of `surface` is what the 32-bit `reference` holds there once reduced to the surface's depth.
void ExpectSame(IDirectDrawSurface* surface, const QImage& reference, const PALETTEENTRY* palette)
{
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(QSize(surface->width(), surface->height()), reference.size());
    const int depth = surface->bitsPerPixel(), bytes = depth / 8;
    const QImage expected = depth == 16 ? reference.convertToFormat(QImage::Format_RGB16) : reference;
    int wrong = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb rgb = expected.pixel(x, y);
            DWORD got = 0, want = depth == 32 ? rgb & 0xFFFFFF : NearestPaletteIndex(rgb | 0xFF000000, palette);
            if (depth == 16)
                want = reinterpret_cast<const quint16*>(expected.constScanLine(y))[x];
            std::memcpy(&got, surface->bits() + y * surface->pitch() + x * bytes, size_t(bytes));
            wrong += got != want;
        }
    EXPECT_EQ(wrong, 0) << "of " << expected.width() << "x" << expected.height() << " at " << depth << " bits";
}

// The caption in `color`: at most 100 lines of at most 129 characters, stacked, cut at the screen's width, those
// reaching below the screen left out, then justified.
QImage ReferenceCaption(const CaptionCase& c, const QFont& font, QColor color)
{
    std::vector<std::pair<QImage, int>> lines; // an empty line has a height still
    int width = 0, height = 0;
    for (size_t j = 0; j < std::min<size_t>(c.lines.size(), 100); ++j) {
        const QString line = QString::fromStdString(c.lines[j]).left(129);
        const int cx = std::clamp(QFontMetrics(font).horizontalAdvance(line), 0, c.screen.width());
        const int cy = QFontMetrics(font).height();
        if (height + cy > c.screen.height())
            continue;
        QImage work = Canvas(c.screen.width(), c.screen.height());
        QPainter painter(&work);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(0, QFontMetrics(font).ascent(), line);
        lines.emplace_back(work.copy(0, 0, cx, cy), cy);
        width = std::max(width, cx);
        height += cy;
    }
    QImage caption = Canvas(width, height);
    QPainter painter(&caption);
    int top = 0;
    for (const auto& [line, cy] : lines) {
        const int w = line.width();
        painter.drawImage(c.justify == 1089 ? width / 2 - w / 2 : c.justify == 1088 ? width - w : 0, top, line);
        top += cy;
    }
    return caption;
}

std::vector<CaptionCase> Cases()
{
    std::vector<std::string> many, limits { std::string(200, 'i') };
    for (int j = 0; j < 150; ++j) {
        many.push_back("line " + std::to_string(j));
        limits.push_back("x");
    }
    return {
        { { " Hello", "World!" }, "DejaVu Sans", -16, 400, false, false, 1087 },
        { { "A", "a wider line", "", "B" }, "DejaVu Serif", -20, 700, false, false, 1089 },
        { { "under", "lined text" }, "DejaVu Sans Mono", 18, 300, false, true, 1089 },
        { { "x", std::string(200, 'W'), "short" }, "DejaVu Sans", -11, 900, true, true, 1088 },
        { many, "DejaVu Serif", 12, 400, false, false, 1089 },
        { { "Big", "gone" }, "DejaVu Sans", -200, 700, false, false, 1088 },
        { { "Default font", "" }, "", 0, 0, false, false, 1087 },
        // A line between two LFs is a space; a last line without LF.
        { { "A", " ", "WW" }, "DejaVu Sans", -16, 400, false, false, 1088, "A\n\nWW" },
        // On a tall screen the line count and line length limits show.
        { limits, "DejaVu Sans", -8, 400, false, false, 1087, {}, { 700, 1100 } },
    };
}

class CaptionIdentityTest : public testing::TestWithParam<std::tuple<CaptionCase, int>> { };

TEST_P(CaptionIdentityTest, BothColoursMatchWholeSurfaceDrawing)
{
    const auto& [c, depth] = GetParam();
    DisplayDepth chosen(depth);
    CaptionDesk desk(c.screen);
    DesktopObject& r = desk.r;
    r.lfFont = MakeFont(c.face, c.height, c.weight);
    r.lfFont.lfItalic = c.italic;
    r.lfFont.lfUnderline = c.underline;
    r.nJustify = c.justify;
    std::string text = c.text;
    for (const std::string& line : c.lines)
        text += c.text.empty() ? line + "\r\n" : "";
    desk.build(text.c_str());
    // A second object first draws over what the first left in the work surface.
    desk.app.ReleaseCaptionSurfaces(1);
    desk.build(text.c_str());
    EXPECT_TRUE(desk.ui.messages.empty());
    const QFont font = FontFromLogFont(r.lfFont);
    const PALETTEENTRY* palette = desk.app.m_pDDSBack->colorTable();
    ExpectSame(desk.s.pText, ReferenceCaption(c, font, QColor(250, 250, 250)), palette);
    ExpectSame(desk.s.pTextHot, ReferenceCaption(c, font, QColor(200, 30, 90)), palette);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, CaptionIdentityTest, testing::Combine(testing::ValuesIn(Cases()), testing::Values(32, 16, 8)));

} // namespace
