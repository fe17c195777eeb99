// The platform's joystick records, constants and interfaces: WinMM, the registry and DirectInput 5.
// On Windows they come from the SDK headers; elsewhere from our substitutes with the same names and layouts.
#pragma once

#ifdef _WIN32
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0500
#endif
#include "platform/compat/wintypes.h"
#include <mmsystem.h>
#include <dinput.h>
#if defined(__MINGW32__)
// mingw-w64 always appends the later guidGameport member to DIJOYCONFIG; DirectInput 5's record is the
// one without it, which these headers call DIJOYCONFIG_DX5. Keep the longer one under another name for
// the interface's parameter types and make DIJOYCONFIG the DirectInput 5 record.
#define DIJOYCONFIG DIJOYCONFIG_DX6_FULL
#include <dinputd.h>
#undef DIJOYCONFIG
typedef DIJOYCONFIG_DX5 DIJOYCONFIG;
#else
#include <dinputd.h>
#endif
#else
#include "platform/compat/wintypes.h"
#include "platform/compat/dinput.h"
#include "platform/compat/dinputd.h"
#include "platform/compat/mmsystem.h"
#include "platform/compat/objbase.h"
#include "platform/compat/winerror.h"
#include "platform/compat/winreg.h"
#endif

// DirectInput 5a's per-axis calibration property, which DirectInput 5's headers lack (the SDK
// declares it from version 0x050A on).
#ifndef DIPROP_CALIBRATION
#define DIPROP_CALIBRATION MAKEDIPROP(11)
typedef struct DIPROPCAL {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lCenter;
    LONG lMax;
} DIPROPCAL, *LPDIPROPCAL;
typedef const DIPROPCAL* LPCDIPROPCAL;
#endif

static_assert(DIRECTINPUT_VERSION == 0x0500, "the joystick object speaks DirectInput 5");
static_assert(sizeof(JOYINFOEX) == 52, "JOYINFOEX is 52 bytes");
static_assert(sizeof(JOYCAPSA) == 404, "JOYCAPSA is 404 bytes");
static_assert(sizeof(DIJOYSTATE) == 80, "DIJOYSTATE is 80 bytes");
static_assert(sizeof(DIJOYCONFIG) == 1160, "DIJOYCONFIG is 1160 bytes as DirectInput 5 sees it");
static_assert(sizeof(DIPROPCAL) == 28, "DIPROPCAL is 28 bytes");
static_assert(sizeof(DIJOYUSERVALUES) == 1128, "DIJOYUSERVALUES is 1128 bytes");

// The configuration record as IDirectInputJoyConfig's methods take it. The same record everywhere but
// with mingw-w64, whose parameter type is the longer, later record (DirectInput reads dwSize to tell).
inline LPDIJOYCONFIG AsJoyConfigParam(DIJOYCONFIG* config) { return reinterpret_cast<LPDIJOYCONFIG>(config); }
