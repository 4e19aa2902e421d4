// What `fsck.fat -n` says about a volume, judged the same way by every test
// that checks an image with it.
#pragma once

#include <string>

// The lines of fsck.fat's output that report a problem: all but its banner,
// its summary ("x: n files, a/b clusters"), "Leaving filesystem unchanged."
// and blank lines; empty for a clean volume. A label padded with zeros, as
// the player writes it, earns a "not valid" note and the removal fsck.fat
// would do: with paddedLabelAllowed those lines are no complaint either.
std::string FsckComplaints(const std::string& output, bool paddedLabelAllowed = false);
