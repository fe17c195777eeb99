// The message box: its window and keys, its icon and text, and how it is laid out and run.
#include "platform/fltk/fltk_message_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/fltk/arial_metrics.h"
#include "platform/fltk/fltk_controls.h"
#include "platform/fltk/layout.h"

namespace fltkhost {

namespace {

// The exclamation sign of message boxes: a yellow triangle with a black "!".
class ExclamationIcon : public Fl_Widget {
public:
    ExclamationIcon(int x, int y, int size) : Fl_Widget(x, y, size, size) {}
    void draw() override {
        const int s = w();
        const int left = x(), top = y() + s / 16, right = x() + s - 1, bottom = y() + s - 1 - s / 16;
        fl_color(fl_rgb_color(255, 220, 0));
        fl_polygon(left, bottom, right, bottom, (left + right) / 2, top);
        fl_color(FL_BLACK);
        fl_loop(left, bottom, right, bottom, (left + right) / 2, top);
        fl_font(FL_HELVETICA_BOLD, s * 5 / 8);
        fl_draw("!", x(), y() + s / 4, s, s * 3 / 4, FL_ALIGN_CENTER, nullptr, 0);
    }
};

// Plain text of a message box: line breaks kept, nothing read as a symbol or mnemonic.
class MessageText : public Fl_Widget {
public:
    MessageText(const char* text, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_text(text) {}
    void draw() override {
        fl_font(labelfont(), labelsize());
        fl_color(FL_FOREGROUND_COLOR);
        fl_draw(m_text.c_str(), x(), y(), w(), h(), FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, nullptr, 0);
    }

private:
    std::string m_text;
};

// The message box window: the keys of a Windows message box, and no way out of a question but an
// answer.
class MessageBoxWin : public Fl_Double_Window {
public:
    MessageBoxWin(int w, int h, UINT type) : Fl_Double_Window(w, h), m_type(type) {}
    int answer = 0;
    Fl_Widget* icon = nullptr;
    Fl_Widget* text = nullptr;
    std::vector<std::pair<Fl_Widget*, int>> buttons;

    int handle(int event) override {
        if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
            const int key = Fl::event_key();
            int given = 0;
            if (key == FL_Escape) {
                given = MessageBoxAnswer(m_type, BoxKey::Escape, Focused());
                if (given) answer = given;
                return 1;  // never the window's own close on Escape
            }
            if (IsEnterKey(key)) {
                answer = MessageBoxAnswer(m_type, BoxKey::Enter, Focused());
                return 1;
            }
            const char* typed = Fl::event_text();
            if ((Fl::event_state() & (FL_CTRL | FL_META)) == 0 && typed && typed[0] && !typed[1]) {
                given = MessageBoxAnswer(m_type, BoxKey::Char, Focused(), typed[0]);
                if (given) {
                    answer = given;
                    return 1;
                }
            }
        }
        return Fl_Double_Window::handle(event);
    }
    void Close() {
        if (const int given = MessageBoxAnswer(m_type, BoxKey::Close, Focused())) answer = given;
    }

private:
    int Focused() const {
        for (const auto& [widget, id] : buttons)
            if (Fl::focus() == widget) return id;
        return 0;
    }
    UINT m_type;
};

// Puts the box's parts where `l` says, in the font of `fontSize`, centred on the owner, or on the
// screen when there is none yet.
void Place(MessageBoxWin& box, const MessageBoxLayout& l, int fontSize, Fl_Window* owner) {
    int x = 0, y = 0;
    if (owner && owner->shown()) {
        x = owner->x() + (owner->w() - l.width) / 2;
        y = owner->y() + (owner->h() - l.height) / 2;
    } else {
        int sx, sy, sw, sh;
        Fl::screen_xywh(sx, sy, sw, sh);
        x = sx + (sw - l.width) / 2;
        y = sy + (sh - l.height) / 2;
    }
    box.resize(x, y, l.width, l.height);
    box.icon->resize(l.margin, l.margin, l.iconSize, l.iconSize);
    box.text->resize(l.textX, l.textY, l.text.w + 1, l.text.h);
    box.text->labelsize(fontSize);
    int left = l.buttonsX;
    for (const auto& [button, id] : box.buttons) {
        button->resize(left, l.buttonY, l.buttonW, l.buttonH);
        button->labelsize(fontSize);
        left += l.buttonW + l.gap;
    }
}

}  // namespace

TextExtent MeasureInFont(const char* text, int fontSize, int maxWidth) {
    fl_font(kFont, fontSize);
    TextExtent extent{maxWidth, 0};
    fl_measure(text, extent.w, extent.h, 0);
    return extent;
}

int RunMessageBox(const char* text, const char* caption, UINT type, double scale, const BoxFont& font,
                  Fl_Window* owner) {
    const bool asks = (type & MB_TYPEMASK) == MB_YESNO;
    const char* message = text ? text : "";
    const int buttonCount = asks ? 2 : 1;
    // Laid out from Arial's metrics when the font is not open yet, so that the box maps before
    // fontconfig loads; measured in the font the system gives once it has.
    const bool early = font.predicted > 0 && ArialKnows(message);
    int fontSize = early ? font.predicted : font.size();
    const auto layOut = [&](int size, bool fromMetrics) {
        return LayoutMessageBox(buttonCount, scale, [&](int maxWidth) {
            return fromMetrics ? ArialTextExtent(message, size, maxWidth) : MeasureInFont(message, size, maxWidth);
        });
    };
    MessageBoxLayout layout = layOut(fontSize, early);

    MessageBoxWin box(layout.width, layout.height, type);
    box.copy_label(caption ? caption : "");
    box.icon = new ExclamationIcon(0, 0, 1);
    box.text = new MessageText(message, 0, 0, 1, 1);
    box.text->labelfont(kFont);
    struct Choice {
        const char* text;
        int id;
    };
    const std::vector<Choice> choices = asks ? std::vector<Choice>{{"&Yes", IDYES}, {"&No", IDNO}}
                                             : std::vector<Choice>{{"OK", IDOK}};
    for (const Choice& choice : choices) {
        auto* b = new PushButton(0, 0, 1, 1, choice.id != IDNO);
        b->copy_label(choice.text);
        b->labelfont(kFont);
        b->callback([](Fl_Widget* w, void* data) {
            auto* win = static_cast<MessageBoxWin*>(w->window());
            win->answer = static_cast<int>(reinterpret_cast<intptr_t>(data));
        }, reinterpret_cast<void*>(static_cast<intptr_t>(choice.id)));
        box.buttons.emplace_back(b, choice.id);
    }
    box.end();
    box.callback([](Fl_Widget* w, void*) { static_cast<MessageBoxWin*>(w)->Close(); });
    Place(box, layout, fontSize, owner);
    box.set_modal();
    box.show();
    if (early) {
        XFlush(fl_display);  // the map leaves before the fonts load
        const int measuredSize = font.size();
        const MessageBoxLayout measured = layOut(measuredSize, false);
        if (measuredSize != fontSize || measured != layout) {
            fontSize = measuredSize;
            layout = measured;
            Place(box, layout, fontSize, owner);
        }
    }
    ShowKeyboardFocus();
    box.buttons.front().first->take_focus();
    while (!box.answer && box.shown()) Fl::wait();
    box.hide();
    // A question is never taken as answered yes unless the user said so.
    if (!box.answer) return asks ? IDNO : IDOK;
    return box.answer;
}

}  // namespace fltkhost
