// Caption surfaces: line splitting and limits, justification, placement,
// the two colours and the failure paths. Expected geometry is measured with
// the object's own font.

#include "platform/Gdi.h"
#include "scene/SceneSupport.h"
#include "support/Faults.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kLeft = 1087;
constexpr int kRight = 1088;
constexpr int kCenter = 1089;
constexpr COLORREF kText = RGB(255, 255, 255);
constexpr COLORREF kHot = RGB(255, 255, 0);

class CaptionsTest : public testing::Test {
protected:
    explicit CaptionsTest(int width = 320, int height = 240)
        : display(app, width, height)
    {
        app.m_nObjects = 2;
        DesktopObject& r = app.m_aObjects[1];
        r.lfFont.lfHeight = -16;
        std::strcpy(r.lfFont.lfFaceName, "DejaVu Sans");
        r.crText = kText;
        r.crHotText = kHot;
        r.nJustify = kLeft;
    }
    ~CaptionsTest() override { ClearFaults(); }

    DesktopObject& record() { return app.m_aObjects[1]; }
    ObjectRuntime& slot() { return app.m_aRuntime[1]; }

    // The extent of `text` in the object's font, as a line renders it.
    SIZE measure(const std::string& text)
    {
        IDirectDrawSurface* scratch = MakeSurface(app, 8, 8, 0);
        HDC dc = nullptr;
        SIZE size;
        if (scratch->GetDC(&dc) == DD_OK) {
            HFONT font = CreateFontIndirectA(&record().lfFont);
            SelectObject(dc, font);
            GetTextExtentPointA(dc, text.c_str(), int(text.size()), &size);
            scratch->ReleaseDC(dc);
            DeleteObject(font);
        }
        scratch->Release();
        return size;
    }

    // Builds the captions of object 1 from `text`; expects no message.
    void build(const char* text)
    {
        record().strText = text;
        app.CreateCaptionSurfaces(1);
        EXPECT_EQ(app.m_astrCaptionLines.GetSize(), 0);
    }

    static SIZE sizeOf(IDirectDrawSurface* surface) { return { surface->width(), surface->height() }; }

    // Counts pixels of `surface` within `area` that are neither the key nor `pixel`,
    // and those that are `pixel`.
    std::pair<int, int> countPixels(IDirectDrawSurface* surface, RECT area, DWORD pixel)
    {
        int other = 0, ink = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const DWORD p = PixelAt(surface, x, y);
                ink += p == pixel;
                other += p != pixel && p != app.m_dwColorKeyPixel;
            }
        return { other, ink };
    }

    CountingApp app;
    DisplayFixture display;
    ScriptedUi ui;
};

TEST_F(CaptionsTest, TextsWithoutCaptionReleaseExistingSurfaces)
{
    ASSERT_TRUE(display.ok);
    const RECT placed = { 40, 50, 90, 70 };
    for (const char* text : { "", " ", "\r\nA",
             "\x1f"
             "A" }) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        slot().pText = MakeSurface(app, 4, 4, 0);
        slot().pTextHot = MakeSurface(app, 4, 4, 0);
        record().rcText = placed;
        build(text);
        EXPECT_EQ(slot().pText, nullptr);
        EXPECT_EQ(slot().pTextHot, nullptr);
        EXPECT_EQ(record().rcText, placed);
    }
    EXPECT_TRUE(ui.messages.empty());
}

struct SplitCase {
    const char* text;
    std::vector<std::string> lines; // as drawn, CR removed
};

class CaptionSplitTest : public CaptionsTest, public testing::WithParamInterface<SplitCase> { };

TEST_P(CaptionSplitTest, LinesStackWithoutSpacing)
{
    ASSERT_TRUE(display.ok);
    LONG width = 0, height = 0;
    for (const std::string& line : GetParam().lines) {
        const SIZE s = measure(line);
        width = std::max(width, s.cx);
        height += s.cy;
    }
    build(GetParam().text);
    ASSERT_NE(slot().pText, nullptr);
    ASSERT_NE(slot().pTextHot, nullptr);
    EXPECT_EQ(sizeOf(slot().pText), (SIZE { width, height }));
    EXPECT_EQ(sizeOf(slot().pTextHot), (SIZE { width, height }));
    EXPECT_EQ(record().rcText.right - record().rcText.left, width);
    EXPECT_EQ(record().rcText.bottom - record().rcText.top, height);
}

INSTANTIATE_TEST_SUITE_P(Texts, CaptionSplitTest,
    testing::Values(SplitCase { "Wide", { "Wide" } }, SplitCase { "A\r\nB", { "A", "B" } },
        SplitCase { "A\r\n", { "A" } }, SplitCase { "Long line\r\nB\r\n", { "Long line", "B" } },
        SplitCase { "A\n\nWW", { "A", " ", "WW" } }, SplitCase { "A\r\n\r\nB", { "A", "", "B" } },
        SplitCase { " x", { " x" } }));

