#include "Control.h"

#include "Dispatch.h"

namespace mbcom {

namespace {

const wchar_t kWindowClass[] = L"MbComControl";

LONG PixelsToHimetric(LONG px, int dpi) { return MulDiv(px, 2540, dpi); }

int ScreenDpi(bool horizontal)
{
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, horizontal ? LOGPIXELSX : LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

bool RegisterWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(CModule::Instance(), kWindowClass, &wc))
        return true;
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = CModule::Instance();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

CControlBase::CControlBase(const CIdentity& identity)
    : m_identity(identity), m_events(static_cast<IConnectionPointContainer*>(this), *identity.events)
{
    m_extent.cx = PixelsToHimetric(identity.initialPixels.cx, ScreenDpi(true));
    m_extent.cy = PixelsToHimetric(identity.initialPixels.cy, ScreenDpi(false));
}

CControlBase::~CControlBase()
{
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
}

HRESULT CControlBase::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    void* p = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject))
        p = static_cast<IOleObject*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
        p = static_cast<IOleInPlaceObject*>(static_cast<IOleInPlaceObjectWindowless*>(this));
    else if (IsEqualIID(iid, IID_IOleInPlaceObjectWindowless) && m_identity.windowless)
        p = static_cast<IOleInPlaceObjectWindowless*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
        p = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(iid, IID_IOleControl))
        p = static_cast<IOleControl*>(this);
    else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
        p = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit))
        p = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2))
        p = static_cast<IProvideClassInfo2*>(this);
    else if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
        p = static_cast<ISpecifyPropertyPages*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        p = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(iid, IID_ISupportErrorInfo))
        p = static_cast<ISupportErrorInfo*>(this);
    else
        p = QueryDerived(iid);
    *out = p;
    if (!p)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CControlBase::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CControlBase::Release()
{
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

// --- IOleObject ---

HRESULT CControlBase::SetClientSite(IOleClientSite* site)
{
    m_clientSite = site;
    return S_OK;
}

HRESULT CControlBase::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = m_clientSite;
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

HRESULT CControlBase::Close(DWORD)
{
    InPlaceDeactivate();
    if (m_adviseHolder)
        m_adviseHolder->SendOnClose();
    return S_OK;
}

HRESULT CControlBase::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CControlBase::GetClipboardData(DWORD, IDataObject** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT)
{
    if (site && !m_clientSite)
        m_clientSite = site;
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return ActivateInPlace(true);
    case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(true);
    case OLEIVERB_HIDE:
        if (m_hwnd)
            ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    default:
        return E_NOTIMPL;
    }
}

HRESULT CControlBase::EnumVerbs(IEnumOLEVERB** out)
{
    return OleRegEnumVerbs(*m_identity.clsid, out);
}

HRESULT CControlBase::GetUserClassID(CLSID* clsid)
{
    return GetClassID(clsid);
}

HRESULT CControlBase::GetUserType(DWORD form, LPOLESTR* type)
{
    return OleRegGetUserType(*m_identity.clsid, form, type);
}

HRESULT CControlBase::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    if (size->cx != m_extent.cx || size->cy != m_extent.cy)
        m_dirty = true;
    m_extent = *size;
    return S_OK;
}

HRESULT CControlBase::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT CControlBase::Advise(IAdviseSink* sink, DWORD* cookie)
{
    if (!m_adviseHolder) {
        HRESULT hr = CreateOleAdviseHolder(&m_adviseHolder);
        if (FAILED(hr))
            return hr;
    }
    return m_adviseHolder->Advise(sink, cookie);
}

