// QV_Drive_Vilo8.dll as the manager loads it, on the system's own calls: a
// prefix without a player gives an empty mask on every line.
#include <windows.h>

#include <gtest/gtest.h>

#include "QV_Drive_Vilo8.h"

namespace {

TEST(DriveFinderDll, NoPlayerNoDrive)
{
    CQuorvane* finder = new CQuorvane;
    EXPECT_EQ(0ul, finder->GetQuorvaneDrives());
    delete finder;
    EXPECT_EQ(42, fnQuorvane());
    EXPECT_EQ(0, nQuorvane);
    EXPECT_NE(nullptr, GetProcAddress(GetModuleHandleA("QV_Drive_Vilo8.dll"), "nQuorvane"));
}

}  // namespace
