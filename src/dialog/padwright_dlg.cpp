// The main dialog: construction, initialisation, data exchange, message routing and window-shell
// duties (About entry, icons), device selection and the live monitor.
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
    ON_BN_CLICKED(IDC_CALIBRATED_R, OnCalibrationFlagClicked)
    ON_BN_CLICKED(IDC_CALIBRATED_U, OnCalibrationFlagClicked)
    ON_BN_CLICKED(IDC_CALIBRATED_V, OnCalibrationFlagClicked)
    ON_BN_CLICKED(IDC_CALIBRATED_Z, OnCalibrationFlagClicked)
    ON_BN_CLICKED(IDC_CALIBRATED_XY, OnCalibrationFlagClicked)
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
    // The edits' ids run from the X dead zone to the V maximum, their up-downs between them.
    ON_CONTROL_RANGE(EN_KILLFOCUS, IDC_DEADZONE_X, IDC_CAL_MAX_X + 10, OnCalibrationEditEnded)
    ON_BN_CLICKED(IDC_CLEAR_CALIBRATION, OnClearAll)
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
    delete m_pRawJoystick;
    m_pRawJoystick = nullptr;
}

void CPadwrightDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_POLLED_DEVICE, m_polledDevice);
    if (m_nothingStorable) {
        // Nothing can be stored: the grid, the flags and the dead zones show nothing, and nothing is read
        // back from them.
        if (pDX->m_bSaveAndValidate) return;
        CString none;
        BOOL unticked = FALSE;
        for (int id = IDC_DEADZONE_X; id <= IDC_CAL_MAX_X + 2 * (AXIS_COUNT - 1); id += 2) DDX_Text(pDX, id, none);
        for (int k = 0; k < CALIBRATION_FLAG_COUNT; ++k) DDX_Check(pDX, kCalibratedIds[k], unticked);
        return;
    }
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
    AddKeepMenuEntries(pSysMenu);

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
    } else if (!OnKeepCommand(nID & 0xFFF0)) {
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
    EndPendingEdit();  // told about the joystick it was typed for
    m_joystickId = (m_joystickId + 1) & 15;
    delete m_pJoystick;
    delete m_pRawJoystick;
    m_pJoystick = new (std::nothrow) CDIJoystick(AfxGetInstanceHandle());
    m_pRawJoystick = new (std::nothrow) CDIJoystick(AfxGetInstanceHandle());
    if (m_pJoystick) {
        OpenReader(0);
        const CString name = ReadDeviceName(m_joystickId);
        m_polledDevice.Format("%d: %s", m_joystickId, name.c_str());
    }
    if (m_pRawJoystick) OpenReader(1);
    // The grid is reloaded from the joystick just selected, so that no edit can write the previous
    // joystick's calibration onto this one. Until a load succeeds the grid still shows the previous
    // joystick and counts as not loaded. The reload also shows the new device line.
    m_gridLoaded = FALSE;
    m_unitsTaken = FALSE;
    m_refusalTold = FALSE;
    m_nothingStorableTold = FALSE;
    LoadFromDevice(FALSE);
}

// ---- Live monitor

namespace {

constexpr int kRetryTicks = 1000 / REFRESH_PERIOD_MS;  // a failed open is tried again once a second

}  // namespace

// Opens reader 0 (calibrated) or 1 (raw) on the selected joystick.
void CPadwrightDlg::OpenReader(int reader) {
    CDIJoystick* joystick = reader == 0 ? m_pJoystick : m_pRawJoystick;
    m_readerOpened[reader] = joystick->Open(m_hWnd, static_cast<WORD>(m_joystickId), reader == 0 ? FALSE : TRUE);
    m_readerRetryTicks[reader] = FAILED(m_readerOpened[reader]) ? kRetryTicks : 0;
    m_readerReopen[reader] = FALSE;
}

// Reads one held reader and shows its six axes; zeros when nothing could be read. The reader is opened
// again only when it must be: after a calibration write, when its input was lost or its device
// unplugged, and, after a failed open, once a second.
void CPadwrightDlg::ReadReader(int reader, CString (&out)[AXIS_COUNT]) {
    CDIJoystick* joystick = reader == 0 ? m_pJoystick : m_pRawJoystick;
    if (!joystick) return;
    if (m_readerRetryTicks[reader] > 0) --m_readerRetryTicks[reader];
    if (m_readerReopen[reader] || (FAILED(m_readerOpened[reader]) && m_readerRetryTicks[reader] == 0)) {
        OpenReader(reader);
    }
    const HRESULT read = joystick->ReadState();
    if (joystick->InputLost()) m_readerReopen[reader] = TRUE;
    static const DIJOYSTATE nothing{};
    ShowAxes(out, FAILED(read) ? nothing : joystick->m_state);
}

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

    ReadReader(0, m_diCooked);
    ReadReader(1, m_diRaw);

    CDataExchange dx(this, FALSE);
    DoDisplayExchange(&dx);

    CDialog::OnTimer(nIDEvent);
}
