#pragma once
// A dialog template as data: the dialog's caption, font and size, and its
// controls in tab order. Positions and sizes are in dialog units.

#include "platform/Types.h"

#include <span>

enum class ControlKind {
    Static, // a text label
    Frame, // a black frame line
    Edit,
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    ComboBox, // drop-down list
    ListBox,
};

// The control styles that change behaviour.
enum ControlStyle : DWORD {
    CS_NONE = 0,
    CS_DISABLED = 0x1,
    CS_READONLY = 0x2,
    CS_MULTILINE = 0x4, // Enter inserts a line break
    CS_SORTED = 0x8,
    CS_NOTIFY = 0x10, // list boxes report double-clicks
    CS_DEFAULT = 0x20, // the default push button
    CS_SUNKEN = 0x40,
    CS_VSCROLL = 0x80,
    CS_CENTER = 0x100, // centred text
};

inline constexpr int IDC_STATIC = -1;

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;
    DWORD style = CS_NONE;
};

struct DialogTemplate {
    UINT id;
    const char* caption; // nullptr: no caption bar
    const char* fontFace;
    int fontPointSize;
    int cx, cy;
    std::span<const DialogControl> controls;
};

// The template with resource id `id`, or nullptr.
const DialogTemplate* FindDialogTemplate(UINT id);
