// Data exchange between dialog fields and controls, and the numeric read-back rules.
#include "framework/ddx.h"

#include <cassert>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "res/resource.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads an optionally signed decimal the way a 32-bit strtol/strtoul does, saturating on overflow.
// Returns the index after the number; `magnitude` is capped at `limit` + 1 so it never overflows.
size_t ReadDigits(const char* text, size_t i, uint64_t limit, uint64_t& magnitude) {
    magnitude = 0;
    while (text[i] >= '0' && text[i] <= '9') {
        if (magnitude <= limit) magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        ++i;
    }
    return i;
}

bool OnlyBlanksFrom(const char* text, size_t i) {
    while (IsBlank(text[i])) ++i;
    return text[i] == '\0';
}

CString ReadControlText(HWND control, int maxCount) {
    std::string buffer(static_cast<size_t>(maxCount), '\0');
    const int length = AfxGetHost().GetText(control, buffer.data(), maxCount);
    buffer.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return CString(std::move(buffer));
}

void FailWithPrompt(CDataExchange* pDX, UINT idPrompt) {
    AfxMessageBox(idPrompt, MB_ICONEXCLAMATION);
    pDX->Fail();
}

}  // namespace

bool AfxParseLong(const char* text, LONG& value) {
    size_t i = 0;
    while (IsBlank(text[i])) ++i;
    const size_t first = i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    uint64_t magnitude = 0;
    i = ReadDigits(text, i, uint64_t{INT32_MAX} + 1, magnitude);
    int64_t result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (result > INT32_MAX) result = INT32_MAX;
    if (result < INT32_MIN) result = INT32_MIN;
    if (result == 0 && text[first] != '0') return false;
    if (!OnlyBlanksFrom(text, i)) return false;
    value = static_cast<LONG>(result);
    return true;
}

bool AfxParseDWord(const char* text, DWORD& value) {
    size_t i = 0;
    while (IsBlank(text[i])) ++i;
    const size_t first = i;
    if (text[i] == '-') return false;
    if (text[i] == '+') ++i;
    uint64_t magnitude = 0;
    i = ReadDigits(text, i, UINT32_MAX, magnitude);
    if (magnitude > UINT32_MAX) magnitude = UINT32_MAX;
    if (magnitude == 0 && text[first] != '0') return false;
    if (!OnlyBlanksFrom(text, i)) return false;
    value = static_cast<DWORD>(magnitude);
    return true;
}

HWND CDataExchange::PrepareCtrl(int id) {
    HWND control = m_pDlgWnd->m_hWnd ? AfxGetHost().GetDlgItem(m_pDlgWnd->m_hWnd, id) : nullptr;
    assert(control && "DDX on a control the dialog does not have (or before its window exists)");
    m_hWndLastControl = control;
    m_bEditLastControl = FALSE;
    m_lastField = nullptr;
    return control;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        AfxGetHost().SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) AfxGetHost().SetEditSel(m_hWndLastControl, 0, -1);
    }
    throw CUserException{};
}

void CDataExchange::RestoreField() {
    if (m_lastField) std::memcpy(m_lastField, &m_lastPrevious, sizeof(m_lastPrevious));
    m_lastField = nullptr;
}

void AfxSetWindowText(HWND control, const char* text) {
    DialogHost& host = AfxGetHost();
    const int length = host.GetTextLength(control);
    if (length == static_cast<int>(std::char_traits<char>::length(text)) &&
        ReadControlText(control, length + 1) == text)
        return;
    host.SetText(control, text);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND control = pDX->PrepareEditCtrl(id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        value = ReadControlText(control, AfxGetHost().GetTextLength(control) + 1);
    } else {
        AfxSetWindowText(control, value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, LONG& value) {
    HWND control = pDX->PrepareEditCtrl(id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        pDX->RememberField(&value, static_cast<uint32_t>(value));
        const CString text = ReadControlText(control, kNumericReadChars + 1);
        if (!AfxParseLong(text, value)) FailWithPrompt(pDX, AFX_IDP_PARSE_INT);
    } else {
        CString text;
        text.Format("%ld", static_cast<long>(value));
        AfxSetWindowText(control, text);
    }
}

void DDX_Text(CDataExchange* pDX, int id, DWORD& value) {
    HWND control = pDX->PrepareEditCtrl(id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        pDX->RememberField(&value, value);
        const CString text = ReadControlText(control, kNumericReadChars + 1);
        if (!AfxParseDWord(text, value)) FailWithPrompt(pDX, AFX_IDP_PARSE_UINT);
    } else {
        CString text;
        text.Format("%lu", static_cast<unsigned long>(value));
        AfxSetWindowText(control, text);
    }
}

void DDX_Check(CDataExchange* pDX, int id, BOOL& value) {
    HWND control = pDX->PrepareCtrl(id);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<BOOL>(AfxGetHost().GetCheck(control));
    } else {
        if (value < 0 || value > 2) value = 0;
        AfxGetHost().SetCheck(control, static_cast<UINT>(value));
    }
}

namespace {

void FailMinMax(CDataExchange* pDX, const CString& minText, const CString& maxText) {
    if (!pDX->m_bSaveAndValidate) return;  // only values read back are checked
    pDX->RestoreField();
    CString prompt;
    AfxFormatString2(prompt, AFX_IDP_PARSE_INT_RANGE, minText, maxText);
    AfxMessageBox(prompt, MB_ICONEXCLAMATION, AFX_IDP_PARSE_INT_RANGE);
    pDX->Fail();
}

}  // namespace

void DDV_MinMaxLong(CDataExchange* pDX, LONG value, LONG minValue, LONG maxValue) {
    if (value >= minValue && value <= maxValue) return;
    CString minText, maxText;
    minText.Format("%ld", static_cast<long>(minValue));
    maxText.Format("%ld", static_cast<long>(maxValue));
    FailMinMax(pDX, minText, maxText);
}

void DDV_MinMaxDWord(CDataExchange* pDX, DWORD value, DWORD minValue, DWORD maxValue) {
    if (value >= minValue && value <= maxValue) return;
    CString minText, maxText;
    minText.Format("%lu", static_cast<unsigned long>(minValue));
    maxText.Format("%lu", static_cast<unsigned long>(maxValue));
    FailMinMax(pDX, minText, maxText);
}
