// Automation helpers for both sides: dispatch through a type library with
// error information (the server), and calls by dispid (the client).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>

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

// Server side of a pure dispinterface (no vtable behind it, so no type
// information can make the call): the arguments of one Invoke in their
// natural order, checked and coerced as automation does. Failures name the
// argument through argErr.
class CDispArgs {
public:
    CDispArgs(const DISPPARAMS* params, UINT* argErr) : m_params(params), m_argErr(argErr) {}
    // DISP_E_BADPARAMCOUNT unless exactly count positional arguments;
    // DISP_E_NONAMEDARGS for named ones.
    HRESULT Expect(UINT count) const;
    // The argument as text (anything that coerces to a BSTR).
    HRESULT Text(UINT index, std::wstring& out) const;
    // A 32-bit integer passed by reference (VT_I4 | VT_BYREF, also inside a
    // VARIANT passed by reference).
    HRESULT LongRef(UINT index, LONG*& out) const;

private:
    const VARIANT* At(UINT index) const;
    HRESULT Fail(UINT index, HRESULT hr) const;

    const DISPPARAMS* m_params;
    UINT* m_argErr;
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
