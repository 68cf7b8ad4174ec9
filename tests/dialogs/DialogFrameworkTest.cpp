#include "platform/CDialog.h"
#include "platform/CommonDialogs.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

#include <cstring>

namespace {

void Key(QWidget* target, Qt::Key key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
}

QWidget* Widget(CDialog& dlg, int id)
{
    return dlg.GetDlgItem(id)->GetWidget();
}

TEST(DialogFramework, PlacesControlsInDialogUnitsOfTheDialogFont)
{
    ScriptedUi ui;
    ui.onDialog = [](CDialog& dlg) {
        const QFontMetrics metrics(dlg.GetWidget()->font());
        const int baseX
            = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
        const int baseY = metrics.height();
        ASSERT_GT(baseX, 0);
        EXPECT_EQ(dlg.GetWidget()->size(), QSize(342 * baseX / 4, 125 * baseY / 8));
        EXPECT_EQ(Widget(dlg, IDC_BROWSE_BACKGROUND)->geometry(),
            QRect(211 * baseX / 4, 34 * baseY / 8, 50 * baseX / 4, 14 * baseY / 8));
        EXPECT_EQ(dlg.GetWidget()->windowTitle(), "Desktop Settings");
        EXPECT_TRUE(dynamic_cast<CEdit&>(*dlg.GetDlgItem(IDC_DESKTOP)).IsReadOnly());
        EXPECT_FALSE(dlg.GetDlgItem(IDC_BACK_SWATCH)->IsWindowEnabled());
    };
    CDialog dlg(IDD_DESKTOP_SETTINGS);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(DialogFramework, TabFollowsTemplateOrderSkippingDisabledControls)
{
    ScriptedUi ui;
    ui.onDialog = [](CDialog& dlg) {
        const int order[] = { IDC_DESKTOP, IDC_BACKGROUND, IDC_BROWSE_BACKGROUND, IDC_TILE, IDC_BACK_COLOR, IDOK,
            IDCANCEL, IDC_NEW, IDC_LOAD, IDC_SAVE, IDC_SAVE_AS, IDC_REFRESH, IDC_DESKTOP };
        Widget(dlg, order[0])->setFocus(Qt::OtherFocusReason);
        for (size_t i = 1; i < std::size(order); ++i) {
            Key(dlg.GetWidget()->focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(dlg.GetWidget()->focusWidget(), Widget(dlg, order[i])) << "step " << i;
        }
    };
    CDialog dlg(IDD_DESKTOP_SETTINGS);
    dlg.DoModal();
}

TEST(DialogFramework, EnterPressesTheDefaultButtonOrTheFocusedOne)
{
    ScriptedUi ui;
    ui.onDialog = [](CDialog& dlg) {
        Widget(dlg, IDC_BACKGROUND)->setFocus(Qt::OtherFocusReason);
        dlg.PressEnter();
    };
    CDialog first(IDD_DESKTOP_SETTINGS);
    EXPECT_EQ(first.DoModal(), IDOK);

    ui.onDialog = [](CDialog& dlg) {
        Widget(dlg, IDCANCEL)->setFocus(Qt::OtherFocusReason);
        dlg.PressEnter();
    };
    CDialog second(IDD_DESKTOP_SETTINGS);
    EXPECT_EQ(second.DoModal(), IDCANCEL);
}

TEST(DialogFramework, MultiLineEditTakesEnterAsCrLfLineBreak)
{
    ScriptedUi ui;
    std::string typed;
    int blocks = 0;
    ui.onDialog = [&](CDialog& dlg) {
        QWidget* text = Widget(dlg, IDC_TEXT);
        text->setFocus(Qt::OtherFocusReason);
        Key(text, Qt::Key_A, "A");
        dlg.PressEnter();
        Key(text, Qt::Key_B, "B");
        EXPECT_TRUE(dlg.IsOpen());
        typed = dlg.GetDlgItem(IDC_TEXT)->GetWindowText().str();
        dlg.GetDlgItem(IDC_TEXT)->SetWindowText("x\r\ny\r\nz");
        blocks = qobject_cast<QPlainTextEdit*>(text)->blockCount();
    };
    CDialog dlg(IDD_OBJECT_PROPERTIES);
    dlg.DoModal();
    EXPECT_EQ(typed, "A\r\nB");
    EXPECT_EQ(blocks, 3);
}

TEST(DialogFramework, SortedComboKeepsNoSelectionAndFindsExactIgnoringCase)
{
    ScriptedUi ui;
    ui.onDialog = [](CDialog& dlg) {
        auto& combo = dynamic_cast<CComboBox&>(*dlg.GetDlgItem(IDC_ACTIVATE));
        for (const char* name : { "pear", " ", "Apple", "apple", "fig" })
            combo.AddString(name);
        std::vector<std::string> items;
        for (int i = 0; i < combo.GetCount(); ++i) {
            CString text;
            combo.GetLBText(i, text);
            items.push_back(text.str());
        }
        EXPECT_EQ(items, (std::vector<std::string> { " ", "Apple", "apple", "fig", "pear" }));
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
        EXPECT_EQ(combo.GetWindowText(), "");
        EXPECT_EQ(combo.FindStringExact(0, "APPLE"), 1);
        EXPECT_EQ(combo.FindStringExact(1, "APPLE"), 2); // starts after the given item
        EXPECT_EQ(combo.FindStringExact(3, "pear"), 4);
        EXPECT_EQ(combo.FindStringExact(4, " "), 0); // wraps around
        EXPECT_EQ(combo.FindStringExact(0, "pea"), CB_ERR);
        combo.SetCurSel(3);
        combo.AddString("banana"); // lands before the selection, which follows its item
        EXPECT_EQ(combo.GetWindowText(), "fig");
    };
    CDialog dlg(IDD_OBJECT_PROPERTIES);
    dlg.DoModal();
}

TEST(DialogFramework, RadioButtonsAreExclusiveWithinTheirRange)
{
    ScriptedUi ui;
    ui.onDialog = [](CDialog& dlg) {
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER), 0);
        dlg.CheckRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER, IDC_JUSTIFY_RIGHT);
        dlg.ClickButton(IDC_JUSTIFY_CENTER);
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER), IDC_JUSTIFY_CENTER);
        EXPECT_EQ(dynamic_cast<CButton&>(*dlg.GetDlgItem(IDC_JUSTIFY_RIGHT)).GetCheck(), BST_UNCHECKED);
        dlg.CheckRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER, 0);
        EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER), 0);
    };
    CDialog dlg(IDD_OBJECT_PROPERTIES);
    dlg.DoModal();
}

