// The simulated DirectInput 5's joystick configuration interface: the configuration store and the
// global user values, written only while acquired exclusively.
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_objects.h"

namespace {

using Impl = CSimPlatform::Impl;

// mingw-w64 declares EnumTypes' callback parameter as a plain pointer.
#if defined(__MINGW32__)
using EnumTypesCallback = LPVOID;
#else
using EnumTypesCallback = LPDIJOYTYPECALLBACK;
#endif

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
        m_sim.RefreshIdentity(uiJoy);
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

}  // namespace

IDirectInputJoyConfig* NewSimJoyConfig(CSimPlatform::Impl& sim, IDirectInputA* parent) {
    return new CSimJoyConfigObject(sim, parent);
}

namespace {

// DirectInput 8's method table over DirectInput 5's configuration object: every call goes to it.
class CSimJoyConfig8 final : public IDirectInputJoyConfig8 {
public:
    CSimJoyConfig8(CSimPlatform::Impl& sim, IDirectInputJoyConfig* inner) : m_sim(sim), m_inner(inner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        int32_t injected = 0;
        if (m_sim.Inject(SimCall::JoyConfigQueryInterface, &injected)) {
            return injected;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputJoyConfig8)) {
            AddRef();
            *ppv = static_cast<IDirectInputJoyConfig8*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0) {
            m_inner->Release();
            delete this;
        }
        return refs;
    }
    HRESULT STDMETHODCALLTYPE Acquire() override { return m_inner->Acquire(); }
    HRESULT STDMETHODCALLTYPE Unacquire() override { return m_inner->Unacquire(); }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        return m_inner->SetCooperativeLevel(hwnd, flags);
    }
    HRESULT STDMETHODCALLTYPE SendNotify() override { return m_inner->SendNotify(); }
    HRESULT STDMETHODCALLTYPE EnumTypes(EnumTypesCallback fn, LPVOID ref) override { return m_inner->EnumTypes(fn, ref); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(LPCWSTR type, LPDIJOYTYPEINFO info, DWORD flags) override {
        return m_inner->GetTypeInfo(type, info, flags);
    }
    HRESULT STDMETHODCALLTYPE SetTypeInfo(LPCWSTR type, LPCDIJOYTYPEINFO info, DWORD flags, LPWSTR) override {
        return m_inner->SetTypeInfo(type, info, flags);
    }
    HRESULT STDMETHODCALLTYPE DeleteType(LPCWSTR type) override { return m_inner->DeleteType(type); }
    HRESULT STDMETHODCALLTYPE GetConfig(UINT joy, LPDIJOYCONFIG config, DWORD flags) override {
        return m_inner->GetConfig(joy, config, flags);
    }
    HRESULT STDMETHODCALLTYPE SetConfig(UINT joy, LPCDIJOYCONFIG config, DWORD flags) override {
        return m_inner->SetConfig(joy, config, flags);
    }
    HRESULT STDMETHODCALLTYPE DeleteConfig(UINT joy) override { return m_inner->DeleteConfig(joy); }
    HRESULT STDMETHODCALLTYPE GetUserValues(LPDIJOYUSERVALUES values, DWORD flags) override {
        return m_inner->GetUserValues(values, flags);
    }
    HRESULT STDMETHODCALLTYPE SetUserValues(LPCDIJOYUSERVALUES values, DWORD flags) override {
        return m_inner->SetUserValues(values, flags);
    }
    HRESULT STDMETHODCALLTYPE AddNewHardware(HWND owner, REFGUID rguid) override {
        return m_inner->AddNewHardware(owner, rguid);
    }
    HRESULT STDMETHODCALLTYPE OpenTypeKey(LPCWSTR type, DWORD regsam, PHKEY phk) override {
        return m_inner->OpenTypeKey(type, regsam, phk);
    }
    HRESULT STDMETHODCALLTYPE OpenAppStatusKey(PHKEY phk) override {
        if (phk != nullptr) {
            *phk = nullptr;
        }
        return DIERR_UNSUPPORTED;
    }

private:
    virtual ~CSimJoyConfig8() = default;

    CSimPlatform::Impl& m_sim;
    IDirectInputJoyConfig* m_inner;
    ULONG m_refs = 1;
};

}  // namespace

IDirectInputJoyConfig8* NewSimJoyConfig8(CSimPlatform::Impl& sim, IDirectInputA* parent) {
    return new CSimJoyConfig8(sim, NewSimJoyConfig(sim, parent));
}
