// The simulated DirectInput 5: reference counting, the acquisition rules of the configuration store and
// the device, and the answers for numbers without a controller.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/sim_platform.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x1234);
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);

class SimDirectInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sim.DirectInputCreateA(kInstance, 0x0500, &directInput, nullptr), DI_OK);
        ASSERT_EQ(directInput->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void**>(&joyConfig)), S_OK);
    }
    void TearDown() override {
        if (joyConfig != nullptr) joyConfig->Release();
        if (directInput != nullptr) directInput->Release();
        EXPECT_EQ(sim.LiveInterfaces(), 0);
    }

    DIJOYCONFIG Load(UINT id, HRESULT* result) {
        DIJOYCONFIG config{};
        config.dwSize = sizeof(config);
        *result = joyConfig->GetConfig(id, &config, DIJC_GUIDINSTANCE | DIJC_REGHWCONFIGTYPE | DIJC_GAIN | DIJC_CALLOUT);
        return config;
    }

    IDirectInputDevice2A* CreateDevice(UINT id) {
        HRESULT result = S_OK;
        const DIJOYCONFIG config = Load(id, &result);
        IDirectInputDeviceA* device = nullptr;
        if (FAILED(directInput->CreateDevice(config.guidInstance, &device, nullptr))) {
            return nullptr;
        }
        IDirectInputDevice2A* device2 = nullptr;
        EXPECT_EQ(device->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&device2)), S_OK);
        device->Release();
        return device2;
    }

    CSimPlatform sim;
    IDirectInputA* directInput = nullptr;
    IDirectInputJoyConfig* joyConfig = nullptr;
};

TEST_F(SimDirectInput, ObjectsLiveUntilTheirLastReleaseAndKeepTheirParentAlive) {
    EXPECT_EQ(sim.LiveInterfaces(SimObject::DirectInput), 1);
    EXPECT_EQ(sim.LiveInterfaces(SimObject::JoyConfig), 1);
    IDirectInputDevice2A* device = CreateDevice(0);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(sim.LiveInterfaces(), 3);

    directInput->Release();  // released first, as CDIJoystick::Close does
    directInput = nullptr;
    EXPECT_EQ(sim.LiveInterfaces(SimObject::DirectInput), 1) << "still referenced by its children";
    EXPECT_EQ(device->Release(), 0u);
    joyConfig->Release();
    joyConfig = nullptr;
    EXPECT_EQ(sim.LiveInterfaces(), 0);

    void* unknown = reinterpret_cast<void*>(0x1);
    ASSERT_EQ(sim.DirectInputCreateA(kInstance, 0x0500, &directInput, nullptr), DI_OK);
    EXPECT_EQ(directInput->QueryInterface(IID_IDirectInputDevice2A, &unknown), E_NOINTERFACE);
    EXPECT_EQ(unknown, nullptr);
}

TEST_F(SimDirectInput, ConfigurationWritesNeedTheExclusiveStoreAcquired) {
    HRESULT result = S_OK;
    DIJOYCONFIG config = Load(0, &result);
    ASSERT_EQ(result, DI_OK);
    DIJOYUSERVALUES values{};
    values.dwSize = sizeof(values);
    ASSERT_EQ(joyConfig->GetUserValues(&values, DIJU_USERVALUES), DI_OK);

    EXPECT_EQ(joyConfig->SetConfig(0, &config, DIJC_REGHWCONFIGTYPE), DIERR_NOTACQUIRED);
    EXPECT_EQ(joyConfig->SetUserValues(&values, DIJU_USERVALUES), DIERR_NOTACQUIRED);
    EXPECT_EQ(joyConfig->SendNotify(), DIERR_NOTACQUIRED);
    EXPECT_EQ(joyConfig->Acquire(), DIERR_INVALIDPARAM) << "no exclusive cooperative level yet";
    EXPECT_EQ(joyConfig->SetCooperativeLevel(kOwner, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_INVALIDPARAM);
    ASSERT_EQ(joyConfig->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(joyConfig->Acquire(), DI_OK);

    IDirectInputJoyConfig* second = nullptr;
    ASSERT_EQ(directInput->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void**>(&second)), S_OK);
    second->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO) << "one writer at a time";

    config.hwc.hwv.dwCalFlags = JOY_ISCAL_U;
    EXPECT_EQ(joyConfig->SetConfig(0, &config, DIJC_REGHWCONFIGTYPE), DI_OK);
    EXPECT_EQ(joyConfig->SendNotify(), DI_OK);
    EXPECT_EQ(joyConfig->Unacquire(), DI_OK);
    EXPECT_EQ(joyConfig->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(sim.StoredConfig(0).hwc.hwv.dwCalFlags, static_cast<DWORD>(JOY_ISCAL_U));
    EXPECT_EQ(sim.ConfigWrites(), 1);
    EXPECT_EQ(second->Acquire(), DI_OK) << "free again after Unacquire";
    second->Release();  // releasing an acquired interface gives the store back
    EXPECT_FALSE(sim.ConfigAcquired());

    config.dwSize = 1000;
    EXPECT_EQ(joyConfig->GetConfig(0, &config, DIJC_REGHWCONFIGTYPE), DIERR_INVALIDPARAM) << "wrong record size";
}

TEST_F(SimDirectInput, AnEmptyNumberLoadsAnEmptyConfigurationThatNamesNoDevice) {
    HRESULT result = S_OK;
    const DIJOYCONFIG config = Load(2, &result);
    EXPECT_EQ(result, S_FALSE);
    EXPECT_EQ(config.hwc.dwType, static_cast<DWORD>(JOY_HW_NONE));
    IDirectInputDeviceA* device = reinterpret_cast<IDirectInputDeviceA*>(0x1);
    EXPECT_EQ(directInput->CreateDevice(config.guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    Load(16, &result);
    EXPECT_EQ(result, DIERR_NOMOREITEMS);
}

TEST_F(SimDirectInput, DevicesReadOnlyWhileAcquiredAndLoseTheirInputWhenUninstalled) {
    IDirectInputDevice2A* device = CreateDevice(1);
    ASSERT_NE(device, nullptr);
    DIJOYSTATE state{};
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
    ASSERT_EQ(device->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(kOwner, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);

    IDirectInputDevice2A* other = CreateDevice(1);
    other->SetDataFormat(&c_dfDIJoystick);
    other->SetCooperativeLevel(kOwner, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    EXPECT_EQ(other->Acquire(), DIERR_OTHERAPPHASPRIO);
    other->Release();

    EXPECT_EQ(device->Poll(), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(device->GetDeviceState(10, &state), DIERR_INVALIDPARAM);

    ASSERT_EQ(sim.RegDeleteKeyA(HKEY_LOCAL_MACHINE, CSimPlatform::SettingsKeyPath().c_str()), ERROR_SUCCESS);
    EXPECT_EQ(device->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(device->Acquire(), DIERR_UNPLUGGED);
    device->Release();
}

}  // namespace
