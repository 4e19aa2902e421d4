#include "SweepTest.h"

#include <cstdio>

namespace sweeptest {

const GUID CLASS_USB = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID CLASS_DISK = {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID CLASS_VOLUME = {0x71A27CDD, 0x812A, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

GUID GuidOf(const char* text) {
    GUID guid = {};
    unsigned long d1 = 0;
    unsigned d2 = 0, d3 = 0, b[8] = {};
    sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5],
           &b[6], &b[7]);
    guid.Data1 = d1;
    guid.Data2 = static_cast<unsigned short>(d2);
    guid.Data3 = static_cast<unsigned short>(d3);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<unsigned char>(b[i]);
    return guid;
}

std::string Lines(const std::set<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += "  " + item + "\n";
    return text.empty() ? "  (none)\n" : text;
}

void SweepTest::TearDown() {
    for (const std::string& id : m_devices)
        RemoveDeviceNode(id);
    for (auto it = m_keys.rbegin(); it != m_keys.rend(); ++it)
        DeleteTree(it->first, it->second);
    for (const std::string& folder : m_folders)
        DeleteFolderTree(folder);
}

void SweepTest::Key(HKEY root, const std::string& path, const char* name, const std::string& value) {
    // Remember the first level that did not exist yet.
    std::string probe;
    for (size_t pos = 0;; pos = path.find('\\', pos + 1)) {
        probe = pos == std::string::npos ? path : path.substr(0, pos);
        if (pos != 0 && !HasKey(root, probe)) {
            m_keys.push_back({root, probe});
            break;
        }
        if (pos == std::string::npos)
            break;
    }
    if (name)
        SetText(root, path, name, value);
    else
        SetKey(root, path);
}

void SweepTest::File(const std::string& path, const std::string& text) {
    MakeFile(path, text);
}

void SweepTest::Device(const std::string& instanceId, const GUID& deviceClass, const std::vector<std::string>& ids,
                       const std::string& driverKey) {
    m_devices.push_back(instanceId);
    ASSERT_TRUE(MakeDevice(instanceId, deviceClass, ids, driverKey)) << instanceId;
}

std::vector<std::string> SweepTest::WatchedFolders() const {
    std::string windows = WindowsFolder();
    std::string drive = windows.substr(0, 2);
    return {windows, drive + "\\Program Files", drive + "\\Documents and Settings", drive + "\\DevSweepTest"};
}

void SweepTest::Before(bool files) {
    m_withFiles = files;
    m_regBefore = SnapshotRegistry();
    if (files)
        m_filesBefore = SnapshotFiles(WatchedFolders());
}

void SweepTest::After() {
    m_regAfter = SnapshotRegistry();
    if (m_withFiles)
        m_filesAfter = SnapshotFiles(WatchedFolders());
}

void SweepTest::ExpectOnlyRemoved(const std::vector<std::string>& targets, const std::set<std::string>& changed) {
    REG_DIFF diff = CompareRegistry(m_regBefore, m_regAfter);
    std::set<std::string> expected = KeysUnder(m_regBefore, targets);
    for (const std::string& target : targets)
        EXPECT_FALSE(KeysUnder(m_regBefore, {target}).empty()) << "the fixture lacks the target " << target;
    EXPECT_EQ(diff.Removed, expected) << "removed:\n" << Lines(diff.Removed) << "expected:\n" << Lines(expected);
    EXPECT_TRUE(diff.Added.empty()) << "added:\n" << Lines(diff.Added);
    EXPECT_EQ(diff.Changed, changed) << "changed:\n" << Lines(diff.Changed);
    for (const std::string& key : diff.Changed)
        if (!changed.count(key))
            ADD_FAILURE() << key << "\nbefore: " << m_regBefore[key] << "\nafter:  " << m_regAfter[key];
}

void SweepTest::ExpectNothingChanged() {
    ExpectOnlyRemoved({});
    EXPECT_EQ(m_filesBefore, m_filesAfter);
}

void SweepTest::ExpectOnlyFilesRemoved(const std::vector<std::string>& targets) {
    ASSERT_TRUE(m_withFiles) << "the case took no file listing";
    std::set<std::string> expected;
    for (const std::string& entry : m_filesBefore)
        for (const std::string& target : targets)
            if (_strnicmp(entry.c_str(), target.c_str(), target.size()) == 0 &&
                (entry.size() == target.size() || entry[target.size()] == '\\'))
                expected.insert(entry);
    std::set<std::string> removed, added;
    for (const std::string& entry : m_filesBefore)
        if (!m_filesAfter.count(entry))
            removed.insert(entry);
    for (const std::string& entry : m_filesAfter)
        if (!m_filesBefore.count(entry))
            added.insert(entry);
    EXPECT_EQ(removed, expected) << "removed:\n" << Lines(removed) << "expected:\n" << Lines(expected);
    EXPECT_TRUE(added.empty()) << "added:\n" << Lines(added);
}

}  // namespace sweeptest
