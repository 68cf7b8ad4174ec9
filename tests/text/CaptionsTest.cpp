// Caption surfaces: texts without one, placement, the mouse-over caption and
// the failure paths. Expected geometry is measured with the object's own
// font; lines and pixels are checked against a reference drawing in
// CaptionIdentityTest.

#include "bitmaps/DDUtil.h"
#include "platform/DirectDrawFaults.h"
#include "platform/Font.h"
#include "support/TestDesktop.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

struct CaptionDesk : TestDesktop {
    CaptionDesk()
    {
        app.m_nObjects = 2;
        r.lfFont = MakeFont("DejaVu Sans", -16);
        r.crText = RGB(255, 255, 255);
        r.crHotText = RGB(255, 255, 0);
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
    static SIZE sizeOf(IDirectDrawSurface* surface) { return { surface->width(), surface->height() }; }
    DesktopObject& r = app.m_aObjects[1];
    ObjectRuntime& s = app.m_aRuntime[1];
};

TEST(Captions, TextsWithoutCaptionReleaseExistingSurfaces)
{
    CaptionDesk desk;
    const RECT placed = { 40, 50, 90, 70 };
    for (const char* text : { "", " ", "\r\nA",
             "\x1f"
             "A" }) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        desk.s.pText = DDLoadBitmap(desk.app.m_pDD, desk.Bitmap(4, 4, Qt::black).c_str(), 0, 0);
        desk.s.pTextHot = DDLoadBitmap(desk.app.m_pDD, desk.Bitmap(4, 4, Qt::black).c_str(), 0, 0);
        desk.r.rcText = placed;
        desk.build(text);
        EXPECT_TRUE(!desk.s.pText && !desk.s.pTextHot);
        EXPECT_EQ(desk.r.rcText, placed);
    }
    EXPECT_TRUE(desk.ui.messages.empty());
}

TEST(Captions, PlacedBesideTheImageWhereItWasOrAtTheContextPoint)
{
    struct Case {
        const char* what;
        RECT image, before;
        POINT at; // expected top left, a y of -1 centred on the image, -2 on `before`
    };
    for (const Case c : { Case { "beside the image", { 236, 100, 300, 164 }, {}, { 302, -1 } },
             Case { "never above the screen", { 0, 0, 10, 4 }, {}, { 12, 0 } },
             Case { "no image: the context point", { 10, 10, 0, 0 }, {}, { 77, 88 } },
             Case { "placed before: its centre kept", { 0, 0, 50, 50 }, { 150, 100, 200, 140 }, { 150, -2 } },
             Case { "at the left edge: placed anew", { 0, 0, 50, 50 }, { 0, 100, 10, 140 }, { 52, -1 } } }) {
        SCOPED_TRACE(c.what);
        CaptionDesk desk;
        desk.app.m_ptContext = { 77, 88 };
        desk.r.rcObject = c.image;
        desk.r.rcText = c.before;
        desk.build("Cap\r\nCap");
        const SIZE s = { desk.measure("Cap").cx, 2 * desk.measure("Cap").cy };
        const LONG top = c.at.y == -1 ? c.image.top + (c.image.bottom - c.image.top - s.cy) / 2
            : c.at.y == -2            ? (c.before.top + c.before.bottom) / 2 - s.cy / 2
                                      : c.at.y;
        EXPECT_EQ(desk.r.rcText, (RECT { c.at.x, top, c.at.x + s.cx, top + s.cy }));
    }
}

TEST(Captions, MouseOverCaptionAloneOrKeptAsItIs)
{
    CaptionDesk desk;
    desk.r.bTextOnMouseOver = TRUE;
    desk.build("Hover");
    EXPECT_EQ(desk.s.pText, nullptr);
    ASSERT_NE(desk.s.pTextHot, nullptr);
    EXPECT_EQ(CaptionDesk::sizeOf(desk.s.pTextHot), desk.measure("Hover"));

    // An existing mouse-over caption is neither redrawn nor moved.
    desk.app.ReleaseCaptionSurfaces(1);
    desk.r.bTextOnMouseOver = FALSE;
    IDirectDrawSurface* hot = desk.s.pTextHot
        = DDLoadBitmap(desk.app.m_pDD, desk.Bitmap(3, 3, QColor(0x123456)).c_str(), 0, 0);
    const RECT placed = { 5, 6, 8, 9 };
    desk.r.rcText = placed;
    desk.build("Caption");
    EXPECT_EQ(desk.s.pTextHot, hot);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(hot->bits()) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(desk.r.rcText, placed);
    ASSERT_NE(desk.s.pText, nullptr);
    EXPECT_EQ(CaptionDesk::sizeOf(desk.s.pText), desk.measure("Caption"));
}

TEST(Captions, FailedSurfacesAreReportedAndNothingMoves)
{
    CaptionDesk desk;
    // Without the work surface no line is drawn, so there is no caption.
    FailNextCall(FaultPoint::CreateSurface, 1);
    desk.build("A");
    EXPECT_EQ(desk.ui.messages, (std::vector<std::string> { "fail:CreateSurface", "fail:CreateTextSurface" }));
    EXPECT_TRUE(!desk.s.pText && !desk.s.pTextHot && !desk.app.m_pDDSTextWork);

    // The next caption makes the work surface; the surface after it fails:
    // first the normal caption (none is made), then the mouse-over one (the
    // normal one stays). The caption is not placed.
    const RECT placed = { 40, 50, 90, 70 };
    desk.r.rcText = placed;
    for (bool second : { false, true }) {
        SCOPED_TRACE(second);
        desk.ui.messages.clear();
        desk.app.ReleaseCaptionSurfaces(1);
        FailNextCall(FaultPoint::CreateSurface, 2);
        desk.build("Caption");
        EXPECT_EQ(desk.ui.messages, std::vector<std::string> { "fail:CreateTextSurface" });
        EXPECT_NE(desk.app.m_pDDSTextWork, nullptr);
        EXPECT_EQ(desk.s.pText != nullptr, second);
        EXPECT_EQ(desk.s.pTextHot, nullptr);
        EXPECT_EQ(desk.r.rcText, placed);
    }
}

} // namespace
