// CPadwrightDlg: the main dialog. It holds all of the tool's state: the selected joystick, the
// live readings of both interfaces and the calibration being edited.
#pragma once

#include "framework/afxwin.h"
#include "framework/ddx.h"
#include "joystick/platform_api.h"
#include "dialog/write_refusal.h"
#include "res/resource.h"

class CDIJoystick;
class CJoystickServices;

// The range the editor accepts for a gameport joystick's calibration: the raw travel 0..655 with room
// on both sides.
inline constexpr LONG kCalibrationLow = -1000;
inline constexpr LONG kCalibrationHigh = 1655;
inline constexpr DWORD kDeadZoneHigh = 100;

// Number of the registered "MSJSTICK_VJOYD_MSGSTR" message, registered while the program starts.
extern const UINT WM_JOYCONFIGCHANGED;

class CPadwrightDlg : public CDialog {
public:
    explicit CPadwrightDlg(CWnd* pParent = nullptr);
    ~CPadwrightDlg() override;
    CPadwrightDlg(const CPadwrightDlg&) = delete;
    CPadwrightDlg& operator=(const CPadwrightDlg&) = delete;

    JOYINFOEX m_joyInfoCooked;
    JOYINFOEX m_joyInfoRaw;
    // The selected joystick through DirectInput, held open between ticks: calibrated, which the editor
    // also loads and saves through, and raw. Both owned. A HID joystick's state reaches a device object
    // only in the input reports that arrive while it is acquired, so an object opened for each read
    // would only ever show the middle of the range.
    CDIJoystick* m_pJoystick = nullptr;
    CDIJoystick* m_pRawJoystick = nullptr;
    // Per reader (0 calibrated, 1 raw): the result of its last Open, the ticks until a failed open may be
    // tried again, and whether it must be opened again at the next tick (after a calibration write, or
    // once its input was lost).
    HRESULT m_readerOpened[2] = {S_OK, S_OK};
    int m_readerRetryTicks[2] = {};
    BOOL m_readerReopen[2] = {};
    BOOL m_ready = FALSE;
    int m_joystickId = 0;
    CString m_polledDevice;
    CString m_joyCooked[AXIS_COUNT];
    CString m_joyRaw[AXIS_COUNT];
    LONG m_calMin[AXIS_COUNT] = {};
    LONG m_calCenter[AXIS_COUNT] = {};
    LONG m_calMax[AXIS_COUNT] = {};
    DWORD m_deadZone[AXIS_COUNT] = {};
    BOOL m_calibrated[CALIBRATION_FLAG_COUNT] = {};
    // TRUE while the grid holds what was loaded from the selected joystick; only then does an edit write.
    BOOL m_gridLoaded = FALSE;
    // The global user values as the grid's last load read them. An edit writes its dead zones onto these,
    // never onto a record the joystick object failed to read (its DirectInput 8 route opens without one).
    DIJOYUSERVALUES m_loadedUserValues = {};
    // The units of the selected joystick's calibration, as the platform tells them when the grid is first
    // loaded after a selection: per axis whether the device has it (an axis it lacks is never written),
    // the range the grid accepts, and what is shown and written for it while it is not marked calibrated
    // (0, 328, 655 for a gameport joystick, the axis's own minimum, midpoint and maximum otherwise).
    BOOL m_unitsTaken = FALSE;
    BOOL m_axisPresent[AXIS_COUNT] = {TRUE, TRUE, TRUE, TRUE, TRUE, TRUE};
    LONG m_calLow[AXIS_COUNT] = {kCalibrationLow, kCalibrationLow, kCalibrationLow,
                                 kCalibrationLow, kCalibrationLow, kCalibrationLow};
    LONG m_calHigh[AXIS_COUNT] = {kCalibrationHigh, kCalibrationHigh, kCalibrationHigh,
                                  kCalibrationHigh, kCalibrationHigh, kCalibrationHigh};
    LONG m_uncalMin[AXIS_COUNT] = {};
    LONG m_uncalCenter[AXIS_COUNT] = {};
    LONG m_uncalMax[AXIS_COUNT] = {};
    // What "Default values" shows and writes as each axis's dead zone: the axis's own where the platform
    // tells one (the kernel: its flat), else 5, 5, 0, 0, 0, 0.
    DWORD m_defaultDeadZone[AXIS_COUNT] = {5, 5, 0, 0, 0, 0};
    // The results of the last write-back (S_OK for a part not written, and for both when nothing was
    // written), what it changed, and whether a refused write was told since the selection.
    HRESULT m_configResult = S_OK;
    HRESULT m_userValuesResult = S_OK;
    WriteOutcome m_lastWrite;
    HRESULT m_axisResult = S_OK;  // the per-axis calibration's write
    // Whether the platform keeps a per-axis calibration for the selected joystick (DirectInput's
    // DIPROP_CALIBRATION on Windows 10/11), and which axes hold one, as last loaded.
    BOOL m_axisKept = FALSE;
    BOOL m_axisStored[AXIS_COUNT] = {};
    BOOL m_refusalTold = FALSE;
    // While the user types in a field, a value the platform cannot apply is neither written nor told:
    // m_deferRefusal says a keystroke is being handled, m_refusalPending that such a value waits for the
    // end of the edit (focus leaving, Enter, "&Next", closing), which tells it once if it still cannot be
    // applied and shows what is stored.
    BOOL m_deferRefusal = FALSE;
    BOOL m_refusalPending = FALSE;
    BOOL m_applyRefused = FALSE;  // the last write-back met a value the platform cannot apply
    // No configuration interface could be had for the selected joystick: nothing can be stored, so the
    // grid and the dead zones are disabled and empty, and the reason is told once per selection.
    BOOL m_nothingStorable = FALSE;
    BOOL m_nothingStorableTold = FALSE;
    int m_editableShown = -1;  // which controls ShowEditable last enabled, as it encodes them
    CString m_diCooked[AXIS_COUNT];
    CString m_diRaw[AXIS_COUNT];
    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // The 24 read-only value fields; only the refresh calls it, toward the controls.
    virtual void DoDisplayExchange(CDataExchange* pDX);
    BOOL OnInitDialog() override;

