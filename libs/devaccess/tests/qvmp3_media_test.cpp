// QvMp3's MMC and media functions against the simulated player's card and
// flash memory, through the stand-in driver.
#include <gtest/gtest.h>

#include "QvMp3.h"
#include "SimDriverClient.h"

using namespace vilosim;

TEST(QvMp3Media, IndexAboveTheTableIsRefusedByEveryMediaFunction)
{
    unsigned long indices[2] = {36, 36};
    static _BinaryFilesInformation info;
    info.FileCount = 1;
    info.LeadFile = 1;
    info.AreaTag[0] = 'P';
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, 0, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3BuildBlockStatus(indices, 0, 0, &info, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3FatFormatEx(indices, 0, 0, nullptr, nullptr, nullptr, nullptr, &info, nullptr),
              PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3QuickFormatQvrx(indices, 0, 0, &info, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3GetFirmwareVersion(indices, 0, &info), PROGRAM_MEDIA_BAD_MEDIA);
    EXPECT_EQ(QvMp3FatEraseDataArea(indices, 1, nullptr), PROGRAM_MEDIA_BAD_MEDIA);
}
