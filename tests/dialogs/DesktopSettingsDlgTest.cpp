#include "DialogTestApp.h"

#include "bitmaps/DDUtil.h"
#include "dialogs/DesktopSettingsDlg.h"
#include "platform/CFile.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace dialogs_test;

namespace {

std::string Backslashed(QString path)
{
    return path.replace('/', '\\').toStdString();
}

class DesktopSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok);
        QDir(dir.path()).mkpath("desktops");
        app.m_strAppDir = CString(dir.path().toStdString());
        app.m_strDesktopFile = app.m_strAppDir + "\\desktops\\default.orv";
        app.m_aObjects[0].strUpImage = "";
        app.AddObject("one");
        app.AddObject("two");
        app.m_crBackground = RGB(1, 2, 3);
        app.SaveDesktop();
        ASSERT_TRUE(QFile::exists(dir.filePath("desktops/default.orv")));
    }

    bool Exists(const CString& path)
    {
        CFileStatus status;
        return CFile::GetStatus(path, status);
    }

    DialogTestApp app;
    DisplayFixture display { app, 320, 240 };
    ScriptedUi ui;
    QTemporaryDir dir;
};

TEST_F(DesktopSettingsTest, FileChoosersStartFromTheCurrentPaths)
{
    app.m_strDesktopFile = "C:\\x\\desktops\\default.orv";
    std::vector<FileDialogRequest> requests;
    ui.onFile = [&](const FileDialogRequest& r) {
        requests.push_back(r);
        return std::optional<CString>();
    };
    std::string shown;
    ui.onDialog = [&](CDialog& dlg) {
        shown = Text(dlg, IDC_DESKTOP);
        dlg.ClickButton(IDC_LOAD);
        dlg.ClickButton(IDC_SAVE_AS);
        dlg.ClickButton(IDC_BROWSE_BACKGROUND);
        SetText(dlg, IDC_BACKGROUND, " C:\\pics\\sky.bmp ");
        dlg.ClickButton(IDC_BROWSE_BACKGROUND);
        SetText(dlg, IDC_BACKGROUND, "sky.bmp");
        dlg.ClickButton(IDC_BROWSE_BACKGROUND);
        EXPECT_TRUE(dlg.IsOpen());
        EXPECT_EQ(Text(dlg, IDC_BACKGROUND), "sky.bmp");
    };
    app.EditDesktopSettings();

    EXPECT_EQ(shown, "default.orv");
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(requests[0].open);
    EXPECT_FALSE(requests[1].open);
    for (int i : { 0, 1 }) {
        EXPECT_EQ(requests[i].initialDir, "C:\\x\\desktops");
        EXPECT_EQ(requests[i].fileName, "default.orv");
        EXPECT_EQ(requests[i].defaultExtension, "*.orv");
        EXPECT_EQ(requests[i].filter, "Desktop Files (*.orv)|*.orv||");
    }
    EXPECT_EQ(requests[2].fileName, "*.bmp");
    EXPECT_EQ(requests[2].initialDir, "");
    EXPECT_EQ(requests[2].filter, "Bitmap Files (*.bmp)|*.bmp||");
    EXPECT_EQ(requests[3].fileName, "sky.bmp");
    EXPECT_EQ(requests[3].initialDir, "C:\\pics");
    EXPECT_EQ(requests[4].fileName, "");
    EXPECT_EQ(requests[4].initialDir, "");
    EXPECT_EQ(app.log, (std::vector<std::string> { "Compose" }));
}

