// What a joystick's axes span on Windows, as DirectInput 8 reports it. Kept apart from the rest of the
// platform: this is the one file that speaks DirectInput 8, whose headers cannot share a translation
// unit with DirectInput 5's.
#pragma once

#include <cstdint>

struct Win32AxisRange {
    bool present = false;
    int32_t min = 0;
    int32_t max = 0;
};

// The six axes (X, Y, Z, Rz, slider 0, slider 1) of joystick `number` with each one's HID logical range.
// False when DirectInput 8 cannot tell: no DirectInput 8, no device behind the number, or no range.
bool QueryAxisRanges(unsigned number, Win32AxisRange (&axes)[6]);
