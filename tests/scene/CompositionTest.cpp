// Frames composed from a background, objects in their states, captions and
// the highlight frame, checked at the window; objects' pictures loaded and
// checked against the screen.

#include "bitmaps/DDUtil.h"
#include "dialogs/SplashDlg.h"
#include "support/Faults.h"
#include "support/TestDesktop.h"

#include <QFile>
#include <QtEndian>

#include <climits>

#include <gtest/gtest.h>

namespace {

constexpr QRgb kBack = 0x203040;

// Every pixel differs from its neighbours.
const auto Pattern = [](int x, int y) { return qRgb(x * 2, y * 2, (x * 7 + y * 3) & 0xFF); };

struct Desk : TestDesktop {
    Desk() { app.m_dwBackPixel = kBack; }
    ~Desk() { ClearFaults(); }
};

// A picture with soft edges: transparent and opaque columns, then alpha
// varying with the position, over colours that vary too.
QImage Soft(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int alpha = x < 8 ? 0 : x < 16 ? 255 : (x * 37 + y * 11 + seed * 50) % 256;
            image.setPixel(x, y, qRgba((x * 9 + seed * 60) & 255, (y * 13) & 255, (x * y + seed) & 255, alpha));
        }
    return image;
}

// A 32-bit Windows bitmap file whose fourth byte is `image`'s alpha (Qt
// writes 24-bit bitmaps only).
std::string WriteBitmap32(const QString& dir, const QString& name, const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(54, '\0');
    const auto put = [&](int at, quint32 value) { qToLittleEndian(value, bytes.data() + at); };
    bytes[0] = 'B', bytes[1] = 'M';
    put(2, quint32(54 + argb.sizeInBytes())), put(10, 54), put(14, 40), put(18, quint32(argb.width()));
    put(22, quint32(argb.height())), put(26, 1 | 32 << 16);
    for (int y = argb.height() - 1; y >= 0; --y) // bottom-up
        bytes.append(reinterpret_cast<const char*>(argb.constScanLine(y)), argb.width() * 4);
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path.toStdString() : std::string();
}

TEST(Composition, BackgroundIsColourImageOrTile)
{
    // The image's size (none when empty), tiling on, the tile surface failing;
    // whether the image is tiled. A PNG with its own transparency shows the
    // colour through it, tiled or not.
    for (auto [size, tile, failTile, tiled, alpha] : { std::tuple { QSize(), true, false, false, false },
             { QSize(50, 40), false, false, false, false }, { QSize(320, 240), true, false, false, false },
             { QSize(100, 100), true, false, true, false }, { QSize(30, 30), true, true, false, false },
             // Larger than the screen: drawn from the origin and cut, tiled
             // only where it leaves the screen uncovered.
             { QSize(400, 300), true, false, false, false }, { QSize(400, 100), true, false, true, false },
             { QSize(50, 40), false, false, false, true }, { QSize(100, 70), true, false, true, true },
             { QSize(320, 240), true, false, false, true } }) {
        SCOPED_TRACE(
            testing::Message() << size.width() << "x" << size.height() << " tile " << tile << " alpha " << alpha);
        Desk desk;
        CDesktopApp& app = desk.app;
        QImage image(size, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, Pattern(x, y) & (alpha ? qRgba(255, 255, 255, (x * 5 + y * 3) % 256) : ~0u));
        if (!image.isNull())
            app.m_aObjects[0].strUpImage
                = (alpha ? desk.dir.filePath("bg.png").toStdString() : WriteBitmap(desk.dir.path(), "bg.bmp", image))
                      .c_str();
        if (alpha) {
            ASSERT_TRUE(image.save(desk.dir.filePath("bg.png"), "PNG"));
        }
        app.m_bTile = tile;
        app.LoadObjectImages(0);
        if (failTile)
            FailNextCall(FaultPoint::CreateSurface);
        app.UpdateTileSurface();
        EXPECT_EQ(app.m_pDDSTile != nullptr, tiled);
        EXPECT_EQ(desk.ui.messages, std::vector<std::string>(failTile, "fail:CreateSurface"));

        app.ComposeScene();
        ASSERT_EQ(desk.display.target.lastFrame.size(), QSize(320, 240));
        const int w = size.width(), h = size.height();
        const auto expected = [&](QRgb back) {
            return [&, back](int x, int y) {
                return tiled         ? SourceOver(back, qPremultiply(image.pixel(x % w, y % h)))
                    : x < w && y < h ? SourceOver(back, qPremultiply(image.pixel(x, y)))
                                     : back;
            };
        };
        EXPECT_EQ(WrongPixels(desk.display.target.lastFrame, expected(kBack)), "");
        // Through a transparent picture, and its tile, shows the colour of now.
        app.m_dwBackPixel = 0x605040;
        app.ComposeScene();
        EXPECT_EQ(WrongPixels(desk.display.target.lastFrame, expected(0x605040)), "");
        // A hover redraws one object's rectangle, the background showing
        // through its keyed Mouse picture as in a whole frame.
        QImage mouse(15, 40, QImage::Format_RGB32);
        mouse.fill(qRgb(GetRValue(kColorKey), GetGValue(kColorKey), GetBValue(kColorKey)));
        const int i = desk.AddObject("", { 130, 70, 145, 110 });
        app.m_aObjects[i].strMouseImage = WriteBitmap(desk.dir.path(), "mouse.bmp", mouse).c_str();
        app.LoadObjectImages(i);
        app.SetObjectColorKeys(i);
        app.ComposeScene();
        app.m_aRuntime[i].nState = 2;
        app.m_bPartialFrame = TRUE;
        app.ComposeScene();
        EXPECT_EQ(WrongPixels(desk.display.target.lastFrame, expected(0x605040)), "");
        app.m_bTile = FALSE;
        app.UpdateTileSurface();
        EXPECT_EQ(app.m_pDDSTile, nullptr);
    }
}

