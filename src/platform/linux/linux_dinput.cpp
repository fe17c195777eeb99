// DirectInput 5 on evdev: the DirectInput object, joystick devices that read the evdev node of a joystick
// number, and the joystick configuration interface over the kernel's correction.
#include <cstring>

#include "joystick/joystick_records.h"
#include "platform/linux/linux_platform.h"

namespace {

using linuxjoy::kAxes;

bool SameProperty(REFGUID a, REFGUID b) { return &a == &b; }  // predefined properties compare by address


template <typename Interface>
class CRefCounted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0) {
            delete this;
        }
        return refs;
    }

protected:
    virtual ~CRefCounted() = default;

    // Answers QueryInterface for the identifiers this object is; false when it is none of them.
    template <typename... Ids>
    HRESULT Query(REFIID riid, void** ppv, Ids&... ids) {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || (IsEqualGUID(riid, ids) || ...)) {
            AddRef();
            *ppv = static_cast<Interface*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

private:
    ULONG m_refs = 1;
};

// ---- The joystick configuration interface: the kernel's correction of each number

class CJoyConfig final : public CRefCounted<IDirectInputJoyConfig> {
public:
    CJoyConfig(CLinuxPlatform& platform, IDirectInputA* parent) : m_platform(platform), m_parent(parent) {
        m_parent->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv, IID_IDirectInputJoyConfig);
    }
    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (m_level != (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        if (m_acquired) {
            return DI_NOEFFECT;
        }
        m_acquired = true;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Unacquire() override {
        if (!m_acquired) {
            return DI_NOEFFECT;
        }
        m_acquired = false;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD dwFlags) override {
        if (dwFlags != (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        m_level = dwFlags;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE SendNotify() override {
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        m_platform.AnnounceChange();
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumTypes(LPDIJOYTYPECALLBACK, LPVOID) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(LPCWSTR, LPDIJOYTYPEINFO, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetTypeInfo(LPCWSTR, LPCDIJOYTYPEINFO, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DeleteType(LPCWSTR) override { return DIERR_UNSUPPORTED; }

    HRESULT STDMETHODCALLTYPE GetConfig(UINT uiJoy, LPDIJOYCONFIG pjc, DWORD dwFlags) override {
        if (pjc == nullptr) {
            return E_POINTER;
        }
        if (pjc->dwSize != sizeof(DIJOYCONFIG) || (dwFlags & ~kConfigFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        m_number = uiJoy;  // user values are global in DirectInput; here they follow this number
        return m_platform.GetConfig(uiJoy, pjc, dwFlags);
    }
    HRESULT STDMETHODCALLTYPE SetConfig(UINT uiJoy, LPCDIJOYCONFIG pjc, DWORD dwFlags) override {
        if (pjc == nullptr) {
            return E_POINTER;
        }
        if (pjc->dwSize != sizeof(DIJOYCONFIG) || (dwFlags & ~kConfigFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        m_number = uiJoy;
        return m_platform.SetConfig(uiJoy, pjc, dwFlags);
    }
    HRESULT STDMETHODCALLTYPE DeleteConfig(UINT) override { return DIERR_UNSUPPORTED; }

    // The dead zones of the number last named by GetConfig or SetConfig; the rest stays empty.
    HRESULT STDMETHODCALLTYPE GetUserValues(LPDIJOYUSERVALUES pjuv, DWORD dwFlags) override {
        if (pjuv == nullptr) {
            return E_POINTER;
        }
        if (pjuv->dwSize != sizeof(DIJOYUSERVALUES) || (dwFlags & ~kUserFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (dwFlags & DIJU_USERVALUES) {
            pjuv->ruv = {};
            m_platform.GetDeadZones(m_number, &pjuv->ruv.jpDeadZone);
        }
        return DI_OK;
    }
    // Kept for the number's next SetConfig, which writes dead zones and ranges to the kernel together.
    HRESULT STDMETHODCALLTYPE SetUserValues(LPCDIJOYUSERVALUES pjuv, DWORD dwFlags) override {
        if (pjuv == nullptr) {
            return E_POINTER;
        }
        if (pjuv->dwSize != sizeof(DIJOYUSERVALUES) || (dwFlags & ~kUserFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        if (dwFlags & DIJU_USERVALUES) {
            m_platform.SetDeadZones(m_number, pjuv->ruv.jpDeadZone);
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE AddNewHardware(HWND, REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE OpenTypeKey(LPCWSTR, DWORD, PHKEY phk) override { return NoKey(phk); }
    HRESULT STDMETHODCALLTYPE OpenConfigKey(UINT, DWORD, PHKEY phk) override { return NoKey(phk); }

private:
    static constexpr DWORD kConfigFlags = DIJC_GUIDINSTANCE | DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT;
    static constexpr DWORD kUserFlags = DIJU_USERVALUES | DIJU_GLOBALDRIVER | DIJU_GAMEPORTEMULATOR;

    ~CJoyConfig() override { m_parent->Release(); }

    static HRESULT NoKey(PHKEY phk) {
        if (phk != nullptr) {
            *phk = nullptr;
        }
        return DIERR_UNSUPPORTED;
    }

    CLinuxPlatform& m_platform;
    IDirectInputA* m_parent;
    UINT m_number = CLinuxPlatform::kJoysticks;  // none yet
    DWORD m_level = 0;
    bool m_acquired = false;
};

// ---- A joystick device: the evdev node of one number

class CDevice final : public CRefCounted<IDirectInputDevice2A> {
public:
    CDevice(CLinuxPlatform& platform, IDirectInputA* parent, UINT number)
        : m_platform(platform), m_parent(parent), m_number(number) {
        m_parent->AddRef();
        for (int i = 0; i < kAxes; ++i) {
            m_rangeMin[i] = 0;
            m_rangeMax[i] = 65535;
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Query(riid, ppv, IID_IDirectInputDeviceA, IID_IDirectInputDevice2A);
    }
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override {
        if (caps == nullptr) {
            return E_POINTER;
        }
        if (caps->dwSize != sizeof(DIDEVCAPS)) {
            return DIERR_INVALIDPARAM;
        }
        const linuxjoy::KernelJoystick* joystick = m_platform.Present(m_number);
        caps->dwFlags = joystick != nullptr ? 0x00000001 /* DIDC_ATTACHED */ : 0;
        caps->dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        caps->dwAxes = joystick != nullptr ? static_cast<DWORD>(joystick->axes()) : 0;
        caps->dwButtons = joystick != nullptr ? static_cast<DWORD>(joystick->buttons()) : 0;
        caps->dwPOVs = 0;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override { return DIERR_UNSUPPORTED; }

    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) override {
        if (pdiph == nullptr) {
            return E_POINTER;
        }
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        int first = 0;
        int last = 0;
        if (SameProperty(rguidProp, DIPROP_RANGE)) {
            const auto* range = reinterpret_cast<LPCDIPROPRANGE>(pdiph);
            if (pdiph->dwSize != sizeof(DIPROPRANGE) || !PropertyAxes(*pdiph, &first, &last) || range->lMin >= range->lMax) {
                return DIERR_INVALIDPARAM;
            }
            for (int axis = first; axis <= last; ++axis) {
                m_rangeMin[axis] = range->lMin;
                m_rangeMax[axis] = range->lMax;
            }
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATIONMODE)) {
            const DWORD mode = reinterpret_cast<LPCDIPROPDWORD>(pdiph)->dwData;
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !PropertyAxes(*pdiph, &first, &last) ||
                (mode != DIPROPCALIBRATIONMODE_RAW && mode != DIPROPCALIBRATIONMODE_COOKED)) {
                return DIERR_INVALIDPARAM;
            }
            m_raw = mode == DIPROPCALIBRATIONMODE_RAW;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    // Exclusive access takes no grab of the evdev node: other programs keep their events.
    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (!m_formatSet) {
            return DIERR_INVALIDPARAM;
        }
        if (m_acquired) {
            return DI_NOEFFECT;
        }
        const linuxjoy::KernelJoystick* joystick = m_platform.Present(m_number);
        if (joystick == nullptr || !joystick->HasEvdev()) {
            return DIERR_UNPLUGGED;
        }
        m_acquired = true;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Unacquire() override {
        if (!m_acquired) {
            return DI_NOEFFECT;
        }
        m_acquired = false;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) override {
        if (lpvData == nullptr) {
            return E_POINTER;
        }
        if (!m_formatSet || cbData != sizeof(DIJOYSTATE)) {
            return DIERR_INVALIDPARAM;
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        linuxjoy::KernelJoystick* joystick = m_platform.Present(m_number);
        if (joystick != nullptr) {
            joystick->TakeEvents();
            joystick = m_platform.Present(m_number);  // a read may have found the device gone
        }
        if (joystick == nullptr || !joystick->HasEvdev()) {
            m_acquired = false;
            return DIERR_INPUTLOST;
        }
        DIJOYSTATE state;
        std::memset(&state, 0, sizeof(state));
        LONG* axes[kAxes] = {&state.lX, &state.lY, &state.lZ, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        for (int axis = 0; axis < joystick->axes(); ++axis) {
            input_absinfo info{};
            if (joystick->ReadEvdev(axis, &info)) {
                *axes[axis] = m_raw ? info.value : linuxjoy::Normalise(info.value, info, m_rangeMin[axis], m_rangeMax[axis]);
            }
        }
        for (DWORD& pov : state.rgdwPOV) {
            pov = 0xFFFFFFFF;  // centred / absent
        }
        std::memcpy(lpvData, &state, sizeof(state));
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT lpdf) override {
        if (lpdf == nullptr) {
            return E_POINTER;
        }
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        if (lpdf->dwSize != sizeof(DIDATAFORMAT) || lpdf->dwDataSize != sizeof(DIJOYSTATE) ||
            (lpdf->dwFlags & DIDF_ABSAXIS) == 0) {
            return DIERR_INVALIDPARAM;  // only the standard joystick layout is offered
        }
        m_formatSet = true;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD dwFlags) override {
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        const DWORD sharing = dwFlags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = dwFlags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((dwFlags & ~(sharing | focus)) != 0 || (sharing != DISCL_EXCLUSIVE && sharing != DISCL_NONEXCLUSIVE) ||
            (focus != DISCL_FOREGROUND && focus != DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA pdidi) override {
        if (pdidi == nullptr) {
            return E_POINTER;
        }
        if (pdidi->dwSize != sizeof(DIDEVICEINSTANCEA)) {
            return DIERR_INVALIDPARAM;
        }
        const linuxjoy::KernelJoystick* joystick = m_platform.Present(m_number);
        std::memset(pdidi, 0, sizeof(*pdidi));
        pdidi->dwSize = sizeof(*pdidi);
        pdidi->guidInstance = CLinuxPlatform::InstanceGuid(m_number);
        pdidi->guidProduct = GUID_Joystick;
        pdidi->dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        std::snprintf(pdidi->tszInstanceName, sizeof(pdidi->tszInstanceName), "js%u", m_number);
        std::snprintf(pdidi->tszProductName, sizeof(pdidi->tszProductName), "%s",
                      joystick != nullptr ? joystick->name().c_str() : "");
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override { return DIERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* ppdeff, LPUNKNOWN) override {
        if (ppdeff != nullptr) {
            *ppdeff = nullptr;
        }
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Poll() override {
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        const linuxjoy::KernelJoystick* joystick = m_platform.Present(m_number);
        if (joystick == nullptr || !joystick->HasEvdev()) {
            m_acquired = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return DIERR_UNSUPPORTED;
    }

private:
    ~CDevice() override { m_parent->Release(); }


    CLinuxPlatform& m_platform;
    IDirectInputA* m_parent;
    UINT m_number;
    bool m_formatSet = false;
    bool m_acquired = false;
    bool m_raw = false;
    LONG m_rangeMin[kAxes];
    LONG m_rangeMax[kAxes];
};

// ---- The DirectInput object

class CDirectInput final : public CRefCounted<IDirectInputA> {
public:
    explicit CDirectInput(CLinuxPlatform& platform) : m_platform(platform) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv != nullptr && IsEqualGUID(riid, IID_IDirectInputJoyConfig)) {
            *ppv = static_cast<IDirectInputJoyConfig*>(new CJoyConfig(m_platform, this));
            return S_OK;
        }
        return Query(riid, ppv, IID_IDirectInputA);
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICEA* ppDevice, LPUNKNOWN pUnkOuter) override {
        if (ppDevice == nullptr) {
            return E_POINTER;
        }
        *ppDevice = nullptr;
        if (pUnkOuter != nullptr) {
            return DIERR_NOAGGREGATION;
        }
        const int number = CLinuxPlatform::NumberOf(rguid);
        if (number < 0 || m_platform.Present(static_cast<UINT>(number)) == nullptr) {
            return DIERR_DEVICENOTREG;
        }
        *ppDevice = new CDevice(m_platform, this, static_cast<UINT>(number));
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD dwDevType, LPDIENUMDEVICESCALLBACKA lpCallback, LPVOID pvRef,
                                          DWORD) override {
        if (lpCallback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (dwDevType != 0 && (dwDevType & 0xFF) != DIDEVTYPE_JOYSTICK) {
            return DI_OK;
        }
        for (UINT number = 0; number < CLinuxPlatform::kJoysticks; ++number) {
            const linuxjoy::KernelJoystick* joystick = m_platform.Present(number, true);
            if (joystick == nullptr) {
                continue;
            }
            DIDEVICEINSTANCEA instance;
            std::memset(&instance, 0, sizeof(instance));
            instance.dwSize = sizeof(instance);
            instance.guidInstance = CLinuxPlatform::InstanceGuid(number);
            instance.guidProduct = GUID_Joystick;
            instance.dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
            std::snprintf(instance.tszInstanceName, sizeof(instance.tszInstanceName), "js%u", number);
            std::snprintf(instance.tszProductName, sizeof(instance.tszProductName), "%s", joystick->name().c_str());
            if (!lpCallback(&instance, pvRef)) {
                break;
            }
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguidInstance) override {
        const int number = CLinuxPlatform::NumberOf(rguidInstance);
        return number >= 0 && m_platform.Present(static_cast<UINT>(number)) != nullptr ? DI_OK : DI_NOTATTACHED;
    }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return DI_OK; }

private:
    ~CDirectInput() override = default;

    CLinuxPlatform& m_platform;
};

}  // namespace

IDirectInputA* NewLinuxDirectInput(CLinuxPlatform& platform) { return new CDirectInput(platform); }
