// Fuzz target: the kept-calibration parser, which the udev applier runs as root. Any text either is
// refused or reads as a record whose text form reads back as the same record.
#include <string>

#include "fuzz_input.h"
#include "platform/linux/keep/kept_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    keep::KeptCalibration kept;
    std::string why;
    if (!keep::Parse(text, &kept, &why)) {
        FUZZ_CHECK(!why.empty(), "\"%s\": refused without a reason", fuzz::Shown(text).c_str());
        return 0;
    }
    const std::string formatted = keep::Format(kept);
    keep::KeptCalibration again;
    FUZZ_CHECK(keep::Parse(formatted, &again, &why), "\"%s\": its own text form is refused: %s",
               fuzz::Shown(text).c_str(), why.c_str());
    FUZZ_CHECK(keep::Format(again) == formatted, "\"%s\": reads back differently", fuzz::Shown(text).c_str());
    FUZZ_CHECK(keep::IsStoreFileName(keep::FileName(kept.id, kept.scope)), "\"%s\": a file name not of the store's form",
               fuzz::Shown(text).c_str());
    return 0;
}
