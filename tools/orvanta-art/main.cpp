// Draws the pictures compiled into the program:
//   orvanta-art DIR    writes DIR/splash.bmp and DIR/splash@2x.bmp (the greeting, at
//                      twice the size), DIR/orvanta.png (the icon) and, under
//                      DIR/icons/hicolor, the theme icons the bundled desktop names
#include "Artwork.h"

#include <QDir>
#include <QFile>
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
    if (!dir.mkpath("icons/hicolor/48x48/apps") || !dir.mkpath("icons/hicolor/96x96/apps")) {
        err << "orvanta-art: cannot create " << args[0] << "\n";
        return 1;
    }
    // The terminal key in the bundled desktop's hue: the program's own last
    // fallback for the one theme icon its desktop names, for sessions whose
    // icon theme lacks it.
    const QColor terminal(60, 70, 80);
    const struct {
        QImage image;
        const char* name;
        const char* format;
    } outputs[] = {
        { artwork::SplashImage(), "splash.bmp", "BMP" },
        // Qt picks the @2x picture on screens scaled above 100%.
        { artwork::SplashImage(2), "splash@2x.bmp", "BMP" },
        { artwork::IconImage(64), "orvanta.png", "PNG" },
        { artwork::ButtonImage(artwork::Glyph::Terminal, terminal, artwork::Look::Up, 48),
            "icons/hicolor/48x48/apps/utilities-terminal.png", "PNG" },
        { artwork::ButtonImage(artwork::Glyph::Terminal, terminal, artwork::Look::Up, 96),
            "icons/hicolor/96x96/apps/utilities-terminal.png", "PNG" },
    };
    for (const auto& output : outputs) {
        if (!output.image.save(dir.filePath(output.name), output.format)) {
            err << "orvanta-art: cannot write " << dir.filePath(output.name) << "\n";
            return 1;
        }
    }
    // Read only where the system has no hicolor theme at all.
    QFile index(dir.filePath("icons/hicolor/index.theme"));
    if (!index.open(QIODevice::WriteOnly)
        || index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,96x96/apps\n\n"
                       "[48x48/apps]\nSize=48\nType=Fixed\n\n[96x96/apps]\nSize=96\nType=Fixed\n")
            < 0) {
        err << "orvanta-art: cannot write " << index.fileName() << "\n";
        return 1;
    }
    return 0;
}
