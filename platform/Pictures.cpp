#include "platform/Pictures.h"

#include "platform/CFile.h"
#include "platform/Path.h"
#include "platform/Screen.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QThread>
#include <QThreadPool>
#include <QXmlStreamReader>

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

namespace {

thread_local PictureFailure t_failure = PictureFailure::None;

// The limits bitmaps have: sides a surface can take, and decoded pixels that
// fit the largest surface (or Qt's own allocation limit, when lower).
constexpr qint64 kMaxSide = 32767;
constexpr qint64 kMaxDecodedBytes = qint64(1) << 30;
// Plain SVG text, after inflating SVGZ: a few bytes must not inflate without
// bound.
constexpr qsizetype kMaxSvgBytes = 16 << 20;
constexpr int kThemeIconSide = 48;

bool StartsWith(const QByteArray& bytes, std::string_view prefix, qsizetype at = 0)
{
    return bytes.size() >= at + qsizetype(prefix.size())
        && std::equal(prefix.begin(), prefix.end(), bytes.constData() + at);
}

qint64 DecodedByteLimit()
{
    const qint64 qtLimit = qint64(QImageReader::allocationLimit()) << 20;
    return qtLimit > 0 ? std::min(qtLimit, kMaxDecodedBytes) : kMaxDecodedBytes;
}

PictureFailure CheckSize(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return PictureFailure::Unreadable;
    if (size.width() > kMaxSide || size.height() > kMaxSide
        || qint64(size.width()) * size.height() * 4 > DecodedByteLimit())
        return PictureFailure::TooLarge;
    return PictureFailure::None;
}

// SVGZ is gzip: inflated only up to the limit of plain SVG text.
PictureFailure Gunzip(QByteArray& bytes)
{
    z_stream stream {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return PictureFailure::Unreadable;
    QByteArray out(std::min<qsizetype>(kMaxSvgBytes + 1, std::max<qsizetype>(bytes.size() * 4, 4096)), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(bytes.data());
    stream.avail_in = uInt(bytes.size());
    int result = Z_OK;
    qsizetype used = 0;
    while (result == Z_OK) {
        if (used == out.size()) {
            if (out.size() > kMaxSvgBytes)
                break;
            out.resize(std::min<qsizetype>(out.size() * 2, kMaxSvgBytes + 1));
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream.avail_out = uInt(out.size() - used);
        result = inflate(&stream, Z_NO_FLUSH);
        used = out.size() - qsizetype(stream.avail_out);
    }
    inflateEnd(&stream);
    if (used > kMaxSvgBytes)
        return PictureFailure::TooLarge;
    if (result != Z_STREAM_END)
        return PictureFailure::Unreadable;
    out.truncate(used);
    bytes = std::move(out);
    return PictureFailure::None;
}

// Every url(...) in `text` points into the same document.
bool LocalUrls(QStringView text)
{
    for (qsizetype at = text.indexOf(u"url(", 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(u"url(", at + 4, Qt::CaseInsensitive)) {
        const QStringView target = text.mid(at + 4).trimmed();
        const QStringView unquoted = target.startsWith(u'"') || target.startsWith(u'\'') ? target.mid(1) : target;
        if (!unquoted.startsWith(u'#'))
            return false;
    }
    return !text.contains(u"@import", Qt::CaseInsensitive);
}

// Qt SVG reads the files an <image> names, and other readers fetch style
// sheets, fonts and entities: a picture must be whole in its own file. The
// root must be <svg>, and a document that declares entities is refused
// before any could be expanded.
PictureFailure CheckSvgText(const QByteArray& bytes)
{
    if (bytes.size() > kMaxSvgBytes)
        return PictureFailure::TooLarge;
    QXmlStreamReader xml(bytes);
    bool root = true;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || !xml.notationDeclarations().isEmpty())
                return PictureFailure::OutsideReference;
            break;
        case QXmlStreamReader::EntityReference:
            return PictureFailure::OutsideReference;
        case QXmlStreamReader::ProcessingInstruction:
            if (xml.processingInstructionTarget() != u"xml")
                return PictureFailure::OutsideReference;
            break;
        case QXmlStreamReader::StartElement:
            if (root && xml.name() != u"svg")
                return PictureFailure::NotAPicture;
            root = false;
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                const QStringView value = attribute.value().trimmed();
                if (attribute.name() == u"href" && !value.startsWith(u'#') && !value.startsWith(u"data:"))
                    return PictureFailure::OutsideReference;
                if (!LocalUrls(value))
                    return PictureFailure::OutsideReference;
            }
            break;
        case QXmlStreamReader::Characters:
            if (!LocalUrls(xml.text()))
                return PictureFailure::OutsideReference;
            break;
        default:
            break;
        }
    }
    if (xml.hasError() || root)
        return root && !xml.hasError() ? PictureFailure::NotAPicture : PictureFailure::Unreadable;
    return PictureFailure::None;
}

// Entropy-coded data cannot hold an end-of-image marker, so a complete JPEG
// has one after its last start of scan. Qt's reader fills a cut file with
// grey instead of refusing it.
bool JpegIsComplete(const QByteArray& bytes)
{
    const qsizetype scan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA"));
    return scan >= 0 && bytes.indexOf(QByteArrayView("\xFF\xD9"), scan + 2) >= 0;
}

const char* ReaderFormat(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return "png";
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::WebP:
        return "webp";
    case PictureFormat::Tiff:
        return "tiff";
    case PictureFormat::Ico:
        return "ico";
    default:
        return nullptr;
    }
}

