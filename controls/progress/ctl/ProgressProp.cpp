#include "ProgressProp.h"

#include <climits>

#include "ProgressCtl.h"
#include "resource.h"

namespace {

const wchar_t kTitle[] = L"Progress";

}  // namespace

ProgressProp::~ProgressProp()
{
    if (m_dialog)
        DestroyWindow(m_dialog);
    ReleaseObjects();
}

HRESULT ProgressProp::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
        *out = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ProgressProp::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG ProgressProp::Release()
{
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT ProgressProp::SetPageSite(IPropertyPageSite* site)
{
    m_site = site;
    return S_OK;
}

void ProgressProp::ReleaseObjects()
{
    for (IUnknown* o : m_objects)
        o->Release();
    m_objects.clear();
}

HRESULT ProgressProp::SetObjects(ULONG count, IUnknown** objects)
{
    if (count && !objects)
        return E_POINTER;
    ReleaseObjects();
    for (ULONG i = 0; i < count; ++i) {
        if (objects[i]) {
            objects[i]->AddRef();
            m_objects.push_back(objects[i]);
        }
    }
    return S_OK;
}

HRESULT ProgressProp::Activate(HWND parent, LPCRECT rect, BOOL)
{
    if (m_dialog)
        return E_UNEXPECTED;
    m_dialog = CreateDialogParamW(mbcom::CModule::Instance(), MAKEINTRESOURCEW(IDD_PROGRESSPROP), parent,
                                  &ProgressProp::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!m_dialog)
        return HRESULT_FROM_WIN32(GetLastError());
    if (rect)
        Move(rect);
    InitFromFirstObject();
    return S_OK;
}

HRESULT ProgressProp::Deactivate()
{
    if (m_dialog) {
        DestroyWindow(m_dialog);
        m_dialog = nullptr;
    }
    return S_OK;
}

HRESULT ProgressProp::GetPageInfo(PROPPAGEINFO* info)
{
    if (!info)
        return E_POINTER;
    info->cb = sizeof(*info);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(kTitle)));
    if (info->pszTitle)
        memcpy(info->pszTitle, kTitle, sizeof(kTitle));
    info->size = mbcom::MeasurePageTemplate(IDD_PROGRESSPROP);
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT ProgressProp::Show(UINT cmd)
{
    if (!m_dialog)
        return E_UNEXPECTED;
    ShowWindow(m_dialog, static_cast<int>(cmd));
    return S_OK;
}

HRESULT ProgressProp::Move(LPCRECT rect)
{
    if (!rect)
        return E_POINTER;
    if (!m_dialog)
        return E_UNEXPECTED;
    MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT ProgressProp::TranslateAccelerator(MSG* msg)
{
    if (m_dialog && msg && IsDialogMessageW(m_dialog, msg))
        return S_OK;
    return S_FALSE;
}

void ProgressProp::SetDirty(bool dirty)
{
    m_dirty = dirty;
    if (m_site)
        m_site->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

void ProgressProp::InitFromFirstObject()
{
    m_filling = true;
    mbcom::CPtr<IProgressCtl> ctl;
    if (!m_objects.empty() &&
        SUCCEEDED(m_objects[0]->QueryInterface(IID_IProgressCtl, reinterpret_cast<void**>(&ctl)))) {
        short count = 0;
        ctl->get_ProgressNum(&count);
        SetDlgItemInt(m_dialog, IDC_SEGMENT_COUNT, static_cast<UINT>(count), TRUE);
        for (int i = 0; i < progress::kMaxSegments; ++i) {
            HWND list = GetDlgItem(m_dialog, IDC_COLOUR_FIRST + i);
            SendMessageW(list, CB_RESETCONTENT, 0, 0);
            for (int c = 0; c < progress::kColourCount; ++c)
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ProgressCtl::ColourName(c)));
            short colour = 0;
            ctl->get_BitmapOrder(static_cast<short>(i), &colour);
            SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(colour), 0);
        }
    }
    m_filling = false;
}

HRESULT ProgressProp::Apply()
{
    if (!m_dialog)
        return S_OK;
    BOOL numeric = FALSE;
    const int typed = static_cast<int>(GetDlgItemInt(m_dialog, IDC_SEGMENT_COUNT, &numeric, TRUE));
    // A number that a short cannot hold is handed on as 0, which the control
    // refuses: cut to 16 bits, 65537 would pass as 1.
    const short count = numeric && typed >= SHRT_MIN && typed <= SHRT_MAX ? static_cast<short>(typed) : 0;
    short colours[progress::kMaxSegments];
    for (int i = 0; i < progress::kMaxSegments; ++i)
        colours[i] = static_cast<short>(SendDlgItemMessageW(m_dialog, IDC_COLOUR_FIRST + i, CB_GETCURSEL, 0, 0));
    for (IUnknown* object : m_objects) {
        mbcom::CPtr<IProgressCtl> ctl;
        if (FAILED(object->QueryInterface(IID_IProgressCtl, reinterpret_cast<void**>(&ctl))))
            continue;
        HRESULT hr = ctl->put_ProgressNum(count);
        for (int i = 0; SUCCEEDED(hr) && i < progress::kMaxSegments; ++i)
            hr = ctl->put_BitmapOrder(static_cast<short>(i), colours[i]);
        if (FAILED(hr)) {
            // The page stays dirty and the frame learns why: the control's
            // error information is left for it together with the failure.
            return hr;
        }
    }
    SetDirty(false);
    return S_OK;
}

INT_PTR CALLBACK ProgressProp::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        return TRUE;
    }
    auto* self = reinterpret_cast<ProgressProp*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self || msg != WM_COMMAND || self->m_filling)
        return FALSE;
    const UINT id = LOWORD(wp);
    const UINT code = HIWORD(wp);
    if ((id == IDC_SEGMENT_COUNT && code == EN_CHANGE) ||
        (id >= IDC_COLOUR_FIRST && id < IDC_COLOUR_FIRST + progress::kMaxSegments && code == CBN_SELCHANGE)) {
        self->SetDirty(true);
        return TRUE;
    }
    return FALSE;
}
