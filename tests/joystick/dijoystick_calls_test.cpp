// CDIJoystick against recording fakes: the exact calls, arguments and order of Open, Close, ReadState and
// the saves, and what the object does when it holds no configuration interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "joystick/dijoystick.h"
#include "joystick/joystick_services.h"
#include "di_mocks.h"

using namespace testing;

// The codes ReadState and LoadConfig compare against, as Windows defines them.
static_assert(DIERR_NOTACQUIRED == static_cast<HRESULT>(0x8007000Cu));
static_assert(DIERR_INPUTLOST == static_cast<HRESULT>(0x8007001Eu));
static_assert(DIERR_NOTINITIALIZED == static_cast<HRESULT>(0x80070015u));
static_assert(sizeof(DIPROPRANGE) == 24 && sizeof(DIPROPDWORD) == 20 && sizeof(DIPROPHEADER) == 16);

namespace {

const GUID kDeviceGuid = {0x12345678, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);
const HWND kOwner = reinterpret_cast<HWND>(0x1234);
constexpr HRESULT kFailure = static_cast<HRESULT>(0x80041234u);

MATCHER_P(IsGuid, guid, "") { return IsEqualGUID(arg, guid); }

MATCHER_P2(RangeProperty, low, high, "a device-wide DIPROPRANGE " + PrintToString(low) + ".." + PrintToString(high)) {
    const auto* range = reinterpret_cast<const DIPROPRANGE*>(arg);
    return range->diph.dwSize == 24 && range->diph.dwHeaderSize == 16 && range->diph.dwObj == 0 &&
           range->diph.dwHow == DIPH_DEVICE && range->lMin == low && range->lMax == high;
}

MATCHER_P(ModeProperty, mode, "a device-wide DIPROPDWORD holding " + PrintToString(mode)) {
    const auto* dword = reinterpret_cast<const DIPROPDWORD*>(arg);
    return dword->diph.dwSize == 20 && dword->diph.dwHeaderSize == 16 && dword->diph.dwObj == 0 &&
           dword->diph.dwHow == DIPH_DEVICE && dword->dwData == static_cast<DWORD>(mode);
}

template <typename Record>
bool AllZero(const Record& record) {
    static const Record zero{};
    return std::memcmp(&record, &zero, sizeof(Record)) == 0;
}

class DIJoystickCalls : public Test {
protected:
    void SetUp() override { SetJoystickServices(&services); }
    void TearDown() override { SetJoystickServices(nullptr); }

    // An Open of joystick `id` that gets through its calls below (nothing held, so its Close
    // calls nothing); the last, which sets the calibration mode, returns `last`.
    void ExpectOpen(UINT id, bool raw, HRESULT last = DI_OK) {
        // Raw reading asks for a DirectInput 7 object: only such a device reads raw on Windows 10/11.
        EXPECT_CALL(services, DirectInputCreateA(kInstance, raw ? 0x0700u : 0x0500u, NotNull(), IsNull()))
            .WillOnce(DoAll(SetArgPointee<2>(static_cast<IDirectInputA*>(&directInput)), Return(DI_OK)));
        EXPECT_CALL(directInput, QueryInterface(IsGuid(IID_IDirectInputJoyConfig), NotNull()))
            .WillOnce(DoAll(SetArgPointee<1>(static_cast<void*>(static_cast<IDirectInputJoyConfig*>(&joyConfig))),
                            Return(S_OK)));
        EXPECT_CALL(joyConfig, GetConfig(id, Pointee(Field(&DIJOYCONFIG::dwSize, 1160u)), 15u))
            .WillOnce(Invoke([](UINT, LPDIJOYCONFIG config, DWORD) {
                config->guidInstance = kDeviceGuid;
                config->hwc.hwv.dwCalFlags = JOY_ISCAL_XY;
                return DI_OK;
            }));
        EXPECT_CALL(joyConfig, GetUserValues(Pointee(Field(&DIJOYUSERVALUES::dwSize, 1128u)), DIJU_USERVALUES))
            .WillOnce(Invoke([](LPDIJOYUSERVALUES values, DWORD) {
                values->ruv.jpDeadZone.dwX = 5;
                return DI_OK;
            }));
        EXPECT_CALL(directInput, CreateDevice(IsGuid(kDeviceGuid), NotNull(), IsNull()))
            .WillOnce(DoAll(SetArgPointee<1>(static_cast<IDirectInputDeviceA*>(&device)), Return(DI_OK)));
        EXPECT_CALL(device, QueryInterface(IsGuid(IID_IDirectInputDevice2A), NotNull()))
            .WillOnce(DoAll(SetArgPointee<1>(static_cast<void*>(static_cast<IDirectInputDevice2A*>(&device))),
                            Return(S_OK)));
        EXPECT_CALL(device, Release()).WillOnce(Return(1));  // the temporary IDirectInputDeviceA
        EXPECT_CALL(device, Unacquire()).WillOnce(Return(DI_NOEFFECT));
        EXPECT_CALL(device, SetDataFormat(&c_dfDIJoystick)).WillOnce(Return(DI_OK));
        // Non-exclusive in both modes: a game keeps its right to take the joystick exclusively.
        EXPECT_CALL(device, SetCooperativeLevel(kOwner, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)).WillOnce(Return(DI_OK));
        EXPECT_CALL(device, SetProperty(Ref(DIPROP_RANGE), RangeProperty(0, 65535))).WillOnce(Return(DI_OK));
        EXPECT_CALL(device, SetProperty(Ref(DIPROP_CALIBRATIONMODE), ModeProperty(raw ? 1 : 0))).WillOnce(Return(last));
    }

