// The names of a player folder in the order of their directory entries, read
// from the raw sectors of the memory (the order the player plays). Wine's
// file enumeration sorts names; the list's order must be the disk's.
#pragma once

#include <string>
#include <vector>

// The entries' names (long names where they have one) in directory order, or
// false when the folder's sectors cannot be read.
bool ReadPlayerDirectoryOrder(const std::string& folder, std::vector<std::string>& names);
