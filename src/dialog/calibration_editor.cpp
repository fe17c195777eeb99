// The main dialog's calibration editor: the grid and dead zones loaded from the selected joystick,
// every edit written back at once and read back, "Default values", and the reload when the joystick
// configuration changes.
#include <cstdint>
#include <cstring>

#include "dialog/padwright_dlg.h"
#include "joystick/dijoystick.h"
#include "joystick/joystick_records.h"
#include "joystick/joystick_services.h"
#include "res/resource.h"

namespace {

// Shown for an axis that is not marked calibrated, and written by "Default values".
constexpr LONG kUncalibratedMin = 0;
constexpr LONG kUncalibratedCenter = 328;
constexpr LONG kUncalibratedMax = 655;
constexpr DWORD kDefaultDeadZones[AXIS_COUNT] = {5, 5, 0, 0, 0, 0};

// Reloads the joystick's configuration and user values. A load that fails leaves its record cleared,
// and the editor writes both records back whole; so when either load fails, both records return to
// what they held, and no later write can store an emptied configuration (type, buttons, axes gone)
// or emptied global user values (ranges of every joystick 0..0).
bool ReloadRecords(CDIJoystick& joystick) {
    const DIJOYCONFIG config = joystick.m_config;
    const DIJOYUSERVALUES userValues = joystick.m_userValues;
    if (joystick.LoadConfig() >= 0 && joystick.LoadUserValues() >= 0) return true;
    joystick.m_config = config;
    joystick.m_userValues = userValues;
    return false;
}

}  // namespace

// The editor's units come from the platform, which asks the device: a gameport joystick keeps its
// calibration in the driver's numbers, any other in what each axis reports, and an axis the device lacks
// is never written. What happens to be stored decides nothing, except that a calibrated axis whose
// stored values lie beyond the axis's range widens the range the grid accepts to them, so that no
// field the user did not touch fails the check.
void CPadwrightDlg::TakeUnits(const JOYREGHWVALUES& stored) {
    JoystickUnits units;
    const bool known = JoystickServices().GetJoystickUnits(static_cast<UINT>(m_joystickId), &units);
    for (int i = 0; i < AXIS_COUNT; ++i) {
        const JoystickAxisUnits& axis = units.axes[i];
        LONG low = INT32_MIN;
        LONG high = INT32_MAX;
        m_axisPresent[i] = FALSE;
        if (known && units.gameport) {
            m_axisPresent[i] = TRUE;
            low = kCalibrationLow;
            high = kCalibrationHigh;
            m_uncalMin[i] = kUncalibratedMin;
            m_uncalCenter[i] = kUncalibratedCenter;
            m_uncalMax[i] = kUncalibratedMax;
        } else if (known && axis.present && axis.min < axis.max) {
            m_axisPresent[i] = TRUE;
            low = axis.min;
            high = axis.max;
            m_uncalMin[i] = axis.min;
            m_uncalCenter[i] = static_cast<LONG>((static_cast<int64_t>(axis.min) + axis.max) / 2);
            m_uncalMax[i] = axis.max;
            if ((stored.dwCalFlags >> CalibrationFlagOfAxis(i)) & 1) {
                for (LONG value : {SignedJoyPosAxis(stored.jrvHardware.jpMin, i),
                                   SignedJoyPosAxis(stored.jrvHardware.jpCenter, i),
                                   SignedJoyPosAxis(stored.jrvHardware.jpMax, i)}) {
                    low = value < low ? value : low;
                    high = value > high ? value : high;
                }
            }
        }
        if (low != m_calLow[i] || high != m_calHigh[i]) {
            m_calLow[i] = low;
            m_calHigh[i] = high;
            for (int id : {IDC_CAL_MIN_X, IDC_CAL_CENTER_X, IDC_CAL_MAX_X})
                SetSpinRange(id + 2 * i + 1, static_cast<int>(low), static_cast<int>(high));
        }
    }
    m_unitsTaken = TRUE;
}

// A calibration flag belongs to the device while it has an axis the flag governs.
bool CPadwrightDlg::FlagPresent(int flag) const {
    for (int i = 0; i < AXIS_COUNT; ++i)
        if (CalibrationFlagOfAxis(i) == flag && m_axisPresent[i]) return true;
    return false;
}

