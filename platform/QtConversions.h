#pragma once
// Where the program's strings and colours meet Qt's. Text in the program's
// strings is single-byte Windows-1252, as desktop files hold it; paths are
// file names, held as the file system's own bytes.

#include "platform/CString.h"
#include "platform/Types.h"

#include <QColor>
#include <QString>

QString ToQString(const char* text, qsizetype length);
QString ToQString(const char* text);
QString ToQString(const CString& text);
// A character that Windows-1252 cannot hold becomes '?'.
CString FromQString(const QString& text);

QString PathToQString(const CString& path);
CString PathFromQString(const QString& path);

inline QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF FromQColor(const QColor& color)
{
    return RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue()));
}
