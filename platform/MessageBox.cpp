#include "platform/MessageBox.h"
#include "platform/QtConversions.h"

#include "platform/UiScript.h"

#include <QAbstractButton>
#include <QMessageBox>

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    if (UiScript* script = CurrentUiScript())
        return script->answerMessageBox(CString(text), type);

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orvanta"), MessageToQString(CString(text)));
    // Shown as written: a path or a name is never taken for markup.
    box.setTextFormat(Qt::PlainText);
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    if (type == MB_YESNOCANCEL) {
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        // Mnemonics, so that a key answers as in the other boxes.
        box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
        box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
        box.setIcon(QMessageBox::Question);
        defaultButton = QMessageBox::Save;
    } else if (type == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setIcon(QMessageBox::Question);
        defaultButton = QMessageBox::Yes;
    } else if (type == MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setIcon(QMessageBox::Question);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setIcon(QMessageBox::Warning);
    }
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Save:
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::Discard:
    case QMessageBox::No:
        return IDNO;
    default:
        // Closed without a button (Escape): Cancel, or No where there is none.
        return type == MB_YESNO ? IDNO : IDCANCEL;
    }
}
