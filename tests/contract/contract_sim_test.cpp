// The Windows contract against the simulated Windows 10/11 machine: every check is answered and passes,
// and what the checks changed is as it was.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "windows_contract.h"

namespace {

TEST(WindowsContract, TheSimulatedModernMachineKeepsEveryFact) {
    CSimPlatform sim(SimMachine::Modern());
    for (int axis = 0; axis < 6; ++axis) sim.HoldAxis(0, axis, 32767);
    const std::vector<BYTE> before = [&] {
        std::vector<BYTE> guid;
        sim.GetValue(HKEY_CURRENT_USER, sim.IdentityKey(0), "GUID", nullptr, &guid);
        return guid;
    }();
    static int module;
    const contract::System system{sim, reinterpret_cast<HINSTANCE>(&module), reinterpret_cast<HWND>(0x1234), nullptr};
    const std::vector<contract::Line> lines = contract::Run(system);
    EXPECT_EQ(lines.size(), 14u);
    for (const contract::Line& line : lines) EXPECT_EQ(line.verdict, contract::Verdict::Ok) << contract::Describe(line);
    EXPECT_EQ(contract::ExitCode(lines), 0);
    std::vector<BYTE> after;
    sim.GetValue(HKEY_CURRENT_USER, sim.IdentityKey(0), "GUID", nullptr, &after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(sim.LiveInterfaces(), 0);
    EXPECT_EQ(sim.OpenKeyHandles(), 0u);
    EXPECT_FALSE(sim.ConfigAcquired());
}

}  // namespace
