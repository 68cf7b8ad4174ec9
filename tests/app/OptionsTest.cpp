// The command line, run as a child process: mistakes, help and version, screenshots, the single instance.
#include "res/SplashText.h"
#include "support/Bytes.h"
#include "support/DisplayFixture.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct ChildRun {
    bool finished;
    int status;
    QString out, err;
};

// Runs the program (or the desktop tool) offscreen at 32 bits in `folder`; a null `env` value unsets it.
ChildRun RunOrvanta(const QStringList& arguments, const std::vector<std::pair<QString, QString>>& env = {},
    const QString& folder = {}, bool desktopTool = false)
{
    const QString program = desktopTool
        ? QStringLiteral(ORVANTA_DESKTOP_TOOL)
        : QDir(QCoreApplication::applicationDirPath() + "/..").absoluteFilePath("orvanta");
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.remove("ORVANTA_DISPLAY_DEPTH");
    for (const auto& [name, value] : env)
        value.isNull() ? e.remove(name) : e.insert(name, value);
    QProcess child;
    child.setProcessEnvironment(e);
    child.setWorkingDirectory(folder);
    child.start(program, arguments);
    // A child still running is killed with `child`.
    return { child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit, child.exitCode(),
        QString::fromLocal8Bit(child.readAllStandardOutput()), QString::fromLocal8Bit(child.readAllStandardError()) };
}

TEST(Options, MistakesPrintTheUsageAndExitTwo)
{
    // Each after a valid --screenshot, so a mistake taken as valid shows as a saved file, not a hang.
    const QTemporaryDir dir;
    const QString shot = dir.filePath("shot.png");
    for (const QStringList& mistake : std::initializer_list<QStringList> { { "--frobnicate" }, { "stray" },
             { "--screen" }, { "--desktop", "" }, { "--screenshot", "" }, { "--screen", "640x" },
             { "--screen", "640x0" }, { "--screen", "0x480" }, { "--screen", "32768x480" },
             { "--screen", "640x99999999999" }, { "--autostart", "yes" }, { "--autostart" } }) {
        SCOPED_TRACE(mistake.join(' ').toStdString());
        const ChildRun run = RunOrvanta(QStringList { "--screenshot", shot } + mistake);
        EXPECT_TRUE(run.finished && run.status == 2 && run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(
            QRegularExpression("^Usage: orvanta .*--screen WIDTHxHEIGHT", QRegularExpression::MultilineOption)))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::remove(shot));
    }
}

// Help and version need no display and carry the version; an unreadable desktop is reported, a bad save fails.
TEST(Options, HelpVersionAndAScreenshotThatCannotBeSaved)
{
    EXPECT_EQ(kSplashProductLine, "Orvanta " + std::string(ORVANTA_VERSION));
    const QTemporaryDir dir;
    const QString version = QRegularExpression::escape(ORVANTA_VERSION);
    for (auto [tool, arguments, status, out, err] :
        { std::tuple { false, QStringList { "--version" }, 0, "\\Aorvanta " + version + "\n\\z", QString("\\A\\z") },
            { false, { "--help" }, 0,
                "--version.*--desktop <file>.*--screen <size>.*--screenshot <file>.*--replace.*--autostart <on\\|off>.*"
                "F12.*F2.*Ctrl\\+Z.*Ctrl\\+Y.*XDG_DATA_HOME/orvanta/desktops.*ORVANTA_DISPLAY_DEPTH.*QT_SCALE_FACTOR",
                "\\A\\z" },
            { false,
                { "--desktop", dir.filePath("missing.orv"), "--screen", "64x48", "--screenshot",
                    dir.filePath("no-folder/shot.png") },
                1, "\\A\\z", "^Orvanta: Desktop file could not be opened!\n.*could not save" },
            { true, { "--version" }, 0, "\\Aorvanta-desktop " + version + "\n\\z", "\\A\\z" },
            { true, { "--help" }, 0, "^usage: orvanta-desktop dump.*build.*--version", "\\A\\z" },
            { true, { "dump" }, 2, "\\A\\z", "^usage: orvanta-desktop dump" } }) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ChildRun run = RunOrvanta(
            arguments, { { "QT_QPA_PLATFORM", {} }, { "DISPLAY", {} }, { "WAYLAND_DISPLAY", {} } }, {}, tool);
        EXPECT_TRUE(run.finished && run.status == status);
        for (auto [text, pattern] : { std::pair { run.out, out }, { run.err, err } })
            EXPECT_TRUE(text.contains(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)))
                << text.toStdString();
    }
}

