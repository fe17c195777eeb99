// The calibration store behind the DirectInput substitute on joydev and evdev: the editor's view of a
// controller's calibration, and each edit written to the kernel's correction and axis info.
#include "platform/linux/linux_platform.h"

#include <cstdio>

#include "joystick/joystick_records.h"

using linuxjoy::AxisCalibration;
using linuxjoy::AxisKernelState;
using linuxjoy::KernelJoystick;
using linuxjoy::kAxes;

namespace {

bool SameState(const std::array<AxisKernelState, kAxes>& a, const std::array<AxisKernelState, kAxes>& b, int axes) {
    for (int i = 0; i < axes; ++i) {
        if (!linuxjoy::SameCorrection(a[i].corr, b[i].corr) || !linuxjoy::SameAxisInfo(a[i].info, b[i].info)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CLinuxPlatform::View(UINT number, DWORD* calFlags, JOYRANGE* range, JOYPOS* deadZone) {
    *calFlags = 0;
    *range = {};
    *deadZone = {};
    KernelJoystick* joystick = Present(number);
    if (joystick == nullptr) {
        return;
    }
    std::array<AxisKernelState, kAxes> now{};
    joystick->ReadKernelState(&now);
    const int axes = joystick->axes();
    Written& written = m_written[number];
    if (written.valid && SameState(now, written.state, axes)) {
        *calFlags = written.calFlags;
        *range = written.range;
        *deadZone = written.deadZone;
        return;
    }
    written.valid = false;  // someone else changed the kernel's correction: show what it holds
    const std::array<AxisKernelState, kAxes>& own = joystick->OwnState();
    for (int i = 0; i < axes; ++i) {
        // The kernel's own correction stands for no calibration: it reads as the axis's own range and
        // flat, so that marking the axis calibrated without an edit changes nothing.
        const bool ownState =
            linuxjoy::SameCorrection(now[i].corr, own[i].corr) && linuxjoy::SameAxisInfo(now[i].info, own[i].info);
        const AxisCalibration cal = ownState ? linuxjoy::IdentityOf(own[i].info) : linuxjoy::CalibrationOf(now[i]);
        JoyPosAxis(range->jpMin, i) = static_cast<DWORD>(cal.min);
        JoyPosAxis(range->jpCenter, i) = static_cast<DWORD>(cal.center);
        JoyPosAxis(range->jpMax, i) = static_cast<DWORD>(cal.max);
        JoyPosAxis(*deadZone, i) = cal.deadZone;
        if (!ownState) {
            *calFlags |= DWORD{1} << CalibrationFlagOfAxis(i);
        }
    }
}

bool CLinuxPlatform::HasCalibration(UINT number) {
    KernelJoystick* joystick = Present(number, true);
    if (joystick == nullptr) {
        return false;
    }
    std::array<AxisKernelState, kAxes> now{};
    joystick->ReadKernelState(&now);
    return !SameState(now, joystick->OwnState(), joystick->axes());
}

bool CLinuxPlatform::RestoreOwn(UINT number) {
    KernelJoystick* joystick = Present(number);
    if (joystick == nullptr || !joystick->WriteKernelState(joystick->OwnState())) {
        return false;
    }
    m_written[number] = {};
    return true;
}

HRESULT CLinuxPlatform::GetConfig(UINT number, DIJOYCONFIG* config, DWORD flags) {
    if (number >= kJoysticks) {
        return DIERR_NOMOREITEMS;
    }
    KernelJoystick* joystick = Present(number);
    if (joystick == nullptr) {
        return S_FALSE;  // an unused number reads as an empty record
    }
    if (flags & DIJC_GUIDINSTANCE) {
        config->guidInstance = InstanceGuid(number);
    }
    if (flags & DIJC_REGHWCONFIGTYPE) {
        JOYREGHWCONFIG& hwc = config->hwc;
        hwc = {};
        const int axes = joystick->axes();
        hwc.hws.dwNumButtons = static_cast<DWORD>(joystick->buttons());
        hwc.hws.dwFlags = (axes > 2 ? JOY_HWS_HASZ : 0) | (axes > 3 ? JOY_HWS_HASR : 0) |
                          (axes > 4 ? JOY_HWS_HASU : 0) | (axes > 5 ? JOY_HWS_HASV : 0);
        hwc.dwUsageSettings = JOY_US_PRESENT;
        hwc.dwType = JOY_HW_CUSTOM;
        JOYPOS deadZone{};
        View(number, &hwc.hwv.dwCalFlags, &hwc.hwv.jrvHardware, &deadZone);
    }
    return DI_OK;
}

HRESULT CLinuxPlatform::SetConfig(UINT number, const DIJOYCONFIG* config, DWORD flags) {
    if (number >= kJoysticks) {
        return DIERR_INVALIDPARAM;
    }
    KernelJoystick* joystick = Present(number);
    if (joystick == nullptr) {
        return DIERR_UNPLUGGED;
    }
    if ((flags & DIJC_REGHWCONFIGTYPE) == 0) {
        return DI_OK;  // the instance, gain and callout are the kernel's, not ours to set
    }
    if (!joystick->Writable()) {
        return DIERR_READONLY;
    }
    const JOYREGHWVALUES& hwv = config->hwc.hwv;
    const DWORD calFlags = hwv.dwCalFlags & (JOY_ISCAL_XY | JOY_ISCAL_Z | JOY_ISCAL_R | JOY_ISCAL_U | JOY_ISCAL_V);
    std::array<AxisKernelState, kAxes> now{};
    joystick->ReadKernelState(&now);
    std::array<AxisKernelState, kAxes> wanted = now;
    for (int i = 0; i < joystick->axes(); ++i) {
        if ((calFlags >> CalibrationFlagOfAxis(i) & 1) == 0) {
            wanted[i] = joystick->OwnState()[i];
            continue;
        }
        AxisCalibration cal;
        cal.min = static_cast<int32_t>(JoyPosAxis(hwv.jrvHardware.jpMin, i));
        cal.center = static_cast<int32_t>(JoyPosAxis(hwv.jrvHardware.jpCenter, i));
        cal.max = static_cast<int32_t>(JoyPosAxis(hwv.jrvHardware.jpMax, i));
        cal.deadZone = JoyPosAxis(m_pendingDeadZone[number], i);
        AxisKernelState corrected;
        if (Calibrate(*joystick, i, cal, &corrected) != Line::Made) {
            continue;  // the kernel's correction of that axis stays as it is
        }
        wanted[i] = corrected;
    }
    if (!joystick->WriteKernelState(wanted)) {
        m_written[number] = {};
        return DIERR_READONLY;
    }
    Written& written = m_written[number];
    written.valid = true;
    written.calFlags = calFlags;
    written.range = hwv.jrvHardware;
    written.deadZone = m_pendingDeadZone[number];
    joystick->ReadKernelState(&written.state);  // what the kernel holds now, as later reads will find it
    return DI_OK;
}

CLinuxPlatform::Line CLinuxPlatform::Calibrate(const KernelJoystick& joystick, int axis, const AxisCalibration& cal,
                                               AxisKernelState* out) {
    const AxisKernelState& own = joystick.OwnState()[axis];
    if (own.info.minimum >= own.info.maximum) {
        return Line::None;  // a constant axis (or no evdev node to say its range): joydev leaves it uncorrected
    }
    if (linuxjoy::SameCalibration(cal, linuxjoy::IdentityOf(own.info))) {
        *out = own;  // the axis as the device reports it: the kernel's own correction and flat
        return Line::Made;
    }
    AxisKernelState state;
    if (!linuxjoy::CorrectionFor(cal, own.info, &state)) {
        return Line::None;  // values out of order (half typed) are no line
    }
    if (!linuxjoy::CorrectionFits(state.corr, own.info.minimum, own.info.maximum)) {
        return Line::Overflows;
    }
    *out = state;
    return Line::Made;
}

bool CLinuxPlatform::GetJoystickUnits(UINT uJoyID, JoystickUnits* units) {
    *units = JoystickUnits{};
    KernelJoystick* joystick = Present(uJoyID);
    if (joystick == nullptr) {
        return false;
    }
    // evdev's axis info as the nodes were opened: what the device reports, before any calibration of ours,
    // with its flat as the dead zone the editor reads for it (IdentityOf), so that the defaults keep it.
    for (int i = 0; i < joystick->axes(); ++i) {
        const input_absinfo& info = joystick->OwnState()[i].info;
        units->axes[i] = {info.minimum < info.maximum, info.minimum, info.maximum, true,
                          linuxjoy::IdentityOf(info).deadZone};
    }
    return true;
}

bool CLinuxPlatform::CheckAxisCalibration(UINT uJoyID, int axis, LONG min, LONG center, LONG max, DWORD deadZone,
                                          char* why, size_t whySize) {
    if (why != nullptr && whySize > 0) {
        why[0] = '\0';
    }
    KernelJoystick* joystick = Present(uJoyID);
    if (joystick == nullptr || axis < 0 || axis >= joystick->axes()) {
        return true;  // nothing would be written
    }
    AxisKernelState state;
    if (Calibrate(*joystick, axis, AxisCalibration{min, center, max, deadZone}, &state) != Line::Overflows) {
        return true;
    }
    const input_absinfo& own = joystick->OwnState()[axis].info;
    if (why != nullptr && whySize > 0) {
        static const char kAxisNames[] = "XYZRUV";
        std::snprintf(why, whySize,
                      "The kernel cannot apply this calibration of the %c axis: joydev computes its correction in "
                      "32-bit integers, which would overflow towards the axis's ends (%d..%d), and games reading "
                      "js%u would see the axis jump.\n\nNothing was changed. Keep each end of the calibration at "
                      "least a quarter of the way from its centre to the axis's own end.",
                      kAxisNames[axis], own.minimum, own.maximum, uJoyID);
    }
    return false;
}

void CLinuxPlatform::GetDeadZones(UINT number, JOYPOS* deadZones) {
    DWORD calFlags = 0;
    JOYRANGE range{};
    View(number, &calFlags, &range, deadZones);
    if (number < kJoysticks) {
        m_pendingDeadZone[number] = *deadZones;
    }
}

void CLinuxPlatform::SetDeadZones(UINT number, const JOYPOS& deadZones) {
    if (number < kJoysticks) {
        m_pendingDeadZone[number] = deadZones;
    }
}
