#include "DialogTestApp.h"

#include "bitmaps/DDUtil.h"
#include "dialogs/ObjectPropertiesDlg.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QWidget>

using namespace dialogs_test;

namespace {

class ObjectPropertiesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(display.ok); }

    std::vector<std::string> ComboItems(CDialog& dlg)
    {
        auto& combo = Item<CComboBox>(dlg, IDC_ACTIVATE);
        std::vector<std::string> items;
        for (int i = 0; i < combo.GetCount(); ++i) {
            CString text;
            combo.GetLBText(i, text);
            items.push_back(text.str());
        }
        return items;
    }

    DialogTestApp app;
    DisplayFixture display { app, 320, 240 };
    ScriptedUi ui;
    QTemporaryDir dir;
};

TEST_F(ObjectPropertiesTest, InsertWritesNewRecordAtContextPointAndRebuildsIt)
{
    app.AddObject("object1");
    app.AddObject("Object3");
    app.AddObject("zeta");
    app.m_ptContext = { 40, 50 };
    app.m_crLastColor = RGB(10, 20, 30);
    app.m_lfDefault = MakeFont("Sans", -12);
    app.m_bClipboardFull = TRUE;
    const std::string up = WriteBitmap(dir.path(), "up.bmp", 4, 4, Qt::red);

    ui.onDialog = [&](CDialog& dlg) {
        EXPECT_EQ(Text(dlg, IDC_OBJECT_NAME), "object2");
        EXPECT_EQ(Item<CButton>(dlg, IDC_VISIBLE).GetCheck(), BST_CHECKED);
        EXPECT_EQ(Item<CButton>(dlg, IDC_TEXT_ON_MOUSE_OVER).GetCheck(), BST_UNCHECKED);
        EXPECT_EQ(Item<CButton>(dlg, IDC_JUSTIFY_LEFT).GetCheck(), BST_CHECKED);
        EXPECT_EQ(ComboItems(dlg), (std::vector<std::string> { " ", "object1", "Object3", "zeta" }));
        EXPECT_EQ(Item<CComboBox>(dlg, IDC_ACTIVATE).GetCurSel(), CB_ERR);
        EXPECT_FALSE(dlg.GetDlgItem(IDC_ACTION)->IsWindowEnabled());

        SetText(dlg, IDC_OBJECT_NAME, " Lamp ");
        SetText(dlg, IDC_UP_IMAGE, up);
        SetText(dlg, IDC_TEXT, "A\r\nB");
        dlg.CheckRadioButton(IDC_JUSTIFY_LEFT, IDC_JUSTIFY_CENTER, IDC_JUSTIFY_CENTER);
        Item<CButton>(dlg, IDC_TEXT_ON_MOUSE_OVER).SetCheck(BST_CHECKED);
        auto& combo = Item<CComboBox>(dlg, IDC_ACTIVATE);
        combo.SetCurSel(combo.FindStringExact(-1, "ZETA"));
        dlg.ClickButton(IDOK);
    };
    app.InsertObject();

    ASSERT_EQ(app.m_nObjects, 5);
    const DesktopObject& r = app.m_aObjects[4];
    EXPECT_EQ(r.strName, " Lamp ");
    EXPECT_EQ(r.strUpImage, up.c_str());
    EXPECT_EQ(r.strText, "A\r\nB");
    EXPECT_EQ(r.strActivate, "zeta");
    EXPECT_EQ(r.nJustify, IDC_JUSTIFY_CENTER);
    EXPECT_TRUE(r.bTextOnMouseOver);
    EXPECT_TRUE(r.bVisible);
    EXPECT_EQ(r.rcObject, (RECT { 40, 50, 0, 0 }));
    EXPECT_EQ(r.crText, RGB(10, 20, 30));
    EXPECT_EQ(r.crHotText, RGB(10, 20, 30));
    EXPECT_EQ(r.dwTextPixel, DDColorMatch(app.m_pDDSColor, RGB(10, 20, 30)));
    EXPECT_EQ(r.lfFont.lfHeight, -12);
    EXPECT_STREQ(r.lfFont.lfFaceName, "Sans");
    EXPECT_EQ(app.m_aRuntime[4].nActivates, 3);
    EXPECT_EQ(app.m_aRuntime[4].nState, 1);
    EXPECT_FALSE(app.m_bInserting);
    EXPECT_FALSE(app.m_bClipboardFull);
    EXPECT_EQ(app.log, (std::vector<std::string> { "LoadImages 4", "CreateCaptions 4", "ColorKeys 4", "Compose" }));
}

