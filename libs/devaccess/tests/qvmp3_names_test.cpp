// The driver's name base as each Windows version sees it (run once per
// version; the other QvMp3 cases run on XP only).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "QvMp3.h"
#include "SimDriverClient.h"

using namespace vilosim;

TEST(QvMp3Names, NameBaseFollowsTheWindowsVersion)
{
    CSimDriverClient sim;
    ASSERT_TRUE(sim.Connect()) << sim.LastError();
    ASSERT_TRUE(sim.Reset());
    ASSERT_TRUE(sim.AddUnit(UNIT_NT_NAME, 3));
    ASSERT_TRUE(sim.AddUnit(UNIT_9X_NAME, 4));
    const char* version = getenv("MB_WINVER");
    bool nineX = version && std::string(version) == "win98";
    const DEVICE_STATUS normalOnly = static_cast<DEVICE_STATUS>(0);
    EXPECT_EQ(QvMp3OpenDriverNoBlock(3, normalOnly), nineX ? 0 : 1);
    QvMp3CloseDriver();
    EXPECT_EQ(QvMp3OpenDriverNoBlock(4, normalOnly), nineX ? 1 : 0);
    QvMp3CloseDriver();
    SimStats stats = {};
    ASSERT_TRUE(sim.GetStats(&stats));
    EXPECT_EQ(stats.Opens, 1u);
    EXPECT_EQ(stats.OpenedKind, nineX ? UNIT_9X_NAME : UNIT_NT_NAME);
}
