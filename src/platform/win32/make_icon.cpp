// padwright-make-icon FILE.ico: writes icon 128 as the Windows icon file padwright.rc includes.
// padwright-make-icon --png SIZE FILE.png: icon 128 at SIZE x SIZE, for the desktop's icon theme.
// padwright-make-icon --svg FILE.svg: icon 128 as the icon theme's scalable image.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/icon_file.h"
#include "res/icon_art.h"
#include "res/resource.h"

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::vector<uint8_t> data;
    if (argc == 2 && mode[0] != '-') {
        data = win32::MakeIconFile(IDR_MAINFRAME);
    } else if (argc == 4 && mode == "--png") {
        data = win32::MakePng(res::DrawIcon(IDR_MAINFRAME, std::atoi(argv[2])));
    } else if (argc == 3 && mode == "--svg") {
        const std::string svg = res::IconSvg(IDR_MAINFRAME);
        data.assign(svg.begin(), svg.end());
    } else {
        std::fprintf(stderr, "usage: padwright-make-icon OUTPUT.ico | --png SIZE OUTPUT.png | --svg OUTPUT.svg\n");
        return 2;
    }
    if (data.empty()) {
        std::fprintf(stderr, "padwright-make-icon: icon %d has no image of that size (1 to %d)\n", IDR_MAINFRAME,
                     res::kLargestIcon);
        return 1;
    }
    const char* path = argv[argc - 1];
    std::FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::perror(path);
        return 1;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(path);
        return 1;
    }
    return 0;
}