// A screenshot of a written desktop; with no display the program picks offscreen itself; bad scales are dropped.
TEST(Options, ScreenshotShowsTheDesktopAtTheAskedSizeWithoutADisplay)
{
    const QTemporaryDir dir;
    constexpr QRgb back = 0x203040, button = 0xC08040;
    const std::string wide = WriteBitmap(dir.path(), "wide.bmp", 200, 20, Qt::magenta);
    {
        CDesktopApp app;
        app.m_nObjects = 3;
        app.m_dwBackPixel = back;
        app.m_aObjects[1].strUpImage = WriteBitmap(dir.path(), "button.bmp", 40, 30, QColor(button)).c_str();
        app.m_aObjects[1].rcObject = { 150, 80, 0, 0 };
        app.m_aObjects[2].strUpImage = wide.c_str();
        app.m_aObjects[2].rcObject = { 200, 150, 0, 0 };
        app.m_aObjects[1].bVisible = app.m_aObjects[2].bVisible = TRUE;
        app.m_aObjects[1].strName = "Button"; // names differ from the empty link
        app.m_strDesktopFile = dir.filePath("test.orv").toStdString().c_str();
        app.SaveDesktop();
    }
    // The desktop named relative to the working folder.
    const ChildRun run = RunOrvanta({ "--screen", "320x200", "--desktop", "test.orv", "--screenshot", "shot.png" },
        { { "QT_QPA_PLATFORM", {} }, { "DISPLAY", {} }, { "WAYLAND_DISPLAY", {} }, { "XDG_RUNTIME_DIR", {} },
            { "QT_SCALE_FACTOR", "0" }, { "ORVANTA_DISPLAY_DEPTH", "24" } },
        dir.path());
    EXPECT_TRUE(run.finished && run.status == 0) << run.err.toStdString();
    EXPECT_EQ(run.err.toStdString(),
        "Orvanta: QT_SCALE_FACTOR=0 is ignored: a scale is a number above 0 and at most 16\n"
        "Orvanta: ORVANTA_DISPLAY_DEPTH=24 is ignored: a depth is 32, 16 or 8\n"
        "Orvanta: Image dimensions exceed screen margins\nrelative to position:\n\n"
            + wide + "\n\nPlease check display and image dimensions.\n");
    const QImage shot(dir.filePath("shot.png"));
    ASSERT_EQ(shot.size(), QSize(320, 200));
    EXPECT_EQ(
        WrongPixels(shot, [&](int x, int y) { return QRect(150, 80, 40, 30).contains(x, y) ? button : back; }), "");
}

// The running program offscreen, for a display the tests name, on a screen the bundled desktop fits.
struct Desktop {
    explicit Desktop(const QStringList& arguments, const std::vector<std::pair<QString, QString>>& env)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        for (const auto& [name, value] : env)
            e.insert(name, value);
        process.setProcessEnvironment(e);
        process.start(QDir(QCoreApplication::applicationDirPath() + "/..").absoluteFilePath("orvanta"),
            QStringList { "--screen", "800x600" } + arguments);
        process.waitForStarted();
    }
    QProcess process;
};

// Whether the lock file comes to name `process` as its holder.
bool HeldBy(const QString& lock, const QProcess& process)
{
    for (int tries = 0; tries < 600; ++tries) {
        QFile file(lock);
        if (file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == process.processId())
            return true;
        QThread::msleep(50);
    }
    return false;
}

