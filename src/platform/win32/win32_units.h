// What a joystick's axes span on Windows, and their per-axis calibration, as DirectInput 8 reports and
// keeps them. Kept apart from the rest of the platform: only the units behind this header speak
// DirectInput 8 (win32_units.cpp, win32_calibration.cpp), whose headers cannot share a translation unit
// with DirectInput 5's.
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

// One axis's per-axis calibration as DirectInput keeps it for a HID joystick (DIPROP_CALIBRATION).
struct Win32AxisCalibration {
    bool stored = false;
    int32_t min = 0;
    int32_t center = 0;
    int32_t max = 0;
};

// The per-axis calibration of joystick `number`'s six axes, read from the values DirectInput keeps under
// the device's identity key. False when DirectInput 8 or that key cannot be found.
bool ReadAxisCalibrations(unsigned number, Win32AxisCalibration (&axes)[6]);
// Writes the axes in `mask` through a DirectInput 8 device that is never acquired: a stored one with
// SetProperty(DIPROP_CALIBRATION), one not stored by deleting its value. The first failure as an
// HRESULT, else 0.
long WriteAxisCalibrations(unsigned number, const Win32AxisCalibration (&axes)[6], unsigned mask);
