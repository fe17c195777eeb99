// A DialogHost that keeps every dialog in memory: controls built from the templates, and a test
// API to act as the user would (type, click, step up-downs, answer message boxes, let time pass)
// and to look at what the user would see.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/dialog_host.h"

namespace headless {

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::string text;
};

struct IconRecord {
    int id;
    int size;
};

struct PaintRecord {
    bool erasedBackground = false;  // WM_ICONERASEBKGND reached the host's default handling
    bool defaultPaint = false;      // the host painted the window itself
    int iconX = -1, iconY = -1;     // where an icon was drawn, if one was
    HICON icon = nullptr;
};

class HeadlessHost;

// One open dialog and its controls.
class Window {
public:
    // What the user sees
    bool Exists(int id) const;
    std::string Text(int id) const;
    bool Checked(int id) const;
    bool Enabled(int id) const;
    int FocusId() const;  // 0 when no control has the focus
    std::pair<int, int> Selection(int id) const;
    std::pair<int, int> SpinRange(int id) const;
    const std::vector<MenuItem>& SystemMenu() const { return m_systemMenu; }
    HICON Icon(bool big) const { return big ? m_bigIcon : m_smallIcon; }
    const std::map<UINT_PTR, UINT>& Timers() const { return m_timers; }
    bool Ended() const { return m_ended; }
    INT_PTR Result() const { return m_result; }
    int TemplateId() const { return m_template->id; }
    HWND Owner() const { return m_owner; }  // the window this dialog is modal to
    HWND Handle() const { return reinterpret_cast<HWND>(const_cast<Window*>(this)); }
    HWND ControlHandle(int id) const;

    // What the user does. A disabled control takes none of it: the action does nothing.
    void Type(int id, const std::string& chars);        // one keystroke a character, at the caret
    void Paste(int id, const std::string& text);        // replaces the whole text in one change
    void Backspace(int id);
    void Click(int id);                                 // push buttons and check boxes
    void Spin(int id, int delta);                       // up-down arrows, delta steps (+ up)
    void PressEnter();
    void PressEscape();
    void SysCommand(UINT command);
    void Minimise(bool minimised);
    PaintRecord Paint();                                // WM_PAINT, as the system sends it
    void Tick(int count = 1);                           // let time pass: every timer fires `count` times
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

private:
    friend class HeadlessHost;
    struct Control {
        const res::ControlTemplate* tmpl;
        Window* window;
        std::string text;
        UINT check = 0;
        bool enabled = true;
        int selStart = 0, selEnd = 0;
        int spinLower = 100, spinUpper = 0;  // an up-down control's range before it is set
    };

    Window(HeadlessHost& host, const res::DialogTemplate& tmpl, HWND owner, DialogWindow& proc);
    Control* Find(int id);
    const Control& Get(int id) const;
    void ChangeEdit(Control& edit, int start, int end, const std::string& insert);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Notify(Control& control, UINT code);
    // Gives `to` the focus; an edit losing it reports EN_KILLFOCUS, as Windows' edit control does.
    void MoveFocus(Control* to);
    // The control `id` of `kind` where the user can act on it; null when it is disabled.
    Control* Usable(int id, res::ControlKind kind, res::ControlKind other, const char* what);
    void AfterUserAction();

    HeadlessHost& m_host;
    const res::DialogTemplate* m_template;
    HWND m_owner;
    DialogWindow& m_proc;
    std::vector<std::unique_ptr<Control>> m_controls;
    Control* m_focus = nullptr;
    std::vector<MenuItem> m_systemMenu;
    bool m_hasSystemMenu;
    HICON m_bigIcon = nullptr, m_smallIcon = nullptr;
    std::map<UINT_PTR, UINT> m_timers;
    bool m_iconic = false;
    bool m_ended = false;
    INT_PTR m_result = 0;
    PaintRecord* m_painting = nullptr;
};

class HeadlessHost : public DialogHost {
public:
    using Driver = std::function<void(Window&)>;
    using MessageBoxHandler = std::function<int(const MessageBoxRecord&)>;

    HeadlessHost();
    ~HeadlessHost() override;

    // The user's part in the next modal run of template `templateId`: called once the dialog is
    // initialised. A dialog the driver leaves open is closed with Escape; one without a driver, too.
    void OnDialog(int templateId, Driver driver);
    // Answers to questions (Yes/No boxes), used in order; a question with none queued gets IDNO and
    // is counted in UnansweredQuestions. Boxes that only inform are answered IDOK. A handler, when
    // set, answers every box instead.
    void Answer(int answer) { m_answers.push_back(answer); }
    void SetMessageBoxHandler(MessageBoxHandler handler) { m_boxHandler = std::move(handler); }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return m_boxes; }
    int UnansweredQuestions() const { return m_unanswered; }

    Window* Top() { return m_open.empty() ? nullptr : m_open.back(); }
    const std::vector<Window*>& OpenWindows() const { return m_open; }
    std::vector<int> DialogsRun() const { return m_dialogsRun; }
    void DeliverPosted();  // runs the posted-message queue, as an idle message loop would

    // DialogHost
    HINSTANCE InstanceHandle() override;
    HICON LoadIconResource(int id, int cx, int cy) override;
    int GetSystemMetrics(int index) override;
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    void BroadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR RunModal(const res::DialogTemplate& tmpl, HWND owner, DialogWindow& proc) override;
    void EndDialog(HWND dialog, INT_PTR result) override;
    HWND GetDlgItem(HWND dialog, int id) override;
    int GetText(HWND wnd, char* buffer, int maxCount) override;
    int GetTextLength(HWND wnd) override;
    void SetText(HWND wnd, const char* text) override;
    UINT GetCheck(HWND button) override;
    void SetCheck(HWND button, UINT state) override;
    void SetFocus(HWND wnd) override;
    BOOL EnableControl(HWND wnd, BOOL enable) override;
    void SetEditSel(HWND edit, int start, int end) override;
    void SetSpinRange(HWND updown, int lower, int upper) override;
    LRESULT Send(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    HMENU GetSystemMenu(HWND wnd, BOOL revert) override;
    BOOL AppendMenuItem(HMENU menu, UINT flags, UINT_PTR id, const char* text) override;
    void SetIcon(HWND wnd, HICON icon, BOOL big) override;
    BOOL IsIconic(HWND wnd) override;
    void GetClientRect(HWND wnd, RECT* rect) override;
    HDC BeginPaint(HWND wnd) override;
    void EndPaint(HWND wnd, HDC dc) override;
    void DrawIcon(HDC dc, int x, int y, HICON icon) override;
    UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse) override;

    const IconRecord* IconInfo(HICON icon) const;
    int TextWrites() const { return m_textWrites; }  // control texts changed by the program

private:
    friend class Window;
    Window* WindowOf(HWND hwnd) const;
    Window::Control* ControlOf(HWND hwnd) const;

    std::map<int, std::deque<Driver>> m_drivers;
    std::deque<int> m_answers;
    MessageBoxHandler m_boxHandler;
    std::vector<MessageBoxRecord> m_boxes;
    int m_unanswered = 0;
    std::vector<Window*> m_open;
    std::vector<int> m_dialogsRun;
    struct Posted {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::deque<Posted> m_posted;
    bool m_delivering = false;
    std::vector<std::unique_ptr<IconRecord>> m_icons;
    int m_textWrites = 0;
};

}  // namespace headless
