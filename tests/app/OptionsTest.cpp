// The program's command line, run as a child process: mistakes and their exit
// status, help and version, and screenshots of desktops the tests write.
#include "res/SplashText.h"
#include "support/DisplayFixture.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ChildRun {
    bool finished;
    int status;
    QString out, err;
};

// Runs build/<preset>/orvanta (beside this test program's folder), or the
// desktop tool, on the offscreen platform with 32-bit pixels, in `folder`;
// `env` sets variables, a null value removes one.
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
    // Each comes after a valid --screenshot, so a mistake taken for a valid
    // command line shows as a saved file instead of a window that never ends.
    const QTemporaryDir dir;
    const QString shot = dir.filePath("shot.png");
    for (const QStringList& mistake :
        std::initializer_list<QStringList> { { "--frobnicate" }, { "stray" }, { "--screen" }, { "--desktop", "" },
            { "--screenshot", "" }, { "--screen", "640x" }, { "--screen", "640x0" }, { "--screen", "0x480" },
            { "--screen", "32768x480" }, { "--screen", "640x99999999999" } }) {
        SCOPED_TRACE(mistake.join(' ').toStdString());
        const ChildRun run = RunOrvanta(QStringList { "--screenshot", shot } + mistake);
        EXPECT_TRUE(run.finished && run.status == 2 && run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(
            QRegularExpression("^Usage: orvanta .*--screen WIDTHxHEIGHT", QRegularExpression::MultilineOption)))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::remove(shot));
    }
}

// Help and version need no display: with no platform chosen and no display,
// starting Qt would end the program. Help names every option, key and
// variable; the program, the greeting and the desktop tool carry the
// project's version. A desktop that cannot be read is reported and start-up
// goes on; a screenshot that cannot be saved fails.
TEST(Options, HelpVersionAndAScreenshotThatCannotBeSaved)
{
    EXPECT_EQ(kSplashProductLine, "Orvanta " + std::string(ORVANTA_VERSION));
    const QTemporaryDir dir;
    const QString version = QRegularExpression::escape(ORVANTA_VERSION);
    for (auto [tool, arguments, status, out, err] :
        { std::tuple { false, QStringList { "--version" }, 0, "\\Aorvanta " + version + "\n\\z", QString("\\A\\z") },
            { false, { "--help" }, 0,
                "--version.*--desktop <file>.*--screen <size>.*--screenshot <file>.*F12.*F2.*Ctrl\\+Z.*Ctrl\\+Y.*"
                "ORVANTA_DISPLAY_DEPTH.*QT_SCALE_FACTOR",
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

// A desktop written by the test: a button over the background colour, and a
// picture that fits the offscreen platform's own screen but not the screen
// asked for on the command line. With no display and no desktop session at
// all the program picks the offscreen platform itself and prints only its
// own messages; a scale factor Qt could not lay out with is dropped.
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

} // namespace