// Mouse and Down images are 2 x 2, stretched over the Up image's 30 x 40,
// one colour per quadrant, the last one the key colour.
TEST(Composition, ObjectsShowTheImageAndCaptionOfTheirStateUnderTheHighlight)
{
    Desk desk;
    CDesktopApp& app = desk.app;
    const QRgb key = qRgb(GetRValue(kColorKey), GetGValue(kColorKey), GetBValue(kColorKey));
    constexpr QRgb mouse = 0x00AA00, down = 0x0000AA, text = 0xDDDDDD, hot = 0xEEEE00;
    const auto quadrants = [&](QRgb base) {
        QImage image(2, 2, QImage::Format_RGB32);
        for (int q = 0; q < 4; ++q)
            image.setPixel(q % 2, q / 2, q == 3 ? key : base + 0x11 * q);
        return WriteBitmap(desk.dir.path(), QString::number(base) + ".bmp", image);
    };
    // Each object: its state, whether it has Mouse and Down images, a caption,
    // and is visible; then which image (0 none) and caption show.
    struct Case {
        int state;
        bool allImages, caption, visible;
        QRgb image, shownCaption; // 1: the Up image
    };
    const Case cases[] = { { 1, true, true, true, 1, text }, { 2, true, true, true, mouse, hot },
        { 3, true, true, true, down, hot }, { 2, false, true, true, 1, hot }, { 3, false, true, true, 1, hot },
        { 1, true, true, false, 0, kBack }, { 2, false, false, true, 0, kBack } };
    for (int k = 0; k < 7; ++k) {
        const LONG x = 10 + k * 44;
        const int i = desk.AddObject("", { x, 10, x + 30, 50 }, "", cases[k].visible);
        ObjectRuntime& s = app.m_aRuntime[i];
        s.nState = cases[k].state;
        if (cases[k].allImages) {
            s.pMouse = DDLoadBitmap(app.m_pDD, quadrants(mouse).c_str(), 0, 0);
            s.pDown = DDLoadBitmap(app.m_pDD, quadrants(down).c_str(), 0, 0);
        }
        if (cases[k].caption) {
            s.pText = DDLoadBitmap(app.m_pDD, desk.Bitmap(30, 10, QColor(text)).c_str(), 0, 0);
            s.pTextHot = DDLoadBitmap(app.m_pDD, desk.Bitmap(30, 10, QColor(hot)).c_str(), 0, 0);
        }
        app.m_aObjects[i].rcText = { x, 60, x + 30, 70 };
        app.SetObjectColorKeys(i);
    }
    // Shown, but with no images at all.
    app.m_aRuntime[7].pUp->Release();
    app.m_aRuntime[7].pUp = nullptr;

    app.ComposeScene();
    for (int k = 0; k < 7; ++k) {
        SCOPED_TRACE(k);
        const QRgb up = TestDesktop::ColorOf(k + 1).rgb() & 0xFFFFFF, image = cases[k].image;
        for (int q = 0; q < 4; ++q) // each side of the quadrants' corner
            EXPECT_EQ(desk.Shown(24 + k * 44 + q % 2, 29 + q / 2),
                image == 0 || (image > 1 && q == 3) ? kBack
                    : image == 1                    ? up
                                                    : image + 0x11 * q)
                << q;
        EXPECT_EQ(desk.Shown(25 + k * 44, 65), cases[k].shownCaption);
    }

    // The highlight frame, one pixel wide on top, with a rubber band or the
    // selection shown; neither, none.
    const QImage under = desk.display.target.lastFrame;
    const RECT h = { 10, 20, 110, 70 };
    app.m_rcHighlight = h;
    for (int flag = 0; flag < 3; ++flag) {
        SCOPED_TRACE(flag);
        app.m_bRubberBand = flag == 0;
        app.m_bShowSelection = flag == 1;
        app.ComposeScene();
        EXPECT_EQ(WrongPixels(desk.display.target.lastFrame,
                      [&](int x, int y) {
                          const bool inside = x >= h.left && x < h.right && y >= h.top && y < h.bottom;
                          const bool band
                              = inside && (x == h.left || x == h.right - 1 || y == h.top || y == h.bottom - 1);
                          return band && flag < 2 ? 0xFFFF00u : under.pixel(x, y);
                      }),
            "");
    }
}

