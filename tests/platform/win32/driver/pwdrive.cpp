// pwdrive: finds Padwright's windows and acts on them from another process, the way a user would:
// reads control texts by id, types into edits, clicks buttons, answers message boxes, opens the
// About box through the system menu. One action a call; the exit code says whether it held.
//
//   pwdrive wait-main [ms]                      the main dialog is up
//   pwdrive text ID [dialog]                    prints a control's text (dialog: main or about)
//   pwdrive wait-text ID TEXT [ms] [dialog]     waits until the control shows exactly TEXT
//   pwdrive wait-change ID [ms]                 waits until the control's text changes
//   pwdrive click ID [dialog]                   clicks a button
//   pwdrive wait-checked ID yes|no [ms]         waits until a check box is (not) ticked
//   pwdrive type ID TEXT                        selects an edit's text and types over it
//   pwdrive key ID up|down                      presses an arrow key in a control
//   pwdrive updown ID                           prints an up-down control's buddy id and range
//   pwdrive syscommand N                        picks system-menu command N on the main dialog
//   pwdrive post-registered NAME                posts registered message NAME to the main dialog
//   pwdrive wait-iconic yes|no [ms]             the main dialog is (not) minimised
//   pwdrive wait-menu [ms]                      a popup menu is open
//   pwdrive answer BUTTON TEXT [ms]             a message box whose text contains TEXT is up:
//                                               prints its text and presses ok, yes or no
//   pwdrive box TEXT [ms]                       as answer, but leaves the box open
//   pwdrive close-box TEXT [ms]                 as answer, but closes the box from its caption
//   pwdrive no-box [ms]                         no message box comes up within ms
//   pwdrive wait-gone [ms] [about]              no Padwright window (or no About box) is left
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "Padwright";
constexpr const char* kAboutTitle = "About Padwright";
constexpr int kPolledDevice = 1013;  // only the main dialog has it
constexpr DWORD kDefaultWait = 10000;