// Whether `process` comes to catch SIGTERM: it is up and ends as a session does from then on.
bool EndsAsASession(const QProcess& process)
{
    for (int tries = 0; tries < 600; ++tries) {
        // Files under /proc have no size, which QFile takes for empty.
        std::ifstream status("/proc/" + std::to_string(process.processId()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("SigCgt:") && (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1)
                return true;
        QThread::msleep(50);
    }
    return false;
}

// One desktop per user and display: a second start ends, --replace ends the holder, a dead holder's lock frees.
TEST(Options, OneDesktopPerDisplay)
{
    const QTemporaryDir dir;
    const std::vector<std::pair<QString, QString>> env { { "DISPLAY", ":97.0" },
        { "XDG_RUNTIME_DIR", dir.filePath("run") }, { "XDG_STATE_HOME", dir.filePath("state") },
        { "XDG_CONFIG_HOME", dir.filePath("config") } };
    ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
    const QString lock = dir.filePath(QString("run/orvanta-%1-:97.lock").arg(::getuid()));
    Desktop first({}, env);
    ASSERT_TRUE(HeldBy(lock, first.process));
    auto second = env;
    second[0].second = ":97";
    const ChildRun again = RunOrvanta({}, second);
    EXPECT_TRUE(again.finished && again.status == 0);
    EXPECT_EQ(again.err.toStdString(), "Orvanta is already running on this display\n");
    const ChildRun shot = RunOrvanta({ "--screen", "16x16", "--screenshot", dir.filePath("shot.png") }, env);
    EXPECT_TRUE(shot.finished && shot.status == 0 && QFileInfo::exists(dir.filePath("shot.png")))
        << shot.err.toStdString();
    EXPECT_EQ(first.process.state(), QProcess::Running);
    // Hung: stopped, it cannot answer SIGTERM.
    ::kill(pid_t(first.process.processId()), SIGSTOP);
    Desktop replacing({ "--replace" }, second);
    ASSERT_TRUE(first.process.waitForFinished(30000));
    EXPECT_EQ(first.process.exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(HeldBy(lock, replacing.process));
    ASSERT_TRUE(EndsAsASession(replacing.process));
    // Answering: it ends as a session does, with status 0.
    Desktop third({ "--replace" }, env);
    ASSERT_TRUE(replacing.process.waitForFinished(30000));
    EXPECT_TRUE(replacing.process.exitStatus() == QProcess::NormalExit && replacing.process.exitCode() == 0)
        << replacing.process.readAllStandardError().toStdString();
    ASSERT_TRUE(HeldBy(lock, third.process));
    // Killed: its lock is stale.
    third.process.kill();
    ASSERT_TRUE(third.process.waitForFinished(30000));
    ASSERT_TRUE(QFile::exists(lock));
    Desktop fourth({}, env);
    EXPECT_TRUE(HeldBy(lock, fourth.process));
    ASSERT_TRUE(EndsAsASession(fourth.process));
    fourth.process.terminate();
    EXPECT_TRUE(fourth.process.waitForFinished(30000) && fourth.process.exitCode() == 0);
    EXPECT_FALSE(QFile::exists(lock));
}

// --autostart on writes the session entry, off removes it; XDG_CONFIG_HOME when absolute, else HOME/.config.
TEST(Options, AutostartWritesAndRemovesTheSessionsEntry)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(WriteAll(dir.filePath("file"), ""));
    const QString program = QDir(QCoreApplication::applicationDirPath() + "/..").absoluteFilePath("orvanta");
    for (auto [value, config, status, entry] :
        { std::tuple { "on", QString(dir.filePath("config")), 0, "config/autostart/orvanta.desktop" },
            { "off", dir.filePath("config"), 0, "" }, { "off", dir.filePath("config"), 0, "" },
            { "on", QString("config"), 0, "home/.config/autostart/orvanta.desktop" },
            { "on", QString(""), 0, "home/.config/autostart/orvanta.desktop" }, { "off", QString(""), 0, "" },
            { "on", dir.filePath("file"), 1, "" } }) {
        SCOPED_TRACE((value + (" " + config)).toStdString());
        const ChildRun run
            = RunOrvanta({ "--autostart", value }, { { "XDG_CONFIG_HOME", config }, { "HOME", dir.filePath("home") } });
        EXPECT_TRUE(run.finished && run.status == status) << run.err.toStdString();
        EXPECT_EQ(run.err.isEmpty(), status == 0) << run.err.toStdString();
        for (const char* path : { "config/autostart/orvanta.desktop", "home/.config/autostart/orvanta.desktop" }) {
            const QByteArray text = ReadAll(dir.filePath(path));
            EXPECT_EQ(!text.isEmpty(), std::string(entry) == path) << path;
            if (!text.isEmpty()) {
                EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n")
                    && text.contains("\nExec=" + QFile::encodeName(program) + "\n"))
                    << text.toStdString();
            }
        }
    }
}

} // namespace
