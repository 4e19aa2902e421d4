#include "ProgressCtl.h"

#include "resource.h"

using progress::PUT_RESULT;

namespace {

// Every text of the control is Korean; kept as UTF-16 so that no ANSI code
// page of the machine can change them.
const wchar_t kCountError[] = L"1과 4사이의 값을 입력하세요.";
const wchar_t kColourError[] = L"0과 3사이의 값을 입력하세요.";
const wchar_t* const kColourNames[progress::kColourCount] = {L"빨간색", L"파란색", L"노란색", L"녹색"};

const mbcom::CControlBase::CIdentity kIdentity = {
    &CLSID_ProgressCtl, &IID_IProgressCtl, &DIID__IProgressCtlEvents, PROGRESS_MISC_STATUS,
    {progress::kBackgroundWidth, progress::kBackgroundHeight}};

HBITMAP LoadModuleBitmap(int id)
{
    return static_cast<HBITMAP>(
        LoadImageW(mbcom::CModule::Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void StretchBitmap(HDC dc, HDC source, HBITMAP bitmap, int x, int y, int cx, int cy)
{
    if (!bitmap)
        return;
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    HGDIOBJ old = SelectObject(source, bitmap);
    StretchBlt(dc, x, y, cx, cy, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, old);
}

}  // namespace

ProgressCtl::ProgressCtl() : mbcom::CControlBase(kIdentity)
{
    m_dispatch.Init(IID_IProgressCtl);
    for (int c = 0; c < progress::kColourCount; ++c) {
        m_pieces[c][progress::PIECE_LEFT_CAP] = LoadModuleBitmap(IDB_LEFT_CAP + 3 * c);
        m_pieces[c][progress::PIECE_MIDDLE] = LoadModuleBitmap(IDB_MIDDLE + 3 * c);
        m_pieces[c][progress::PIECE_RIGHT_CAP] = LoadModuleBitmap(IDB_RIGHT_CAP + 3 * c);
    }
}

ProgressCtl::~ProgressCtl()
{
    DestroyControlWindow();
    if (m_background)
        DeleteObject(m_background);
    for (auto& colour : m_pieces)
        for (HBITMAP b : colour)
            if (b)
                DeleteObject(b);
}

void* ProgressCtl::QueryDerived(REFIID iid)
{
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IProgressCtl))
        return static_cast<IProgressCtl*>(this);
    if (IsEqualIID(iid, IID_IPerPropertyBrowsing))
        return static_cast<IPerPropertyBrowsing*>(this);
    return nullptr;
}

const wchar_t* ProgressCtl::ColourName(int colour)
{
    return colour >= 0 && colour < progress::kColourCount ? kColourNames[colour] : L"";
}

HRESULT ProgressCtl::Refuse(PUT_RESULT result)
{
    switch (result) {
    case progress::PUT_OK:
        return S_OK;
    case progress::PUT_BAD_COUNT:
        return mbcom::ReportError(CLSID_ProgressCtl, IID_IProgressCtl, kCountError);
    case progress::PUT_BAD_COLOUR:
        return mbcom::ReportError(CLSID_ProgressCtl, IID_IProgressCtl, kColourError);
    case progress::PUT_BAD_INDEX:
    default:
        // Only four segments exist; a script naming another must not reach
        // past them.
        return E_INVALIDARG;
    }
}

HRESULT ProgressCtl::get_ProgressNum(short* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_model.ProgressNum();
    return S_OK;
}

HRESULT ProgressCtl::put_ProgressNum(short newVal)
{
    HRESULT hr = Refuse(m_model.PutProgressNum(newVal));
    if (SUCCEEDED(hr))
        FireViewChange();
    return hr;
}

HRESULT ProgressCtl::get_BitmapOrder(short nDraw, short* pVal)
{
    if (!pVal)
        return E_POINTER;
    return Refuse(m_model.GetBitmapOrder(nDraw, pVal));
}

HRESULT ProgressCtl::put_BitmapOrder(short nDraw, short newVal)
{
    HRESULT hr = Refuse(m_model.PutBitmapOrder(nDraw, newVal));
    if (SUCCEEDED(hr))
        FireViewChange();
    return hr;
}

HRESULT ProgressCtl::SetPos(short pNum, ULONG nPos)
{
    HRESULT hr = Refuse(m_model.SetPos(pNum, nPos));
    if (SUCCEEDED(hr))
        FireViewChange();
    return hr;
}

HRESULT ProgressCtl::GetPos(short pNum, LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    int32_t position = 0;
    HRESULT hr = Refuse(m_model.GetPos(pNum, &position));
    *pVal = position;
    return hr;
}

HRESULT ProgressCtl::SetRange(ULONG nLower, ULONG nUpper)
{
    m_model.SetRange(nLower, nUpper);
    return S_OK;
}

HRESULT ProgressCtl::GetRange(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_model.GetRange();
    return S_OK;
}

// --- per-property browsing: the colour names on dispid 1 ---

HRESULT ProgressCtl::GetDisplayString(DISPID id, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    if (id != 1)
        return E_NOTIMPL;
    for (short i = 0; i < progress::kMaxSegments; ++i) {
        short colour = -1;
        m_model.GetBitmapOrder(i, &colour);
        if (colour >= 0 && colour < progress::kColourCount) {
            *text = SysAllocString(kColourNames[colour]);
            return *text ? S_OK : E_OUTOFMEMORY;
        }
    }
    return S_FALSE;
}

HRESULT ProgressCtl::MapPropertyToPage(DISPID, CLSID* page)
{
    if (page)
        *page = CLSID_NULL;
    return PERPROP_E_NOPAGEAVAILABLE;
}

HRESULT ProgressCtl::GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies)
{
    if (!strings || !cookies)
        return E_POINTER;
    strings->cElems = 0;
    strings->pElems = nullptr;
    cookies->cElems = 0;
    cookies->pElems = nullptr;
    if (id != 1)
        return E_NOTIMPL;
    const ULONG n = progress::kColourCount;
    auto* texts = static_cast<LPOLESTR*>(CoTaskMemAlloc(n * sizeof(LPOLESTR)));
    auto* values = static_cast<DWORD*>(CoTaskMemAlloc(n * sizeof(DWORD)));
    if (!texts || !values) {
        CoTaskMemFree(texts);
        CoTaskMemFree(values);
        return E_OUTOFMEMORY;
    }
    for (ULONG i = 0; i < n; ++i) {
        size_t bytes = (wcslen(kColourNames[i]) + 1) * sizeof(wchar_t);
        texts[i] = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!texts[i]) {
            for (ULONG j = 0; j < i; ++j)
                CoTaskMemFree(texts[j]);
            CoTaskMemFree(texts);
            CoTaskMemFree(values);
            return E_OUTOFMEMORY;
        }
        memcpy(texts[i], kColourNames[i], bytes);
        values[i] = i;
    }
    strings->cElems = n;
    strings->pElems = texts;
    cookies->cElems = n;
    cookies->pElems = values;
    return S_OK;
}

