#include "files/DesktopFile.h"

#include "platform/CFile.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kMagic = "ORVDEMO1.0";
// Image paths saved on the development machine point into this folder.
constexpr const char* kDevelopmentPrefix = "e:\\projects3\\tav";
constexpr int kDevelopmentPrefixLength = 16;

void WriteFlag(CArchive& ar, BYTE bFlag)
{
    ar << DWORD(bFlag ? 1 : 0);
}

void WriteRect(CArchive& ar, const RECT& rc)
{
    ar << rc.left << rc.top << rc.right << rc.bottom;
}

void WriteFont(CArchive& ar, const LOGFONT& lf)
{
    ar << lf.lfHeight << lf.lfWidth << lf.lfEscapement << lf.lfOrientation << lf.lfWeight;
    ar << lf.lfItalic << lf.lfUnderline << lf.lfStrikeOut << lf.lfCharSet;
    ar << lf.lfOutPrecision << lf.lfClipPrecision << lf.lfQuality << lf.lfPitchAndFamily;
    ar << CString(lf.lfFaceName, int(strnlen(lf.lfFaceName, LF_FACESIZE)));
}

void WriteObject(CArchive& ar, const DesktopObject& object)
{
    ar << object.strName;
    ar << object.dwReserved;
    ar << object.strText;
    WriteRect(ar, object.rcText);
    WriteFont(ar, object.lfFont);
    ar << object.dwTextPixel << object.crText;
    ar << object.dwHotTextPixel << object.crHotText;
    ar << LONG(object.nJustify);
    ar << object.strUpImage << object.strDownImage << object.strMouseImage;
    WriteRect(ar, object.rcObject);
    ar << object.strActivate;
    WriteFlag(ar, object.bVisible);
    WriteFlag(ar, object.bTextOnMouseOver);
    ar << object.strAction;
}

void ReadFlag(CArchive& ar, BYTE& bFlag)
{
    DWORD value = 0;
    ar >> value;
    bFlag = value != 0 ? 1 : 0;
}

void ReadRect(CArchive& ar, RECT& rc)
{
    ar >> rc.left >> rc.top >> rc.right >> rc.bottom;
}

void ReadFont(CArchive& ar, LOGFONT& lf)
{
    ar >> lf.lfHeight >> lf.lfWidth >> lf.lfEscapement >> lf.lfOrientation >> lf.lfWeight;
    ar >> lf.lfItalic >> lf.lfUnderline >> lf.lfStrikeOut >> lf.lfCharSet;
    ar >> lf.lfOutPrecision >> lf.lfClipPrecision >> lf.lfQuality >> lf.lfPitchAndFamily;
    CString faceName;
    ar >> faceName;
    std::memset(lf.lfFaceName, 0, LF_FACESIZE);
    std::memcpy(lf.lfFaceName, faceName.str().data(), size_t(std::min(faceName.GetLength(), LF_FACESIZE - 1)));
}

void ReadObject(CArchive& ar, DesktopObject& object)
{
    ar >> object.strName;
    ar >> object.dwReserved;
    ar >> object.strText;
    ReadRect(ar, object.rcText);
    ReadFont(ar, object.lfFont);
    ar >> object.dwTextPixel >> object.crText;
    ar >> object.dwHotTextPixel >> object.crHotText;
    LONG nJustify = 0;
    ar >> nJustify;
    object.nJustify = nJustify;
    ar >> object.strUpImage >> object.strDownImage >> object.strMouseImage;
    ReadRect(ar, object.rcObject);
    ar >> object.strActivate;
    ReadFlag(ar, object.bVisible);
    ReadFlag(ar, object.bTextOnMouseOver);
    ar >> object.strAction;
}

std::string FailureReason(const CArchive& ar)
{
    switch (ar.GetFailure()) {
    case CArchive::Failure::unsupportedString:
        return "a string of 16-bit characters (prefix FF FE FF)";
    case CArchive::Failure::endOfFile:
        return "the file ends";
    default:
        return "the file cannot be read";
    }
}

// The development folder prefix, compared ignoring case, becomes the
// program's folder; the rest of the path keeps its case.
void RebaseImagePath(CString& strPath, const CString& strAppDir)
{
    if (strPath.GetLength() < kDevelopmentPrefixLength)
        return;
    CString strPrefix = strPath.Left(kDevelopmentPrefixLength);
    strPrefix.MakeLower();
    if (strPrefix == kDevelopmentPrefix)
        strPath = strAppDir + strPath.Mid(kDevelopmentPrefixLength);
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The inverse for saving: a path inside the program's folder goes back under
// the development prefix, so that the desktop follows the folder when it
// moves. Only the folder itself or a path continuing with a separator is
// inside, either separator matching either; the rest keeps its bytes, so
// loading gives the same file again.
void PortableImagePath(CString& strPath, const CString& strAppDir)
{
    const std::string& path = strPath.str();
    const std::string& dir = strAppDir.str();
    const auto same = [](char a, char b) { return a == b || (IsSeparator(a) && IsSeparator(b)); };
    if (dir.empty() || path.size() < dir.size() || !std::equal(dir.begin(), dir.end(), path.begin(), same))
        return;
    if (path.size() > dir.size() && !IsSeparator(path[dir.size()]))
        return;
    strPath = CString(kDevelopmentPrefix) + strPath.Mid(int(dir.size()));
}

}

