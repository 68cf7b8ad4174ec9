// Loading, checking, keying and releasing an object's surfaces.

#include "scene/SceneSupport.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::string kExceeds = "Image dimensions exceed screen margins\nrelative to position:\n\n";
const std::string kCheck = "\n\nPlease check display and image dimensions.";

class ObjectImagesTest : public testing::Test {
protected:
    ObjectImagesTest()
        : display(app, 1024, 768)
    {
        app.m_nObjects = 2;
    }

    CString bitmap(const char* name, int width, int height, QColor color = Qt::blue)
    {
        return WriteBitmap(dir.path(), name, width, height, color).c_str();
    }

    DesktopObject& record() { return app.m_aObjects[1]; }
    ObjectRuntime& slot() { return app.m_aRuntime[1]; }

    CDesktopApp app;
    DisplayFixture display;
    ScriptedUi ui;
    QTemporaryDir dir;
};

TEST_F(ObjectImagesTest, UpImageSizesTheObject)
{
    ASSERT_TRUE(display.ok);
    record().rcObject = { 30, 40, 0, 0 };
    record().strUpImage = bitmap("up.bmp", 64, 48, Qt::red);
    record().strDownImage = bitmap("down.bmp", 10, 10, Qt::green);
    record().strMouseImage = bitmap("mouse.bmp", 20, 5);

    app.LoadObjectImages(1);

    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(record().rcObject, (RECT { 30, 40, 94, 88 }));
    ASSERT_NE(slot().pUp, nullptr);
    ASSERT_NE(slot().pDown, nullptr);
    ASSERT_NE(slot().pMouse, nullptr);
    EXPECT_EQ(PixelAt(slot().pUp, 63, 47), 0xFF0000u);
    EXPECT_EQ(PixelAt(slot().pDown, 0, 0), 0x00FF00u);
    EXPECT_EQ(slot().pMouse->width(), 20);
}

struct MarginCase {
    POINT position;
    int width;
    int height;
    bool accepted;
};

class ImageMarginTest : public ObjectImagesTest, public testing::WithParamInterface<MarginCase> { };

TEST_P(ImageMarginTest, UpImageMustFitTheScreenAtItsPosition)
{
    ASSERT_TRUE(display.ok);
    const MarginCase c = GetParam();
    record().rcObject = { c.position.x, c.position.y, 0, 0 };
    record().strUpImage = bitmap("up.bmp", c.width, c.height);

    app.LoadObjectImages(1);

    // Accepted or not, the rectangle takes the image's size.
    EXPECT_EQ(
        record().rcObject, (RECT { c.position.x, c.position.y, c.position.x + c.width, c.position.y + c.height }));
    if (c.accepted) {
        EXPECT_NE(slot().pUp, nullptr);
        EXPECT_TRUE(ui.messages.empty());
    } else {
        EXPECT_EQ(slot().pUp, nullptr);
        EXPECT_EQ(ui.messages, std::vector<std::string> { kExceeds + record().strUpImage.str() + kCheck });
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, ImageMarginTest,
    testing::Values(MarginCase { { 900, 700 }, 200, 100, false }, MarginCase { { 824, 668 }, 200, 100, true },
        MarginCase { { 825, 0 }, 200, 100, false }, MarginCase { { 0, 669 }, 200, 100, false },
        MarginCase { { 1024, 768 }, 1, 1, false }, MarginCase { { 0, 0 }, 1024, 768, true }));

TEST_F(ObjectImagesTest, MissingImagesAreReportedAndTheRestStillLoad)
{
    ASSERT_TRUE(display.ok);
    const CString missing = CString(dir.path().toStdString() + "/missing.bmp");
    record().rcObject = { 5, 6, 7, 8 };
    record().strUpImage = missing;
    record().strDownImage = " ";
    record().strMouseImage = bitmap("mouse.bmp", 4, 4);

    app.LoadObjectImages(1);

    EXPECT_EQ(ui.messages,
        (std::vector<std::string> { "Unable to load: " + missing.str(), std::string("Unable to load:  ") }));
    EXPECT_EQ(slot().pUp, nullptr);
    EXPECT_EQ(slot().pDown, nullptr);
    EXPECT_NE(slot().pMouse, nullptr);
    EXPECT_EQ(record().rcObject, (RECT { 5, 6, 7, 8 }));
}

TEST_F(ObjectImagesTest, BlankPathsMeanNoImage)
{
    ASSERT_TRUE(display.ok);
    record().strUpImage = " ";
    app.LoadObjectImages(1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(slot().pUp, nullptr);
    EXPECT_EQ(record().rcObject, RECT {});
}

TEST_F(ObjectImagesTest, ColourKeysAndReleasesCoverTheirSurfacesOnly)
{
    ASSERT_TRUE(display.ok);
    ObjectRuntime& s = slot();
    IDirectDrawSurface** all[] = { &s.pUp, &s.pDown, &s.pMouse, &s.pText, &s.pTextHot };
    for (IDirectDrawSurface** surface : all)
        *surface = MakeSurface(app, 4, 4, 0);
    s.pDown->Release();
    s.pDown = nullptr;

    app.SetObjectColorKeys(1);
    for (IDirectDrawSurface** surface : all) {
        if (!*surface)
            continue;
        DDSURFACEDESC desc;
        desc.dwSize = DDSURFACEDESC_SIZE;
        (*surface)->GetSurfaceDesc(&desc);
        EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, app.m_dwColorKeyPixel);
        EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceHighValue, app.m_dwColorKeyPixel);
    }

    app.ReleaseObjectImages(1);
    EXPECT_EQ(s.pUp, nullptr);
    EXPECT_EQ(s.pMouse, nullptr);
    EXPECT_NE(s.pText, nullptr);
    app.ReleaseCaptionSurfaces(1);
    EXPECT_EQ(s.pText, nullptr);
    EXPECT_EQ(s.pTextHot, nullptr);
    // Releasing empty slots is harmless.
    app.ReleaseObjectImages(1);
    app.ReleaseCaptionSurfaces(1);
    app.SetObjectColorKeys(1);
}

} // namespace