QSize ScaledSize(QSizeF natural, qreal scale)
{
    const double w = std::ceil(natural.width() * scale), h = std::ceil(natural.height() * scale);
    // Beyond any limit, but without overflowing an int.
    const auto clamp = [](double v) { return int(std::clamp(v, -1.0, double(kMaxSide + 1))); };
    return { clamp(w), clamp(h) };
}

// A picture decoded ahead, with the bytes and scale it was decoded from.
struct Decoded {
    QByteArray bytes;
    qreal scale = 1.0;
    QImage image;
    PictureFailure failure = PictureFailure::None;
};

// What PrefetchedPicture offers to this thread's next ReadPicture.
thread_local std::optional<Decoded> t_offered;

// The loader reads no larger picture files.
constexpr qint64 kMaxPictureFileBytes = qint64(64) << 20;

} // namespace

PictureFormat SniffPictureFormat(const QByteArray& head)
{
    if (StartsWith(head, "BM"))
        return PictureFormat::Bmp;
    if (StartsWith(head, "\x89PNG\r\n\x1A\n"))
        return PictureFormat::Png;
    if (StartsWith(head, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a"))
        return PictureFormat::Gif;
    if (StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8))
        return PictureFormat::WebP;
    if (StartsWith(head, std::string_view("II*\0", 4)) || StartsWith(head, std::string_view("MM\0*", 4)))
        return PictureFormat::Tiff;
    if (StartsWith(head, std::string_view("\0\0\1\0", 4)) && head.size() >= 6 && (head[4] || head[5]))
        return PictureFormat::Ico;
    if (StartsWith(head, "\x1F\x8B\x08"))
        return PictureFormat::Svgz;
    // Pictures of other kinds: their format cannot be read here.
    for (const std::string_view other :
        { std::string_view("8BPS"), std::string_view("qoif"), std::string_view("\x8AMNG"), std::string_view("\xFF\x0A"),
            std::string_view("\0\0\0\x0CJXL ", 8), std::string_view("\0\0\0\x0CjP  ", 8), std::string_view("icns") }) {
        if (StartsWith(head, other))
            return PictureFormat::Unsupported;
    }
    if (StartsWith(head, "ftyp", 4))
        return PictureFormat::Unsupported; // HEIF, AVIF
    // Markup: an SVG document once its root element is read.
    qsizetype at = StartsWith(head, "\xEF\xBB\xBF") ? 3 : 0;
    while (at < head.size() && QChar::isSpace(uchar(head[at])))
        ++at;
    for (const std::string_view start : { "<?xml", "<svg", "<!--", "<!DOCTYPE" }) {
        if (StartsWith(head, start, at))
            return PictureFormat::Svg;
    }
    return PictureFormat::NotAPicture;
}

PictureFailure LastPictureFailure()
{
    return t_failure;
}

void SetPictureFailure(PictureFailure failure)
{
    t_failure = failure;
}

CString PictureFailureLine()
{
    switch (t_failure) {
    case PictureFailure::None:
        return "";
    case PictureFailure::CannotOpen:
        return "\nThe file cannot be opened.";
    case PictureFailure::NotAPicture:
        return "\nThe file is not a picture.";
    case PictureFailure::Unreadable:
        return "\nThe picture's format cannot be read, or the file is damaged.";
    case PictureFailure::TooLarge:
        return "\nThe picture is too large.";
    case PictureFailure::OutsideReference:
        return "\nThe picture refers to other files.";
    case PictureFailure::NoSuchIcon:
        return "\nThe icon theme has no icon of that name.";
    }
    return "";
}

bool IsThemeIconName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '+';
    });
}

