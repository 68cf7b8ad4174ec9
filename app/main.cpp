// The one application object and the program's entry.
#include "app/DesktopApp.h"
#include "platform/CFrameWnd.h"
#include "platform/UiScript.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

static CDesktopApp theApp;

namespace {

// Runs without anyone at the screen: messages go to standard error and are
// acknowledged, dialogs and choosers are cancelled.
class UnattendedUi : public UiScript {
public:
    UnattendedUi() { SetUiScript(this); }
    ~UnattendedUi() override { SetUiScript(nullptr); }
    UnattendedUi(const UnattendedUi&) = delete;
    UnattendedUi& operator=(const UnattendedUi&) = delete;

    int answerMessageBox(const CString& text, UINT) override
    {
        std::fprintf(stderr, "orvanta: %s\n", LPCSTR(text));
        return IDOK;
    }
    UINT chooseMenuCommand(const std::vector<MenuItemState>&) override { return 0; }
    void runDialog(CDialog&) override { }
    std::optional<CString> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<COLORREF> chooseColor(COLORREF) override { return std::nullopt; }
    std::optional<LOGFONT> chooseFont(const LOGFONT&) override { return std::nullopt; }
};

// Starts on the default desktop, saves the first frame that reaches the
// window as a PNG file and ends.
int SaveScreenshot(const QString& path)
{
    UnattendedUi ui;
    if (!theApp.InitInstance()) {
        theApp.DestroyMainWindow();
        return 1;
    }
    theApp.m_bSplashPending = FALSE;
    auto* frame = static_cast<CFrameWnd*>(theApp.m_pMainWnd);
    frame->setKeepPresentedFrame(true);
    // A presentation that finds its surfaces lost restores them instead of
    // showing; the next one shows.
    for (int attempt = 0; attempt < 3 && frame->presentedFrame().isNull(); ++attempt)
        theApp.ComposeScene();
    bool saved = !frame->presentedFrame().isNull() && frame->presentedFrame().save(path, "PNG");
    theApp.DestroyMainWindow();
    if (!saved) {
        std::fprintf(stderr, "orvanta: could not save a screenshot to %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvanta"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A desktop of image buttons over the screen's work area.\n"
                                                    "F12 closes it, F2 redraws it; the right mouse button "
                                                    "opens the context menu."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Start on the default desktop without the greeting, save the first frame to <file> as "
                       "PNG and exit."),
        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(qtApp);

    if (parser.isSet(screenshot))
        return SaveScreenshot(parser.value(screenshot));

    if (!theApp.InitInstance()) {
        theApp.DestroyMainWindow();
        return 1;
    }
    return theApp.Run();
}