HRESULT CControlBase::Unadvise(DWORD cookie)
{
    return m_adviseHolder ? m_adviseHolder->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT CControlBase::EnumAdvise(IEnumSTATDATA** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(out) : E_FAIL;
}

HRESULT CControlBase::GetMiscStatus(DWORD aspect, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = m_identity.miscStatus;
    return S_OK;
}

// --- in-place activation ---

HRESULT CControlBase::ActivateWindowless()
{
    CPtr<IOleInPlaceSiteWindowless> site;
    if (FAILED(m_clientSite.As(&site)) || !site || site->CanWindowlessActivate() != S_OK)
        return S_FALSE;
    if (site->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    BOOL noRedraw = FALSE;
    HRESULT hr = site->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
    if (FAILED(hr))
        return hr;
    CPtr<IOleInPlaceFrame> frame;
    CPtr<IOleInPlaceUIWindow> document;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (FAILED(site->GetWindowContext(&frame, &document, &pos, &clip, &info))) {
        site->OnInPlaceDeactivateEx(TRUE);
        return E_FAIL;
    }
    m_position = pos;
    m_extent.cx = PixelsToHimetric(pos.right - pos.left, ScreenDpi(true));
    m_extent.cy = PixelsToHimetric(pos.bottom - pos.top, ScreenDpi(false));
    m_inPlaceSite = static_cast<IOleInPlaceSite*>(site.Get());
    m_windowless = true;
    site->InvalidateRect(&pos, FALSE);
    return S_OK;
}

HRESULT CControlBase::ActivateInPlace(bool show)
{
    if (m_hwnd || m_windowless) {
        if (show && m_hwnd)
            ShowWindow(m_hwnd, SW_SHOW);
        return S_OK;
    }
    if (!m_clientSite)
        return E_UNEXPECTED;
    if (m_identity.windowless) {
        HRESULT hr = ActivateWindowless();
        if (hr != S_FALSE)
            return hr;
    }
    CPtr<IOleInPlaceSite> site;
    HRESULT hr = m_clientSite.As(&site);
    if (FAILED(hr))
        return hr;
    if (site->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    site->OnInPlaceActivate();
    HWND parent = nullptr;
    CPtr<IOleInPlaceFrame> frame;
    CPtr<IOleInPlaceUIWindow> document;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    if (FAILED(site->GetWindow(&parent)) ||
        FAILED(site->GetWindowContext(&frame, &document, &pos, &clip, &info)) || !RegisterWindowClass()) {
        site->OnInPlaceDeactivate();
        return E_FAIL;
    }
    HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | (show ? WS_VISIBLE : 0),
                                pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                                CModule::Instance(), nullptr);
    if (!hwnd) {
        site->OnInPlaceDeactivate();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    m_hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CControlBase::StaticWndProc));
    m_extent.cx = PixelsToHimetric(pos.right - pos.left, ScreenDpi(true));
    m_extent.cy = PixelsToHimetric(pos.bottom - pos.top, ScreenDpi(false));
    m_inPlaceSite = site;
    OnCreateWindow();
    return S_OK;
}

HRESULT CControlBase::InPlaceDeactivate()
{
    if (!m_inPlaceSite)
        return S_OK;
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
    m_windowless = false;
    CPtr<IOleInPlaceSite> site = m_inPlaceSite;
    m_inPlaceSite.Release();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT CControlBase::GetWindow(HWND* out)
{
    if (!out)
        return E_POINTER;
    *out = m_hwnd;
    return m_hwnd ? S_OK : E_FAIL;
}

HRESULT CControlBase::SetObjectRects(LPCRECT pos, LPCRECT)
{
    if (!pos)
        return E_POINTER;
    if (m_hwnd)
        MoveWindow(m_hwnd, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top, TRUE);
    m_position = *pos;
    m_extent.cx = PixelsToHimetric(pos->right - pos->left, ScreenDpi(true));
    m_extent.cy = PixelsToHimetric(pos->bottom - pos->top, ScreenDpi(false));
    return S_OK;
}

HRESULT CControlBase::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    info->cb = sizeof(*info);
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// --- IViewObject2 ---

HRESULT CControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    OnDraw(dc, r);
    return S_OK;
}

HRESULT CControlBase::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    m_viewAspects = aspects;
    m_viewFlags = flags;
    m_viewSink = sink;
    return S_OK;
}

