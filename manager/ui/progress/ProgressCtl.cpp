#include "ProgressCtl.h"

#include "Dispatch.h"
#include "Site.h"

namespace {

// {31115939-CC5B-4246-8A5C-BE7B656DCB86}
const CLSID kProgressCtl = {0x31115939, 0xCC5B, 0x4246, {0x8A, 0x5C, 0xBE, 0x7B, 0x65, 0x6D, 0xCB, 0x86}};
const DISPID kSetPos = 3;
const DISPID kSetRange = 5;
const DISPID kMousePosNum = 1;

}  // namespace

CProgressCtl::~CProgressCtl()
{
    ReleaseControl();
}

const CLSID& CProgressCtl::ClassId()
{
    return kProgressCtl;
}

bool CProgressCtl::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    if (!CreateEx(0, nullptr, L"", style | WS_CHILD | WS_CLIPCHILDREN, rect, parent, id))
        return false;
    return AttachControl();
}

bool CProgressCtl::CreateInPlaceOf(HWND parent, UINT id)
{
    if (!CWnd::CreateInPlaceOf(parent, id, nullptr, WS_CHILD | WS_CLIPCHILDREN))
        return false;
    return AttachControl();
}

bool CProgressCtl::AttachControl()
{
    HRESULT hr = mbcom::CControlSite::Create(m_hWnd, kProgressCtl, &m_site);
    if (FAILED(hr)) {
        m_site = nullptr;
        return false;
    }
    m_site->Advise([this](DISPID id, DISPPARAMS* params) {
        if (id != kMousePosNum || !m_onMousePos || params->cArgs < 1)
            return;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(VariantChangeType(&value, &params->rgvarg[params->cArgs - 1], 0, VT_I4)))
            m_onMousePos(value.lVal);
    });
    return true;
}

void CProgressCtl::ReleaseControl()
{
    if (!m_site)
        return;
    mbcom::CControlSite* site = m_site;
    m_site = nullptr;
    site->Destroy();
    site->Release();
}

void CProgressCtl::SetPos(short segment, long position)
{
    if (m_site)
        mbcom::InvokeByDispid(m_site->Dispatch(), kSetPos, DISPATCH_METHOD,
                              {mbcom::MakeI2(segment), mbcom::MakeI4(position)});
}

void CProgressCtl::SetRange(long lower, long upper)
{
    if (m_site)
        mbcom::InvokeByDispid(m_site->Dispatch(), kSetRange, DISPATCH_METHOD,
                              {mbcom::MakeI4(lower), mbcom::MakeI4(upper)});
}

IDispatch* CProgressCtl::GetControlDispatch() const
{
    return m_site ? m_site->Dispatch() : nullptr;
}

HWND CProgressCtl::GetControlWindow() const
{
    return m_site ? m_site->ControlWindow() : nullptr;
}

LRESULT CProgressCtl::WindowProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SIZE:
        if (m_site)
            m_site->Resize();
        break;
    case WM_DESTROY:
        // The control goes with its window, before the dialog around it.
        ReleaseControl();
        break;
    default:
        break;
    }
    return CWnd::WindowProc(msg, wp, lp);
}
