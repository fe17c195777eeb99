// Extended dialog templates built from the one description of the dialogs.
#include "platform/win32/dialog_template.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include "platform/compat/wintypes.h"
#include <commctrl.h>

namespace win32::style {
static_assert(kPopup == WS_POPUP && kChild == WS_CHILD && kVisible == WS_VISIBLE);
static_assert(kCaption == WS_CAPTION && kBorder == WS_BORDER && kSysMenu == WS_SYSMENU);
static_assert(kGroup == WS_GROUP && kTabStop == WS_TABSTOP && kMinimizeBox == WS_MINIMIZEBOX);
static_assert(kDsSetFont == DS_SETFONT && kDsModalFrame == DS_MODALFRAME && kDs3dLook == DS_3DLOOK &&
              kDsCenter == DS_CENTER);
static_assert(kExAppWindow == WS_EX_APPWINDOW);
static_assert(kSsLeft == SS_LEFT && kSsCenter == SS_CENTER && kSsRight == SS_RIGHT && kSsIcon == SS_ICON);
static_assert(kSsNoPrefix == SS_NOPREFIX && kSsNotify == SS_NOTIFY && kSsCenterImage == SS_CENTERIMAGE &&
              kSsSunken == SS_SUNKEN);
static_assert(kBsPushButton == BS_PUSHBUTTON && kBsDefPushButton == BS_DEFPUSHBUTTON &&
              kBsAutoCheckBox == BS_AUTOCHECKBOX && kBsGroupBox == BS_GROUPBOX);
static_assert(kEsAutoHScroll == ES_AUTOHSCROLL);
static_assert(kUdsSetBuddyInt == UDS_SETBUDDYINT && kUdsAlignRight == UDS_ALIGNRIGHT &&
              kUdsAutoBuddy == UDS_AUTOBUDDY && kUdsArrowKeys == UDS_ARROWKEYS &&
              kUdsNoThousands == UDS_NOTHOUSANDS);
}  // namespace win32::style
#endif