    void SetSpinRange(int id, int lower, int upper);
    void OpenReader(int reader);
    void ReadReader(int reader, CString (&out)[AXIS_COUNT]);
    void LoadFromDevice(BOOL useDefaults);
    void ApplyToDevice();
    bool WriteBack();
    void WriteEdit();
    bool EndPendingEdit();
    void TakeUnits(const JOYREGHWVALUES& stored);
    void TakeAxisCalibration(JOYREGHWVALUES& hwv);
    HRESULT WriteAxisCalibration(const JOYREGHWVALUES& before, const JOYREGHWVALUES& hwv);
    // What became of the calibration of the last write-back: the configuration's refusal, else the
    // per-axis calibration's.
    HRESULT CalibrationResult() const { return m_configResult < 0 ? m_configResult : m_axisResult; }
    bool FlagPresent(int flag) const;
    bool CalibrationAccepted(const JOYREGHWVALUES& hwv, const JOYPOS& deadZone);
    void CheckRefusedParts(const DIJOYCONFIG& before, const DIJOYUSERVALUES& userValuesBefore);
    void TellRefusedSave(const WriteOutcome& outcome);
    void ShowEditable();

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnDefaultValues();
    void OnTimer(UINT nIDEvent);
    void OnNext();
    void OnCalibrationEdited();
    void OnCalibrationFlagClicked();
    void OnCalibrationEditEnded(UINT id);
    void OnOK() override;
    void OnCancel() override;
    void OnClearCalibration();
    // Keeping a calibration where the platform can (keep_calibration.cpp).
    void AddKeepMenuEntries(CMenu* systemMenu);
    bool OnKeepCommand(UINT command);  // false for a command that is not one of keeping
    void OnClearAll();                 // the cleaner, then the offer to forget kept calibrations
    LRESULT OnJoyConfigChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

// Control ids of the DirectInput value fields, in axis order.
extern const int kDiCookedIds[AXIS_COUNT];
extern const int kDiRawIds[AXIS_COUNT];
// Check boxes of the five calibration flags, in flag order.
extern const int kCalibratedIds[CALIBRATION_FLAG_COUNT];

// The joystick branch of the registry: below HKEY_LOCAL_MACHINE, and on Windows 2000 and later also
// (Windows 10 and 11: only) below HKEY_CURRENT_USER.
inline constexpr const char* kJoystickRegistryBase = "System\\CurrentControlSet\\Control\\MediaResources\\Joystick";
// Where the OEM name value of the joystick settings points on Windows 2000 and later: a key per device
// type whose OEMName value is the name to show.
inline constexpr const char* kJoystickOemBranch =
    "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM";

// The display name the OEM branch holds for a device key ("VID_xxxx&PID_xxxx"), the local machine's
// first, then the user's; empty when neither holds one.
CString ReadOemName(CJoystickServices& system, const char* deviceKey);
