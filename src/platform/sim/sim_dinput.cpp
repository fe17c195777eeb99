// The simulated DirectInput 5: the DirectInput object, joystick devices and the joystick configuration
// interface, reference-counted and counted while alive.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_internal.h"

namespace {

using Impl = CSimPlatform::Impl;

// mingw-w64 declares EnumTypes' callback parameter as a plain pointer.
#if defined(__MINGW32__)
using EnumTypesCallback = LPVOID;
#else
using EnumTypesCallback = LPDIJOYTYPECALLBACK;
#endif

// Object offsets of the six axes in c_dfDIJoystick's layout, in the order X, Y, Z, R, U, V.
constexpr DWORD kAxisOffsets[CSimPlatform::kAxes] = {
    offsetof(DIJOYSTATE, lX),           offsetof(DIJOYSTATE, lY),
    offsetof(DIJOYSTATE, lZ),           offsetof(DIJOYSTATE, lRz),
    offsetof(DIJOYSTATE, rglSlider[0]), offsetof(DIJOYSTATE, rglSlider[1])};

bool SameProperty(REFGUID a, REFGUID b) { return &a == &b; }  // predefined properties are compared by address

// Reference counting and the live count shared by the three kinds of objects.
template <typename Interface, SimObject Kind>
class CSimObject : public Interface {
public:
    explicit CSimObject(Impl& sim) : m_sim(sim) { ++m_sim.live[static_cast<size_t>(Kind)]; }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0) {
            delete this;
        }
        return refs;
    }

protected:
    virtual ~CSimObject() { --m_sim.live[static_cast<size_t>(Kind)]; }

    // The start of every QueryInterface: a null out-pointer is refused, the out-pointer cleared, and an
    // injected failure returned. True when the call must return *result.
    bool RefuseQuery(SimCall call, void** ppv, HRESULT* result) {
        if (ppv == nullptr) {
            *result = E_POINTER;
            return true;
        }
        *ppv = nullptr;
        return Fails(call, result);
    }

    // An injected failure: true when the call must return *result.
    bool Fails(SimCall call, HRESULT* result) {
        int32_t code = 0;
        if (m_sim.Inject(call, &code)) {
            *result = code;
            return true;
        }
        return false;
    }

    Impl& m_sim;
    ULONG m_refs = 1;
};

class CSimDirectInput;

// ---------------------------------------------------------------------------------------------------
// The joystick configuration interface

