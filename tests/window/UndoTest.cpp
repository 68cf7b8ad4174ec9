// Undo and redo of desktop edits through the window's handlers, on a real
// display: the saved bytes and the shown frame are what must come back.

#include "dialogs/DesktopSettingsDlg.h"
#include "dialogs/ObjectPropertiesDlg.h"
#include "res/resource.h"
#include "tests/support/TestDesktop.h"
#include "window/MainFrame.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

class UndoTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok);
        app.m_nObjects = 9;
        app.m_aObjects[0].strName = "Background";
        app.m_aObjects[0].bVisible = app.m_aRuntime[0].bVisible = TRUE;
        const QColor colors[] = { Qt::red, Qt::blue, Qt::yellow, Qt::darkGreen };
        for (int i = 1; i < app.m_nObjects; ++i) {
            DesktopObject& r = app.m_aObjects[i];
            r.strName = CString(("Obj" + std::to_string(i)).c_str());
            r.strUpImage = Picture(i, colors[i % 4]);
            r.strText = i % 2 ? "Caption\r\nline two" : "";
            r.strActivate = i == 3 ? "Obj4" : "";
            r.rcObject = { 60 * i, 45 * i, 0, 0 };
            r.bVisible = TRUE;
        }
        for (int i = 0; i < app.m_nObjects; ++i) {
            app.LoadObjectImages(i);
            app.CreateCaptionSurfaces(i);
            app.SetObjectColorKeys(i);
        }
        app.ResolveActivationLinks();
        app.ApplyVisibility();
        app.m_bLocked = FALSE;
        app.m_strDesktopFile = CString(dir.filePath("undo.orv").toStdString().c_str());
        app.m_history.Clear(app);
    }

    CString Picture(int k, QColor color)
    {
        return WriteBitmap(dir.path(), QString("p%1.bmp").arg(k), 20 + 3 * k, 24, color).c_str();
    }
    QByteArray Bytes()
    {
        app.SaveDesktop();
        QFile file(dir.filePath("undo.orv"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QImage Frame()
    {
        app.ComposeScene();
        return display.target.lastFrame;
    }
    void Drag(POINT from, POINT to, bool bRelease = true)
    {
        frame.OnLButtonDown(0, from);
        frame.OnMouseMove(0, to);
        if (bRelease)
            frame.OnLButtonUp(0, to);
    }
    POINT Centre(int i) const
    {
        const RECT& r = app.m_aObjects[i].rcObject;
        return { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    }

    // One edit of a random kind through the handler that makes it.
    void Edit(std::mt19937& rng)
    {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        const int c = pick(1, app.m_nObjects - 1);
        app.m_nCurObject = c;
        app.m_ptContext = { pick(0, 500), pick(0, 400) };
        void (CMainFrame::*orders[])() = { &CMainFrame::OnOrderMoveUp, &CMainFrame::OnOrderMoveDown,
            &CMainFrame::OnOrderMoveToTop, &CMainFrame::OnOrderMoveToBottom };
        switch (pick(0, 6)) {
        case 0:
            return Drag(Centre(c), { Centre(c).x + pick(-90, 90), Centre(c).y + pick(-90, 90) });
        case 1:
            return app.m_nObjects > 4 ? frame.OnObjectDelete() : void();
        case 2:
            frame.OnObjectCopy();
            return frame.OnObjectPaste();
        case 3:
            return (frame.*orders[pick(0, 3)])();
        case 4:
            ui.onDialog = [&](CDialog& dlg) {
                auto& props = dynamic_cast<CObjectPropertiesDlg&>(dlg);
                props.m_edText.SetWindowText(("Edited " + std::to_string(pick(0, 999))).c_str());
                Click(props, IDOK);
            };
            return frame.OnObjectProperties();
        case 5:
            app.m_nCurObject = 0;
            ui.onDialog = [](CDialog& dlg) {
                auto& settings = dynamic_cast<CDesktopSettingsDlg&>(dlg);
                settings.m_chkTile.SetCheck(settings.m_chkTile.GetCheck() ? BST_UNCHECKED : BST_CHECKED);
                Click(settings, IDOK);
            };
            return frame.OnObjectProperties();
        case 6:
            ui.onDialog = [&](CDialog& dlg) {
                auto& props = dynamic_cast<CObjectPropertiesDlg&>(dlg);
                props.m_edName.SetWindowText(("New" + std::to_string(++inserted)).c_str());
                props.m_edUpImage.SetWindowText(Picture(20, Qt::magenta));
                Click(props, IDOK);
            };
            return frame.OnObjectInsert();
        }
    }

    CDesktopApp app;
    DisplayFixture display { app, 640, 480 };
    ScriptedUi ui;
    CMainFrame frame;
    QTemporaryDir dir;
    int inserted = 0;
};

TEST_F(UndoTest, RandomEditsUndoToTheFirstBytesAndRedoToTheLast)
{
    const char* env = std::getenv("ORVANTA_TEST_SEED");
    const unsigned seed = env ? unsigned(std::strtoul(env, nullptr, 10)) : 14u;
    std::printf("seed %u (set ORVANTA_TEST_SEED to change it)\n", seed);
    std::mt19937 rng(seed);

    // Every edit that changed the file is one step.
    std::vector<QByteArray> states { Bytes() };
    const QImage first = Frame();
    for (int k = 0; k < 60; ++k) {
        Edit(rng);
        if (QByteArray now = Bytes(); now != states.back())
            states.push_back(now);
    }
    ASSERT_GT(states.size(), 30u);
    const QImage last = Frame();

    for (size_t k = states.size() - 1; k > 0; --k) {
        frame.OnEditUndo();
        ASSERT_EQ(Bytes(), states[k - 1]) << "undo back to state " << k - 1;
    }
    EXPECT_FALSE(app.m_history.CanUndo());
    EXPECT_EQ(Frame(), first);
    for (size_t k = 1; k < states.size(); ++k) {
        frame.OnEditRedo();
        ASSERT_EQ(Bytes(), states[k]) << "redo to state " << k;
    }
    EXPECT_FALSE(app.m_history.CanRedo());
    EXPECT_EQ(Frame(), last);
    for (const std::string& text : ui.messages)
        EXPECT_EQ(text.rfind("Are you sure", 0), 0u) << text;
}

TEST_F(UndoTest, StepsAreBoundedIgnoredDuringADragAndANewEditDropsTheRedoSide)
{
    const LONG left = app.m_aObjects[1].rcObject.left;
    for (int k = 0; k < CEditHistory::kMaxSteps + 5; ++k)
        Drag(Centre(1), { Centre(1).x + 1, Centre(1).y });
    int undone = 0;
    for (; app.m_history.CanUndo(); ++undone)
        frame.OnEditUndo();
    EXPECT_EQ(undone, CEditHistory::kMaxSteps);
    EXPECT_EQ(app.m_aObjects[1].rcObject.left, left + 5);

    frame.OnEditRedo();
    const QByteArray before = Bytes();
    Drag(Centre(1), { Centre(1).x, Centre(1).y + 30 }, false);
    const QByteArray during = Bytes();
    frame.OnEditUndo();
    frame.OnEditRedo();
    EXPECT_EQ(Bytes(), during);
    frame.OnLButtonUp(0, Centre(1));
    EXPECT_FALSE(app.m_history.CanRedo());
    frame.OnEditUndo();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(UndoTest, DesktopSettingsClearTheHistoryOnlyWhenTheDesktopIsReplaced)
{
    const struct {
        std::vector<int> buttons;
        bool bKept;
    } cases[] = { { { IDC_SAVE }, true }, { { IDCANCEL }, true }, { { IDC_REFRESH }, false },
        { { IDC_NEW, IDCANCEL }, false }, { { IDC_NEW, IDOK }, false } };
    for (const auto& c : cases) {
        Drag(Centre(1), { Centre(1).x + 10, Centre(1).y });
        Bytes();
        app.m_nCurObject = 0;
        ui.onDialog = [&](CDialog& dlg) {
            for (int id : c.buttons)
                Click(dlg, id);
        };
        frame.OnObjectProperties();
        EXPECT_EQ(app.m_history.CanUndo(), c.bKept) << c.buttons.front() << " " << c.buttons.size();
    }
}

} // namespace
