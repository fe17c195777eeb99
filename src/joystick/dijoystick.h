// CDIJoystick: one joystick seen through DirectInput 5. Holds the DirectInput object, the joystick
// configuration interface and the device, and three public records that callers read and edit in place:
// the device state last read, the joystick's configuration and the global joystick user values.
// Where DirectInput 5's configuration interface is refused (Wine; perhaps Windows 10/11), DirectInput 8's
// takes its place: the same calls on the same records.
#pragma once

#include "joystick/platform_api.h"

class CDIJoystick {
public:
    // Stores the module instance handle, which Open passes to DirectInput; everything else starts closed.
    explicit CDIJoystick(HINSTANCE hInstance);
    // Closes, releasing every interface held.
    virtual ~CDIJoystick();

    CDIJoystick(const CDIJoystick&) = delete;
    CDIJoystick& operator=(const CDIJoystick&) = delete;

    // Closes, then creates DirectInput, the configuration interface and the device for joystick joyId,
    // loading m_config and m_userValues on the way, and sets the device up for calibrated (raw FALSE) or
    // raw reading over 0..65535, in both modes without exclusive access, so that a game can still take the
    // joystick for itself. Raw reading asks for a DirectInput 7 object, and takes DirectInput 5's where
    // that is refused: on Windows 10/11 a DirectInput 5 device in raw mode reads calibrated values. Stops
    // at the first failure and returns it, keeping what it obtained until the next Close. Never acquires
    // the device.
    HRESULT Open(HWND hwndOwner, WORD joyId, BOOL raw);
    // Releases the DirectInput object, then the device, then the configuration interface (unacquiring
    // both first), clears the records, the owner and the number. Always S_OK.
    HRESULT Close();
    // TRUE while the device is held (and with it the configuration interface).
    BOOL IsOpen() const;
    // Polls the device, acquiring it once when it was not acquired or lost its input, and reads m_state.
    // Without a device: S_OK and m_state untouched. Otherwise the result of GetDeviceState.
    HRESULT ReadState();
    // TRUE when the last ReadState found the device's input lost or the device unplugged: the device
    // object no longer follows the joystick, and a new one must be opened.
    BOOL InputLost() const;

    // The load operations first clear their record and set its dwSize (1160 / 1128). Without the
    // configuration interface they return DIERR_NOTINITIALIZED and leave the record so.
    HRESULT LoadConfig();
    HRESULT LoadUserValues();
    // The saves write the record as it stands, inside SetCooperativeLevel(exclusive, background), Acquire,
    // write, SendNotify, Unacquire, and return the first failure or Unacquire's result. Without the
    // configuration interface they call nothing and return DIERR_NOTINITIALIZED; the record is kept.
    HRESULT SaveConfig(DWORD flags);
    HRESULT SaveUserValues();

    DIJOYSTATE m_state;
    DIJOYCONFIG m_config;
    DIJOYUSERVALUES m_userValues;

private:
    template <typename Write>
    HRESULT SaveBracket(Write write);
    // Calls `call` with whichever configuration interface is held; DIERR_NOTINITIALIZED without one.
    template <typename Call>
    HRESULT WithJoyConfig(Call call);
    HRESULT OpenJoyConfig8();

    HINSTANCE m_hInstance;
    HWND m_hwndOwner;
    WORD m_joyId;
    IDirectInputA* m_directInput;
    IDirectInputDevice2A* m_device;
    IDirectInputJoyConfig* m_joyConfig;
    IDirectInputJoyConfig8* m_joyConfig8;  // only where DirectInput 5's configuration interface is refused
    BOOL m_inputLost;
};
