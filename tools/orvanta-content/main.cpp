// Writes the content bundled with the program:
//   orvanta-content PROGRAM_DIR        the palette, the default desktop and its pictures
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

    if (args.size() == 1 && !args[0].startsWith("-")) {
        QString error;
        if (!WriteDefaultDesktop(args[0], &error)) {
            err << "orvanta-content: " << error << "\n";
            return 1;
        }
        return 0;
    }
    err << "usage: orvanta-content PROGRAM_DIR\n";
    return 2;
}
