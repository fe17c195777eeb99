// DirectInput 5's joystick configuration interface for builds that have no <dinputd.h>:
// the configuration records as DirectInput 5 sees them (DIJOYCONFIG 1160 bytes, DIJOYUSERVALUES 1128 bytes),
// their flags, IDirectInputJoyConfig and DirectInput 8's IDirectInputJoyConfig8, with the SDK's names,
// layouts and method order.
#pragma once

#include "platform/compat/dinput.h"

#define DIERR_NOMOREITEMS MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, ERROR_NO_MORE_ITEMS)

#define JOY_HW_NONE 0
#define JOY_HW_CUSTOM 1
#define JOY_HW_2A_2B_GENERIC 2
#define JOY_HW_2A_4B_GENERIC 3
#define JOY_HW_2B_GAMEPAD 4
#define JOY_HW_2B_FLIGHTYOKE 5
#define JOY_HW_2B_FLIGHTYOKETHROTTLE 6
#define JOY_HW_3A_2B_GENERIC 7
#define JOY_HW_3A_4B_GENERIC 8
#define JOY_HW_4B_GAMEPAD 9
#define JOY_HW_4B_FLIGHTYOKE 10
#define JOY_HW_4B_FLIGHTYOKETHROTTLE 11
#define JOY_HW_TWO_2A_2B_WITH_Y 12
#define JOY_HW_LASTENTRY 13

#define JOY_ISCAL_XY 0x00000001
#define JOY_ISCAL_Z 0x00000002
#define JOY_ISCAL_R 0x00000004
#define JOY_ISCAL_U 0x00000008
#define JOY_ISCAL_V 0x00000010
#define JOY_ISCAL_POV 0x00000020

#define JOY_HWS_HASZ 0x00000001
#define JOY_HWS_HASPOV 0x00000002
#define JOY_HWS_POVISBUTTONCOMBOS 0x00000004
#define JOY_HWS_POVISPOLL 0x00000008
#define JOY_HWS_ISYOKE 0x00000010
#define JOY_HWS_ISGAMEPAD 0x00000020
#define JOY_HWS_ISCARCTRL 0x00000040
#define JOY_HWS_HASR 0x00080000
#define JOY_HWS_HASU 0x00800000
#define JOY_HWS_HASV 0x01000000

#define JOY_US_HASRUDDER 0x00000001
#define JOY_US_PRESENT 0x00000002
#define JOY_US_ISOEM 0x00000004

#define MAX_JOYSTRING 256

typedef struct joypos_tag {
    DWORD dwX;
    DWORD dwY;
    DWORD dwZ;
    DWORD dwR;
    DWORD dwU;
    DWORD dwV;
} JOYPOS, *LPJOYPOS;

typedef struct joyrange_tag {
    JOYPOS jpMin;
    JOYPOS jpMax;
    JOYPOS jpCenter;
} JOYRANGE, *LPJOYRANGE;

typedef struct joyreguservalues_tag {
    DWORD dwTimeOut;
    JOYRANGE jrvRanges;
    JOYPOS jpDeadZone;
} JOYREGUSERVALUES, *LPJOYREGUSERVALUES;

typedef struct joyreghwsettings_tag {
    DWORD dwFlags;
    DWORD dwNumButtons;
} JOYREGHWSETTINGS, *LPJOYHWSETTINGS;

typedef struct joyreghwvalues_tag {
    JOYRANGE jrvHardware;
    DWORD dwPOVValues[4];
    DWORD dwCalFlags;
} JOYREGHWVALUES, *LPJOYREGHWVALUES;

typedef struct joyreghwconfig_tag {
    JOYREGHWSETTINGS hws;
    DWORD dwUsageSettings;
    JOYREGHWVALUES hwv;
    DWORD dwType;
    DWORD dwReserved;
} JOYREGHWCONFIG, *LPJOYREGHWCONFIG;

typedef BOOL(CALLBACK* LPDIJOYTYPECALLBACK)(LPCWSTR, LPVOID);

#define DITC_REGHWSETTINGS 0x00000001
#define DITC_CLSIDCONFIG 0x00000002
#define DITC_DISPLAYNAME 0x00000004
#define DITC_CALLOUT 0x00000008

typedef struct DIJOYTYPEINFO {
    DWORD dwSize;
    JOYREGHWSETTINGS hws;
    CLSID clsidConfig;
    WCHAR wszDisplayName[MAX_JOYSTRING];
    WCHAR wszCallout[MAX_PATH];
} DIJOYTYPEINFO, *LPDIJOYTYPEINFO;
typedef const DIJOYTYPEINFO* LPCDIJOYTYPEINFO;

