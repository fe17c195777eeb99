// What the DirectInput 8 units share: the axes' offsets, and the joystick number's device found through
// DirectInput 8's configuration interface. Include after defining
// DIRECTINPUT_VERSION 0x0800 and including <windows.h>, <dinput.h> and <dinputd.h>.
#pragma once

#if DIRECTINPUT_VERSION != 0x0800
#error "a DirectInput 8 unit"
#endif

#include <cstddef>

#include "joystick/com_ref.h"

// The six axes' object offsets in c_dfDIJoystick's layout: X, Y, Z, Rz, slider 0, slider 1.
inline constexpr DWORD kAxisOffsets[6] = {offsetof(DIJOYSTATE, lX), offsetof(DIJOYSTATE, lY),
                                          offsetof(DIJOYSTATE, lZ), offsetof(DIJOYSTATE, lRz),
                                          offsetof(DIJOYSTATE, rglSlider[0]), offsetof(DIJOYSTATE, rglSlider[1])};

// Creates a DirectInput 8 object and the device of joystick `number` with the joystick data format,
// never acquired; its instance GUID in *instance. The first failure, else DI_OK.
inline HRESULT OpenJoystick8(unsigned number, ComRef<IDirectInput8A>& input, ComRef<IDirectInputDevice8A>& device,
                             GUID* instance) {
    HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A, input.out(),
                                    nullptr);
    if (FAILED(hr)) return hr;
    // The joystick number's device, through the DirectInput 8 configuration interface (the only one a
    // DirectInput 8 object answers).
    ComRef<IDirectInputJoyConfig8> config;
    hr = input.p->QueryInterface(IID_IDirectInputJoyConfig8, config.out());
    if (FAILED(hr)) return hr;
    DIJOYCONFIG joy{};
    joy.dwSize = sizeof(joy);
    hr = config.p->GetConfig(number, &joy, DIJC_GUIDINSTANCE);
    if (FAILED(hr)) return hr;
    *instance = joy.guidInstance;
    hr = input.p->CreateDevice(joy.guidInstance, &device.p, nullptr);
    if (FAILED(hr)) return hr;
    return device.p->SetDataFormat(&c_dfDIJoystick);
}
