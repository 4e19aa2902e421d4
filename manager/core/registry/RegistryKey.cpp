#include "registry/RegistryKey.h"

#include <cstring>

namespace {

// The predefined roots are not ours to close.
bool IsPredefined(HKEY key)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
    return value >= 0x80000000UL && value <= 0x800000FFUL;
}

}  // namespace

CRegistryKey::CRegistryKey(HKEY root) : m_key(root), m_writable(true) {}

CRegistryKey::~CRegistryKey()
{
    Close();
}

void CRegistryKey::Record(LONG result, DWORD type, DWORD size)
{
    m_lastResult = result;
    m_lastType = type;
    m_lastSize = size;
}

void CRegistryKey::Adopt(HKEY opened)
{
    // Opening again through this object must not leak the key it held; when
    // that key was the root of the new one, it is closed only now.
    Close();
    m_key = opened;
    m_writable = false;
}

LONG CRegistryKey::MakeWritable()
{
    if (!m_key)
        return ERROR_INVALID_HANDLE;
    if (m_writable || IsPredefined(m_key))
        return ERROR_SUCCESS;
    HKEY writable = nullptr;
    const LONG result = RegOpenKeyExA(m_key, "", 0, KEY_READ | KEY_WRITE, &writable);
    if (result != ERROR_SUCCESS)
        return result;
    Adopt(writable);
    m_writable = true;
    return ERROR_SUCCESS;
}

bool CRegistryKey::Create(HKEY root, const std::string& subKey)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG result = RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_READ | KEY_WRITE, nullptr, &key, &disposition);
    Adopt(result == ERROR_SUCCESS ? key : nullptr);
    m_writable = result == ERROR_SUCCESS;
    Record(result, 0, 0);
    return result == ERROR_SUCCESS;
}

bool CRegistryKey::Open(HKEY root, const std::string& subKey)
{
    m_subKey = subKey;
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key);
    Adopt(result == ERROR_SUCCESS ? key : nullptr);
    Record(result, 0, 0);
    return result == ERROR_SUCCESS;
}

void CRegistryKey::Close()
{
    if (m_key) {
        if (!IsPredefined(m_key))
            RegCloseKey(m_key);
        m_key = nullptr;
    }
}

LONG CRegistryKey::WriteDword(const std::string& name, DWORD value)
{
    const LONG writable = MakeWritable();
    if (writable != ERROR_SUCCESS)
        return writable;
    return RegSetValueExA(m_key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool CRegistryKey::WriteString(const std::string& name, const std::string& text)
{
    const DWORD size = static_cast<DWORD>(std::strlen(text.c_str()) + 1);
    LONG result = MakeWritable();
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
    Record(result, REG_SZ, size);
    return result == ERROR_SUCCESS;
}

LONG CRegistryKey::Query(const std::string& name, BYTE* data, DWORD limit)
{
    DWORD type = 0;
    DWORD size = limit;
    const LONG result = m_key ? RegQueryValueExA(m_key, name.c_str(), nullptr, &type, data, &size)
                              : ERROR_INVALID_HANDLE;
    // A value too large still tells its type and size; a missing one neither.
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)
        Record(result, type, size);
    else
        Record(result, 0, 0);
    return result;
}

bool CRegistryKey::ReadBinary(const std::string& name, void* buffer, DWORD size)
{
    // The local buffer bounds the read whatever size the caller claims.
    BYTE local[BINARY_MAX] = {};
    const LONG result = Query(name, local, size < BINARY_MAX ? size : BINARY_MAX);
    if (result != ERROR_SUCCESS)
        return false;
    if (buffer)
        std::memcpy(buffer, local, m_lastSize <= size ? m_lastSize : size);
    return true;
}

bool CRegistryKey::ReadDword(const std::string& name, DWORD& value)
{
    DWORD data = 0;
    if (Query(name, reinterpret_cast<BYTE*>(&data), sizeof data) != ERROR_SUCCESS)
        return false;
    // A string or a short binary value is no number.
    if (m_lastType != REG_DWORD || m_lastSize != sizeof data) {
        Record(ERROR_DATATYPE_MISMATCH, m_lastType, m_lastSize);
        return false;
    }
    value = data;
    return true;
}

bool CRegistryKey::ReadString(const std::string& name, std::string& text)
{
    // 200 bytes for the system to fill and one more that always stays 0:
    // a value stored without its terminator still reads as a bounded text.
    char local[STRING_MAX + 2] = {};
    if (Query(name, reinterpret_cast<BYTE*>(local), STRING_MAX + 1) != ERROR_SUCCESS)
        return false;
    const DWORD length = m_lastSize <= STRING_MAX + 1 ? m_lastSize : STRING_MAX + 1;
    text.assign(local, strnlen(local, length));
    return true;
}

bool CRegistryKey::DeleteValue(const std::string& name)
{
    LONG result = MakeWritable();
    if (result == ERROR_SUCCESS)
        result = RegDeleteValueA(m_key, name.c_str());
    Record(result, 0, 0);
    return result == ERROR_SUCCESS;
}
