// The simulated platform's calls, WinMM, the registry and DirectInputCreateA, as the tool makes them,
// and the accessors by which tests set up, fail and inspect the machine.
#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace {

constexpr DWORD kReturnBits[CSimPlatform::kAxes] = {JOY_RETURNX, JOY_RETURNY, JOY_RETURNZ,
                                                    JOY_RETURNR, JOY_RETURNU, JOY_RETURNV};

SimMachine LegacyWith(const std::vector<SimController>& controllers) {
    SimMachine machine;
    machine.controllers = controllers;
    return machine;
}

}  // namespace

CSimPlatform::CSimPlatform(const std::vector<SimController>& controllers)
    : m_impl(std::make_unique<Impl>(LegacyWith(controllers))) {}

CSimPlatform::CSimPlatform(const SimMachine& machine) : m_impl(std::make_unique<Impl>(machine)) {}

void CSimPlatform::Rebuild(const SimMachine& machine) {
    auto rebuilt = std::make_unique<Impl>(machine);
    rebuilt->messages = std::move(m_impl->messages);
    rebuilt->broadcast = std::move(m_impl->broadcast);
    rebuilt->isWindow = std::move(m_impl->isWindow);
    m_impl = std::move(rebuilt);
}

const SimMachine& CSimPlatform::Machine() const { return m_impl->machine; }

void CSimPlatform::SetWindowCheck(std::function<bool(HWND)> isWindow) { m_impl->isWindow = std::move(isWindow); }

CSimPlatform::~CSimPlatform() = default;

MMRESULT CSimPlatform::joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyGetPosEx, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (pji == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks || pji->dwSize != sizeof(JOYINFOEX) || !m_impl->Installed(uJoyID)) {
        return JOYERR_PARMS;
    }
    if (!m_impl->Attached(uJoyID)) {
        return JOYERR_UNPLUGGED;
    }
    DWORD* positions[kAxes] = {&pji->dwXpos, &pji->dwYpos, &pji->dwZpos, &pji->dwRpos, &pji->dwUpos, &pji->dwVpos};
    const bool raw = (pji->dwFlags & JOY_RETURNRAWDATA) != 0;
    // WinMM applies the dead zone only when asked to (JOY_USEDEADZONE in Microsoft's JOYINFOEX documentation).
    const bool deadZone = (pji->dwFlags & JOY_USEDEADZONE) != 0;
    for (int axis = 0; axis < kAxes; ++axis) {
        if (pji->dwFlags & kReturnBits[axis]) {
            const LONG value = m_impl->Raw(uJoyID, axis);
            const bool present = axis < m_impl->devices[uJoyID].axes;
            *positions[axis] = !present ? 0 : static_cast<DWORD>(raw ? value : m_impl->Cook(uJoyID, axis, value, 0, 65535, deadZone));
        }
    }
    if (pji->dwFlags & JOY_RETURNBUTTONS) {
        pji->dwButtons = 0;
        pji->dwButtonNumber = 0;
    }
    if (pji->dwFlags & JOY_RETURNPOV) {
        pji->dwPOV = JOY_POVCENTERED;
    }
    return JOYERR_NOERROR;
}

