// The in-memory dialog templates: read back field by field as the dialog manager reads them, so a
// misplaced byte or a missing alignment shows up here rather than as a dialog that fails to open.
#include "platform/win32/dialog_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"

namespace {

using namespace win32;

// Reads a DLGTEMPLATEEX back.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    uint16_t Word() {
        EXPECT_LE(m_pos + 2, m_bytes.size());
        if (m_pos + 2 > m_bytes.size()) return 0;
        const uint16_t v = static_cast<uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    uint8_t Byte() { return m_pos < m_bytes.size() ? m_bytes[m_pos++] : 0; }
    std::u16string Text() {
        std::u16string s;
        for (uint16_t c = Word(); c != 0 && m_pos < m_bytes.size(); c = Word()) s.push_back(static_cast<char16_t>(c));
        return s;
    }
    // A name or an ordinal: an ordinal comes back as "#<n>".
    std::u16string NameOrOrdinal() {
        const size_t start = m_pos;
        if (Word() == 0xFFFF) {
            const std::string n = "#" + std::to_string(Word());
            return std::u16string(n.begin(), n.end());
        }
        m_pos = start;
        return Text();
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~size_t{3}; }
    size_t Pos() const { return m_pos; }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

struct Item {
    size_t offset;
    uint32_t exStyle, style;
    int16_t x, y, cx, cy;
    uint32_t id;
    std::u16string cls, text;
};

struct Parsed {
    uint32_t exStyle, style;
    uint16_t count;
    int16_t cx, cy;
    std::u16string title, font;
    uint16_t pointSize;
    std::vector<Item> items;
    size_t end;
};

Parsed Parse(const std::vector<uint8_t>& bytes) {
    TemplateReader r(bytes);
    Parsed p{};
    EXPECT_EQ(r.Word(), 1) << "dlgVer";
    EXPECT_EQ(r.Word(), 0xFFFF) << "signature";
    EXPECT_EQ(r.Dword(), 0u) << "helpID";
    p.exStyle = r.Dword();
    p.style = r.Dword();
    p.count = r.Word();
    r.Short();
    r.Short();
    p.cx = r.Short();
    p.cy = r.Short();
    EXPECT_EQ(r.NameOrOrdinal(), u"") << "menu";
    EXPECT_EQ(r.NameOrOrdinal(), u"") << "class";
    p.title = r.Text();
    p.pointSize = r.Word();
    r.Word();
    r.Byte();
    r.Byte();
    p.font = r.Text();
    for (int i = 0; i < p.count; ++i) {
        r.AlignDword();
        Item item{};
        item.offset = r.Pos();
        EXPECT_EQ(r.Dword(), 0u) << "item helpID";
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Dword();
        item.cls = r.NameOrOrdinal();
        item.text = r.NameOrOrdinal();
        EXPECT_EQ(r.Word(), 0) << "creation data of item " << i;
        p.items.push_back(item);
    }
    p.end = r.Pos();
    return p;
}

const Item& ItemWithId(const Parsed& p, int id) {
    for (const Item& item : p.items)
        if (item.id == static_cast<uint32_t>(id)) return item;
    ADD_FAILURE() << "no item " << id;
    static const Item none{};
    return none;
}

TEST(DialogTemplate, MainDialogReadsBackWholeAndInTemplateOrder) {
    const res::DialogTemplate& dialog = *res::FindDialog(IDD_PADWRIGHT_DIALOG);
    const std::vector<uint8_t> bytes = BuildDialogTemplate(dialog);
    const Parsed p = Parse(bytes);

    EXPECT_EQ(p.end, bytes.size()) << "nothing after the last item";
    EXPECT_EQ(p.title, u"Padwright");
    EXPECT_EQ(p.font, u"MS Sans Serif");
    EXPECT_EQ(p.pointSize, 8);
    EXPECT_EQ(p.cx, 392);
    EXPECT_EQ(p.cy, 226);
    ASSERT_EQ(p.count, dialog.controls.size());
    ASSERT_EQ(p.items.size(), dialog.controls.size());
    for (size_t i = 0; i < p.items.size(); ++i) {
        const res::ControlTemplate& c = dialog.controls[i];
        const Item& item = p.items[i];
        EXPECT_EQ(item.offset % 4, 0u) << "item " << i << " must start on a DWORD boundary";
        EXPECT_EQ(item.id, static_cast<uint32_t>(c.id)) << i;
        EXPECT_EQ(item.x, c.x) << i;
        EXPECT_EQ(item.y, c.y) << i;
        EXPECT_EQ(item.cx, c.cx) << i;
        EXPECT_EQ(item.cy, c.cy) << i;
        EXPECT_TRUE(item.style & style::kChild) << i;
        EXPECT_TRUE(item.style & style::kVisible) << i;
        EXPECT_EQ((item.style & style::kTabStop) != 0, (c.flags & res::kTabStop) != 0) << "tab stop of item " << i;
    }
}

TEST(DialogTemplate, AboutBoxReadsBackWithItsIconNamedByResource) {
    const std::vector<uint8_t> bytes = BuildDialogTemplate(*res::FindDialog(IDD_ABOUTBOX));
    const Parsed p = Parse(bytes);
    EXPECT_EQ(p.end, bytes.size());
    EXPECT_EQ(p.title, u"About Padwright");
    ASSERT_EQ(p.items.size(), 4u);
    const Item& icon = p.items.front();
    EXPECT_EQ(icon.cls, u"#130") << "a static";
    EXPECT_EQ(icon.style & 0x1F, style::kSsIcon);
    EXPECT_EQ(icon.text, u"#128") << "the icon is named by its resource ordinal, not by a text";
    EXPECT_EQ(p.items.back().text, u"OK");
}

// Classes by ordinal, the common control by name: a wrong one and the dialog does not open at all.
TEST(DialogTemplate, ControlsGetThePredefinedClassesAndTheUpDownClassByName) {
    const Parsed p = Parse(BuildDialogTemplate(*res::FindDialog(IDD_PADWRIGHT_DIALOG)));
    EXPECT_EQ(ItemWithId(p, IDC_POLLED_DEVICE).cls, u"#130");
    EXPECT_EQ(ItemWithId(p, IDC_DEADZONE_X).cls, u"#129");
    EXPECT_EQ(ItemWithId(p, IDC_NEXT).cls, u"#128");
    EXPECT_EQ(ItemWithId(p, IDC_CALIBRATED_XY).cls, u"#128");
    const Item& spin = ItemWithId(p, IDC_CAL_MAX_X + 11);
    EXPECT_EQ(spin.cls, u"msctls_updown32");
    EXPECT_EQ(spin.text, u"");
    const uint32_t updown = style::kUdsAlignRight | style::kUdsAutoBuddy | style::kUdsSetBuddyInt | style::kUdsArrowKeys;
    EXPECT_EQ(spin.style & 0xFF, updown | style::kUdsNoThousands);
    EXPECT_EQ(ItemWithId(p, IDC_DEADZONE_X + 1).style & 0xFF, updown) << "dead zones keep thousands separators";
    EXPECT_EQ(DialogExStyle(*res::FindDialog(IDD_PADWRIGHT_DIALOG)), style::kExAppWindow);
    EXPECT_EQ(DialogExStyle(*res::FindDialog(IDD_ABOUTBOX)), 0u);
}

TEST(DialogTemplate, FeedbackLinkIsAClickableStaticWithoutMarkup) {
    const res::DialogTemplate& dialog = *res::FindDialog(IDD_PADWRIGHT_DIALOG);
    const res::ControlTemplate* link = nullptr;
    for (const res::ControlTemplate& c : dialog.controls)
        if (c.kind == res::ControlKind::Link) link = &c;
    ASSERT_NE(link, nullptr);
    const ControlDescription desc = DescribeControl(*link);
    EXPECT_EQ(desc.classAtom, kStaticAtom);
    EXPECT_TRUE(desc.style & style::kSsNotify) << "clicks must reach the host";
    EXPECT_TRUE(desc.style & style::kSsSunken);
    EXPECT_EQ(desc.style & 0x1F, style::kSsCenter);
    EXPECT_EQ(desc.text, std::string("\nIf you have feedback: '") + res::kFeedbackAddress +
                             "'\n\nHave Fun!\nThe Kestrel Team");
    EXPECT_EQ(ParseLinkMarkup(link->text).href, std::string("mailto:") + res::kFeedbackAddress);
}

TEST(LinkMarkup, TextsWithoutOrWithBrokenMarkupAreShownAsTheyStand) {
    EXPECT_EQ(ParseLinkMarkup("plain").text, "plain");
    EXPECT_EQ(ParseLinkMarkup("plain").href, "");
    EXPECT_EQ(ParseLinkMarkup(nullptr).text, "");
    EXPECT_EQ(ParseLinkMarkup("a <abbr>b</abbr>").text, "a <abbr>b</abbr>");
    EXPECT_EQ(ParseLinkMarkup("x <a href=\"y\">open").text, "x <a href=\"y\">open");
    EXPECT_EQ(ParseLinkMarkup("x <a href=\"y\">open").href, "");

    const LinkText two = ParseLinkMarkup("<a href=\"one\">1</a> and <a href=\"two\">2</a>.");
    EXPECT_EQ(two.text, "1 and 2.");
    EXPECT_EQ(two.href, "one");
    EXPECT_EQ(ParseLinkMarkup("<a>bare</a>").text, "bare");
}

TEST(Utf16, DecodesUtf8AndReplacesWhatIsBroken) {
    EXPECT_EQ(ToUtf16("Padwright"), u"Padwright");
    EXPECT_EQ(ToUtf16("\xC3\xA9t\xC3\xA9"), u"\u00E9t\u00E9");
    EXPECT_EQ(ToUtf16("\xF0\x9F\x8E\xAE"), u"\U0001F3AE");
    EXPECT_EQ(ToUtf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(ToUtf16("a\xC3"), u"a\uFFFD");
}

}  // namespace
