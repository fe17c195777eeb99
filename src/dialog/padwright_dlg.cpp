// The main dialog: construction, initialisation, data exchange, message routing and window-shell
// duties (About entry, icons), device selection, the live monitor and the calibration editor.
#include "dialog/padwright_dlg.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "app/about_dlg.h"
#include "joystick/dijoystick.h"
#include "joystick/joystick_records.h"
#include "joystick/joystick_services.h"
#include "res/resource.h"

const UINT WM_JOYCONFIGCHANGED = JoystickServices().RegisterWindowMessageA("MSJSTICK_VJOYD_MSGSTR");

const int kDiCookedIds[AXIS_COUNT] = {IDC_DI_COOKED_X, IDC_DI_COOKED_Y, IDC_DI_COOKED_Z,
                                      IDC_DI_COOKED_R, IDC_DI_COOKED_U, IDC_DI_COOKED_V};
const int kDiRawIds[AXIS_COUNT] = {IDC_DI_RAW_X, IDC_DI_RAW_Y, IDC_DI_RAW_Z,
                                   IDC_DI_RAW_R, IDC_DI_RAW_U, IDC_DI_RAW_V};
const int kCalibratedIds[CALIBRATION_FLAG_COUNT] = {IDC_CALIBRATED_XY, IDC_CALIBRATED_Z, IDC_CALIBRATED_R,
                                                    IDC_CALIBRATED_U, IDC_CALIBRATED_V};

namespace {

// Shown for an axis that is not marked calibrated, and written by "Default values".
constexpr LONG kUncalibratedMin = 0;
constexpr LONG kUncalibratedCenter = 328;
constexpr LONG kUncalibratedMax = 655;
constexpr DWORD kDefaultDeadZones[AXIS_COUNT] = {5, 5, 0, 0, 0, 0};

const char* DisplayFormat() {
    static const CString format = [] {
        CString f;
        f.LoadString(IDS_DISPLAY_FORMAT);
        return f;
    }();
    return format;
}

void ShowAxes(CString (&out)[AXIS_COUNT], LONG x, LONG y, LONG z, LONG r, LONG u, LONG v) {
    const LONG values[AXIS_COUNT] = {x, y, z, r, u, v};
    for (int i = 0; i < AXIS_COUNT; ++i) out[i].Format(DisplayFormat(), static_cast<int>(values[i]));
}

void ShowAxes(CString (&out)[AXIS_COUNT], const JOYINFOEX& info) {
    ShowAxes(out, static_cast<LONG>(info.dwXpos), static_cast<LONG>(info.dwYpos), static_cast<LONG>(info.dwZpos),
             static_cast<LONG>(info.dwRpos), static_cast<LONG>(info.dwUpos), static_cast<LONG>(info.dwVpos));
}

void ShowAxes(CString (&out)[AXIS_COUNT], const DIJOYSTATE& state) {
    ShowAxes(out, state.lX, state.lY, state.lZ, state.lRz, state.rglSlider[0], state.rglSlider[1]);
}

// The hives that may hold the joystick branch, in the order they are asked: HKEY_LOCAL_MACHINE on the
// systems Padwright was first written for, HKEY_CURRENT_USER on Windows 2000 and later.
const HKEY kJoystickHives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

enum class NameRead { NoKey, NoName, Named };

// Reads the string value `valueName` of the key at `path` in the first hive that holds it as a
// non-empty string. A key that opens without such a value (a leftover settings key under the local
// machine, say) does not hide the other hive's.
NameRead ReadJoystickName(CJoystickServices& system, const char* path, const char* valueName, char (&buffer)[260]) {
    NameRead read = NameRead::NoKey;
    for (HKEY hive : kJoystickHives) {
        HKEY key = nullptr;
        buffer[0] = '\0';
        if (system.RegOpenKeyA(hive, path, &key) != ERROR_SUCCESS) continue;
        read = NameRead::NoName;
        // Result not needed: the buffer holds the text read, cut to fit, or nothing.
        QueryRegistryString(system, key, valueName, buffer, sizeof(buffer));
        system.RegCloseKey(key);
        if (buffer[0] != '\0') return NameRead::Named;
    }
    buffer[0] = '\0';
    return read;
}

// Reads joystick `id`'s name from the settings key its capabilities name; "not installed!" when
// that key opens in no hive. Where the name value names a device key of the OEM branch that holds a
// display name, that name is shown. Values are taken only as strings, and never past the buffer.
CString ReadDeviceName(int id) {
    CJoystickServices& system = JoystickServices();
    JOYCAPSA caps;
    std::memset(&caps, 0, sizeof(caps));
    /*MMRESULT*/ system.joyGetDevCapsA(static_cast<UINT_PTR>(id), &caps, sizeof(caps));  // cleared record on failure
    const std::string driverKey(caps.szRegKey, strnlen(caps.szRegKey, sizeof(caps.szRegKey)));

    CString path;
    path.Format("%s\\%s\\%s", kJoystickRegistryBase, driverKey.c_str(), "CurrentJoystickSettings");
    CString valueName;
    valueName.Format("Joystick%dOEMName", id + 1);
    char buffer[260];
    const NameRead read = ReadJoystickName(system, path, valueName, buffer);
    if (read == NameRead::NoKey) return CString("not installed!");
    if (read == NameRead::NoName) return CString(buffer);

    const CString display = ReadOemName(system, buffer);
    return display.IsEmpty() ? CString(buffer) : display;
}

}  // namespace

