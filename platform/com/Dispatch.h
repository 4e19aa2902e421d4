// Automation helpers for both sides: dispatch through a type library with
// error information (the server), and calls by dispid (the client).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

#include "ComPtr.h"

namespace mbcom {

// The type information of an interface or class in the module's own type
// library (its TYPELIB resource 1).
HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo** out);

// Leaves the error information for the caller and returns DISP_E_EXCEPTION,
// which is what automation clients expect from a refused property value.
HRESULT ReportError(REFCLSID source, REFIID iid, const wchar_t* description);

// IDispatch of a dual interface through its type information. The object
// answers GetTypeInfo and friends with it and lets ITypeInfo::Invoke call the
// vtable; when a call fails, the error information it left becomes the
// exception's description.
class CTypeDispatch {
public:
    HRESULT Init(REFIID iid) { return LoadModuleTypeInfo(iid, &m_info); }
    HRESULT GetTypeInfoCount(UINT* count);
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out);
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
    HRESULT Invoke(void* instance, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr);

private:
    CPtr<ITypeInfo> m_info;
};

// Client side: a call by dispid. Arguments come in their natural order;
// property puts get the named argument automation needs.
HRESULT InvokeByDispid(IDispatch* disp, DISPID id, WORD flags, std::initializer_list<VARIANT> args,
                       VARIANT* result = nullptr, EXCEPINFO* excep = nullptr);

inline VARIANT MakeI2(short v)
{
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I2;
    x.iVal = v;
    return x;
}
inline VARIANT MakeI4(LONG v)
{
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

}  // namespace mbcom