TEST_F(ObjectPropertiesTest, DefaultNameIsFirstFreeIgnoringCase)
{
    std::string offered;
    ui.onDialog = [&](CDialog& dlg) { offered = Text(dlg, IDC_OBJECT_NAME); };
    app.AddObject("OBJECT1");
    app.AddObject(" object2 "); // would be refused as taken
    app.InsertObject();
    EXPECT_EQ(offered, "object3");
    EXPECT_EQ(app.m_nObjects, 3); // left open: cancelled
    EXPECT_TRUE(app.log.empty());
}

TEST_F(ObjectPropertiesTest, InsertRefusedWhenTableFull)
{
    app.m_nObjects = 51;
    app.InsertObject();
    EXPECT_EQ(ui.messages,
        (std::vector<std::string> { "Unable to insert new object:\nDesktop contains maximum objects allowed." }));
    EXPECT_EQ(app.m_nObjects, 51);
}

TEST_F(ObjectPropertiesTest, EveryCheckReportsAndNothingIsWritten)
{
    app.AddObject("lamp");
    const std::string down = WriteBitmap(dir.path(), "down.bmp", 2, 2, Qt::blue);
    int stillOpen = 0;
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_OBJECT_NAME, "   ");
        SetText(dlg, IDC_UP_IMAGE, "  missing.bmp ");
        SetText(dlg, IDC_DOWN_IMAGE, down);
        SetText(dlg, IDC_MOUSE_IMAGE, "/no/such/mouse.bmp");
        dlg.ClickButton(IDOK);
        stillOpen += dlg.IsOpen();

        SetText(dlg, IDC_OBJECT_NAME, " BACKGROUND");
        SetText(dlg, IDC_UP_IMAGE, "   ");
        SetText(dlg, IDC_MOUSE_IMAGE, "");
        dlg.ClickButton(IDOK);
        stillOpen += dlg.IsOpen();

        SetText(dlg, IDC_OBJECT_NAME, "Lamp ");
        dlg.PressEnter();
        stillOpen += dlg.IsOpen();
    };
    app.InsertObject();

    EXPECT_EQ(stillOpen, 3);
    EXPECT_EQ(ui.messages,
        (std::vector<std::string> {
            "Object must have a name",
            "Unable to find 'Up Image' file:\n\nmissing.bmp",
            "Unable to find 'Mouse Image' file:\n\n/no/such/mouse.bmp",
            "The name ' BACKGROUND' already exists.\n\nPlease select another name",
            "The name 'Lamp ' already exists.\n\nPlease select another name",
        }));
    EXPECT_EQ(app.m_nObjects, 2);
    EXPECT_TRUE(app.m_aObjects[2].strName.IsEmpty());
}

TEST_F(ObjectPropertiesTest, SpacesOnlyPathPassesAndIsStoredAsTyped)
{
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_UP_IMAGE, "  ");
        dlg.ClickButton(IDOK);
    };
    app.InsertObject();
    ASSERT_EQ(app.m_nObjects, 2);
    EXPECT_EQ(app.m_aObjects[1].strUpImage, "  ");
}

