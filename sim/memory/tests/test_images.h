// Fixture helpers shared by the memory tests: scratch folders, images made
// with mkfs.fat, and the outside FAT tools used as oracles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostPaths.h"

std::string MakeScratchDir(const std::string& tag);
void RemoveTree(const std::string& path);

// Runs a shell command; its exit status, with stdout and stderr in *output.
int RunCommand(const std::string& command, std::string* output = nullptr);
inline std::string Quote(const std::string& text) { return mbtest::ShellQuote(text); }

// mkfs.fat image of `kib` KiB with `fatBits` 12 or 16 and one sector per cluster.
bool MakeImage(const std::string& path, unsigned kib, int fatBits, const std::string& label = "");

std::vector<uint8_t> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);

// fsck.fat -n exit status 0 and no message about changes.
bool FsckClean(const std::string& image, std::string* report);
// mdir -b of a folder ("::/" or "::/DIR"): the names in directory order.
std::vector<std::string> MdirNames(const std::string& image, const std::string& folder);
