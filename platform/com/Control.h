// The control side of an ActiveX control: embedding (IOleObject), in-place
// activation in a window of its own, drawing for the container (IViewObject2),
// persistence of its extent, class information for event binding, property
// pages, and one connection point for its events. A control derives from it,
// adds its dual interface and draws and handles the mouse in the hooks.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "ComPtr.h"
#include "ConnectionPoint.h"
#include "Module.h"

namespace mbcom {

class CControlBase : public IOleObject,
                     public IOleInPlaceObjectWindowless,
                     public IOleInPlaceActiveObject,
                     public IOleControl,
                     public IViewObject2,
                     public IPersistStreamInit,
                     public IProvideClassInfo2,
                     public ISpecifyPropertyPages,
                     public IConnectionPointContainer,
                     public ISupportErrorInfo {
public:
    struct CIdentity {
        const CLSID* clsid;
        const IID* primary;         // the dual interface (error information)
        const IID* events;          // the event dispinterface
        DWORD miscStatus;
        SIZE initialPixels;
        // Asks the container for windowless activation; a container that
        // cannot give it gets the control in a window of its own.
        bool windowless = false;
    };
    explicit CControlBase(const CIdentity& identity);
    virtual ~CControlBase();
    CControlBase(const CControlBase&) = delete;
    CControlBase& operator=(const CControlBase&) = delete;

    // IUnknown: a derived class forwards its own IUnknown here.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IOleInPlaceObjectWindowless: the container passes the mouse on.
    HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** out) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDc,
                                   HDC dc, LPCRECTL bounds, LPCRECTL wBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                                   ULONG_PTR contArg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE*, LPSIZEL size) override;

    // IPersistStreamInit: the stream holds a version and the extent; a
    // changed extent makes the object dirty until it is saved or loaded.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override
    {
        m_dirty = false;
        return S_OK;
    }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    HWND ControlWindow() const { return m_hwnd; }
    // Active in place without a window: the container draws and owns the
    // window the control shows in.
    bool IsWindowless() const { return m_windowless; }

protected:
    // The derived interfaces (dual, browsing); null when not one of them.
    virtual void* QueryDerived(REFIID iid) { return nullptr; }
    virtual void OnDraw(HDC dc, const RECT& bounds) = 0;
    virtual void OnMouseMove(int x, int y) {}
    virtual void OnCreateWindow() {}
    virtual void OnDestroyWindow() {}
    // The property pages' classes (none by default).
    virtual std::vector<CLSID> PropertyPages() const { return {}; }

    // A derived destructor calls this first, so its window hooks still run.
    void DestroyControlWindow()
    {
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
    }
    // Redraws the window, or tells the container's view sink.
    void FireViewChange();
    void FireEventLong(DISPID id, LONG value) { m_events.FireLong(id, value); }

private:
    HRESULT ActivateInPlace(bool show);
    HRESULT ActivateWindowless();
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

    CModuleRef m_module;
    volatile LONG m_refs = 0;
    CIdentity m_identity;
    SIZEL m_extent{};  // HIMETRIC
    bool m_dirty = false;  // the persisted state changed since the last save or load
    HWND m_hwnd = nullptr;
    bool m_windowless = false;
    RECT m_position{};  // in the container's window, while windowless
    CPtr<IOleClientSite> m_clientSite;
    CPtr<IOleInPlaceSite> m_inPlaceSite;
    CPtr<IOleAdviseHolder> m_adviseHolder;
    CPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewFlags = 0;
    CConnectionPoint m_events;
};

// The one IUnknown of a control that adds interfaces of its own.
#define MBCOM_FORWARD_IUNKNOWN(Base)                                                                                   \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return Base::QueryInterface(iid, out); } \
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }                                               \
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }

// A property page's size: its dialog template (of the module's resources) in
// pixels of this screen, measured on a hidden copy; 0 x 0 when it cannot be
// made.
SIZE MeasurePageTemplate(UINT dialogId);

}  // namespace mbcom
