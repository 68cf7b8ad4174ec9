// The program's command line, run as a child process: mistakes and their exit
// status, help and version, and screenshots of desktops the tests write.
#include "support/DisplayFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct ChildRun {
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

// build/<preset>/orvanta, beside the folder of this test program.
QString ProgramPath()
{
    return QDir(QCoreApplication::applicationDirPath() + "/..").absoluteFilePath("orvanta");
}

// Runs the program on the offscreen platform with 32-bit pixels; `adjust`
// may change the environment further.
ChildRun RunOrvanta(const QStringList& arguments, const std::function<void(QProcessEnvironment&)>& adjust = {},
    const QString& workingDirectory = {})
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("ORVANTA_DISPLAY_DEPTH");
    if (adjust)
        adjust(env);
    child.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        child.setWorkingDirectory(workingDirectory);
    child.start(ProgramPath(), arguments);
    ChildRun run;
    run.finished = child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit;
    if (!run.finished)
        child.kill();
    run.status = child.exitCode();
    run.out = QString::fromLocal8Bit(child.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(child.readAllStandardError());
    return run;
}

// Lines the program printed for messages it would have shown.
QStringList Messages(const ChildRun& run)
{
    return run.err.split('\n').filter(QRegularExpression("^Orvanta: "));
}

class OptionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(ProgramPath()).isExecutable())
            << "build the orvanta target: " << ProgramPath().toStdString();
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

TEST_F(OptionsTest, MistakesPrintTheUsageAndExitTwo)
{
    // Each comes after a valid --screenshot, so a mistake taken for a valid
    // command line shows as a saved file instead of a window that never ends.
    const std::vector<QStringList> mistakes = { { "--frobnicate" }, { "-x" }, { "stray" }, { "--desktop" },
        { "--screen" }, { "--screenshot" }, { "--desktop", "" }, { "--screenshot", "" }, { "--screen", "640" },
        { "--screen", "640x" }, { "--screen", "x480" }, { "--screen", "640*480" }, { "--screen", "640x480x2" },
        { "--screen", " 640x480" }, { "--screen", "+640x480" }, { "--screen", "0x480" }, { "--screen", "640x0" },
        { "--screen", "-640x480" }, { "--screen", "32768x480" }, { "--screen", "640x99999999999" } };
    const QString shot = Path("shot.png");
    for (const QStringList& mistake : mistakes) {
        SCOPED_TRACE(mistake.join(' ').toStdString());
        const ChildRun run = RunOrvanta(QStringList { "--screenshot", shot } + mistake);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.contains(
            QRegularExpression("^Usage: orvanta .*--screen WIDTHxHEIGHT", QRegularExpression::MultilineOption)))
            << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(QFile::remove(shot));
    }
}

// Neither needs a display: with the X11 platform asked for and no X server,
// starting Qt would end the program.
TEST_F(OptionsTest, HelpAndVersionNeedNoDisplay)
{
    const auto noDisplay = [](QProcessEnvironment& env) {
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
    };
    const ChildRun version = RunOrvanta({ "--version" }, noDisplay);
    ASSERT_TRUE(version.finished);
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_TRUE(version.out.contains(QRegularExpression("^orvanta [0-9]+(\\.[0-9]+)+\\n$")))
        << version.out.toStdString();

    const ChildRun help = RunOrvanta({ "--help" }, noDisplay);
    ASSERT_TRUE(help.finished);
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    for (const char* option : { "--desktop <file>", "--screen <size>", "--screenshot <file>", "--version" })
        EXPECT_TRUE(help.out.contains(option)) << option;
    EXPECT_EQ(help.err, "");
}

