// CString formatting and string-resource loading.
#include "framework/cstring.h"

#include <cstdarg>
#include <cstdio>

#include "res/templates.h"

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) {
        m_text.clear();
    } else {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
        m_text = std::move(text);
    }
    va_end(args);
}

BOOL CString::LoadString(UINT id) {
    const char* text = res::FindString(id);
    if (!text) return FALSE;
    m_text = text;
    return TRUE;
}

void AfxFormatString2(CString& out, UINT id, const char* text1, const char* text2) {
    CString format;
    format.LoadString(id);
    std::string result;
    const std::string& f = format.str();
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '%' && i + 1 < f.size() && (f[i + 1] == '1' || f[i + 1] == '2')) {
            result += f[i + 1] == '1' ? text1 : text2;
            ++i;
        } else {
            result += f[i];
        }
    }
    out = CString(std::move(result));
}