MMRESULT CSimPlatform::joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyGetDevCaps, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (pjc == nullptr || cbjc == 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks || !m_impl->Installed(static_cast<UINT>(uJoyID))) {
        return JOYERR_PARMS;
    }
    const UINT number = static_cast<UINT>(uJoyID);
    const Impl::Stored& s = m_impl->store[number];
    JOYCAPSA caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.wMid = 0x00FF;
    caps.wPid = static_cast<WORD>(0x0100 + number);
    std::snprintf(caps.szPname, sizeof(caps.szPname), "%s",
                  m_impl->Modern() ? "Microsoft PC-joystick driver" : "Virtual gameport joystick");
    caps.wXmax = caps.wYmax = caps.wZmax = caps.wRmax = caps.wUmax = caps.wVmax = 65535;
    caps.wNumButtons = s.hwc.hws.dwNumButtons;
    caps.wPeriodMin = 10;
    caps.wPeriodMax = 1000;
    const DWORD hws = s.hwc.hws.dwFlags;
    caps.wCaps = ((hws & JOY_HWS_HASZ) ? JOYCAPS_HASZ : 0) | ((hws & JOY_HWS_HASR) ? JOYCAPS_HASR : 0) |
                 ((hws & JOY_HWS_HASU) ? JOYCAPS_HASU : 0) | ((hws & JOY_HWS_HASV) ? JOYCAPS_HASV : 0);
    caps.wNumAxes = static_cast<UINT>(m_impl->devices[number].axes);
    caps.wMaxAxes = kAxes;
    caps.wMaxButtons = 32;
    std::snprintf(caps.szRegKey, sizeof(caps.szRegKey), "%s", m_impl->driverKey.c_str());
    std::memcpy(pjc, &caps, std::min<size_t>(cbjc, sizeof(caps)));
    return JOYERR_NOERROR;
}

bool CSimPlatform::GetJoystickUnits(UINT uJoyID, JoystickUnits* units) {
    *units = JoystickUnits{};
    if (!m_impl->Installed(uJoyID)) {
        return false;
    }
    if (!m_impl->Modern()) {
        units->gameport = true;  // a gameport driver's joystick ("msjstick.drv"), calibrated in its own numbers
        return true;
    }
    // A DirectInput 8 device answers DIPROP_LOGICALRANGE with the HID descriptor's logical range, per
    // axis it has (Wine's dinput joystick8.c tests, which pass on Windows); there is none while unplugged.
    if (!m_impl->devices[uJoyID].plugged) {
        return false;
    }
    const Impl::Device& d = m_impl->devices[uJoyID];
    for (int axis = 0; axis < d.axes && axis < kAxes; ++axis) {
        units->axes[axis] = {true, d.nominalMin, d.nominalMax};
    }
    return true;
}

MMRESULT CSimPlatform::joyConfigChanged(DWORD dwFlags) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::JoyConfigChanged, &injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (dwFlags != 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (m_impl->Modern() && !m_impl->settingsKey) {
        // Plug-and-play controllers stay installed when their settings key goes (the device, not the key,
        // is what Windows enumerates); WinMM writes the settings again when it rereads them.
        m_impl->EnsureSettingsKey();
        for (UINT number = 0; number < kJoysticks; ++number) {
            if (m_impl->Installed(number)) {
                m_impl->WriteSettings(number);
            }
        }
    }
    m_impl->AnnounceChange();
    return JOYERR_NOERROR;
}

LONG CSimPlatform::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegOpenKey, &injected)) {
        if (phkResult != nullptr) {
            *phkResult = nullptr;
        }
        return injected;
    }
    return m_impl->registry.OpenKey(hKey, lpSubKey, phkResult);
}

LONG CSimPlatform::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                    DWORD* lpcbData) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegQueryValueEx, &injected)) {
        return injected;
    }
    return m_impl->registry.QueryValue(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}

LONG CSimPlatform::RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegEnumKey, &injected)) {
        return injected;
    }
    return m_impl->registry.EnumKey(hKey, dwIndex, lpName, cchName);
}

LONG CSimPlatform::RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegDeleteKey, &injected)) {
        return injected;
    }
    std::shared_ptr<CSimRegistry::Key> deleted;
    const LONG result = m_impl->registry.DeleteKey(hKey, lpSubKey, &deleted);
    if (result == ERROR_SUCCESS) {
        m_impl->KeyDeleted(deleted);
    }
    return result;
}

LONG CSimPlatform::RegCloseKey(HKEY hKey) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegCloseKey, &injected)) {
        return injected;
    }
    return m_impl->registry.CloseKey(hKey);
}

UINT CSimPlatform::RegisterWindowMessageA(LPCSTR lpString) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::RegisterWindowMessage, &injected)) {
        return static_cast<UINT>(injected);
    }
    if (lpString == nullptr || *lpString == '\0') {
        return 0;
    }
    return m_impl->RegisterMessage(lpString);
}

