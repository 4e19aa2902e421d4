// QV_Drive_Vilo8.dll as the manager loads it, on the system's own calls, with
// the simulated player attached.
#include <windows.h>

#include <gtest/gtest.h>

#include "QV_Drive_Vilo8.h"
#include "SimDriverClient.h"

namespace {

bool IsNtLine()
{
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The prefix's stand-in player driver answers the storage query on O: with the
// player's identity, as the player's own driver does on a real machine.
TEST(DriveFinderDll, FindsTheSimulatedPlayerByItsIdentity)
{
    CSimDriverClient sim;
    ASSERT_TRUE(sim.Connect()) << sim.LastError();

    CQuorvane* finder = new CQuorvane;
    const unsigned long mask = finder->GetQuorvaneDrives();
    delete finder;
    if (IsNtLine()) {
        EXPECT_EQ(1ul << ('O' - 'A'), mask);
    } else {
        // The 98/ME line looks for a registered disk device of the player,
        // which this prefix does not have.
        EXPECT_EQ(0ul, mask);
    }
}

TEST(DriveFinderDll, ExportsTheUnusedCounterparts)
{
    EXPECT_EQ(42, fnQuorvane());
    EXPECT_EQ(0, nQuorvane);
    EXPECT_NE(nullptr, GetProcAddress(GetModuleHandleA("QV_Drive_Vilo8.dll"), "nQuorvane"));
}

}  // namespace