TEST_F(ObjectPropertiesTest, EditRenamePropagatesExactMouseActivateReferences)
{
    const int a = app.AddObject("a");
    const int b = app.AddObject("other", "a");
    const int c = app.AddObject("third", "A");
    app.AddObject("fourth", "a");
    app.m_aObjects[a].strActivate = "fourth";
    app.m_nCurObject = a;
    ui.onDialog = [&](CDialog& dlg) {
        EXPECT_EQ(ComboItems(dlg), (std::vector<std::string> { " ", "fourth", "other", "third" }));
        EXPECT_EQ(Text(dlg, IDC_ACTIVATE), "fourth");
        SetText(dlg, IDC_OBJECT_NAME, "b");
        dlg.ClickButton(IDOK);
    };
    app.EditObjectProperties();

    EXPECT_EQ(app.m_aObjects[a].strName, "b");
    EXPECT_EQ(app.m_aObjects[b].strActivate, "b");
    EXPECT_EQ(app.m_aObjects[c].strActivate, "A");
    EXPECT_EQ(app.m_aObjects[4].strActivate, "b");
    EXPECT_EQ(app.m_aObjects[a].strActivate, "fourth");
    EXPECT_EQ(app.m_aRuntime[a].nActivates, 4);
}

TEST_F(ObjectPropertiesTest, EditWithoutChangesRebuildsCaptionsButNoImages)
{
    const int i = app.AddObject("Lamp", "gone");
    app.AddObject("other");
    app.m_aObjects[i].nJustify = IDC_JUSTIFY_RIGHT;
    app.m_aObjects[i].crText = RGB(1, 2, 3);
    app.m_aObjects[i].dwTextPixel = 77; // stays: the colour did not change
    app.m_nCurObject = i;
    ui.onDialog = [&](CDialog& dlg) {
        EXPECT_EQ(Item<CButton>(dlg, IDC_JUSTIFY_RIGHT).GetCheck(), BST_CHECKED);
        EXPECT_EQ(Item<CComboBox>(dlg, IDC_ACTIVATE).GetCurSel(), CB_ERR);
        SetText(dlg, IDC_OBJECT_NAME, "LAMP"); // own name in another case
        dlg.ClickButton(IDOK);
    };
    app.EditObjectProperties();

    EXPECT_TRUE(app.m_bTextChanged);
    EXPECT_FALSE(app.m_bImagesChanged);
    EXPECT_EQ(app.m_aObjects[i].strName, "LAMP");
    EXPECT_EQ(app.m_aObjects[i].strActivate, "");
    EXPECT_EQ(app.m_aObjects[i].dwTextPixel, 77u);
    EXPECT_EQ(app.m_aObjects[i].nJustify, IDC_JUSTIFY_RIGHT);
    EXPECT_EQ(
        app.log, (std::vector<std::string> { "ReleaseCaptions 1", "CreateCaptions 1", "ColorKeys 1", "Compose" }));
}

TEST_F(ObjectPropertiesTest, EditedImagePathReloadsImages)
{
    const int i = app.AddObject("Lamp");
    const std::string mouse = WriteBitmap(dir.path(), "m.bmp", 2, 2, Qt::green);
    app.m_nCurObject = i;
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_MOUSE_IMAGE, mouse);
        dlg.ClickButton(IDOK);
    };
    app.EditObjectProperties();
    EXPECT_TRUE(app.m_bImagesChanged);
    EXPECT_EQ(app.m_aObjects[i].strMouseImage, mouse.c_str());
    EXPECT_EQ(app.log,
        (std::vector<std::string> {
            "ReleaseImages 1", "LoadImages 1", "ReleaseCaptions 1", "CreateCaptions 1", "ColorKeys 1", "Compose" }));
}