HRESULT CControlBase::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = m_viewAspects;
    if (flags)
        *flags = m_viewFlags;
    if (sink) {
        *sink = m_viewSink;
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

HRESULT CControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

HRESULT CControlBase::OnWindowMessage(UINT msg, WPARAM, LPARAM lp, LRESULT* result)
{
    if (result)
        *result = 0;
    if (!m_windowless)
        return E_UNEXPECTED;
    if (msg == WM_MOUSEMOVE) {
        // Container coordinates: the control's own start at its left top.
        OnMouseMove(static_cast<short>(LOWORD(lp)) - m_position.left, static_cast<short>(HIWORD(lp)) - m_position.top);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT CControlBase::GetDropTarget(IDropTarget** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

void CControlBase::FireViewChange()
{
    if (m_windowless) {
        CPtr<IOleInPlaceSiteWindowless> site;
        if (SUCCEEDED(m_inPlaceSite.As(&site)) && site)
            site->InvalidateRect(&m_position, FALSE);
        return;
    }
    if (m_hwnd)
        InvalidateRect(m_hwnd, nullptr, FALSE);
    else if (m_viewSink)
        m_viewSink->OnViewChange(DVASPECT_CONTENT, -1);
}

// --- IPersistStreamInit ---

HRESULT CControlBase::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = *m_identity.clsid;
    return S_OK;
}

namespace {
const DWORD kStreamVersion = 0x0100;
}

HRESULT CControlBase::Load(LPSTREAM stream)
{
    if (!stream)
        return E_POINTER;
    DWORD data[3] = {};
    ULONG read = 0;
    HRESULT hr = stream->Read(data, sizeof(data), &read);
    if (FAILED(hr))
        return hr;
    // Streams of other versions or shorter ones keep the defaults: a
    // container's old data never stops the control from loading.
    if (read == sizeof(data) && data[0] == kStreamVersion && static_cast<LONG>(data[1]) > 0 &&
        static_cast<LONG>(data[2]) > 0) {
        m_extent.cx = static_cast<LONG>(data[1]);
        m_extent.cy = static_cast<LONG>(data[2]);
    }
    m_dirty = false;
    return S_OK;
}

HRESULT CControlBase::Save(LPSTREAM stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    DWORD data[3] = {kStreamVersion, static_cast<DWORD>(m_extent.cx), static_cast<DWORD>(m_extent.cy)};
    const HRESULT hr = stream->Write(data, sizeof(data), nullptr);
    if (SUCCEEDED(hr) && clearDirty)
        m_dirty = false;
    return hr;
}

HRESULT CControlBase::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 3 * sizeof(DWORD);
    return S_OK;
}

// --- class information, pages, events, errors ---

HRESULT CControlBase::GetClassInfo(ITypeInfo** out)
{
    return LoadModuleTypeInfo(*m_identity.clsid, out);
}

HRESULT CControlBase::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = *m_identity.events;
    return S_OK;
}

HRESULT CControlBase::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    std::vector<CLSID> list = PropertyPages();
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (list.empty())
        return S_OK;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(list.size() * sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < list.size(); ++i)
        pages->pElems[i] = list[i];
    pages->cElems = static_cast<ULONG>(list.size());
    return S_OK;
}

HRESULT CControlBase::EnumConnectionPoints(IEnumConnectionPoints** out)
{
    IConnectionPoint* const points[] = {&m_events};
    return CreateConnectionPointEnumerator(points, 1, out);
}

HRESULT CControlBase::FindConnectionPoint(REFIID iid, IConnectionPoint** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, m_events.Iid()))
        return CONNECT_E_NOCONNECTION;
    *out = &m_events;
    m_events.AddRef();
    return S_OK;
}

HRESULT CControlBase::InterfaceSupportsErrorInfo(REFIID iid)
{
    return IsEqualIID(iid, *m_identity.primary) ? S_OK : S_FALSE;
}

// --- the control's window ---

LRESULT CALLBACK CControlBase::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<CControlBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->m_hwnd != hwnd)
        return DefWindowProcW(hwnd, msg, wp, lp);
    return self->WndProc(msg, wp, lp);
}

LRESULT CControlBase::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    HWND hwnd = m_hwnd;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        ::GetClientRect(hwnd, &r);
        OnDraw(dc, r);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    case WM_DESTROY:
        // The control ends with its window; the host's message loop does not.
        OnDestroyWindow();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

namespace {
INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
}  // namespace

SIZE MeasurePageTemplate(UINT dialogId)
{
    // Made once, hidden under a hidden parent (a page is a child window), and
    // measured; the 8-bit calls, which every Windows of the suite has.
    SIZE size{0, 0};
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, CModule::Instance(),
                                  nullptr);
    if (!parent)
        return size;
    HWND probe = CreateDialogParamA(CModule::Instance(), MAKEINTRESOURCEA(dialogId), parent, MeasureProc, 0);
    if (probe) {
        RECT r{};
        GetWindowRect(probe, &r);
        size.cx = r.right - r.left;
        size.cy = r.bottom - r.top;
    }
    DestroyWindow(parent);
    return size;
}

}  // namespace mbcom