TEST_F(DesktopSettingsTest, OkAppliesTileAndColourAndReloadsOnlyAChangedImage)
{
    ui.onColor = [](COLORREF) { return std::optional<COLORREF>(RGB(0, 128, 255)); };
    ui.onDialog = [&](CDialog& dlg) {
        Item<CButton>(dlg, IDC_TILE).SetCheck(BST_CHECKED);
        dlg.ClickButton(IDC_BACK_COLOR);
        EXPECT_EQ(app.m_crBackground, RGB(1, 2, 3)); // held until OK
        dlg.ClickButton(IDOK);
    };
    app.EditDesktopSettings();
    EXPECT_TRUE(app.m_bTile);
    EXPECT_EQ(app.m_crBackground, RGB(0, 128, 255));
    EXPECT_EQ(app.m_dwBackPixel, DDColorMatch(app.m_pDDSColor, RGB(0, 128, 255)));
    EXPECT_EQ(app.log, (std::vector<std::string> { "UpdateTile", "Compose" }));

    app.log.clear();
    const std::string sky = WriteBitmap(dir.path(), "sky.bmp", 8, 8, Qt::cyan);
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_BACKGROUND, "nowhere.bmp");
        dlg.ClickButton(IDOK);
        EXPECT_TRUE(dlg.IsOpen());
        SetText(dlg, IDC_BACKGROUND, sky);
        dlg.ClickButton(IDOK);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Unable to find 'Background Image' file:\n\nnowhere.bmp" }));
    EXPECT_EQ(app.m_aObjects[0].strUpImage, sky.c_str());
    EXPECT_EQ(app.log,
        (std::vector<std::string> { "ReleaseImages 0", "LoadImages 0", "ColorKeys 0", "UpdateTile", "Compose" }));
}

TEST_F(DesktopSettingsTest, SaveWritesWithoutTheHeldEdits)
{
    ui.onColor = [](COLORREF) { return std::optional<COLORREF>(RGB(99, 99, 99)); };
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_BACKGROUND, "x.bmp");
        Item<CButton>(dlg, IDC_TILE).SetCheck(BST_CHECKED);
        dlg.ClickButton(IDC_BACK_COLOR);
        app.m_aObjects[1].strName = "renamed";
        dlg.ClickButton(IDC_SAVE);
    };
    app.EditDesktopSettings();
    EXPECT_FALSE(app.m_bTile);
    EXPECT_EQ(app.m_crBackground, RGB(1, 2, 3));

    app.m_nObjects = 1;
    app.LoadDesktop();
    EXPECT_EQ(app.m_nObjects, 3);
    EXPECT_EQ(app.m_aObjects[1].strName, "renamed");
    EXPECT_EQ(app.m_aObjects[0].strUpImage, "");
    EXPECT_FALSE(app.m_bTile);
}

TEST_F(DesktopSettingsTest, NewThenOkLeavesOnlyTheResetBackgroundInMemory)
{
    app.m_aObjects[0].strUpImage = "old.bmp";
    app.m_nHoverObject = 2;
    const std::string sky = WriteBitmap(dir.path(), "sky.bmp", 8, 8, Qt::cyan);
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        EXPECT_EQ(Text(dlg, IDC_DESKTOP), "new.orv");
        EXPECT_EQ(Text(dlg, IDC_BACKGROUND), "");
        EXPECT_EQ(app.m_nObjects, 0);
        SetText(dlg, IDC_BACKGROUND, sky);
        Item<CButton>(dlg, IDC_TILE).SetCheck(BST_CHECKED);
        dlg.ClickButton(IDOK);
    };
    app.EditDesktopSettings();

    EXPECT_EQ(app.m_nObjects, 1);
    EXPECT_EQ(app.m_aObjects[0].strName, "Background");
    EXPECT_EQ(app.m_aObjects[0].strUpImage, sky.c_str());
    EXPECT_TRUE(app.m_bTile);
    EXPECT_EQ(app.m_nHoverObject, 0);
    EXPECT_EQ(app.m_strDesktopFile, app.m_strAppDir + "\\desktops\\new.orv");
    EXPECT_FALSE(Exists(app.m_strDesktopFile));
    EXPECT_EQ(app.log,
        (std::vector<std::string> { "ReleaseImages 0", "ReleaseCaptions 0", "ReleaseImages 1", "ReleaseCaptions 1",
            "ReleaseImages 2", "ReleaseCaptions 2", "ReleaseTile", "ReleaseImages 0", "LoadImages 0", "ColorKeys 0",
            "UpdateTile", "Compose" }));
}

