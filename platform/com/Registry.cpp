#include "Registry.h"

#include <oleauto.h>

#include "ComPtr.h"
#include "Module.h"

namespace mbcom {

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT SetKeyValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

static HRESULT CreateKey(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    RegCloseKey(key);
    return S_OK;
}

HRESULT DeleteKeyTree(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    // Children first: enumerate from the start each time, as deleting shifts
    // the indices.
    std::wstring child(256, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(child.size());
        rc = RegEnumKeyExW(key, 0, &child[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            child.resize(child.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        HRESULT hr = DeleteKeyTree(key, child.substr(0, length));
        if (FAILED(hr)) {
            RegCloseKey(key);
            return hr;
        }
    }
    RegCloseKey(key);
    rc = RegDeleteKeyW(root, path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterComClass(const CClassRegistration& c)
{
    const std::wstring module = CModule::Path();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring clsid = GuidText(*c.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    HKEY r = HKEY_CLASSES_ROOT;
    HRESULT hr = S_OK;
    auto set = [&](const std::wstring& path, const wchar_t* name, const std::wstring& value) {
        if (SUCCEEDED(hr))
            hr = SetKeyValue(r, path, name, value);
    };
    auto make = [&](const std::wstring& path) {
        if (SUCCEEDED(hr))
            hr = CreateKey(r, path);
    };
    set(c.progId, nullptr, c.description);
    set(std::wstring(c.progId) + L"\\CLSID", nullptr, clsid);
    if (c.versionIndependentProgId) {
        set(c.versionIndependentProgId, nullptr, c.description);
        set(std::wstring(c.versionIndependentProgId) + L"\\CLSID", nullptr, clsid);
        set(std::wstring(c.versionIndependentProgId) + L"\\CurVer", nullptr, c.progId);
    }

    set(key, nullptr, c.description);
    set(key + L"\\ProgID", nullptr, c.progId);
    if (c.versionIndependentProgId)
        set(key + L"\\VersionIndependentProgID", nullptr, c.versionIndependentProgId);
    make(key + L"\\Programmable");
    set(key + L"\\InprocServer32", nullptr, module);
    set(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (c.libid) {
        if (c.insertable) {
            make(std::wstring(c.progId) + L"\\Insertable");
            if (c.versionIndependentProgId)
                make(std::wstring(c.versionIndependentProgId) + L"\\Insertable");
            make(key + L"\\Insertable");
        }
        make(key + L"\\Control");
        set(key + L"\\ToolboxBitmap32", nullptr, module + L", " + std::to_wstring(c.toolboxBitmap));
        set(key + L"\\MiscStatus", nullptr, L"0");
        set(key + L"\\MiscStatus\\1", nullptr, std::to_wstring(c.miscStatus));
        set(key + L"\\TypeLib", nullptr, GuidText(*c.libid));
        set(key + L"\\Version", nullptr, c.version ? c.version : L"1.0");
    }
    return hr;
}

HRESULT UnregisterComClass(const CClassRegistration& c)
{
    HRESULT hr = DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(*c.clsid));
    HRESULT hr2 = DeleteKeyTree(HKEY_CLASSES_ROOT, c.progId);
    HRESULT hr3 = c.versionIndependentProgId ? DeleteKeyTree(HKEY_CLASSES_ROOT, c.versionIndependentProgId) : S_OK;
    return FAILED(hr) ? hr : FAILED(hr2) ? hr2 : hr3;
}

HRESULT RegisterModuleTypeLib()
{
    // Registered with the module's path as the module knows it, so the
    // entry reads as the InprocServer32 entry does.
    const std::wstring path = CModule::Path();
    CPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    return RegisterTypeLib(lib, const_cast<LPOLESTR>(path.c_str()), nullptr);
}

HRESULT UnregisterModuleTypeLib()
{
    CPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(CModule::Path().c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr))
        return hr;
    const std::wstring key = L"TypeLib\\" + GuidText(attr->guid) + L"\\" + std::to_wstring(attr->wMajorVerNum) +
                             L"." + std::to_wstring(attr->wMinorVerNum);
    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    } else {
        // Already gone is what was asked for.
        hr = S_OK;
    }
    lib->ReleaseTLibAttr(attr);
    return hr;
}

}  // namespace mbcom