// Asks the platform whether it can apply each calibrated axis that is about to change; the first it
// cannot is told with the platform's reason, and nothing is written.
bool CPadwrightDlg::CalibrationAccepted(const JOYREGHWVALUES& hwv, const JOYPOS& deadZone) {
    const JOYREGHWVALUES& before = m_pJoystick->m_config.hwc.hwv;
    const JOYPOS& deadZoneBefore = m_pJoystick->m_userValues.ruv.jpDeadZone;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        const int flag = CalibrationFlagOfAxis(i);
        if (!m_axisPresent[i] || !((hwv.dwCalFlags >> flag) & 1)) continue;
        const LONG min = SignedJoyPosAxis(hwv.jrvHardware.jpMin, i);
        const LONG center = SignedJoyPosAxis(hwv.jrvHardware.jpCenter, i);
        const LONG max = SignedJoyPosAxis(hwv.jrvHardware.jpMax, i);
        const DWORD zone = JoyPosAxis(deadZone, i);
        const bool unchanged = ((before.dwCalFlags >> flag) & 1) && min == SignedJoyPosAxis(before.jrvHardware.jpMin, i) &&
                               center == SignedJoyPosAxis(before.jrvHardware.jpCenter, i) &&
                               max == SignedJoyPosAxis(before.jrvHardware.jpMax, i) && zone == JoyPosAxis(deadZoneBefore, i);
        if (unchanged) continue;
        char why[512];
        if (!JoystickServices().CheckAxisCalibration(static_cast<UINT>(m_joystickId), i, min, center, max, zone, why,
                                                     sizeof(why))) {
            AfxMessageBox(why, MB_OK);
            return false;
        }
    }
    return true;
}

void CPadwrightDlg::LoadFromDevice(BOOL useDefaults) {
    if (m_pJoystick && m_pJoystick->IsOpen() && ReloadRecords(*m_pJoystick)) {
        const JOYREGHWVALUES& hwv = m_pJoystick->m_config.hwc.hwv;
        if (!m_unitsTaken) TakeUnits(hwv);
        // The defaults clear the flags of the axes the device has; a flag of axes it lacks stays as stored.
        for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k)
            m_calibrated[k] = useDefaults && FlagPresent(k) ? FALSE : static_cast<BOOL>((hwv.dwCalFlags >> k) & 1);

        // An axis shows what is stored while it is marked calibrated, and always where the device lacks it.
        JOYRANGE range = hwv.jrvHardware;
        for (int i = 0; i < AXIS_COUNT; ++i) {
            const bool stored = m_calibrated[CalibrationFlagOfAxis(i)] || !m_axisPresent[i];
            m_calMin[i] = stored ? SignedJoyPosAxis(range.jpMin, i) : m_uncalMin[i];
            m_calCenter[i] = stored ? SignedJoyPosAxis(range.jpCenter, i) : m_uncalCenter[i];
            m_calMax[i] = stored ? SignedJoyPosAxis(range.jpMax, i) : m_uncalMax[i];
        }

        JOYPOS deadZone = m_pJoystick->m_userValues.ruv.jpDeadZone;
        for (int i = 0; i < AXIS_COUNT; ++i) m_deadZone[i] = useDefaults ? kDefaultDeadZones[i] : JoyPosAxis(deadZone, i);
        m_gridLoaded = TRUE;
    }
    UpdateData(FALSE);
}

void CPadwrightDlg::ApplyToDevice() {
    m_configResult = S_OK;  // nothing written yet: nothing refused
    m_userValuesResult = S_OK;
    UpdateData(TRUE);  // result not needed: a field that does not read keeps its last value
    if (!m_gridLoaded || !m_pJoystick || !m_pJoystick->IsOpen()) return;
    const DIJOYCONFIG before = m_pJoystick->m_config;
    const DIJOYUSERVALUES userValuesBefore = m_pJoystick->m_userValues;

    // Nothing is written for an axis the device lacks: its values and its flag stay as loaded, so a box
    // ticked for it unticks again at the reload.
    JOYREGHWVALUES hwv = m_pJoystick->m_config.hwc.hwv;
    DWORD flags = 0;
    for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k) {
        const bool on = FlagPresent(k) ? m_calibrated[k] != FALSE : ((hwv.dwCalFlags >> k) & 1) != 0;
        if (on) flags |= DWORD{1} << k;
    }
    hwv.dwCalFlags = flags;
    JOYPOS deadZone = m_pJoystick->m_userValues.ruv.jpDeadZone;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        JoyPosAxis(deadZone, i) = m_deadZone[i];
        if (!m_axisPresent[i]) continue;
        JoyPosAxis(hwv.jrvHardware.jpMin, i) = static_cast<DWORD>(m_calMin[i]);
        JoyPosAxis(hwv.jrvHardware.jpCenter, i) = static_cast<DWORD>(m_calCenter[i]);
        JoyPosAxis(hwv.jrvHardware.jpMax, i) = static_cast<DWORD>(m_calMax[i]);
    }
    if (!CalibrationAccepted(hwv, deadZone)) return;  // told; nothing was attempted
    m_pJoystick->m_config.hwc.hwv = hwv;
    m_pJoystick->m_userValues.ruv.jpDeadZone = deadZone;
    // A refused write is not retried: the reload that follows shows what is stored, and the user is
    // told once per selection why (TellRefusedSave).
    m_userValuesResult = m_pJoystick->SaveUserValues();
    m_configResult = m_pJoystick->SaveConfig(DIJC_REGHWCONFIGTYPE);
    CheckRefusedParts(before, userValuesBefore);
    // DirectInput applies a calibration to the device objects opened after it: once anything was stored,
    // both readers open again at the next tick.
    if (m_configResult >= 0 || m_userValuesResult >= 0) m_readerReopen[0] = m_readerReopen[1] = TRUE;
}

