// The dialogs as a person meets them, and colour matching without a colour surface.
#include <gtest/gtest.h>
#include "DialogTestApp.h"

#include "bitmaps/DDUtil.h"
#include "platform/DirectDrawFaults.h"
#include "platform/Font.h"
#include "res/resource.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

using namespace dialogs_test;

namespace {

// Types `keys` into the focused control; '\t' is the Tab key.
void Type(CDialog& dlg, const QString& keys)
{
    for (const QChar c : keys) {
        QKeyEvent press(QEvent::KeyPress, c == u'\t' ? Qt::Key_Tab : Qt::Key(c.toUpper().unicode()), {}, c);
        QApplication::sendEvent(dlg.GetWidget()->focusWidget(), &press);
    }
}

struct DialogUseTest : ::testing::Test {
    DialogTestApp app;
    DisplayFixture display { app, 320, 240 };
    ScriptedUi ui;
};

TEST_F(DialogUseTest, InsertOffersItsNameSelectedAndKeepsLongCaptionLinesWhole)
{
    ui.onDialog = [](CDialog& dlg) {
        auto* name = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_OBJECT_NAME)->GetWidget());
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), name);
        EXPECT_EQ(name->selectedText(), "object1");
        Type(dlg, "Gizmo");
        SetText(dlg, IDC_TEXT, std::string(200, 'W'));
        dlg.GetWidget()->grab(); // lays the text out: wrapped, it would need no sideways scrolling
        EXPECT_GT(
            qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(IDC_TEXT)->GetWidget())->horizontalScrollBar()->maximum(), 0);
        dlg.ClickButton(IDOK);
    };
    app.InsertObject();
    EXPECT_EQ(app.m_aObjects[1].strName, "Gizmo");
}

TEST_F(DialogUseTest, ReadOnlyDesktopFieldLooksReadOnlyAndKeepsItsTabPlace)
{
    app.m_strDesktopFile = "C:\\x\\desktops\\default.orv";
    ui.onDialog = [](CDialog& dlg) {
        QWidget* desktop = dlg.GetDlgItem(IDC_DESKTOP)->GetWidget();
        const QColor face = dlg.GetWidget()->palette().color(QPalette::Window);
        EXPECT_NE(face, dlg.GetWidget()->palette().color(QPalette::Base));
        const QRect field = desktop->geometry();
        EXPECT_EQ(dlg.GetWidget()->grab().toImage().pixelColor(field.right() - 4, field.center().y()), face);
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), desktop);
        EXPECT_EQ(qobject_cast<QLineEdit*>(desktop)->selectedText(), "default.orv");
        Type(dlg, "\t");
        EXPECT_EQ(dlg.GetWidget()->focusWidget(), dlg.GetDlgItem(IDC_BACKGROUND)->GetWidget());
    };
    app.EditDesktopSettings();
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
    ui.onDialog = [](CDialog& dlg) { dlg.ClickButton(IDC_FONT), dlg.ClickButton(IDOK); };
    app.EditObjectProperties();
    EXPECT_LT(drawn, 24);
    EXPECT_EQ(FontFromLogFont(app.m_aObjects[i].lfFont).pixelSize(), drawn);
}

// The colour surface lost at start-up or in a restore; making it again works or fails too.
TEST_F(DialogUseTest, ColourMatchingMakesTheColourSurfaceAgainOrLeavesTheColourUnmatched)
{
    const COLORREF color = RGB(10, 20, 30);
    app.m_crLastColor = color;
    ui.onColor = [&](COLORREF) { return std::optional<COLORREF>(color); };
    for (const bool inRestore : { false, true })
        for (const bool remakeFails : { false, true }) {
            SCOPED_TRACE(testing::Message() << "in restore " << inRestore << ", remaking fails " << remakeFails);
            const auto loseColorSurface = [&] {
                FailNextCall(FaultPoint::CreateSurface);
                FailNextCall(FaultPoint::Restore, inRestore ? 3 : 0); // after the primary and the back buffer
                if (inRestore)
                    app.RestoreSurfaces();
                else
                    app.ReleaseColorSurface(), app.CreateColorSurface();
                ASSERT_EQ(app.m_pDDSColor, nullptr);
                FailNextCall(FaultPoint::CreateSurface, remakeFails ? 1 : 0);
            };
            app.CreateColorSurface(); // as the last case left it
            ui.messages.clear();
            loseColorSurface();
            ui.onDialog = [](CDialog& dlg) { dlg.ClickButton(IDOK); };
            app.InsertObject();
            ASSERT_NE(app.m_pDDSColor, nullptr); // made again at the latest for the second colour
            const DWORD pixel = DDColorMatch(app.m_pDDSColor, color);
            EXPECT_EQ(app.m_aObjects[app.m_nObjects - 1].dwTextPixel, remakeFails ? CLR_INVALID : pixel);
            EXPECT_EQ(app.m_aObjects[app.m_nObjects - 1].dwHotTextPixel, pixel);

            loseColorSurface();
            app.m_crBackground = 0;
            ui.onDialog = [](CDialog& dlg) { dlg.ClickButton(IDC_BACK_COLOR), dlg.ClickButton(IDOK); };
            app.EditDesktopSettings();
            EXPECT_EQ(app.m_dwBackPixel, remakeFails ? CLR_INVALID : pixel);
            EXPECT_EQ(ui.messages, std::vector<std::string>(remakeFails ? 4 : 2, "fail:CreateColor"));
        }
}

} // namespace
