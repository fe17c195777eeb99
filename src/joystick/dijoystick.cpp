// CDIJoystick: opening one joystick through DirectInput 5, reading it and storing its configuration.
#include "joystick/dijoystick.h"

#include <cstring>

#include "joystick/joystick_services.h"

namespace {

constexpr WORD kNoJoystick = 255;
constexpr DWORD kConfigLoadFlags = DIJC_GUIDINSTANCE | DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT;
constexpr DWORD kRawReadingVersion = 0x0700;
constexpr DWORD kDirectInput8Version = 0x0800;

template <typename Record>
void ClearRecord(Record& record) {
    std::memset(&record, 0, sizeof(record));
}

}  // namespace

CDIJoystick::CDIJoystick(HINSTANCE hInstance)
    : m_hInstance(hInstance),
      m_hwndOwner(nullptr),
      m_joyId(kNoJoystick),
      m_directInput(nullptr),
      m_device(nullptr),
      m_joyConfig(nullptr),
      m_joyConfig8(nullptr),
      m_inputLost(FALSE) {
    ClearRecord(m_state);
    ClearRecord(m_config);
    ClearRecord(m_userValues);
}

CDIJoystick::~CDIJoystick() { Close(); }

HRESULT CDIJoystick::Open(HWND hwndOwner, WORD joyId, BOOL raw) {
    Close();
    m_hwndOwner = hwndOwner;
    m_joyId = joyId;

    // Each interface is taken over only when its call succeeded, so that a failing call can never leave
    // a stray pointer for Close to release.
    // On Windows 10/11 only an object of version 0x0700 or later reads raw values in raw mode; a
    // DirectInput 5 runtime refuses that version, and then DirectInput 5's object reads raw as it always did.
    IDirectInputA* directInput = nullptr;
    HRESULT hr = raw ? JoystickServices().DirectInputCreateA(m_hInstance, kRawReadingVersion, &directInput, nullptr)
                     : DIERR_OLDDIRECTINPUTVERSION;
    if (hr == DIERR_OLDDIRECTINPUTVERSION) {
        directInput = nullptr;
        hr = JoystickServices().DirectInputCreateA(m_hInstance, DIRECTINPUT_VERSION, &directInput, nullptr);
    }
    if (FAILED(hr)) {
        return hr;
    }
    m_directInput = directInput;

    IDirectInputJoyConfig* joyConfig = nullptr;
    hr = m_directInput->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void**>(&joyConfig));
    if (SUCCEEDED(hr)) {
        m_joyConfig = joyConfig;
    } else if (FAILED(OpenJoyConfig8())) {
        return hr;  // DirectInput 5's refusal: DirectInput 8 is only the fallback
    }

    hr = LoadConfig();
    if (FAILED(hr)) {
        return hr;
    }
    hr = LoadUserValues();
    // Wine's DirectInput 8 configuration interface answers E_NOTIMPL here, its GetConfig giving only the
    // instance GUID. The device needs nothing more, and the editor loads nothing from a failed read, so
    // on that route the opening goes on; DirectInput 5's stays as it always was.
    if (FAILED(hr) && m_joyConfig8 == nullptr) {
        return hr;
    }

    IDirectInputDeviceA* device = nullptr;
    hr = m_directInput->CreateDevice(m_config.guidInstance, &device, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    IDirectInputDevice2A* device2 = nullptr;
    hr = device->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&device2));
    device->Release();
    if (FAILED(hr)) {
        return hr;
    }
    m_device = device2;

    hr = m_device->Unacquire();
    if (FAILED(hr)) {
        return hr;
    }
    hr = m_device->SetDataFormat(&c_dfDIJoystick);
    if (FAILED(hr)) {
        return hr;
    }
    // Raw reading needs no exclusive access (DirectInput sets the calibration mode for this device object
    // alone); held exclusively, the device would keep a game from taking it for force feedback.
    hr = m_device->SetCooperativeLevel(m_hwndOwner, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(hr)) {
        return hr;
    }

    DIPROPRANGE range;
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = 0;
    range.diph.dwHow = DIPH_DEVICE;
    range.lMin = 0;
    range.lMax = 0xFFFF;
    hr = m_device->SetProperty(DIPROP_RANGE, &range.diph);
    if (FAILED(hr)) {
        return hr;
    }

    DIPROPDWORD mode;
    mode.diph.dwSize = sizeof(DIPROPDWORD);
    mode.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    mode.diph.dwObj = 0;
    mode.diph.dwHow = DIPH_DEVICE;
    mode.dwData = raw ? DIPROPCALIBRATIONMODE_RAW : DIPROPCALIBRATIONMODE_COOKED;
    return m_device->SetProperty(DIPROP_CALIBRATIONMODE, &mode.diph);
}

