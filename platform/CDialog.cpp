#include "platform/CDialog.h"
#include "platform/QtConversions.h"

#include "platform/DialogTemplate.h"
#include "platform/UiScript.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <qdrawutil.h>

#include <functional>

namespace {

// A template text as read aloud: mnemonic markers gone ("&&" is a literal '&'),
// and a label's closing colon.
QString AccessibleText(const char* text)
{
    QString plain;
    const QString source = ToQString(text);
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] == u'&' && ++i == source.size())
            break;
        plain += source[i];
    }
    plain = plain.trimmed();
    if (plain.endsWith(u':'))
        plain.chop(1);
    return plain;
}

// A read-only edit shows the window colour behind its text, so that it does
// not look like a field to type in.
void ShowAsReadOnly(QWidget* edit)
{
    QPalette palette = edit->palette();
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
        palette.setBrush(group, QPalette::Base, palette.brush(group, QPalette::Window));
    edit->setPalette(palette);
}

// A single-line edit whose background can come from the dialog's OnCtlColor.
class DialogEdit : public QLineEdit {
public:
    std::function<HBRUSH()> brush;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        HBRUSH handle = brush ? brush() : nullptr;
        if (!handle) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(handle->GetColor()));
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
        painter.drawText(rect().adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
    }
};

// A multi-line edit framed as the single-line ones are, so that its frame
// shows whole at any scale: at a fractional scale the frame a scroll area
// draws falls partly outside its own widget, and its viewport, rounded
// outwards to whole device pixels, paints over the rest. A logical pixel of
// margin keeps the viewport off the frame.
class DialogTextEdit : public QPlainTextEdit {
public:
    explicit DialogTextEdit(QWidget* parent)
        : QPlainTextEdit(parent)
    {
        setViewportMargins(1, 1, 1, 1);
    }

protected:
    // The widget's own paint, not its viewport's: the frame.
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return QPlainTextEdit::event(event);
        QPainter painter(this);
        QStyleOptionFrame panel;
        panel.initFrom(this);
        panel.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
        panel.midLineWidth = 0;
        panel.state |= QStyle::State_Sunken;
        if (isReadOnly())
            panel.state |= QStyle::State_ReadOnly;
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
        return true;
    }
};

} // namespace

// The dialog's window: builds the template's controls and routes their
// notifications to the CDialog.
class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& dialog, const DialogTemplate& dlgTemplate);

    QWidget* control(int id) const { return m_controls.value(id, nullptr); }
    const DialogControl* controlData(int id) const;

    // Pixels from dialog units, with the dialog font's average character size.
    QRect toPixels(int x, int y, int cx, int cy) const
    {
        return QRect(x * m_baseX / 4, y * m_baseY / 8, cx * m_baseX / 4, cy * m_baseY / 8);
    }

    void reject() override { m_dialog.OnCommand(IDCANCEL, BN_CLICKED); }

    // The first control that Tab reaches takes the focus, an edit with its
    // text selected, as when Tab reaches it.
    void focusFirstControl();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QWidget* createControl(const DialogControl& control);

    CDialog& m_dialog;
    const DialogTemplate& m_template;
    QHash<int, QWidget*> m_controls;
    int m_baseX = 0;
    int m_baseY = 0;
};