std::string ClassOf(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// Text of a window in another process: WM_GETTEXT is marshalled, GetWindowText would not ask it.
std::string TextOf(HWND hwnd) {
    std::vector<char> buffer(4096, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        return {};
    return std::string(buffer.data());
}

std::vector<HWND> TopLevelDialogs(const char* title) {
    struct Search {
        const char* title;
        std::vector<HWND> found;
    } search{title, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            char text[256] = "";
            GetWindowTextA(hwnd, text, sizeof(text));
            if (IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770" && std::strcmp(text, s->title) == 0)
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MainDialog() {
    for (HWND hwnd : TopLevelDialogs(kTitle))
        if (GetDlgItem(hwnd, kPolledDevice)) return hwnd;
    return nullptr;
}

HWND Dialog(const std::string& which) {
    if (which == "about") {
        const std::vector<HWND> found = TopLevelDialogs(kAboutTitle);
        return found.empty() ? nullptr : found.front();
    }
    return MainDialog();
}

// A message box of the program: captioned like the main dialog but without its controls.
HWND MessageBoxWindow() {
    for (HWND hwnd : TopLevelDialogs(kTitle))
        if (!GetDlgItem(hwnd, kPolledDevice)) return hwnd;
    return nullptr;
}

// A message box's text: the longest static text in it (the other static holds the icon).
std::string MessageBoxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != "Static") continue;
        std::string t = TextOf(child);
        if (t.size() > text.size()) text = std::move(t);
    }
    return text;
}

template <typename Probe>
bool WaitFor(DWORD ms, Probe probe) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (probe()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(50);
    }
}

DWORD Ms(int argc, char** argv, int index, DWORD fallback = kDefaultWait) {
    return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : fallback;
}

int Fail(const char* format, const std::string& a = {}, const std::string& b = {}) {
    std::fprintf(stderr, "pwdrive: ");
    std::fprintf(stderr, format, a.c_str(), b.c_str());
    std::fprintf(stderr, "\n");
    return 1;
}

HWND Control(const std::string& dialog, int id) {
    HWND hwnd = Dialog(dialog);
    return hwnd ? GetDlgItem(hwnd, id) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("no command given");
    const std::string command = argv[1];

    if (command == "wait-main") {
        if (!WaitFor(Ms(argc, argv, 2), [] { return MainDialog() != nullptr; }))
            return Fail("the main dialog did not come up");
        return 0;
    }
    if (command == "text" && argc >= 3) {
        HWND control = Control(argc > 3 ? argv[3] : "main", std::atoi(argv[2]));
        if (!control) return Fail("no control %s", argv[2]);
        std::printf("%s\n", TextOf(control).c_str());
        return 0;
    }
    if (command == "wait-text" && argc >= 4) {
        const std::string dialog = argc > 5 ? argv[5] : "main";
        const int id = std::atoi(argv[2]);
        const std::string want = argv[3];
        std::string last;
        if (!WaitFor(Ms(argc, argv, 4), [&] {
                HWND control = Control(dialog, id);
                last = control ? TextOf(control) : "<no control>";
                return last == want;
            }))
            return Fail("control %s shows \"%s\"", argv[2], last + "\", not \"" + want);
        return 0;
    }
    if (command == "wait-change" && argc >= 3) {
        const int id = std::atoi(argv[2]);
        HWND control = Control("main", id);
        if (!control) return Fail("no control %s", argv[2]);
        const std::string before = TextOf(control);
        std::string now;
        if (!WaitFor(Ms(argc, argv, 3), [&] { return (now = TextOf(control)) != before; }))
            return Fail("control %s stayed at \"%s\"", argv[2], before);
        std::printf("%s -> %s\n", before.c_str(), now.c_str());
        return 0;
    }
    if (command == "click" && argc >= 3) {
        HWND control = Control(argc > 3 ? argv[3] : "main", std::atoi(argv[2]));
        if (!control) return Fail("no button %s", argv[2]);
        // Posted, not sent: the click may open a message box, whose loop would hold a sent message.
        PostMessageA(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "type" && argc >= 4) {
        HWND edit = Control("main", std::atoi(argv[2]));
        if (!edit) return Fail("no edit %s", argv[2]);
        // Keystrokes in order through the edit's queue: select all, then one character each.
        PostMessageA(edit, EM_SETSEL, 0, -1);
        for (const char* c = argv[3]; *c; ++c) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
        return 0;
    }
    if (command == "wait-checked" && argc >= 4) {
        const int id = std::atoi(argv[2]);
        const LRESULT want = std::strcmp(argv[3], "yes") == 0 ? BST_CHECKED : BST_UNCHECKED;
        if (!WaitFor(Ms(argc, argv, 4), [&] {
                HWND box = Control("main", id);
                return box && SendMessageA(box, BM_GETCHECK, 0, 0) == want;
            }))
            return Fail("check box %s is not %s", argv[2], want == BST_CHECKED ? "ticked" : "clear");
        return 0;
    }
    if (command == "post-registered" && argc >= 3) {
        HWND main = MainDialog();
        if (!main) return Fail("no main dialog");
        // Registered messages are numbered system-wide: the program's number is ours too.
        PostMessageA(main, RegisterWindowMessageA(argv[2]), 0, 0);
        return 0;
    }
    if (command == "key" && argc >= 4) {
        HWND control = Control("main", std::atoi(argv[2]));
        if (!control) return Fail("no control %s", argv[2]);
        const WPARAM key = std::strcmp(argv[3], "up") == 0 ? VK_UP : VK_DOWN;
        PostMessageA(control, WM_KEYDOWN, key, 1);
        PostMessageA(control, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        return 0;
    }
    if (command == "updown" && argc >= 3) {
        HWND updown = Control("main", std::atoi(argv[2]));
        if (!updown) return Fail("no control %s", argv[2]);
        // Neither message carries a pointer, so both work across processes.
        HWND buddy = reinterpret_cast<HWND>(SendMessageA(updown, UDM_GETBUDDY, 0, 0));
        const LRESULT range = SendMessageA(updown, UDM_GETRANGE, 0, 0);
        std::printf("buddy %d range %d %d\n", buddy ? GetDlgCtrlID(buddy) : 0, static_cast<short>(HIWORD(range)),
                    static_cast<short>(LOWORD(range)));
        return 0;
    }
    if (command == "wait-iconic" && argc >= 3) {
        const bool want = std::strcmp(argv[2], "yes") == 0;
        if (!WaitFor(Ms(argc, argv, 3), [want] {
                HWND main = MainDialog();
                return main && (IsIconic(main) != FALSE) == want;
            }))
            return Fail(want ? "the main dialog is not minimised" : "the main dialog is still minimised");
        return 0;
    }
    if (command == "wait-menu") {
        if (!WaitFor(Ms(argc, argv, 2), [] {
                HWND menu = FindWindowA("#32768", nullptr);  // the popup menu class
                return menu && IsWindowVisible(menu);
            }))
            return Fail("no menu opened");
        return 0;
    }
    if (command == "syscommand" && argc >= 3) {
        HWND main = MainDialog();
        if (!main) return Fail("no main dialog");
        PostMessageA(main, WM_SYSCOMMAND, std::strtoul(argv[2], nullptr, 0), 0);
        return 0;
    }
    if ((command == "answer" && argc >= 4) || ((command == "box" || command == "close-box") && argc >= 3)) {
        const bool press = command == "answer";
        const bool close = command == "close-box";
        const std::string button = press ? argv[2] : "";
        const std::string want = argv[press ? 3 : 2];
        const int id = button == "yes" ? IDYES : button == "no" ? IDNO : IDOK;
        HWND box = nullptr;
        std::string text;
        if (!WaitFor(Ms(argc, argv, press ? 4 : 3), [&] {
                box = MessageBoxWindow();
                if (!box) return false;
                text = MessageBoxText(box);
                return !text.empty();
            }))
            return Fail("no message box came up (wanted one saying \"%s\")", want);
        std::printf("%s\n", text.c_str());
        if (text.find(want) == std::string::npos) return Fail("the message box says \"%s\", not \"%s\"", text, want);
        if (close) {
            PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (!WaitFor(kDefaultWait, [&] { return !IsWindow(box) || !IsWindowVisible(box); }))
                return Fail("the message box stayed open after closing it");
            return 0;
        }
        if (!press) return 0;
        HWND pressed = GetDlgItem(box, id);
        if (!pressed) return Fail("the message box has no %s button", button);
        PostMessageA(pressed, BM_CLICK, 0, 0);
        if (!WaitFor(kDefaultWait, [&] { return !IsWindow(box) || !IsWindowVisible(box); }))
            return Fail("the message box stayed open after %s", button);
        return 0;
    }
    if (command == "no-box") {
        std::string text;
        if (WaitFor(Ms(argc, argv, 2, 1500), [&] {
                HWND box = MessageBoxWindow();
                if (box) text = MessageBoxText(box);
                return box != nullptr;
            }))
            return Fail("a message box came up: \"%s\"", text);
        return 0;
    }
    if (command == "wait-gone") {
        const bool aboutOnly = argc > 3 && std::strcmp(argv[3], "about") == 0;
        if (!WaitFor(Ms(argc, argv, 2), [aboutOnly] {
                return TopLevelDialogs(kAboutTitle).empty() && (aboutOnly || TopLevelDialogs(kTitle).empty());
            }))
            return Fail(aboutOnly ? "the About box is still open" : "a Padwright window is still open");
        return 0;
    }
    return Fail("unknown command or missing arguments: %s", command);
}
