// The simulated DirectInput 5's joystick device: data format, cooperative level, acquisition,
// range and calibration-mode properties, and the state read from the virtual controller: at every poll on
// the gameport machine, from the input reports that arrive while it is acquired on the HID one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "joystick/joystick_records.h"
#include "platform/sim/sim_objects.h"

namespace {

using Impl = CSimPlatform::Impl;

bool SameProperty(REFGUID a, REFGUID b) { return &a == &b; }  // predefined properties are compared by address

class CSimDevice final : public CSimObject<IDirectInputDevice2A, SimObject::Device> {
public:
    CSimDevice(Impl& sim, IDirectInputA* parent, UINT number, DWORD version)
        : CSimObject(sim), m_parent(parent), m_number(number), m_version(version) {
        m_parent->AddRef();
        m_rangeMin.fill(0);
        m_rangeMax.fill(65535);
        // A fresh device: dead zone 0 and saturation 10000 on every axis, at versions 0x0500, 0x0700 and
        // 0x0800 (Wine's joystick8.c, test_simple_joystick(), which passes on Windows).
        m_deadZone.fill(0);
        m_saturation.fill(10000);
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
            if (pdiph->dwSize != sizeof(DIPROPRANGE) || !PropertyAxes(*pdiph, &first, &last) || pdiph->dwHow == DIPH_DEVICE) {
                return DIERR_INVALIDPARAM;
            }
            auto* range = reinterpret_cast<LPDIPROPRANGE>(pdiph);
            range->lMin = m_rangeMin[first];
            range->lMax = m_rangeMax[first];
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATIONMODE)) {
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !PropertyAxes(*pdiph, &first, &last)) {
                return DIERR_INVALIDPARAM;
            }
            reinterpret_cast<LPDIPROPDWORD>(pdiph)->dwData =
                m_raw ? DIPROPCALIBRATIONMODE_RAW : DIPROPCALIBRATIONMODE_COOKED;
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_DEADZONE) || SameProperty(rguidProp, DIPROP_SATURATION)) {
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !PropertyAxes(*pdiph, &first, &last) || pdiph->dwHow == DIPH_DEVICE) {
                return DIERR_INVALIDPARAM;
            }
            reinterpret_cast<LPDIPROPDWORD>(pdiph)->dwData =
                SameProperty(rguidProp, DIPROP_DEADZONE) ? m_deadZone[first] : m_saturation[first];
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATION) && m_sim.Modern()) {
            int axis = 0;
            if (FAILED(hr = CalibrationAxis(*pdiph, &axis))) return hr;
            // What the axis is read through.
            auto* cal = reinterpret_cast<LPDIPROPCAL>(pdiph);
            LONG values[3] = {};
            m_sim.AppliedCalibration(m_number, axis, values);
            cal->lMin = values[0];
            cal->lCenter = values[1];
            cal->lMax = values[2];
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
            if (pdiph->dwSize != sizeof(DIPROPRANGE) || !PropertyAxes(*pdiph, &first, &last)) {
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
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !PropertyAxes(*pdiph, &first, &last) || pdiph->dwHow != DIPH_DEVICE) {
                return DIERR_INVALIDPARAM;
            }
            const DWORD mode = reinterpret_cast<LPCDIPROPDWORD>(pdiph)->dwData;
            if (mode != DIPROPCALIBRATIONMODE_RAW && mode != DIPROPCALIBRATIONMODE_COOKED) {
                return DIERR_INVALIDPARAM;
            }
            m_raw = mode == DIPROPCALIBRATIONMODE_RAW;
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_DEADZONE) || SameProperty(rguidProp, DIPROP_SATURATION)) {
            if (pdiph->dwSize != sizeof(DIPROPDWORD) || !PropertyAxes(*pdiph, &first, &last) ||
                reinterpret_cast<LPCDIPROPDWORD>(pdiph)->dwData > 10000) {
                return DIERR_INVALIDPARAM;
            }
            const DWORD value = reinterpret_cast<LPCDIPROPDWORD>(pdiph)->dwData;
            auto& values = SameProperty(rguidProp, DIPROP_DEADZONE) ? m_deadZone : m_saturation;
            for (int axis = first; axis <= last; ++axis) {
                values[axis] = value;
            }
            return DI_OK;
        }
        if (SameProperty(rguidProp, DIPROP_CALIBRATION) && m_sim.Modern()) {
            int axis = 0;
            if (FAILED(hr = CalibrationAxis(*pdiph, &axis))) return hr;
            // The SetProperty page: the property persists, for control-panel programs; every reader sees it.
            const auto* cal = reinterpret_cast<LPCDIPROPCAL>(pdiph);
            const LONG values[3] = {cal->lMin, cal->lCenter, cal->lMax};
            m_sim.SetAxisCalibration(m_number, axis, values);
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
        m_acquiredAt = m_sim.clock();
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
        uint64_t report = 0;
        const bool reported = LastReport(&report);
        for (int axis = 0; axis < present; ++axis) {
            if (!reported) {
                // Wine's joystick8.c (passes on Windows): before the first report the state is the default,
                // each axis at the middle of its range.
                *axes[axis] = static_cast<LONG>((static_cast<int64_t>(m_rangeMin[axis]) + m_rangeMax[axis]) / 2);
                continue;
            }
            const LONG raw = m_sim.RawAt(m_number, axis, report);
            // A modern DirectInput applies no stored dead zone, only the device's own (the same test).
            *axes[axis] = m_raw && ReadsRaw() ? raw
                                              : m_sim.Cook(m_number, axis, raw, m_rangeMin[axis], m_rangeMax[axis],
                                                           !m_sim.Modern(), m_deadZone[axis]);
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

    // The axes only: each one's offset in the joystick format and its id (type and instance).
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA pdidoi, DWORD dwObj, DWORD dwHow) override {
        HRESULT hr;
        int axis = 0;
        if (Fails(SimCall::GetObjectInfo, &hr)) {
            return hr;
        }
        if (pdidoi == nullptr || pdidoi->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA)) {
            return pdidoi == nullptr ? E_POINTER : DIERR_INVALIDPARAM;
        }
        if (FAILED(hr = ObjectAxis({0, sizeof(DIPROPHEADER), dwObj, dwHow}, &axis))) {
            return hr;
        }
        const DWORD size = pdidoi->dwSize;
        std::memset(pdidoi, 0, sizeof(*pdidoi));
        pdidoi->dwSize = size;
        pdidoi->dwOfs = kStateAxisOffsets[axis];
        pdidoi->dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(axis);
        return DI_OK;
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
        // Microsoft's IDirectInputDevice8::Poll: DI_NOEFFECT for a device that needs no polling, as a HID
        // device does (Wine's joystick8.c: polling it reads nothing new).
        return Hid() ? DI_NOEFFECT : DI_OK;
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

    // The modern machine's controllers are HID devices; the gameport machine's are polled.
    bool Hid() const { return m_sim.devices[m_number].reportMs != 0; }

    // A HID device's state reaches DirectInput only in the input reports that arrive while it is acquired
    // (Wine's joystick8.c, which runs on Windows too: the first read after Acquire is the default state,
    // and "Acquire is asynchronous", so a report sent at the moment of Acquire is missed). Reports come at
    // the device's own interval. A polled device reads its position at every read.
    bool LastReport(uint64_t* at) const {
        const uint64_t now = m_sim.clock();
        if (!Hid()) {
            *at = now;
            return true;
        }
        const uint64_t interval = m_sim.devices[m_number].reportMs;
        const uint64_t last = now / interval * interval;
        *at = last;
        return last > m_acquiredAt;
    }

    // Wine's joystick8.c, test_simple_joystick(), passes on Windows: with DIPROPCALIBRATIONMODE_RAW a
    // device of version below 0x0700 still reads calibrated values; the gameport machine's reads raw.
    bool ReadsRaw() const { return !m_sim.Modern() || m_version >= 0x0700; }

    void Drop() {
        if (m_acquired && Exclusive() && m_sim.exclusiveAcquired[m_number] > 0) {
            --m_sim.exclusiveAcquired[m_number];
        }
        m_acquired = false;
    }

    // The one axis a header names, by offset or by id (DIDFT_ABSAXIS and the axis's instance, counted in
    // the order the device reports its axes). The whole device is refused with DIERR_INVALIDPARAM, as
    // DIPROP_CALIBRATION's is (Wine's dinput tests, which pass on Windows).
    HRESULT ObjectAxis(const DIPROPHEADER& header, int* axis) const {
        int first = 0;
        int last = 0;
        if (header.dwHeaderSize != sizeof(DIPROPHEADER) || header.dwHow == DIPH_DEVICE) {
            return DIERR_INVALIDPARAM;
        }
        if (header.dwHow == DIPH_BYID) {
            if ((header.dwObj & DIDFT_ABSAXIS) == 0) {
                return DIERR_OBJECTNOTFOUND;
            }
            first = DIDFT_GETINSTANCE(header.dwObj);
        } else if (!PropertyAxes(header, &first, &last)) {
            return header.dwHow == DIPH_BYOFFSET ? DIERR_OBJECTNOTFOUND : DIERR_INVALIDPARAM;
        }
        if (first >= m_sim.devices[m_number].axes) {
            return DIERR_OBJECTNOTFOUND;
        }
        *axis = first;
        return DI_OK;
    }

    // The axis a DIPROP_CALIBRATION header names: a DIPROPCAL for one axis.
    HRESULT CalibrationAxis(const DIPROPHEADER& header, int* axis) const {
        return header.dwSize == sizeof(DIPROPCAL) ? ObjectAxis(header, axis) : DIERR_INVALIDPARAM;
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
    uint64_t m_acquiredAt = 0;
    bool m_raw = false;
    DWORD m_version;
    std::array<LONG, CSimPlatform::kAxes> m_rangeMin{};
    std::array<LONG, CSimPlatform::kAxes> m_rangeMax{};
    std::array<DWORD, CSimPlatform::kAxes> m_deadZone{};
    std::array<DWORD, CSimPlatform::kAxes> m_saturation{};
};

}  // namespace

IDirectInputDevice2A* NewSimDevice(CSimPlatform::Impl& sim, IDirectInputA* parent, UINT number, DWORD version) {
    return new CSimDevice(sim, parent, number, version);
}
