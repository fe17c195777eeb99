// The link markup of the feedback text: what is shown, which part of it is the link, and where the
// link leads. Every host reads the same markup through this one parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace res {

// A static text with one <a href="...">label</a> in it: the text as shown, and which part of it
// is the link. Without complete markup the whole text is plain and `href` is empty.
struct LinkText {
    std::string text;
    size_t linkBegin = 0;  // [linkBegin, linkEnd) of `text`
    size_t linkEnd = 0;
    std::string href;
};
LinkText ParseLinkMarkup(std::string_view markup);
inline LinkText ParseLinkMarkup(const char* markup) { return ParseLinkMarkup(std::string_view(markup ? markup : "")); }

// Whether a link target may be handed to the desktop's opener: mail and web addresses only, and
// nothing that a program receiving it could take for an option or a second argument.
bool IsOpenableHref(std::string_view href);

}  // namespace res
