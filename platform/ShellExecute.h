#pragma once
// Running an object's action, asked for as the shell is asked to open
// something. On this system that is, in this order: a link with a scheme
// (its scheme's default application), an application entry (.desktop, by
// file or id), an existing file or folder (its type's default application;
// a program runs), else a command line split as a shell splits it, without
// a shell. GLib's GIO finds and starts applications the freedesktop way.

#include "platform/CString.h"
#include "platform/PresentTarget.h"
#include "platform/Types.h"

#include <cstdint>

using INT_PTR = std::intptr_t;

inline constexpr int SW_SHOWNORMAL = 1;

// Results of 32 and below are failures; above, it started.
inline constexpr INT_PTR SE_ERR_FNF = 2; // no such program, file or folder
inline constexpr INT_PTR SE_ERR_PNF = 3; // a Windows path
inline constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
inline constexpr INT_PTR SE_ERR_OOM = 8; // the system could not start it
inline constexpr INT_PTR ERROR_BAD_FORMAT = 11; // no well-formed command line
inline constexpr INT_PTR SE_ERR_ASSOCINCOMPLETE = 27; // an application entry that cannot run
inline constexpr INT_PTR SE_ERR_NOASSOC = 31; // no application opens it
inline constexpr INT_PTR SE_SUCCESS = 42;

// Opens lpFile (lpOperation "open" or null). lpParameters, when not null,
// are further words of a command line, or files for an application entry.
// Everything runs detached in lpDirectory (null: the home folder), without
// Orvanta's file descriptors, and is never waited for; the pointer shows
// the busy cursor for a moment after a start. hwnd and nShowCmd are unused.
// With a UI script installed, the script is told what would start instead.
INT_PTR ShellExecute(
    HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory, int nShowCmd);

// Why ShellExecute failed, a sentence for the user.
LPCSTR ShellExecuteErrorText(INT_PTR nResult);

// Whether no other user could have written the file: the user or the system
// (root, who can write anything anyway) owns it, and neither its group nor
// others may write it.
BOOL IsFileOwnedByUser(LPCSTR path);

// What the shell shows for a file, folder, application entry or link: its
// name, and its icon as a picture name the desktop takes (an icon of the
// user's theme, or a picture's path).
struct SHFILEINFO {
    CString szDisplayName;
    CString szIconName;
};

// An entry: its Name and Icon; a file or folder: its name and its type's
// icon; a link: its host (or the link) and a web icon. FALSE for what is
// none of these (a missing file, an entry that cannot run).
BOOL SHGetFileInfo(LPCSTR pszPath, SHFILEINFO* psfi);
