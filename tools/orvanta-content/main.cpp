// Writes the content bundled with the program:
//   orvanta-content PROGRAM_DIR        the palette, the default desktop and its pictures
//   orvanta-content --splash FILE.bmp  the greeting picture (kept in the sources)
#include "Artwork.h"
#include "DefaultDesktop.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    // Runs during the build: never needs a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);

    if (args.size() == 2 && args[0] == "--splash") {
        if (!artwork::SplashImage().save(args[1], "BMP")) {
            err << "orvanta-content: cannot write " << args[1] << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() == 1 && !args[0].startsWith("-")) {
        QString error;
        if (!WriteDefaultDesktop(args[0], &error)) {
            err << "orvanta-content: " << error << "\n";
            return 1;
        }
        return 0;
    }
    err << "usage: orvanta-content PROGRAM_DIR\n"
           "       orvanta-content --splash FILE.bmp\n";
    return 2;
}
