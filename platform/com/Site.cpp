#include "Site.h"

#include <olectl.h>

namespace mbcom {

// --- CEventSink ---

HRESULT CEventSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, m_events)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CEventSink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CEventSink::Release()
{
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT CEventSink::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return DISP_E_UNKNOWNNAME;
}

HRESULT CEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    if (m_handler) {
        DISPPARAMS none{};
        m_handler(id, params ? params : &none);
    }
    return S_OK;
}

// --- CControlSite ---

HRESULT CControlSite::Create(HWND host, REFCLSID clsid, CControlSite** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CPtr<CControlSite> site(new (std::nothrow) CControlSite(host));
    if (!site)
        return E_OUTOFMEMORY;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&site->m_control));
    if (FAILED(hr))
        return hr;
    hr = site->m_control.As(&site->m_oleObject);
    if (FAILED(hr)) {
        site->m_control.Release();
        return hr;
    }
    DWORD status = 0;
    site->m_oleObject->GetMiscStatus(DVASPECT_CONTENT, &status);
    // Controls that ask for their site first get it before their state.
    if (status & OLEMISC_SETCLIENTSITEFIRST)
        site->m_oleObject->SetClientSite(site);
    CPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(site->m_control.As(&persist)))
        persist->InitNew();
    if (!(status & OLEMISC_SETCLIENTSITEFIRST))
        site->m_oleObject->SetClientSite(site);
    site->m_control.As(&site->m_dispatch);
    RECT rect{};
    GetClientRect(host, &rect);
    hr = site->m_oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, host, &rect);
    if (FAILED(hr)) {
        site->Destroy();
        return hr;
    }
    *out = site.Detach();
    return S_OK;
}

HRESULT CControlSite::Advise(EventHandler handler, const IID* events)
{
    if (!m_control)
        return E_UNEXPECTED;
    IID iid = IID_NULL;
    if (events) {
        iid = *events;
    } else {
        CPtr<IProvideClassInfo2> info;
        HRESULT hr = m_control.As(&info);
        if (SUCCEEDED(hr))
            hr = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
        if (FAILED(hr))
            return hr;
    }
    CPtr<IConnectionPointContainer> container;
    HRESULT hr = m_control.As(&container);
    if (FAILED(hr))
        return hr;
    CPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(iid, &point);
    if (FAILED(hr))
        return hr;
    CPtr<CEventSink> sink(new (std::nothrow) CEventSink(iid, std::move(handler)));
    if (!sink)
        return E_OUTOFMEMORY;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    if (FAILED(hr))
        return hr;
    if (m_eventPoint) {
        m_eventPoint->Unadvise(m_eventCookie);
        m_sink->Detach();
    }
    m_eventPoint = point;
    m_sink = sink;
    m_eventCookie = cookie;
    return S_OK;
}

void CControlSite::Destroy()
{
    // Keep this site alive until it has let go of everything.
    CPtr<CControlSite> self(this);
    if (m_eventPoint) {
        m_eventPoint->Unadvise(m_eventCookie);
        m_eventPoint.Release();
    }
    if (m_sink) {
        m_sink->Detach();
        m_sink.Release();
    }
    if (m_oleObject) {
        m_oleObject->Close(OLECLOSE_NOSAVE);
        m_oleObject->SetClientSite(nullptr);
        m_oleObject.Release();
    }
    m_dispatch.Release();
    m_control.Release();
}

void CControlSite::Resize()
{
    CPtr<IOleInPlaceObject> inPlace;
    if (!m_control || FAILED(m_control.As(&inPlace)))
        return;
    RECT rect{};
    GetClientRect(m_host, &rect);
    inPlace->SetObjectRects(&rect, &rect);
}

HWND CControlSite::ControlWindow() const
{
    CPtr<IOleWindow> window;
    HWND hwnd = nullptr;
    if (m_control && SUCCEEDED(m_control.As(&window)))
        window->GetWindow(&hwnd);
    return hwnd;
}

HRESULT CControlSite::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    void* p = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        p = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
        p = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
        p = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(iid, IID_IDispatch))
        p = static_cast<IDispatch*>(this);
    *out = p;
    if (!p)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CControlSite::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CControlSite::Release()
{
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT CControlSite::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CControlSite::GetContainer(IOleContainer** out)
{
    if (out)
        *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT CControlSite::GetWindow(HWND* out)
{
    if (!out)
        return E_POINTER;
    *out = m_host;
    return S_OK;
}

HRESULT CControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                       LPOLEINPLACEFRAMEINFO info)
{
    if (!frame || !doc || !pos || !clip || !info)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    GetClientRect(m_host, pos);
    *clip = *pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(m_host, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT CControlSite::OnPosRectChange(LPCRECT pos)
{
    CPtr<IOleInPlaceObject> inPlace;
    if (pos && m_control && SUCCEEDED(m_control.As(&inPlace)))
        inPlace->SetObjectRects(pos, pos);
    return S_OK;
}

HRESULT CControlSite::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return DISP_E_UNKNOWNNAME;
}

HRESULT CControlSite::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace mbcom
