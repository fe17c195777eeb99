// The six axes as the platform's joystick records hold them, by index 0..5 = X, Y, Z, R, U, V: one
// definition for the dialog and for every platform that stands in for DirectInput.
#pragma once

#include <cstddef>

#include "joystick/platform_api.h"

inline constexpr int kJoystickAxes = 6;

// One axis of a JOYPOS (a minimum, centre, maximum or dead zone per axis).
inline DWORD& JoyPosAxis(JOYPOS& pos, int axis) {
    switch (axis) {
    case 0: return pos.dwX;
    case 1: return pos.dwY;
    case 2: return pos.dwZ;
    case 3: return pos.dwR;
    case 4: return pos.dwU;
    default: return pos.dwV;
    }
}
inline DWORD JoyPosAxis(const JOYPOS& pos, int axis) { return JoyPosAxis(const_cast<JOYPOS&>(pos), axis); }
// Calibration values are signed, stored as 32-bit patterns.
inline LONG SignedJoyPosAxis(const JOYPOS& pos, int axis) { return static_cast<LONG>(JoyPosAxis(pos, axis)); }

// X and Y share the first calibration flag (JOY_ISCAL_XY); Z, R, U and V have one each.
inline int CalibrationFlagOfAxis(int axis) { return axis == 0 ? 0 : axis - 1; }

// The object offsets of the six axes in c_dfDIJoystick's layout of DIJOYSTATE.
inline constexpr DWORD kStateAxisOffsets[kJoystickAxes] = {
    offsetof(DIJOYSTATE, lX),           offsetof(DIJOYSTATE, lY),
    offsetof(DIJOYSTATE, lZ),           offsetof(DIJOYSTATE, lRz),
    offsetof(DIJOYSTATE, rglSlider[0]), offsetof(DIJOYSTATE, rglSlider[1])};

// The axes a DirectInput property header addresses: the whole device, or one axis by its offset.
// False for a header of the wrong size or an object that is none of the six axes.
inline bool PropertyAxes(const DIPROPHEADER& header, int* first, int* last) {
    if (header.dwHeaderSize != sizeof(DIPROPHEADER)) {
        return false;
    }
    if (header.dwHow == DIPH_DEVICE) {
        *first = 0;
        *last = kJoystickAxes - 1;
        return header.dwObj == 0;
    }
    if (header.dwHow == DIPH_BYOFFSET) {
        for (int axis = 0; axis < kJoystickAxes; ++axis) {
            if (kStateAxisOffsets[axis] == header.dwObj) {
                *first = *last = axis;
                return true;
            }
        }
    }
    return false;
}