CString ReadOemName(CJoystickServices& system, const char* deviceKey) {
    CString oemPath;
    oemPath.Format("%s\\%s", kJoystickOemBranch, deviceKey);
    char display[260];
    return CString(ReadJoystickName(system, oemPath, "OEMName", display) == NameRead::Named ? display : "");
}

BEGIN_MESSAGE_MAP(CPadwrightDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_DEFAULT_VALUES, OnDefaultValues)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_NEXT, OnNext)
    ON_BN_CLICKED(IDC_CALIBRATED_R, OnCalibrationEdited)
    ON_BN_CLICKED(IDC_CALIBRATED_U, OnCalibrationEdited)
    ON_BN_CLICKED(IDC_CALIBRATED_V, OnCalibrationEdited)
    ON_BN_CLICKED(IDC_CALIBRATED_Z, OnCalibrationEdited)
    ON_BN_CLICKED(IDC_CALIBRATED_XY, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 0, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 2, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 4, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 6, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 6, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 8, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_DEADZONE_X + 10, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 0, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 0, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 0, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 2, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 2, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 2, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 4, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 4, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 4, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 6, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 6, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 6, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 8, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 8, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 8, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MIN_X + 10, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_CENTER_X + 10, OnCalibrationEdited)
    ON_EN_UPDATE(IDC_CAL_MAX_X + 10, OnCalibrationEdited)
    ON_BN_CLICKED(IDC_CLEAR_CALIBRATION, OnClearCalibration)
    ON_REGISTERED_MESSAGE(WM_JOYCONFIGCHANGED, OnJoyConfigChanged)
END_MESSAGE_MAP()

CPadwrightDlg::CPadwrightDlg(CWnd* pParent) : CDialog(IDD_PADWRIGHT_DIALOG, pParent) {
    std::memset(&m_joyInfoCooked, 0, sizeof(m_joyInfoCooked));
    std::memset(&m_joyInfoRaw, 0, sizeof(m_joyInfoRaw));
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : AfxLoadIcon(IDR_MAINFRAME, 0, 0);
}

CPadwrightDlg::~CPadwrightDlg() {
    delete m_pJoystick;
    m_pJoystick = nullptr;
}

void CPadwrightDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_POLLED_DEVICE, m_polledDevice);
    for (int i = 0; i < AXIS_COUNT; ++i) {
        DDX_Text(pDX, IDC_CAL_MIN_X + 2 * i,    m_calMin[i]);
        DDV_MinMaxLong(pDX, m_calMin[i],        m_calLow[i], m_calHigh[i]);
        DDX_Text(pDX, IDC_CAL_CENTER_X + 2 * i, m_calCenter[i]);
        DDV_MinMaxLong(pDX, m_calCenter[i],     m_calLow[i], m_calHigh[i]);
        DDX_Text(pDX, IDC_CAL_MAX_X + 2 * i,    m_calMax[i]);
        DDV_MinMaxLong(pDX, m_calMax[i],        m_calLow[i], m_calHigh[i]);
    }
    for (int i = 0; i < AXIS_COUNT; ++i) {
        DDX_Text(pDX, IDC_DEADZONE_X + 2 * i,   m_deadZone[i]);
        DDV_MinMaxDWord(pDX, m_deadZone[i],     0, kDeadZoneHigh);
    }
    for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k)
        DDX_Check(pDX, kCalibratedIds[k],       m_calibrated[k]);
}

void CPadwrightDlg::DoDisplayExchange(CDataExchange* pDX) {
    for (int i = 0; i < AXIS_COUNT; ++i) {
        DDX_Text(pDX, IDC_JOY_COOKED_X + i, m_joyCooked[i]);
        DDX_Text(pDX, IDC_JOY_RAW_X + i,    m_joyRaw[i]);
        DDX_Text(pDX, kDiCookedIds[i],      m_diCooked[i]);
        DDX_Text(pDX, kDiRawIds[i],         m_diRaw[i]);
    }
}

