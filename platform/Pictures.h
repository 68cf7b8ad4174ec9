#pragma once
// Pictures in today's formats beside Windows bitmaps: PNG, JPEG, GIF, WebP,
// TIFF, ICO, SVG (plain or gzipped) and icons of the user's icon theme. The
// loaders recognise a picture by its content, check what it declares before
// anything is decoded, and remember why the last load failed so that the
// "Unable to load" message can say so.

#include "platform/CString.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QThreadPool;

enum class PictureFormat { NotAPicture, Unsupported, Bmp, Png, Jpeg, Gif, WebP, Tiff, Ico, Svg, Svgz };

enum class PictureFailure { None, CannotOpen, NotAPicture, Unreadable, TooLarge, OutsideReference, NoSuchIcon };

// The format the first bytes of a file announce (64 are enough).
PictureFormat SniffPictureFormat(const QByteArray& head);

// Why the last picture load on this thread failed; None after a success.
PictureFailure LastPictureFailure();
void SetPictureFailure(PictureFailure failure);
// The reason as a line to follow "Unable to load: " + path, with its leading
// newline; empty when no reason is known.
CString PictureFailureLine();

// A bare name without a folder or an extension names an icon of the theme.
bool IsThemeIconName(std::string_view name);

// What a picture declares, checked without decoding its pixels: the size it
// would be drawn at (scalable pictures at `scale` times their natural size),
// or the reason it is refused. SVG comes back as plain text in `bytes`.
struct PictureCheck {
    PictureFormat format = PictureFormat::NotAPicture;
    PictureFailure failure = PictureFailure::None;
    QSize size;
};
PictureCheck CheckPicture(QByteArray& bytes, qreal scale);

// Decodes a picture of any format but BMP (the bitmap reader keeps its own
// checks); null with the failure recorded when it is refused.
QImage ReadPicture(QByteArray bytes, qreal scale);

// Looks icons up the freedesktop way, whatever the session's platform theme
// knows: the user's theme, else hicolor, then hicolor under every theme; the
// themes in $XDG_DATA_HOME/icons, ~/.icons and each $XDG_DATA_DIRS/icons;
// unthemed icons in /usr/share/pixmaps. Done before the first icon is looked
// up; call again after the environment changes.
void UseFreedesktopIconThemes();

// The theme icon `name` at 48 pixels times `scale`, hicolor as fallback.
QImage ReadThemeIcon(std::string_view name, qreal scale);

// Whether `name` is a bare name that names an icon of the theme.
bool ThemeIconExists(LPCSTR name);

// Keeps what the reader gave: premultiplied alpha when some pixel is not
// opaque, an opaque format otherwise. A bitmap's all-zero alpha is no alpha.
QImage WithMeaningfulAlpha(QImage image, bool bitmap);

// Decoding ahead: start-up knows every picture path once it has read the
// desktop file, and has them decoded on threads of their own (one fewer
// than the cores, at least one) while it makes the display. A load takes
// the picture decoded from the very bytes it read, so what it gives and why
// it fails are the same as without. Only what Qt's image readers decode is
// done ahead: SVG draws its text with the GUI's fonts, theme icons are
// QIcons and QPixmaps, and a bitmap's pixels are hardly more than a copy.
// Nothing outlives the object: what was not taken is dropped with it.
class PicturePrefetch {
public:
    explicit PicturePrefetch(const std::vector<std::string>& paths);
    ~PicturePrefetch();
    PicturePrefetch(const PicturePrefetch&) = delete;
    PicturePrefetch& operator=(const PicturePrefetch&) = delete;

    // Waits until every picture has been decoded or found not to be done
    // ahead, for a caller with nothing else to do meanwhile.
    void WaitForDone();

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThreadPool> m_pool;
};

// While it lives, the next ReadPicture on this thread takes the picture
// decoded ahead for `path` when it reads the same bytes; a picture still
// being decoded is waited for, one not yet begun is left to the load.
class PrefetchedPicture {
public:
    explicit PrefetchedPicture(LPCSTR path);
    ~PrefetchedPicture();
    PrefetchedPicture(const PrefetchedPicture&) = delete;
    PrefetchedPicture& operator=(const PrefetchedPicture&) = delete;

    // Whether a picture decoded ahead was there to take.
    explicit operator bool() const { return m_held; }

private:
    bool m_held = false;
};
