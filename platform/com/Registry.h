// Registry entries of an in-process server: its classes under
// HKEY_CLASSES_ROOT and its type library.
#pragma once

#include <windows.h>

#include <string>

namespace mbcom {

std::wstring GuidText(REFGUID guid);

struct CClassRegistration {
    const CLSID* clsid;
    const wchar_t* description;
    const wchar_t* progId;                   // "Module.Class.1"
    const wchar_t* versionIndependentProgId; // "Module.Class"; null: none
    // Controls only (null libid: a plain class such as a property page).
    const GUID* libid = nullptr;
    const wchar_t* version = nullptr;
    int toolboxBitmap = 0;
    DWORD miscStatus = 0;
    // Controls offered to containers' "insert object" lists.
    bool insertable = true;
};

// Writes the class with the module's own path as its server (apartment
// threaded); S_OK or the failing registry call's error.
HRESULT RegisterComClass(const CClassRegistration& c);
// Removes what RegisterComClass wrote; missing keys are no failure.
HRESULT UnregisterComClass(const CClassRegistration& c);

// The type library embedded as the module's TYPELIB resource 1.
HRESULT RegisterModuleTypeLib();
HRESULT UnregisterModuleTypeLib();

// Deletes a key with everything beneath it; S_OK also when it is missing.
HRESULT DeleteKeyTree(HKEY root, const std::wstring& path);
HRESULT SetKeyValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);

}  // namespace mbcom
