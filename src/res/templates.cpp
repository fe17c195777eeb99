// Dialog templates 100 and 102 and the string table (icon 128 is drawn in icon_art.cpp).
#include "res/templates.h"

#include <array>
#include <string_view>

#include "res/resource.h"

namespace res {
namespace {

#define PW_FEEDBACK "padwright-feedback@example.org"

constexpr const char* kFeedbackText =
    "\nIf you have feedback: '<a href=\"mailto:" PW_FEEDBACK "\">" PW_FEEDBACK "</a>'\n\nHave Fun!\nThe Kestrel Team";

constexpr ControlTemplate kAboutControls[] = {
    {-1, ControlKind::Icon, "#128", 11, 17, 20, 20, 0},
    {IDC_VERSION_LINE, ControlKind::Static, "", 40, 10, 119, 8, kNoPrefix},
    {-1, ControlKind::Static, "(C) 2026 The Kestrel Team", 40, 25, 119, 8, 0},
    {1 /* IDOK */, ControlKind::PushButton, "OK", 178, 7, 50, 14, kTabStop | kGroup | kDefault},
};

// In template order, which is also the tab order.
constexpr ControlTemplate kMainControls[] = {
    // WinMM group
    {-1, ControlKind::GroupBox, "joyGetPosEx()", 5, 5, 90, 100, 0},
    {-1, ControlKind::Static, "Calib.:", 25, 15, 20, 8, 0},
    {-1, ControlKind::Static, "Raw:", 60, 15, 18, 8, 0},
    {-1, ControlKind::Static, "X", 10, 26, 8, 8, 0},
    {1000, ControlKind::Static, "", 25, 25, 30, 12, kCentre | kSunken},
    {1006, ControlKind::Static, "", 60, 25, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "Y", 10, 39, 8, 8, 0},
    {1001, ControlKind::Static, "", 25, 38, 30, 12, kCentre | kSunken},
    {1007, ControlKind::Static, "", 60, 38, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "Z", 10, 52, 8, 8, 0},
    {1002, ControlKind::Static, "", 25, 51, 30, 12, kCentre | kSunken},
    {1008, ControlKind::Static, "", 60, 51, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "R", 10, 65, 8, 8, 0},
    {1003, ControlKind::Static, "", 25, 64, 30, 12, kCentre | kSunken},
    {1009, ControlKind::Static, "", 60, 64, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "U", 10, 78, 8, 8, 0},
    {1004, ControlKind::Static, "", 25, 77, 30, 12, kCentre | kSunken},
    {1010, ControlKind::Static, "", 60, 77, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "V", 10, 91, 8, 8, 0},
    {1005, ControlKind::Static, "", 25, 90, 30, 12, kCentre | kSunken},
    {1011, ControlKind::Static, "", 60, 90, 30, 12, kCentre | kSunken},
    // Dead zones
    {-1, ControlKind::GroupBox, "DX Deadzone (in %)", 5, 110, 90, 110, 0},
    {-1, ControlKind::Static, "X", 11, 127, 8, 8, 0},
    {1017, ControlKind::Edit, "", 25, 125, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1018, ControlKind::UpDown, "", 65, 125, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    {-1, ControlKind::Static, "Y", 11, 142, 8, 8, 0},
    {1019, ControlKind::Edit, "", 25, 140, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1020, ControlKind::UpDown, "", 65, 140, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    {-1, ControlKind::Static, "Z", 11, 157, 8, 8, 0},
    {1021, ControlKind::Edit, "", 25, 155, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1022, ControlKind::UpDown, "", 65, 155, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    {-1, ControlKind::Static, "R", 11, 172, 8, 8, 0},
    {1023, ControlKind::Edit, "", 25, 170, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1024, ControlKind::UpDown, "", 65, 170, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    {-1, ControlKind::Static, "U", 11, 187, 8, 8, 0},
    {1025, ControlKind::Edit, "", 25, 185, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1026, ControlKind::UpDown, "", 65, 185, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    {-1, ControlKind::Static, "V", 11, 202, 8, 8, 0},
    {1027, ControlKind::Edit, "", 25, 200, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1028, ControlKind::UpDown, "", 65, 200, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys},
    // Polled device
    {-1, ControlKind::GroupBox, "Polled device", 195, 5, 190, 30, 0},
    {1013, ControlKind::Static, "", 201, 16, 140, 12, kVCentre | kSunken},
    {1012, ControlKind::PushButton, "&Next", 345, 15, 31, 14, kTabStop},
    // Calibration grid
    {-1, ControlKind::GroupBox, "Calibration values", 195, 40, 190, 120, 0},
    {-1, ControlKind::Static, "Min", 231, 55, 40, 8, kCentre},
    {-1, ControlKind::Static, "Cen", 281, 55, 40, 8, kCentre},
    {-1, ControlKind::Static, "Max", 331, 55, 40, 8, kCentre},
    {1016, ControlKind::CheckBox, "X/Y", 201, 65, 29, 10, kTabStop},
    {1029, ControlKind::Edit, "", 231, 65, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1030, ControlKind::UpDown, "", 270, 65, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1041, ControlKind::Edit, "", 281, 65, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1042, ControlKind::UpDown, "", 320, 65, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1053, ControlKind::Edit, "", 331, 65, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1054, ControlKind::UpDown, "", 370, 65, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {-1, ControlKind::Static, "Y", 212, 82, 8, 8, 0},
    {1031, ControlKind::Edit, "", 231, 81, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1032, ControlKind::UpDown, "", 271, 81, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1043, ControlKind::Edit, "", 281, 81, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1044, ControlKind::UpDown, "", 321, 81, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1055, ControlKind::Edit, "", 331, 81, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1056, ControlKind::UpDown, "", 371, 81, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1065, ControlKind::CheckBox, "Z", 201, 95, 21, 10, kTabStop},
    {1033, ControlKind::Edit, "", 231, 95, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1034, ControlKind::UpDown, "", 271, 95, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1045, ControlKind::Edit, "", 281, 95, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1046, ControlKind::UpDown, "", 321, 95, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1057, ControlKind::Edit, "", 331, 95, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1058, ControlKind::UpDown, "", 371, 95, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1066, ControlKind::CheckBox, "R", 201, 110, 21, 10, kTabStop},
    {1035, ControlKind::Edit, "", 231, 110, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1036, ControlKind::UpDown, "", 271, 110, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1047, ControlKind::Edit, "", 281, 110, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1048, ControlKind::UpDown, "", 321, 110, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1059, ControlKind::Edit, "", 331, 110, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1060, ControlKind::UpDown, "", 371, 110, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1067, ControlKind::CheckBox, "U", 201, 125, 21, 10, kTabStop},
    {1037, ControlKind::Edit, "", 231, 126, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1038, ControlKind::UpDown, "", 271, 126, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1049, ControlKind::Edit, "", 281, 126, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1050, ControlKind::UpDown, "", 321, 126, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1061, ControlKind::Edit, "", 331, 126, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1062, ControlKind::UpDown, "", 371, 126, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1068, ControlKind::CheckBox, "V", 201, 140, 21, 10, kTabStop},
    {1039, ControlKind::Edit, "", 231, 140, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1040, ControlKind::UpDown, "", 271, 140, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1051, ControlKind::Edit, "", 281, 140, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1052, ControlKind::UpDown, "", 321, 140, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    {1063, ControlKind::Edit, "", 331, 140, 40, 12, kTabStop | kBorder | kAutoHScroll},
    {1064, ControlKind::UpDown, "", 371, 140, 9, 10, kAlignRight | kAutoBuddy | kSetBuddyInt | kArrowKeys | kNoThousands},
    // Buttons
    {1069, ControlKind::PushButton, "Default values", 100, 185, 90, 14, kTabStop},
    {2 /* IDCANCEL */, ControlKind::PushButton, "&Close", 100, 205, 90, 14, kTabStop},
    // DirectInput group
    {-1, ControlKind::GroupBox, "DirectInput2->DeviceState", 100, 5, 90, 100, 0},
    {-1, ControlKind::Static, "Calib.:", 120, 15, 20, 8, 0},
    {-1, ControlKind::Static, "Raw:", 155, 15, 18, 8, 0},
    {-1, ControlKind::Static, "X", 105, 26, 8, 8, 0},
    {1014, ControlKind::Static, "", 120, 25, 30, 12, kCentre | kSunken},
    {1015, ControlKind::Static, "", 155, 25, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "Y", 105, 39, 8, 8, 0},
    {1071, ControlKind::Static, "", 120, 38, 30, 12, kCentre | kSunken},
    {1072, ControlKind::Static, "", 155, 38, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "Z", 105, 52, 8, 8, 0},
    {1073, ControlKind::Static, "", 120, 51, 30, 12, kCentre | kSunken},
    {1074, ControlKind::Static, "", 155, 51, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "R", 105, 65, 8, 8, 0},
    {1075, ControlKind::Static, "", 120, 64, 30, 12, kCentre | kSunken},
    {1076, ControlKind::Static, "", 155, 64, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "U", 105, 78, 8, 8, 0},
    {1077, ControlKind::Static, "", 120, 77, 30, 12, kCentre | kSunken},
    {1078, ControlKind::Static, "", 155, 77, 30, 12, kCentre | kSunken},
    {-1, ControlKind::Static, "V", 105, 91, 8, 8, 0},
    {1079, ControlKind::Static, "", 120, 90, 30, 12, kCentre | kSunken},
    {1080, ControlKind::Static, "", 155, 90, 30, 12, kCentre | kSunken},
    // Feedback
    {-1, ControlKind::Link, kFeedbackText, 195, 165, 190, 55, kCentre | kSunken},
    {1081, ControlKind::PushButton, "Clear all calib. data", 100, 165, 90, 14, kTabStop},
};

// The main dialog's titles that name a Windows interface, and what the Linux kernel platform shows.
struct Rename {
    std::string_view windows;
    const char* kernel;
};
constexpr Rename kKernelNames[] = {
    {"joyGetPosEx()", "joydev (js)"},
    {"DirectInput2->DeviceState", "evdev (event)"},
    {"DX Deadzone (in %)", "Dead zone (in %)"},
};

constexpr bool HasText(std::string_view text) {
    for (const ControlTemplate& c : kMainControls)
        if (text == c.text) return true;
    return false;
}
static_assert(HasText(kKernelNames[0].windows) && HasText(kKernelNames[1].windows) && HasText(kKernelNames[2].windows),
              "every renamed title stands in the main dialog");

constexpr DialogTemplate kDialogs[] = {
    {IDD_ABOUTBOX, "About Padwright", 235, 55, kCaption | kSysMenu | kModalFrame, "MS Sans Serif", 8,
     kAboutControls},
    {IDD_PADWRIGHT_DIALOG, "Padwright", 392, 226, kCaption | kSysMenu | kMinimizeBox | kModalFrame | kAppWindow,
     "MS Sans Serif", 8, kMainControls},
};

struct StringEntry {
    unsigned id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "&About Padwright..."},
    {IDS_DISPLAY_FORMAT, "%05d"},
    {IDS_VERSION_FORMAT, "Padwright Version %s"},
    {IDS_WARNING,
     "WARNING!\n\nUse this little tool only if you are aware of what you can do!\n\nNo warranty is given that it "
     "won't heavily injure the configuration of your game controllers and/or even Windows (tm)!\n\nAny feedback "
     "should be sent to '" PW_FEEDBACK "'\n\nOk, I think you're ready for the tool..."},
    {IDS_KEEP_MENU, "Keep this calibration..."},
    {IDS_FORGET_MENU, "Forget the kept calibration"},
    {IDS_KEEP_SCOPE,
     "Keep this calibration for this controller only?\n\nYes: only this unit (told apart by its serial number, or "
     "else by the port it is plugged into).\nNo: every controller of this model.\n\nIt is set again each time the "
     "controller is plugged in, for every user of this computer: this needs an administrator, and declining to "
     "authenticate keeps nothing."},
    {IDS_KEPT, "The calibration is kept. It is set again each time this controller is plugged in."},
    {IDS_FORGOTTEN, "The kept calibration is forgotten. The controller comes up with its driver's values the next "
                    "time it is plugged in; until then it keeps the calibration it has now."},
    {IDS_KEEP_DECLINED, "Nothing was changed: the authentication was declined. The calibration holds until the "
                        "controller is unplugged."},
    {IDS_KEEP_FAILED, "Nothing was changed: %s"},
    {IDS_FORGET_ALL, "Also forget every calibration kept on this computer, so that controllers come up with their "
                     "drivers' values when next plugged in?"},
    {IDS_FORGOTTEN_ALL, "The kept calibrations are forgotten."},
    {AFX_IDS_APP_TITLE, "Padwright"},
    {AFX_IDP_PARSE_INT, "Please enter an integer."},
    {AFX_IDP_PARSE_REAL, "Please enter a number."},
    {AFX_IDP_PARSE_INT_RANGE, "Please enter an integer between %1 and %2."},
    {AFX_IDP_PARSE_UINT, "Please enter a positive integer."},
};

}  // namespace

static_assert(std::string_view(kFeedbackAddress) == PW_FEEDBACK);

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    for (const ControlTemplate& c : controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

namespace {

InterfaceNames g_names = InterfaceNames::Windows;

// The main dialog with the kernel's names: the same controls, built once from the template.
const DialogTemplate& KernelMainDialog() {
    static const std::array<ControlTemplate, std::size(kMainControls)> controls = [] {
        std::array<ControlTemplate, std::size(kMainControls)> renamed{};
        for (size_t i = 0; i < renamed.size(); ++i) {
            renamed[i] = kMainControls[i];
            for (const Rename& r : kKernelNames)
                if (r.windows == renamed[i].text) renamed[i].text = r.kernel;
        }
        return renamed;
    }();
    static const DialogTemplate dialog = [] {
        DialogTemplate d{};
        for (const DialogTemplate& t : kDialogs)
            if (t.id == IDD_PADWRIGHT_DIALOG) d = t;
        d.controls = controls;
        return d;
    }();
    return dialog;
}

}  // namespace

void SelectInterfaceNames(InterfaceNames names) { g_names = names; }

const DialogTemplate* FindDialog(int id) {
    if (id == IDD_PADWRIGHT_DIALOG && g_names == InterfaceNames::LinuxKernel) return &KernelMainDialog();
    for (const DialogTemplate& d : kDialogs)
        if (d.id == id) return &d;
    return nullptr;
}

const char* FindString(unsigned id) {
    for (const StringEntry& s : kStrings)
        if (s.id == id) return s.text;
    return nullptr;
}

}  // namespace res
