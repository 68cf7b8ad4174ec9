// The one application object and the program's entry.
#include "app/DesktopApp.h"
#include "app/StartOptions.h"
#include "platform/CFrameWnd.h"
#include "platform/InstanceLock.h"
#include "platform/Module.h"
#include "platform/Screen.h"
#include "platform/SessionEnd.h"
#include "platform/ShellFolders.h"
#include "platform/UiScript.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
#include <variant>

static CDesktopApp theApp;

namespace {

// Exit status of a command line the program cannot run with.
constexpr int kBadCommandLine = 2;
// The largest screen side a surface can have.
constexpr int kMaxScreenSide = 32767;

constexpr char kUsage[]
    = "Usage: orvanta [--desktop FILE] [--screen WIDTHxHEIGHT] [--screenshot FILE.png] [--replace]\n"
      "       orvanta --autostart on|off\n"
      "       orvanta --help | --version";

// The rest of the help, after Qt's list of the options.
constexpr char kKeysAndEnvironment[] = R"(Keys:
  F12                   Closes the desktop.
  F2                    Redraws the desktop.
  Ctrl+Z                Undoes the last edit.
  Ctrl+Y, Ctrl+Shift+Z  Redoes the edit last undone.
  Tab, Shift+Tab        Moves the focus to the next or previous object.
  Arrow keys            Move the focus to the nearest object that way.
  Home, End             Move the focus to the first or last object.
  Enter, Space          Press the object with the focus.
  Shift+F10, Menu       Open the context menu for the object with the focus
                        (for the desktop without one).
  Delete                Deletes the object with the focus (asks first).
  Ctrl+C, Ctrl+V        Copy the object with the focus; paste at the focus.
  Ctrl+A                Selects every shown object (unlocked).
  Ctrl+arrow            Moves the selection, or the object with the focus,
                        by 1 pixel (unlocked); with Shift by 10.
  Escape                Ends a drag or rubber band and puts all back.
  Enter, Escape         OK and Cancel in dialogs and message boxes.

Files:
  $XDG_DATA_HOME/orvanta/desktops  Your desktops, when the program's own
                         desktops folder cannot be written (an installed
                         package); the first start copies the default there.
  $XDG_CONFIG_HOME/autostart/orvanta.desktop  Written by --autostart on.

Environment:
  ORVANTA_DISPLAY_DEPTH  32 (the default), 16 or 8: draws in 32-bit colour,
                         16-bit colour or with the 8-bit palette. Any other
                         value is ignored with a message.
  QT_SCALE_FACTOR        Scales the dialogs, menus and message boxes; the
                         desktop keeps the screen's own pixels. A value that
                         is not a number above 0 and at most 16 is ignored
                         with a message.
)";

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
        std::fprintf(stderr, "Orvanta: %s\n", LPCSTR(text));
        return IDOK;
    }
};

struct Options {
    std::optional<CString> desktopFile;
    std::optional<SIZE> screen;
    std::optional<QString> screenshot;
    bool replace = false;
    std::optional<bool> autostart;
};

// "WIDTHxHEIGHT", both sides from 1 to the largest a surface can have.
std::optional<SIZE> ParseScreenSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)x([0-9]+)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool widthOk = false;
    bool heightOk = false;
    const int width = match.captured(1).toInt(&widthOk);
    const int height = match.captured(2).toInt(&heightOk);
    if (!widthOk || !heightOk || width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide)
        return std::nullopt;
    return SIZE { width, height };
}

int BadCommandLine(const QString& problem)
{
    std::fprintf(stderr, "orvanta: %s\n%s\n", qPrintable(problem), kUsage);
    return kBadCommandLine;
}