DialogWindow::DialogWindow(CDialog& dialog, const DialogTemplate& dlgTemplate)
    : QDialog(nullptr, dlgTemplate.caption ? Qt::Dialog : Qt::Dialog | Qt::FramelessWindowHint)
    , m_dialog(dialog)
    , m_template(dlgTemplate)
{
    QFont font(ToQString(dlgTemplate.fontFace), dlgTemplate.fontPointSize);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    const QFontMetrics metrics(font);
    m_baseX
        = (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1)
        / 2;
    m_baseY = metrics.height();

    if (dlgTemplate.caption)
        setWindowTitle(ToQString(dlgTemplate.caption));
    setFixedSize(toPixels(0, 0, dlgTemplate.cx, dlgTemplate.cy).size());
    setModal(true);

    // Children are created in template order, which is also the tab order.
    // A screen reader names a field by the label or group box before it (by
    // the dialog's caption when there is none), a button by its text.
    QString label;
    for (const DialogControl& control : dlgTemplate.controls) {
        QWidget* widget = createControl(control);
        widget->setFont(font);
        switch (control.kind) {
        case ControlKind::Static:
            if (control.text && *control.text)
                label = AccessibleText(control.text);
            break;
        case ControlKind::Frame:
            break;
        case ControlKind::GroupBox:
            label = AccessibleText(control.text);
            widget->setAccessibleName(label);
            break;
        case ControlKind::Edit:
        case ControlKind::ComboBox:
        case ControlKind::ListBox:
            widget->setAccessibleName(label.isEmpty() ? windowTitle() : label);
            label.clear();
            break;
        default:
            widget->setAccessibleName(AccessibleText(control.text));
            label.clear();
            break;
        }
        if (control.style & CS_DISABLED)
            widget->setEnabled(false);
        QRect geometry = toPixels(control.x, control.y, control.cx, control.cy);
        // A drop-down's template height is that of its open list.
        if (control.kind == ControlKind::ComboBox)
            geometry.setHeight(widget->sizeHint().height());
        widget->setGeometry(geometry);
        if (control.id != IDC_STATIC)
            m_controls.insert(control.id, widget);
    }
}

const DialogControl* DialogWindow::controlData(int id) const
{
    for (const DialogControl& control : m_template.controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

void DialogWindow::focusFirstControl()
{
    for (QWidget* widget = nextInFocusChain(); widget != this; widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisibleTo(this)) {
            widget->setFocus(Qt::TabFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(widget))
                edit->selectAll();
            return;
        }
    }
}

QWidget* DialogWindow::createControl(const DialogControl& control)
{
    const QString text = ToQString(control.text);
    const int id = control.id;
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(text, this);
        label->setAlignment((control.style & CS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        return label;
    }
    case ControlKind::Frame: {
        auto* frame = new QFrame(this);
        frame->setAutoFillBackground(true);
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Window, Qt::black);
        frame->setPalette(palette);
        return frame;
    }
    case ControlKind::Edit: {
        if (control.style & CS_MULTILINE) {
            // Long lines scroll sideways, as captions are drawn, instead of wrapping.
            auto* edit = new DialogTextEdit(this);
            edit->setTabChangesFocus(true);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            edit->setReadOnly(control.style & CS_READONLY);
            if (edit->isReadOnly())
                ShowAsReadOnly(edit);
            return edit;
        }
        auto* edit = new DialogEdit;
        edit->setParent(this);
        edit->setReadOnly(control.style & CS_READONLY);
        if (edit->isReadOnly())
            ShowAsReadOnly(edit);
        edit->brush = [this, id] {
            CDC dc;
            return m_dialog.CtlColor(&dc, id);
        };
        return edit;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(true);
        button->setDefault(control.style & CS_DEFAULT);
        connect(button, &QPushButton::clicked, this, [this, id] { m_dialog.OnCommand(UINT(id), BN_CLICKED); });
        return button;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, this);
        connect(box, &QCheckBox::clicked, this, [this, id] { m_dialog.OnCommand(UINT(id), BN_CLICKED); });
        return box;
    }
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(text, this);
        connect(radio, &QRadioButton::clicked, this, [this, id] { m_dialog.OnCommand(UINT(id), BN_CLICKED); });
        return radio;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(text, this);
        group->setFocusPolicy(Qt::NoFocus);
        return group;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        combo->setProperty("sorted", bool(control.style & CS_SORTED));
        return combo;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(this);
        list->setProperty("sorted", bool(control.style & CS_SORTED));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        if (control.style & CS_NOTIFY)
            connect(
                list, &QListWidget::itemDoubleClicked, this, [this, id] { m_dialog.OnCommand(UINT(id), LBN_DBLCLK); });
        return list;
    }
    }
    return new QWidget(this);
}

void DialogWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_template.caption)
        qDrawShadePanel(&painter, rect(), palette(), false, 1);
    m_dialog.m_pPainter = &painter;
    m_dialog.OnPaint();
    m_dialog.m_pPainter = nullptr;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CControl& control)
{
    CDialog* dialog = pDX->m_pDlgWnd;
    control.Attach(dialog->ControlWidget(nIDC), nIDC);
    dialog->m_bound[nIDC] = &control;
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate)
    , m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    m_pTemplate = FindDialogTemplate(m_nIDTemplate);
    if (!m_pTemplate)
        return -1;
    m_bEnded = false;
    m_nResult = IDCANCEL;
    m_window = std::make_unique<DialogWindow>(*this, *m_pTemplate);

    // FALSE: the dialog has set the focus itself.
    if (OnInitDialog() && !m_bEnded)
        m_window->focusFirstControl();
    if (!m_bEnded) {
        if (UiScript* script = CurrentUiScript()) {
            m_window->show();
            m_window->activateWindow();
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            script->runDialog(*this);
            if (!m_bEnded)
                OnCommand(IDCANCEL, BN_CLICKED);
            if (!m_bEnded)
                EndDialog(IDCANCEL);
        } else {
            // Take the keyboard at once, so Enter and Escape reach the dialog.
            m_window->show();
            m_window->activateWindow();
            m_window->exec();
        }
    }

    OnDestroy();
    for (auto& [id, control] : m_bound)
        control->Detach();
    m_bound.clear();
    m_items.clear();
    m_window.reset();
    return m_nResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nResult = nResult;
    m_bEnded = true;
    if (m_window)
        m_window->done(nResult);
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx;
    dx.m_pDlgWnd = this;
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) { }

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(UINT nID, UINT nCode)
{
    if (nCode != BN_CLICKED)
        return FALSE;
    switch (nID) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

HBRUSH CDialog::OnCtlColor(CDC*, CWnd*, UINT)
{
    return nullptr;
}

void CDialog::OnDestroy() { }

void CDialog::OnPaint() { }

QWidget* CDialog::ControlWidget(int nID) const
{
    return m_window ? m_window->control(nID) : nullptr;
}

HBRUSH CDialog::CtlColor(CDC* pDC, int nID)
{
    const DialogControl* data = m_window ? m_window->controlData(nID) : nullptr;
    const bool isStatic = data && (data->style & (CS_DISABLED | CS_READONLY));
    return OnCtlColor(pDC, GetDlgItem(nID), isStatic ? CTLCOLOR_STATIC : CTLCOLOR_EDIT);
}

CControl* CDialog::GetDlgItem(int nID)
{
    if (auto bound = m_bound.find(nID); bound != m_bound.end())
        return bound->second;
    if (auto item = m_items.find(nID); item != m_items.end())
        return item->second.get();
    const DialogControl* data = m_window ? m_window->controlData(nID) : nullptr;
    if (!data || nID == IDC_STATIC)
        return nullptr;
    std::unique_ptr<CControl> control;
    switch (data->kind) {
    case ControlKind::Edit:
        control = std::make_unique<CEdit>();
        break;
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
        control = std::make_unique<CButton>();
        break;
    case ControlKind::ComboBox:
        control = std::make_unique<CComboBox>();
        break;
    case ControlKind::ListBox:
        control = std::make_unique<CListBox>();
        break;
    default:
        control = std::make_unique<CControl>();
        break;
    }
    control->Attach(ControlWidget(nID), nID);
    return (m_items[nID] = std::move(control)).get();
}

void CDialog::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (auto* button = dynamic_cast<CButton*>(GetDlgItem(id)))
            button->SetCheck(id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED);
}

int CDialog::GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton)
{
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (auto* button = dynamic_cast<CButton*>(GetDlgItem(id)); button && button->GetCheck() == BST_CHECKED)
            return id;
    return 0;
}

void CDialog::InvalidateRect(const RECT*, BOOL)
{
    if (!m_window)
        return;
    m_window->update();
    for (QWidget* child : m_window->findChildren<QWidget*>())
        child->update();
}
