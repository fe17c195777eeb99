// The main dialog's calibration editor: the grid and dead zones loaded from the selected joystick,
// every edit written back at once and read back, a value the platform cannot apply held until the edit
// ends, "Default values", and the reload when the joystick configuration changes.
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
        m_defaultDeadZone[i] = known && axis.hasDeadZone ? axis.deadZone : kDefaultDeadZones[i];
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

// Asks the platform whether it can apply each calibrated axis that is about to change. When it cannot,
// nothing is written; the platform's reason is told at once, or, while the user is typing, when the
// edit ends (m_refusalPending).
bool CPadwrightDlg::CalibrationAccepted(const JOYREGHWVALUES& hwv, const JOYPOS& deadZone) {
    m_refusalPending = FALSE;
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
            m_applyRefused = TRUE;
            if (m_deferRefusal) {
                m_refusalPending = TRUE;  // "3" on the way to "30000": neither written nor told yet
            } else {
                AfxMessageBox(why, MB_OK);
            }
            return false;
        }
    }
    return true;
}

// DirectInput applies an axis's per-axis calibration before the configuration's JOYREGHWVALUES. The
// records take it in, so that the grid shows what games read, a check box is ticked while any of its
// axes is calibrated either way, and the next SetConfig keeps JOYREGHWVALUES equal to it.
void CPadwrightDlg::TakeAxisCalibration(JOYREGHWVALUES& hwv) {
    JoystickAxisCalibration axes[AXIS_COUNT];
    m_axisKept = JoystickServices().GetAxisCalibration(static_cast<UINT>(m_joystickId), axes) ? TRUE : FALSE;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        m_axisStored[i] = axes[i].stored ? TRUE : FALSE;
        if (!axes[i].stored) continue;
        hwv.dwCalFlags |= DWORD{1} << CalibrationFlagOfAxis(i);
        JoyPosAxis(hwv.jrvHardware.jpMin, i) = static_cast<DWORD>(axes[i].min);
        JoyPosAxis(hwv.jrvHardware.jpCenter, i) = static_cast<DWORD>(axes[i].center);
        JoyPosAxis(hwv.jrvHardware.jpMax, i) = static_cast<DWORD>(axes[i].max);
    }
}

// Writes the per-axis calibration of each present axis that changed: a calibrated one as its own value
// (also where it had none, so that the configuration's numbers cannot be passed over), an uncalibrated
// one by removing its value, so that games read it over its own range. Nothing where the platform keeps
// no per-axis calibration.
HRESULT CPadwrightDlg::WriteAxisCalibration(const JOYREGHWVALUES& before, const JOYREGHWVALUES& hwv) {
    if (!m_axisKept) return S_OK;
    JoystickAxisCalibration axes[AXIS_COUNT];
    unsigned mask = 0;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        if (!m_axisPresent[i]) continue;
        const int flag = CalibrationFlagOfAxis(i);
        const bool on = ((hwv.dwCalFlags >> flag) & 1) != 0;
        axes[i] = {on, SignedJoyPosAxis(hwv.jrvHardware.jpMin, i), SignedJoyPosAxis(hwv.jrvHardware.jpCenter, i),
                   SignedJoyPosAxis(hwv.jrvHardware.jpMax, i)};
        const bool same = ((before.dwCalFlags >> flag) & 1) == (on ? 1u : 0u) &&
                          axes[i].min == SignedJoyPosAxis(before.jrvHardware.jpMin, i) &&
                          axes[i].center == SignedJoyPosAxis(before.jrvHardware.jpCenter, i) &&
                          axes[i].max == SignedJoyPosAxis(before.jrvHardware.jpMax, i);
        if (on ? !m_axisStored[i] || !same : m_axisStored[i] != FALSE) mask |= 1u << i;
    }
    return mask == 0 ? S_OK : JoystickServices().SetAxisCalibration(static_cast<UINT>(m_joystickId), axes, mask);
}

