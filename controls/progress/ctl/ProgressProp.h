// ProgressProp: the property page of ProgressCtl. It edits the segment count
// and the four segments' colours of every object the frame hands it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "ComPtr.h"
#include "Module.h"

class ProgressProp : public IPropertyPage {
public:
    ProgressProp() = default;
    virtual ~ProgressProp();

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
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return m_dirty ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void InitFromFirstObject();
    void SetDirty(bool dirty);
    void ReleaseObjects();

    mbcom::CModuleRef m_module;
    volatile LONG m_refs = 0;
    mbcom::CPtr<IPropertyPageSite> m_site;
    std::vector<IUnknown*> m_objects;
    HWND m_dialog = nullptr;
    bool m_dirty = false;
    bool m_filling = false;
};
