#include "dialogs/SplashDlg.h"
#include "platform/ResourceTables.h"
#include "res/resource.h"
#include "support/TestDesktop.h"

#include <gtest/gtest.h>

// The greeting shows its picture at (3, 3), pixel for pixel.
TEST(Splash, PaintsItsPictureInsideTheFrame)
{
    ScriptedUi ui;
    QImage shown;
    ui.onDialog = [&](CDialog& dialog) { shown = DialogWindowOf(dialog)->grab().toImage(); };
    CSplashDlg().DoModal();
    const QImage picture(QString::fromLatin1(FindBitmapResource(IDB_SPLASH)));
    ASSERT_FALSE(picture.isNull());
    ASSERT_GE(shown.width(), 3 + picture.width());
    int wrong = 0;
    for (int y = 0; y < std::min(picture.height(), 97); ++y)
        for (int x = 0; x < std::min(picture.width(), 199); ++x)
            wrong += shown.pixel(3 + x, 3 + y) != picture.pixel(x, y);
    EXPECT_EQ(wrong, 0);
}