BOOL CPadwrightDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CString aboutMenu;
    aboutMenu.LoadString(IDS_ABOUTBOX);
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu && !aboutMenu.IsEmpty()) {
        pSysMenu->AppendMenu(MF_SEPARATOR);
        pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutMenu);
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(AfxLoadIcon(IDR_MAINFRAME, 16, 16), FALSE);

    for (int i = 0; i < AXIS_COUNT; ++i) SetSpinRange(IDC_DEADZONE_X + 2 * i + 1, 0, kDeadZoneHigh);
    for (int id = IDC_CAL_MIN_X + 1; id <= IDC_CAL_MAX_X + 2 * (AXIS_COUNT - 1) + 1; id += 2)
        SetSpinRange(id, kCalibrationLow, kCalibrationHigh);

    m_joystickId = -1;
    OnNext();  // selects joystick 0 and loads the grid from it
    m_ready = TRUE;
    SetTimer(IDT_REFRESH, REFRESH_PERIOD_MS, nullptr);
    return TRUE;
}

void CPadwrightDlg::SetSpinRange(int id, int lower, int upper) {
    if (CWnd* spin = GetDlgItem(id)) CSpinButtonCtrl(spin->m_hWnd).SetRange32(lower, upper);
}

void CPadwrightDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CPadwrightDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = AfxGetSystemMetrics(SM_CXICON);
    const int cyIcon = AfxGetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CPadwrightDlg::OnQueryDragIcon() { return m_hIcon; }

// ---- Device selection

void CPadwrightDlg::OnNext() {
    m_joystickId = (m_joystickId + 1) & 15;
    delete m_pJoystick;
    m_pJoystick = new (std::nothrow) CDIJoystick(AfxGetInstanceHandle());
    if (m_pJoystick) {
        m_pJoystick->Open(m_hWnd, static_cast<WORD>(m_joystickId), FALSE);
        const CString name = ReadDeviceName(m_joystickId);
        m_polledDevice.Format("%d: %s", m_joystickId, name.c_str());
    }
    // The grid is reloaded from the joystick just selected, so that no edit can write the previous
    // joystick's calibration onto this one. Until a load succeeds the grid still shows the previous
    // joystick and counts as not loaded. The reload also shows the new device line.
    m_gridLoaded = FALSE;
    m_unitsTaken = FALSE;
    m_refusalTold = FALSE;
    LoadFromDevice(FALSE);
}

// ---- Live monitor

void CPadwrightDlg::OnTimer(UINT nIDEvent) {
    CJoystickServices& system = JoystickServices();

    std::memset(&m_joyInfoCooked, 0, sizeof(m_joyInfoCooked));
    m_joyInfoCooked.dwSize = sizeof(m_joyInfoCooked);
    m_joyInfoCooked.dwFlags = JOY_RETURNALL;
    if (system.joyGetPosEx(static_cast<UINT>(m_joystickId), &m_joyInfoCooked) == JOYERR_NOERROR)
        ShowAxes(m_joyCooked, m_joyInfoCooked);

    std::memset(&m_joyInfoRaw, 0, sizeof(m_joyInfoRaw));
    m_joyInfoRaw.dwSize = sizeof(m_joyInfoRaw);
    m_joyInfoRaw.dwFlags = JOY_RETURNALL | JOY_RETURNRAWDATA;
    if (system.joyGetPosEx(static_cast<UINT>(m_joystickId), &m_joyInfoRaw) == JOYERR_NOERROR)
        ShowAxes(m_joyRaw, m_joyInfoRaw);

    if (m_pJoystick) {
        m_pJoystick->Close();
        m_pJoystick->Open(m_hWnd, static_cast<WORD>(m_joystickId), FALSE);
        m_pJoystick->ReadState();  // result not needed: a failed read shows zeros
        ShowAxes(m_diCooked, m_pJoystick->m_state);

        m_pJoystick->Close();
        m_pJoystick->Open(m_hWnd, static_cast<WORD>(m_joystickId), TRUE);
        m_pJoystick->ReadState();  // result not needed: a failed read shows zeros
        ShowAxes(m_diRaw, m_pJoystick->m_state);
    }

    CDataExchange dx(this, FALSE);
    DoDisplayExchange(&dx);

    CDialog::OnTimer(nIDEvent);
}

// ---- Calibration editor

namespace {

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