bool ReadDesktop(CArchive& ar, DesktopData& desktop, DesktopReadError* error)
{
    const auto fail = [&](std::uint64_t offset, std::string reason) {
        if (error)
            *error = { offset, std::move(reason) };
        return false;
    };

    ar >> desktop.strMagic;
    const std::uint64_t countAt = ar.GetPosition();
    LONG nCount = 0;
    ar >> nCount;
    if (!ar.Failed() && (nCount < 0 || nCount > kMaxDesktopRecords))
        return fail(countAt, "object count " + std::to_string(nCount) + " is outside 0 to 51");
    ReadFlag(ar, desktop.bTile);
    ar >> desktop.dwBackPixel >> desktop.crBackground;
    ReadFont(ar, desktop.lfDefault);
    if (ar.Failed())
        return fail(ar.GetPosition(), "header: " + FailureReason(ar));

    desktop.aObjects.assign(size_t(nCount), DesktopObject());
    for (int i = 0; i < nCount; ++i) {
        ReadObject(ar, desktop.aObjects[size_t(i)]);
        if (ar.Failed())
            return fail(ar.GetPosition(), "record " + std::to_string(i) + ": " + FailureReason(ar));
    }
    return true;
}

void ApplyDesktop(CDesktopApp& app, const DesktopData& desktop)
{
    app.m_nObjects = std::min(int(desktop.aObjects.size()), kMaxDesktopRecords);
    app.m_bTile = desktop.bTile;
    app.m_dwBackPixel = desktop.dwBackPixel;
    app.m_crBackground = desktop.crBackground;
    app.m_lfDefault = desktop.lfDefault;
    for (int i = 0; i < app.m_nObjects; ++i) {
        app.m_aObjects[i] = desktop.aObjects[size_t(i)];
        ObjectRuntime& runtime = app.m_aRuntime[i];
        runtime.bSelected = FALSE;
        runtime.bVisible = FALSE;
        runtime.nState = 1;
        runtime.nActivates = 0;
    }
}

void WriteDesktop(CArchive& ar, const DesktopData& desktop)
{
    ar << CString(kMagic);
    ar << LONG(desktop.aObjects.size());
    WriteFlag(ar, desktop.bTile);
    ar << desktop.dwBackPixel << desktop.crBackground;
    WriteFont(ar, desktop.lfDefault);
    for (const DesktopObject& object : desktop.aObjects)
        WriteObject(ar, object);
}

bool WriteDesktopFile(LPCSTR path, const DesktopData& desktop)
{
    // Written beside the target, which is replaced only when every byte has
    // reached the disk: a failed save leaves the old file as it was.
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite))
        return false;
    CArchive ar(&file, CArchive::store);
    WriteDesktop(ar, desktop);
    ar.Close();
    if (ar.Failed() || !file.Close()) {
        file.Abort();
        return false;
    }
    return true;
}

bool SaveDesktopFile(CDesktopApp& app, const CString& path)
{
    DesktopData desktop;
    desktop.bTile = app.m_bTile;
    desktop.dwBackPixel = app.m_dwBackPixel;
    desktop.crBackground = app.m_crBackground;
    desktop.lfDefault = app.m_lfDefault;
    desktop.aObjects.assign(app.m_aObjects, app.m_aObjects + app.m_nObjects);
    for (DesktopObject& object : desktop.aObjects) {
        PortableImagePath(object.strUpImage, app.m_strAppDir);
        PortableImagePath(object.strDownImage, app.m_strAppDir);
        PortableImagePath(object.strMouseImage, app.m_strAppDir);
    }
    if (WriteDesktopFile(path, desktop)) {
        app.m_abSavedDesktop = app.DesktopBytes();
        return true;
    }
    AfxMessageBox("Desktop file could not be saved!", MB_OK, 0);
    return false;
}

void CDesktopApp::SaveDesktop()
{
    SaveDesktopFile(*this, m_strDesktopFile);
}

bool ReadDesktopFile(const CString& path, DesktopData& desktop)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        AfxMessageBox("Desktop file could not be opened!", MB_OK, 0);
        return false;
    }

    // The file is read whole before anyone takes it over: a damaged file (bad
    // count, bad string, ends early) changes nothing at all.
    bool bComplete = false;
    {
        CArchive ar(&file, CArchive::load);
        bComplete = ReadDesktop(ar, desktop);
        ar.Close();
    }
    file.Close();
    if (!bComplete) {
        AfxMessageBox("Desktop file is damaged and could not be loaded!", MB_OK, 0);
        return false;
    }
    return true;
}

void TakeLoadedDesktop(CDesktopApp& app, const DesktopData& desktop)
{
    ApplyDesktop(app, desktop);

    app.m_bLocked = TRUE;

    for (int i = 0; i < app.m_nObjects; ++i) {
        RebaseImagePath(app.m_aObjects[i].strUpImage, app.m_strAppDir);
        RebaseImagePath(app.m_aObjects[i].strDownImage, app.m_strAppDir);
        RebaseImagePath(app.m_aObjects[i].strMouseImage, app.m_strAppDir);
    }
    app.m_abSavedDesktop = app.DesktopBytes();
}

std::vector<BYTE> CDesktopApp::DesktopBytes() const
{
    DesktopData desktop;
    desktop.bTile = m_bTile;
    desktop.dwBackPixel = m_dwBackPixel;
    desktop.crBackground = m_crBackground;
    desktop.lfDefault = m_lfDefault;
    desktop.aObjects.assign(m_aObjects, m_aObjects + m_nObjects);
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    WriteDesktop(ar, desktop);
    ar.Close();
    return file.Detach();
}

// A file that cannot be opened or is damaged leaves m_nObjects, the records,
// the runtime slots, the settings and the lock as they were.
void CDesktopApp::LoadDesktop()
{
    DesktopData desktop;
    if (ReadDesktopFile(m_strDesktopFile, desktop))
        TakeLoadedDesktop(*this, desktop);
}