HRESULT CSimPlatform::DirectInputCreateA(HINSTANCE hinst, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) {
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::DirectInputCreate, &injected)) {
        if (ppDI != nullptr) {
            *ppDI = nullptr;
        }
        return injected;
    }
    if (ppDI == nullptr) {
        return E_POINTER;
    }
    *ppDI = nullptr;
    if (punkOuter != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    // As Wine's dinput tests find on Windows: no instance handle is an invalid parameter; version 0 is
    // not initialised; a version newer than any this DirectInput knows means it is too old for the
    // caller, and an unknown one below that is a beta version.
    if (hinst == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    if (dwVersion == 0) {
        return DIERR_NOTINITIALIZED;
    }
    constexpr DWORD kKnownVersions[] = {0x0300, 0x0500, 0x050A, 0x05B2, 0x0602, 0x061A, 0x0700};
    // The gameport machine's runtime is DirectInput 5's.
    if (dwVersion > (m_impl->Modern() ? DWORD{0x0700} : DWORD{0x0500})) {
        return DIERR_OLDDIRECTINPUTVERSION;
    }
    if (std::find(std::begin(kKnownVersions), std::end(kKnownVersions), dwVersion) == std::end(kKnownVersions)) {
        return DIERR_BETADIRECTINPUTVERSION;
    }
    *ppDI = NewSimDirectInput(*m_impl, dwVersion);
    return DI_OK;
}

HRESULT CSimPlatform::DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, void** ppvOut,
                                         IUnknown* punkOuter) {
    if (ppvOut != nullptr) {
        *ppvOut = nullptr;
    }
    int32_t injected = 0;
    if (m_impl->Inject(SimCall::DirectInput8Create, &injected)) {
        return injected;
    }
    // The gameport machine has DirectInput 5 only.
    if (!m_impl->Modern()) {
        return CJoystickServices::DirectInput8Create(hinst, dwVersion, riidltf, ppvOut, punkOuter);
    }
    if (ppvOut == nullptr) {
        return E_POINTER;
    }
    if (punkOuter != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    if (hinst == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    if (dwVersion != 0x0800) {
        return dwVersion > 0x0800 ? DIERR_OLDDIRECTINPUTVERSION : DIERR_BETADIRECTINPUTVERSION;
    }
    if (!IsEqualGUID(riidltf, IID_IDirectInput8A)) {
        return E_NOINTERFACE;
    }
    *ppvOut = static_cast<IUnknown*>(NewSimDirectInput(*m_impl, dwVersion));
    return DI_OK;
}

void CSimPlatform::SetBroadcast(std::function<void(UINT, WPARAM, LPARAM)> broadcast) {
    m_impl->broadcast = std::move(broadcast);
}

UINT CSimPlatform::ConfigChangedMessage() { return m_impl->RegisterMessage(kConfigMessage); }

void CSimPlatform::SetClock(std::function<uint64_t()> nowMs) { m_impl->clock = std::move(nowMs); }

void CSimPlatform::HoldAxis(UINT number, int axis, LONG raw) {
    if (number < kJoysticks && axis >= 0 && axis < kAxes) {
        m_impl->devices[number].held[axis] = true;
        m_impl->devices[number].heldRaw[axis] = raw;
    }
}

void CSimPlatform::ReleaseAxes(UINT number) {
    if (number < kJoysticks) {
        m_impl->devices[number].held.fill(false);
    }
}

LONG CSimPlatform::RawPosition(UINT number, int axis) const { return m_impl->Raw(number, axis); }

void CSimPlatform::FailCall(SimCall call, int32_t result, int count, int after) {
    Impl::Rule& rule = m_impl->rules[static_cast<size_t>(call)];
    rule.result = result;
    rule.remaining = count < 0 ? kAlways : count;
    rule.skip = std::max(after, 0);
}

void CSimPlatform::ClearFailures() { m_impl->rules.fill(Impl::Rule{}); }

int CSimPlatform::CallCount(SimCall call) const { return m_impl->calls[static_cast<size_t>(call)]; }

int CSimPlatform::LiveInterfaces() const { return m_impl->live[0] + m_impl->live[1] + m_impl->live[2]; }

int CSimPlatform::LiveInterfaces(SimObject kind) const { return m_impl->live[static_cast<size_t>(kind)]; }

bool CSimPlatform::IsInstalled(UINT number) const { return m_impl->Installed(number); }

bool CSimPlatform::IsPlugged(UINT number) const { return number < kJoysticks && m_impl->devices[number].plugged; }

DIJOYCONFIG CSimPlatform::StoredConfig(UINT number) const { return m_impl->ConfigRecord(number); }

void CSimPlatform::StoreConfig(UINT number, const DIJOYCONFIG& config) {
    if (number >= kJoysticks) {
        return;
    }
    Impl::Stored& s = m_impl->store[number];
    if (!s.configured) {
        s.configured = true;
        s.guidInstance = Impl::InstanceGuid(number);
    }
    m_impl->Store(number, config, DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT);
}

DIJOYUSERVALUES CSimPlatform::StoredUserValues() const { return m_impl->userValues; }

void CSimPlatform::StoreUserValues(const DIJOYUSERVALUES& values) {
    m_impl->userValues = values;
    m_impl->userValues.dwSize = sizeof(DIJOYUSERVALUES);
}

int CSimPlatform::ConfigWrites() const { return m_impl->configWrites; }

int CSimPlatform::Notifications() const { return m_impl->notifications; }

bool CSimPlatform::ConfigAcquired() const { return m_impl->configOwner != nullptr; }

bool CSimPlatform::KeyExists(HKEY hive, std::string_view path) const {
    return m_impl->registry.Find(hive, path) != nullptr;
}

std::vector<std::string> CSimPlatform::Subkeys(HKEY hive, std::string_view path) const {
    std::vector<std::string> names;
    if (auto key = m_impl->registry.Find(hive, path)) {
        for (const auto& child : key->subkeys) {
            names.push_back(child->name);
        }
    }
    return names;
}

std::vector<std::string> CSimPlatform::ValueNames(HKEY hive, std::string_view path) const {
    std::vector<std::string> names;
    if (auto key = m_impl->registry.Find(hive, path)) {
        for (const auto& value : key->values) {
            names.push_back(value.name);
        }
    }
    return names;
}

bool CSimPlatform::AddKey(HKEY hive, std::string_view path) { return m_impl->registry.Create(hive, path) != nullptr; }

bool CSimPlatform::SetValue(HKEY hive, std::string_view path, std::string_view name, DWORD type, const void* data,
                            size_t size) {
    return m_impl->registry.SetValue(hive, path, name, type, data, size);
}

bool CSimPlatform::SetStringValue(HKEY hive, std::string_view path, std::string_view name, std::string_view text) {
    std::string terminated(text);
    return m_impl->registry.SetValue(hive, path, name, REG_SZ, terminated.c_str(), terminated.size() + 1);
}

bool CSimPlatform::GetValue(HKEY hive, std::string_view path, std::string_view name, DWORD* type,
                            std::vector<BYTE>* data) const {
    auto key = m_impl->registry.Find(hive, path);
    const CSimRegistry::Value* value = key ? CSimRegistry::FindValue(*key, name) : nullptr;
    if (value == nullptr) {
        return false;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (data != nullptr) {
        *data = value->data;
    }
    return true;
}

std::string CSimPlatform::CurrentSettingsKey() const { return m_impl->SettingsKey(); }

HKEY CSimPlatform::SettingsHive() const { return m_impl->settingsHive; }

size_t CSimPlatform::OpenKeyHandles() const { return m_impl->registry.OpenHandles(); }

CSimPlatform& DefaultSimPlatform() {
    // Never destroyed: joystick objects and registrations may outlive the end of main.
    static CSimPlatform* const sim = new CSimPlatform(SimMachine::Modern());
    return *sim;
}

CJoystickServices& DefaultJoystickServices() { return DefaultSimPlatform(); }