    // Close with all three interfaces held: the DirectInput object first.
    void ExpectClose() {
        EXPECT_CALL(directInput, Release()).WillOnce(Return(2));
        EXPECT_CALL(device, Unacquire()).WillOnce(Return(DI_NOEFFECT));
        EXPECT_CALL(device, Release()).WillOnce(Return(0));
        EXPECT_CALL(joyConfig, Unacquire()).WillOnce(Return(DI_NOEFFECT));
        EXPECT_CALL(joyConfig, Release()).WillOnce(Return(0));
    }

    void OpenQuietly(CDIJoystick& joystick, UINT id) {
        InSequence order;
        ExpectOpen(id, false);
        ASSERT_EQ(joystick.Open(kOwner, static_cast<WORD>(id), FALSE), DI_OK);
    }

    StrictMock<MockServices> services;
    StrictMock<MockDirectInput> directInput;
    StrictMock<MockDevice> device;
    StrictMock<MockJoyConfig> joyConfig;
};

TEST_F(DIJoystickCalls, OpenInEitherModeMakesItsCallsInOrderAndCloseReleasesDirectInputFirst) {
    for (const bool raw : {false, true}) {
        SCOPED_TRACE(raw ? "raw" : "calibrated");
        CDIJoystick joystick(kInstance);
        InSequence order;
        ExpectOpen(7, raw, DI_PROPNOEFFECT);
        EXPECT_EQ(joystick.Open(kOwner, 7, raw ? TRUE : FALSE), DI_PROPNOEFFECT) << "the result of the last call";
        EXPECT_TRUE(joystick.IsOpen());
        EXPECT_TRUE(IsEqualGUID(joystick.m_config.guidInstance, kDeviceGuid));
        EXPECT_EQ(joystick.m_userValues.ruv.jpDeadZone.dwX, 5u);

        ExpectClose();
        EXPECT_EQ(joystick.Close(), S_OK);
        EXPECT_FALSE(joystick.IsOpen());
        EXPECT_TRUE(AllZero(joystick.m_config));
        EXPECT_TRUE(AllZero(joystick.m_userValues));
        EXPECT_TRUE(AllZero(joystick.m_state));
        Mock::VerifyAndClearExpectations(&device);
    }
}

TEST_F(DIJoystickCalls, OpenAgainReleasesEverythingOfThePreviousOpeningFirst) {
    CDIJoystick joystick(kInstance);
    InSequence order;
    ExpectOpen(0, false);
    ExpectClose();
    ExpectOpen(1, true);
    ExpectClose();  // the destructor
    EXPECT_EQ(joystick.Open(kOwner, 0, FALSE), DI_OK);
    EXPECT_EQ(joystick.Open(kOwner, 1, TRUE), DI_OK);
}

TEST_F(DIJoystickCalls, AFailedDevice2QueryReleasesTheTemporaryAndLeavesTheObjectNotOpen) {
    CDIJoystick joystick(kInstance);
    InSequence order;
    EXPECT_CALL(services, DirectInputCreateA(kInstance, 0x0500u, NotNull(), IsNull()))
        .WillOnce(DoAll(SetArgPointee<2>(static_cast<IDirectInputA*>(&directInput)), Return(DI_OK)));
    EXPECT_CALL(directInput, QueryInterface(IsGuid(IID_IDirectInputJoyConfig), NotNull()))
        .WillOnce(DoAll(SetArgPointee<1>(static_cast<void*>(static_cast<IDirectInputJoyConfig*>(&joyConfig))),
                        Return(S_OK)));
    EXPECT_CALL(joyConfig, GetConfig(2u, NotNull(), 15u)).WillOnce(Return(DI_OK));
    EXPECT_CALL(joyConfig, GetUserValues(NotNull(), DIJU_USERVALUES)).WillOnce(Return(DI_OK));
    EXPECT_CALL(directInput, CreateDevice(_, NotNull(), IsNull()))
        .WillOnce(DoAll(SetArgPointee<1>(static_cast<IDirectInputDeviceA*>(&device)), Return(DI_OK)));
    EXPECT_CALL(device, QueryInterface(IsGuid(IID_IDirectInputDevice2A), NotNull()))
        .WillOnce(DoAll(SetArgPointee<1>(nullptr), Return(E_NOINTERFACE)));
    EXPECT_CALL(device, Release()).WillOnce(Return(0));
    EXPECT_EQ(joystick.Open(kOwner, 2, FALSE), E_NOINTERFACE);
    EXPECT_FALSE(joystick.IsOpen());
    EXPECT_EQ(joystick.ReadState(), S_OK) << "no device: nothing is read";

    EXPECT_CALL(directInput, Release()).WillOnce(Return(1));
    EXPECT_CALL(joyConfig, Unacquire()).WillOnce(Return(DI_NOEFFECT));
    EXPECT_CALL(joyConfig, Release()).WillOnce(Return(0));
    EXPECT_EQ(joystick.Close(), S_OK);
}

struct PollCase {
    const char* name;
    HRESULT firstPoll;
    bool reacquires;
};

class DIJoystickReadState : public DIJoystickCalls, public WithParamInterface<PollCase> {};

TEST_P(DIJoystickReadState, ReacquiresOnlyWhenTheDeviceWasNotAcquiredOrLostAndReturnsTheStateReadResult) {
    const PollCase& c = GetParam();
    CDIJoystick joystick(kInstance);
    OpenQuietly(joystick, 0);
    {
        InSequence order;
        EXPECT_CALL(device, Poll()).WillOnce(Return(c.firstPoll));
        if (c.reacquires) {
            EXPECT_CALL(device, Acquire()).WillOnce(Return(kFailure));  // results of these two are not looked at
            EXPECT_CALL(device, Poll()).WillOnce(Return(kFailure));
        }
        EXPECT_CALL(device, GetDeviceState(80u, static_cast<LPVOID>(&joystick.m_state)))
            .WillOnce(Invoke([](DWORD, LPVOID data) {
                static_cast<DIJOYSTATE*>(data)->lX = 4321;
                return DI_OK;
            }))
            .RetiresOnSaturation();
        EXPECT_CALL(device, Poll()).WillOnce(Return(DI_OK));
        EXPECT_CALL(device, GetDeviceState(80u, static_cast<LPVOID>(&joystick.m_state))).WillOnce(Return(kFailure));
    }
    EXPECT_EQ(joystick.ReadState(), DI_OK);
    EXPECT_EQ(joystick.m_state.lX, 4321);
    EXPECT_EQ(joystick.ReadState(), kFailure) << "the result is that of GetDeviceState";
    Mock::VerifyAndClearExpectations(&device);
    InSequence order;
    ExpectClose();
}

INSTANTIATE_TEST_SUITE_P(FirstPoll, DIJoystickReadState,
                         Values(PollCase{"NotAcquired", DIERR_NOTACQUIRED, true},
                                PollCase{"InputLost", DIERR_INPUTLOST, true},
                                PollCase{"OtherError", DIERR_GENERIC, false}, PollCase{"Success", DI_OK, false}),
                         [](const TestParamInfo<PollCase>& info) { return std::string(info.param.name); });

TEST_F(DIJoystickCalls, BothSavesBracketTheWriteAndNotifyBeforeUnacquiring) {
    CDIJoystick joystick(kInstance);
    OpenQuietly(joystick, 5);
    joystick.m_config.hwc.hwv.dwCalFlags = JOY_ISCAL_Z;
    {
        InSequence order;
        EXPECT_CALL(joyConfig, SetCooperativeLevel(kOwner, 9u)).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, Acquire()).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, SetConfig(5u, AsJoyConfigParam(&joystick.m_config), DIJC_REGHWCONFIGTYPE))
            .WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, SendNotify()).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, Unacquire()).WillOnce(Return(DI_NOEFFECT));

        EXPECT_CALL(joyConfig, SetCooperativeLevel(kOwner, 9u)).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, Acquire()).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, SetUserValues(&joystick.m_userValues, DIJU_USERVALUES)).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, SendNotify()).WillOnce(Return(DI_OK));
        EXPECT_CALL(joyConfig, Unacquire()).WillOnce(Return(DI_OK));
    }
    EXPECT_EQ(joystick.SaveConfig(DIJC_REGHWCONFIGTYPE), DI_NOEFFECT) << "the result is Unacquire's";
    EXPECT_EQ(joystick.SaveUserValues(), DI_OK);
    EXPECT_EQ(joystick.m_config.hwc.hwv.dwCalFlags, static_cast<DWORD>(JOY_ISCAL_Z)) << "the record is kept";
    Mock::VerifyAndClearExpectations(&joyConfig);
    InSequence order;
    ExpectClose();
}

