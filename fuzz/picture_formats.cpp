// Feeds arbitrary bytes to the checks made before a picture is decoded:
// recognising its format, inflating SVGZ, keeping SVG to its own file, and
// the sizes pictures declare. Qt's decoders themselves are not run.
#include "platform/Pictures.h"

#include <QGuiApplication>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    QImageReader::setAllocationLimit(64);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the screen's scale, the rest is the file.
    if (size == 0)
        return 0;
    const qreal scale = 1.0 + (data[0] % 8) / 4.0;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const PictureCheck check = CheckPicture(bytes, scale);
    // What passes is within the limits a surface has.
    if (check.failure == PictureFailure::None
        && (check.size.width() <= 0 || check.size.height() <= 0 || check.size.width() > 32767
            || check.size.height() > 32767))
        std::abort();
    return 0;
}