HRESULT ProgressCtl::GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (id != 1)
        return E_NOTIMPL;
    if (cookie >= static_cast<DWORD>(progress::kColourCount))
        return E_INVALIDARG;
    value->vt = VT_I2;
    value->iVal = static_cast<short>(cookie);
    return S_OK;
}

// --- drawing and the mouse ---

void ProgressCtl::LoadBackground()
{
    if (!m_background)
        m_background = LoadModuleBitmap(IDB_BACKGROUND);
}

void ProgressCtl::OnCreateWindow()
{
    LoadBackground();
}

void ProgressCtl::OnDestroyWindow()
{
    if (m_background) {
        DeleteObject(m_background);
        m_background = nullptr;
    }
}

void ProgressCtl::OnDraw(HDC dc, const RECT& bounds)
{
    // A container may ask for a picture before the window exists.
    LoadBackground();
    HDC source = CreateCompatibleDC(dc);
    if (!source)
        return;
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBitmap(dc, source, m_background, bounds.left, bounds.top, bounds.right - bounds.left,
                  bounds.bottom - bounds.top);
    progress::Rect r{bounds.left, bounds.top, bounds.right, bounds.bottom};
    for (const progress::Blit& b : m_model.Draw(r))
        StretchBitmap(dc, source, m_pieces[b.colour][b.piece], b.x, b.y, b.cx, b.cy);
    SetStretchBltMode(dc, oldMode);
    DeleteDC(source);
}

void ProgressCtl::OnMouseMove(int x, int y)
{
    FireEventLong(1, m_model.HitTest(x, y));
}