namespace {

bool SameCalibration(const DIJOYCONFIG& a, const DIJOYCONFIG& b) {
    return a.hwc.hwv.dwCalFlags == b.hwc.hwv.dwCalFlags &&
           std::memcmp(&a.hwc.hwv.jrvHardware, &b.hwc.hwv.jrvHardware, sizeof(JOYRANGE)) == 0;
}

bool SameDeadZones(const DIJOYUSERVALUES& a, const DIJOYUSERVALUES& b) {
    return std::memcmp(&a.ruv.jpDeadZone, &b.ruv.jpDeadZone, sizeof(JOYPOS)) == 0;
}

}  // namespace

// A save that reports a failure may have stored its change all the same, when what failed came after
// the write (the notification, or giving the write access back). A part that changed and that
// DirectInput now holds as written counts as stored. The records keep what was written.
void CPadwrightDlg::CheckRefusedParts(const DIJOYCONFIG& before, const DIJOYUSERVALUES& userValuesBefore) {
    if (m_configResult >= 0 && m_userValuesResult >= 0) return;
    const DIJOYCONFIG config = m_pJoystick->m_config;
    const DIJOYUSERVALUES userValues = m_pJoystick->m_userValues;
    if (m_configResult < 0 && !SameCalibration(config, before) && m_pJoystick->LoadConfig() >= 0 &&
        SameCalibration(m_pJoystick->m_config, config))
        m_configResult = S_OK;
    if (m_userValuesResult < 0 && !SameDeadZones(userValues, userValuesBefore) && m_pJoystick->LoadUserValues() >= 0 &&
        SameDeadZones(m_pJoystick->m_userValues, userValues))
        m_userValuesResult = S_OK;
    m_pJoystick->m_config = config;
    m_pJoystick->m_userValues = userValues;
}

// Tells what of a write-back Windows refused: the calibration (the configuration), the dead zones (the
// user values) or both, and the likely cause, so that the user knows what the values shown are.
void CPadwrightDlg::TellRefusedSave(HRESULT configResult, HRESULT userValuesResult) {
    if ((configResult >= 0 && userValuesResult >= 0) || m_refusalTold) return;
    m_refusalTold = TRUE;
    const HRESULT refusal = configResult < 0 ? configResult : userValuesResult;
    const bool administrator = refusal == static_cast<HRESULT>(DIERR_INSUFFICIENTPRIVS);
    CString what;
    if (configResult < 0 && userValuesResult < 0) {
        what.Format("Windows did not store the change to joystick %d", m_joystickId);
    } else if (configResult < 0) {
        what.Format("Windows stored the dead zones, but not the calibration of joystick %d", m_joystickId);
    } else {
        what.Format("Windows stored the calibration of joystick %d, but not the dead zones", m_joystickId);
    }
    CString message;
    if (administrator) {
        message.Format("%s: changing %s needs administrator rights.\n\nThe values shown are those stored. Start "
                       "Padwright as an administrator to change them.",
                       what.c_str(), configResult < 0 && userValuesResult < 0 ? "its calibration" : "them");
    } else if (refusal == static_cast<HRESULT>(E_ACCESSDENIED)) {
        // DIERR_OTHERAPPHASPRIO and DIERR_READONLY have the same code.
        message.Format("%s: another program probably holds the joystick configuration (error 0x%08lX).\n\nThe "
                       "values shown are those stored. Close other programs that use the joystick and try again.",
                       what.c_str(), static_cast<unsigned long>(static_cast<DWORD>(refusal)));
    } else {
        message.Format("%s (error 0x%08lX).\n\nThe values shown are those stored.", what.c_str(),
                       static_cast<unsigned long>(static_cast<DWORD>(refusal)));
    }
    AfxMessageBox(message, MB_OK);
}

void CPadwrightDlg::OnDefaultValues() {
    LoadFromDevice(TRUE);
    ApplyToDevice();
    if (m_configResult < 0 || m_userValuesResult < 0) {
        LoadFromDevice(FALSE);  // show what is stored, not the defaults that were refused
        TellRefusedSave(m_configResult, m_userValuesResult);
    }
}

void CPadwrightDlg::OnCalibrationEdited() {
    if (!m_ready) return;
    if (!m_gridLoaded) {
        // The grid does not show this joystick's calibration (its load failed, or the joystick was not
        // there), so the edit has nothing sound to be written on top of. Read it back as usual, then load
        // the grid from the joystick where that now works; nothing is written.
        UpdateData(TRUE);
        LoadFromDevice(FALSE);
        return;
    }
    ApplyToDevice();
    const HRESULT configResult = m_configResult;  // whether the edit itself was stored
    const HRESULT userValuesResult = m_userValuesResult;
    LoadFromDevice(FALSE);
    ApplyToDevice();
    TellRefusedSave(configResult, userValuesResult);
}

LRESULT CPadwrightDlg::OnJoyConfigChanged(WPARAM, LPARAM) {
    m_unitsTaken = FALSE;  // the controller under this number may be another one now
    LoadFromDevice(FALSE);
    return 0;
}
