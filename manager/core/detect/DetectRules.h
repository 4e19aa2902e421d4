// Rules of player detection and memory selection, and the texts of the small
// dialogs, kept apart from the window so that they are tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace detect {

// The first two player drives of a drive-finder mask (bit n: letter 'A' + n),
// walking C: to Z: in letter order; a letter is 0 where there is none.
struct PlayerDrives {
    char Internal = 0;
    char External = 0;
};
PlayerDrives TakePlayerDrives(unsigned long mask);

// The letter of the external memory when the detection has not filled it: the
// letter after the internal memory's, but only when that drive is the
// player's own (isPlayerDrive says so: removable and with the player's
// identity); 0 otherwise, and never past Z:.
char ExternalMemoryLetter(char internalLetter, const std::function<bool(char)>& isPlayerDrive);

// Sizes are exchanged as 32-bit values: a larger size is given as the largest
// one, never wrapped (a memory of exactly 4 GiB must not read as empty).
unsigned long SaturateToLow32(unsigned long long bytes);

// The file-kind filter of a memory for the file filter (0 music, 1 voice,
// 2 all): 2, 4, 8 for the internal memory, 512, 1024, 2048 for the card.
int FileKindFilter(int memory, int fileFilter);

// Asks for a drive's icon index until it is not -1, at most `bound` times;
// the last answer (possibly -1) is kept when the bound is reached.
constexpr int ICON_QUERY_BOUND = 10;
int QueryIconBounded(const std::function<int()>& query, int bound = ICON_QUERY_BOUND);

// "(Version 1.1)" for 1.100, "(Version 1.12)" for 1.120, "(Version 1.03)"
// for 1.03: three decimals, up to two trailing zeros dropped.
std::string FormatAboutVersion(double version);

// A FAT volume label holds at most 11 characters.
constexpr std::size_t VOLUME_LABEL_LIMIT = 11;

// The bitrate text of the Properties box: "VBR" for -1, "%d K bits/second"
// for a positive rate, "Unknown" otherwise.
std::string BitrateText(int kbps);

// The name after the last backslash of a path.
std::string FileNameOf(const std::string& path);

// The Properties box's reader for a file name: 1 MP3, 2 WMA, 0 none (size
// only), -1 no extension at all.
int PropertiesKind(const std::string& fileName);

}  // namespace detect