TEST_F(CaptionsTest, BothColoursAreDrawnOnTheKey)
{
    ASSERT_TRUE(display.ok);
    build("Hello\r\nworld");
    ASSERT_NE(slot().pText, nullptr);
    const RECT all = { 0, 0, slot().pText->width(), slot().pText->height() };
    const auto [otherText, inkText] = countPixels(slot().pText, all, PixelOf(kText));
    const auto [otherHot, inkHot] = countPixels(slot().pTextHot, all, PixelOf(kHot));
    EXPECT_EQ(otherText, 0);
    EXPECT_EQ(otherHot, 0);
    EXPECT_GT(inkText, 0);
    EXPECT_EQ(inkHot, inkText);
}

TEST_F(CaptionsTest, JustificationAlignsNarrowLinesOnTheWidest)
{
    ASSERT_TRUE(display.ok);
    // The narrow line alone, as reference.
    build("il");
    IDirectDrawSurface* reference = slot().pText;
    slot().pText = nullptr;
    app.ReleaseCaptionSurfaces(1);
    const LONG w = reference->width();
    const LONG h = reference->height();

    for (int justify : { kLeft, kRight, kCenter, 0 }) {
        SCOPED_TRACE(justify);
        record().nJustify = justify;
        record().rcText = {};
        build("il\r\nWWWW");
        IDirectDrawSurface* caption = slot().pText;
        ASSERT_NE(caption, nullptr);
        const LONG W = caption->width();
        ASSERT_GT(W, w);
        const LONG x0 = justify == kRight ? W - w : justify == kCenter ? W / 2 - w / 2 : 0;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < W; ++x) {
                const bool inLine = x >= x0 && x < x0 + w;
                const DWORD expected = inLine ? PixelAt(reference, x - x0, y) : app.m_dwColorKeyPixel;
                wrong += PixelAt(caption, x, y) != expected;
            }
        EXPECT_EQ(wrong, 0);
        app.ReleaseCaptionSurfaces(1);
    }
    reference->Release();
}

TEST_F(CaptionsTest, PlacedBesideTheImageCentredOnIt)
{
    ASSERT_TRUE(display.ok);
    record().rcObject = { 236, 100, 300, 164 };
    build("Caption");
    const SIZE s = measure("Caption");
    EXPECT_EQ(record().rcText, (RECT { 302, 100 + (64 - s.cy) / 2, 302 + s.cx, 100 + (64 - s.cy) / 2 + s.cy }));

    // A caption taller than its image never goes above the screen.
    app.ReleaseCaptionSurfaces(1);
    record().rcText = {};
    record().rcObject = { 0, 0, 10, 4 };
    build("Caption");
    EXPECT_EQ(record().rcText, (RECT { 12, 0, 12 + s.cx, s.cy }));
}

TEST_F(CaptionsTest, WithoutImageTheCaptionGoesToTheContextPoint)
{
    ASSERT_TRUE(display.ok);
    app.m_ptContext = { 77, 88 };
    record().rcObject = { 10, 10, 0, 0 };
    build("Caption");
    const SIZE s = measure("Caption");
    EXPECT_EQ(record().rcText, (RECT { 77, 88, 77 + s.cx, 88 + s.cy }));
}

TEST_F(CaptionsTest, RebuiltCaptionKeepsItsVerticalCentre)
{
    ASSERT_TRUE(display.ok);
    record().rcObject = { 0, 0, 50, 50 };
    record().rcText = { 150, 100, 200, 140 }; // centre 120
    build("One\r\nTwo\r\nThree");
    const LONG H = 3 * measure("One").cy;
    const LONG W = measure("Three").cx;
    EXPECT_EQ(record().rcText, (RECT { 150, 120 - H / 2, 150 + W, 120 - H / 2 + H }));

    // Placed at the left edge (left 0): placed anew beside the image.
    app.ReleaseCaptionSurfaces(1);
    record().rcText = { 0, 100, 10, 140 };
    build("One");
    EXPECT_EQ(record().rcText.left, 52);
}

TEST_F(CaptionsTest, MouseOverOnlyCaptionHasNoNormalSurface)
{
    ASSERT_TRUE(display.ok);
    record().bTextOnMouseOver = TRUE;
    build("Hover");
    EXPECT_EQ(slot().pText, nullptr);
    ASSERT_NE(slot().pTextHot, nullptr);
    const RECT all = { 0, 0, slot().pTextHot->width(), slot().pTextHot->height() };
    EXPECT_GT(countPixels(slot().pTextHot, all, PixelOf(kHot)).second, 0);
}