void CPadwrightDlg::LoadFromDevice(BOOL useDefaults) {
    // Without a configuration interface the joystick object answers every load so (its records are
    // empty while it is not open), and nothing the grid shows could be stored. A failure that passes is
    // not taken for that: the object is opened once more first.
    const auto noInterface = [this] {
        return !m_pJoystick->IsOpen() && m_pJoystick->LoadConfig() == DIERR_NOTINITIALIZED;
    };
    m_nothingStorable = FALSE;
    if (m_pJoystick && noInterface()) {
        OpenReader(0);
        m_nothingStorable = noInterface() ? TRUE : FALSE;
    }
    if (m_pJoystick && m_pJoystick->IsOpen() && ReloadRecords(*m_pJoystick)) {
        TakeAxisCalibration(m_pJoystick->m_config.hwc.hwv);
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
        for (int i = 0; i < AXIS_COUNT; ++i)
            m_deadZone[i] = useDefaults ? m_defaultDeadZone[i] : JoyPosAxis(deadZone, i);
        m_loadedUserValues = m_pJoystick->m_userValues;
        m_gridLoaded = TRUE;
    }
    UpdateData(FALSE);
    ShowEditable();
    if (m_nothingStorable && !m_nothingStorableTold) {
        m_nothingStorableTold = TRUE;
        CString reason;
        reason.Format("DirectInput offers no joystick configuration here, so the calibration of joystick %d can be "
                      "neither read nor changed.",
                      m_joystickId);
        AfxMessageBox(reason, MB_OK);
    }
}

// Which controls take input: none of the grid, the dead zones and "Default values" while nothing can be
// stored, and never the values and flag of an axis the device lacks. Disabled controls are drawn so.
void CPadwrightDlg::ShowEditable() {
    int state = m_nothingStorable ? 1 : 0;
    for (int i = 0; i < AXIS_COUNT; ++i) state |= m_axisPresent[i] ? 2 << i : 0;
    if (state == m_editableShown) return;
    m_editableShown = state;
    const auto enable = [this](int id, bool on) {
        if (CWnd* control = GetDlgItem(id)) control->EnableWindow(on ? TRUE : FALSE);
    };
    for (int i = 0; i < AXIS_COUNT; ++i) {
        for (int id : {IDC_CAL_MIN_X, IDC_CAL_CENTER_X, IDC_CAL_MAX_X}) {
            enable(id + 2 * i, !m_nothingStorable && m_axisPresent[i]);
            enable(id + 2 * i + 1, !m_nothingStorable && m_axisPresent[i]);  // its up-down
        }
        enable(IDC_DEADZONE_X + 2 * i, !m_nothingStorable);
        enable(IDC_DEADZONE_X + 2 * i + 1, !m_nothingStorable);
    }
    for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k) enable(kCalibratedIds[k], !m_nothingStorable && FlagPresent(k));
    enable(IDC_DEFAULT_VALUES, !m_nothingStorable);
}

void CPadwrightDlg::ApplyToDevice() {
    m_configResult = S_OK;  // nothing written yet: nothing refused
    m_userValuesResult = S_OK;
    m_lastWrite = WriteOutcome{};
    m_applyRefused = FALSE;
    m_axisResult = S_OK;
    UpdateData(TRUE);  // result not needed: a field that does not read keeps its last value
    if (!m_gridLoaded || !m_pJoystick || !m_pJoystick->IsOpen()) return;
    // The user values record is written whole, but only its dead zones are edited: the rest must be what
    // DirectInput holds. The joystick object opened since the load may hold a record it failed to read
    // (emptied: every joystick's global range 0..0, no time-out); the load's is the one known good.
    m_pJoystick->m_userValues = m_loadedUserValues;
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
    // Games read a per-axis calibration first: it is written inside the configuration's write, once that
    // is stored, and the configuration's notification announces both.
    m_configResult = m_pJoystick->SaveConfig(DIJC_REGHWCONFIGTYPE, [&] {
        m_axisResult = WriteAxisCalibration(before.hwc.hwv, hwv);
    });
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
    WritePart& calibration = m_lastWrite.parts[kCalibrationPart];
    WritePart& deadZones = m_lastWrite.parts[kDeadZonesPart];
    calibration = {true, !SameCalibration(m_pJoystick->m_config, before), CalibrationResult()};
    deadZones = {true, !SameDeadZones(m_pJoystick->m_userValues, userValuesBefore), m_userValuesResult};
    if (m_configResult >= 0 && m_userValuesResult >= 0) return;  // a refused per-axis write is told as it is
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
    calibration.result = CalibrationResult();
    deadZones.result = m_userValuesResult;
}

