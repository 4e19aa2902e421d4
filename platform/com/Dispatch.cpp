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