// The options to run with, or the exit status when the command line asks for
// no run (help, version) or cannot be run with.
std::variant<Options, int> ReadCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A desktop of image buttons over the screen's work area; the "
                                                    "right mouse button opens the context menu."));
    // Not addHelpOption(): its --help-all offers Qt's own options, which the
    // program does not take.
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption desktop(QStringLiteral("desktop"),
        QStringLiteral("Start on the desktop file <file> instead of the default desktop."), QStringLiteral("file"));
    const QCommandLineOption screen(QStringLiteral("screen"),
        QStringLiteral("Take <size> (WIDTHxHEIGHT, for example 1920x1080) as the screen's size and work area."),
        QStringLiteral("size"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Compose the first frame without the greeting, save what the window shows to <file> as "
                       "PNG and exit. Messages go to standard error. Needs no display."),
        QStringLiteral("file"));
    const QCommandLineOption replace(QStringLiteral("replace"),
        QStringLiteral("Ends the Orvanta already running on this display (keeping its unsaved changes for the "
                       "next start, as the end of a session does) and takes its place. Without it a second start "
                       "says that Orvanta is running and exits."));
    const QCommandLineOption autostart(QStringLiteral("autostart"),
        QStringLiteral("on: start Orvanta with the desktop session (an entry in $XDG_CONFIG_HOME/autostart); off: "
                       "no longer. Then exit."),
        QStringLiteral("on|off"));
    parser.addOptions({ desktop, screen, screenshot, replace, autostart });

    if (!parser.parse(arguments))
        return BadCommandLine(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return BadCommandLine(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        // Our usage line in place of Qt's, which names no options.
        const QString text = parser.helpText();
        std::printf("%s\n%s\n%s", kUsage, qPrintable(text.mid(text.indexOf('\n') + 1)), kKeysAndEnvironment);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
            qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }

    Options options;
    options.replace = parser.isSet(replace);
    if (parser.isSet(autostart)) {
        const QString value = parser.value(autostart);
        if (value != QLatin1String("on") && value != QLatin1String("off"))
            return BadCommandLine(QStringLiteral("--autostart needs on or off, not '%1'.").arg(value));
        options.autostart = value == QLatin1String("on");
    }
    if (parser.isSet(desktop)) {
        const QString file = parser.value(desktop);
        if (file.isEmpty())
            return BadCommandLine(QStringLiteral("--desktop needs a file name."));
        options.desktopFile = CString(QFileInfo(file).absoluteFilePath().toStdString());
    }
    if (parser.isSet(screen)) {
        options.screen = ParseScreenSize(parser.value(screen));
        if (!options.screen)
            return BadCommandLine(QStringLiteral("--screen needs WIDTHxHEIGHT with sides from 1 to %1, not '%2'.")
                                      .arg(kMaxScreenSide)
                                      .arg(parser.value(screen)));
    }
    if (parser.isSet(screenshot)) {
        options.screenshot = parser.value(screenshot);
        if (options.screenshot->isEmpty())
            return BadCommandLine(QStringLiteral("--screenshot needs a file name."));
    }
    return options;
}

// The running program as a Desktop Entry Exec value: quoted where the
// format asks, and escaped once more as a string of the file.
QString ExecValue(const QString& program)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    QString value = program;
    if (!plain.match(program).hasMatch()) {
        value = QStringLiteral("\"");
        for (const QChar c : program)
            value += QStringView(u"\"`$\\").contains(c) ? QString('\\') + c : QString(c);
        value += '"';
    }
    return value.replace('\\', QLatin1String("\\\\")).replace('%', QLatin1String("%%"));
}

// --autostart: the session's autostart entry written or removed.
int SetAutostart(bool bOn)
{
    char szStartup[MAX_PATH];
    if (SHGetFolderPath(nullptr, CSIDL_STARTUP | (bOn ? CSIDL_FLAG_CREATE : 0), nullptr, 0, szStartup) != S_OK) {
        std::fprintf(stderr, "orvanta: there is no autostart folder (XDG_CONFIG_HOME, HOME) that can be used\n");
        return 1;
    }
    const QString entry = QFile::decodeName(szStartup) + QStringLiteral("/orvanta.desktop");
    if (!bOn) {
        if (QFile::exists(entry) && !QFile::remove(entry)) {
            std::fprintf(stderr, "orvanta: %s could not be removed\n", qPrintable(entry));
            return 1;
        }
        std::printf("Orvanta no longer starts with the session.\n");
        return 0;
    }
    char szModule[MAX_PATH] = {};
    GetModuleFileName(nullptr, szModule, sizeof szModule);
    QSaveFile file(entry);
    const QByteArray text = "[Desktop Entry]\nType=Application\nName=Orvanta\n"
                            "Comment=A desktop of image buttons over the whole screen\nExec="
        + ExecValue(QFile::decodeName(szModule)).toUtf8() + "\nIcon=orvanta\nTerminal=false\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        std::fprintf(
            stderr, "orvanta: %s could not be written: %s\n", qPrintable(entry), qPrintable(file.errorString()));
        return 1;
    }
    std::printf("Orvanta starts with the session: %s\n", qPrintable(entry));
    return 0;
}

