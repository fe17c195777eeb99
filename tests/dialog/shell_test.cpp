// The main dialog's window duties: About box from the system menu, icons, the minimised paint,
// up-down ranges, and ownership of the joystick object.
#include "../support/session.h"

namespace {

using headless::Window;

class Shell : public Session {};

TEST_F(Shell, SystemMenuOffersTheAboutBox) {
    Run([&](Window& w) {
        const auto& menu = w.SystemMenu();
        ASSERT_EQ(menu.size(), 2u);
        EXPECT_EQ(menu[0].flags, static_cast<UINT>(MF_SEPARATOR));
        EXPECT_EQ(menu[1].id, 16u);
        EXPECT_EQ(menu[1].text, "&About Padwright...");
    });
}

TEST_F(Shell, AboutOpensForCommand16WhateverTheLowBits) {
    std::vector<std::string> versions;
    for (int i = 0; i < 2; ++i)
        host.OnDialog(IDD_ABOUTBOX, [&](Window& about) {
            versions.push_back(about.Text(IDC_VERSION_LINE));
            about.PressEnter();
            EXPECT_TRUE(about.Ended());
            EXPECT_EQ(about.Result(), IDOK);
        });
    Run([&](Window& w) {
        w.SysCommand(IDM_ABOUTBOX);
        w.SysCommand(IDM_ABOUTBOX | 0x000F);
        w.SysCommand(SC_MINIMIZE);
        EXPECT_FALSE(w.Ended());
    });
    EXPECT_EQ(host.DialogsRun(), (std::vector<int>{IDD_PADWRIGHT_DIALOG, IDD_ABOUTBOX, IDD_ABOUTBOX}));
    EXPECT_EQ(versions, (std::vector<std::string>{"Padwright Version 3.30.532", "Padwright Version 3.30.532"}));
}

TEST_F(Shell, OtherSystemCommandsKeepTheirDefaultMeaning) {
    const INT_PTR result = Run([&](Window& w) { w.SysCommand(SC_CLOSE); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(host.DialogsRun().size(), 1u);
}

TEST_F(Shell, IconsInBothSizesAndTheMinimisedPaint) {
    Run([&](Window& w) {
        const headless::IconRecord* big = host.IconInfo(w.Icon(true));
        const headless::IconRecord* small = host.IconInfo(w.Icon(false));
        ASSERT_TRUE(big && small);
        EXPECT_EQ(big->id, IDR_MAINFRAME);
        EXPECT_EQ(big->size, 32);
        EXPECT_EQ(small->size, 16);
        EXPECT_EQ(reinterpret_cast<HICON>(w.Send(WM_QUERYDRAGICON)), w.Icon(true));

        headless::PaintRecord normal = w.Paint();
        EXPECT_TRUE(normal.defaultPaint);
        EXPECT_EQ(normal.icon, nullptr);

        w.Minimise(true);
        headless::PaintRecord minimised = w.Paint();
        EXPECT_TRUE(minimised.erasedBackground);
        EXPECT_FALSE(minimised.defaultPaint);
        EXPECT_EQ(minimised.icon, w.Icon(true));
        // Client area 588 x 367 pixels, icon 32 x 32: (588 - 32 + 1) / 2, (367 - 32 + 1) / 2.
        EXPECT_EQ(minimised.iconX, 278);
        EXPECT_EQ(minimised.iconY, 168);
    });
}

// A host that gives the dialog a client area one pixel wider than its template: an odd width.
class OddWidthHost : public headless::HeadlessHost {
public:
    void GetClientRect(HWND wnd, RECT* rect) override {
        HeadlessHost::GetClientRect(wnd, rect);
        rect->right += 1;
    }
};

TEST_F(Shell, TheMinimisedIconIsCentredOnAnOddWidthToo) {
    OddWidthHost odd;  // takes over from the session's host
    odd.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        w.Minimise(true);
        const headless::PaintRecord minimised = w.Paint();
        // Client area 589 x 367 pixels, icon 32 x 32: (589 - 32 + 1) / 2, (367 - 32 + 1) / 2.
        EXPECT_EQ(minimised.iconX, 279);
        EXPECT_EQ(minimised.iconY, 168);
    });
    CPadwrightDlg dlg;
    dlg.DoModal();
    AfxSetHost(&host);
}

TEST_F(Shell, UpDownRangesAndStepping) {
    Run([&](Window& w) {
        for (int i = 0; i < AXIS_COUNT; ++i) {
            SCOPED_TRACE("axis " + std::to_string(i));
            EXPECT_EQ(w.SpinRange(IDC_DEADZONE_X + 2 * i + 1), std::make_pair(0, 100));
            for (int first : {IDC_CAL_MIN_X, IDC_CAL_CENTER_X, IDC_CAL_MAX_X})
                EXPECT_EQ(w.SpinRange(first + 2 * i + 1), std::make_pair(-1000, 1655)) << "up-down " << first + 2 * i + 1;
        }
        w.Paste(IDC_DEADZONE_X, "99");
        w.Spin(IDC_DEADZONE_X + 1, 5);
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "100");
        EXPECT_EQ(sim.StoredUserValues().ruv.jpDeadZone.dwX, 100u) << "a step is an edit like any other";
    });
}

TEST_F(Shell, ClosingTheDialogReleasesTheJoystickAndWritesNothing) {
    const std::pair<const char*, std::function<void(Window&)>> ways[] = {
        {"&Close", [](Window& w) { w.Click(IDCANCEL); }},
        {"Enter", [](Window& w) { w.PressEnter(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        const auto& close = way.second;
        int writes = 0;
        Run([&](Window& w) {
            w.Tick();
            EXPECT_GT(sim.LiveInterfaces(), 0);
            writes = sim.ConfigWrites();
            close(w);
            EXPECT_TRUE(w.Ended());
        });
        EXPECT_EQ(sim.ConfigWrites(), writes);
        EXPECT_EQ(sim.LiveInterfaces(), 0);
        EXPECT_EQ(sim.OpenKeyHandles(), 0u);
    }
}

}  // namespace
