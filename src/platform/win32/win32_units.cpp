// The logical range of each axis, from a DirectInput 8 device. A DirectInput 5 device cannot say what a
// HID axis spans (DIPROP_LOGICALRANGE answers DIERR_UNSUPPORTED below version 0x800); the editor needs
// it to show and write calibration in the device's own units.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>

#include <dinput.h>
#include <dinputd.h>

#include <cstddef>

#include "platform/win32/win32_units.h"

namespace {

// Releases a COM reference on every path.
template <typename T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p != nullptr) p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};

constexpr DWORD kAxisOffsets[6] = {offsetof(DIJOYSTATE, lX), offsetof(DIJOYSTATE, lY),
                                   offsetof(DIJOYSTATE, lZ), offsetof(DIJOYSTATE, lRz),
                                   offsetof(DIJOYSTATE, rglSlider[0]), offsetof(DIJOYSTATE, rglSlider[1])};

}  // namespace

bool QueryAxisRanges(unsigned number, Win32AxisRange (&axes)[6]) {
    for (Win32AxisRange& axis : axes) axis = Win32AxisRange{};
    Ref<IDirectInput8A> input;
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A, input.out(),
                                  nullptr))) {
        return false;
    }
    // The joystick number's device, through the DirectInput 8 configuration interface (the only one a
    // DirectInput 8 object answers).
    Ref<IDirectInputJoyConfig8> config;
    if (FAILED(input.p->QueryInterface(IID_IDirectInputJoyConfig8, config.out()))) {
        return false;
    }
    DIJOYCONFIG joy{};
    joy.dwSize = sizeof(joy);
    if (FAILED(config.p->GetConfig(number, &joy, DIJC_GUIDINSTANCE))) {
        return false;
    }
    Ref<IDirectInputDevice8A> device;
    if (FAILED(input.p->CreateDevice(joy.guidInstance, &device.p, nullptr)) ||
        FAILED(device.p->SetDataFormat(&c_dfDIJoystick))) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        DIPROPRANGE range{};
        range.diph.dwSize = sizeof(range);
        range.diph.dwHeaderSize = sizeof(range.diph);
        range.diph.dwObj = kAxisOffsets[i];
        range.diph.dwHow = DIPH_BYOFFSET;
        const HRESULT hr = device.p->GetProperty(DIPROP_LOGICALRANGE, &range.diph);
        if (hr == DIERR_OBJECTNOTFOUND || hr == DIERR_NOTFOUND) {
            continue;  // the device has no such axis
        }
        if (FAILED(hr)) {
            return false;
        }
        axes[i] = {range.lMin < range.lMax, range.lMin, range.lMax};
    }
    return true;
}
