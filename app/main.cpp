// The one application object and the program's entry.
#include "app/DesktopApp.h"

#include <QApplication>

static CDesktopApp theApp;

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    if (!theApp.InitInstance())
        return 1;
    return theApp.Run();
}
