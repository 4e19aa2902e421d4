// The property page of each analysis control: one dialog of credits, no
// controls, nothing exchanged with the objects it is given.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "ComPtr.h"
#include "Module.h"

extern const CLSID CLSID_MP3AnalyzerPropPage;
extern const CLSID CLSID_WMAAnalyzerPropPage;
extern const CLSID CLSID_AACAnalyzerPropPage;

class CAnalyzerPropPage : public IPropertyPage {
public:
    // The dialog template and the caption string share the number.
    explicit CAnalyzerPropPage(int dialogId) : m_dialogId(dialogId) {}
    virtual ~CAnalyzerPropPage();
    CAnalyzerPropPage(const CAnalyzerPropPage&) = delete;
    CAnalyzerPropPage& operator=(const CAnalyzerPropPage&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT cmd) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Apply() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

    mbcom::CModuleRef m_module;
    volatile LONG m_refs = 0;
    int m_dialogId;
    mbcom::CPtr<IPropertyPageSite> m_site;
    HWND m_dialog = nullptr;
};

// The three pages as classes the class table can create.
template <int DialogId>
class CAnalyzerPropPageOf : public CAnalyzerPropPage {
public:
    CAnalyzerPropPageOf() : CAnalyzerPropPage(DialogId) {}
};
