// Selection of the process's joystick services and the bounded registry string read.
#include "joystick/joystick_services.h"

#include <cstdio>
#include <cstring>

namespace {

// A function-local static, so that callers running during static initialisation (the dialog registers
// its message from a static initialiser) find it ready whatever the order of global construction.
CJoystickServices*& OverrideSlot() {
    static CJoystickServices* override = nullptr;
    return override;
}

}  // namespace

CJoystickServices& JoystickServices() {
    CJoystickServices* override = OverrideSlot();
    return override != nullptr ? *override : DefaultJoystickServices();
}

void SetJoystickServices(CJoystickServices* services) { OverrideSlot() = services; }

bool CJoystickServices::GetJoystickUnits(UINT, JoystickUnits* units) {
    if (units != nullptr) *units = JoystickUnits{};
    return false;
}

bool CJoystickServices::CheckAxisCalibration(UINT, int, LONG, LONG, LONG, DWORD, char* why, size_t whySize) {
    if (why != nullptr && whySize > 0) why[0] = '\0';
    return true;
}

bool CJoystickServices::GetAxisCalibration(UINT, JoystickAxisCalibration (&axes)[6]) {
    for (JoystickAxisCalibration& axis : axes) axis = JoystickAxisCalibration{};
    return false;
}

HRESULT CJoystickServices::SetAxisCalibration(UINT, const JoystickAxisCalibration (&)[6], unsigned mask) {
    return mask == 0 ? S_OK : DIERR_UNSUPPORTED;
}

namespace {
CJoystickServices::KeepResult CannotKeep(char* why, size_t whySize) {
    if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", "this system keeps no calibration of its own");
    return CJoystickServices::KeepResult::Failed;
}
}  // namespace

CJoystickServices::KeepResult CJoystickServices::KeepCalibration(UINT, bool, char* why, size_t whySize) {
    return CannotKeep(why, whySize);
}

CJoystickServices::KeepResult CJoystickServices::ForgetKeptCalibration(UINT, char* why, size_t whySize) {
    return CannotKeep(why, whySize);
}

CJoystickServices::KeepResult CJoystickServices::ForgetAllKeptCalibrations(char* why, size_t whySize) {
    return CannotKeep(why, whySize);
}

LONG QueryRegistryString(CJoystickServices& services, HKEY key, LPCSTR valueName, char* buffer, DWORD size) {
    if (buffer == nullptr || size == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    buffer[0] = '\0';
    DWORD type = REG_NONE;
    DWORD cb = size;
    const LONG result = services.RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &cb);
    if (result != ERROR_SUCCESS) {
        // On ERROR_MORE_DATA the buffer's contents are undefined; nothing of it is kept.
        buffer[0] = '\0';
        return result;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        buffer[0] = '\0';
        return ERROR_UNSUPPORTED_TYPE;
    }
    if (cb > size) {
        cb = size;  // never trust a reported size beyond the buffer
    }
    if (std::memchr(buffer, '\0', cb) != nullptr) {
        return ERROR_SUCCESS;
    }
    if (cb < size) {
        buffer[cb] = '\0';
        return ERROR_SUCCESS;
    }
    // Stored without a terminator and filling the whole buffer: keep what fits with one.
    buffer[size - 1] = '\0';
    return ERROR_MORE_DATA;
}
