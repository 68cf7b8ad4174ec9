#include "DialogTestApp.h"

#include "dialogs/ObjectListDlg.h"
#include "dialogs/SplashDlg.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QWidget>

using namespace dialogs_test;

namespace {

std::vector<std::string> ListItems(CDialog& dlg)
{
    auto& list = Item<CListBox>(dlg, IDC_OBJECT_LIST);
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i) {
        CString text;
        list.GetText(i, text);
        items.push_back(text.str());
    }
    return items;
}

TEST(ObjectListDialog, ListsObjectsSortedAndPicksTheExactName)
{
    DialogTestApp app;
    app.AddObject("zeta");
    app.AddObject("Alpha");
    app.AddObject("beta");
    app.AddObject(" beta");
    ScriptedUi ui;
    ui.onDialog = [&](CDialog& dlg) {
        EXPECT_EQ(ListItems(dlg), (std::vector<std::string> { " beta", "Alpha", "beta", "zeta" }));
        EXPECT_EQ(Item<CListBox>(dlg, IDC_OBJECT_LIST).GetCurSel(), LB_ERR);
        Item<CListBox>(dlg, IDC_OBJECT_LIST).SetCurSel(0);
        dlg.ClickButton(IDOK);
    };
    app.m_nCurObject = 0;
    CObjectListDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(app.m_nCurObject, 4);
}

TEST(ObjectListDialog, OkWithoutSelectionAndCancelPickNothing)
{
    DialogTestApp app;
    app.AddObject("one");
    ScriptedUi ui;
    for (int button : { IDOK, IDCANCEL }) {
        ui.onDialog = [&](CDialog& dlg) { dlg.ClickButton(button); };
        app.m_nCurObject = 0;
        CObjectListDlg dlg;
        EXPECT_EQ(dlg.DoModal(), button);
        EXPECT_EQ(app.m_nCurObject, 0);
    }
}

TEST(ObjectListDialog, DoubleClickPicksTheItemAndCloses)
{
    DialogTestApp app;
    app.AddObject("b");
    app.AddObject("a");
    ScriptedUi ui;
    ui.onDialog = [&](CDialog& dlg) {
        auto* list = qobject_cast<QListWidget*>(dlg.GetDlgItem(IDC_OBJECT_LIST)->GetWidget());
        ASSERT_NE(list, nullptr);
        const QPoint at = list->visualItemRect(list->item(1)).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &press);
        QApplication::sendEvent(list->viewport(), &release);
        QApplication::sendEvent(list->viewport(), &twice);
    };
    app.m_nCurObject = 0;
    CObjectListDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(app.m_nCurObject, 1); // "b", the second item
}

TEST(SplashDialog, PaintsThePictureAndClosesOnEnter)
{
    const QImage picture(QStringLiteral(":/splash.bmp"));
    if (picture.isNull())
        GTEST_SKIP() << "no splash picture in the resources";
    ScriptedUi ui;
    QImage shown;
    int stillOpen = -1;
    ui.onDialog = [&](CDialog& dlg) {
        shown = dlg.GetWidget()->grab().toImage();
        dlg.PressEnter();
        stillOpen = dlg.IsOpen();
    };
    CSplashDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(stillOpen, 0);
    ASSERT_GE(shown.width(), 3 + 199);
    for (QPoint p : { QPoint(0, 0), QPoint(198, 0), QPoint(100, 50), QPoint(0, 96), QPoint(198, 96) })
        EXPECT_EQ(shown.pixel(p + QPoint(3, 3)), picture.pixel(p)) << p.x() << "," << p.y();
}

} // namespace
