#pragma once
// Desktop files as JSON, for people who keep desktops under version control
// or repair them by hand. Each stored byte b is the character U+00bb, so the
// JSON and the bytes are exact inverses.

#include "files/DesktopFile.h"

#include <QByteArray>
#include <QString>

#include <ostream>

QByteArray DesktopToJson(const DesktopData& desktop);

// False with a one-line reason when json does not describe a desktop that
// the writer can store: every key present and no other, numbers whole and
// within their field's range, "count" equal to the number of objects.
bool DesktopFromJson(const QByteArray& json, DesktopData& desktop, QString* error);

// The inspector's commands. Exit status 0, or 1 with one line on err.
int DumpDesktopFile(const char* orvPath, std::ostream& out, std::ostream& err);
int BuildDesktopFile(const char* jsonPath, const char* orvPath, std::ostream& err);