// The display this run's desktop is for; empty without one.
QString DisplayName()
{
    const QString x11 = qEnvironmentVariable("DISPLAY");
    return x11.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY") : x11;
}

// Neither X11 nor Wayland is there, and no Qt platform has been chosen.
bool NoDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// A Wayland client cannot place its window over the work area, so where X
// is there too and no platform was chosen, the desktop runs on X.
void PreferX11()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Qt takes a scale factor of 0, a negative one or an absurd one as given and
// then has no pixels to lay anything out in; such a factor is dropped.
void DropUnusableScaleFactor()
{
    const QByteArray value = qgetenv("QT_SCALE_FACTOR");
    if (value.isEmpty())
        return;
    bool number = false;
    const double factor = value.toDouble(&number);
    if (number && factor > 0 && factor <= 16)
        return;
    std::fprintf(stderr, "Orvanta: QT_SCALE_FACTOR=%s is ignored: a scale is a number above 0 and at most 16\n",
        value.constData());
    qunsetenv("QT_SCALE_FACTOR");
}

// A depth the display does not offer would silently draw in 32 bits; it is
// dropped with a word, as a bad scale factor is.
void DropUnusableDisplayDepth()
{
    const QByteArray value = qgetenv("ORVANTA_DISPLAY_DEPTH");
    if (value.isEmpty() || value == "32" || value == "16" || value == "8")
        return;
    std::fprintf(stderr, "Orvanta: ORVANTA_DISPLAY_DEPTH=%s is ignored: a depth is 32, 16 or 8\n", value.constData());
    qunsetenv("ORVANTA_DISPLAY_DEPTH");
}

// Starts without the greeting, saves the first frame that reaches the window
// as a PNG file and ends.
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
    const bool saved = !frame->presentedFrame().isNull() && frame->presentedFrame().save(path, "PNG");
    theApp.DestroyMainWindow();
    if (!saved) {
        std::fprintf(stderr, "orvanta: could not save a screenshot to %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

// Without a desktop session (no XDG_RUNTIME_DIR) Qt warns and falls back to
// a shared folder of its own; a private folder for this run keeps the start
// quiet and is removed at exit.
std::optional<QTemporaryDir> PrivateRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return std::nullopt;
    std::optional<QTemporaryDir> folder(std::in_place);
    if (!folder->isValid())
        return std::nullopt;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder->path()));
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("orvanta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));

    // Read before Qt starts, so that help, version and mistakes need no
    // display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::variant<Options, int> command = ReadCommandLine(arguments);
    if (const int* status = std::get_if<int>(&command))
        return *status;
    const Options& options = std::get<Options>(command);
    if (options.autostart)
        return SetAutostart(*options.autostart);

    // One desktop per display; a screenshot is no desktop. Taken before Qt
    // starts, so that a second start needs nothing of the display.
    std::optional<CInstanceLock> lock;
    if (!options.screenshot && !DisplayName().isEmpty()) {
        lock.emplace(DisplayName());
        if (lock->Acquire(options.replace) == CInstanceLock::Result::Held) {
            std::fprintf(stderr, "Orvanta is already running on this display\n");
            return 0;
        }
    }

    if (options.screenshot && NoDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PreferX11();
    DropUnusableScaleFactor();
    DropUnusableDisplayDepth();
    const std::optional<QTemporaryDir> runtimeFolder = PrivateRuntimeFolder();
    // The command line is the program's alone: Qt reads none of it.
    int qtArgc = 1;
    QApplication qtApp(qtArgc, argv);
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        std::fprintf(stderr,
            "Orvanta: Wayland lets no program place its window below the others; the desktop runs as an "
            "ordinary window\n");

    if (options.screen) {
        const SIZE size = *options.screen;
        SetScreenOverride(ScreenOverride { size, RECT { 0, 0, size.cx, size.cy } });
    }
    SetStartDesktopFile(options.desktopFile);

    if (options.screenshot)
        return SaveScreenshot(*options.screenshot);

    // Someone is at the screen: unsaved edits outlive an ended session.
    theApp.m_bKeepRecovery = TRUE;
    if (!theApp.InitInstance()) {
        theApp.DestroyMainWindow();
        return 1;
    }
    const CSessionEnd sessionEnd;
    return theApp.Run();
}