namespace {

// Qt's reader of a raster picture held in `bytes`.
struct RasterReader {
    RasterReader(QByteArray& bytes, PictureFormat format)
        : buffer(&bytes)
        , reader(&buffer, ReaderFormat(format))
    {
        buffer.open(QIODevice::ReadOnly);
        reader.setAutoDetectImageFormat(false);
    }
    QBuffer buffer;
    QImageReader reader;
};

// CheckPicture, leaving a raster picture's reader in `raster`, past the
// header it has read, for the pixels that follow.
PictureCheck CheckPicture(QByteArray& bytes, qreal scale, std::optional<RasterReader>& raster)
{
    PictureCheck check;
    check.format = SniffPictureFormat(bytes.left(64));
    switch (check.format) {
    case PictureFormat::NotAPicture:
        check.failure = PictureFailure::NotAPicture;
        return check;
    case PictureFormat::Unsupported:
    case PictureFormat::Bmp: // read by the bitmap loader alone
        check.failure = PictureFailure::Unreadable;
        return check;
    case PictureFormat::Svgz:
        if ((check.failure = Gunzip(bytes)) != PictureFailure::None)
            return check;
        if (SniffPictureFormat(bytes.left(64)) != PictureFormat::Svg) {
            check.failure = PictureFailure::NotAPicture;
            return check;
        }
        [[fallthrough]];
    case PictureFormat::Svg: {
        if ((check.failure = CheckSvgText(bytes)) != PictureFailure::None)
            return check;
        QSvgRenderer renderer(bytes);
        if (!renderer.isValid()) {
            check.failure = PictureFailure::Unreadable;
            return check;
        }
        const QRectF box = renderer.viewBoxF();
        const QSizeF natural = renderer.defaultSize().isEmpty() ? box.size() : QSizeF(renderer.defaultSize());
        check.size = ScaledSize(natural, scale);
        check.failure = CheckSize(check.size);
        return check;
    }
    default:
        break;
    }
    if (check.format == PictureFormat::Jpeg && !JpegIsComplete(bytes)) {
        check.failure = PictureFailure::Unreadable;
        return check;
    }
    QImageReader& reader = raster.emplace(bytes, check.format).reader;
    check.size = reader.canRead() ? reader.size() : QSize();
    check.failure = CheckSize(check.size);
    return check;
}

QImage DecodePicture(QByteArray bytes, qreal scale)
{
    std::optional<RasterReader> raster;
    const PictureCheck check = CheckPicture(bytes, scale, raster);
    if (check.failure != PictureFailure::None) {
        SetPictureFailure(check.failure);
        return {};
    }
    QImage image;
    if (check.format == PictureFormat::Svg || check.format == PictureFormat::Svgz) {
        QSvgRenderer renderer(bytes);
        image = QImage(check.size, QImage::Format_ARGB32_Premultiplied);
        if (!image.isNull()) {
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
        }
    } else {
        // Only the first frame of an animation or a multi-page file.
        image = raster->reader.read();
        // The reader may find more than the header declared.
        if (!image.isNull() && CheckSize(image.size()) != PictureFailure::None)
            image = {};
    }
    if (image.isNull())
        SetPictureFailure(PictureFailure::Unreadable);
    return image;
}

} // namespace

PictureCheck CheckPicture(QByteArray& bytes, qreal scale)
{
    std::optional<RasterReader> raster;
    return CheckPicture(bytes, scale, raster);
}

