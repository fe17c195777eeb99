// Turns the dialogs described in src/res into the in-memory extended dialog templates
// (DLGTEMPLATEEX) that DialogBoxIndirectParam takes. Plain bytes, so it builds and is tested anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "res/link_markup.h"
#include "res/templates.h"

namespace win32 {

// Window, dialog and control styles with the values the Windows headers give them (checked against
// those headers where they are available).
namespace style {
inline constexpr uint32_t kPopup = 0x80000000u, kChild = 0x40000000u, kVisible = 0x10000000u;
inline constexpr uint32_t kCaption = 0x00C00000u, kBorder = 0x00800000u, kSysMenu = 0x00080000u;
inline constexpr uint32_t kGroup = 0x00020000u, kTabStop = 0x00010000u, kMinimizeBox = 0x00020000u;
inline constexpr uint32_t kDsSetFont = 0x40u, kDsModalFrame = 0x80u, kDs3dLook = 0x4u, kDsCenter = 0x800u;
inline constexpr uint32_t kExAppWindow = 0x00040000u;
inline constexpr uint32_t kSsLeft = 0x0u, kSsCenter = 0x1u, kSsRight = 0x2u, kSsIcon = 0x3u;
inline constexpr uint32_t kSsNoPrefix = 0x80u, kSsNotify = 0x100u, kSsCenterImage = 0x200u, kSsSunken = 0x1000u;
inline constexpr uint32_t kBsPushButton = 0x0u, kBsDefPushButton = 0x1u, kBsAutoCheckBox = 0x3u, kBsGroupBox = 0x7u;
inline constexpr uint32_t kEsAutoHScroll = 0x80u;
inline constexpr uint32_t kUdsSetBuddyInt = 0x2u, kUdsAlignRight = 0x4u, kUdsAutoBuddy = 0x10u;
inline constexpr uint32_t kUdsArrowKeys = 0x20u, kUdsNoThousands = 0x80u;
}  // namespace style

// The predefined control classes as template ordinals, and the up-down control's class name. The
// dialog manager turns the ordinals into "Button", "Edit" and "Static"; with the manifest's Common
// Controls 6 dependency those, like the up-down class, are comctl32 version 6's themed controls.
inline constexpr uint16_t kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082;
inline constexpr const char* kUpDownClass = "msctls_updown32";

using res::LinkText;
using res::ParseLinkMarkup;

// What a control becomes: its class (an ordinal, or a name when the ordinal is 0), its style bits,
// extended style and the text or resource ordinal it starts with.
struct ControlDescription {
    uint16_t classAtom = 0;
    std::string className;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    std::string text;
    uint16_t resourceOrdinal = 0;  // set for icon statics: the icon's resource id instead of a text
};
ControlDescription DescribeControl(const res::ControlTemplate& control);

// The dialog's style and extended style.
uint32_t DialogStyle(const res::DialogTemplate& dialog);
uint32_t DialogExStyle(const res::DialogTemplate& dialog);

// The complete DLGTEMPLATEEX with its items; the buffer's start is what the system wants
// (a vector's storage is suitably aligned).
std::vector<uint8_t> BuildDialogTemplate(const res::DialogTemplate& dialog);

// Text as the template stores it: UTF-16 little-endian, from UTF-8.
std::u16string ToUtf16(const std::string& text);

}  // namespace win32