// Tells what of a write-back Windows refused, once per selection: only the parts the user changed that
// were not stored, and a cause that can be true (RefusalMessage).
void CPadwrightDlg::TellRefusedSave(const WriteOutcome& outcome) {
    if (!outcome.AnyRefused() || m_refusalTold) return;
    m_refusalTold = TRUE;
    AfxMessageBox(RefusalMessage(outcome, m_joystickId), MB_OK);
}

void CPadwrightDlg::OnDefaultValues() {
    EndPendingEdit();
    LoadFromDevice(TRUE);
    ApplyToDevice();
    if (CalibrationResult() < 0 || m_userValuesResult < 0) {
        const WriteOutcome outcome = m_lastWrite;
        LoadFromDevice(FALSE);  // show what is stored, not the defaults that were refused
        TellRefusedSave(outcome);
    }
}

// Writes the grid, reloads what is stored and writes that again, then tells a refused write. Returns
// false when the platform could not apply the values: nothing was written, and, while the user is typing,
// the grid keeps what is typed.
bool CPadwrightDlg::WriteBack() {
    ApplyToDevice();
    if (m_refusalPending) return false;
    const bool accepted = !m_applyRefused;
    const WriteOutcome outcome = m_lastWrite;  // whether the edit itself was stored
    LoadFromDevice(FALSE);
    ApplyToDevice();
    TellRefusedSave(outcome);
    return accepted;
}

// The end of an edit with a value the platform could not apply: it is tried once more, and told if it
// still cannot be, with the grid showing what is stored. Returns true when it was told.
bool CPadwrightDlg::EndPendingEdit() {
    if (!m_refusalPending) return false;
    m_refusalPending = FALSE;
    return m_gridLoaded && !WriteBack();
}

void CPadwrightDlg::WriteEdit() {
    if (!m_ready) return;
    if (!m_gridLoaded) {
        // The grid does not show this joystick's calibration (its load failed, or the joystick was not
        // there), so the edit has nothing sound to be written on top of. Read it back as usual, then load
        // the grid from the joystick where that now works; nothing is written.
        UpdateData(TRUE);
        LoadFromDevice(FALSE);
        return;
    }
    WriteBack();
}

void CPadwrightDlg::OnCalibrationEdited() {
    m_deferRefusal = TRUE;  // a keystroke: what cannot be applied waits for the end of the edit
    WriteEdit();
    m_deferRefusal = FALSE;
}

// A check box is a whole action: it ends an edit in progress, and what cannot be applied is told at once.
void CPadwrightDlg::OnCalibrationFlagClicked() {
    EndPendingEdit();
    WriteEdit();
}

void CPadwrightDlg::OnCalibrationEditEnded(UINT /*id*/) { EndPendingEdit(); }

// Enter ends the edit too; when that tells a value that could not be applied, the dialog stays open with
// the stored values on show, as it does for a value that fails its check.
void CPadwrightDlg::OnOK() {
    if (EndPendingEdit()) return;
    CDialog::OnOK();
}

void CPadwrightDlg::OnCancel() {
    EndPendingEdit();
    CDialog::OnCancel();
}

LRESULT CPadwrightDlg::OnJoyConfigChanged(WPARAM, LPARAM) {
    m_unitsTaken = FALSE;  // the controller under this number may be another one now
    LoadFromDevice(FALSE);
    return 0;
}
