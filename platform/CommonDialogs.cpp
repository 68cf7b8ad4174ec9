#include "platform/CommonDialogs.h"
#include "platform/QtConversions.h"

#include "platform/Controls.h"
#include "platform/Font.h"
#include "platform/Path.h"
#include "platform/UiScript.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

double ScreenDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

// The chooser finds a font's style by name, and a family without a style of
// the generic name ("Normal", "Bold") falls back to its first one, which may
// be slanted: the font is named by the family's own style nearest to it.
QFont WithStyleName(QFont font)
{
    const QString family = font.family();
    QString best;
    int bestDistance = INT_MAX;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) != font.italic())
            continue;
        // Of equal weights the plainest name: "Book" before "Condensed".
        const int distance = std::abs(QFontDatabase::weight(family, style) - font.weight()) * 100 + int(style.size());
        if (distance < bestDistance) {
            best = style;
            bestDistance = distance;
        }
    }
    if (!best.isEmpty())
        font.setStyleName(best);
    return font;
}

} // namespace

QStringList NameFiltersFromFilter(LPCSTR filter)
{
    // Pairs of description and pattern, separated by '|', ended by "||".
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the parentheses of the description.
        filters << (parts[i].contains(QLatin1Char('(')) ? parts[i] : parts[i] + QStringLiteral(" (%1)").arg(patterns));
    }
    return filters;
}

QFont QFontFromLogFont(const LOGFONT& lf)
{
    QFont font(ToQString(lf.lfFaceName, qsizetype(strnlen(lf.lfFaceName, LF_FACESIZE))));
    // The chooser works in points; it starts at the size captions are drawn
    // in, which for a cell height is less than the height itself.
    if (lf.lfHeight != 0)
        font.setPointSizeF(FontFromLogFont(lf).pixelSize() * 72.0 / ScreenDpi());
    if (lf.lfWeight != 0)
        font.setWeight(QFont::Weight(std::clamp<int>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    return font;
}

LOGFONT LogFontFromQFont(const QFont& font, const LOGFONT& base)
{
    LOGFONT lf = base;
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * ScreenDpi() / 72.0);
    lf.lfHeight = -pixels;
    lf.lfWidth = 0;
    lf.lfWeight = LONG(font.weight());
    lf.lfItalic = font.italic() ? 1 : 0;
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    const CString face = FromQString(font.family());
    std::memcpy(lf.lfFaceName, LPCSTR(face), std::min(size_t(face.GetLength()), size_t(LF_FACESIZE - 1)));
    return lf;
}

CFileDialog::CFileDialog(
    BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags, LPCSTR lpszFilter, CWnd*)
    : m_bOpen(bOpenFileDialog)
    , m_strDefExt(lpszDefExt)
    , m_strFileName(lpszFileName)
    , m_strFilter(lpszFilter)
{
    m_ofn.Flags = dwFlags;
}

int CFileDialog::DoModal()
{
    m_strPathName.Empty();
    FileDialogRequest request;
    request.open = m_bOpen != FALSE;
    request.defaultExtension = m_strDefExt;
    request.fileName = m_strFileName;
    request.initialDir = CString(m_ofn.lpstrInitialDir);
    request.filter = m_strFilter;

    QString chosen;
    if (UiScript* script = CurrentUiScript()) {
        std::optional<CString> answer = script->chooseFile(request);
        if (!answer || answer->IsEmpty())
            return IDCANCEL;
        chosen = PathToQString(*answer);
    } else {
        QFileDialog dialog;
        dialog.setAcceptMode(m_bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilters(NameFiltersFromFilter(m_strFilter));
        QString suffix = ToQString(m_strDefExt);
        suffix.remove(QLatin1Char('*'));
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        if (!request.initialDir.IsEmpty())
            dialog.setDirectory(PathToQString(CString(NativePath(request.initialDir))));
        // A wildcard name only repeats the filter.
        const QString name = PathToQString(m_strFileName);
        if (!name.isEmpty() && !name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
            dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return IDCANCEL;
        chosen = dialog.selectedFiles().first();
    }
    m_strPathName = PathFromQString(chosen);
    return IDOK;
}

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd*)
{
    m_cc.rgbResult = clrInit;
    m_cc.Flags = dwFlags;
}

int CColorDialog::DoModal()
{
    if (UiScript* script = CurrentUiScript()) {
        std::optional<COLORREF> answer = script->chooseColor(m_cc.rgbResult);
        if (!answer)
            return IDCANCEL;
        m_cc.rgbResult = *answer & 0xFFFFFF;
        return IDOK;
    }
    const COLORREF initial = m_cc.rgbResult;
    const QColor color = QColorDialog::getColor(ToQColor(initial));
    if (!color.isValid())
        return IDCANCEL;
    m_cc.rgbResult = RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue()));
    return IDOK;
}

CFontDialog::CFontDialog(LOGFONT* lplfInitial, DWORD dwFlags, void*, CWnd*)
{
    m_cf.lpLogFont = lplfInitial;
    m_cf.Flags = dwFlags;
}

int CFontDialog::DoModal()
{
    LOGFONT initial;
    if (m_cf.lpLogFont && (m_cf.Flags & CF_INITTOLOGFONTSTRUCT))
        initial = *m_cf.lpLogFont;

    const QFont start = QFontFromLogFont(initial);
    if (UiScript* script = CurrentUiScript()) {
        // The script sees the font as the chooser shows it.
        std::optional<LOGFONT> answer = script->chooseFont(LogFontFromQFont(start, initial));
        if (!answer)
            return IDCANCEL;
        m_lf = *answer;
    } else {
        QFontDialog dialog(WithStyleName(start));
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        // Underline and strike-out are not offered. Their box keeps its room:
        // the Sample box beside it would otherwise shrink to nothing.
        if (!(m_cf.Flags & CF_EFFECTS))
            for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
                if (auto* group = qobject_cast<QGroupBox*>(box->parentWidget())) {
                    QSizePolicy policy = group->sizePolicy();
                    policy.setRetainSizeWhenHidden(true);
                    group->setSizePolicy(policy);
                    group->hide();
                }
        if (dialog.exec() != QDialog::Accepted)
            return IDCANCEL;
        m_lf = LogFontFromQFont(dialog.selectedFont(), initial);
    }
    if (m_cf.lpLogFont)
        *m_cf.lpLogFont = m_lf;
    return IDOK;
}
