// Start-up as the user meets it: the warning first, then the main dialog until it is closed.
#include "../support/session.h"

#include "app/padwright_app.h"

namespace {

using headless::Window;

class Startup : public Session {};

TEST_F(Startup, WarnsThenRunsTheDialogUntilItCloses) {
    bool dialogRan = false;
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        dialogRan = true;
        ASSERT_EQ(host.MessageBoxes().size(), 1u) << "the warning comes before the dialog";
        EXPECT_EQ(AfxGetMainWnd()->m_hWnd, w.Handle());
        w.Click(IDCANCEL);
    });
    EXPECT_EQ(AfxWinMain(host), 0);
    EXPECT_TRUE(dialogRan);
    const headless::MessageBoxRecord& warning = host.MessageBoxes().at(0);
    EXPECT_EQ(warning.owner, nullptr);
    EXPECT_EQ(warning.caption, "Padwright");
    EXPECT_EQ(warning.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(warning.text.substr(0, 10), "WARNING!\n\n");
    EXPECT_NE(warning.text.find("Any feedback should be sent to 'padwright-feedback@example.org'\n\nOk, I think "
                                "you're ready for the tool..."),
              std::string::npos);
    EXPECT_EQ(AfxGetMainWnd(), nullptr) << "the main window is gone once the dialog has closed";
    EXPECT_EQ(sim.LiveInterfaces(), 0);
}

TEST_F(Startup, AnyAnswerToTheWarningStillOpensTheDialog) {
    for (int answer : {IDOK, IDCANCEL, IDNO}) {
        host.SetMessageBoxHandler([answer](const headless::MessageBoxRecord&) { return answer; });
        int runs = 0;
        host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
            ++runs;
            w.PressEscape();
        });
        EXPECT_FALSE(theApp.InitInstance()) << "the framework must not start a message loop";
        EXPECT_EQ(runs, 1) << "answer " << answer;
    }
}

TEST_F(Startup, MessageBoxesBelongToTheDialog) {
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        w.Paste(IDC_CAL_MIN_X, "x");
        EXPECT_EQ(host.MessageBoxes().back().owner, w.Handle());
        EXPECT_EQ(host.MessageBoxes().back().type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    });
    AfxWinMain(host);
}

TEST_F(Startup, TheHelpCommandReachesTheApplication) {
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        EXPECT_EQ(w.Send(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0), 0);
        EXPECT_FALSE(w.Ended()) << "help has nothing to show and leaves the dialog alone";
    });
    AfxWinMain(host);
}

}  // namespace
