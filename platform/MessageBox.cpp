#include "platform/MessageBox.h"
#include "platform/QtConversions.h"

#include "platform/UiScript.h"

#include <QMessageBox>

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    if (UiScript* script = CurrentUiScript())
        return script->answerMessageBox(CString(text), type);

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orvanta"), MessageToQString(CString(text)));
    // Shown as written: a path or a name is never taken for markup.
    box.setTextFormat(Qt::PlainText);
    if (type == MB_OKCANCEL) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setIcon(QMessageBox::Question);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setIcon(QMessageBox::Warning);
    }
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}
