// The joystick services on joydev and evdev: finding the controllers, WinMM reads, the registry view of
// the controllers, and the DirectInput substitute's entry; its calibration store is linux_calibration.cpp.
#include "platform/linux/linux_platform.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>

using linuxjoy::KernelJoystick;
using linuxjoy::kAxes;

namespace {

constexpr const char* kSettingsKey = "CurrentJoystickSettings";
constexpr const char* kCalibrationKey = "JoystickSettings";
constexpr UINT kFirstMessage = 0xC000;

// Fixed handles of the registry view: the base key, the settings key, and jsN's calibration key.
constexpr uintptr_t kBaseHandle = 0x7001;
constexpr uintptr_t kSettingsHandle = 0x7002;
constexpr uintptr_t kCalibrationHandle = 0x7100;

HKEY Handle(uintptr_t value) { return reinterpret_cast<HKEY>(value); }
uintptr_t HandleValue(HKEY key) { return reinterpret_cast<uintptr_t>(key); }

// "base\jsN\JoystickSettings" -> N; -1 otherwise.
int CalibrationKeyNumber(const char* path) {
    const size_t baseLength = std::strlen(CLinuxPlatform::kJoystickBase);
    if (strncasecmp(path, CLinuxPlatform::kJoystickBase, baseLength) != 0 || path[baseLength] != '\\') {
        return -1;
    }
    const char* p = path + baseLength + 1;
    if (strncasecmp(p, "js", 2) != 0 || !std::isdigit(static_cast<unsigned char>(p[2]))) {
        return -1;
    }
    char* end = nullptr;
    const long number = std::strtol(p + 2, &end, 10);
    if (*end != '\\' || strcasecmp(end + 1, kCalibrationKey) != 0 || number >= CLinuxPlatform::kJoysticks) {
        return -1;
    }
    return static_cast<int>(number);
}

}  // namespace

bool LinuxJoystickNodesExist() {
    DIR* dir = ::opendir("/dev/input");
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "js", 2) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

CLinuxPlatform::CLinuxPlatform(CJoystickServices* messages) : m_messages(messages) {
    for (UINT n = 0; n < kJoysticks; ++n) {
        m_joysticks[n] = std::make_unique<KernelJoystick>(n);
    }
}

CLinuxPlatform::~CLinuxPlatform() = default;

KernelJoystick* CLinuxPlatform::Present(UINT number, bool look) {
    if (number >= kJoysticks) {
        return nullptr;
    }
    KernelJoystick& joystick = *m_joysticks[number];
    const bool wasPresent = joystick.status() == KernelJoystick::Status::Present;
    const bool present = joystick.Refresh(look) == KernelJoystick::Status::Present;
    if (!present || !wasPresent) {
        m_written[number] = {};  // a controller that came or went carries nothing we wrote
    }
    return present ? &joystick : nullptr;
}

MMRESULT CLinuxPlatform::joyGetPosEx(UINT uJoyID, JOYINFOEX* pji) {
    if (pji == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks || pji->dwSize != sizeof(JOYINFOEX)) {
        return JOYERR_PARMS;
    }
    KernelJoystick* joystick = Present(uJoyID);
    if (joystick != nullptr) {
        joystick->TakeEvents();
        joystick = Present(uJoyID);  // a read may have found the device gone
    }
    if (joystick == nullptr) {
        return JOYERR_UNPLUGGED;
    }
    const bool raw = (pji->dwFlags & JOY_RETURNRAWDATA) != 0;
    if (raw && !joystick->HasEvdev()) {
        return JOYERR_NOCANDO;  // joydev alone never shows a value before its correction
    }
    DWORD* positions[kAxes] = {&pji->dwXpos, &pji->dwYpos, &pji->dwZpos, &pji->dwRpos, &pji->dwUpos, &pji->dwVpos};
    for (int axis = 0; axis < kAxes; ++axis) {
        int32_t value = 0;
        if (axis < joystick->axes()) {
            input_absinfo info{};
            value = !raw ? joystick->JoydevValue(axis) : joystick->ReadEvdev(axis, &info) ? info.value : 0;
        }
        *positions[axis] = static_cast<DWORD>(value);
    }
    pji->dwButtons = 0;
    pji->dwButtonNumber = 0;
    pji->dwPOV = JOY_POVCENTERED;
    return JOYERR_NOERROR;
}

