// Drives CRegistryKey for tests/registry-check.sh, which checks the results
// with Wine's reg tool:
//   registry_probe write KEY   create KEY under HKLM and write the test values
//   registry_probe read KEY    read the values reg.exe wrote under HKLM\KEY
//   registry_probe delete KEY  delete the values written by "write"
// Every call prints one line: the call, its name, its result and what it read.
#include "registry/RegistryKey.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Line(const char* call, const char* name, long result, const CRegistryKey& key, const std::string& read = "")
{
    std::printf("%s %s %ld %ld %lu %lu %s\n", call, name, result, static_cast<long>(key.GetLastResult()),
                static_cast<unsigned long>(key.GetLastType()), static_cast<unsigned long>(key.GetLastSize()),
                read.c_str());
}

std::string Hex(const unsigned char* data, std::size_t size)
{
    std::string text;
    char two[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", data[i]);
        text += two;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: registry_probe write|read|delete KEY TEXT199 TEXT200\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string subKey = argv[2];
    const std::string text199 = argv[3];
    const std::string text200 = argv[4];
    CRegistryKey key(HKEY_LOCAL_MACHINE);

    if (mode == "write") {
        // Before the key exists: nothing to write into.
        CRegistryKey closed(HKEY_LOCAL_MACHINE);
        Line("Open", "-", closed.Open(HKEY_LOCAL_MACHINE, subKey), closed);
        Line("WriteDword", "closed", closed.WriteDword("CFG_DL", 1), closed);
        Line("Create", "-", key.Create(HKEY_LOCAL_MACHINE, subKey), key);
        key.Close();
        Line("Open", "-", key.Open(HKEY_LOCAL_MACHINE, subKey), key);
        Line("WriteDword", "CFG_DL", key.WriteDword("CFG_DL", 1), key);
        Line("WriteDword", "CFG_TR", key.WriteDword("CFG_TR", 0x80000001u), key);
        Line("WriteString", "Path", key.WriteString("Path", "C:\\Program Files\\Vilo\\MusicBridge\\"), key);
        Line("WriteString", "Path0", key.WriteString("Path0", text199), key);
        Line("WriteString", "Path1", key.WriteString("Path1", text200), key);
        Line("WriteString", "Empty", key.WriteString("Empty", ""), key);
        return 0;
    }
    if (mode == "read") {
        Line("Open", "-", key.Open(HKEY_LOCAL_MACHINE, subKey), key);
        for (const char* name : {"S199", "S200", "Missing"}) {
            std::string text = "unchanged";
            const bool read = key.ReadString(name, text);
            Line("ReadString", name, read, key, text);
        }
        DWORD value = 7;
        const bool read = key.ReadDword("D", value);
        Line("ReadDword", "D", read, key, std::to_string(value));
        // Caller buffers larger than the 256 bytes read: guard bytes past 256
        // must stay untouched.
        unsigned char buffer[400];
        std::memset(buffer, 0xEE, sizeof buffer);
        const long b256 = key.ReadBinary("B256", buffer, sizeof buffer);
        Line("ReadBinary", "B256", b256, key, Hex(buffer, 4) + "/" + Hex(buffer + 255, 2));
        std::memset(buffer, 0xEE, sizeof buffer);
        const long b257 = key.ReadBinary("B257", buffer, sizeof buffer);
        Line("ReadBinary", "B257", b257, key, Hex(buffer, 2));
        std::memset(buffer, 0xEE, sizeof buffer);
        const long b4 = key.ReadBinary("B256", buffer, 4);
        Line("ReadBinary", "B256small", b4, key, Hex(buffer, 5));
        return 0;
    }
    if (mode == "delete") {
        Line("Open", "-", key.Open(HKEY_LOCAL_MACHINE, subKey), key);
        Line("DeleteValue", "Path1", key.DeleteValue("Path1"), key);
        Line("DeleteValue", "Path1", key.DeleteValue("Path1"), key);
        return 0;
    }
    return 2;
}
