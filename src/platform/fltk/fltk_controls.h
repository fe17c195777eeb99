// The Windows-look controls of the FLTK host: static text, group frame, icon, push button, check
// box, edit, up-down and link, each drawn and answering the mouse and keys as its Windows control.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>

#include <string>
#include <string_view>
#include <vector>

#include "platform/fltk/fltk_host_impl.h"

namespace fltkhost {

// FLTK reads "@" in labels as a symbol; template texts mean the character.
std::string LabelText(std::string_view text);
bool NoModifiers();  // neither Ctrl, Alt nor Meta is held
bool IsEnterKey(int key);
// The keyboard focus shows, as on Windows, whatever the user's FLTK preferences say. Called once a
// window is shown: setting it reads those preferences (two files), which the first window's map
// need not wait for.
void ShowKeyboardFocus();

// Static text: label, value field or the polled-device line. Opaque, so that a change repaints
// only the control itself, and of that only the inside of its frame.
class TextBox : public Fl_Widget {
public:
    TextBox(Control& c, int x, int y, int w, int h);
    void TextChanged();  // after the control's text changed
    void draw() override;

private:
    Control& m_c;
};

// A framed group with its caption breaking the top line; draws no background of its own.
class GroupFrame : public Fl_Widget {
public:
    GroupFrame(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) {}
    void draw() override;

private:
    Control& m_c;
};

class IconBox : public Fl_Widget {
public:
    IconBox(const Icon* icon, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_icon(icon) {}
    void draw() override;

private:
    const Icon* m_icon;
};

// Push buttons answer the left button only (the right one opens the dialog's menu). The default
// button wears a dark frame, which moves to whichever push button has the focus.
class PushButton : public Fl_Button {
public:
    PushButton(int x, int y, int w, int h, bool isDefault);
    int handle(int event) override;
    void draw() override;

private:
    bool Framed() const;
    void RedrawFrames();
    bool m_default;
};

class CheckBox : public Fl_Check_Button {
public:
    CheckBox(int x, int y, int w, int h) : Fl_Check_Button(x, y, w, h) {}
    int handle(int event) override;
};

// A single-line edit; Up and Down step the up-down control bound to it.
class EditBox : public Fl_Input {
public:
    EditBox(Control& c, int x, int y, int w, int h) : Fl_Input(x, y, w, h), m_c(c) {}
    int handle(int event) override;

private:
    Control& m_c;
};

// The up-down control: two arrow halves; holding one repeats the step.
class SpinBox : public Fl_Widget {
public:
    SpinBox(Control& c, int x, int y, int w, int h) : Fl_Widget(x, y, w, h), m_c(c) { clear_visible_focus(); }
    ~SpinBox() override;
    int handle(int event) override;
    void draw() override;

private:
    void Release();
    static void RepeatCb(void* data);
    void DrawHalf(int top, int height, bool down, bool up);

    Control& m_c;
    int m_pressed = 0;
};

// Static text with one mail or web link in it, wrapped and centred like the other statics.
class LinkBox : public Fl_Widget {
public:
    LinkBox(Control& c, int x, int y, int w, int h);
    void Parse() { m_link = ParseLinkMarkup(m_c.text); }  // after the control's text changed
    void draw() override;
    int handle(int event) override;

private:
    bool OverLink() const;

    Control& m_c;
    LinkText m_link;
    std::vector<PixelRect> m_hits;
};

}  // namespace fltkhost
