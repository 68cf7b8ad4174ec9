#pragma once
// The real application on a real display without a window, its modal interactions scripted, and objects made from real
// bitmap files:
//   TestDesktop desk;                          // 320 x 240, locked
//   const int a = desk.AddObject("A", { 10, 10, 40, 40 }, "caption");
//   frame.OnMouseMove(0, { 20, 20 });          // a CMainFrame on the side
//   EXPECT_EQ(desk.frames(), 1);               // compositions presented
// Dialog helpers work a dialog as a user would, through its Qt widgets.

#include "app/DesktopApp.h"
#include "platform/CDialog.h"
#include "support/DisplayFixture.h"
#include "support/ScriptedUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

inline LOGFONT MakeFont(const char* face, LONG height, LONG weight = 400)
{
    LOGFONT lf;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfHeight = height;
    lf.lfWeight = weight;
    return lf;
}

class TestDesktop {
public:
    explicit TestDesktop(int width = 320, int height = 240)
        : display(app, width, height)
    {
        app.m_bLocked = TRUE;
        app.m_bStartupDone = TRUE;
        app.m_lfDefault = MakeFont("DejaVu Sans", -12);
        app.m_nObjects = 1;
        app.m_aObjects[0].strName = "Background";
        app.m_aObjects[0].bVisible = TRUE;
        app.m_aRuntime[0].bVisible = TRUE;
        app.m_aRuntime[0].nState = 1;
    }
    // An object on top, its Up bitmap `image`'s size (none when empty), `caption` placed beside it or at `text`.
    int AddObject(const char* name, RECT image, const char* caption = "", bool visible = true, RECT text = {})
    {
        const int i = app.m_nObjects++;
        DesktopObject& obj = app.m_aObjects[i];
        obj.strName = name;
        obj.rcObject = { image.left, image.top, 0, 0 };
        if (image.right > image.left)
            obj.strUpImage = Bitmap(image.right - image.left, image.bottom - image.top, ColorOf(i)).c_str();
        obj.strText = caption;
        obj.rcText = text;
        obj.lfFont = app.m_lfDefault;
        obj.crText = RGB(255, 255, 255);
        obj.crHotText = RGB(255, 255, 0);
        obj.nJustify = 1087;
        obj.bVisible = visible;
        app.m_aRuntime[i].bVisible = visible;
        app.m_aRuntime[i].nState = 1;
        app.LoadObjectImages(i);
        app.CreateCaptionSurfaces(i);
        app.SetObjectColorKeys(i);
        return i;
    }
    // A one-colour bitmap file in the scratch folder.
    std::string Bitmap(int width, int height, QColor color)
    {
        const QString name = QStringLiteral("%1x%2-%3.bmp").arg(width).arg(height).arg(color.rgb(), 0, 16);
        return WriteBitmap(dir.path(), name, width, height, color);
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    // The colour of object i's generated image.
    static QColor ColorOf(int i) { return QColor::fromHsv((i * 47) % 360, 200, 100 + (i * 13) % 150); }
    // The names of objects 1 to m_nObjects - 1, in drawing order.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 1; i < app.m_nObjects; ++i)
            names.push_back(app.m_aObjects[i].strName.str());
        return names;
    }
    int frames() const { return display.target.presentations; }
    QRgb Shown(int x, int y) const { return display.target.lastFrame.pixel(x, y) & 0xFFFFFF; }
    QTemporaryDir dir;
    CDesktopApp app;
    DisplayFixture display;
    ScriptedUi ui;
};

// Dialog helpers: the dialog as a user meets it.
template<class T> T& Item(CDialog& dialog, int id)
{
    auto* control = dynamic_cast<T*>(dialog.GetDlgItem(id));
    if (!control)
        throw std::runtime_error("no control " + std::to_string(id));
    return *control;
}

inline std::string Text(CDialog& dialog, int id)
{
    return dialog.GetDlgItem(id)->GetWindowText().str();
}

inline void SetText(CDialog& dialog, int id, const std::string& text)
{
    dialog.GetDlgItem(id)->SetWindowText(text.c_str());
}

inline void Click(CDialog& dialog, int id)
{
    if (auto* button = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(id)->GetWidget()))
        button->click();
}

// The dialog's window, found through one of its buttons.
inline QWidget* DialogWindowOf(CDialog& dialog)
{
    for (int id : { IDOK, IDCANCEL }) {
        if (CControl* control = dialog.GetDlgItem(id))
            return control->GetWidget()->window();
    }
    return nullptr;
}

inline bool IsOpen(CDialog& dialog)
{
    QWidget* window = DialogWindowOf(dialog);
    return window && window->isVisible();
}

// Enter in the focused control.
inline void PressEnter(CDialog& dialog)
{
    QWidget* window = DialogWindowOf(dialog);
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(target, &press);
}
