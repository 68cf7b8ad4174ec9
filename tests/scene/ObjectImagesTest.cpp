// Loading an object's pictures and checking the Up picture against the screen.

#include "support/TestDesktop.h"

#include <gtest/gtest.h>

namespace {

TEST(ObjectImages, UpImageSizesTheObjectAndFailuresAreReported)
{
    TestDesktop desk(1024, 768);
    CDesktopApp& app = desk.app;
    app.m_nObjects = 3;
    DesktopObject& r = app.m_aObjects[1];
    const ObjectRuntime& s = app.m_aRuntime[1];
    r.rcObject = { 30, 40, 0, 0 };
    r.strUpImage = desk.Bitmap(64, 48, Qt::red).c_str();
    r.strDownImage = desk.Bitmap(10, 10, Qt::green).c_str();
    r.strMouseImage = desk.Bitmap(20, 5, Qt::blue).c_str();
    app.LoadObjectImages(1);
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_EQ(r.rcObject, (RECT { 30, 40, 94, 88 }));
    ASSERT_TRUE(s.pUp && s.pDown && s.pMouse);
    EXPECT_EQ(s.pDown->width(), 10);
    EXPECT_EQ(s.pMouse->width(), 20);

    // A missing Up image leaves the rectangle as it was; " " is no Up image
    // but a Down image path; the rest still load.
    DesktopObject& q = app.m_aObjects[2];
    const ObjectRuntime& t = app.m_aRuntime[2];
    const std::string missing = desk.Path("missing.bmp");
    q.rcObject = { 5, 6, 7, 8 };
    q.strUpImage = missing.c_str();
    q.strDownImage = " ";
    q.strMouseImage = desk.Bitmap(4, 4, Qt::blue).c_str();
    app.LoadObjectImages(2);
    EXPECT_EQ(desk.ui.messages, (std::vector<std::string> { "Unable to load: " + missing, "Unable to load:  " }));
    EXPECT_TRUE(!t.pUp && !t.pDown && t.pMouse);
    EXPECT_EQ(q.rcObject, (RECT { 5, 6, 7, 8 }));
    desk.ui.messages.clear();
    app.ReleaseObjectImages(2);
    q.strUpImage = " ";
    q.strDownImage = q.strMouseImage = "";
    app.LoadObjectImages(2);
    EXPECT_TRUE(desk.ui.messages.empty());
    EXPECT_TRUE(!t.pUp && !t.pDown && !t.pMouse);
}

TEST(ObjectImages, UpImageMustFitTheScreenAtItsPosition)
{
    for (auto [at, width, height, accepted] :
        { std::tuple { POINT { 900, 700 }, 200, 100, false }, { POINT { 824, 668 }, 200, 100, true },
            { POINT { 825, 0 }, 200, 100, false }, { POINT { 0, 669 }, 200, 100, false },
            { POINT { 1024, 768 }, 1, 1, false }, { POINT { 0, 0 }, 1024, 768, true } }) {
        SCOPED_TRACE(testing::Message() << at.x << "," << at.y << " " << width << "x" << height);
        TestDesktop desk(1024, 768);
        CDesktopApp& app = desk.app;
        app.m_nObjects = 2;
        DesktopObject& r = app.m_aObjects[1];
        r.rcObject = { at.x, at.y, 0, 0 };
        r.strUpImage = desk.Bitmap(width, height, Qt::blue).c_str();
        app.LoadObjectImages(1);
        // Accepted or not, the rectangle takes the image's size.
        EXPECT_EQ(r.rcObject, (RECT { at.x, at.y, at.x + width, at.y + height }));
        EXPECT_EQ(app.m_aRuntime[1].pUp != nullptr, accepted);
        EXPECT_EQ(desk.ui.messages,
            std::vector<std::string>(!accepted,
                "Image dimensions exceed screen margins\nrelative to position:\n\n" + r.strUpImage.str()
                    + "\n\nPlease check display and image dimensions."));
    }
}

} // namespace