class CSimJoyConfigObject final : public CSimObject<IDirectInputJoyConfig, SimObject::JoyConfig> {
public:
    CSimJoyConfigObject(Impl& sim, IDirectInputA* parent) : CSimObject(sim), m_parent(parent) { m_parent->AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        HRESULT hr;
        if (RefuseQuery(SimCall::JoyConfigQueryInterface, ppv, &hr)) {
            return hr;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputJoyConfig)) {
            AddRef();
            *ppv = static_cast<IDirectInputJoyConfig*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Acquire() override {
        HRESULT hr;
        if (Fails(SimCall::JoyConfigAcquire, &hr)) {
            return hr;
        }
        if (m_level != (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        // Microsoft's IDirectInputJoyConfig8::Acquire documentation: DIERR_INSUFFICIENTPRIVS when the
        // caller lacks the rights to change the configuration. Whether Windows 10/11 asks for them is a
        // switch of the machine.
        if (m_sim.Modern() && m_sim.machine.joyConfigNeedsElevation && !m_sim.machine.elevated) {
            return DIERR_INSUFFICIENTPRIVS;
        }
        if (m_sim.configOwner == static_cast<const void*>(this)) {
            return DI_NOEFFECT;
        }
        if (m_sim.configOwner != nullptr) {
            return DIERR_OTHERAPPHASPRIO;
        }
        m_sim.configOwner = static_cast<const void*>(this);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        HRESULT hr;
        if (Fails(SimCall::JoyConfigUnacquire, &hr)) {
            return hr;
        }
        if (!Acquired()) {
            return DI_NOEFFECT;
        }
        m_sim.configOwner = nullptr;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::JoyConfigSetCooperativeLevel, &hr)) {
            return hr;
        }
        // The configuration store is only ever opened for exclusive background access, for a window that
        // exists (Microsoft's IDirectInputJoyConfig8::SetCooperativeLevel: non-NULL, top-level).
        if (dwFlags != (DISCL_EXCLUSIVE | DISCL_BACKGROUND) || !m_sim.IsWindow(hwnd)) {
            return DIERR_INVALIDPARAM;
        }
        m_hwnd = hwnd;
        m_level = dwFlags;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SendNotify() override {
        HRESULT hr;
        if (Fails(SimCall::SendNotify, &hr)) {
            return hr;
        }
        if (!Acquired()) {
            return DIERR_NOTACQUIRED;
        }
        m_sim.AnnounceChange();
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumTypes(EnumTypesCallback, LPVOID) override { return Unsupported(SimCall::EnumTypes); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(LPCWSTR, LPDIJOYTYPEINFO, DWORD) override {
        return Unsupported(SimCall::GetTypeInfo);
    }
    HRESULT STDMETHODCALLTYPE SetTypeInfo(LPCWSTR, LPCDIJOYTYPEINFO, DWORD) override {
        return Unsupported(SimCall::SetTypeInfo);
    }
    HRESULT STDMETHODCALLTYPE DeleteType(LPCWSTR) override { return Unsupported(SimCall::DeleteType); }

    HRESULT STDMETHODCALLTYPE GetConfig(UINT uiJoy, LPDIJOYCONFIG pjc, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::GetConfig, &hr)) {
            return hr;
        }
        if (pjc == nullptr) {
            return E_POINTER;
        }
        if (!ValidConfigSize(pjc->dwSize) || (dwFlags & ~kConfigFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (uiJoy >= CSimPlatform::kJoysticks) {
            return DIERR_NOMOREITEMS;
        }
        // An empty slot reads as an empty record with S_FALSE, as DirectInput reports an unused number.
        const DIJOYCONFIG stored = m_sim.ConfigRecord(uiJoy);
        if (dwFlags & DIJC_GUIDINSTANCE) {
            pjc->guidInstance = stored.guidInstance;
        }
        if (dwFlags & DIJC_REGHWCONFIGTYPE) {
            pjc->hwc = stored.hwc;
            std::memcpy(pjc->wszType, stored.wszType, sizeof(stored.wszType));
        }
        if (dwFlags & DIJC_GAIN) {
            pjc->dwGain = stored.dwGain;
        }
        if (dwFlags & DIJC_CALLOUT) {
            std::memcpy(pjc->wszCallout, stored.wszCallout, sizeof(stored.wszCallout));
        }
        return m_sim.Installed(uiJoy) ? DI_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE SetConfig(UINT uiJoy, LPCDIJOYCONFIG pjc, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::SetConfig, &hr)) {
            return hr;
        }
        if (pjc == nullptr) {
            return E_POINTER;
        }
        if (!ValidConfigSize(pjc->dwSize) || (dwFlags & ~kConfigFlags) != 0 || uiJoy >= CSimPlatform::kJoysticks) {
            return DIERR_INVALIDPARAM;
        }
        if (!Acquired()) {
            return DIERR_NOTACQUIRED;
        }
        DIJOYCONFIG record;
        std::memcpy(&record, pjc, sizeof(record));  // the DirectInput 5 part; a later record's tail is not used
        m_sim.Store(uiJoy, record, dwFlags);
        ++m_sim.configWrites;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE DeleteConfig(UINT uiJoy) override {
        HRESULT hr;
        if (Fails(SimCall::DeleteConfig, &hr)) {
            return hr;
        }
        if (uiJoy >= CSimPlatform::kJoysticks) {
            return DIERR_INVALIDPARAM;
        }
        if (!Acquired()) {
            return DIERR_NOTACQUIRED;
        }
        m_sim.Uninstall(uiJoy);
        char name[48];
        std::snprintf(name, sizeof(name), "Joystick%uConfiguration", uiJoy + 1);
        m_sim.registry.RemoveValue(m_sim.settingsHive, m_sim.SettingsKey(), name);
        std::snprintf(name, sizeof(name), "Joystick%uOEMName", uiJoy + 1);
        m_sim.registry.RemoveValue(m_sim.settingsHive, m_sim.SettingsKey(), name);
        ++m_sim.configWrites;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetUserValues(LPDIJOYUSERVALUES pjuv, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::GetUserValues, &hr)) {
            return hr;
        }
        if (pjuv == nullptr) {
            return E_POINTER;
        }
        if (pjuv->dwSize != sizeof(DIJOYUSERVALUES) || (dwFlags & ~kUserFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        const DIJOYUSERVALUES& stored = m_sim.userValues;
        if (dwFlags & DIJU_USERVALUES) {
            pjuv->ruv = stored.ruv;
        }
        if (dwFlags & DIJU_GLOBALDRIVER) {
            std::memcpy(pjuv->wszGlobalDriver, stored.wszGlobalDriver, sizeof(stored.wszGlobalDriver));
        }
        if (dwFlags & DIJU_GAMEPORTEMULATOR) {
            std::memcpy(pjuv->wszGameportEmulator, stored.wszGameportEmulator, sizeof(stored.wszGameportEmulator));
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetUserValues(LPCDIJOYUSERVALUES pjuv, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::SetUserValues, &hr)) {
            return hr;
        }
        if (pjuv == nullptr) {
            return E_POINTER;
        }
        if (pjuv->dwSize != sizeof(DIJOYUSERVALUES) || (dwFlags & ~kUserFlags) != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (!Acquired()) {
            return DIERR_NOTACQUIRED;
        }
        DIJOYUSERVALUES& stored = m_sim.userValues;
        if (dwFlags & DIJU_USERVALUES) {
            stored.ruv = pjuv->ruv;
        }
        if (dwFlags & DIJU_GLOBALDRIVER) {
            std::memcpy(stored.wszGlobalDriver, pjuv->wszGlobalDriver, sizeof(stored.wszGlobalDriver));
            stored.wszGlobalDriver[MAX_JOYSTRING - 1] = 0;
        }
        if (dwFlags & DIJU_GAMEPORTEMULATOR) {
            std::memcpy(stored.wszGameportEmulator, pjuv->wszGameportEmulator, sizeof(stored.wszGameportEmulator));
            stored.wszGameportEmulator[MAX_JOYSTRING - 1] = 0;
        }
        ++m_sim.configWrites;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE AddNewHardware(HWND, REFGUID) override { return Unsupported(SimCall::AddNewHardware); }
    HRESULT STDMETHODCALLTYPE OpenTypeKey(LPCWSTR, DWORD, PHKEY phk) override {
        if (phk != nullptr) {
            *phk = nullptr;
        }
        return Unsupported(SimCall::OpenTypeKey);
    }
    HRESULT STDMETHODCALLTYPE OpenConfigKey(UINT, DWORD, PHKEY phk) override {
        if (phk != nullptr) {
            *phk = nullptr;
        }
        return Unsupported(SimCall::OpenConfigKey);
    }

private:
    static constexpr DWORD kConfigFlags = DIJC_GUIDINSTANCE | DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT;
    static constexpr DWORD kUserFlags = DIJU_USERVALUES | DIJU_GLOBALDRIVER | DIJU_GAMEPORTEMULATOR;

    ~CSimJoyConfigObject() override {
        if (Acquired()) {
            m_sim.configOwner = nullptr;
        }
        m_parent->Release();
    }

    // DirectInput 5's record, or the later one that appends guidGameport.
    static bool ValidConfigSize(DWORD size) { return size == sizeof(DIJOYCONFIG) || size == sizeof(DIJOYCONFIG) + sizeof(GUID); }

    bool Acquired() const { return m_sim.configOwner == static_cast<const void*>(this); }

    HRESULT Unsupported(SimCall call) {
        HRESULT hr;
        return Fails(call, &hr) ? hr : DIERR_UNSUPPORTED;
    }

    IDirectInputA* m_parent;
    HWND m_hwnd = nullptr;
    DWORD m_level = 0;
};

// ---------------------------------------------------------------------------------------------------
// A joystick device

class CSimDevice final : public CSimObject<IDirectInputDevice2A, SimObject::Device> {
public:
    CSimDevice(Impl& sim, IDirectInputA* parent, UINT number) : CSimObject(sim), m_parent(parent), m_number(number) {
        m_parent->AddRef();
        m_rangeMin.fill(0);
        m_rangeMax.fill(65535);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        HRESULT hr;
        if (RefuseQuery(SimCall::DeviceQueryInterface, ppv, &hr)) {
            return hr;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputDeviceA) ||
            IsEqualGUID(riid, IID_IDirectInputDevice2A)) {
            AddRef();
            *ppv = static_cast<IDirectInputDevice2A*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override {
        HRESULT hr;
        if (Fails(SimCall::GetCapabilities, &hr)) {
            return hr;
        }
        if (caps == nullptr) {
            return E_POINTER;
        }
        if (caps->dwSize != sizeof(DIDEVCAPS)) {
            return DIERR_INVALIDPARAM;
        }
        const Impl::Device& device = m_sim.devices[m_number];
        caps->dwFlags = m_sim.Attached(m_number) ? 0x00000001 /* DIDC_ATTACHED */ : 0;
        caps->dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        caps->dwAxes = static_cast<DWORD>(device.axes);
        caps->dwButtons = device.buttons;
        caps->dwPOVs = 0;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override {
        return Unsupported(SimCall::EnumObjects);
    }

    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID rguidProp, LPDIPROPHEADER pdiph) override {
        HRESULT hr;
        if (Fails(SimCall::GetProperty, &hr)) {
            return hr;
        }
        int first = 0;
        int last = 0;
        if (pdiph == nullptr) {
            return E_POINTER;
        }
        if (SameProperty(rguidProp, DIPROP_RANGE)) {
            if (pdiph->dwSize != sizeof(DIPROPRANGE) || !Target(*pdiph, &first, &last) || pdiph->dwHow == DIPH_DEVICE) {
                return DIERR_INVALIDPARAM;
            }
            auto* range = reinterpret_cast<LPDIPROPRANGE>(pdiph);
            range->lMin = m_rangeMin[first];
            range->lMax = m_rangeMax[first];
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATIONMODE)) {
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !Target(*pdiph, &first, &last)) {
                return DIERR_INVALIDPARAM;
            }
            reinterpret_cast<LPDIPROPDWORD>(pdiph)->dwData =
                m_raw ? DIPROPCALIBRATIONMODE_RAW : DIPROPCALIBRATIONMODE_COOKED;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) override {
        HRESULT hr;
        if (Fails(SimCall::SetProperty, &hr)) {
            return hr;
        }
        if (pdiph == nullptr) {
            return E_POINTER;
        }
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        int first = 0;
        int last = 0;
        if (SameProperty(rguidProp, DIPROP_RANGE)) {
            if (pdiph->dwSize != sizeof(DIPROPRANGE) || !Target(*pdiph, &first, &last)) {
                return DIERR_INVALIDPARAM;
            }
            const auto* range = reinterpret_cast<LPCDIPROPRANGE>(pdiph);
            if (range->lMin >= range->lMax) {
                return DIERR_INVALIDPARAM;
            }
            for (int axis = first; axis <= last; ++axis) {
                m_rangeMin[axis] = range->lMin;
                m_rangeMax[axis] = range->lMax;
            }
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATIONMODE)) {
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !Target(*pdiph, &first, &last) || pdiph->dwHow != DIPH_DEVICE) {
                return DIERR_INVALIDPARAM;
            }
            const DWORD mode = reinterpret_cast<LPCDIPROPDWORD>(pdiph)->dwData;
            if (mode != DIPROPCALIBRATIONMODE_RAW && mode != DIPROPCALIBRATIONMODE_COOKED) {
                return DIERR_INVALIDPARAM;
            }
            m_raw = mode == DIPROPCALIBRATIONMODE_RAW;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE Acquire() override {
        HRESULT hr;
        if (Fails(SimCall::DeviceAcquire, &hr)) {
            return hr;
        }
        if (!m_formatSet) {
            return DIERR_INVALIDPARAM;
        }
        if (m_acquired) {
            return DI_NOEFFECT;
        }
        if (!m_sim.Attached(m_number)) {
            return DIERR_UNPLUGGED;
        }
        if (Exclusive() && m_sim.exclusiveAcquired[m_number] > 0) {
            return DIERR_OTHERAPPHASPRIO;
        }
        m_acquired = true;
        if (Exclusive()) {
            ++m_sim.exclusiveAcquired[m_number];
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        HRESULT hr;
        if (Fails(SimCall::DeviceUnacquire, &hr)) {
            return hr;
        }
        if (!m_acquired) {
            return DI_NOEFFECT;
        }
        Drop();
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) override {
        HRESULT hr;
        if (Fails(SimCall::GetDeviceState, &hr)) {
            return hr;
        }
        if (lpvData == nullptr) {
            return E_POINTER;
        }
        if (!m_formatSet || cbData != sizeof(DIJOYSTATE)) {
            return DIERR_INVALIDPARAM;
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        if (!m_sim.Attached(m_number)) {
            Drop();
            return DIERR_INPUTLOST;
        }
        DIJOYSTATE state;
        std::memset(&state, 0, sizeof(state));
        LONG* axes[CSimPlatform::kAxes] = {&state.lX, &state.lY, &state.lZ, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        const int present = m_sim.devices[m_number].axes;
        for (int axis = 0; axis < present; ++axis) {
            const LONG raw = m_sim.Raw(m_number, axis);
            *axes[axis] = m_raw ? raw : m_sim.Cook(m_number, axis, raw, m_rangeMin[axis], m_rangeMax[axis]);
        }
        for (DWORD& pov : state.rgdwPOV) {
            pov = 0xFFFFFFFF;  // centred / absent
        }
        std::memcpy(lpvData, &state, sizeof(state));
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return Unsupported(SimCall::GetDeviceData);
    }

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT lpdf) override {
        HRESULT hr;
        if (Fails(SimCall::SetDataFormat, &hr)) {
            return hr;
        }
        if (lpdf == nullptr) {
            return E_POINTER;
        }
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        // Only the standard joystick layout is offered.
        if (lpdf->dwSize != sizeof(DIDATAFORMAT) || lpdf->dwDataSize != sizeof(DIJOYSTATE) ||
            (lpdf->dwFlags & DIDF_ABSAXIS) == 0) {
            return DIERR_INVALIDPARAM;
        }
        m_formatSet = true;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return Unsupported(SimCall::SetEventNotification); }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override {
        HRESULT hr;
        if (Fails(SimCall::DeviceSetCooperativeLevel, &hr)) {
            return hr;
        }
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        const DWORD sharing = dwFlags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = dwFlags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((dwFlags & ~(sharing | focus)) != 0 || (sharing != DISCL_EXCLUSIVE && sharing != DISCL_NONEXCLUSIVE) ||
            (focus != DISCL_FOREGROUND && focus != DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        // Microsoft's IDirectInputDevice8::SetCooperativeLevel: E_HANDLE unless hwnd is a valid top-level
        // window; Wine's dinput tests show Windows accepting no window only for background, non-exclusive use.
        const bool windowless = hwnd == nullptr && dwFlags == (DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
        if (!windowless && !m_sim.IsWindow(hwnd)) {
            return E_HANDLE;
        }
        m_hwnd = hwnd;
        m_level = dwFlags;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
        return Unsupported(SimCall::GetObjectInfo);
    }

    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA pdidi) override {
        HRESULT hr;
        if (Fails(SimCall::GetDeviceInfo, &hr)) {
            return hr;
        }
        if (pdidi == nullptr) {
            return E_POINTER;
        }
        if (pdidi->dwSize != sizeof(DIDEVICEINSTANCEA)) {
            return DIERR_INVALIDPARAM;
        }
        const DWORD size = pdidi->dwSize;
        std::memset(pdidi, 0, sizeof(*pdidi));
        pdidi->dwSize = size;
        pdidi->guidInstance = m_sim.store[m_number].guidInstance;
        pdidi->guidProduct = GUID_Joystick;
        pdidi->dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        std::snprintf(pdidi->tszInstanceName, sizeof(pdidi->tszInstanceName), "Joystick %u", m_number + 1);
        std::snprintf(pdidi->tszProductName, sizeof(pdidi->tszProductName), "%s", m_sim.devices[m_number].name.c_str());
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return Unsupported(SimCall::DeviceRunControlPanel); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override {
        HRESULT hr;
        return Fails(SimCall::DeviceInitialize, &hr) ? hr : DIERR_ALREADYINITIALIZED;
    }
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* ppdeff, LPUNKNOWN) override {
        if (ppdeff != nullptr) {
            *ppdeff = nullptr;
        }
        return Unsupported(SimCall::CreateEffect);
    }
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override {
        HRESULT hr;
        return Fails(SimCall::EnumEffects, &hr) ? hr : DI_OK;  // no effects to list
    }
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override { return Unsupported(SimCall::GetEffectInfo); }
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override {
        return Unsupported(SimCall::GetForceFeedbackState);
    }
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override {
        return Unsupported(SimCall::SendForceFeedbackCommand);
    }
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
        HRESULT hr;
        return Fails(SimCall::EnumCreatedEffectObjects, &hr) ? hr : DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return Unsupported(SimCall::Escape); }

    HRESULT STDMETHODCALLTYPE Poll() override {
        HRESULT hr;
        if (Fails(SimCall::Poll, &hr)) {
            return hr;
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        if (!m_sim.Attached(m_number)) {
            Drop();
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
        return Unsupported(SimCall::SendDeviceData);
    }

private:
    ~CSimDevice() override {
        Drop();
        m_parent->Release();
    }

    bool Exclusive() const { return (m_level & DISCL_EXCLUSIVE) != 0; }

    void Drop() {
        if (m_acquired && Exclusive() && m_sim.exclusiveAcquired[m_number] > 0) {
            --m_sim.exclusiveAcquired[m_number];
        }
        m_acquired = false;
    }

    // The axes a property header addresses: the whole device, or one axis by its offset.
    static bool Target(const DIPROPHEADER& header, int* first, int* last) {
        if (header.dwHeaderSize != sizeof(DIPROPHEADER)) {
            return false;
        }
        if (header.dwHow == DIPH_DEVICE) {
            *first = 0;
            *last = CSimPlatform::kAxes - 1;
            return header.dwObj == 0;
        }
        if (header.dwHow == DIPH_BYOFFSET) {
            for (int axis = 0; axis < CSimPlatform::kAxes; ++axis) {
                if (kAxisOffsets[axis] == header.dwObj) {
                    *first = *last = axis;
                    return true;
                }
            }
        }
        return false;
    }

    HRESULT Unsupported(SimCall call) {
        HRESULT hr;
        return Fails(call, &hr) ? hr : DIERR_UNSUPPORTED;
    }

    IDirectInputA* m_parent;
    UINT m_number;
    HWND m_hwnd = nullptr;
    DWORD m_level = 0;
    bool m_formatSet = false;
    bool m_acquired = false;
    bool m_raw = false;
    std::array<LONG, CSimPlatform::kAxes> m_rangeMin{};
    std::array<LONG, CSimPlatform::kAxes> m_rangeMax{};
};

// ---------------------------------------------------------------------------------------------------
// The DirectInput object

class CSimDirectInput final : public CSimObject<IDirectInputA, SimObject::DirectInput> {
public:
    using CSimObject::CSimObject;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        HRESULT hr;
        if (RefuseQuery(SimCall::DIQueryInterface, ppv, &hr)) {
            return hr;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputA)) {
            AddRef();
            *ppv = static_cast<IDirectInputA*>(this);
            return S_OK;
        }
        if (IsEqualGUID(riid, IID_IDirectInputJoyConfig)) {
            *ppv = static_cast<IDirectInputJoyConfig*>(new CSimJoyConfigObject(m_sim, this));
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICEA* lplpDirectInputDevice,
                                           LPUNKNOWN pUnkOuter) override {
        HRESULT hr;
        if (lplpDirectInputDevice == nullptr) {
            return E_POINTER;
        }
        *lplpDirectInputDevice = nullptr;
        if (Fails(SimCall::CreateDevice, &hr)) {
            return hr;
        }
        if (pUnkOuter != nullptr) {
            return DIERR_NOAGGREGATION;
        }
        const int number = m_sim.FindByInstance(rguid);
        if (number < 0) {
            return DIERR_DEVICENOTREG;
        }
        *lplpDirectInputDevice = new CSimDevice(m_sim, this, static_cast<UINT>(number));
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD dwDevType, LPDIENUMDEVICESCALLBACKA lpCallback, LPVOID pvRef,
                                          DWORD) override {
        HRESULT hr;
        if (Fails(SimCall::EnumDevices, &hr)) {
            return hr;
        }
        if (lpCallback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (dwDevType != 0 && (dwDevType & 0xFF) != DIDEVTYPE_JOYSTICK) {
            return DI_OK;
        }
        for (UINT number = 0; number < CSimPlatform::kJoysticks; ++number) {
            if (!m_sim.Attached(number)) {
                continue;
            }
            DIDEVICEINSTANCEA instance;
            std::memset(&instance, 0, sizeof(instance));
            instance.dwSize = sizeof(instance);
            instance.guidInstance = m_sim.store[number].guidInstance;
            instance.guidProduct = GUID_Joystick;
            instance.dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
            std::snprintf(instance.tszInstanceName, sizeof(instance.tszInstanceName), "Joystick %u", number + 1);
            std::snprintf(instance.tszProductName, sizeof(instance.tszProductName), "%s", m_sim.devices[number].name.c_str());
            if (!lpCallback(&instance, pvRef)) {
                break;
            }
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguidInstance) override {
        HRESULT hr;
        if (Fails(SimCall::GetDeviceStatus, &hr)) {
            return hr;
        }
        return m_sim.FindByInstance(rguidInstance) >= 0 ? DI_OK : DI_NOTATTACHED;
    }

    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override {
        HRESULT hr;
        return Fails(SimCall::DIRunControlPanel, &hr) ? hr : DIERR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override {
        HRESULT hr;
        return Fails(SimCall::DIInitialize, &hr) ? hr : DI_OK;
    }

private:
    ~CSimDirectInput() override = default;
};

}  // namespace

IDirectInputA* NewSimDirectInput(CSimPlatform::Impl& sim) { return new CSimDirectInput(sim); }
