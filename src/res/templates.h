// The one description of the program's dialogs and texts: every host builds its windows from these
// (the icon is drawn in icon_art.h).
#pragma once

#include <cstddef>
#include <span>

namespace res {

enum class ControlKind {
    Static,      // text label or value field
    Icon,        // picture static showing an icon resource (text holds the icon id as "#128")
    GroupBox,    // framed group with a caption
    PushButton,
    CheckBox,    // toggles itself when clicked
    Edit,
    UpDown,      // spin arrows bound to the control before it in the template
    Link,        // static text with <a href="...">...</a> markup; the link opens its target
};

// Behaviour and look of a control; hosts map these onto their own styles.
enum ControlFlags : unsigned {
    kTabStop = 1u << 0,
    kGroup = 1u << 1,
    kCentre = 1u << 2,        // text centred horizontally
    kRight = 1u << 3,
    kVCentre = 1u << 4,       // text centred vertically
    kSunken = 1u << 5,
    kBorder = 1u << 6,
    kNoPrefix = 1u << 7,      // "&" shown as is
    kDefault = 1u << 8,       // the default push button
    kAutoHScroll = 1u << 9,
    kAlignRight = 1u << 10,   // up-down: placed at the right of its buddy
    kAutoBuddy = 1u << 11,    // up-down: buddy is the previous control
    kSetBuddyInt = 1u << 12,  // up-down: writes its value into the buddy as an integer
    kNoThousands = 1u << 13,  // up-down: no thousands separators
    kArrowKeys = 1u << 14,    // up-down: arrow keys step it
};

struct ControlTemplate {
    int id;  // -1 for controls nobody addresses
    ControlKind kind;
    const char* text;
    short x, y, cx, cy;  // dialog units
    unsigned flags;
};

enum DialogFlags : unsigned {
    kCaption = 1u << 0,
    kSysMenu = 1u << 1,
    kMinimizeBox = 1u << 2,
    kModalFrame = 1u << 3,
    kAppWindow = 1u << 4,  // shown in the task bar
};

struct DialogTemplate {
    int id;
    const char* title;
    short cx, cy;  // dialog units
    unsigned flags;
    const char* fontName;
    short pointSize;
    std::span<const ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const;
};

// nullptr for an unknown id.
const DialogTemplate* FindDialog(int id);

// How the group titles name the interfaces shown: the templates' own Windows names, or the Linux
// kernel's for the platform on joydev and evdev. Chosen by a program's main before any dialog is built.
enum class InterfaceNames { Windows, LinuxKernel };
void SelectInterfaceNames(InterfaceNames names);

// The string table; nullptr for an unknown id.
const char* FindString(unsigned id);

// The makers' feedback address, as it stands in the warning and the feedback text.
inline constexpr const char* kFeedbackAddress = "padwright-feedback@example.org";

}  // namespace res
