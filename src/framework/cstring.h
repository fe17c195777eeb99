// CString: the framework's counted text, a small value type over std::string.
#pragma once

#include <string>
#include <string_view>

#include "platform/compat/wintypes.h"

#if defined(__GNUC__)
#define PW_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PW_PRINTF_FORMAT(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: converts like the original
    CString(std::string text) : m_text(std::move(text)) {}   // NOLINT
    CString(std::string_view text) : m_text(text) {}         // NOLINT

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    operator const char*() const { return m_text.c_str(); }  // NOLINT: LPCTSTR conversion
    const char* c_str() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    // printf-style formatting; replaces the whole text.
    void Format(const char* format, ...) PW_PRINTF_FORMAT(2, 3);

    // Replaces the text with string resource `id`; FALSE (text unchanged) when there is none.
    BOOL LoadString(UINT id);

    CString& operator+=(const CString& other) {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* other) {
        m_text += other;
        return *this;
    }
    CString& operator+=(char c) {
        m_text += c;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + b); }
    friend CString operator+(const char* a, const CString& b) { return CString(a + b.m_text); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == b; }

private:
    std::string m_text;
};

// Fills the placeholders %1 and %2 of string resource `id` (or of `format` itself) with the two texts.
void AfxFormatString2(CString& out, UINT id, const char* text1, const char* text2);
