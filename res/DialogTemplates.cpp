// Dialog templates 141, 143, 145 and 153.

#include "platform/DialogTemplate.h"
#include "res/SplashText.h"
#include "res/resource.h"

#include <array>

namespace {

using K = ControlKind;

constexpr DialogControl kObjectProperties[] = {
    { IDC_STATIC, K::Static, "Name:", 7, 10, 22, 8 },
    { IDC_OBJECT_NAME, K::Edit, "", 54, 7, 110, 14 },
    { IDC_STATIC, K::Static, "Action", 7, 31, 21, 8 },
    { IDC_ACTION, K::Edit, "", 54, 28, 110, 14, CS_DISABLED },
    { IDC_BROWSE_ACTION, K::PushButton, "Browse...", 172, 28, 50, 14, CS_DISABLED },
    { IDC_STATIC, K::Static, "Up Image:", 7, 50, 34, 8 },
    { IDC_UP_IMAGE, K::Edit, "", 54, 47, 110, 14 },
    { IDC_BROWSE_UP, K::PushButton, "Browse...", 172, 47, 50, 14 },
    { IDC_VISIBLE, K::CheckBox, "Visible", 231, 49, 36, 10 },
    { IDC_STATIC, K::Static, "Down Image:", 7, 70, 43, 8 },
    { IDC_DOWN_IMAGE, K::Edit, "", 54, 66, 110, 14 },
    { IDC_BROWSE_DOWN, K::PushButton, "Browse...", 172, 66, 50, 14 },
    { IDC_STATIC, K::Static, "Mouse Image:", 7, 90, 46, 8 },
    { IDC_MOUSE_IMAGE, K::Edit, "", 54, 87, 110, 14 },
    { IDC_BROWSE_MOUSE, K::PushButton, "Browse...", 172, 87, 50, 14 },
    { IDC_STATIC, K::Static, "Mouse Activate:", 228, 90, 52, 8 },
    { IDC_ACTIVATE, K::ComboBox, "", 286, 87, 94, 106, CS_SORTED | CS_VSCROLL },
    { IDC_STATIC, K::Static, "Text:", 7, 116, 17, 8 },
    { IDC_TEXT, K::Edit, "", 54, 113, 110, 38, CS_MULTILINE },
    { IDC_JUSTIFY_GROUP, K::GroupBox, "Justification ", 171, 109, 52, 67 },
    { IDC_JUSTIFY_LEFT, K::RadioButton, "Left", 176, 121, 28, 10 },
    { IDC_JUSTIFY_RIGHT, K::RadioButton, "Right", 176, 133, 33, 10 },
    { IDC_JUSTIFY_CENTER, K::RadioButton, "Center", 176, 144, 37, 10 },
    { IDC_STATIC, K::GroupBox, " Text Color", 229, 109, 94, 32 },
    { IDC_TEXT_SWATCH, K::Edit, "", 237, 120, 20, 14, CS_DISABLED | CS_READONLY },
    { IDC_TEXT_COLOR, K::PushButton, "Color...", 265, 120, 50, 14 },
    { IDC_STATIC, K::GroupBox, " Mouse Over Color", 229, 144, 94, 32 },
    { IDC_HOT_TEXT_SWATCH, K::Edit, "", 237, 156, 20, 14, CS_DISABLED | CS_READONLY },
    { IDC_HOT_TEXT_COLOR, K::PushButton, "Color...", 265, 157, 50, 14 },
    { IDC_FONT, K::PushButton, "Font...", 54, 156, 50, 14 },
    { IDC_TEXT_ON_MOUSE_OVER, K::CheckBox, "Show text only on mouse over", 53, 175, 111, 10 },
    { IDOK, K::PushButton, "OK", 329, 7, 50, 14, CS_DEFAULT },
    { IDCANCEL, K::PushButton, "Cancel", 329, 26, 50, 14 },
};

constexpr DialogControl kObjectList[] = {
    { IDC_OBJECT_LIST, K::ListBox, "", 5, 4, 146, 113, CS_SORTED | CS_NOTIFY | CS_VSCROLL },
    { IDOK, K::PushButton, "OK", 157, 4, 50, 14, CS_DEFAULT },
    { IDCANCEL, K::PushButton, "Cancel", 157, 22, 50, 14 },
};

constexpr DialogControl kDesktopSettings[] = {
    { IDC_STATIC, K::Static, "Desktop:", 9, 15, 30, 8 },
    { IDC_DESKTOP, K::Edit, "", 79, 13, 125, 14, CS_READONLY },
    { IDC_STATIC, K::Static, "Background Image:", 9, 36, 63, 8 },
    { IDC_BACKGROUND, K::Edit, "", 79, 34, 125, 14 },
    { IDC_BROWSE_BACKGROUND, K::PushButton, "Browse...", 211, 34, 50, 14 },
    { IDC_TILE, K::CheckBox, "Tile Background", 79, 54, 68, 10 },
    { IDC_STATIC, K::Static, "Background Color:", 9, 72, 59, 8 },
    { IDC_BACK_SWATCH, K::Edit, "", 79, 68, 19, 14, CS_DISABLED | CS_READONLY | CS_SUNKEN },
    { IDC_BACK_COLOR, K::PushButton, "Color...", 105, 68, 50, 14 },
    { IDOK, K::PushButton, "OK", 281, 13, 50, 14, CS_DEFAULT },
    { IDCANCEL, K::PushButton, "Cancel", 281, 34, 50, 14 },
    { IDC_STATIC, K::Frame, "", 5, 91, 321, 1 },
    { IDC_NEW, K::PushButton, "New", 22, 99, 50, 14 },
    { IDC_LOAD, K::PushButton, "Load...", 82, 99, 50, 14 },
    { IDC_SAVE, K::PushButton, "Save", 142, 99, 50, 14 },
    { IDC_SAVE_AS, K::PushButton, "Save As...", 202, 99, 50, 14 },
    { IDC_REFRESH, K::PushButton, "Refresh", 260, 99, 50, 14 },
};

// The four lines are centred across a dialog wide enough for the ownership
// notice; the picture keeps its place above them.
constexpr DialogControl kSplash[] = {
    { IDOK, K::PushButton, "OK", 55, 113, 50, 14, CS_DEFAULT },
    { IDC_STATIC, K::Static, kSplashProductLine, 3, 66, 154, 8, CS_CENTER },
    { IDC_STATIC, K::Static, kSplashCopyrightLine, 3, 76, 154, 8, CS_CENTER },
    { IDC_STATIC, K::Static, kSplashRightsLine, 3, 87, 154, 8, CS_CENTER },
    { IDC_STATIC, K::Static, kSplashWebLine, 3, 97, 154, 8, CS_CENTER },
};

constexpr const char* kFont = "MS Sans Serif";

const std::array kTemplates = {
    DialogTemplate { IDD_OBJECT_PROPERTIES, "Object Properties", kFont, 8, 390, 198, kObjectProperties },
    DialogTemplate { IDD_OBJECT_LIST, "Objects", kFont, 8, 212, 122, kObjectList },
    DialogTemplate { IDD_DESKTOP_SETTINGS, "Desktop Settings", kFont, 8, 342, 125, kDesktopSettings },
    DialogTemplate { IDD_SPLASH, nullptr, kFont, 8, 160, 132, kSplash },
};

} // namespace

const DialogTemplate* FindDialogTemplate(UINT id)
{
    for (const DialogTemplate& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}
