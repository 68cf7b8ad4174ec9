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

// Paths keep every byte both ways: UTF-8 names read as such, and a byte of
// any other name (Latin-1 from an old archive) as a character that comes
// back as that byte. Qt's own file names cannot hold such bytes: files are
// opened through OpenNativeFile.
QString PathToQString(const CString& path);
CString PathFromQString(const QString& path);
// A message that may hold a path: UTF-8 sequences show as the characters of
// the file name, every other byte as Windows-1252 text.
QString MessageToQString(const CString& text);

inline QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF FromQColor(const QColor& color)
{
    return RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue()));
}