QImage ReadPicture(QByteArray bytes, qreal scale)
{
    if (t_offered && t_offered->scale == scale && t_offered->bytes == bytes) {
        const Decoded decoded = *std::exchange(t_offered, std::nullopt);
        if (decoded.failure != PictureFailure::None)
            SetPictureFailure(decoded.failure);
        return decoded.image;
    }
    return DecodePicture(std::move(bytes), scale);
}

void UseFreedesktopIconThemes()
{
    // A relative or empty variable is ignored, as the base directory
    // specification asks.
    const auto absolute = [](const QString& dir) { return !dir.isEmpty() && QDir::isAbsolutePath(dir); };
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!absolute(dataHome))
        dataHome = QDir::homePath() + "/.local/share";
    QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
    dataDirs.removeIf([&](const QString& dir) { return !absolute(dir); });
    if (dataDirs.isEmpty())
        dataDirs = { "/usr/local/share", "/usr/share" };

    QStringList paths { dataHome + "/icons", QDir::homePath() + "/.icons" };
    for (const QString& dir : dataDirs)
        paths.append(dir + "/icons");
    // What the platform theme or the program added (Qt's own ":/icons") comes after.
    for (const QString& path : QIcon::themeSearchPaths()) {
        if (!paths.contains(path))
            paths.append(path);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackSearchPaths({ "/usr/share/pixmaps" });
    QIcon::setFallbackThemeName("hicolor");
    // Sessions whose platform names no theme (the offscreen one, a bare X
    // server) still have hicolor.
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName("hicolor");
}

QImage ReadThemeIcon(std::string_view name, qreal scale)
{
    [[maybe_unused]] static const bool ready = (UseFreedesktopIconThemes(), true);
    const int side = std::max(1, qRound(kThemeIconSide * scale));
    const QIcon icon
        = IsThemeIconName(name) ? QIcon::fromTheme(QString::fromLatin1(name.data(), name.size())) : QIcon();
    // Scalable icons are drawn at the size asked; others come at their
    // nearest size and are scaled to it.
    QImage image = icon.isNull() ? QImage() : icon.pixmap(QSize(side, side), 1.0).toImage();
    if (image.isNull()) {
        SetPictureFailure(PictureFailure::NoSuchIcon);
        return {};
    }
    if (image.size() != QSize(side, side))
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool ThemeIconExists(LPCSTR name)
{
    // Looked up as a load would, so that what is accepted also loads.
    const PictureFailure failure = LastPictureFailure();
    const bool found = name && IsThemeIconName(name) && !ReadThemeIcon(name, 1.0).isNull();
    SetPictureFailure(failure);
    return found;
}

QImage WithMeaningfulAlpha(QImage image, bool bitmap)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    // A premultiplied picture (decoded ahead, drawn from SVG, an icon) is
    // kept as it is: converting it back and forth gives the same pixels.
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32);
    bool opaque = true, clear = true;
    for (int y = 0; y < image.height() && (opaque || clear); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            opaque = opaque && qAlpha(row[x]) == 255;
            clear = clear && qAlpha(row[x]) == 0;
        }
    }
    // Dropping the alpha keeps the colours as they are.
    if (opaque || (bitmap && clear))
        return image.convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB32);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct PicturePrefetch::State {
    enum class Step { Queued, Decoding, Done };
    struct Entry {
        Step step = Step::Queued;
        Decoded decoded;
    };
    qreal scale = 1.0;
    std::mutex mutex;
    std::condition_variable done;
    // By path as written; an entry goes when it is taken, when the picture
    // cannot be decoded ahead, or with the prefetch.
    std::map<std::string, Entry, std::less<>> entries;
};