MMRESULT CLinuxPlatform::joyGetDevCapsA(UINT_PTR uJoyID, JOYCAPSA* pjc, UINT cbjc) {
    if (pjc == nullptr || cbjc == 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (uJoyID >= kJoysticks) {
        return JOYERR_PARMS;
    }
    const UINT number = static_cast<UINT>(uJoyID);
    KernelJoystick* joystick = Present(number, true);
    // A node we may not open still names the driver key, so that the polled-device line can say why.
    if (joystick == nullptr && m_joysticks[number]->status() != KernelJoystick::Status::Denied) {
        return JOYERR_UNPLUGGED;
    }
    JOYCAPSA caps;
    std::memset(&caps, 0, sizeof(caps));
    if (joystick != nullptr) {
        std::snprintf(caps.szPname, sizeof(caps.szPname), "%s", joystick->name().c_str());
        caps.wNumAxes = static_cast<UINT>(joystick->axes());
        caps.wNumButtons = static_cast<UINT>(joystick->buttons());
        const int axes = joystick->axes();
        caps.wCaps = (axes > 2 ? JOYCAPS_HASZ : 0) | (axes > 3 ? JOYCAPS_HASR : 0) | (axes > 4 ? JOYCAPS_HASU : 0) |
                     (axes > 5 ? JOYCAPS_HASV : 0);
    }
    caps.wMaxAxes = kAxes;
    caps.wMaxButtons = 32;
    caps.wPeriodMin = 1;
    caps.wPeriodMax = 1000;
    std::snprintf(caps.szRegKey, sizeof(caps.szRegKey), "%s", kDriverKey);
    std::memcpy(pjc, &caps, std::min<size_t>(cbjc, sizeof(caps)));
    return JOYERR_NOERROR;
}

MMRESULT CLinuxPlatform::joyConfigChanged(DWORD dwFlags) {
    if (dwFlags != 0) {
        return MMSYSERR_INVALPARAM;
    }
    AnnounceChange();
    return JOYERR_NOERROR;
}

LONG CLinuxPlatform::RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    if (hKey != HKEY_LOCAL_MACHINE || lpSubKey == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (strcasecmp(lpSubKey, kJoystickBase) == 0) {
        *phkResult = Handle(kBaseHandle);
        return ERROR_SUCCESS;
    }
    char settings[256];
    std::snprintf(settings, sizeof(settings), "%s\\%s\\%s", kJoystickBase, kDriverKey, kSettingsKey);
    if (strcasecmp(lpSubKey, settings) == 0) {
        *phkResult = Handle(kSettingsHandle);
        return ERROR_SUCCESS;
    }
    const int number = CalibrationKeyNumber(lpSubKey);
    if (number >= 0 && HasCalibration(static_cast<UINT>(number))) {
        *phkResult = Handle(kCalibrationHandle + static_cast<uintptr_t>(number));
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG CLinuxPlatform::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                                      DWORD* lpcbData) {
    unsigned id = 0;
    char rest[16] = {};
    if (HandleValue(hKey) != kSettingsHandle || lpValueName == nullptr ||
        std::sscanf(lpValueName, "Joystick%u%15s", &id, rest) != 2 || strcasecmp(rest, "OEMName") != 0 || id < 1 ||
        id > kJoysticks) {
        return ERROR_FILE_NOT_FOUND;
    }
    const UINT number = id - 1;
    Present(number, true);
    const std::string text = m_joysticks[number]->Description();
    if (text.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (lpType != nullptr) {
        *lpType = REG_SZ;
    }
    if (lpData == nullptr) {
        if (lpcbData != nullptr) {
            *lpcbData = needed;
        }
        return ERROR_SUCCESS;
    }
    if (lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (*lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, text.c_str(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

LONG CLinuxPlatform::RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    if (lpName == nullptr || cchName == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (HandleValue(hKey) != kBaseHandle) {
        return ERROR_NO_MORE_ITEMS;
    }
    // The driver key, then one key per number that has a controller now. Numbers are listed whether or
    // not they carry a calibration, so that deleting one never shifts the listing.
    std::string name;
    if (dwIndex == 0) {
        name = kDriverKey;
    } else {
        DWORD index = 1;
        for (UINT n = 0; n < kJoysticks && name.empty(); ++n) {
            if (Present(n, true) != nullptr && index++ == dwIndex) {
                name = "js" + std::to_string(n);
            }
        }
        if (name.empty()) {
            return ERROR_NO_MORE_ITEMS;
        }
    }
    if (name.size() + 1 > cchName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

LONG CLinuxPlatform::RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (hKey != HKEY_LOCAL_MACHINE || lpSubKey == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    const int number = CalibrationKeyNumber(lpSubKey);
    if (number < 0) {
        // Controllers are the kernel's and there is no settings key to remove: the cleaner reports the
        // removal as failed, and, the key being absent rather than refused, does not count it against
        // the calibration it clears (ERROR_ACCESS_DENIED would read as needing an administrator).
        return ERROR_FILE_NOT_FOUND;
    }
    if (!HasCalibration(static_cast<UINT>(number))) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!RestoreOwn(static_cast<UINT>(number))) {
        return ERROR_WRITE_FAULT;  // the device did not take its own correction back
    }
    AnnounceChange();
    return ERROR_SUCCESS;
}

LONG CLinuxPlatform::RegCloseKey(HKEY hKey) {
    const uintptr_t value = HandleValue(hKey);
    const bool ours = value == kBaseHandle || value == kSettingsHandle ||
                      (value >= kCalibrationHandle && value < kCalibrationHandle + kJoysticks);
    return ours ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

UINT CLinuxPlatform::RegisterWindowMessageA(LPCSTR lpString) {
    if (lpString == nullptr || *lpString == '\0') {
        return 0;
    }
    if (m_messages != nullptr) {
        return m_messages->RegisterWindowMessageA(lpString);
    }
    for (size_t i = 0; i < m_registered.size(); ++i) {
        if (strcasecmp(m_registered[i].c_str(), lpString) == 0) {
            return kFirstMessage + static_cast<UINT>(i);
        }
    }
    m_registered.emplace_back(lpString);
    return kFirstMessage + static_cast<UINT>(m_registered.size() - 1);
}

HRESULT CLinuxPlatform::DirectInputCreateA(HINSTANCE, DWORD dwVersion, IDirectInputA** ppDI, IUnknown* punkOuter) {
    if (ppDI == nullptr) {
        return E_POINTER;
    }
    *ppDI = nullptr;
    if (punkOuter != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    if (dwVersion < 0x0300) {
        return DIERR_OLDDIRECTINPUTVERSION;
    }
    *ppDI = NewLinuxDirectInput(*this);
    return DI_OK;
}

void CLinuxPlatform::SetBroadcast(std::function<void(UINT, WPARAM, LPARAM)> broadcast) {
    m_broadcast = std::move(broadcast);
}

void CLinuxPlatform::AnnounceChange() {
    if (m_broadcast) {
        m_broadcast(RegisterWindowMessageA("MSJSTICK_VJOYD_MSGSTR"), 0, 0);
    }
}

GUID CLinuxPlatform::InstanceGuid(UINT number) {
    // 'joyd' and the number: stable for a number, as DirectInput's instance GUID is for a device.
    return GUID{0x6A6F7964, 0x6576, static_cast<WORD>(number), {0x4C, 0x69, 0x6E, 0x75, 0x78, 0x4A, 0x53, 0x00}};
}

int CLinuxPlatform::NumberOf(REFGUID guid) {
    for (UINT n = 0; n < kJoysticks; ++n) {
        if (IsEqualGUID(guid, InstanceGuid(n))) {
            return static_cast<int>(n);
        }
    }
    return -1;
}
