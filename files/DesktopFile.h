#pragma once
// The desktop file's reader and writer, and the desktop it reads into before the
// application takes it over.

#include "app/DesktopApp.h"
#include "platform/CArchive.h"

#include <cstdint>
#include <string>
#include <vector>

// The background and 50 objects; the table's last slot is the clipboard,
// which is never saved.
inline constexpr int kMaxDesktopRecords = kTableSize - 1;

// A whole desktop as a file holds it.
struct DesktopData {
    CString strMagic; // read, never compared
    BYTE bTile = 0;
    DWORD dwBackPixel = 0;
    COLORREF crBackground = 0;
    LOGFONT lfDefault;
    std::vector<DesktopObject> aObjects; // records 0 .. count - 1
};

struct DesktopReadError {
    std::uint64_t offset = 0; // where the file stops making sense
    std::string reason;
};

// Reads a desktop file from ar: the header, then its records. A count outside
// 0..51, a string that runs past the end or is made of 16-bit characters, and
// a file that ends before its last record make it fail, telling where and why.
// A face name longer than 31 characters is cut to 31.
bool ReadDesktop(CArchive& ar, DesktopData& desktop, DesktopReadError* error = nullptr);

// Writes a desktop in the file's layout: the header, then its records.
void WriteDesktop(CArchive& ar, const DesktopData& desktop);
// Writes a whole desktop file at path; false when it could not be written, in
// which case a file that was there is left as it was.
bool WriteDesktopFile(LPCSTR path, const DesktopData& desktop);

// Hands a desktop that was read to the application: header fields and records,
// and each record's runtime slot reset to normal, unselected and hidden.
void ApplyDesktop(CDesktopApp& app, const DesktopData& desktop);

// The two halves of LoadDesktop, so that a caller can keep its desktop until
// the file has been read. ReadDesktopFile reads the file at path whole; when
// it cannot be opened or is damaged it tells the person so and returns false,
// having changed nothing. TakeLoadedDesktop then makes it the application's
// desktop: records and settings, locked, image paths rebased.
bool ReadDesktopFile(const CString& path, DesktopData& desktop);
void TakeLoadedDesktop(CDesktopApp& app, const DesktopData& desktop);

// Saves the application's desktop at path as the Save button does (picture
// paths inside the program's folder written in the form loading rebases);
// tells the person and returns false when it could not be written.
bool SaveDesktopFile(CDesktopApp& app, const CString& path);
