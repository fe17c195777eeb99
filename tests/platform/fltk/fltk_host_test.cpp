// The FLTK host on a real X display (run through with_xvfb.sh): what reaches the dialog when the
// user acts, what does not when the program acts, timers and posted messages around modal loops,
// message-box keys, what gets repainted and the dialog font's size.
#include "platform/fltk/fltk_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/fltk/fltk_driver.h"
#include "platform/fltk/arial_metrics.h"
#include "platform/fltk/fltk_message_box.h"
#include "platform/fltk/layout.h"
#include "res/resource.h"
#include "res/templates.h"

namespace fltkhost {
namespace {

namespace drv = driver;

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A dialog that records what it hears and runs `script` from the event loop once it is shown.
class Recorder : public DialogWindow {
public:
    explicit Recorder(FltkHost& host) : host(host) {}

    FltkHost& host;
    HWND hwnd = nullptr;
    std::vector<Message> heard;
    std::function<void()> script;
    std::function<void(const Message&)> onMessage;

    bool HostMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_INITDIALOG) {
            hwnd = h;
            drv::After(0.05, [this] {
                if (script) script();
                host.EndDialog(hwnd, 42);
            });
            result = TRUE;
            return true;
        }
        heard.push_back({message, wParam, lParam});
        if (onMessage) onMessage(heard.back());
        return false;
    }

    INT_PTR Run(int templateId, HWND owner = nullptr) {
        return host.RunModal(*res::FindDialog(templateId), owner, *this);
    }
    HWND Item(int id) { return host.GetDlgItem(hwnd, id); }
    std::string Text(int id) {
        char buffer[64];
        host.GetText(Item(id), buffer, sizeof(buffer));
        return buffer;
    }
    std::vector<Message> Commands() {
        std::vector<Message> out;
        for (const Message& m : heard)
            if (m.message == WM_COMMAND) out.push_back(m);
        heard.clear();
        return out;
    }
};

bool Is(const Message& m, UINT code, int id, HWND control) {
    return m.message == WM_COMMAND && HIWORD(m.wParam) == code && LOWORD(m.wParam) == id &&
           m.lParam == reinterpret_cast<LPARAM>(control);
}

class FltkHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (with_xvfb.sh)";
    }
    FltkHost host;
    Recorder dialog{host};
};

TEST_F(FltkHostTest, MainDialogHasItsSizeUpDownsSitInTheirEditsAndTheFirstTabStopHasTheFocus) {
    dialog.script = [&] {
        const drv::Rect window = drv::WindowRect(IDD_PADWRIGHT_DIALOG);
        EXPECT_EQ(588, window.w);
        EXPECT_EQ(367, window.h);
        const drv::Rect edit = drv::ControlRect(IDD_PADWRIGHT_DIALOG, 1029);
        const drv::Rect spin = drv::ControlRect(IDD_PADWRIGHT_DIALOG, 1030);
        EXPECT_EQ(edit.x + edit.w, spin.x);
        EXPECT_EQ(346 + 60, spin.x + spin.w);  // the edit's own right edge, 231 + 40 dialog units
        EXPECT_EQ(edit.y, spin.y);
        EXPECT_EQ(edit.h, spin.h);
        EXPECT_EQ(IDC_DEADZONE_X, drv::FocusedControl(IDD_PADWRIGHT_DIALOG));
        // Tab follows the template and passes over statics and up-down controls.
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kTab);
        EXPECT_EQ(IDC_DEADZONE_X + 2, drv::FocusedControl(IDD_PADWRIGHT_DIALOG));
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kTab, drv::kShift);
        EXPECT_EQ(IDC_DEADZONE_X, drv::FocusedControl(IDD_PADWRIGHT_DIALOG));
        host.SetFocus(dialog.Item(IDC_DEADZONE_X + 10));
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kTab);
        EXPECT_EQ(IDC_NEXT, drv::FocusedControl(IDD_PADWRIGHT_DIALOG));
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kTab);
        EXPECT_EQ(IDC_CALIBRATED_XY, drv::FocusedControl(IDD_PADWRIGHT_DIALOG));
    };
    EXPECT_EQ(42, dialog.Run(IDD_PADWRIGHT_DIALOG));
}