TEST(DialogFramework, UnscriptedDialogRunsItsOwnLoopUntilEnter)
{
    // No script: the real modal loop runs; Enter sent to the modal window ends it.
    QTimer::singleShot(50, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            Key(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_Return, "\r");
    });
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    CDialog dlg(IDD_OBJECT_LIST);
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(CommonDialogs, FilterStringsBecomeQtNameFilters)
{
    EXPECT_EQ(NameFiltersFromFilter("Bitmap Files (*.bmp)|*.bmp||"), QStringList { "Bitmap Files (*.bmp)" });
    EXPECT_EQ(NameFiltersFromFilter("Desktops|*.orv|All|*.*||"), (QStringList { "Desktops (*.orv)", "All (*.*)" }));
}

TEST(CommonDialogs, ChosenFontMapsBackToTheLogFont)
{
    LOGFONT base;
    base.lfCharSet = 1;
    base.lfUnderline = 1;
    QFont font(QStringLiteral("A Family Name That Is Longer Than Thirty-One Characters"));
    font.setPixelSize(17);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    const LOGFONT lf = LogFontFromQFont(font, base);
    EXPECT_EQ(lf.lfHeight, -17);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfCharSet, 1);
    EXPECT_EQ(lf.lfUnderline, 1); // not offered, so kept
    EXPECT_EQ(std::strlen(lf.lfFaceName), 31u);
    EXPECT_EQ(std::string(lf.lfFaceName), font.family().left(31).toStdString());

    // A point size comes back as the pixel height the chooser showed.
    const QFont shown = QFontFromLogFont(lf);
    EXPECT_EQ(LogFontFromQFont(shown, base).lfHeight, -17);
}

TEST(CommonDialogs, ChoosersReportCancelAndResults)
{
    ScriptedUi ui;
    ui.onColor = [](COLORREF initial) {
        EXPECT_EQ(initial, RGB(1, 2, 3));
        return std::optional<COLORREF>();
    };
    CColorDialog color(RGB(1, 2, 3));
    EXPECT_EQ(color.DoModal(), IDCANCEL);
    EXPECT_EQ(color.m_cc.rgbResult, RGB(1, 2, 3));

    ui.onFile = [](const FileDialogRequest&) { return std::optional<CString>(CString("/a/b c/d.orv")); };
    CFileDialog file(FALSE, "*.orv", "x.orv", 0, "Desktop Files (*.orv)|*.orv||");
    EXPECT_EQ(file.DoModal(), IDOK);
    EXPECT_EQ(file.GetPathName(), "\\a\\b c\\d.orv");
}

} // namespace
