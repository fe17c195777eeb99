// Recording fakes of the DirectInput 5 interfaces and the platform services, for call-order tests.
#pragma once

#include <gmock/gmock.h>

#include <cstdint>
#include <ostream>

#include "joystick/joystick_services.h"

// The predefined property identifiers are small integers posing as GUID references; print them as such
// instead of reading through them.
inline void PrintTo(const GUID& guid, std::ostream* os) {
    const auto address = reinterpret_cast<uintptr_t>(&guid);
    if (address < 0x10000) {
        *os << "DIPROP(" << address << ")";
        return;
    }
    *os << std::hex << "{" << guid.Data1 << "-" << guid.Data2 << "-" << guid.Data3 << "-...}" << std::dec;
}

class MockServices : public CJoystickServices {
public:
    MOCK_METHOD(MMRESULT, joyGetPosEx, (UINT, JOYINFOEX*), (override));
    MOCK_METHOD(MMRESULT, joyGetDevCapsA, (UINT_PTR, JOYCAPSA*, UINT), (override));
    MOCK_METHOD(MMRESULT, joyConfigChanged, (DWORD), (override));
    MOCK_METHOD(LONG, RegOpenKeyA, (HKEY, LPCSTR, HKEY*), (override));
    MOCK_METHOD(LONG, RegQueryValueExA, (HKEY, LPCSTR, DWORD*, DWORD*, BYTE*, DWORD*), (override));
    MOCK_METHOD(LONG, RegEnumKeyA, (HKEY, DWORD, LPSTR, DWORD), (override));
    MOCK_METHOD(LONG, RegDeleteKeyA, (HKEY, LPCSTR), (override));
    MOCK_METHOD(LONG, RegCloseKey, (HKEY), (override));
    MOCK_METHOD(UINT, RegisterWindowMessageA, (LPCSTR), (override));
    MOCK_METHOD(HRESULT, DirectInputCreateA, (HINSTANCE, DWORD, IDirectInputA**, IUnknown*), (override));
};

class MockDirectInput : public IDirectInputA {
public:
    MOCK_METHOD(HRESULT, QueryInterface, (REFIID, void**), (override));
    MOCK_METHOD(ULONG, AddRef, (), (override));
    MOCK_METHOD(ULONG, Release, (), (override));
    MOCK_METHOD(HRESULT, CreateDevice, (REFGUID, LPDIRECTINPUTDEVICEA*, LPUNKNOWN), (override));
    MOCK_METHOD(HRESULT, EnumDevices, (DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD), (override));
    MOCK_METHOD(HRESULT, GetDeviceStatus, (REFGUID), (override));
    MOCK_METHOD(HRESULT, RunControlPanel, (HWND, DWORD), (override));
    MOCK_METHOD(HRESULT, Initialize, (HINSTANCE, DWORD), (override));
};

class MockDevice : public IDirectInputDevice2A {
public:
    MOCK_METHOD(HRESULT, QueryInterface, (REFIID, void**), (override));
    MOCK_METHOD(ULONG, AddRef, (), (override));
    MOCK_METHOD(ULONG, Release, (), (override));
    MOCK_METHOD(HRESULT, GetCapabilities, (LPDIDEVCAPS), (override));
    MOCK_METHOD(HRESULT, EnumObjects, (LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD), (override));
    MOCK_METHOD(HRESULT, GetProperty, (REFGUID, LPDIPROPHEADER), (override));
    MOCK_METHOD(HRESULT, SetProperty, (REFGUID, LPCDIPROPHEADER), (override));
    MOCK_METHOD(HRESULT, Acquire, (), (override));
    MOCK_METHOD(HRESULT, Unacquire, (), (override));
    MOCK_METHOD(HRESULT, GetDeviceState, (DWORD, LPVOID), (override));
    MOCK_METHOD(HRESULT, GetDeviceData, (DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD), (override));
    MOCK_METHOD(HRESULT, SetDataFormat, (LPCDIDATAFORMAT), (override));
    MOCK_METHOD(HRESULT, SetEventNotification, (HANDLE), (override));
    MOCK_METHOD(HRESULT, SetCooperativeLevel, (HWND, DWORD), (override));
    MOCK_METHOD(HRESULT, GetObjectInfo, (LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD), (override));
    MOCK_METHOD(HRESULT, GetDeviceInfo, (LPDIDEVICEINSTANCEA), (override));
    MOCK_METHOD(HRESULT, RunControlPanel, (HWND, DWORD), (override));
    MOCK_METHOD(HRESULT, Initialize, (HINSTANCE, DWORD, REFGUID), (override));
    MOCK_METHOD(HRESULT, CreateEffect, (REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN), (override));
    MOCK_METHOD(HRESULT, EnumEffects, (LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD), (override));
    MOCK_METHOD(HRESULT, GetEffectInfo, (LPDIEFFECTINFOA, REFGUID), (override));
    MOCK_METHOD(HRESULT, GetForceFeedbackState, (LPDWORD), (override));
    MOCK_METHOD(HRESULT, SendForceFeedbackCommand, (DWORD), (override));
    MOCK_METHOD(HRESULT, EnumCreatedEffectObjects, (LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD), (override));
    MOCK_METHOD(HRESULT, Escape, (LPDIEFFESCAPE), (override));
    MOCK_METHOD(HRESULT, Poll, (), (override));
    MOCK_METHOD(HRESULT, SendDeviceData, (DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD), (override));
};

class MockJoyConfig : public IDirectInputJoyConfig {
public:
    MOCK_METHOD(HRESULT, QueryInterface, (REFIID, void**), (override));
    MOCK_METHOD(ULONG, AddRef, (), (override));
    MOCK_METHOD(ULONG, Release, (), (override));
    MOCK_METHOD(HRESULT, Acquire, (), (override));
    MOCK_METHOD(HRESULT, Unacquire, (), (override));
    MOCK_METHOD(HRESULT, SetCooperativeLevel, (HWND, DWORD), (override));
    MOCK_METHOD(HRESULT, SendNotify, (), (override));
    MOCK_METHOD(HRESULT, EnumTypes, (LPDIJOYTYPECALLBACK, LPVOID), (override));
    MOCK_METHOD(HRESULT, GetTypeInfo, (LPCWSTR, LPDIJOYTYPEINFO, DWORD), (override));
    MOCK_METHOD(HRESULT, SetTypeInfo, (LPCWSTR, LPCDIJOYTYPEINFO, DWORD), (override));
    MOCK_METHOD(HRESULT, DeleteType, (LPCWSTR), (override));
    MOCK_METHOD(HRESULT, GetConfig, (UINT, LPDIJOYCONFIG, DWORD), (override));
    MOCK_METHOD(HRESULT, SetConfig, (UINT, LPCDIJOYCONFIG, DWORD), (override));
    MOCK_METHOD(HRESULT, DeleteConfig, (UINT), (override));
    MOCK_METHOD(HRESULT, GetUserValues, (LPDIJOYUSERVALUES, DWORD), (override));
    MOCK_METHOD(HRESULT, SetUserValues, (LPCDIJOYUSERVALUES, DWORD), (override));
    MOCK_METHOD(HRESULT, AddNewHardware, (HWND, REFGUID), (override));
    MOCK_METHOD(HRESULT, OpenTypeKey, (LPCWSTR, DWORD, PHKEY), (override));
    MOCK_METHOD(HRESULT, OpenConfigKey, (UINT, DWORD, PHKEY), (override));
};
