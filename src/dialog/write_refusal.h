// What a write-back of the editor did, part by part, and what is true to tell the user about it: which
// parts the user changed that were not stored, and a cause that can be true. Each part is stored by a
// call of its own (the configuration's calibration, the user values' dead zones), so one may be refused
// while another is stored.
#pragma once

#include "framework/cstring.h"
#include "joystick/platform_api.h"

// The parts of one write-back, in the order the message names them.
enum WritePartIndex { kCalibrationPart, kDeadZonesPart, kWritePartCount };

struct WritePart {
    bool attempted = false;  // its save was called
    bool changed = false;    // the write changes what was stored
    HRESULT result = S_OK;   // the save's result; a failure after the write that left it stored counts as S_OK
};

struct WriteOutcome {
    WritePart parts[kWritePartCount];

    // A part the user changed whose save failed: the only kind of failure worth telling.
    bool Refused(int part) const { return parts[part].attempted && parts[part].changed && FAILED(parts[part].result); }
    bool AnyRefused() const;
    // Some part of the same write was stored, changed or not: whatever refused the rest, it was not that
    // another program held the whole configuration.
    bool AnySucceeded() const;
};

// The message for a write-back with a refused part: what was stored and what not, naming only changed
// parts, and the likely cause. Empty when no changed part was refused.
CString RefusalMessage(const WriteOutcome& outcome, int joystickId);
