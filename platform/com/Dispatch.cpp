#include "Dispatch.h"

#include <string>
#include <vector>

#include "Module.h"

namespace mbcom {

HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // oleaut32 keeps loaded libraries by path, so every object asking again
    // gets the same one.
    CPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(CModule::Path().c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    return lib->GetTypeInfoOfGuid(guid, out);
}

HRESULT ReportError(REFCLSID source, REFIID iid, const wchar_t* description)
{
    CPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        const std::wstring sourceText = [&] {
            wchar_t text[40] = {};
            StringFromGUID2(source, text, 40);
            return std::wstring(text);
        }();
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(sourceText.c_str()));
        create->SetDescription(const_cast<LPOLESTR>(description));
        CPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info)))
            SetErrorInfo(0, info);
    }
    return DISP_E_EXCEPTION;
}

HRESULT CTypeDispatch::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = m_info ? 1 : 0;
    return S_OK;
}

HRESULT CTypeDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    if (!m_info)
        return TYPE_E_ELEMENTNOTFOUND;
    *out = m_info;
    m_info->AddRef();
    return S_OK;
}

HRESULT CTypeDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!m_info)
        return E_UNEXPECTED;
    return m_info->GetIDsOfNames(names, count, ids);
}

HRESULT CTypeDispatch::Invoke(void* instance, DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* argErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!m_info)
        return E_UNEXPECTED;
    EXCEPINFO local{};
    EXCEPINFO* info = excep ? excep : &local;
    SetErrorInfo(0, nullptr);
    HRESULT hr = m_info->Invoke(instance, id, flags, params, result, info, argErr);
    if (hr == DISP_E_EXCEPTION && !info->bstrDescription) {
        // Not every oleaut32 copies the error information into the
        // exception; the caller needs the text either way.
        CPtr<IErrorInfo> error;
        if (GetErrorInfo(0, &error) == S_OK) {
            error->GetDescription(&info->bstrDescription);
            if (!info->bstrSource)
                error->GetSource(&info->bstrSource);
        }
        if (!info->scode && !info->wCode)
            info->scode = DISP_E_EXCEPTION;
    }
    if (info == &local) {
        SysFreeString(local.bstrDescription);
        SysFreeString(local.bstrSource);
        SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

const VARIANT* CDispArgs::At(UINT index) const
{
    // Automation passes the arguments last first.
    return &m_params->rgvarg[m_params->cArgs - 1 - index];
}

HRESULT CDispArgs::Fail(UINT index, HRESULT hr) const
{
    if (m_argErr)
        *m_argErr = m_params->cArgs - 1 - index;
    return hr;
}

HRESULT CDispArgs::Expect(UINT count) const
{
    if (!m_params)
        return E_INVALIDARG;
    if (m_params->cNamedArgs)
        return DISP_E_NONAMEDARGS;
    if (m_params->cArgs != count)
        return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

HRESULT CDispArgs::Text(UINT index, std::wstring& out) const
{
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = VariantChangeType(&v, const_cast<VARIANT*>(At(index)), 0, VT_BSTR);
    if (FAILED(hr))
        return Fail(index, DISP_E_TYPEMISMATCH);
    out.assign(v.bstrVal ? v.bstrVal : L"", v.bstrVal ? SysStringLen(v.bstrVal) : 0);
    VariantClear(&v);
    return S_OK;
}

HRESULT CDispArgs::LongRef(UINT index, LONG*& out) const
{
    const VARIANT* v = At(index);
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal)
        v = v->pvarVal;
    if (v->vt == (VT_I4 | VT_BYREF) && v->plVal) {
        out = v->plVal;
        return S_OK;
    }
    if (v->vt == VT_I4 && v != At(index)) {
        // A VARIANT by reference that holds the integer itself.
        out = const_cast<LONG*>(&v->lVal);
        return S_OK;
    }
    return Fail(index, DISP_E_TYPEMISMATCH);
}

HRESULT InvokeByDispid(IDispatch* disp, DISPID id, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result,
                       EXCEPINFO* excep)
{
    if (!disp)
        return E_POINTER;
    // Automation takes the arguments last first.
    std::vector<VARIANT> reversed(args.begin(), args.end());
    std::vector<VARIANT> rgvarg(reversed.rbegin(), reversed.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(rgvarg.size());
    params.rgvarg = rgvarg.empty() ? nullptr : rgvarg.data();
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &named;
    }
    UINT argErr = 0;
    return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excep, &argErr);
}

}  // namespace mbcom
