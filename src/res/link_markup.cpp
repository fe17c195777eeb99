// Parsing the link markup of static texts.
#include "res/link_markup.h"

#include <algorithm>

namespace res {

namespace {

// The next "<a " or "<a>" at or after `from`; npos when there is none.
size_t FindAnchor(std::string_view markup, size_t from) {
    for (size_t at = markup.find("<a", from); at != std::string_view::npos; at = markup.find("<a", at + 2)) {
        if (at + 2 < markup.size() && (markup[at + 2] == ' ' || markup[at + 2] == '>')) return at;
    }
    return std::string_view::npos;
}

}  // namespace

LinkText ParseLinkMarkup(std::string_view markup) {
    LinkText out;
    bool first = true;
    size_t pos = 0;
    while (pos < markup.size()) {
        const size_t open = FindAnchor(markup, pos);
        const size_t tagEnd = open == std::string_view::npos ? open : markup.find('>', open);
        const size_t close = tagEnd == std::string_view::npos ? tagEnd : markup.find("</a>", tagEnd);
        if (close == std::string_view::npos) {  // no (complete) link from here on: shown as it stands
            out.text += markup.substr(pos);
            break;
        }
        out.text += markup.substr(pos, open - pos);
        if (first) {
            const std::string_view tag = markup.substr(open, tagEnd - open);
            const size_t hrefAt = tag.find("href=\"");
            if (hrefAt != std::string_view::npos) {
                const size_t valueAt = hrefAt + 6;
                const size_t quote = tag.find('"', valueAt);
                if (quote != std::string_view::npos) out.href = tag.substr(valueAt, quote - valueAt);
            }
            out.linkBegin = out.text.size();
        }
        out.text += markup.substr(tagEnd + 1, close - tagEnd - 1);
        if (first) out.linkEnd = out.text.size();
        first = false;
        pos = close + 4;
    }
    if (first) out.linkBegin = out.linkEnd = out.text.size();
    return out;
}

bool IsOpenableHref(std::string_view href) {
    const bool known = href.starts_with("mailto:") || href.starts_with("https://") || href.starts_with("http://");
    if (!known) return false;
    return std::none_of(href.begin(), href.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F || c == ' ' || c == '"' || c == '\'' || c == '`' || c == '\\';
    });
}

}  // namespace res
