#include "AnalyzerPropPage.h"

#include "Control.h"

// {6A6E6EBE-5152-4053-BF01-CC5E3136976E}
const CLSID CLSID_MP3AnalyzerPropPage = {0x6A6E6EBE, 0x5152, 0x4053, {0xBF, 0x01, 0xCC, 0x5E, 0x31, 0x36, 0x97, 0x6E}};
// {2E8CAAC2-4DDD-4278-A2C6-2A9062521F26}
const CLSID CLSID_WMAAnalyzerPropPage = {0x2E8CAAC2, 0x4DDD, 0x4278, {0xA2, 0xC6, 0x2A, 0x90, 0x62, 0x52, 0x1F, 0x26}};
// {5BDC22D4-97B8-43AB-9E48-786757D4D250}
const CLSID CLSID_AACAnalyzerPropPage = {0x5BDC22D4, 0x97B8, 0x43AB, {0x9E, 0x48, 0x78, 0x67, 0x57, 0xD4, 0xD2, 0x50}};

CAnalyzerPropPage::~CAnalyzerPropPage()
{
    if (m_dialog)
        DestroyWindow(m_dialog);
}

HRESULT CAnalyzerPropPage::QueryInterface(REFIID iid, void** out)
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

ULONG CAnalyzerPropPage::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CAnalyzerPropPage::Release()
{
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT CAnalyzerPropPage::SetPageSite(IPropertyPageSite* site)
{
    m_site = site;
    return S_OK;
}

HRESULT CAnalyzerPropPage::SetObjects(ULONG count, IUnknown** objects)
{
    // Nothing is exchanged with the objects, so none is kept.
    return count && !objects ? E_POINTER : S_OK;
}

HRESULT CAnalyzerPropPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    if (m_dialog)
        return E_UNEXPECTED;
    m_dialog = CreateDialogParamA(mbcom::CModule::Instance(), MAKEINTRESOURCEA(m_dialogId), parent, DialogProc, 0);
    if (!m_dialog)
        return HRESULT_FROM_WIN32(GetLastError());
    if (rect)
        Move(rect);
    return S_OK;
}

HRESULT CAnalyzerPropPage::Deactivate()
{
    if (m_dialog) {
        DestroyWindow(m_dialog);
        m_dialog = nullptr;
    }
    return S_OK;
}

HRESULT CAnalyzerPropPage::GetPageInfo(PROPPAGEINFO* info)
{
    if (!info)
        return E_POINTER;
    info->cb = sizeof(*info);
    // The 8-bit calls throughout: the 95/98/ME line has no wide ones.
    char ansi[64] = {};
    LoadStringA(mbcom::CModule::Instance(), static_cast<UINT>(m_dialogId), ansi, 64);
    wchar_t caption[64] = {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, caption, 64);
    n = n > 0 ? n - 1 : 0;
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc((static_cast<size_t>(n) + 1) * sizeof(wchar_t)));
    if (!info->pszTitle)
        return E_OUTOFMEMORY;
    memcpy(info->pszTitle, caption, (static_cast<size_t>(n) + 1) * sizeof(wchar_t));
    info->size = mbcom::MeasurePageTemplate(static_cast<UINT>(m_dialogId));
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT CAnalyzerPropPage::Show(UINT cmd)
{
    if (!m_dialog)
        return E_UNEXPECTED;
    ShowWindow(m_dialog, static_cast<int>(cmd));
    return S_OK;
}

HRESULT CAnalyzerPropPage::Move(LPCRECT rect)
{
    if (!rect)
        return E_POINTER;
    if (!m_dialog)
        return E_UNEXPECTED;
    MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT CAnalyzerPropPage::TranslateAccelerator(MSG* msg)
{
    return m_dialog && msg && IsDialogMessageA(m_dialog, msg) ? S_OK : S_FALSE;
}
