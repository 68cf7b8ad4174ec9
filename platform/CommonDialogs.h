#pragma once
// The file, colour and font choosers. With a UI script installed they ask the
// script instead of showing.

#include "platform/CFrameWnd.h"
#include "platform/CString.h"
#include "platform/Types.h"

#include <QFont>
#include <QStringList>

inline constexpr DWORD CC_RGBINIT = 0x1;
inline constexpr DWORD CC_FULLOPEN = 0x2;
inline constexpr DWORD CC_ENABLEHOOK = 0x10;
inline constexpr DWORD CC_ANYCOLOR = 0x100;

inline constexpr DWORD CF_SCREENFONTS = 0x1;
inline constexpr DWORD CF_ENABLEHOOK = 0x8;
inline constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x40;
inline constexpr DWORD CF_EFFECTS = 0x100;
inline constexpr DWORD CF_FORCEFONTEXIST = 0x10000;

struct OPENFILENAME {
    DWORD Flags = 0;
    LPCSTR lpstrInitialDir = nullptr; // nullptr: the chooser's default folder
};

struct CHOOSECOLOR {
    COLORREF rgbResult = 0;
    DWORD Flags = 0;
};

struct CHOOSEFONT {
    LOGFONT* lpLogFont = nullptr;
    DWORD Flags = 0;
};

// Open or save. Any file name is accepted, existing or not, and saving over
// an existing file does not ask.
class CFileDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr, DWORD dwFlags = 0,
        LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);

    int DoModal();
    // The chosen file's full path as the file system names it, with '/'.
    CString GetPathName() const { return m_strPathName; }

    OPENFILENAME m_ofn;

private:
    BOOL m_bOpen;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    CString m_strPathName;
};

class CColorDialog {
public:
    explicit CColorDialog(COLORREF clrInit = 0, DWORD dwFlags = 0, CWnd* pParentWnd = nullptr);

    int DoModal();

    CHOOSECOLOR m_cc;
};

// Screen fonts only, no effects offered.
class CFontDialog {
public:
    explicit CFontDialog(LOGFONT* lplfInitial = nullptr, DWORD dwFlags = CF_EFFECTS | CF_SCREENFONTS,
        void* pdcPrinter = nullptr, CWnd* pParentWnd = nullptr);

    int DoModal();
    // The chosen font; its caption height in pixels is what the chooser showed.
    void GetCurrentFont(LOGFONT* lplf) const { *lplf = m_lf; }

    CHOOSEFONT m_cf;

private:
    LOGFONT m_lf;
};

// The Qt name filters of a filter string such as "Bitmap Files (*.bmp)|*.bmp||".
QStringList NameFiltersFromFilter(LPCSTR filter);
// A font as the chooser shows it, and back.
QFont QFontFromLogFont(const LOGFONT& lf);
LOGFONT LogFontFromQFont(const QFont& font, const LOGFONT& base);
