// The GoogleTest fixture of DevSweep's Wine tests: what a case makes is
// remembered and taken away afterwards, so the prefix stays as it was.
#pragma once

#include "SweepFixture.h"

#include <gtest/gtest.h>

namespace sweeptest {

extern const GUID CLASS_USB;
extern const GUID CLASS_DISK;
extern const GUID CLASS_VOLUME;
GUID GuidOf(const char* text);

class SweepTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Makes a key (with a text value when name is given) and remembers its
    // topmost new ancestor below the given root path for the clean-up.
    void Key(HKEY root, const std::string& path, const char* name = nullptr, const std::string& value = "");
    void Cleanup(HKEY root, const std::string& path) { m_keys.push_back({root, path}); }
    void File(const std::string& path, const std::string& text = "x");
    void CleanupFolder(const std::string& path) { m_folders.push_back(path); }
    void Device(const std::string& instanceId, const GUID& deviceClass, const std::vector<std::string>& ids,
                const std::string& driverKey = "");

    // Everything the tests watch: the registry and the folders a removal
    // could reach.
    // files: also list the watched folders (for exports that delete files).
    void Before(bool files = false);
    void After();
    std::vector<std::string> WatchedFolders() const;
    // Only the targets' keys went, nothing was added, and only the listed
    // keys had values changed.
    void ExpectOnlyRemoved(const std::vector<std::string>& targets, const std::set<std::string>& changed = {});
    void ExpectNothingChanged();
    // Only these files and folders (and what they held) went.
    void ExpectOnlyFilesRemoved(const std::vector<std::string>& targets);

    REG_SNAPSHOT m_regBefore, m_regAfter;
    std::set<std::string> m_filesBefore, m_filesAfter;
    bool m_withFiles = false;

private:
    std::vector<std::pair<HKEY, std::string>> m_keys;
    std::vector<std::string> m_folders;
    std::vector<std::string> m_devices;
};

std::string Lines(const std::set<std::string>& items);

}  // namespace sweeptest
