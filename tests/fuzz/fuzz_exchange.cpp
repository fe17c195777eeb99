// Fuzz target: reading the main dialog back (UpdateData(TRUE)) with any texts in its 24 edits and
// any state of its five check boxes. Against the model of the parse rules and ranges: the result is
// TRUE exactly when every field reads and lies in range; the fields before the first failure hold
// the model's values, that field and those after it keep what they held; the failing edit has the
// focus with its whole text selected and the user saw the matching prompt; no edit is rewritten.
//
// Input: the 24 texts in exchange order (minimum, centre, maximum of X, then of Y, ..., then the six
// dead zones), each ended by the byte 0x1F, then one byte whose low five bits tick the check boxes.
#include <string>
#include <vector>

#include "../support/desk.h"
#include "fuzz_input.h"
#include "number_model.h"

namespace {

struct Field {
    int id;
    bool isSigned;
    LONG* longValue;
    DWORD* dwordValue;
    int64_t Value() const { return isSigned ? *longValue : static_cast<int64_t>(*dwordValue); }
};

std::vector<Field> ExchangeOrder(CPadwrightDlg& dlg) {
    std::vector<Field> fields;
    for (int i = 0; i < AXIS_COUNT; ++i) {
        fields.push_back({IDC_CAL_MIN_X + 2 * i, true, &dlg.m_calMin[i], nullptr});
        fields.push_back({IDC_CAL_CENTER_X + 2 * i, true, &dlg.m_calCenter[i], nullptr});
        fields.push_back({IDC_CAL_MAX_X + 2 * i, true, &dlg.m_calMax[i], nullptr});
    }
    for (int i = 0; i < AXIS_COUNT; ++i) fields.push_back({IDC_DEADZONE_X + 2 * i, false, nullptr, &dlg.m_deadZone[i]});
    return fields;
}

const int kFlagBoxes[CALIBRATION_FLAG_COUNT] = {IDC_CALIBRATED_XY, IDC_CALIBRATED_Z, IDC_CALIBRATED_R,
                                                IDC_CALIBRATED_U, IDC_CALIBRATED_V};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    std::vector<std::string> texts;
    for (int k = 0; k < 4 * AXIS_COUNT; ++k) texts.push_back(in.Until(0x1F));
    const uint8_t ticks = in.Byte();

    Desk desk;
    desk.Run([&](headless::Window& w, CPadwrightDlg& dlg) {
        // Only the read-back is under test: the editor must not act on what is typed here.
        dlg.m_ready = FALSE;
        const std::vector<Field> fields = ExchangeOrder(dlg);
        for (size_t k = 0; k < fields.size(); ++k) w.Paste(fields[k].id, texts[k]);
        for (int b = 0; b < CALIBRATION_FLAG_COUNT; ++b)
            if (w.Checked(kFlagBoxes[b]) != (((ticks >> b) & 1) != 0)) w.Click(kFlagBoxes[b]);

        std::vector<int64_t> before;
        for (const Field& f : fields) before.push_back(f.Value());
        BOOL flagsBefore[CALIBRATION_FLAG_COUNT];
        for (int b = 0; b < CALIBRATION_FLAG_COUNT; ++b) flagsBefore[b] = dlg.m_calibrated[b];
        const size_t boxes = desk.host.MessageBoxes().size();

        const BOOL ok = dlg.UpdateData(TRUE);

        // The model's verdict: the first field that does not read or lies out of range, and why.
        size_t failing = fields.size();
        std::string prompt;
        std::vector<int64_t> expected = before;
        for (size_t k = 0; k < fields.size() && failing == fields.size(); ++k) {
            const Field& f = fields[k];
            const model::Number n = model::Parse(model::ReadBack(texts[k]), f.isSigned);
            const int64_t low = f.isSigned ? -1000 : 0;
            const int64_t high = f.isSigned ? 1655 : 100;
            if (!n.ok) {
                failing = k;
                prompt = f.isSigned ? "Please enter an integer." : "Please enter a positive integer.";
            } else if (n.value < low || n.value > high) {
                failing = k;
                prompt = "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
            } else {
                expected[k] = n.value;
            }
        }

        const bool modelOk = failing == fields.size();
        FUZZ_CHECK((ok != FALSE) == modelOk, "UpdateData gave %d; the model fails at field %zu", ok, failing);
        for (size_t k = 0; k < fields.size(); ++k) {
            FUZZ_CHECK(fields[k].Value() == expected[k], "field %zu (control %d, text \"%s\") holds %lld, expected %lld",
                       k, fields[k].id, fuzz::Shown(texts[k]).c_str(), static_cast<long long>(fields[k].Value()),
                       static_cast<long long>(expected[k]));
            FUZZ_CHECK(w.Text(fields[k].id) == texts[k], "control %d was rewritten by the read-back", fields[k].id);
        }
        for (int b = 0; b < CALIBRATION_FLAG_COUNT; ++b) {
            const BOOL want = modelOk ? static_cast<BOOL>((ticks >> b) & 1) : flagsBefore[b];
            FUZZ_CHECK(dlg.m_calibrated[b] == want, "flag %d is %d, expected %d", b, dlg.m_calibrated[b], want);
        }

        const auto& shown = desk.host.MessageBoxes();
        if (modelOk) {
            FUZZ_CHECK(shown.size() == boxes, "a successful read-back showed \"%s\"", shown.back().text.c_str());
        } else {
            FUZZ_CHECK(shown.size() == boxes + 1, "%zu boxes for one failing field", shown.size() - boxes);
            FUZZ_CHECK(shown.back().text == prompt, "shown \"%s\", expected \"%s\"", shown.back().text.c_str(),
                       prompt.c_str());
            const int id = fields[failing].id;
            FUZZ_CHECK(w.FocusId() == id, "focus on %d, the failing control is %d", w.FocusId(), id);
            const auto selection = w.Selection(id);
            FUZZ_CHECK(selection.first == 0 && selection.second == static_cast<int>(texts[failing].size()),
                       "selection %d..%d of a text of %zu", selection.first, selection.second, texts[failing].size());
        }
    });
    FUZZ_CHECK(desk.sim.LiveInterfaces() == 0, "%d interfaces outlive the dialog", desk.sim.LiveInterfaces());
    return 0;
}
