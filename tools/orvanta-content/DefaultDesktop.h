#pragma once
// The desktop bundled with the program: its pictures, its palette and its
// desktop file, written into a program folder.

#include <QString>

// The folder prefix that loading rewrites into the program's own folder; the
// bundled desktop names its pictures under it so that it can be installed
// anywhere.
inline constexpr char kRelocatablePrefix[] = "e:\\projects3\\tav";

// Writes <programDir>/res/palette.bmp, <programDir>/desktops/images/*.png and
// <programDir>/desktops/default.orv. On failure returns false and says why.
bool WriteDefaultDesktop(const QString& programDir, QString* error);