// Pictures with their own transparency, a PNG and a 32-bit bitmap, blend
// over the background and the keyed object under them, and over each other,
// at every depth: blended, then stored in the depth's format (RGB565, or the
// nearest palette entry). The keyed picture shows as it always did. A hover
// over a blended object redraws its rectangle alone, to the frame that a
// whole redraw gives.
TEST(Composition, TransparentPicturesBlendOverWhatLiesUnderThemAtEveryDepth)
{
    for (int depth : { 32, 16, 8 }) {
        SCOPED_TRACE(depth);
        DisplayDepth chosen(depth);
        Desk desk;
        CDesktopApp& app = desk.app;
        const QString dir = desk.dir.path();
        app.m_dwBackPixel = DDColorMatch(app.m_pDDSColor, RGB(32, 48, 64));
        QImage back(320, 240, QImage::Format_RGB32), keyed(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                back.setPixel(x, y, Pattern(x, y));
        const QRgb key = qRgb(GetRValue(kColorKey), GetGValue(kColorKey), GetBValue(kColorKey));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                keyed.setPixel(x, y, (x + y) % 3 == 0 ? key : qRgb(200, x * 4, y * 6));
        app.m_aObjects[0].strUpImage = WriteBitmap(dir, "back.bmp", back).c_str();
        app.LoadObjectImages(0);
        const QImage png = Soft(40, 30, 1), pngMouse = Soft(40, 30, 2), bitmap = Soft(36, 20, 3);
        ASSERT_TRUE(png.save(dir + "/up.png") && pngMouse.save(dir + "/mouse.png"));
        // Objects: the keyed bitmap, the PNG over it, the 32-bit bitmap over both.
        const struct {
            POINT at;
            std::string up, mouse;
            const QImage* picture;
        } objects[] = { { { 20, 20 }, WriteBitmap(dir, "keyed.bmp", keyed), "", nullptr },
            { { 50, 40 }, dir.toStdString() + "/up.png", dir.toStdString() + "/mouse.png", &png },
            { { 70, 55 }, WriteBitmap32(dir, "soft.bmp", bitmap), "", &bitmap } };
        for (const auto& o : objects) {
            const int i = desk.AddObject("", {});
            app.m_aObjects[i].rcObject = { o.at.x, o.at.y, 0, 0 };
            app.m_aObjects[i].strUpImage = o.up.c_str();
            app.m_aObjects[i].strMouseImage = o.mouse.c_str();
            app.LoadObjectImages(i);
            app.SetObjectColorKeys(i);
            EXPECT_EQ(DDHasAlpha(app.m_aRuntime[i].pUp), o.picture != nullptr) << i;
        }
        ASSERT_TRUE(desk.ui.messages.empty());

        // Under the blended pictures: the frame without them.
        app.m_aRuntime[2].bVisible = app.m_aRuntime[3].bVisible = FALSE;
        app.ComposeScene();
        const QImage under = desk.display.target.lastFrame;
        const QList<QRgb> table = under.colorTable();
        // The colour a blended pixel is stored as, seen through the frame.
        const auto stored = [&](QRgb c) -> QRgb {
            if (depth == 16) {
                const int r = qRed(c) >> 3, g = qGreen(c) >> 2, b = qBlue(c) >> 3;
                return qRgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
            }
            if (depth == 8) {
                int best = 0, bestDistance = INT_MAX;
                for (int i = 0; i < 256; ++i) {
                    const int dr = qRed(c) - qRed(table[i]), dg = qGreen(c) - qGreen(table[i]),
                              db = qBlue(c) - qBlue(table[i]);
                    if (dr * dr + dg * dg + db * db < bestDistance)
                        best = i, bestDistance = dr * dr + dg * dg + db * db;
                }
                return table[best] & 0xFFFFFF;
            }
            return c;
        };
        const auto expected = [&](const QImage& look) {
            QImage frame = under.convertToFormat(QImage::Format_RGB32);
            for (int k = 1; k < 3; ++k) {
                const QImage& picture = k == 1 ? look : bitmap;
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x) {
                        const int fx = objects[k].at.x + x, fy = objects[k].at.y + y;
                        frame.setPixel(
                            fx, fy, stored(SourceOver(frame.pixel(fx, fy), qPremultiply(picture.pixel(x, y)))));
                    }
            }
            return [frame](int x, int y) { return frame.pixel(x, y); };
        };
        // The keyed picture as ever: its pixels, the background where keyed.
        if (depth == 32) {
            EXPECT_EQ(WrongPixels(under,
                          [&](int x, int y) {
                              const bool inside = x >= 20 && x < 80 && y >= 20 && y < 60;
                              return inside && keyed.pixel(x - 20, y - 20) != key ? keyed.pixel(x - 20, y - 20)
                                                                                  : Pattern(x, y);
                          }),
                "");
        }

        app.m_aRuntime[2].bVisible = app.m_aRuntime[3].bVisible = TRUE;
        app.ComposeScene();
        EXPECT_EQ(WrongPixels(desk.display.target.lastFrame, expected(png)), "");

        // The pointer moves onto the PNG's object: its Mouse look, drawn
        // as part of a frame.
        const int partial = desk.display.target.partial;
        app.m_aRuntime[2].nState = 2;
        app.m_bPartialFrame = TRUE;
        app.ComposeScene();
        EXPECT_EQ(desk.display.target.partial, partial + 1);
        const QImage hovered = desk.display.target.lastFrame;
        EXPECT_EQ(WrongPixels(hovered, expected(pngMouse)), "");
        app.ComposeScene();
        EXPECT_EQ(desk.display.target.lastFrame, hovered);
    }
}

