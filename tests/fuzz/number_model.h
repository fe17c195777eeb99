// A second, independent reading of the rules by which a number typed into an edit is accepted:
// blanks and tabs around it are ignored, a signed field takes an optional sign, an unsigned field
// refuses a leading "-", a value of 0 counts only when the number starts with the digit 0, nothing
// but blanks and tabs may follow, and magnitudes beyond the type saturate. Written as a scan over
// the text with the magnitude compared as a digit string, so that it shares no arithmetic with
// the framework's own conversion.
#pragma once

#include <cstdint>
#include <string>

namespace model {

struct Number {
    bool ok = false;
    int64_t value = 0;  // meaningful when ok
};

inline bool Blank(char c) { return c == ' ' || c == '\t'; }
inline bool Digit(char c) { return c >= '0' && c <= '9'; }

// Compares two digit strings without leading zeros as numbers.
inline int CompareDigits(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

inline int64_t DigitsValue(const std::string& digits) {
    int64_t v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
}

// `text` is what the read-back sees: a C string, so it ends at its first NUL.
inline Number Parse(std::string text, bool isSigned) {
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);

    size_t i = 0;
    while (i < text.size() && Blank(text[i])) ++i;
    const char first = i < text.size() ? text[i] : '\0';
    bool negative = false;
    if (first == '-' && !isSigned) return {};
    if (first == '+' || first == '-') {
        negative = first == '-';
        ++i;
    }
    std::string digits;
    while (i < text.size() && Digit(text[i])) digits += text[i++];
    while (i < text.size() && Blank(text[i])) ++i;
    if (i != text.size()) return {};
    if (digits.empty()) return {};  // no number at all reads as 0, and its first character is no 0

    const size_t significant = digits.find_first_not_of('0');
    const std::string magnitude = significant == std::string::npos ? "0" : digits.substr(significant);
    if (magnitude == "0" && first != '0') return {};  // "-0", "+0"

    const std::string limit = !isSigned ? "4294967295" : (negative ? "2147483648" : "2147483647");
    const int64_t value = CompareDigits(magnitude, limit) > 0 ? DigitsValue(limit) : DigitsValue(magnitude);
    return {true, negative ? -value : value};
}

// What the read-back of one edit sees: at most its first 31 characters.
inline std::string ReadBack(const std::string& controlText) { return controlText.substr(0, 31); }

}  // namespace model
