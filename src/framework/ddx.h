// Dialog data exchange: moving field values into controls and reading them back with validation.
#pragma once

#include <cstdint>

#include "framework/afxwin.h"
#include "framework/cstring.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to fields, with validation
    CWnd* m_pDlgWnd;

    HWND PrepareCtrl(int id);      // nullptr when the dialog has no such control
    HWND PrepareEditCtrl(int id);  // as PrepareCtrl; a failure then selects the edit's text

    // Gives the last prepared control the focus (selecting an edit's whole text) and ends the exchange.
    [[noreturn]] void Fail();

    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;

    // The numeric field read back last and the value it held before. A value that fails its range
    // check is not kept: the field gets its previous value back, so nothing out of range travels on.
    void RememberField(void* field, uint32_t previous) {
        m_lastField = field;
        m_lastPrevious = previous;
    }
    void RestoreField();

private:
    void* m_lastField = nullptr;
    uint32_t m_lastPrevious = 0;
};

// Thrown by CDataExchange::Fail and caught by UpdateData; never leaves the framework.
struct CUserException {};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, LONG& value);   // "%ld"; read back as a signed decimal
void DDX_Text(CDataExchange* pDX, int id, DWORD& value);  // "%lu"; read back as an unsigned decimal
void DDX_Check(CDataExchange* pDX, int id, BOOL& value);
void DDV_MinMaxLong(CDataExchange* pDX, LONG value, LONG minValue, LONG maxValue);
void DDV_MinMaxDWord(CDataExchange* pDX, DWORD value, DWORD minValue, DWORD maxValue);

// Writes `text` into the control only when it differs from what the control shows.
void AfxSetWindowText(HWND control, const char* text);

// How many characters of a control's text the numeric read-back looks at.
inline constexpr int kNumericReadChars = 31;

// The read-back rules for numbers, applied to a text already cut to kNumericReadChars: blanks and
// tabs around the number are ignored; a signed number may carry a sign, an unsigned one fails on a
// leading "-"; a result of 0 fails unless the number starts with the digit 0; anything after the
// number fails; magnitudes beyond the type saturate (and then fail the range check).
bool AfxParseLong(const char* text, LONG& value);
bool AfxParseDWord(const char* text, DWORD& value);