TEST(Composition, PendingDragMovesOnceAndTheSplashFollowsTheFirstPresentedFrame)
{
    CDesktopApp bare; // before the display exists nothing is drawn, and nothing spent
    bare.m_bSplashPending = bare.m_bDragImage = TRUE;
    bare.m_sizeDrag = { -5, 0 };
    bare.ComposeScene();
    EXPECT_TRUE(bare.m_bSplashPending && bare.m_sizeDrag == (SIZE { -5, 0 }));
    Desk desk;
    CDesktopApp& app = desk.app;
    int splashes = 0;
    desk.ui.onDialog = [&](CDialog& dialog) { splashes += dynamic_cast<CSplashDlg*>(&dialog) != nullptr; };
    app.m_bSplashPending = TRUE;
    desk.AddObject("A", { 10, 10, 30, 30 });
    desk.AddObject("B", { 200, 10, 220, 30 });
    app.m_aRuntime[1].bSelected = TRUE;
    app.m_rcSelection = { 10, 10, 30, 30 };
    app.m_bDragImage = TRUE;
    app.m_sizeDrag = { -25, 5 }; // clamped to -10 at the left edge

    // Lost surfaces: the drag applied and spent, the surfaces restored,
    // nothing presented, no splash yet.
    app.m_pDD->loseAllSurfaces();
    app.ComposeScene();
    EXPECT_FALSE(app.m_pDDSBack->isLost());
    EXPECT_EQ(app.m_sizeDrag, (SIZE {}));
    EXPECT_EQ(splashes + desk.frames(), 0);

    // Composed again during the drag (paints): nothing moves twice.
    for (int n = 0; n < 3; ++n)
        app.ComposeScene();
    EXPECT_EQ(app.m_aObjects[1].rcObject, (RECT { 0, 15, 20, 35 }));
    EXPECT_EQ(app.m_aObjects[2].rcObject, (RECT { 200, 10, 220, 30 }));
    EXPECT_EQ(desk.Shown(0, 34), TestDesktop::ColorOf(1).rgb() & 0xFFFFFF);
    EXPECT_EQ(desk.Shown(10, 12), kBack);
    EXPECT_EQ(splashes, 1);
    EXPECT_EQ(desk.frames(), 3);
}

