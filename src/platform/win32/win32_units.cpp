// The logical range of each axis, from a DirectInput 8 device. A DirectInput 5 device cannot say what a
// HID axis spans (DIPROP_LOGICALRANGE answers DIERR_UNSUPPORTED below version 0x800); the editor needs
// it to show and write calibration in the device's own units.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>

#include <dinput.h>
#include <dinputd.h>

#include "platform/win32/win32_dinput8.h"
#include "platform/win32/win32_units.h"

bool QueryAxisRanges(unsigned number, Win32AxisRange (&axes)[6]) {
    for (Win32AxisRange& axis : axes) axis = Win32AxisRange{};
    ComRef<IDirectInput8A> input;
    ComRef<IDirectInputDevice8A> device;
    GUID instance;
    if (FAILED(OpenJoystick8(number, input, device, &instance))) {
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