TEST_F(DesktopSettingsTest, NewThenCancelReloadsThePreviousDesktop)
{
    app.m_aObjects[1].strName = "unsaved";
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        dlg.ClickButton(IDCANCEL);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_nObjects, 3);
    EXPECT_EQ(app.m_aObjects[1].strName, "one");
    EXPECT_EQ(app.m_strDesktopFile, app.m_strAppDir + "\\desktops\\default.orv");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(std::count(app.log.begin(), app.log.end(), "LoadImages 2"), 1);
    EXPECT_EQ(app.log.back(), "Compose");
}

TEST_F(DesktopSettingsTest, NewTwiceThenCancelKeepsTheBackgroundWhenReloadFails)
{
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        dlg.ClickButton(IDC_NEW);
    }; // left open: cancelled
    app.EditDesktopSettings();
    EXPECT_EQ(ui.messages, (std::vector<std::string> { "Desktop file could not be opened!" }));
    EXPECT_EQ(app.m_strDesktopFile, app.m_strAppDir + "\\desktops\\new.orv");
    EXPECT_EQ(app.m_nObjects, 1);
    EXPECT_EQ(app.m_aObjects[0].strName, "Background");
}

TEST_F(DesktopSettingsTest, SaveSaveAsAndRefreshAfterNewKeepTheBackground)
{
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        dlg.ClickButton(IDC_SAVE);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_nObjects, 1);
    app.m_nObjects = 0;
    app.LoadDesktop();
    EXPECT_EQ(app.m_nObjects, 1) << "new.orv holds the background record";

    const QString target = dir.filePath("copy.orv");
    ui.onFile = [&](const FileDialogRequest&) { return std::optional<CString>(CString(target.toStdString())); };
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        dlg.ClickButton(IDC_SAVE_AS);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_nObjects, 1);
    EXPECT_EQ(app.m_strDesktopFile, Backslashed(target).c_str());
    EXPECT_TRUE(QFile::exists(target));

    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_NEW);
        dlg.ClickButton(IDC_REFRESH);
    };
    app.EditDesktopSettings();
    EXPECT_EQ(app.m_nObjects, 1);
}

TEST_F(DesktopSettingsTest, LoadReadsTheChosenFileOrRefusesAMissingOne)
{
    app.m_aObjects[2].strName = "three";
    const QString other = dir.filePath("other.orv");
    app.m_strDesktopFile = CString(other.toStdString());
    app.SaveDesktop();
    app.m_strDesktopFile = app.m_strAppDir + "\\desktops\\default.orv";

    QString answer = dir.filePath("missing.orv");
    ui.onFile = [&](const FileDialogRequest& r) {
        EXPECT_TRUE(r.open);
        return std::optional<CString>(CString(answer.toStdString()));
    };
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_LOAD);
        EXPECT_TRUE(dlg.IsOpen());
        answer = other;
        dlg.ClickButton(IDC_LOAD);
        EXPECT_FALSE(dlg.IsOpen());
    };
    app.m_aObjects[2].strName = "two";
    app.EditDesktopSettings();

    EXPECT_EQ(ui.messages,
        (std::vector<std::string> { "Unable to find 'desktop' file:\n\n" + Backslashed(dir.filePath("missing.orv")) }));
    EXPECT_EQ(app.m_strDesktopFile, Backslashed(other).c_str());
    EXPECT_EQ(app.m_aObjects[2].strName, "three");
    EXPECT_EQ(app.m_nObjects, 3);
}

TEST_F(DesktopSettingsTest, SaveAsOverwritesAnExistingFile)
{
    const QString target = dir.filePath("existing.orv");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("junk");
    }
    ui.onFile = [&](const FileDialogRequest& r) {
        EXPECT_FALSE(r.open);
        return std::optional<CString>(CString(target.toStdString()));
    };
    ui.onDialog = [&](CDialog& dlg) { dlg.ClickButton(IDC_SAVE_AS); };
    app.EditDesktopSettings();
    EXPECT_GT(QFile(target).size(), 4);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
