// What the three analysis controls share: the ActiveX control of the COM
// layer, a plain dispatch interface served from a table of members, the
// caption they draw, their one property page and their about box.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "Control.h"
#include "Dispatch.h"

class CAnalyzerCtrl : public mbcom::CControlBase, public IDispatch {
public:
    struct CInfo {
        const CLSID* clsid;
        const IID* dispatch;     // the control's dispinterface
        const IID* events;
        DWORD miscStatus;
        const CLSID* page;
        const char* caption;     // drawn over the control's bounds
        bool windowless;         // asks the container for windowless activation
    };
    explicit CAnalyzerCtrl(const CInfo& info);
    ~CAnalyzerCtrl() override;

    MBCOM_FORWARD_IUNKNOWN(mbcom::CControlBase)

    // IDispatch: names and type information from the type library, calls
    // through InvokeMember.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_typeInfo.GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** out) override
    {
        return m_typeInfo.GetTypeInfo(i, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override
    {
        return m_typeInfo.GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // Member 2 of every control: reads the file's facts; FALSE when it
    // cannot be opened.
    virtual BOOL SetFilePath(const char* path) = 0;

protected:
    // A member without arguments (every one but SetFilePath and GetSize);
    // DISP_E_MEMBERNOTFOUND for a dispid the control lacks.
    virtual HRESULT InvokeGetter(DISPID id, VARIANT* result) = 0;
    // The two halves of the file's size for member 10, GetSize(long*, long*);
    // false for a control without that member.
    virtual bool FileSize(DWORD& low, DWORD& high) const { return false; }

    void* QueryDerived(REFIID iid) override;
    void OnDraw(HDC dc, const RECT& bounds) override;
    std::vector<CLSID> PropertyPages() const override { return {*m_info.page}; }

    // Member helpers: the path argument in the ANSI code page, results.
    static HRESULT PathArgument(const mbcom::CDispArgs& args, std::string& path);
    static HRESULT ReturnBool(bool value, VARIANT* result);
    static HRESULT ReturnText(const std::string& ansi, VARIANT* result);
    static HRESULT ReturnLong(LONG value, VARIANT* result);
    // Shows the about box template modally over the control's window.
    HRESULT ShowAboutBox(int dialogId);

private:
    HRESULT InvokeMember(DISPID id, const mbcom::CDispArgs& args, VARIANT* result);
    static HRESULT GetSize(const mbcom::CDispArgs& args, DWORD low, DWORD high);

    CInfo m_info;
    mbcom::CTypeDispatch m_typeInfo;
};

// The ANSI form of a UTF-16 text and back, in the system code page.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
