// ProgressCtl: the skinned progress bar control of Progress.dll.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "Control.h"
#include "Dispatch.h"
#include "ProgressModel.h"
#include "Progress_h.h"

// How containers treat the control (IOleObject::GetMiscStatus and the
// registered MiscStatus): it resizes by recomposing, no link goes inside it,
// it activates in place when visible, and it wants its site before its state.
constexpr DWORD PROGRESS_MISC_STATUS = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                       OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

class ProgressCtl : public mbcom::CControlBase, public IProgressCtl, public IPerPropertyBrowsing {
public:
    ProgressCtl();
    ~ProgressCtl() override;

    MBCOM_FORWARD_IUNKNOWN(mbcom::CControlBase)

    // IDispatch (through the type library)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_dispatch.GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** out) override
    {
        return m_dispatch.GetTypeInfo(i, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override
    {
        return m_dispatch.GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override
    {
        return m_dispatch.Invoke(static_cast<IProgressCtl*>(this), id, riid, lcid, flags, params, result, excep,
                                 argErr);
    }

    // IProgressCtl
    HRESULT STDMETHODCALLTYPE get_ProgressNum(short* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProgressNum(short newVal) override;
    HRESULT STDMETHODCALLTYPE get_BitmapOrder(short nDraw, short* pVal) override;
    HRESULT STDMETHODCALLTYPE put_BitmapOrder(short nDraw, short newVal) override;
    HRESULT STDMETHODCALLTYPE SetPos(short pNum, ULONG nPos) override;
    HRESULT STDMETHODCALLTYPE GetPos(short pNum, LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE SetRange(ULONG nLower, ULONG nUpper) override;
    HRESULT STDMETHODCALLTYPE GetRange(LONG* pVal) override;

    // IPerPropertyBrowsing
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID id, CLSID* page) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;

    // The colour names as the user sees them.
    static const wchar_t* ColourName(int colour);

protected:
    void* QueryDerived(REFIID iid) override;
    void OnDraw(HDC dc, const RECT& bounds) override;
    void OnMouseMove(int x, int y) override;
    void OnCreateWindow() override;
    void OnDestroyWindow() override;
    std::vector<CLSID> PropertyPages() const override { return {CLSID_ProgressProp}; }

private:
    HRESULT Refuse(progress::PUT_RESULT result);
    void LoadBackground();

    mbcom::CTypeDispatch m_dispatch;
    progress::CProgressModel m_model;
    HBITMAP m_background = nullptr;
    HBITMAP m_pieces[progress::kColourCount][3] = {};
};
