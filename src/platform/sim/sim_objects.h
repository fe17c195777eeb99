// Inside the simulated DirectInput 5: the base its three kinds of objects share, and the factories
// by which one creates another (the DirectInput object its devices and configuration interfaces).
#pragma once

#include "platform/sim/sim_internal.h"

// Reference counting and the live count shared by the three kinds of objects.
template <typename Interface, SimObject Kind>
class CSimObject : public Interface {
public:
    explicit CSimObject(CSimPlatform::Impl& sim) : m_sim(sim) { ++m_sim.live[static_cast<size_t>(Kind)]; }

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

    CSimPlatform::Impl& m_sim;
    ULONG m_refs = 1;
};

// Creates a joystick configuration interface that holds a reference to `parent` (reference count 1).
IDirectInputJoyConfig* NewSimJoyConfig(CSimPlatform::Impl& sim, IDirectInputA* parent);
// DirectInput 8's configuration interface: the same store behind DirectInput 8's method table.
IDirectInputJoyConfig8* NewSimJoyConfig8(CSimPlatform::Impl& sim, IDirectInputA* parent);
// Creates the device of joystick `number`, holding a reference to `parent` (reference count 1); `version`
// is that of the DirectInput object it comes from.
IDirectInputDevice2A* NewSimDevice(CSimPlatform::Impl& sim, IDirectInputA* parent, UINT number, DWORD version);
