// What the fuzz targets share: reading structured values out of the fuzzer's bytes, and stopping
// loudly (an abort the fuzzer and the replay runner both report) when the program disagrees with
// the model of what it should have done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_size == 0; }
    uint8_t Byte() {
        if (m_size == 0) return 0;
        --m_size;
        return *m_data++;
    }
    bool Bool() { return (Byte() & 1) != 0; }
    // A text of at most `max` bytes, its length in the first byte (two bytes when max > 255).
    std::string Text(size_t max) {
        size_t length = Byte();
        if (max > 255) length = length << 8 | Byte();
        length = length % (max + 1);
        if (length > m_size) length = m_size;
        std::string text(reinterpret_cast<const char*>(m_data), length);
        m_data += length;
        m_size -= length;
        return text;
    }
    // Everything up to the next `separator` byte (or the end), the separator dropped.
    std::string Until(uint8_t separator) {
        size_t length = 0;
        while (length < m_size && m_data[length] != separator) ++length;
        std::string text(reinterpret_cast<const char*>(m_data), length);
        const size_t used = length < m_size ? length + 1 : length;
        m_data += used;
        m_size -= used;
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// Shows a text with its control characters escaped, for the report of a mismatch.
inline std::string Shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace fuzz

#define FUZZ_CHECK(condition, ...)                                                      \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                          \
            std::fprintf(stderr, "\n");                                                 \
            std::abort();                                                               \
        }                                                                               \
    } while (false)