namespace win32 {
namespace {

using res::ControlKind;

// Appends little-endian values and DWORD alignment, as the template format wants them.
class Writer {
public:
    void Word(uint16_t value) {
        m_bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void Dword(uint32_t value) {
        Word(static_cast<uint16_t>(value & 0xFFFF));
        Word(static_cast<uint16_t>(value >> 16));
    }
    void Short(int16_t value) { Word(static_cast<uint16_t>(value)); }
    void Byte(uint8_t value) { m_bytes.push_back(value); }
    void Text(const std::string& text) {
        for (char16_t c : ToUtf16(text)) Word(static_cast<uint16_t>(c));
        Word(0);
    }
    void Ordinal(uint16_t value) {
        Word(0xFFFF);
        Word(value);
    }
    void AlignDword() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

uint32_t CommonStyle(unsigned flags) {
    uint32_t s = style::kChild | style::kVisible;
    if (flags & res::kTabStop) s |= style::kTabStop;
    if (flags & res::kGroup) s |= style::kGroup;
    return s;
}

uint32_t TextAlignment(unsigned flags) {
    if (flags & res::kCentre) return style::kSsCenter;
    if (flags & res::kRight) return style::kSsRight;
    return style::kSsLeft;
}

}  // namespace

std::u16string ToUtf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        uint32_t cp = lead;
        size_t extra = 0;
        if (lead >= 0xF0) cp = lead & 0x07, extra = 3;
        else if (lead >= 0xE0) cp = lead & 0x0F, extra = 2;
        else if (lead >= 0xC0) cp = lead & 0x1F, extra = 1;
        else if (lead >= 0x80) cp = 0xFFFD;  // a stray continuation byte
        ++i;
        for (size_t k = 0; k < extra; ++k, ++i) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    return out;
}

ControlDescription DescribeControl(const res::ControlTemplate& control) {
    ControlDescription desc;
    const unsigned flags = control.flags;
    desc.style = CommonStyle(flags);
    desc.text = control.text ? control.text : "";
    switch (control.kind) {
    case ControlKind::Static:
        desc.classAtom = kStaticAtom;
        desc.style |= TextAlignment(flags);
        if (flags & res::kVCentre) desc.style |= style::kSsCenterImage;
        if (flags & res::kSunken) desc.style |= style::kSsSunken;
        if (flags & res::kNoPrefix) desc.style |= style::kSsNoPrefix;
        break;
    case ControlKind::Icon:
        desc.classAtom = kStaticAtom;
        desc.style |= style::kSsIcon;
        desc.resourceOrdinal = static_cast<uint16_t>(std::atoi(desc.text.c_str() + (desc.text.starts_with('#') ? 1 : 0)));
        desc.text.clear();
        break;
    case ControlKind::GroupBox:
        desc.classAtom = kButtonAtom;
        desc.style |= style::kBsGroupBox;
        break;
    case ControlKind::PushButton:
        desc.classAtom = kButtonAtom;
        desc.style |= (flags & res::kDefault) ? style::kBsDefPushButton : style::kBsPushButton;
        break;
    case ControlKind::CheckBox:
        desc.classAtom = kButtonAtom;
        desc.style |= style::kBsAutoCheckBox;
        break;
    case ControlKind::Edit:
        desc.classAtom = kEditAtom;
        if (flags & res::kAutoHScroll) desc.style |= style::kEsAutoHScroll;
        if (flags & res::kBorder) desc.style |= style::kBorder;
        break;
    case ControlKind::UpDown:
        desc.className = kUpDownClass;
        desc.text.clear();
        if (flags & res::kSetBuddyInt) desc.style |= style::kUdsSetBuddyInt;
        if (flags & res::kAlignRight) desc.style |= style::kUdsAlignRight;
        if (flags & res::kAutoBuddy) desc.style |= style::kUdsAutoBuddy;
        if (flags & res::kArrowKeys) desc.style |= style::kUdsArrowKeys;
        if (flags & res::kNoThousands) desc.style |= style::kUdsNoThousands;
        break;
    case ControlKind::Link:
        // A static that reports clicks; the host opens the link's target when it is clicked.
        desc.classAtom = kStaticAtom;
        desc.text = ParseLinkMarkup(control.text).text;
        desc.style |= TextAlignment(flags) | style::kSsNotify | style::kSsNoPrefix;
        if (flags & res::kSunken) desc.style |= style::kSsSunken;
        break;
    }
    return desc;
}

uint32_t DialogStyle(const res::DialogTemplate& dialog) {
    uint32_t s = style::kPopup | style::kDsSetFont | style::kDs3dLook | style::kDsCenter;
    if (dialog.flags & res::kCaption) s |= style::kCaption;
    if (dialog.flags & res::kSysMenu) s |= style::kSysMenu;
    if (dialog.flags & res::kMinimizeBox) s |= style::kMinimizeBox;
    if (dialog.flags & res::kModalFrame) s |= style::kDsModalFrame;
    return s;
}

uint32_t DialogExStyle(const res::DialogTemplate& dialog) {
    return (dialog.flags & res::kAppWindow) ? style::kExAppWindow : 0;
}

std::vector<uint8_t> BuildDialogTemplate(const res::DialogTemplate& dialog) {
    Writer w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: the extended form
    w.Dword(0);      // helpID
    w.Dword(DialogExStyle(dialog));
    w.Dword(DialogStyle(dialog));
    w.Word(static_cast<uint16_t>(dialog.controls.size()));
    w.Short(0);  // x, y: centred by DS_CENTER
    w.Short(0);
    w.Short(dialog.cx);
    w.Short(dialog.cy);
    w.Word(0);  // no menu
    w.Word(0);  // the predefined dialog class
    w.Text(dialog.title ? dialog.title : "");
    w.Word(static_cast<uint16_t>(dialog.pointSize));
    w.Word(0);  // weight: FW_DONTCARE
    w.Byte(0);  // italic
    w.Byte(1);  // DEFAULT_CHARSET
    w.Text(dialog.fontName ? dialog.fontName : "MS Sans Serif");

    for (const res::ControlTemplate& control : dialog.controls) {
        const ControlDescription desc = DescribeControl(control);
        w.AlignDword();
        w.Dword(0);  // helpID
        w.Dword(desc.exStyle);
        w.Dword(desc.style);
        w.Short(control.x);
        w.Short(control.y);
        w.Short(control.cx);
        w.Short(control.cy);
        w.Dword(static_cast<uint32_t>(control.id));  // -1 for controls nobody addresses
        if (desc.classAtom != 0) {
            w.Ordinal(desc.classAtom);
        } else {
            w.Text(desc.className);
        }
        if (desc.resourceOrdinal != 0) {
            w.Ordinal(desc.resourceOrdinal);
        } else {
            w.Text(desc.text);
        }
        w.Word(0);  // no creation data
    }
    return w.Take();
}

}  // namespace win32
