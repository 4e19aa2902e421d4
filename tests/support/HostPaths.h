// Paths and words handed between a test and the host (Linux) side: the
// oracles (mtools, fsck.fat, sha256sum, the memory daemon's script) run on
// the host, Windows tests reach host files through Wine's Z: drive.
#pragma once

#include <string>

namespace mbtest {

// A word single-quoted for /bin/sh.
std::string ShellQuote(const std::string& s);
// The Windows path of a host path, through Wine's Z: drive.
std::string HostWinPath(const std::string& hostPath);

}  // namespace mbtest