#define DIJC_GUIDINSTANCE 0x00000001
#define DIJC_REGHWCONFIGTYPE 0x00000002
#define DIJC_GAIN 0x00000004
#define DIJC_CALLOUT 0x00000008

// The record as DirectInput 5 defines it (later versions append guidGameport).
typedef struct DIJOYCONFIG {
    DWORD dwSize;
    GUID guidInstance;
    JOYREGHWCONFIG hwc;
    DWORD dwGain;
    WCHAR wszType[MAX_JOYSTRING];
    WCHAR wszCallout[MAX_JOYSTRING];
} DIJOYCONFIG, *LPDIJOYCONFIG;
typedef const DIJOYCONFIG* LPCDIJOYCONFIG;
typedef DIJOYCONFIG DIJOYCONFIG_DX5;
typedef DIJOYCONFIG* LPDIJOYCONFIG_DX5;
typedef const DIJOYCONFIG* LPCDIJOYCONFIG_DX5;

#define DIJU_USERVALUES 0x00000001
#define DIJU_GLOBALDRIVER 0x00000002
#define DIJU_GAMEPORTEMULATOR 0x00000004

typedef struct DIJOYUSERVALUES {
    DWORD dwSize;
    JOYREGUSERVALUES ruv;
    WCHAR wszGlobalDriver[MAX_JOYSTRING];
    WCHAR wszGameportEmulator[MAX_JOYSTRING];
} DIJOYUSERVALUES, *LPDIJOYUSERVALUES;
typedef const DIJOYUSERVALUES* LPCDIJOYUSERVALUES;

static_assert(sizeof(JOYREGHWCONFIG) == 112, "JOYREGHWCONFIG layout");
static_assert(sizeof(DIJOYCONFIG) == 1160, "DIJOYCONFIG is 1160 bytes as DirectInput 5 sees it");
static_assert(sizeof(DIJOYUSERVALUES) == 1128, "DIJOYUSERVALUES is 1128 bytes");

inline const GUID IID_IDirectInputJoyConfig = {0x1DE12AB1, 0xC9F5, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

struct IDirectInputJoyConfig : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Acquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unacquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendNotify() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumTypes(LPDIJOYTYPECALLBACK fn, LPVOID pvRef) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(LPCWSTR pwszTypeName, LPDIJOYTYPEINFO pjti, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTypeInfo(LPCWSTR pwszTypeName, LPCDIJOYTYPEINFO pjti, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteType(LPCWSTR pwszTypeName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConfig(UINT uiJoy, LPDIJOYCONFIG pjc, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetConfig(UINT uiJoy, LPCDIJOYCONFIG pjc, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteConfig(UINT uiJoy) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUserValues(LPDIJOYUSERVALUES pjuv, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUserValues(LPCDIJOYUSERVALUES pjuv, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddNewHardware(HWND hwndOwner, REFGUID rguidClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenTypeKey(LPCWSTR pwszType, DWORD regsam, PHKEY phk) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenConfigKey(UINT uiJoy, DWORD regsam, PHKEY phk) = 0;

protected:
    ~IDirectInputJoyConfig() = default;
};
typedef IDirectInputJoyConfig* LPDIRECTINPUTJOYCONFIG;

// DirectInput 8's configuration interface: the same calls on the same records (the records' dwSize tells
// their version), but for SetTypeInfo's added out-parameter and OpenAppStatusKey in place of OpenConfigKey.
inline const GUID IID_IDirectInputJoyConfig8 = {0xEB0D7DFA, 0x1990, 0x4F27, {0xB4, 0xD6, 0xED, 0xF2, 0xEE, 0xC4, 0xA4, 0x4C}};

struct IDirectInputJoyConfig8 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Acquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unacquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendNotify() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumTypes(LPDIJOYTYPECALLBACK fn, LPVOID pvRef) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(LPCWSTR pwszTypeName, LPDIJOYTYPEINFO pjti, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTypeInfo(LPCWSTR pwszTypeName, LPCDIJOYTYPEINFO pjti, DWORD dwFlags,
                                                  LPWSTR pwszVIDPIDTypeName) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteType(LPCWSTR pwszTypeName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConfig(UINT uiJoy, LPDIJOYCONFIG pjc, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetConfig(UINT uiJoy, LPCDIJOYCONFIG pjc, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteConfig(UINT uiJoy) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUserValues(LPDIJOYUSERVALUES pjuv, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUserValues(LPCDIJOYUSERVALUES pjuv, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddNewHardware(HWND hwndOwner, REFGUID rguidClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenTypeKey(LPCWSTR pwszType, DWORD regsam, PHKEY phk) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenAppStatusKey(PHKEY phk) = 0;

protected:
    ~IDirectInputJoyConfig8() = default;
};
typedef IDirectInputJoyConfig8* LPDIRECTINPUTJOYCONFIG8;
