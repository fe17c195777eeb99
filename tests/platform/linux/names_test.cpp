// The group titles on the kernel platform: the same dialog description, the kernel's interface names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "res/templates.h"

namespace {

std::vector<std::string> GroupTitles() {
    std::vector<std::string> titles;
    for (const res::ControlTemplate& c : res::FindDialog(IDD_PADWRIGHT_DIALOG)->controls)
        if (c.kind == res::ControlKind::GroupBox) titles.emplace_back(c.text);
    return titles;
}

TEST(InterfaceNames, TheKernelPlatformNamesJoydevAndEvdevInTheSameDialog) {
    const res::DialogTemplate& windows = *res::FindDialog(IDD_PADWRIGHT_DIALOG);
    res::SelectInterfaceNames(res::InterfaceNames::LinuxKernel);
    const res::DialogTemplate& kernel = *res::FindDialog(IDD_PADWRIGHT_DIALOG);
    EXPECT_EQ(GroupTitles(), (std::vector<std::string>{"joydev (js)", "Dead zone (in %)", "Polled device",
                                                        "Calibration values", "evdev (event)"}));
    ASSERT_EQ(kernel.controls.size(), windows.controls.size());
    for (size_t i = 0; i < kernel.controls.size(); ++i) {
        const res::ControlTemplate& a = windows.controls[i];
        const res::ControlTemplate& b = kernel.controls[i];
        EXPECT_TRUE(a.id == b.id && a.kind == b.kind && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy &&
                    a.flags == b.flags)
            << "control " << i << " differs beyond its text";
    }
    res::SelectInterfaceNames(res::InterfaceNames::Windows);
    EXPECT_EQ(GroupTitles().front(), "joyGetPosEx()");
}

}  // namespace
