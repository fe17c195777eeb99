// Exchange, validation, notification lock-out and routing, through a small dialog on the main
// template and the in-memory host.
#include <gtest/gtest.h>

#include <string>

#include "framework/afxwin.h"
#include "framework/ddx.h"
#include "platform/headless/headless_host.h"
#include "res/resource.h"

namespace {

using headless::HeadlessHost;
using headless::Window;

class ProbeDlg : public CDialog {
public:
    ProbeDlg() : CDialog(IDD_PADWRIGHT_DIALOG) {}

    CString device = "0: Probe";
    LONG minimum = 0;
    LONG center = 0;
    DWORD deadZone = 0;
    BOOL flag = FALSE;
    int updates = 0;
    int clicks = 0;
    int exchangesDuringUpdate = 0;

    using CDialog::UpdateData;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_POLLED_DEVICE, device);
        DDX_Text(pDX, IDC_CAL_MIN_X, minimum);
        DDV_MinMaxLong(pDX, minimum, -1000, 1655);
        DDX_Text(pDX, IDC_CAL_CENTER_X, center);
        DDV_MinMaxLong(pDX, center, -1000, 1655);
        DDX_Text(pDX, IDC_DEADZONE_X, deadZone);
        DDV_MinMaxDWord(pDX, deadZone, 0, 100);
        DDX_Check(pDX, IDC_CALIBRATED_XY, flag);
    }
    void OnUpdate() { ++updates; }
    void OnFlag() { ++clicks; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDlg, CDialog)
    ON_EN_UPDATE(IDC_CAL_MIN_X, OnUpdate)
    ON_EN_UPDATE(IDC_CAL_CENTER_X, OnUpdate)
    ON_EN_UPDATE(IDC_DEADZONE_X, OnUpdate)
    ON_BN_CLICKED(IDC_CALIBRATED_XY, OnFlag)
END_MESSAGE_MAP()

class ExchangeTest : public ::testing::Test {
protected:
    HeadlessHost host;
    ProbeDlg dlg;

    void Run(std::function<void(Window&)> user) {
        host.OnDialog(IDD_PADWRIGHT_DIALOG, std::move(user));
        dlg.DoModal();
    }
};

TEST_F(ExchangeTest, InitialisationWritesFieldsWithoutReachingHandlers) {
    dlg.minimum = -12;
    dlg.deadZone = 4000000000u;
    dlg.flag = TRUE;
    Run([&](Window& w) {
        EXPECT_EQ(w.Text(IDC_POLLED_DEVICE), "0: Probe");
        EXPECT_EQ(w.Text(IDC_CAL_MIN_X), "-12");
        EXPECT_EQ(w.Text(IDC_DEADZONE_X), "4000000000");  // "%lu", not a negative number
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_XY));
    });
    EXPECT_EQ(dlg.updates, 0) << "edits rewritten by an exchange must not reach the message map";
}

TEST_F(ExchangeTest, RewritesOnlyControlsWhoseTextDiffers) {
    Run([&](Window&) {
        const int before = host.TextWrites();
        dlg.UpdateData(FALSE);
        EXPECT_EQ(host.TextWrites(), before) << "nothing changed, nothing may be rewritten";
        dlg.center = 77;
        dlg.UpdateData(FALSE);
        EXPECT_EQ(host.TextWrites(), before + 1);
    });
}

TEST_F(ExchangeTest, UserChangesReachHandlersOutsideExchanges) {
    Run([&](Window& w) {
        w.Type(IDC_CAL_MIN_X, "12");
        EXPECT_EQ(dlg.updates, 2) << "one EN_UPDATE a keystroke";
        w.Paste(IDC_DEADZONE_X, "50");
        EXPECT_EQ(dlg.updates, 3);
        w.Spin(IDC_DEADZONE_X + 1, 1);  // the range is still the control's default
        w.Click(IDC_CALIBRATED_XY);
        EXPECT_EQ(dlg.clicks, 1);
        EXPECT_TRUE(w.Checked(IDC_CALIBRATED_XY));
    });
}

