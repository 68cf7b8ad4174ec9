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

void CDesktopApp::SaveDesktop()
{
    DesktopData desktop;
    desktop.bTile = m_bTile;
    desktop.dwBackPixel = m_dwBackPixel;
    desktop.crBackground = m_crBackground;
    desktop.lfDefault = m_lfDefault;
    desktop.aObjects.assign(m_aObjects, m_aObjects + m_nObjects);
    if (!WriteDesktopFile(m_strDesktopFile, desktop))
        AfxMessageBox("Desktop file could not be saved!", MB_OK, 0);
    else
        m_abSavedDesktop = DesktopBytes();
}

void CDesktopApp::LoadDesktop()
{
    CFile file;
    if (!file.Open(m_strDesktopFile, CFile::modeRead)) {
        AfxMessageBox("Desktop file could not be opened!", MB_OK, 0);
        return;
    }

    // The file is read whole before the desktop takes it over. A damaged file
    // (bad count, bad string, ends early) changes nothing at all: m_nObjects,
    // the records, the runtime slots, the settings and the lock stay as they
    // were, and the user is told the file is damaged.
    DesktopData desktop;
    bool bComplete = false;
    {
        CArchive ar(&file, CArchive::load);
        bComplete = ReadDesktop(ar, desktop);
        ar.Close();
    }
    file.Close();
    if (!bComplete) {
        AfxMessageBox("Desktop file is damaged and could not be loaded!", MB_OK, 0);
        return;
    }
    ApplyDesktop(*this, desktop);

    m_bLocked = TRUE;

    for (int i = 0; i < m_nObjects; ++i) {
        RebaseImagePath(m_aObjects[i].strUpImage, m_strAppDir);
        RebaseImagePath(m_aObjects[i].strDownImage, m_strAppDir);
        RebaseImagePath(m_aObjects[i].strMouseImage, m_strAppDir);
    }
    m_abSavedDesktop = DesktopBytes();
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