TEST_F(FltkHostTest, TheDialogFontIsTheLargestWhoseAverageCharacterFitsTheBaseUnitFoundFromAFewSizes) {
    // The rule applied to every size from 6 to 64, against the host's search, at common dpis.
    auto everySize = [](double baseX) {
        int largest = 6;
        for (int size = 6; size <= 64; ++size)
            if (DialogFontAverageWidth(size) <= baseX) largest = size;
        return largest;
    };
    for (const double dpi : {96.0, 120.0, 144.0, 192.0}) {
        const double baseX = BaseUnitsForScale(ScaleForDpi(dpi)).x;
        int measured = 0;
        const int found = DialogFontSize(baseX, [&measured](int size) {
            ++measured;
            return DialogFontAverageWidth(size);
        });
        EXPECT_EQ(everySize(baseX), found) << dpi << " dpi";
        EXPECT_LE(measured, 4) << dpi << " dpi";
        // The first box is laid out from Arial's metrics before any font opens: on this system's
        // fonts, the same size and the same layout as measuring gives.
        EXPECT_EQ(found, DialogFontSize(baseX, ArialAverageWidth)) << dpi << " dpi";
        const double scale = ScaleForDpi(dpi);
        std::string wrapped = res::FindString(IDS_WARNING);  // one paragraph, wider than any box
        std::replace(wrapped.begin(), wrapped.end(), '\n', ' ');
        for (const char* text : {res::FindString(IDS_WARNING), wrapped.c_str(), "Proceed?", "Line one\nline two\n"}) {
            auto layOut = [&](auto measure) { return LayoutMessageBox(1, scale, measure); };
            EXPECT_EQ(layOut([&](int maxW) { return MeasureInFont(text, found, maxW); }),
                      layOut([&](int maxW) { return ArialTextExtent(text, found, maxW); }))
                << dpi << " dpi: " << text;
        }
    }
    // The dialog shows it, at the dpi of the test's X server.
    dialog.script = [&] {
        EXPECT_EQ(everySize(BaseUnitsForScale(ScaleForDpi(96)).x), drv::ControlFontSize(IDD_PADWRIGHT_DIALOG, IDC_NEXT));
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

TEST_F(FltkHostTest, ControlsReportWhatTheUserDoesAndNothingTheProgramDoes) {
    dialog.script = [&] {
        HWND edit = dialog.Item(1029);
        host.SetText(edit, "12");
        host.SetEditSel(edit, 0, -1);
        host.SetCheck(dialog.Item(1016), 1);
        host.SetCheck(dialog.Item(1016), 0);
        EXPECT_TRUE(dialog.Commands().empty()) << "the program's own changes are not notified";

        host.SetFocus(edit);
        const auto left = dialog.Commands();
        ASSERT_EQ(1u, left.size());
        EXPECT_TRUE(Is(left[0], EN_KILLFOCUS, IDC_DEADZONE_X, dialog.Item(IDC_DEADZONE_X))) << "as on Windows";
        drv::Type(IDD_PADWRIGHT_DIALOG, "7");
        drv::Key(IDD_PADWRIGHT_DIALOG, 0xff08 /* BackSpace */);
        auto heard = dialog.Commands();
        ASSERT_EQ(4u, heard.size());
        EXPECT_TRUE(Is(heard[0], EN_UPDATE, 1029, edit));
        EXPECT_TRUE(Is(heard[1], EN_CHANGE, 1029, edit));
        EXPECT_TRUE(Is(heard[2], EN_UPDATE, 1029, edit));
        EXPECT_EQ("", dialog.Text(1029));

        // The focus leaving the edit ends its edit before the click lands, as on Windows.
        drv::ClickControl(IDD_PADWRIGHT_DIALOG, 1016, 0.2);
        drv::ClickControl(IDD_PADWRIGHT_DIALOG, IDC_NEXT);
        heard = dialog.Commands();
        ASSERT_EQ(3u, heard.size());
        EXPECT_TRUE(Is(heard[0], EN_KILLFOCUS, 1029, edit));
        EXPECT_TRUE(Is(heard[1], BN_CLICKED, 1016, dialog.Item(1016)));
        EXPECT_EQ(1u, host.GetCheck(dialog.Item(1016)));
        EXPECT_TRUE(Is(heard[2], BN_CLICKED, IDC_NEXT, dialog.Item(IDC_NEXT)));

        // A disabled edit and check box take no input.
        EXPECT_FALSE(host.EnableControl(edit, FALSE));
        EXPECT_FALSE(host.EnableControl(dialog.Item(1016), FALSE));
        drv::ClickControl(IDD_PADWRIGHT_DIALOG, 1029);
        drv::Type(IDD_PADWRIGHT_DIALOG, "5");
        drv::ClickControl(IDD_PADWRIGHT_DIALOG, 1016, 0.2);
        EXPECT_TRUE(dialog.Commands().empty());
        EXPECT_EQ("", dialog.Text(1029));
        EXPECT_EQ(1u, host.GetCheck(dialog.Item(1016)));
        EXPECT_TRUE(host.EnableControl(edit, TRUE)) << "it was disabled";
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

TEST_F(FltkHostTest, UpDownStepsItsBuddyWithinTheRangeAsTheUsersChange) {
    dialog.script = [&] {
        host.SetSpinRange(dialog.Item(1030), -1000, 1655);
        host.SetText(dialog.Item(1029), "1655");
        host.SetFocus(dialog.Item(1029));
        dialog.Commands();  // the focus left the first edit
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kUp);
        EXPECT_TRUE(dialog.Commands().empty()) << "no step past the top";
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kDown);
        EXPECT_EQ("1654", dialog.Text(1029));
        drv::ClickControl(IDD_PADWRIGHT_DIALOG, 1030, 0.5, 0.25);  // the upper arrow
        EXPECT_EQ("1655", dialog.Text(1029));
        const auto heard = dialog.Commands();
        ASSERT_EQ(4u, heard.size());
        EXPECT_TRUE(Is(heard[0], EN_UPDATE, 1029, dialog.Item(1029)));
        EXPECT_TRUE(Is(heard[2], EN_UPDATE, 1029, dialog.Item(1029)));
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

TEST_F(FltkHostTest, EscapeEnterMnemonicsAndTheCloseButtonSendTheDialogManagersCommands) {
    dialog.script = [&] {
        host.SetFocus(dialog.Item(1029));
        dialog.Commands();  // the focus left the first edit
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kEscape);
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kEnter);       // no default button: IDOK from no control
        drv::Key(IDD_PADWRIGHT_DIALOG, 'n', drv::kAlt, "n");  // "&Next", from inside an edit
        host.SetFocus(dialog.Item(IDC_NEXT));
        drv::Key(IDD_PADWRIGHT_DIALOG, drv::kEnter);       // Enter presses the focused push button
        drv::Close(IDD_PADWRIGHT_DIALOG);
        const auto heard = dialog.Commands();
        ASSERT_EQ(6u, heard.size());
        EXPECT_TRUE(Is(heard[0], BN_CLICKED, IDCANCEL, dialog.Item(IDCANCEL)));
        EXPECT_TRUE(Is(heard[1], BN_CLICKED, IDOK, nullptr));
        // The mnemonic presses the button as a click does, which takes the focus first.
        EXPECT_TRUE(Is(heard[2], EN_KILLFOCUS, 1029, dialog.Item(1029)));
        EXPECT_TRUE(Is(heard[3], BN_CLICKED, IDC_NEXT, dialog.Item(IDC_NEXT)));
        EXPECT_TRUE(Is(heard[4], BN_CLICKED, IDC_NEXT, dialog.Item(IDC_NEXT)));
        EXPECT_TRUE(Is(heard[5], 0, IDCANCEL, nullptr));  // SC_CLOSE, by default handling
        EXPECT_EQ("", dialog.Text(1029)) << "Alt+N typed into the edit";
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);

    Recorder about{host};
    HWND ok = nullptr;
    about.script = [&] {
        ok = about.Item(IDOK);
        drv::Key(IDD_ABOUTBOX, drv::kEnter);  // the default push button
    };
    about.Run(IDD_ABOUTBOX);
    const auto heard = about.Commands();
    ASSERT_EQ(1u, heard.size());
    EXPECT_TRUE(Is(heard[0], BN_CLICKED, IDOK, ok));
}

TEST_F(FltkHostTest, MessageBoxesAnswerTheKeysOfWindowsAndAQuestionCannotBeDismissed) {
    dialog.script = [&] {
        drv::After(0.05, [] { drv::ModalKey(drv::kEscape); });
        EXPECT_EQ(IDOK, host.ShowMessageBox(dialog.hwnd, "Please enter an integer.", "Padwright", MB_OK | MB_ICONEXCLAMATION));
        drv::After(0.05, [] { drv::ModalClose(); });
        EXPECT_EQ(IDOK, host.ShowMessageBox(dialog.hwnd, "informs", "Padwright", MB_OK));

        std::vector<std::string> stillOpen;
        drv::After(0.05, [&] {
            drv::ModalKey(drv::kEscape);
            drv::ModalClose();
            drv::After(0.05, [&] {
                stillOpen.push_back(drv::ModalTitle());
                drv::ModalKey('n', "n");
            });
        });
        EXPECT_EQ(IDNO, host.ShowMessageBox(dialog.hwnd, "Proceed?", "Padwright", MB_YESNO | MB_ICONEXCLAMATION));
        EXPECT_EQ(std::vector<std::string>{"Padwright"}, stillOpen);

        drv::After(0.05, [] { drv::ModalKey(drv::kEnter); });
        EXPECT_EQ(IDYES, host.ShowMessageBox(dialog.hwnd, "Proceed?", "Padwright", MB_YESNO));
        drv::After(0.05, [] {
            drv::ModalKey(drv::kTab);
            drv::ModalKey(drv::kEnter);
        });
        EXPECT_EQ(IDNO, host.ShowMessageBox(dialog.hwnd, "Proceed?", "Padwright", MB_YESNO));

        // A box laid out from a predicted font size ends as the measured size lays it out.
        const BoxFont measured{[] { return 13; }}, mispredicted{[] { return 13; }, 6};
        std::vector<std::array<int, 4>> shown;
        for (const BoxFont& font : {measured, mispredicted}) {
            drv::After(0.05, [&] {
                const drv::Rect r = drv::ModalRect();
                shown.push_back({r.x, r.y, r.w, r.h});
                drv::ModalKey(drv::kEnter);
            });
            RunMessageBox(res::FindString(IDS_WARNING), "Padwright", MB_OK, 1.0, font, nullptr);
        }
        ASSERT_EQ(2u, shown.size());
        EXPECT_EQ(shown[0], shown[1]);
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

TEST_F(FltkHostTest, TimerTicksKeepComingDuringModalLoopsButNeverOverlap) {
    int ticks = 0, depth = 0, deepest = 0, ticksDuringBox = 0;
    bool boxFromTick = false;
    dialog.onMessage = [&](const Message& m) {
        if (m.message != WM_TIMER) return;
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (boxFromTick) {
            boxFromTick = false;
            drv::After(0.3, [] { drv::ModalKey(drv::kEnter); });
            host.ShowMessageBox(dialog.hwnd, "from a tick", "Padwright", MB_OK);
        }
        --depth;
    };
    dialog.script = [&] {
        EXPECT_EQ(UINT_PTR{IDT_REFRESH}, host.SetTimer(dialog.hwnd, IDT_REFRESH, 50));
        drv::Pump(0.5);
        EXPECT_GE(ticks, 5);
        EXPECT_LE(ticks, 11);

        const int before = ticks;
        drv::After(0.4, [] { drv::ModalKey(drv::kEnter); });
        host.ShowMessageBox(dialog.hwnd, "a box the user opened", "Padwright", MB_OK);
        ticksDuringBox = ticks - before;
        EXPECT_GE(ticksDuringBox, 4) << "the monitor must go on while a message box is open";

        boxFromTick = true;
        drv::Pump(0.6);
        EXPECT_EQ(1, deepest) << "a tick started while another was still running";
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

TEST_F(FltkHostTest, BroadcastsArriveFromTheLoopAfterTheSenderReturnsAlsoDuringAMessageBox) {
    const UINT registered = 0xC123;
    std::vector<std::string> order;
    dialog.onMessage = [&](const Message& m) {
        if (m.message == registered) order.push_back("delivered");
    };
    dialog.script = [&] {
        host.BroadcastMessage(registered, 0, 0);
        order.push_back("sent");
        drv::Pump(0.1);
        drv::After(0.3, [] { drv::ModalKey(drv::kEnter); });
        drv::After(0.1, [&] { host.BroadcastMessage(registered, 0, 0); });
        host.ShowMessageBox(dialog.hwnd, "waiting", "Padwright", MB_OK);
        order.push_back("box answered");
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
    EXPECT_EQ((std::vector<std::string>{"sent", "delivered", "delivered", "box answered"}), order);
}

TEST_F(FltkHostTest, OnlyWhatChangedIsRepaintedAndTheSameTextRepaintsNothing) {
    dialog.script = [&] {
        HWND value = dialog.Item(1000);
        host.SetText(value, "00412");
        drv::Flush();
        host.SetText(value, "00412");
        host.SetCheck(dialog.Item(1016), host.GetCheck(dialog.Item(1016)));
        for (const auto& c : res::FindDialog(IDD_PADWRIGHT_DIALOG)->controls)
            EXPECT_FALSE(c.id > 0 && drv::ControlNeedsPaint(IDD_PADWRIGHT_DIALOG, c.id)) << c.id;
        EXPECT_FALSE(drv::WindowNeedsOwnPaint(IDD_PADWRIGHT_DIALOG));

        host.SetText(value, "00413");
        EXPECT_TRUE(drv::ControlNeedsPaint(IDD_PADWRIGHT_DIALOG, 1000));
        EXPECT_FALSE(drv::ControlNeedsPaint(IDD_PADWRIGHT_DIALOG, 1006));
        EXPECT_FALSE(drv::WindowNeedsOwnPaint(IDD_PADWRIGHT_DIALOG));
    };
    dialog.Run(IDD_PADWRIGHT_DIALOG);
}

}  // namespace
}  // namespace fltkhost