// A desktop written by the test: an untiled background picture over the
// background colour, a button whose left half is the key colour, and a
// picture that fits the offscreen platform's own screen but not the screen
// asked for on the command line.
TEST_F(OptionsTest, ScreenshotShowsTheDesktopAtTheAskedSize)
{
    constexpr QRgb back = 0x203040;
    const QRgb key = qRgb(GetRValue(kColorKey), GetGValue(kColorKey), GetBValue(kColorKey));
    QImage background(100, 60, QImage::Format_RGB32);
    for (int y = 0; y < background.height(); ++y)
        for (int x = 0; x < background.width(); ++x)
            background.setPixel(x, y, qRgb(2 * x, 4 * y, 0x80));
    QImage button(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < button.height(); ++y)
        for (int x = 0; x < button.width(); ++x)
            button.setPixel(x, y, x < 20 ? key : qRgb(0xC0, 8 * y, 6 * x));
    QImage wide(200, 20, QImage::Format_RGB32);
    wide.fill(qRgb(0xFF, 0, 0xFF));
    ASSERT_TRUE(background.save(Path("background.bmp"), "BMP"));
    ASSERT_TRUE(button.save(Path("button.bmp"), "BMP"));
    ASSERT_TRUE(wide.save(Path("wide.bmp"), "BMP"));
    const QPoint buttonAt(150, 80);

    {
        CDesktopApp app;
        app.m_nObjects = 3;
        app.m_bTile = FALSE;
        app.m_dwBackPixel = back;
        app.m_crBackground = RGB(0x20, 0x30, 0x40);
        const char* names[] = { "Background", "Button", "Too wide" };
        const char* images[] = { "background.bmp", "button.bmp", "wide.bmp" };
        const RECT places[] = { { 0, 0, 100, 60 }, { buttonAt.x(), buttonAt.y(), 0, 0 }, { 200, 150, 0, 0 } };
        for (int i = 0; i < 3; ++i) {
            DesktopObject& o = app.m_aObjects[i];
            o.strName = names[i];
            o.strUpImage = CString(Path(images[i]).toStdString());
            o.rcObject = places[i];
            o.bVisible = TRUE;
        }
        app.m_strDesktopFile = CString(Path("test.orv").toStdString());
        app.SaveDesktop();
    }

    // The desktop named relative to the working folder.
    const ChildRun run = RunOrvanta(
        { "--screen", "320x200", "--desktop", "test.orv", "--screenshot", Path("shot.png") }, {}, dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList messages = Messages(run);
    ASSERT_EQ(messages.size(), 1) << run.err.toStdString();
    EXPECT_EQ(messages[0], "Orvanta: Image dimensions exceed screen margins");

    const QImage shot(Path("shot.png"));
    ASSERT_EQ(shot.size(), QSize(320, 200));
    EXPECT_EQ(WrongPixels(shot,
                  [&](int x, int y) {
                      const QPoint inButton = QPoint(x, y) - buttonAt;
                      if (button.rect().contains(inButton) && button.pixel(inButton) != key)
                          return button.pixel(inButton);
                      return background.rect().contains(x, y) ? background.pixel(x, y) : back;
                  }),
        "");
}

// With no display and no desktop session at all the program picks the
// offscreen platform itself and prints only its own messages; a scale factor
// Qt could not lay out with is dropped; a desktop that cannot be read is
// reported and the frame is still saved.
TEST_F(OptionsTest, ScreenshotWithoutDisplayOrDesktop)
{
    const auto noDisplay = [](QProcessEnvironment& env) {
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("XDG_RUNTIME_DIR");
        env.insert("QT_SCALE_FACTOR", "0");
    };
    const ChildRun run = RunOrvanta(
        { "--desktop", Path("missing.orv"), "--screen", "64x48", "--screenshot", Path("shot.png") }, noDisplay);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err,
        "Orvanta: QT_SCALE_FACTOR=0 is ignored: a scale is a number above 0 and at most 16\n"
        "Orvanta: Desktop file could not be opened!\n");
    EXPECT_EQ(QImage(Path("shot.png")).size(), QSize(64, 48));
}

TEST_F(OptionsTest, ScreenshotThatCannotBeSavedFails)
{
    const ChildRun run = RunOrvanta(
        { "--desktop", Path("missing.orv"), "--screen", "64x48", "--screenshot", Path("no-folder/shot.png") });
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("could not save")) << run.err.toStdString();
}

} // namespace