// A named Up picture that is missing, unreadable or refused leaves, while
// unlocked, a frame in the caption colour with the name inside: where the
// picture was when that lies on the screen, else a 64-pixel box at the
// object's origin (a refused picture's size shows nothing). Locked, nothing.
TEST(Composition, MissingPicturesShowAsPlaceholdersWhileUnlocked)
{
    Desk desk;
    CDesktopApp& app = desk.app;
    const std::string junk = desk.Path("junk.bmp");
    QFile file(QString::fromStdString(junk));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
    file.close();
    // The name, the rectangle as stored, the Up picture; its placeholder.
    const std::tuple<const char*, RECT, std::string, RECT> cases[]
        = { { "Gone", { 20, 20, 80, 70 }, desk.Path("missing.bmp"), { 20, 20, 80, 70 } },
              { "Wide", { 100, 100, 0, 0 }, desk.Bitmap(400, 10, Qt::red), { 100, 100, 164, 164 } },
              { "Junk", { 200, 150, 0, 0 }, junk, { 200, 150, 264, 214 } },
              { "Edge", { 290, 20, 330, 40 }, desk.Path("missing.bmp"), { 290, 20, 354, 84 } },
              { "None", { 120, 10, 160, 50 }, " ", {} }, // no picture named, nothing to stand for
              { "Hid", { 180, 10, 220, 50 }, desk.Path("missing.bmp"), {} } };
    std::vector<RECT> shown;
    for (const auto& [name, stored, up, placeholder] : cases) {
        const int i = desk.AddObject(name, {}, "", std::string(name) != "Hid");
        app.m_aObjects[i].rcObject = stored;
        app.m_aObjects[i].strUpImage = up.c_str();
        app.LoadObjectImages(i);
        if (!IsRectEmpty(&placeholder))
            shown.push_back(placeholder);
    }
    EXPECT_EQ(desk.ui.messages.size(), 5u);
    app.ComposeScene();
    EXPECT_EQ(WrongPixels(desk.display.target.lastFrame, [](int, int) { return kBack; }), "");

    // The frames exactly, and the name inside each: only its pixels differ.
    app.m_bLocked = FALSE;
    app.ComposeScene();
    const QImage frame = desk.display.target.lastFrame;
    std::vector<int> named(shown.size());
    EXPECT_EQ(WrongPixels(frame,
                  [&](int x, int y) -> QRgb {
                      for (size_t k = 0; k < shown.size(); ++k) {
                          const RECT& p = shown[k];
                          if (x < p.left || x >= p.right || y < p.top || y >= p.bottom)
                              continue;
                          if (x == p.left || x == p.right - 1 || y == p.top || y == p.bottom - 1)
                              return 0xFFFFFF;
                          const bool text = (frame.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
                          named[k] += text;
                          return text && x >= p.left + 2 && y >= p.top + 2 ? 0xFFFFFF : kBack;
                      }
                      return kBack;
                  }),
        "");
    for (size_t k = 0; k < shown.size(); ++k)
        EXPECT_GT(named[k], 10) << k;
}

// The Up picture sizes the object; a missing one leaves the rectangle as it
// was; " " is no Up picture but a Down picture path; the rest still load.
TEST(ObjectImages, UpImageSizesTheObjectMustFitAndFailuresAreReported)
{
    TestDesktop desk(1024, 768);
    CDesktopApp& app = desk.app;
    app.m_nObjects = 4;
    const std::string missing = desk.Path("missing.bmp");
    const auto load = [&](int i, RECT at, const std::string& up, const std::string& down, const std::string& mouse) {
        app.ReleaseObjectImages(i);
        std::tie(app.m_aObjects[i].rcObject, app.m_aObjects[i].strUpImage, app.m_aObjects[i].strDownImage,
            app.m_aObjects[i].strMouseImage)
            = std::tuple(at, up.c_str(), down.c_str(), mouse.c_str());
        app.LoadObjectImages(i);
        const ObjectRuntime& s = app.m_aRuntime[i];
        const auto width = [](IDirectDrawSurface* p) { return p ? p->width() : 0; };
        return std::tuple(app.m_aObjects[i].rcObject, width(s.pUp), width(s.pDown), width(s.pMouse));
    };
    EXPECT_EQ(load(1, { 30, 40, 0, 0 }, desk.Bitmap(64, 48, Qt::red), desk.Bitmap(10, 10, Qt::green),
                  desk.Bitmap(20, 5, Qt::blue)),
        std::tuple(RECT { 30, 40, 94, 88 }, 64, 10, 20));
    EXPECT_EQ(load(2, { 5, 6, 7, 8 }, " ", "", ""), std::tuple(RECT { 5, 6, 7, 8 }, 0, 0, 0));
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_EQ(
        load(3, { 5, 6, 7, 8 }, missing, " ", desk.Bitmap(4, 4, Qt::blue)), std::tuple(RECT { 5, 6, 7, 8 }, 0, 0, 4));
    EXPECT_EQ(desk.ui.messages,
        (std::vector<std::string> { "Unable to load: " + missing + "\nThe file cannot be opened.",
            "Unable to load:  \nThe file cannot be opened." }));
    // At its position the Up picture must fit the screen; the rectangle takes
    // its size even when it does not.
    for (auto [at, width, height, accepted] :
        { std::tuple { POINT { 900, 700 }, 200, 100, false }, { POINT { 824, 668 }, 200, 100, true },
            { POINT { 825, 0 }, 200, 100, false }, { POINT { 0, 669 }, 200, 100, false },
            { POINT { 1024, 768 }, 1, 1, false }, { POINT { 0, 0 }, 1024, 768, true } }) {
        SCOPED_TRACE(testing::Message() << at.x << "," << at.y << " " << width << "x" << height);
        desk.ui.messages.clear();
        const std::string up = desk.Bitmap(width, height, Qt::blue);
        EXPECT_EQ(load(1, { at.x, at.y, 0, 0 }, up, "", ""),
            std::tuple(RECT { at.x, at.y, at.x + width, at.y + height }, accepted ? width : 0, 0, 0));
        EXPECT_EQ(desk.ui.messages,
            std::vector<std::string>(!accepted,
                "Image dimensions exceed screen margins\nrelative to position:\n\n" + up
                    + "\n\nPlease check display and image dimensions."));
    }
}

} // namespace