TEST_F(ExchangeTest, ReadBackStopsAtTheFirstFailingFieldAndSelectsIt) {
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MIN_X, "25");
        w.Paste(IDC_CAL_CENTER_X, "1656");
        w.Paste(IDC_DEADZONE_X, "7");
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        ASSERT_EQ(host.MessageBoxes().size(), 1u);
        const auto& box = host.MessageBoxes().back();
        EXPECT_EQ(box.text, "Please enter an integer between -1000 and 1655.");
        EXPECT_EQ(box.caption, "Padwright");
        EXPECT_EQ(box.type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(dlg.minimum, 25) << "fields before the failing one keep their new values";
        EXPECT_EQ(dlg.center, 0) << "a value out of range is not kept";
        EXPECT_EQ(dlg.deadZone, 0u) << "fields after it are not read";
        EXPECT_EQ(w.FocusId(), IDC_CAL_CENTER_X);
        EXPECT_EQ(w.Selection(IDC_CAL_CENTER_X), std::make_pair(0, 4));
    });
}

TEST_F(ExchangeTest, EachKindOfFieldHasItsOwnMessage) {
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {IDC_CAL_MIN_X, "-", "Please enter an integer."},
        {IDC_CAL_MIN_X, "", "Please enter an integer."},
        {IDC_CAL_MIN_X, "-1001", "Please enter an integer between -1000 and 1655."},
        {IDC_CAL_MIN_X, "99999999999", "Please enter an integer between -1000 and 1655."},
        {IDC_DEADZONE_X, "-5", "Please enter a positive integer."},
        {IDC_DEADZONE_X, "abc", "Please enter a positive integer."},
        {IDC_DEADZONE_X, "101", "Please enter an integer between 0 and 100."},
    };
    Run([&](Window& w) {
        for (const Case& c : cases) {
            w.Paste(IDC_CAL_MIN_X, "0");
            w.Paste(IDC_DEADZONE_X, "0");
            w.Paste(c.id, c.text);
            const size_t boxes = host.MessageBoxes().size();
            EXPECT_FALSE(dlg.UpdateData(TRUE)) << c.text;
            ASSERT_EQ(host.MessageBoxes().size(), boxes + 1) << c.text;
            EXPECT_EQ(host.MessageBoxes().back().text, c.message) << "input \"" << c.text << "\"";
            EXPECT_EQ(w.FocusId(), c.id);
        }
    });
}

TEST_F(ExchangeTest, ReadsOnlyTheFirst31Characters) {
    Run([&](Window& w) {
        w.Paste(IDC_CAL_MIN_X, "12" + std::string(29, ' ') + "junk");  // junk from character 32 on
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.minimum, 12);
        w.Paste(IDC_CAL_MIN_X, "12" + std::string(28, ' ') + "junk");  // junk at character 31
        EXPECT_FALSE(dlg.UpdateData(TRUE));
    });
}

TEST_F(ExchangeTest, EnterEndsTheDialogOnlyWhenEveryFieldIsValid) {
    INT_PTR result = 0;
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        w.Paste(IDC_DEADZONE_X, "x");
        w.PressEnter();
        EXPECT_FALSE(w.Ended());
        EXPECT_EQ(host.MessageBoxes().back().text, "Please enter a positive integer.");
        w.Paste(IDC_DEADZONE_X, "9");
        w.PressEnter();
        EXPECT_TRUE(w.Ended());
    });
    result = dlg.DoModal();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.deadZone, 9u);
}

TEST_F(ExchangeTest, EscapeAndCloseCancel) {
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) { w.PressEscape(); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    host.OnDialog(IDD_PADWRIGHT_DIALOG, [&](Window& w) {
        w.Paste(IDC_CAL_MIN_X, "garbage");
        w.Click(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(host.MessageBoxes().empty()) << "cancelling reads nothing back";
}

}  // namespace
