// Draws the pictures compiled into the program:
//   orvanta-art DIR    writes DIR/splash.bmp and DIR/splash@2x.bmp (the greeting, at
//                      twice the size) and DIR/orvanta.png (the icon)
#include "Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Runs during the build: never needs a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    if (args.size() != 1 || args[0].startsWith("-")) {
        err << "usage: orvanta-art DIR\n";
        return 2;
    }

    const QDir dir(args[0]);
    if (!dir.mkpath(".")) {
        err << "orvanta-art: cannot create " << args[0] << "\n";
        return 1;
    }
    const struct {
        QImage image;
        const char* name;
        const char* format;
    } outputs[] = {
        { artwork::SplashImage(), "splash.bmp", "BMP" },
        // Qt picks the @2x picture on screens scaled above 100%.
        { artwork::SplashImage(2), "splash@2x.bmp", "BMP" },
        { artwork::IconImage(64), "orvanta.png", "PNG" },
    };
    for (const auto& output : outputs) {
        if (!output.image.save(dir.filePath(output.name), output.format)) {
            err << "orvanta-art: cannot write " << dir.filePath(output.name) << "\n";
            return 1;
        }
    }
    return 0;
}
