// The simulated DirectInput 5 object: devices for the attached joysticks and the joystick
// configuration interface. Its objects are reference-counted and counted while alive.
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_objects.h"

namespace {

// One class for every version; a DirectInput 8 object (DirectInput8Create) is used only through
// IUnknown, for its configuration interface.
class CSimDirectInput final : public CSimObject<IDirectInputA, SimObject::DirectInput> {
public:
    CSimDirectInput(CSimPlatform::Impl& sim, DWORD version) : CSimObject(sim), m_version(version) {}

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
            // Wine refuses it (dinput.c); whether Windows 10/11 does is not known, so the modern machine
            // takes the stricter answer and the joystick object's DirectInput 8 route is the one it exercises.
            if (m_sim.Modern()) {
                return E_NOINTERFACE;
            }
            *ppv = NewSimJoyConfig(m_sim, this);
            return S_OK;
        }
        if (IsEqualGUID(riid, IID_IDirectInputJoyConfig8)) {
            // Wine's dinput tests, test_QueryInterface(), pass on Windows: E_NOINTERFACE for every version
            // below 0x0800, S_OK for a DirectInput8Create object.
            if (m_version < 0x0800) {
                return E_NOINTERFACE;
            }
            *ppv = NewSimJoyConfig8(m_sim, this);
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
        *lplpDirectInputDevice = NewSimDevice(m_sim, this, static_cast<UINT>(number), m_version);
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
            m_sim.RefreshIdentity(number);
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

    DWORD m_version;
};

}  // namespace

IDirectInputA* NewSimDirectInput(CSimPlatform::Impl& sim, DWORD version) { return new CSimDirectInput(sim, version); }