// DirectInput 8's configuration interface is reachable only from a DirectInput 8 object. The interface
// keeps what it needs of that object, so the object itself is released at once: the joystick object
// holds three interfaces on either route.
HRESULT CDIJoystick::OpenJoyConfig8() {
    IUnknown* directInput8 = nullptr;
    HRESULT hr = JoystickServices().DirectInput8Create(m_hInstance, kDirectInput8Version, IID_IDirectInput8A,
                                                       reinterpret_cast<void**>(&directInput8), nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    IDirectInputJoyConfig8* joyConfig8 = nullptr;
    hr = directInput8->QueryInterface(IID_IDirectInputJoyConfig8, reinterpret_cast<void**>(&joyConfig8));
    directInput8->Release();
    if (SUCCEEDED(hr)) {
        m_joyConfig8 = joyConfig8;
    }
    return hr;
}

HRESULT CDIJoystick::Close() {
    // The DirectInput object goes first; the device and the configuration interface keep what they need
    // of it alive until their own release.
    if (m_directInput != nullptr) {
        m_directInput->Release();
        m_directInput = nullptr;
    }
    if (m_device != nullptr) {
        m_device->Unacquire();
        m_device->Release();
        m_device = nullptr;
    }
    if (m_joyConfig != nullptr) {
        m_joyConfig->Unacquire();
        m_joyConfig->Release();
        m_joyConfig = nullptr;
    }
    if (m_joyConfig8 != nullptr) {
        m_joyConfig8->Unacquire();
        m_joyConfig8->Release();
        m_joyConfig8 = nullptr;
    }
    m_hwndOwner = nullptr;
    m_joyId = kNoJoystick;
    m_inputLost = FALSE;
    ClearRecord(m_state);
    ClearRecord(m_config);
    ClearRecord(m_userValues);
    return S_OK;
}

BOOL CDIJoystick::IsOpen() const { return m_device != nullptr ? TRUE : FALSE; }

HRESULT CDIJoystick::ReadState() {
    if (m_device == nullptr) {
        return S_OK;
    }
    const HRESULT poll = m_device->Poll();
    HRESULT acquire = S_OK;
    if (poll == DIERR_NOTACQUIRED || poll == DIERR_INPUTLOST) {
        acquire = m_device->Acquire();
        m_device->Poll();
    }
    const HRESULT read = m_device->GetDeviceState(sizeof(m_state), &m_state);
    const bool lost = poll == static_cast<HRESULT>(DIERR_INPUTLOST) || acquire == static_cast<HRESULT>(DIERR_UNPLUGGED) ||
                      read == static_cast<HRESULT>(DIERR_INPUTLOST);
    m_inputLost = lost ? TRUE : FALSE;
    return read;
}

BOOL CDIJoystick::InputLost() const { return m_inputLost; }

template <typename Call>
HRESULT CDIJoystick::WithJoyConfig(Call call) {
    if (m_joyConfig != nullptr) {
        return call(m_joyConfig);
    }
    if (m_joyConfig8 != nullptr) {
        return call(m_joyConfig8);
    }
    return DIERR_NOTINITIALIZED;
}

HRESULT CDIJoystick::LoadConfig() {
    ClearRecord(m_config);
    m_config.dwSize = sizeof(m_config);
    return WithJoyConfig([&](auto* config) {
        return config->GetConfig(static_cast<UINT>(m_joyId), AsJoyConfigParam(&m_config), kConfigLoadFlags);
    });
}

HRESULT CDIJoystick::LoadUserValues() {
    ClearRecord(m_userValues);
    m_userValues.dwSize = sizeof(m_userValues);
    return WithJoyConfig([&](auto* config) { return config->GetUserValues(&m_userValues, DIJU_USERVALUES); });
}

template <typename Write>
HRESULT CDIJoystick::SaveBracket(Write write) {
    return WithJoyConfig([&](auto* config) {
        HRESULT hr = config->SetCooperativeLevel(m_hwndOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
        if (FAILED(hr)) {
            return hr;
        }
        hr = config->Acquire();
        if (FAILED(hr)) {
            return hr;
        }
        hr = write(config);
        if (FAILED(hr)) {
            return hr;
        }
        hr = config->SendNotify();
        if (FAILED(hr)) {
            return hr;
        }
        return config->Unacquire();
    });
}

HRESULT CDIJoystick::SaveConfig(DWORD flags) {
    return SaveBracket([&](auto* config) {
        return config->SetConfig(static_cast<UINT>(m_joyId), AsJoyConfigParam(&m_config), flags);
    });
}

HRESULT CDIJoystick::SaveUserValues() {
    return SaveBracket([&](auto* config) { return config->SetUserValues(&m_userValues, DIJU_USERVALUES); });
}
