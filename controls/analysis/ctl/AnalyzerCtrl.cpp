#include "AnalyzerCtrl.h"

namespace {

// The control's initial size in pixels, before a container gives it one.
const SIZE kInitialPixels = {100, 30};

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

// The persisted stream is the layer's: the version word 0x0100 (1.0) and the
// extent; the controls keep no properties of their own.
CAnalyzerCtrl::CAnalyzerCtrl(const CInfo& info)
    : mbcom::CControlBase({info.clsid, info.dispatch, info.events, info.miscStatus, kInitialPixels, info.windowless}), m_info(info)
{
    m_typeInfo.Init(*info.dispatch);
}

CAnalyzerCtrl::~CAnalyzerCtrl()
{
    DestroyControlWindow();
}

void* CAnalyzerCtrl::QueryDerived(REFIID iid)
{
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, *m_info.dispatch))
        return static_cast<IDispatch*>(this);
    return nullptr;
}

HRESULT CAnalyzerCtrl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO*, UINT* argErr)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    // Every member is a method; scripting hosts also call argument-less
    // methods as property reads.
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    mbcom::CDispArgs args(params ? params : &none, argErr);
    if (result)
        VariantInit(result);
    // A member may pump the container's messages (the WMA reader's wait, the
    // about box), and the container may drop the control meanwhile: the call
    // holds it until it returns.
    AddRef();
    const HRESULT hr = InvokeMember(id, args, result);
    Release();
    return hr;
}

HRESULT CAnalyzerCtrl::InvokeMember(DISPID id, const mbcom::CDispArgs& args, VARIANT* result)
{
    if (id == 2) {
        std::string path;
        HRESULT hr = PathArgument(args, path);
        return FAILED(hr) ? hr : ReturnBool(SetFilePath(path.c_str()) != FALSE, result);
    }
    DWORD low = 0, high = 0;
    if (id == 10 && FileSize(low, high))
        return GetSize(args, low, high);
    HRESULT hr = args.Expect(0);
    if (FAILED(hr))
        return hr;
    return InvokeGetter(id, result);
}

void CAnalyzerCtrl::OnDraw(HDC dc, const RECT& bounds)
{
    RECT r = bounds;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, m_info.caption, -1, &r, DT_END_ELLIPSIS);
    SetBkMode(dc, oldMode);
}

HRESULT CAnalyzerCtrl::PathArgument(const mbcom::CDispArgs& args, std::string& path)
{
    HRESULT hr = args.Expect(1);
    if (FAILED(hr))
        return hr;
    std::wstring text;
    hr = args.Text(0, text);
    if (FAILED(hr))
        return hr;
    path = ToAnsi(text);
    return S_OK;
}

HRESULT CAnalyzerCtrl::ReturnBool(bool value, VARIANT* result)
{
    if (result) {
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

HRESULT CAnalyzerCtrl::ReturnText(const std::string& ansi, VARIANT* result)
{
    if (!result)
        return S_OK;
    const std::wstring wide = FromAnsi(ansi);
    BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!text)
        return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = text;
    return S_OK;
}

HRESULT CAnalyzerCtrl::ReturnLong(LONG value, VARIANT* result)
{
    if (result) {
        result->vt = VT_I4;
        result->lVal = value;
    }
    return S_OK;
}

HRESULT CAnalyzerCtrl::GetSize(const mbcom::CDispArgs& args, DWORD low, DWORD high)
{
    HRESULT hr = args.Expect(2);
    LONG* lowOut = nullptr;
    LONG* highOut = nullptr;
    if (SUCCEEDED(hr))
        hr = args.LongRef(0, lowOut);
    if (SUCCEEDED(hr))
        hr = args.LongRef(1, highOut);
    if (FAILED(hr))
        return hr;
    *lowOut = static_cast<LONG>(low);
    *highOut = static_cast<LONG>(high);
    return S_OK;
}

HRESULT CAnalyzerCtrl::ShowAboutBox(int dialogId)
{
    INT_PTR rc = DialogBoxParamA(mbcom::CModule::Instance(), MAKEINTRESOURCEA(dialogId), ControlWindow(), AboutProc, 0);
    return rc == -1 ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
}
