#include "platform/Controls.h"

#include "platform/QtConversions.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

namespace {

// The position at which a sorted list inserts `text`: after every item that
// does not compare greater, ignoring case.
int SortedPosition(const QStringList& items, const QString& text)
{
    int i = 0;
    while (i < items.size() && items[i].compare(text, Qt::CaseInsensitive) <= 0)
        ++i;
    return i;
}

QStringList ComboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

void CControl::Attach(QWidget* widget, int id)
{
    m_pWidget = widget;
    m_nID = id;
}

void CControl::Detach()
{
    m_pWidget = nullptr;
    m_nID = 0;
}

CString CControl::GetWindowText() const
{
    if (auto* label = qobject_cast<QLabel*>(m_pWidget))
        return FromQString(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(m_pWidget))
        return FromQString(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(m_pWidget))
        return FromQString(group->title());
    if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        return FromQString(edit->text());
    return CString();
}

void CControl::SetWindowText(LPCSTR text)
{
    const QString value = ToQString(CString(text));
    if (auto* label = qobject_cast<QLabel*>(m_pWidget))
        label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(m_pWidget))
        button->setText(value);
    else if (auto* group = qobject_cast<QGroupBox*>(m_pWidget))
        group->setTitle(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        edit->setText(value);
}

BOOL CControl::IsWindowEnabled() const
{
    return m_pWidget && m_pWidget->isEnabled() ? TRUE : FALSE;
}

BOOL CControl::EnableWindow(BOOL bEnable)
{
    const BOOL bWasDisabled = IsWindowEnabled() ? FALSE : TRUE;
    if (m_pWidget)
        m_pWidget->setEnabled(bEnable != FALSE);
    return bWasDisabled;
}

CString CEdit::GetWindowText() const
{
    if (auto* text = qobject_cast<QPlainTextEdit*>(m_pWidget))
        return FromQString(text->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")));
    return CControl::GetWindowText();
}

void CEdit::SetWindowText(LPCSTR text)
{
    if (auto* edit = qobject_cast<QPlainTextEdit*>(m_pWidget)) {
        edit->setPlainText(ToQString(CString(text)).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        return;
    }
    CControl::SetWindowText(text);
}

CString CPathEdit::GetWindowText() const
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        return PathFromQString(edit->text());
    return CString();
}

void CPathEdit::SetWindowText(LPCSTR text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        edit->setText(PathToQString(CString(text)));
}

BOOL CEdit::IsReadOnly() const
{
    if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        return edit->isReadOnly() ? TRUE : FALSE;
    if (auto* text = qobject_cast<QPlainTextEdit*>(m_pWidget))
        return text->isReadOnly() ? TRUE : FALSE;
    return FALSE;
}

int CButton::GetCheck() const
{
    auto* button = qobject_cast<QAbstractButton*>(m_pWidget);
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck)
{
    auto* button = qobject_cast<QAbstractButton*>(m_pWidget);
    if (!button || !button->isCheckable())
        return;
    // Unchecking one radio of an exclusive group needs the group released.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(nCheck == BST_CHECKED);
    button->setAutoExclusive(exclusive);
}

int CComboBox::AddString(LPCSTR text)
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    if (!combo)
        return CB_ERR;
    const QString item = ToQString(CString(text));
    const int current = combo->currentIndex();
    const bool sorted = combo->property("sorted").toBool();
    const int index = sorted ? SortedPosition(ComboItems(combo), item) : combo->count();
    combo->insertItem(index, item);
    // Adding never changes what is selected.
    combo->setCurrentIndex(current < 0 ? -1 : (index <= current ? current + 1 : current));
    return index;
}

int CComboBox::FindStringExact(int nIndexStart, LPCSTR text) const
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    if (!combo || combo->count() == 0)
        return CB_ERR;
    const QString wanted = ToQString(CString(text));
    const int count = combo->count();
    const int first = nIndexStart < 0 || nIndexStart >= count ? 0 : nIndexStart + 1;
    for (int n = 0; n < count; ++n) {
        const int i = (first + n) % count;
        if (combo->itemText(i).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return CB_ERR;
}

int CComboBox::SetCurSel(int nSelect)
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    if (!combo)
        return CB_ERR;
    if (nSelect < 0 || nSelect >= combo->count()) {
        combo->setCurrentIndex(-1);
        return CB_ERR;
    }
    combo->setCurrentIndex(nSelect);
    return nSelect;
}

int CComboBox::GetCurSel() const
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    return combo ? combo->currentIndex() : CB_ERR;
}

int CComboBox::GetCount() const
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    return combo ? combo->count() : 0;
}

void CComboBox::GetLBText(int nIndex, CString& text) const
{
    auto* combo = qobject_cast<QComboBox*>(m_pWidget);
    text = combo && nIndex >= 0 && nIndex < combo->count() ? FromQString(combo->itemText(nIndex)) : CString();
}

CString CComboBox::GetWindowText() const
{
    CString text;
    GetLBText(GetCurSel(), text);
    return text;
}

int CListBox::AddString(LPCSTR text)
{
    auto* list = qobject_cast<QListWidget*>(m_pWidget);
    if (!list)
        return LB_ERR;
    const QString item = ToQString(CString(text));
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    const int index = list->property("sorted").toBool() ? SortedPosition(items, item) : list->count();
    list->insertItem(index, item);
    return index;
}

int CListBox::GetCurSel() const
{
    auto* list = qobject_cast<QListWidget*>(m_pWidget);
    if (!list)
        return LB_ERR;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? LB_ERR : list->row(selected.first());
}

int CListBox::SetCurSel(int nSelect)
{
    auto* list = qobject_cast<QListWidget*>(m_pWidget);
    if (!list)
        return LB_ERR;
    if (nSelect < 0 || nSelect >= list->count()) {
        list->clearSelection();
        return nSelect < 0 ? 0 : LB_ERR;
    }
    list->setCurrentRow(nSelect, QItemSelectionModel::ClearAndSelect);
    return nSelect;
}

int CListBox::GetCount() const
{
    auto* list = qobject_cast<QListWidget*>(m_pWidget);
    return list ? list->count() : 0;
}

void CListBox::GetText(int nIndex, CString& text) const
{
    auto* list = qobject_cast<QListWidget*>(m_pWidget);
    text = list && nIndex >= 0 && nIndex < list->count() ? FromQString(list->item(nIndex)->text()) : CString();
}
