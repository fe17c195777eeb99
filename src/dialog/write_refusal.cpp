// The editor's refusal message: only parts that were changed and not stored, and a cause that can be true.
#include "dialog/write_refusal.h"

#include <string>

namespace {

// How the message names each part: after "Windows stored" (the calibration names its joystick), and
// after "changing" in a sentence that named the joystick already.
std::string PartName(int part, int joystickId) {
    switch (part) {
    case kCalibrationPart: return "the calibration of joystick " + std::to_string(joystickId);
    case kDeadZonesPart: return "the dead zones";
    default: return "";
    }
}

std::string OwnPartName(int part) {
    switch (part) {
    case kCalibrationPart: return "its calibration";
    case kDeadZonesPart: return "its dead zones";
    default: return "";
    }
}

enum class Names { Stored, Refused, RefusedOwn };

std::string JoinNames(const WriteOutcome& outcome, int joystickId, Names which) {
    std::string names;
    for (int part = 0; part < kWritePartCount; ++part) {
        const WritePart& p = outcome.parts[part];
        const bool wanted =
            which == Names::Stored ? p.attempted && p.changed && SUCCEEDED(p.result) : outcome.Refused(part);
        if (!wanted) continue;
        names += (names.empty() ? "" : " and ") + (which == Names::RefusedOwn ? OwnPartName(part)
                                                                               : PartName(part, joystickId));
    }
    return names;
}

}  // namespace

bool WriteOutcome::AnyRefused() const {
    for (int part = 0; part < kWritePartCount; ++part)
        if (Refused(part)) return true;
    return false;
}

bool WriteOutcome::AnySucceeded() const {
    for (const WritePart& p : parts)
        if (p.attempted && SUCCEEDED(p.result)) return true;
    return false;
}

CString RefusalMessage(const WriteOutcome& outcome, int joystickId) {
    HRESULT refusal = S_OK;  // the first refused part's: that is the refusal the user's change met
    for (int part = kWritePartCount - 1; part >= 0; --part)
        if (outcome.Refused(part)) refusal = outcome.parts[part].result;
    if (refusal == S_OK) return CString();

    const std::string stored = JoinNames(outcome, joystickId, Names::Stored);
    CString what;
    if (stored.empty()) {
        what.Format("Windows did not store the change to joystick %d", joystickId);
    } else {
        what.Format("Windows stored %s, but not %s", stored.c_str(),
                    JoinNames(outcome, joystickId, Names::Refused).c_str());
    }
    CString message;
    if (refusal == static_cast<HRESULT>(DIERR_INSUFFICIENTPRIVS)) {
        const std::string refused = JoinNames(outcome, joystickId, Names::RefusedOwn);
        message.Format("%s: changing %s needs administrator rights.\n\nThe values shown are those stored. Start "
                       "Padwright as an administrator to change them.",
                       what.c_str(), stored.empty() ? refused.c_str() : "them");
    } else if (refusal == static_cast<HRESULT>(E_ACCESSDENIED) && !outcome.AnySucceeded()) {
        // DIERR_OTHERAPPHASPRIO and DIERR_READONLY have the same code. Another program holding the
        // configuration refuses every part; where one was stored, it was something else.
        message.Format("%s: another program probably holds the joystick configuration (error 0x%08lX).\n\nThe "
                       "values shown are those stored. Close other programs that use the joystick and try again.",
                       what.c_str(), static_cast<unsigned long>(static_cast<DWORD>(refusal)));
    } else {
        message.Format("%s (error 0x%08lX).\n\nThe values shown are those stored.", what.c_str(),
                       static_cast<unsigned long>(static_cast<DWORD>(refusal)));
    }
    return message;
}
