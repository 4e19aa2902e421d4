// The in-process server's module: its instance, the count of live objects
// and locks that decides DllCanUnloadNow, and class factories.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <string>

namespace mbcom {

class CModule {
public:
    static void Init(HINSTANCE instance) { s_instance = instance; }
    static HINSTANCE Instance() { return s_instance; }
    static std::wstring Path();

    static void Lock() { InterlockedIncrement(&s_locks); }
    static void Unlock() { InterlockedDecrement(&s_locks); }
    static LONG LockCount() { return s_locks; }
    // S_OK when no object and no lock keeps the module loaded.
    static HRESULT CanUnloadNow() { return s_locks == 0 ? S_OK : S_FALSE; }

private:
    static HINSTANCE s_instance;
    static volatile LONG s_locks;
};

// Holds the module while an object lives.
struct CModuleRef {
    CModuleRef() { CModule::Lock(); }
    ~CModuleRef() { CModule::Unlock(); }
    CModuleRef(const CModuleRef&) = delete;
    CModuleRef& operator=(const CModuleRef&) = delete;
};

// Creates a new object and asks it for an interface; the object starts with
// no reference of its own.
using CreateFunction = HRESULT (*)(REFIID iid, void** out);

// The class object of one class: aggregation is refused.
class CClassFactory : public IClassFactory {
public:
    explicit CClassFactory(CreateFunction create) : m_create(create) {}
    virtual ~CClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CModuleRef m_module;
    volatile LONG m_refs = 0;
    CreateFunction m_create;
};

// One entry of a module's class table.
struct CClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

// DllGetClassObject over a class table.
HRESULT GetClassObject(const CClassEntry* table, size_t count, REFCLSID clsid, REFIID iid, void** out);

// Makes an object with new, hands out the interface asked for, and deletes it
// again when that fails.
template <class T>
HRESULT CreateObject(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    T* object = new (std::nothrow) T();
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace mbcom
