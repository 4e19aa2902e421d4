// CRegistryKey: one open registry key of the manager's settings, keeping the
// outcome of its last operation (system result code, value type and size).
#pragma once

#include <windows.h>

#include <string>

class CRegistryKey {
public:
    // The longest string value ReadString reads, without its terminator.
    static constexpr DWORD STRING_MAX = 199;
    // The largest value ReadBinary reads.
    static constexpr DWORD BINARY_MAX = 256;

    explicit CRegistryKey(HKEY root);
    virtual ~CRegistryKey();

    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Creates (or opens) the key for reading and writing.
    bool Create(HKEY root, const std::string& subKey);
    // Opens the key for reading only: a limited user on 2000/XP may read the
    // machine's keys but not change them. The first write asks for write
    // access then.
    bool Open(HKEY root, const std::string& subKey);
    void Close();

    // Returns the system result code itself: 0 (ERROR_SUCCESS) on success.
    LONG WriteDword(const std::string& name, DWORD value);
    bool WriteString(const std::string& name, const std::string& text);
    // Reads at most min(size, BINARY_MAX) bytes into buffer.
    bool ReadBinary(const std::string& name, void* buffer, DWORD size);
    // Only a REG_DWORD value is read; another type fails with
    // ERROR_DATATYPE_MISMATCH (its type and size recorded) and leaves value.
    bool ReadDword(const std::string& name, DWORD& value);
    // A value longer than STRING_MAX characters is not read (ERROR_MORE_DATA).
    bool ReadString(const std::string& name, std::string& text);
    bool DeleteValue(const std::string& name);

    LONG GetLastResult() const { return m_lastResult; }
    DWORD GetLastType() const { return m_lastType; }
    DWORD GetLastSize() const { return m_lastSize; }
    HKEY GetKey() const { return m_key; }
    const std::string& GetSubKey() const { return m_subKey; }

private:
    void Record(LONG result, DWORD type, DWORD size);
    // RegQueryValueExA into data with limit bytes; records the outcome.
    LONG Query(const std::string& name, BYTE* data, DWORD limit);
    // Closes the key held so far (after the new one was opened under it, when
    // it was the root) and holds the new one.
    void Adopt(HKEY opened);
    // The key reopened with write access when it was opened for reading.
    LONG MakeWritable();

    LONG m_lastResult = ERROR_SUCCESS;
    DWORD m_lastType = 0;
    DWORD m_lastSize = 0;
    HKEY m_key = nullptr;
    bool m_writable = false;
    std::string m_subKey;
};