TEST_F(DIJoystickCalls, ASaveStopsAtItsFirstFailureAndReturnsIt) {
    for (int failing = 0; failing < 5; ++failing) {
        SCOPED_TRACE(failing);
        CDIJoystick joystick(kInstance);
        OpenQuietly(joystick, 1);
        {
            InSequence order;
            auto result = [&](int step) { return step == failing ? kFailure : DI_OK; };
            EXPECT_CALL(joyConfig, SetCooperativeLevel(kOwner, 9u)).WillOnce(Return(result(0)));
            if (failing > 0) EXPECT_CALL(joyConfig, Acquire()).WillOnce(Return(result(1)));
            if (failing > 1) EXPECT_CALL(joyConfig, SetUserValues(_, DIJU_USERVALUES)).WillOnce(Return(result(2)));
            if (failing > 2) EXPECT_CALL(joyConfig, SendNotify()).WillOnce(Return(result(3)));
            if (failing > 3) EXPECT_CALL(joyConfig, Unacquire()).WillOnce(Return(result(4)));
        }
        EXPECT_EQ(joystick.SaveUserValues(), kFailure);
        Mock::VerifyAndClearExpectations(&joyConfig);
        InSequence order;
        ExpectClose();
    }
}

TEST_F(DIJoystickCalls, WithoutTheConfigurationInterfaceNothingIsCalledAndLoadsClearTheirRecord) {
    CDIJoystick joystick(kInstance);  // the strict fakes fail on any call
    EXPECT_FALSE(joystick.IsOpen());
    EXPECT_TRUE(AllZero(joystick.m_state));
    EXPECT_TRUE(AllZero(joystick.m_config));
    EXPECT_TRUE(AllZero(joystick.m_userValues));

    joystick.m_state.lX = 77;
    EXPECT_EQ(joystick.ReadState(), S_OK);
    EXPECT_EQ(joystick.m_state.lX, 77) << "ReadState without a device leaves the state alone";

    joystick.m_config.dwGain = 99;
    EXPECT_EQ(joystick.LoadConfig(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(joystick.m_config.dwSize, 1160u);
    joystick.m_config.dwSize = 0;
    EXPECT_TRUE(AllZero(joystick.m_config));

    joystick.m_userValues.ruv.dwTimeOut = 99;
    EXPECT_EQ(joystick.LoadUserValues(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(joystick.m_userValues.dwSize, 1128u);
    joystick.m_userValues.dwSize = 0;
    EXPECT_TRUE(AllZero(joystick.m_userValues));

    joystick.m_config.dwGain = 5;
    joystick.m_userValues.ruv.dwTimeOut = 6;
    EXPECT_EQ(joystick.SaveConfig(DIJC_REGHWCONFIGTYPE), DIERR_NOTINITIALIZED);
    EXPECT_EQ(joystick.SaveUserValues(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(joystick.m_config.dwGain, 5u) << "a refused save keeps the record";
    EXPECT_EQ(joystick.m_userValues.ruv.dwTimeOut, 6u);

    EXPECT_EQ(joystick.Close(), S_OK);
    EXPECT_EQ(joystick.Close(), S_OK);
    EXPECT_TRUE(AllZero(joystick.m_config));
}

}  // namespace
