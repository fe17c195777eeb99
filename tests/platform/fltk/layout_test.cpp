// The FLTK host's window-system-free rules: placement from dialog units, the feedback link,
// wrapping, up-down steps and "&" prefixes. Message-box keys are tested on the host itself.
#include "platform/fltk/layout.h"

#include <gtest/gtest.h>

#include "res/templates.h"

namespace fltkhost {
namespace {

TEST(DialogUnits, NeighboursThatTouchInUnitsTouchInPixels) {
    const BaseUnits base = BaseUnitsForScale(1.0);
    // An edit at x 25 width 40 and its up-down at x 65; rows of the grid at odd y positions.
    const PixelRect edit = DialogRectToPixels(25, 125, 40, 12, base);
    const PixelRect spin = DialogRectToPixels(65, 125, 9, 10, base);
    EXPECT_EQ(edit.x + edit.w, spin.x);
    const PixelRect upper = DialogRectToPixels(231, 65, 40, 13, base);
    const PixelRect lower = DialogRectToPixels(231, 78, 40, 12, base);
    EXPECT_EQ(upper.y + upper.h, lower.y);
}

TEST(DialogUnits, ScaleFollowsTheScreenInQuarterStepsAndIgnoresNonsense) {
    EXPECT_DOUBLE_EQ(1.0, ScaleForDpi(96));
    EXPECT_DOUBLE_EQ(1.0, ScaleForDpi(72));    // never smaller than designed
    EXPECT_DOUBLE_EQ(1.25, ScaleForDpi(120));
    EXPECT_DOUBLE_EQ(1.5, ScaleForDpi(144));
    EXPECT_DOUBLE_EQ(2.0, ScaleForDpi(192));
    EXPECT_DOUBLE_EQ(1.0, ScaleForDpi(0));     // a screen that reports no size
    EXPECT_DOUBLE_EQ(1.0, ScaleForDpi(-5));
    EXPECT_DOUBLE_EQ(1.0, ScaleForDpi(25400));  // a screen that claims to be a millimetre wide
    const PixelRect m = DialogRectToPixels(0, 0, 392, 226, BaseUnitsForScale(ScaleForDpi(192)));
    EXPECT_EQ(1176, m.w);
    EXPECT_EQ(734, m.h);
    // The About box's icon is drawn at the size of its screen, not stretched from 32 pixels.
    EXPECT_EQ(32, IconSizeForScale(ScaleForDpi(96)));
    EXPECT_EQ(40, IconSizeForScale(ScaleForDpi(120)));
    EXPECT_EQ(48, IconSizeForScale(ScaleForDpi(144)));
}

TEST(LinkMarkup, FeedbackTextSplitsIntoTextLinkAndTarget) {
    const res::DialogTemplate* main = res::FindDialog(102);
    ASSERT_TRUE(main);
    const res::ControlTemplate* feedback = nullptr;
    for (const auto& c : main->controls)
        if (c.kind == res::ControlKind::Link) feedback = &c;
    ASSERT_TRUE(feedback);
    const LinkText link = ParseLinkMarkup(feedback->text);
    const std::string address = res::kFeedbackAddress;
    EXPECT_EQ("mailto:" + address, link.href);
    EXPECT_EQ(address, link.text.substr(link.linkBegin, link.linkEnd - link.linkBegin));
    EXPECT_EQ("\nIf you have feedback: '" + address + "'\n\nHave Fun!\nThe Kestrel Team", link.text);
}

TEST(LinkMarkup, TextWithoutCompleteMarkupIsShownAsItIs) {
    for (const char* text : {"plain", "<a href=\"x\">never closed", "", "</a> only"}) {
        const LinkText link = ParseLinkMarkup(text);
        EXPECT_EQ(text, link.text);
        EXPECT_EQ(link.linkBegin, link.linkEnd) << text;
        EXPECT_TRUE(link.href.empty()) << text;
    }
}

TEST(LinkMarkup, OnlyMailAndWebTargetsWithoutShellOrOptionTricksAreOpened) {
    EXPECT_TRUE(IsOpenableHref("mailto:padwright-feedback@example.org"));
    EXPECT_TRUE(IsOpenableHref("https://example.org/padwright"));
    EXPECT_FALSE(IsOpenableHref(""));
    EXPECT_FALSE(IsOpenableHref("--help"));
    EXPECT_FALSE(IsOpenableHref("file:///etc/passwd"));
    EXPECT_FALSE(IsOpenableHref("javascript:alert(1)"));
    EXPECT_FALSE(IsOpenableHref("mailto:a@b.c\nrm -rf"));
    EXPECT_FALSE(IsOpenableHref("mailto:a@b.c'; reboot"));
}

// Every character is 6 pixels wide.
int Fixed(std::string_view s) { return static_cast<int>(s.size()) * 6; }

std::vector<std::string> Lines(std::string_view text, int width) {
    std::vector<std::string> out;
    for (const TextLine& line : WrapText(text, width, Fixed))
        out.emplace_back(text.substr(line.begin, line.end - line.begin));
    return out;
}

TEST(Wrapping, BreaksAtBlanksAndLineBreaksKeepingEmptyLines) {
    EXPECT_EQ((std::vector<std::string>{"", "If you", "have", "", "Fun!"}), Lines("\nIf you have\n\nFun!", 40));
    EXPECT_EQ((std::vector<std::string>{"one two three"}), Lines("one two three", 200));
    const auto lines = WrapText("ab cd", 200, Fixed);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(30, lines[0].width);
}

TEST(Wrapping, AWordWiderThanTheLineStandsAloneAndNothingIsLost) {
    const std::string text = "mail 'padwright-feedback@example.org' now";
    EXPECT_EQ((std::vector<std::string>{"mail", "'padwright-feedback@example.org'", "now"}), Lines(text, 60));
    EXPECT_EQ((std::vector<std::string>{"x"}), Lines("x", 0));
    EXPECT_TRUE(Lines("", 50) == std::vector<std::string>{""});
}

TEST(UpDown, StepsWithinTheRangeAndWritesPlainIntegers) {
    EXPECT_EQ("13", SpinStep("12", -1000, 1655, 1));
    EXPECT_EQ("-1000", SpinStep("-999", -1000, 1655, -1));
    EXPECT_EQ("1655", SpinStep("1654", -1000, 1655, 1));
    EXPECT_EQ("1500", SpinStep("1499", -1000, 1655, 1));  // no thousands separator
    EXPECT_EQ(std::nullopt, SpinStep("1655", -1000, 1655, 1));
    EXPECT_EQ(std::nullopt, SpinStep("0", 0, 100, -1));
    EXPECT_EQ("1", SpinStep("", 0, 100, 1));       // what does not parse counts as 0
    EXPECT_EQ("0", SpinStep("-", 0, 100, -1));     // and is replaced by a number
    EXPECT_EQ("100", SpinStep("250", 0, 100, 1));  // out of range: brought back into it
    EXPECT_EQ("1655", SpinStep("99999999999999999999", -1000, 1655, 1));
    EXPECT_EQ("4", SpinStep("5", 100, 0, 1));  // inverted range steps the other way
}

TEST(Prefixes, AmpersandsGoAndDoubledOnesStay) {
    EXPECT_EQ("Next", StripMnemonic("&Next"));
    EXPECT_EQ("R&D", StripMnemonic("R&&D"));
    EXPECT_EQ("ends with ", StripMnemonic("ends with &"));
}

}  // namespace
}  // namespace fltkhost