namespace {

// The prefetch the loads of start-up take from: DDLoadBitmap has no other
// way to reach it.
std::mutex g_prefetchMutex;
std::weak_ptr<PicturePrefetch::State> g_prefetch;

std::shared_ptr<PicturePrefetch::State> CurrentPrefetch()
{
    const std::lock_guard lock(g_prefetchMutex);
    return g_prefetch.lock();
}

// The picture file `path` decoded as ReadPicture would decode it, when Qt's
// image readers read it; on any thread.
std::optional<Decoded> DecodeFile(const std::string& path, qreal scale)
{
    std::int64_t size = 0;
    const int fd = OpenRegularFile(NativePath(path.c_str()).c_str(), kMaxPictureFileBytes, &size);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    Decoded decoded;
    decoded.bytes = file.read(64);
    if (!ReaderFormat(SniffPictureFormat(decoded.bytes)))
        return std::nullopt;
    decoded.bytes += file.read(size - decoded.bytes.size());
    decoded.scale = scale;
    SetPictureFailure(PictureFailure::None);
    decoded.image = DecodePicture(decoded.bytes, scale);
    decoded.failure = LastPictureFailure();
    // In the form the loader keeps, which it then keeps as it is; memory
    // short here is left for the load to find.
    if (QImage kept = WithMeaningfulAlpha(decoded.image, false); !kept.isNull())
        decoded.image = std::move(kept);
    return decoded;
}

// One job of the thread pool: decodes `path` unless a load took it first.
void DecodeAhead(const std::shared_ptr<PicturePrefetch::State>& state, const std::string& path)
{
    {
        const std::lock_guard lock(state->mutex);
        const auto entry = state->entries.find(path);
        if (entry == state->entries.end() || entry->second.step != PicturePrefetch::State::Step::Queued)
            return;
        entry->second.step = PicturePrefetch::State::Step::Decoding;
    }
    std::optional<Decoded> decoded = DecodeFile(path, state->scale);
    {
        const std::lock_guard lock(state->mutex);
        const auto entry = state->entries.find(path);
        if (entry != state->entries.end()) {
            if (decoded) {
                entry->second.decoded = std::move(*decoded);
                entry->second.step = PicturePrefetch::State::Step::Done;
            } else {
                state->entries.erase(entry);
            }
        }
    }
    state->done.notify_all();
}

} // namespace

PicturePrefetch::PicturePrefetch(const std::vector<std::string>& paths)
    : m_state(std::make_shared<State>())
    , m_pool(std::make_unique<QThreadPool>())
{
    // Start-up goes on working meanwhile: it keeps a core of its own.
    m_pool->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_state->scale = PrimaryScreenScale();
    std::vector<std::string> queued;
    for (const std::string& path : paths) {
        if (!path.empty() && !IsThemeIconName(path) && m_state->entries.try_emplace(path).second)
            queued.push_back(path);
    }
    {
        const std::lock_guard lock(g_prefetchMutex);
        g_prefetch = m_state;
    }
    // From the last back: the loads, which come from the first and decode
    // what no thread has begun, meet the threads once instead of waiting
    // on them picture after picture.
    for (auto path = queued.rbegin(); path != queued.rend(); ++path)
        m_pool->start([state = m_state, path = std::move(*path)] { DecodeAhead(state, path); });
}

void PicturePrefetch::WaitForDone()
{
    m_pool->waitForDone();
}

PicturePrefetch::~PicturePrefetch()
{
    {
        const std::lock_guard lock(g_prefetchMutex);
        if (g_prefetch.lock() == m_state)
            g_prefetch.reset();
    }
    // Jobs not begun are dropped, and one still decoding drops what it
    // decoded; the pool waits for it as it goes.
    m_pool->clear();
    const std::lock_guard lock(m_state->mutex);
    m_state->entries.clear();
}

PrefetchedPicture::PrefetchedPicture(LPCSTR path)
{
    const std::shared_ptr<PicturePrefetch::State> state = path ? CurrentPrefetch() : nullptr;
    if (!state)
        return;
    std::unique_lock lock(state->mutex);
    auto entry = state->entries.find(std::string_view(path));
    // One not yet begun is the load's own to decode.
    while (entry != state->entries.end() && entry->second.step == PicturePrefetch::State::Step::Decoding) {
        state->done.wait(lock);
        entry = state->entries.find(std::string_view(path));
    }
    if (entry == state->entries.end())
        return;
    if (entry->second.step == PicturePrefetch::State::Step::Done) {
        t_offered = std::move(entry->second.decoded);
        m_held = true;
    }
    state->entries.erase(entry);
}

PrefetchedPicture::~PrefetchedPicture()
{
    if (m_held)
        t_offered.reset();
}
