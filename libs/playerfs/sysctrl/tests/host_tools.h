// What the directory tests need from the Linux host: the fixture script, mdir
// and fsck.fat. Under Wine they run as Unix programs started from the test.
#pragma once

#include <string>
#include <vector>

struct HostResult {
    int Status = -1;
    std::string Output;
};

// Runs a shell command line on the host and waits for it.
HostResult RunHost(const std::string& command);
// A folder of its own for one test, emptied first.
std::string WorkFolder(const std::string& name);
// How the test program opens a host file (Z:\... under Wine).
std::string DevicePath(const std::string& hostPath);
std::string ScriptsDir();
// Makes an image with the fixture script; false when the script failed.
bool MakeImage(const std::string& kind, const std::string& image, int bits = 16);
// Folder listing in directory order by mdir: "label: ..." and then one name a line.
std::vector<std::string> ListFolder(const std::string& image, const std::string& folder);
// fsck.fat -n: true when it reports the image clean.
bool FsckClean(const std::string& image, std::string* report = nullptr);
std::string Sha256(const std::string& image);
// UTF-8 text of the listing to the ANSI (Latin-1 range) text callers pass.
std::string Utf8ToAnsi(const std::string& utf8);
