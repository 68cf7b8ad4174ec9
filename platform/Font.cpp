#include "platform/Font.h"
#include "platform/QtConversions.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstring>

QFont FontFromLogFont(const LOGFONT& font)
{
    QFont qfont;
    const QString face = ToQString(font.lfFaceName, qsizetype(strnlen(font.lfFaceName, LF_FACESIZE)));
    if (!face.isEmpty())
        qfont.setFamily(face);
    if (font.lfWeight > 0)
        qfont.setWeight(QFont::Weight(std::clamp<LONG>(font.lfWeight, 1, 1000)));
    qfont.setItalic(font.lfItalic != 0);
    qfont.setUnderline(font.lfUnderline != 0);
    qfont.setStrikeOut(font.lfStrikeOut != 0);
    qfont.setStyleStrategy(QFont::NoAntialias);
    // Qt drops hinting on scaled screens; captions are device pixels and
    // keep the look of an unscaled one.
    qfont.setHintingPreference(QFont::PreferVerticalHinting);

    if (font.lfHeight < 0) {
        qfont.setPixelSize(int(std::min<LONG>(-qint64(font.lfHeight), 2048)));
    } else if (font.lfHeight > 0) {
        // A cell height: the largest character size whose ascent plus
        // descent still fits in it.
        const int cell = int(std::min<LONG>(font.lfHeight, 2048));
        int size = cell;
        qfont.setPixelSize(size);
        const int height = QFontMetrics(qfont).height();
        if (height > 0)
            size = std::max(1, cell * size / height);
        qfont.setPixelSize(size);
        while (size > 1 && QFontMetrics(qfont).height() > cell)
            qfont.setPixelSize(--size);
    }
    return qfont;
}
