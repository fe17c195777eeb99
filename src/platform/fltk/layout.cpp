// Window-system-free helpers of the FLTK host.
#include "platform/fltk/layout.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>

namespace fltkhost {

double ScaleForDpi(double dpi) {
    if (!(dpi > 0.0) || dpi > 1000.0) return 1.0;
    const double scale = std::round(dpi / 96.0 * 4.0) / 4.0;
    return std::clamp(scale, 1.0, 4.0);
}

BaseUnits BaseUnitsForScale(double scale) { return {6.0 * scale, 13.0 * scale}; }

int DialogFontSize(double baseX, const std::function<double(int)>& averageWidth) {
    constexpr int kSmallest = 6, kLargest = 64;
    // The average character of Arial and the faces with its metrics is 0.59 of their size: the first
    // size measured is the answer for them, and close to it for other sans faces.
    constexpr double kTypicalWidthPerPixel = 0.59;
    std::map<int, double> measured;
    auto fits = [&](int size) {
        auto [it, isNew] = measured.try_emplace(size);
        if (isNew) it->second = averageWidth(size);
        return it->second <= baseX;
    };
    auto predict = [&](double widthPerPixel) {
        if (!(widthPerPixel > 0)) return kLargest;
        return static_cast<int>(std::clamp(std::floor(baseX / widthPerPixel), 1.0 * kSmallest, 1.0 * kLargest));
    };
    const int reference = predict(kTypicalWidthPerPixel);
    fits(reference);
    // Widths are close to proportional to the size (hinting moves them by a pixel or so): predict from
    // the measurement, then walk to where the rule changes.
    int size = predict(measured[reference] / reference);
    while (size > kSmallest && !fits(size)) --size;
    while (size < kLargest && fits(size + 1)) ++size;
    return size;
}

int IconSizeForScale(double scale) { return static_cast<int>(std::lround(32 * scale)); }

int DialogUnitsToPixelsX(int units, BaseUnits base) {
    return static_cast<int>(std::floor(units * base.x / 4.0 + 1e-9));
}

int DialogUnitsToPixelsY(int units, BaseUnits base) {
    return static_cast<int>(std::floor(units * base.y / 8.0 + 1e-9));
}

PixelRect DialogRectToPixels(int x, int y, int cx, int cy, BaseUnits base) {
    const int left = DialogUnitsToPixelsX(x, base);
    const int top = DialogUnitsToPixelsY(y, base);
    const int right = DialogUnitsToPixelsX(x + cx, base);
    const int bottom = DialogUnitsToPixelsY(y + cy, base);
    return {left, top, right - left, bottom - top};
}

std::vector<TextLine> WrapText(std::string_view text, int width, const std::function<int(std::string_view)>& measure) {
    std::vector<TextLine> lines;
    size_t paragraph = 0;
    while (true) {
        size_t stop = text.find('\n', paragraph);
        if (stop == std::string_view::npos) stop = text.size();
        // Greedy filling of one paragraph, breaking at blanks.
        size_t lineBegin = paragraph;
        if (lineBegin == stop) lines.push_back({lineBegin, lineBegin, 0});
        while (lineBegin < stop) {
            size_t lineEnd = lineBegin;  // end of the last word that fits
            size_t scan = lineBegin;
            while (scan < stop) {
                size_t wordEnd = scan;
                while (wordEnd < stop && text[wordEnd] == ' ') ++wordEnd;
                while (wordEnd < stop && text[wordEnd] != ' ') ++wordEnd;
                const int w = measure(text.substr(lineBegin, wordEnd - lineBegin));
                if (w > width && lineEnd > lineBegin) break;
                lineEnd = wordEnd;
                scan = wordEnd;
                if (w > width) break;  // a single word wider than the line stands alone
            }
            lines.push_back({lineBegin, lineEnd, measure(text.substr(lineBegin, lineEnd - lineBegin))});
            lineBegin = lineEnd;
            while (lineBegin < stop && text[lineBegin] == ' ') ++lineBegin;
        }
        if (stop == text.size()) break;
        paragraph = stop + 1;
    }
    return lines;
}

std::optional<std::string> SpinStep(std::string_view buddyText, int lower, int upper, int delta) {
    const std::string text(buddyText);
    errno = 0;
    char* end = nullptr;
    long position = std::strtol(text.c_str(), &end, 10);
    if (errno == ERANGE) position = position < 0 ? INT_MIN : INT_MAX;
    const long low = std::min(lower, upper);
    const long high = std::max(lower, upper);
    const long step = lower > upper ? -static_cast<long>(delta) : static_cast<long>(delta);
    const long next = std::clamp(std::clamp(position, low, high) + step, low, high);
    std::string written = std::to_string(next);
    if (written == text) return std::nullopt;
    return written;
}

std::string StripMnemonic(std::string_view label) {
    std::string out;
    out.reserve(label.size());
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&') {
            if (++i == label.size()) break;  // a trailing "&" shows nothing
        }
        out += label[i];  // after "&": the mnemonic letter, or the second "&" of "&&"
    }
    return out;
}

MessageBoxLayout LayoutMessageBox(int buttonCount, double scale, const std::function<TextExtent(int)>& measure) {
    const auto px = [scale](int pixels) { return static_cast<int>(pixels * scale); };
    MessageBoxLayout l;
    l.margin = px(11);
    l.iconSize = px(32);
    l.buttonW = px(75);
    l.buttonH = px(23);
    l.gap = px(6);
    l.text = measure(0);
    if (const int maxTextW = px(560); l.text.w > maxTextW) l.text = measure(maxTextW);
    const int buttonsW = buttonCount * l.buttonW + (buttonCount - 1) * l.gap;
    l.textX = l.margin + l.iconSize + l.margin;
    l.width = std::max(l.textX + l.text.w + l.margin, buttonsW + 2 * l.margin);
    const int bodyH = std::max(l.text.h, l.iconSize);
    l.height = l.margin + bodyH + l.margin + l.buttonH + l.margin;
    l.textY = l.margin + (bodyH - l.text.h) / 2;
    l.buttonsX = (l.width - buttonsW) / 2;
    l.buttonY = l.height - l.margin - l.buttonH;
    return l;
}

int MessageBoxAnswer(UINT type, BoxKey key, int focused, char ch) {
    const bool asks = (type & MB_TYPEMASK) == MB_YESNO;
    switch (key) {
    case BoxKey::Enter:
    case BoxKey::Space:
        if (!asks) return IDOK;
        return focused == IDNO ? IDNO : IDYES;
    case BoxKey::Escape:
    case BoxKey::Close: return asks ? 0 : IDOK;
    case BoxKey::Char: {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (asks) return c == 'y' ? IDYES : c == 'n' ? IDNO : 0;
        return 0;  // "OK" has no mnemonic
    }
    }
    return 0;
}

}  // namespace fltkhost