TEST_F(ObjectPropertiesTest, ColourAndFontChoicesOutliveCancel)
{
    const int i = app.AddObject("Lamp");
    app.m_aObjects[i].crText = RGB(1, 1, 1);
    app.m_aObjects[i].crHotText = RGB(2, 2, 2);
    app.m_aObjects[i].lfFont = MakeFont("Sans", -10);
    app.m_crLastColor = RGB(9, 9, 9);
    app.m_nCurObject = i;
    const LOGFONT chosen = MakeFont("Serif", -20);
    std::vector<COLORREF> offered;
    ui.onColor = [&](COLORREF initial) {
        offered.push_back(initial);
        return std::optional<COLORREF>(initial == RGB(1, 1, 1) ? RGB(200, 0, 0) : RGB(0, 0, 200));
    };
    ui.onFont = [&](const LOGFONT& initial) {
        EXPECT_EQ(initial.lfHeight, -10);
        return std::optional<LOGFONT>(chosen);
    };
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_TEXT_COLOR);
        dlg.ClickButton(IDC_HOT_TEXT_COLOR);
        dlg.ClickButton(IDC_FONT);
        dlg.ClickButton(IDCANCEL);
    };
    app.EditObjectProperties();

    EXPECT_EQ(offered, (std::vector<COLORREF> { RGB(1, 1, 1), RGB(2, 2, 2) }));
    EXPECT_EQ(app.m_crLastColor, RGB(200, 0, 0)); // the mouse-over colour does not count
    EXPECT_STREQ(app.m_lfDefault.lfFaceName, "Serif");
    EXPECT_EQ(app.m_aObjects[i].crText, RGB(1, 1, 1));
    EXPECT_STREQ(app.m_aObjects[i].lfFont.lfFaceName, "Sans");
    EXPECT_FALSE(app.m_bTextChanged);
    EXPECT_TRUE(app.log.empty());
}

TEST_F(ObjectPropertiesTest, ChosenColoursReachRecordAndSwatches)
{
    const int i = app.AddObject("Lamp");
    app.m_nCurObject = i;
    ui.onColor = [](COLORREF initial) { return std::optional<COLORREF>(initial == 0 ? RGB(250, 0, 0) : initial); };
    QImage shown;
    QRect swatch;
    ui.onDialog = [&](CDialog& dlg) {
        dlg.ClickButton(IDC_TEXT_COLOR);
        shown = dlg.GetWidget()->grab().toImage();
        swatch = dlg.GetDlgItem(IDC_TEXT_SWATCH)->GetWidget()->geometry();
        dlg.ClickButton(IDOK);
    };
    app.EditObjectProperties();

    EXPECT_EQ(app.m_aObjects[i].crText, RGB(250, 0, 0));
    EXPECT_EQ(app.m_aObjects[i].dwTextPixel, DDColorMatch(app.m_pDDSColor, RGB(250, 0, 0)));
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixelColor(swatch.center()), QColor(250, 0, 0));
}

TEST_F(ObjectPropertiesTest, BrowseProposesFolderAndNameFromTheField)
{
    std::vector<FileDialogRequest> requests;
    std::optional<CString> answer;
    ui.onFile = [&](const FileDialogRequest& request) {
        requests.push_back(request);
        return answer;
    };
    const std::string longDir = "C:\\" + std::string(300, 'd');
    std::vector<std::string> fields;
    ui.onDialog = [&](CDialog& dlg) {
        SetText(dlg, IDC_UP_IMAGE, "  C:\\pics\\a.bmp");
        dlg.ClickButton(IDC_BROWSE_UP);
        fields.push_back(Text(dlg, IDC_UP_IMAGE));
        SetText(dlg, IDC_DOWN_IMAGE, "\\a.bmp");
        answer = CString("/tmp/pics/b.bmp");
        dlg.ClickButton(IDC_BROWSE_DOWN);
        fields.push_back(Text(dlg, IDC_DOWN_IMAGE));
        SetText(dlg, IDC_MOUSE_IMAGE, longDir + "\\c.bmp");
        dlg.ClickButton(IDC_BROWSE_MOUSE);
    };
    app.InsertObject();

    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[0].open);
    EXPECT_EQ(requests[0].defaultExtension, "*.bmp");
    EXPECT_EQ(requests[0].filter, "Bitmap Files (*.bmp)|*.bmp||");
    EXPECT_EQ(requests[0].initialDir, "C:\\pics");
    EXPECT_EQ(requests[0].fileName, "a.bmp");
    EXPECT_EQ(requests[1].initialDir, "");
    EXPECT_EQ(requests[1].fileName, "");
    EXPECT_EQ(requests[2].initialDir, ""); // too long for its buffer
    EXPECT_EQ(requests[2].fileName, "c.bmp");
    EXPECT_EQ(fields, (std::vector<std::string> { "  C:\\pics\\a.bmp", "\\tmp\\pics\\b.bmp" }));
}

} // namespace
