// Fuzz target: the registry texts the tool reads. Joystick 0's OEM name value gets any type and any
// bytes, the driver key its capabilities name (szRegKey) may be any 32 bytes, terminated or not,
// and the joystick branch gets driver keys of any name (with or without calibration below them);
// the dialog then starts (reading the name) and "Clear all calib. data" runs with answers taken
// from the input. The device line must show the value's text up to its first NUL and never more
// than fits the tool's buffer, or "not installed!" when the driver key names no settings key; the
// cleaner must ask only about keys that exist, delete only what was confirmed, and close every key
// it opened. AddressSanitizer watches the buffers.
//
// Input: a type selector byte, the value's bytes (two length bytes first), a driver-key byte (odd:
// replace szRegKey) and its bytes (one length byte first), a key count byte, then per key a flags
// byte and its name (two length bytes first), then one answer bit a question.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "../support/desk.h"
#include "fuzz_input.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

void CollectKeys(const CSimPlatform& sim, const std::string& path, std::set<std::string>& keys) {
    for (const std::string& name : sim.Subkeys(path)) {
        const std::string child = path + "\\" + name;
        keys.insert(child);
        CollectKeys(sim, child, keys);
    }
}

std::set<std::string> AllKeys(const CSimPlatform& sim) {
    std::set<std::string> keys;
    CollectKeys(sim, CSimPlatform::kJoystickBase, keys);
    return keys;
}

bool ContainsIgnoringCase(const std::set<std::string>& keys, const std::string& path) {
    const std::string wanted = Lower(path);
    return std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return Lower(k) == wanted; });
}

// The name the device line should show for a value of `type` holding `bytes`, read into the tool's
// 260-byte buffer: a string type's text up to its first NUL, cut to what fits with a terminator;
// nothing for other types or for a value larger than the buffer.
std::string ExpectedName(DWORD type, const std::string& bytes) {
    constexpr size_t kBuffer = 260;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
    if (bytes.size() > kBuffer) return "";
    return bytes.substr(0, std::min(bytes.find('\0'), kBuffer - 1));
}

// The simulated machine, except that the capabilities may name any driver key.
class OddDriverKeySim : public CSimPlatform {
public:
    bool replace = false;
    std::string regKey;  // up to MAXPNAMELEN bytes, copied without a terminator when it fills them

    MMRESULT joyGetDevCapsA(UINT_PTR id, JOYCAPSA* caps, UINT size) override {
        const MMRESULT result = CSimPlatform::joyGetDevCapsA(id, caps, size);
        if (result == JOYERR_NOERROR && replace && size >= sizeof(JOYCAPSA)) {
            std::memset(caps->szRegKey, 0, sizeof(caps->szRegKey));
            std::memcpy(caps->szRegKey, regKey.data(), std::min(regKey.size(), sizeof(caps->szRegKey)));
        }
        return result;
    }
};

const std::string kQuestionHead = "Found calibration information at\n>";
const std::string kQuestionTail = "<\n\nDo you want to delete the calibration stored?";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    static const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE};
    const uint8_t selector = in.Byte();
    DWORD type = kTypes[selector % 6];
    if (selector >= 0xF0) type = static_cast<DWORD>(in.Byte()) << 24 | static_cast<DWORD>(in.Byte());
    const std::string value = in.Text(700);
    const bool replaceKey = in.Bool();
    const std::string regKey = in.Text(MAXPNAMELEN);

    struct DriverKey {
        std::string name;
        bool calibration;
    };
    std::vector<DriverKey> driverKeys;
    const int count = in.Byte() % 12;
    for (int k = 0; k < count; ++k) {
        const bool calibration = in.Bool();
        driverKeys.push_back({in.Text(270), calibration});
    }

    OddDriverKeySim sim;
    headless::HeadlessHost host;
    SetJoystickServices(&sim);
    sim.SetClock([] { return uint64_t{1000}; });
    sim.SetBroadcast([&](UINT message, WPARAM wParam, LPARAM lParam) { host.BroadcastMessage(message, wParam, lParam); });
    sim.replace = replaceKey;
    sim.regKey = regKey;

    const std::string base = CSimPlatform::kJoystickBase;
    sim.SetValue(CSimPlatform::SettingsKeyPath(), "Joystick1OEMName", type, value.data(), value.size());
    for (const DriverKey& key : driverKeys)
        sim.AddKey(base + "\\" + key.name + (key.calibration ? "\\JoystickSettings" : ""));
    const std::set<std::string> before = AllKeys(sim);

    // The settings key the tool looks in: below the driver key its capabilities name, which ends at
    // its first NUL or after its 32 bytes.
    const std::string driverKey =
        replaceKey ? regKey.substr(0, std::min(regKey.find('\0'), size_t{MAXPNAMELEN})) : CSimPlatform::kDriverKey;
    const std::string settingsPath = base + "\\" + driverKey + "\\CurrentJoystickSettings";
    std::string wantName = "not installed!";
    if (sim.KeyExists(settingsPath))
        wantName = Lower(settingsPath) == Lower(CSimPlatform::SettingsKeyPath()) ? ExpectedName(type, value) : "";

    std::set<std::string> confirmed;
    host.SetMessageBoxHandler([&](const headless::MessageBoxRecord& box) {
        if ((box.type & MB_TYPEMASK) != MB_YESNO) return IDOK;
        const bool yes = in.Bool();
        if (box.text.rfind(kQuestionHead, 0) == 0) {
            const std::string path = box.text.substr(kQuestionHead.size(), box.text.size() - kQuestionHead.size() -
                                                                                 kQuestionTail.size());
            FUZZ_CHECK(ContainsIgnoringCase(before, path), "asked about \"%s\", which is no key",
                       fuzz::Shown(path).c_str());
            if (yes) confirmed.insert(Lower(path));
        } else if (yes) {
            confirmed.insert(Lower(settingsPath));
        }
        return yes ? IDYES : IDNO;
    });

    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](headless::Window& w) {
        const std::string line = w.Text(IDC_POLLED_DEVICE);
        const std::string want = "0: " + wantName;
        FUZZ_CHECK(line == want, "device line \"%s\", expected \"%s\" (type %lu, %zu bytes)", fuzz::Shown(line).c_str(),
                   fuzz::Shown(want).c_str(), static_cast<unsigned long>(type), value.size());
        w.Click(IDC_CLEAR_CALIBRATION);
        w.Tick();
    });
    {
        CPadwrightDlg dlg;
        dlg.DoModal();
    }
    SetJoystickServices(nullptr);

    for (const std::string& key : before) {
        if (sim.KeyExists(key)) continue;
        FUZZ_CHECK(confirmed.count(Lower(key)) == 1, "\"%s\" was deleted without being confirmed",
                   fuzz::Shown(key).c_str());
    }
    FUZZ_CHECK(sim.OpenKeyHandles() == 0, "%zu registry keys left open", sim.OpenKeyHandles());
    FUZZ_CHECK(sim.LiveInterfaces() == 0, "%d interfaces outlive the dialog", sim.LiveInterfaces());
    return 0;
}
