// Fuzz target: the numeric read-back (AfxParseLong, AfxParseDWord) against the model of the rules.
// The input is the text itself; the conversion must agree with the model on success and value, and
// leave the field alone when it fails.
#include <cinttypes>
#include <string>

#include "framework/ddx.h"
#include "fuzz_input.h"
#include "number_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string text = input.substr(0, input.find('\0'));

    constexpr LONG kUntouchedLong = 0x5A5A5A5A;
    LONG got = kUntouchedLong;
    const bool ok = AfxParseLong(text.c_str(), got);
    const model::Number want = model::Parse(text, true);
    FUZZ_CHECK(ok == want.ok, "signed \"%s\": parsed %d, model says %d", fuzz::Shown(text).c_str(), ok, want.ok);
    if (ok) {
        FUZZ_CHECK(got == want.value, "signed \"%s\": %ld, model says %" PRId64, fuzz::Shown(text).c_str(),
                   static_cast<long>(got), want.value);
    } else {
        FUZZ_CHECK(got == kUntouchedLong, "signed \"%s\": a failed read changed the field", fuzz::Shown(text).c_str());
    }

    constexpr DWORD kUntouchedDWord = 0xA5A5A5A5u;
    DWORD gotU = kUntouchedDWord;
    const bool okU = AfxParseDWord(text.c_str(), gotU);
    const model::Number wantU = model::Parse(text, false);
    FUZZ_CHECK(okU == wantU.ok, "unsigned \"%s\": parsed %d, model says %d", fuzz::Shown(text).c_str(), okU,
               wantU.ok);
    if (okU) {
        FUZZ_CHECK(static_cast<int64_t>(gotU) == wantU.value, "unsigned \"%s\": %lu, model says %" PRId64,
                   fuzz::Shown(text).c_str(), static_cast<unsigned long>(gotU), wantU.value);
    } else {
        FUZZ_CHECK(gotU == kUntouchedDWord, "unsigned \"%s\": a failed read changed the field",
                   fuzz::Shown(text).c_str());
    }
    return 0;
}