TEST_F(CaptionsTest, ExistingMouseOverCaptionIsNeitherRedrawnNorMoved)
{
    ASSERT_TRUE(display.ok);
    IDirectDrawSurface* hot = MakeSurface(app, 3, 3, 0x123456);
    slot().pTextHot = hot;
    const RECT placed = { 5, 6, 8, 9 };
    record().rcText = placed;
    build("Caption");
    EXPECT_EQ(slot().pTextHot, hot);
    EXPECT_EQ(PixelAt(hot, 1, 1), 0x123456u);
    EXPECT_EQ(record().rcText, placed);
    ASSERT_NE(slot().pText, nullptr);
    EXPECT_EQ(slot().pText->width(), measure("Caption").cx);
}

TEST_F(CaptionsTest, FailedCaptionSurfacesAreReported)
{
    ASSERT_TRUE(display.ok);
    build("Warm up"); // the work surface exists from here on
    app.ReleaseCaptionSurfaces(1);
    const RECT placed = { 40, 50, 90, 70 };

    // The normal caption: nothing is made and nothing moves.
    record().rcText = placed;
    FailNextCall(FaultPoint::CreateSurface, 1);
    build("Caption");
    EXPECT_EQ(ui.messages, std::vector<std::string> { "fail:CreateTextSurface" });
    EXPECT_EQ(slot().pText, nullptr);
    EXPECT_EQ(slot().pTextHot, nullptr);
    EXPECT_EQ(record().rcText, placed);

    // The mouse-over caption: the normal one stays, the caption is not placed.
    ui.messages.clear();
    FailNextCall(FaultPoint::CreateSurface, 2);
    build("Caption");
    EXPECT_EQ(ui.messages, std::vector<std::string> { "fail:CreateTextSurface" });
    EXPECT_NE(slot().pText, nullptr);
    EXPECT_EQ(slot().pTextHot, nullptr);
    EXPECT_EQ(record().rcText, placed);
}

TEST_F(CaptionsTest, MissingWorkSurfaceDrawsNoLine)
{
    ASSERT_TRUE(display.ok);
    FailNextCall(FaultPoint::CreateSurface, 1);
    build("A");
    // No line was drawn, so there is nothing to make a caption surface of.
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "fail:CreateSurface", "fail:CreateTextSurface" }));
    EXPECT_EQ(slot().pText, nullptr);
    EXPECT_EQ(slot().pTextHot, nullptr);
    EXPECT_EQ(app.m_pDDSTextWork, nullptr);

    // The next caption makes the work surface and draws.
    ui.messages.clear();
    build("A");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_NE(app.m_pDDSTextWork, nullptr);
    EXPECT_NE(slot().pText, nullptr);
}

class TallCaptionsTest : public CaptionsTest {
protected:
    TallCaptionsTest()
        : CaptionsTest(700, 1100)
    {
        record().lfFont.lfHeight = -8;
    }
};

TEST_F(TallCaptionsTest, LongLinesKeepTheirFirst129Characters)
{
    ASSERT_TRUE(display.ok);
    const std::string line(200, 'i');
    ASSERT_LT(measure(std::string(129, 'i')).cx, 700);
    build(line.c_str());
    ASSERT_NE(slot().pText, nullptr);
    EXPECT_EQ(slot().pText->width(), measure(std::string(129, 'i')).cx);
    EXPECT_LT(slot().pText->width(), measure(line).cx);
}

TEST_F(TallCaptionsTest, AtMostOneHundredLines)
{
    ASSERT_TRUE(display.ok);
    std::string text;
    for (int n = 0; n < 150; ++n)
        text += "x\r\n";
    build(text.c_str());
    ASSERT_NE(slot().pText, nullptr);
    ASSERT_LE(100 * measure("x").cy, 1100);
    EXPECT_EQ(slot().pText->height(), 100 * measure("x").cy);
}

TEST_F(CaptionsTest, CaptionsLargerThanTheScreenAreCutToIt)
{
    ASSERT_TRUE(display.ok);
    record().lfFont.lfHeight = -40;
    const std::string line(200, 'W');
    std::string text;
    for (int n = 0; n < 150; ++n)
        text += line + "\r\n";
    build(text.c_str());
    ASSERT_NE(slot().pTextHot, nullptr);
    const LONG lineHeight = measure("W").cy;
    EXPECT_EQ(slot().pTextHot->width(), 320);
    EXPECT_EQ(slot().pTextHot->height(), 240 / lineHeight * lineHeight);
    EXPECT_TRUE(ui.messages.empty());

    // The cut caption composes like any other.
    app.m_aRuntime[1].bVisible = TRUE;
    app.m_aRuntime[1].nState = 2;
    app.SetObjectColorKeys(1);
    app.ComposeScene();
    EXPECT_EQ(display.target.presentations, 1);
}

} // namespace
