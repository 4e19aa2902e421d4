// The fsck.fat judgement on output fsck.fat 4.2 printed for clean and damaged
// images.
#include <gtest/gtest.h>

#include "FsckOutput.h"

namespace {

TEST(FsckOutput, ACleanVolumeHasNoComplaints)
{
    const char* clean = "fsck.fat 4.2 (2021-01-31)\n"
                        "/tmp/x.img: 12 files, 40/16343 clusters\n";
    EXPECT_EQ("", FsckComplaints(clean));
    EXPECT_EQ("", FsckComplaints("fsck.fat 4.2 (2021-01-31)\r\n/tmp/x.img: 0 files, 1/2 clusters\r\n"));
}

TEST(FsckOutput, EveryOtherLineIsAComplaint)
{
    const char* damaged = "fsck.fat 4.2 (2021-01-31)\n"
                          "/A.MP3\n"
                          "  File size is 5000 bytes, cluster chain length is 4096 bytes.\n"
                          "  Truncating file to 4096 bytes.\n"
                          "Leaving filesystem unchanged.\n"
                          "/tmp/x.img: 1 files, 2/16343 clusters\n";
    EXPECT_EQ("/A.MP3\n  File size is 5000 bytes, cluster chain length is 4096 bytes.\n"
              "  Truncating file to 4096 bytes.\n",
              FsckComplaints(damaged));
}

TEST(FsckOutput, APaddedLabelIsAComplaintUnlessAllowed)
{
    const char* padded = "fsck.fat 4.2 (2021-01-31)\n"
                         "Volume label 'Vilo Lark\\x00\\x00' stored in root directory is not valid.\n"
                         "  Auto-removing label from root directory.\n"
                         "/tmp/x.img: 1 files, 1/16343 clusters\n";
    EXPECT_EQ("", FsckComplaints(padded, true));
    EXPECT_NE("", FsckComplaints(padded, false));
}

}  // namespace
