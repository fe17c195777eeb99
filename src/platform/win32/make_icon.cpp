// padwright-make-icon FILE: writes icon 128 as a Windows icon file (the one padwright.rc includes).
#include <cstdio>

#include "platform/win32/icon_file.h"
#include "res/resource.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: padwright-make-icon OUTPUT.ico\n");
        return 2;
    }
    const std::vector<uint8_t> ico = win32::MakeIconFile(res::FindIcon(IDR_MAINFRAME));
    if (ico.empty()) {
        std::fprintf(stderr, "padwright-make-icon: icon %d is malformed\n", IDR_MAINFRAME);
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(ico.data(), 1, ico.size(), out) == ico.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
