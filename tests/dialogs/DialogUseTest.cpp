// The dialogs as a person meets them: focus, read-only fields, the caption
// box, the font chooser's size, and colour matching without a colour surface.
#include "DialogTestApp.h"

#include "bitmaps/DDUtil.h"
#include "platform/DirectDrawFaults.h"
#include "platform/Font.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

using namespace dialogs_test;

namespace {

// Types `keys` into the focused control; '\t' is the Tab key.
void Type(CDialog& dlg, const QString& keys)
{
    for (const QChar c : keys) {
        QKeyEvent press(QEvent::KeyPress, c == u'\t' ? Qt::Key_Tab : Qt::Key(c.toUpper().unicode()), Qt::NoModifier,
            c == u'\t' ? QString() : QString(c));
        QApplication::sendEvent(dlg.GetWidget()->focusWidget(), &press);
    }
}

class DialogUseTest : public ::testing::Test {
protected:
    DialogTestApp app;
    DisplayFixture display { app, 320, 240 };
    ScriptedUi ui;
};

TEST_F(DialogUseTest, InsertOffersItsNameSelectedSoTypingReplacesIt)
{
    ui.onDialog = [](CDialog& dlg) {
        auto* name = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_OBJECT_NAME)->GetWidget());
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), name);
        EXPECT_EQ(name->selectedText(), QStringLiteral("object1"));
        Type(dlg, QStringLiteral("Gizmo"));
        dlg.ClickButton(IDOK);
    };
    app.InsertObject();
    ASSERT_EQ(app.m_nObjects, 2);
    EXPECT_EQ(app.m_aObjects[1].strName, "Gizmo");
}

TEST_F(DialogUseTest, ReadOnlyDesktopFieldLooksReadOnlyAndKeepsItsTabPlace)
{
    app.m_strDesktopFile = "C:\\x\\desktops\\default.orv";
    ui.onDialog = [](CDialog& dlg) {
        QWidget* desktop = dlg.GetDlgItem(IDC_DESKTOP)->GetWidget();
        const QImage shown = dlg.GetWidget()->grab().toImage();
        const QPalette& palette = dlg.GetWidget()->palette();
        EXPECT_NE(palette.color(QPalette::Window), palette.color(QPalette::Base));
        EXPECT_EQ(shown.pixelColor(desktop->geometry().right() - 4, desktop->geometry().center().y()),
            palette.color(QPalette::Window));
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), desktop);
        EXPECT_EQ(qobject_cast<QLineEdit*>(desktop)->selectedText(), QStringLiteral("default.orv"));
        Type(dlg, QStringLiteral("\t"));
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), dlg.GetDlgItem(IDC_BACKGROUND)->GetWidget());
    };
    app.EditDesktopSettings();
}

TEST_F(DialogUseTest, CaptionTextScrollsSidewaysInsteadOfWrapping)
{
    ui.onDialog = [](CDialog& dlg) {
        SetText(dlg, IDC_TEXT, std::string(200, 'W') + "\r\nB");
        auto* text = qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(IDC_TEXT)->GetWidget());
        dlg.GetWidget()->grab(); // lays the text out
        EXPECT_EQ(text->document()->firstBlock().layout()->lineCount(), 1);
        EXPECT_GT(text->horizontalScrollBar()->maximum(), 0);
    };
    app.InsertObject();
}

TEST_F(DialogUseTest, FontChooserStartsAtTheDrawnSizeOfACellHeight)
{
    const int i = app.AddObject("Lamp");
    app.m_aObjects[i].lfFont = MakeFont("DejaVu Sans", 24);
    app.m_nCurObject = i;
    const int drawn = FontFromLogFont(app.m_aObjects[i].lfFont).pixelSize();
    ui.onFont = [&](const LOGFONT& initial) {
        EXPECT_EQ(initial.lfHeight, -drawn);
        return std::optional<LOGFONT>(initial);
    };
    ui.onDialog = [](CDialog& dlg) {
        dlg.ClickButton(IDC_FONT);
        dlg.ClickButton(IDOK);
    };
    app.EditObjectProperties();
    EXPECT_LT(drawn, 24);
    EXPECT_EQ(FontFromLogFont(app.m_aObjects[i].lfFont).pixelSize(), drawn);
}

struct LostColorSurface {
    const char* name;
    bool inRestore; // else at start-up
    bool remakeFails;
};

class ColorSurfaceTest : public DialogUseTest, public ::testing::WithParamInterface<LostColorSurface> {
protected:
    // Loses the colour surface as the case says; its next making fails when asked.
    void LoseColorSurface()
    {
        ui.acceptMessages();
        FailNextCall(FaultPoint::CreateSurface);
        if (GetParam().inRestore) {
            FailNextCall(FaultPoint::Restore, 3); // after the primary and the back buffer
            ASSERT_TRUE(app.RestoreSurfaces());
        } else {
            app.ReleaseColorSurface();
            app.CreateColorSurface();
        }
        ASSERT_EQ(app.m_pDDSColor, nullptr);
        if (GetParam().remakeFails)
            FailNextCall(FaultPoint::CreateSurface);
    }
};

TEST_P(ColorSurfaceTest, MatchingMakesItAgainOrLeavesTheColourUnmatched)
{
    const COLORREF color = RGB(10, 20, 30);
    app.m_crLastColor = color;
    LoseColorSurface();
    ui.onDialog = [](CDialog& dlg) { dlg.ClickButton(IDOK); };
    app.InsertObject();
    ASSERT_EQ(app.m_nObjects, 2);
    ASSERT_NE(app.m_pDDSColor, nullptr); // made again at the latest for the second colour
    const DWORD pixel = DDColorMatch(app.m_pDDSColor, color);
    EXPECT_EQ(app.m_aObjects[1].dwTextPixel, GetParam().remakeFails ? CLR_INVALID : pixel);
    EXPECT_EQ(app.m_aObjects[1].dwHotTextPixel, pixel);

    LoseColorSurface();
    ui.onColor = [&](COLORREF) { return std::optional<COLORREF>(color); };
    ui.onDialog = [](CDialog& dlg) {
        dlg.ClickButton(IDC_BACK_COLOR);
        dlg.ClickButton(IDOK);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_dwBackPixel, GetParam().remakeFails ? CLR_INVALID : pixel);
    EXPECT_EQ(ui.messages, std::vector<std::string>(GetParam().remakeFails ? 4 : 2, "fail:CreateColor"));
}

INSTANTIATE_TEST_SUITE_P(Lost, ColorSurfaceTest,
    ::testing::Values(LostColorSurface { "AtStartUp", false, false },
        LostColorSurface { "AtStartUpForGood", false, true }, LostColorSurface { "InRestore", true, false },
        LostColorSurface { "InRestoreForGood", true, true }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
